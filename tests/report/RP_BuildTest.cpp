// The build pass over fixtures made in code: prepared pages are dumped as text (fake
// metrics make them stable) and compared with the golden dumps in
// tests/data/report/build. TARNWICK_UPDATE_GOLDEN=1 writes the dumps instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/core/AnsiText.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"

namespace {

using Row = std::map<std::string, Variant>;

// A user dataset over rows; its OnPrior is left unassigned, as the planner's are.
class TRows {
 public:
  TRows(const char* name, std::vector<Row> rows) : rows_(std::move(rows)) {
    Set.Name = name;
    Set.OnFirst = [this](TObject*) { at_ = 0; };
    Set.OnNext = [this](TObject*) { ++at_; };
    Set.OnCheckEOF = [this](TObject*, bool& eof) { eof = at_ >= rows_.size(); };
  }
  bool Answer(const AnsiString& name, Variant& value) const {
    if (at_ >= rows_.size()) return false;
    auto it = rows_[at_].find(name);
    if (it == rows_[at_].end()) return false;
    value = it->second;
    return true;
  }
  TrpUserDataset Set;

 private:
  std::vector<Row> rows_;
  std::size_t at_ = 0;
};

std::string Dump(TrpEMFPages& pages) { return rpPreparedText(pages); }

void ExpectGolden(const std::string& name, const std::string& dump) {
  const std::string path = std::string(TARNWICK_TEST_DATA_DIR) + "/report/build/" + name + ".txt";
  if (std::getenv("TARNWICK_UPDATE_GOLDEN")) {
    std::ofstream(path, std::ios::binary) << dump;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "no golden dump " << path;
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(dump, expected.str()) << name;
}

// A report whose names come from the datasets' current rows and a few values.
struct Fixture {
  TrpReport report;
  TrpTemplateBuilder b{report.Pages};
  std::vector<std::unique_ptr<TRows>> sets;
  std::map<std::string, Variant> values;

  Fixture() {
    report.OnGetValue = [this](const AnsiString& name, Variant& value) {
      auto it = values.find(name);
      if (it != values.end()) {
        value = it->second;
        return;
      }
      for (auto it2 = sets.rbegin(); it2 != sets.rend(); ++it2)
        if ((*it2)->Answer(name, value)) return;
    };
  }
  TRows& Rows(const char* name, std::vector<Row> rows) {
    sets.push_back(std::make_unique<TRows>(name, std::move(rows)));
    report.AddDataset(sets.back()->Set);
    return *sets.back();
  }
  // Memos hide zeros by default; aggregates are to be seen here.
  void ShowZeros() {
    for (const auto& v : report.Pages.GetPages(0)->Objects) v->Flags &= static_cast<std::uint16_t>(~flHideZeros);
  }
  std::string Build() {
    EXPECT_TRUE(report.PrepareReport()) << cp::Ansi1251ToUtf8(report.ErrorText);
    return Dump(report.EMFPages);
  }
};

std::vector<Row> Numbered(int n, const char* key = "N") {
  std::vector<Row> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({{key, Variant(i)}});
  return rows;
}

}  // namespace

TEST(RpBuild, EveryBandKind) {
  Fixture f;
  f.Rows("Orders", {{{"ORDER", Variant("A")}}, {{"ORDER", Variant("B")}}});
  f.Rows("Lines", {{{"ITEM", Variant(Ansi("крупа"))}}, {{"ITEM", Variant(Ansi("сахар"))}}});
  f.Rows("Parts", {{{"PART", Variant(1)}}});
  f.b.Page(9, rpPortrait, 20);
  int y = 0;
  auto band = [&](int type, const char* text, int height = 20) -> TrpBandView& {
    TrpBandView& bv = f.b.Band(type, y, height);
    f.b.Memo(text, 20, y, 300, 18);
    y += height + 10;
    return bv;
  };
  band(btReportTitle, "Заголовок отчёта");
  band(btPageHeader, "Шапка страницы [PAGE#]");
  band(btColumnHeader, "Шапка колонки");
  band(btMasterHeader, "Заказы");
  TrpBandView& master = band(btMasterData, "Заказ [ORDER] строка [LINE#]");
  master.FormatStr = "Orders";
  master.Name = "MasterData1";
  band(btDetailHeader, "Строки заказа [ORDER]");
  band(btDetailData, "Строка [ITEM]").FormatStr = "Lines";
  band(btSubDetailData, "Часть [PART]").FormatStr = "Parts";
  band(btDetailFooter, "Конец строк");
  band(btMasterFooter, "Итого заказов: [COUNT(MasterData1)]").ChildBand = "Child1";
  band(btReportSummary, "Конец отчёта");
  band(btColumnFooter, "Подвал колонки");
  band(btPageFooter, "Подвал страницы [PAGE#]");
  band(btChild, "Дочерняя полоса").Name = "Child1";
  ExpectGolden("band_kinds", f.Build());
}

TEST(RpBuild, NestedGroupsWithAggregatesOverAUserDatasetWithoutPrior) {
  Fixture f;
  std::vector<Row> rows;
  const struct {
    const char *day, *meal;
    double kg;
  } data[] = {{"1", "завтрак", 0.5}, {"1", "завтрак", -0.25}, {"1", "обед", 1.5},
              {"2", "обед", -2},     {"2", "обед", -1},      {"2", "ужин", 3}};
  for (const auto& d : data)
    rows.push_back({{"DAY", Variant(d.day)}, {"MEAL", Variant(Ansi(d.meal))}, {"KG", Variant(d.kg)}});
  f.Rows("Food", rows);
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btGroupHeader, 0, 20).FormatStr = "[DAY]";
  f.b.Memo("День [DAY]", 20, 0, 300, 18);
  f.b.Band(btGroupHeader, 30, 20).FormatStr = "[MEAL]";
  f.b.Memo("  [MEAL]", 20, 30, 300, 18);
  f.b.Band(btMasterData, 60, 20).FormatStr = "Food";
  f.report.Pages.FindObject("Band3")->Name = "MasterData1";
  f.b.Memo("    [KG #N2.2]", 20, 60, 300, 18);
  f.b.Band(btGroupFooter, 90, 20);
  f.b.Memo("  итого: [SUM([KG]) #N2.2] кг, [COUNT(MasterData1)] шт", 20, 90, 500, 18);
  f.b.Band(btGroupFooter, 120, 20);
  f.b.Memo("итого за день: [SUM([KG]) #N2.2], мин [MIN([KG]) #N2.2], макс [MAX([KG]) #N2.2], среднее "
           "[AVG([KG]) #N3.3]",
           20, 120, 700, 18);
  f.b.Band(btMasterFooter, 150, 20);
  f.b.Memo("всего [SUM([KG]) #N2.2], строк [COUNT(MasterData1)]", 20, 150, 500, 18);
  f.ShowZeros();
  ExpectGolden("groups", f.Build());
}

TEST(RpBuild, TwoPassesGiveTotalPages) {
  Fixture f;
  f.Rows("Rows", Numbered(90));
  f.b.Page(9, rpPortrait, 40);
  f.report.Pages.DoublePass = true;
  f.b.Band(btPageHeader, 0, 20);
  f.b.Memo("Стр. [PAGE#] из [TOTALPAGES]", 20, 0, 300, 18);
  f.b.Band(btMasterData, 30, 25).FormatStr = "Rows";
  f.b.Memo("Строка [N]", 20, 30, 300, 18);
  f.b.Band(btPageFooter, 60, 20);
  f.b.Memo("[PAGE#]/[TOTALPAGES], [FINALPASS]", 20, 60, 300, 18);
  int begins = 0, ends = 0;
  f.report.OnBeginDoc = [&](TObject*) { ++begins; };
  f.report.OnEndDoc = [&](TObject*) { ++ends; };
  const std::string dump = f.Build();
  EXPECT_EQ(begins, 2);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(f.report.EMFPages.GetCount(), 3);
  ExpectGolden("total_pages", dump);
}

TEST(RpBuild, PageColumns) {
  Fixture f;
  f.Rows("Rows", Numbered(50));
  TrpPage& page = f.b.Page(9, rpPortrait, 40);
  page.Columns = 2;
  page.ColumnGap = 20;
  f.b.Band(btColumnHeader, 0, 20);
  f.b.Memo("Колонка [COLUMN#]", 20, 0, 200, 18);
  f.b.Band(btMasterData, 30, 40).FormatStr = "Rows";
  f.b.Memo("[N]", 20, 30, 200, 18);
  ExpectGolden("columns", f.Build());
}

TEST(RpBuild, SubReport) {
  Fixture f;
  f.Rows("Days", Numbered(2, "DAY"));
  f.Rows("Items", Numbered(3, "ITEM"));
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 40).FormatStr = "Days";
  f.b.Memo("День [DAY]", 20, 0, 200, 18);
  f.b.SubReport(300, 0, 300, 40, 1);
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 20).FormatStr = "Items";
  f.b.Memo("пункт [ITEM] дня [DAY]", 0, 0, 250, 18);
  ExpectGolden("subreport", f.Build());
}

TEST(RpBuild, BandTallerThanAPageEnds) {
  Fixture f;
  f.Rows("Rows", Numbered(2));
  f.b.Page(9, rpPortrait, 40);
  f.b.Band(btMasterData, 0, 20).FormatStr = "Rows";
  f.b.Band(btMasterData, 0, 20);
  f.report.Pages.GetPages(0)->Objects.pop_back();
  TrpBandView& tall = *static_cast<TrpBandView*>(f.report.Pages.GetPages(0)->Objects.back().get());
  tall.Flags |= flStretched;
  std::string text;
  for (int i = 1; i <= 120; ++i) text += "строка " + std::to_string(i) + "\n";
  TrpMemoView& memo = f.b.Memo(text, 20, 0, 300, 18);
  memo.Flags |= flStretched;
  f.b.Memo("[N]", 400, 0, 50, 18);
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 2);  // one page per record, printed past the bottom
  ExpectGolden("taller_than_page", dump);
}

TEST(RpBuild, EmptyDatasetPrintsNoHeaderOrFooter) {
  Fixture f;
  f.Rows("None", {});
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btReportTitle, 0, 20);
  f.b.Memo("Заголовок", 20, 0, 200, 18);
  f.b.Band(btMasterHeader, 30, 20);
  f.b.Memo("Шапка", 20, 30, 200, 18);
  f.b.Band(btMasterData, 60, 20).FormatStr = "None";
  f.b.Memo("[N]", 20, 60, 200, 18);
  f.b.Band(btMasterFooter, 90, 20);
  f.b.Memo("Итого [SUM([N])]", 20, 90, 200, 18);
  f.b.Band(btReportSummary, 120, 20);
  f.b.Memo("Сумма [SUM([N])], среднее [AVG([N])], минимум [MIN([N])]", 20, 120, 500, 18);
  f.ShowZeros();
  ExpectGolden("empty_dataset", f.Build());
}

TEST(RpBuild, CompositeOfThreeReportsNumbersPagesOn) {
  std::vector<std::unique_ptr<Fixture>> parts;
  TrpCompositeReport composite;
  for (int part = 1; part <= 3; ++part) {
    auto f = std::make_unique<Fixture>();
    f->Rows("Rows", Numbered(part == 2 ? 60 : 3));
    f->b.Page(9, rpPortrait, 40);
    f->b.Band(btPageHeader, 0, 20);
    f->b.Memo(("Часть " + std::to_string(part) + ", стр. [PAGE#]").c_str(), 20, 0, 300, 18);
    f->b.Band(btMasterData, 30, 30).FormatStr = "Rows";
    f->b.Memo("[N]", 20, 30, 100, 18);
    composite.Reports.push_back(&f->report);
    parts.push_back(std::move(f));
  }
  ASSERT_TRUE(composite.PrepareReport()) << cp::Ansi1251ToUtf8(composite.ErrorText);
  EXPECT_EQ(composite.EMFPages.GetCount(), 4);
  for (auto& p : parts) EXPECT_EQ(p->report.EMFPages.GetCount(), 0);
  ExpectGolden("composite", Dump(composite.EMFPages));
}

TEST(RpBuild, ScriptErrorsStopTheBuildWithAMessage) {
  struct Case {
    const char* script;
    const char* message;
  };
  const Case cases[] = {
      {"while 1 do x := 1", "Сценарий выполняется слишком долго"},
      {"begin a := 1 b := 2 end", "Line 1/14: Need \";\" or \"end\" here"},
      {"x := 1 mod 0", "Division by zero"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    Fixture f;
    f.Rows("Rows", Numbered(3));
    f.report.ScriptStepLimit = 5000;
    f.b.Page(9, rpPortrait, 20);
    f.b.Band(btMasterData, 0, 20).FormatStr = "Rows";
    f.b.Memo("[N]", 20, 0, 100, 18);
    f.report.Pages.GetPages(0)->Objects.front()->Script.SetText(c.script);
    EXPECT_FALSE(f.report.PrepareReport());
    EXPECT_NE(f.report.ErrorText.find(Ansi(c.message)), AnsiString::npos) << cp::Ansi1251ToUtf8(f.report.ErrorText);
    EXPECT_EQ(f.report.EMFPages.GetCount(), 0);
  }
  // A cancel request from outside stops an endless script too.
  Fixture f;
  f.Rows("Rows", Numbered(3));
  f.report.ScriptStepLimit = 0;
  int polls = 0;
  f.report.CancelRequested = [&] { return ++polls > 50; };
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 20).FormatStr = "Rows";
  f.report.Pages.GetPages(0)->Objects.front()->Script.SetText("while 1 do x := 1");
  f.report.PrepareReport();
  EXPECT_GT(polls, 50);
}

TEST(RpBuild, MissingDataSourceIsReported) {
  Fixture f;
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 20).FormatStr = "Nowhere";
  EXPECT_FALSE(f.report.PrepareReport());
  EXPECT_NE(f.report.ErrorText.find("Nowhere"), AnsiString::npos);
}
