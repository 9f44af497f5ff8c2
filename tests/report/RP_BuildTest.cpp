// The build pass over fixtures made in code: prepared pages are dumped as text (fake
// metrics make them stable) and compared with the golden dumps in
// tests/data/report/build. TARNWICK_UPDATE_GOLDEN=1 writes the dumps instead.
#include <set>

#include "../test_support/TempDir.h"
#include "BuildFixture.h"
#include "report/RP_Template.h"

using namespace rpbuildtest;

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
  TwoPassRows(f);
  f.b.Band(btPageFooter, 60, 20);
  f.b.Memo("[PAGE#]/[TOTALPAGES], [FINALPASS]", 20, 60, 300, 18);
  int begins = 0, ends = 0;
  f.report.OnBeginDoc = [&](TObject*) { ++begins; };
  f.report.OnEndDoc = [&](TObject*) { ++ends; };
  const std::string dump = f.Build();
  EXPECT_EQ(begins, 1);  // once per build, whatever the passes
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
  DaysWithItems(f);
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

TEST(RpBuild, ATemplateThatCannotBeKeptFailsWithItsMessage) {
  // A memo line longer than the template stream's two-byte lengths: the build is refused
  // with the writer's message instead of an exception out of PrepareReport.
  Fixture f;
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btReportTitle, 0, 20);
  f.b.Memo("x", 20, 0, 100, 18).Memo.Add(std::string(70000, 'y'));
  bool ok = true;
  EXPECT_NO_THROW(ok = f.report.PrepareReport());
  EXPECT_FALSE(ok);
  EXPECT_FALSE(f.report.ErrorText.empty());
  EXPECT_EQ(f.report.EMFPages.GetCount(), 0);
}

TEST(RpBuild, EmptyDetailDropsTheMasterUnlessPrintIfSubsetEmpty) {
  for (bool printIfEmpty : {false, true}) {
    SCOPED_TRACE(printIfEmpty);
    Fixture f;
    f.Rows("Masters", Numbered(3, "M"));
    // Details exist for master 2 only.
    auto& details = f.Rows("Details", {});
    std::vector<Row> forTwo = Numbered(2, "D");
    std::size_t at = 0;
    details.Set.OnFirst = [&](TObject*) { at = 0; };
    details.Set.OnNext = [&](TObject*) { ++at; };
    details.Set.OnCheckEOF = [&](TObject*, bool& eof) {
      Variant m;
      f.sets[0]->Answer("M", m);
      eof = m.AsInteger() != 2 || at >= forTwo.size();
    };
    f.b.Page(9, rpPortrait, 20);
    TrpBandView& master = f.b.Band(btMasterData, 0, 20);
    master.FormatStr = "Masters";
    if (printIfEmpty) master.Flags |= flPrintIfSubsetEmpty;
    f.b.Memo("M[M]", 20, 0, 100, 18);
    f.b.Band(btDetailData, 30, 20).FormatStr = "Details";
    f.b.Memo("D", 20, 30, 100, 18);
    const std::string dump = f.Build();
    EXPECT_EQ(dump.find("M1") != std::string::npos, printIfEmpty);
    EXPECT_EQ(dump.find("M3") != std::string::npos, printIfEmpty);
    EXPECT_NE(dump.find("M2"), std::string::npos);
  }
}

TEST(RpBuild, RepeatedHeadersAndNewPageBands) {
  Fixture f;
  f.Rows("Rows", Numbered(80));
  f.b.Page(9, rpPortrait, 40);
  f.b.Band(btMasterHeader, 0, 20).Flags |= flRepeatHeader;
  f.b.Memo("Шапка", 20, 0, 100, 18);
  f.b.Band(btMasterData, 30, 25).FormatStr = "Rows";
  f.b.Memo("[N]", 20, 30, 100, 18);
  f.b.Band(btMasterFooter, 60, 20).Flags |= flFormNewPage;
  f.b.Memo("Итог", 20, 60, 100, 18);
  f.b.Band(btReportSummary, 90, 20);
  f.b.Memo("Сводка", 20, 90, 100, 18);
  const std::string dump = f.Build();
  const int pages = f.report.EMFPages.GetCount();
  ASSERT_GE(pages, 3);
  std::istringstream in(dump);
  std::string line;
  int page = 0, headers = 0;
  std::vector<int> headerPages;
  while (std::getline(in, line)) {
    if (line.rfind("page ", 0) == 0) ++page;
    if (line.find("Шапка") != std::string::npos) {
      ++headers;
      headerPages.push_back(page);
    }
  }
  // The header on every page the rows run over, not on the page the footer's new page made.
  EXPECT_EQ(headers, pages - 1);
  for (int i = 0; i < headers; ++i) EXPECT_EQ(headerPages[static_cast<std::size_t>(i)], i + 1);
  EXPECT_NE(dump.rfind("page " + std::to_string(pages)), std::string::npos);
  EXPECT_GT(dump.find("Сводка"), dump.rfind("page " + std::to_string(pages)));  // the summary after the new page
}

TEST(RpBuild, StopReportEndsOnlyItsOwnPartAndDoesNotLeakIntoTheNextBuild) {
  std::vector<std::unique_ptr<Fixture>> parts;
  TrpCompositeReport composite;
  for (int part = 1; part <= 3; ++part) {
    auto f = std::make_unique<Fixture>();
    f->Rows("Rows", Numbered(3));
    f->b.Page(9, rpPortrait, 40);
    f->b.Band(btMasterData, 0, 20).FormatStr = "Rows";
    f->b.Memo(("P" + std::to_string(part) + "-[N]").c_str(), 20, 0, 100, 18);
    if (part == 2) f->report.Pages.GetPages(0)->Objects.front()->Script.SetText("if [N] = 2 then StopReport");
    composite.Reports.push_back(&f->report);
    parts.push_back(std::move(f));
  }
  for (int build = 0; build < 2; ++build) {
    ASSERT_TRUE(composite.PrepareReport());
    const std::string dump = Dump(composite.EMFPages);
    for (const char* seen : {"P1-3", "P2-1", "P3-1", "P3-3"}) EXPECT_NE(dump.find(seen), std::string::npos) << seen;
    EXPECT_EQ(dump.find("P2-2"), std::string::npos);
  }
}

TEST(RpBuild, TheTemplateComesBackAfterABuildWhoseScriptsChangedIt) {
  Fixture f;
  f.ListRows(3);
  f.b.Memo("hidden after 2", 200, 0, 150, 18);
  f.report.Pages.GetPages(0)->Objects.front()->Script.SetText("if [N] = 2 then Memo2.Visible := False");
  const std::string first = f.Build();
  EXPECT_EQ(first.find("hidden after 2"), first.rfind("hidden after 2"));  // shown once only
  ASSERT_NE(f.report.Pages.FindObject("Memo2"), nullptr);
  EXPECT_TRUE(f.report.Pages.FindObject("Memo2")->Visible);
  EXPECT_EQ(f.Build(), first);  // the next build starts from the same template
}

TEST(RpBuild, ASplitBandGoesOnOnTheNextPages) {
  Fixture f;
  f.Rows("Rows", Numbered(1));
  TrpPage& page = f.b.Page(9, rpPortrait, 40);
  (void)page;
  f.b.Band(btMasterData, 0, 20).FormatStr = "Rows";
  TrpBandView& band = *static_cast<TrpBandView*>(f.report.Pages.GetPages(0)->Objects.back().get());
  band.Flags |= flStretched | flBreaked;
  std::string text;
  for (int i = 1; i <= 150; ++i) text += "строка " + std::to_string(i) + "\n";
  f.b.Memo(text, 20, 0, 300, 18);
  f.b.Memo("под ней", 400, 0, 100, 18);
  f.b.Band(btReportSummary, 30, 20);
  f.b.Memo("конец", 20, 30, 100, 18);
  const std::string dump = f.Build();
  const int pages = f.report.EMFPages.GetCount();
  EXPECT_GE(pages, 2);
  // Every line once, in order, over the pages; the summary after the last part.
  std::size_t at = 0;
  for (int i = 1; i <= 150; ++i) {
    const std::string line = "строка " + std::to_string(i);
    std::size_t found = dump.find(line + "|", at);
    if (found == std::string::npos) found = dump.find(line + "\n", at);
    ASSERT_NE(found, std::string::npos) << line;
    at = found;
  }
  EXPECT_GT(dump.find("конец"), at);
  ExpectGolden("split_band", dump);
}

TEST(RpBuild, APartPrintedOnThePreviousPageGoesOnBelowIt) {
  for (int rows : {3, 50}) {
    SCOPED_TRACE(rows);
    std::vector<std::unique_ptr<Fixture>> parts;
    TrpCompositeReport composite;
    for (int part = 1; part <= 2; ++part) {
      auto f = std::make_unique<Fixture>();
      f->Rows("Rows", Numbered(part == 1 ? rows : 3));
      TrpPage& page = f->b.Page(9, rpPortrait, 40);
      page.PrintToPrevPage = part == 2;
      f->b.Band(btMasterData, 0, 20).FormatStr = "Rows";
      f->b.Memo(("P" + std::to_string(part) + "-[N]").c_str(), 20, 0, 100, 18);
      f->b.Band(btPageFooter, 30, 20);
      f->b.Memo("footer [PAGE#]", 20, 30, 100, 18);
      composite.Reports.push_back(&f->report);
      parts.push_back(std::move(f));
    }
    ASSERT_TRUE(composite.PrepareReport());
    const std::string dump = Dump(composite.EMFPages);
    const int pages = composite.EMFPages.GetCount();
    EXPECT_EQ(pages, rows == 3 ? 1 : 2);
    // The second part follows the first on the same page; one footer per page.
    EXPECT_LT(dump.find("P1-" + std::to_string(rows) + "\n"), dump.find("P2-1\n"));
    EXPECT_NE(dump.find("P2-1\n"), std::string::npos);
    int footers = 0;
    for (std::size_t at = dump.find("footer"); at != std::string::npos; at = dump.find("footer", at + 1)) ++footers;
    EXPECT_EQ(footers, pages);
  }
}

// ---------------------------------------------------------------------------------
// Cross-tabs, the overlay band, records and subreports side by side

namespace {

// A cross band: a strip of the page from `left`, `width` wide.
TrpBandView& CrossBand(Fixture& f, int type, int left, int width) {
  TrpBandView& band = f.b.Band(type, 0, 1000);
  band.Left = left;
  band.Width = width;
  return band;
}

// Products by days: a row band per product, a column per day; the quantity of a cell
// is product * 10 + day, with a long note for product 2 on day 3.
struct CrossFixture : Fixture {
  std::vector<std::string> events;
  CrossFixture(int products, int days) {
    std::vector<Row> rows;
    const char* names[] = {"крупа", "сахар", "сухари ржаные", "изюм", "орехи", "сыр"};
    for (int i = 1; i <= products; ++i)
      rows.push_back({{"P", Variant(i)}, {"PRODUCT", Variant(Ansi(names[(i - 1) % 6]))}});
    Rows("Products", rows);
    Rows("Days", Numbered(days, "DAY"));
    values.clear();
    report.OnGetValue = [this](const AnsiString& name, Variant& value) {
      if (name == "QTY") {
        Variant p, d;
        if (!sets[0]->Answer("P", p) || !sets[1]->Answer("DAY", d)) return;
        value = Variant(p.AsInteger() * 10 + d.AsInteger());
        return;
      }
      if (name == "NOTE") {
        Variant p, d;
        if (!sets[0]->Answer("P", p) || !sets[1]->Answer("DAY", d)) return;
        value = Variant(p.AsInteger() == 2 && d.AsInteger() == 3 ? Ansi("нет данных о весе") : AnsiString());
        return;
      }
      for (auto it = sets.rbegin(); it != sets.rend(); ++it)
        if ((*it)->Answer(name, value)) return;
    };
    report.OnBeginColumn = [this](TrpBand& band) { events.push_back("begin " + cp::Ansi1251ToUtf8(band.Name)); };
    report.OnPrintColumn = [this](int column, int&) { events.push_back(std::to_string(column)); };
  }
  // The title row ("Head") and the product rows, with the cross strips' cells: header
  // at 20 (150 wide), data at `dataLeft` (`dataWidth` wide), footer next to it.
  TrpBandView& TitleAndRows(int top, int dataLeft, int dataWidth, int rowHeight) {
    const int footerLeft = dataLeft + dataWidth;
    b.Band(btMasterHeader, top, 20).Name = "Head";
    b.Memo("Продукт", 20, top, 150, 18);
    b.Memo("День [DAY] [COLUMN#]", dataLeft, top, dataWidth, 18);
    b.Memo("Всего", footerLeft, top, 100, 18);
    TrpBandView& data = b.Band(btMasterData, top + 30, rowHeight);
    data.FormatStr = "Products";
    data.Name = "MasterData1";
    b.Memo("[LINE#]. [PRODUCT]", 20, top + 30, 150, 18);
    b.Memo("[QTY] [NOTE]", dataLeft, top + 30, dataWidth, 18).Flags |= flStretched;
    b.Memo("[SUM([QTY])]", footerLeft, top + 30, 100, 18);
    return data;
  }
};

}  // namespace

TEST(RpBuild, CrossTabPrintsAColumnPerRecordOfTheCrossDataset) {
  CrossFixture f(3, 4);
  f.b.Page(9, rpPortrait, 20);
  CrossBand(f, btCrossHeader, 20, 150);
  CrossBand(f, btCrossData, 170, 80).FormatStr = "Days";
  CrossBand(f, btCrossFooter, 250, 100);
  f.b.Band(btPageHeader, 0, 20);
  f.b.Memo("Раскладка по дням, стр. [PAGE#]", 20, 0, 700, 18);
  f.TitleAndRows(30, 170, 80, 20).Flags |= flStretched;
  f.b.Band(btMasterFooter, 90, 20).Name = "Foot";
  f.b.Memo("Итого", 20, 90, 150, 18);
  f.b.Memo("[SUM([QTY])]", 170, 90, 80, 18);
  f.b.Memo("строк [COUNT(MasterData1)]", 400, 90, 200, 18);
  f.ShowZeros();
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 1);
  // Columns numbered from 1 for every row that holds cells.
  const std::vector<std::string> perRow = {"1", "2", "3", "4"};
  std::vector<std::string> expected;
  for (const char* row : {"Head", "MasterData1", "MasterData1", "MasterData1", "Foot"}) {
    expected.push_back(std::string("begin ") + row);
    if (std::string(row) == "MasterData1") {  // its height is measured over the columns first
      expected.insert(expected.end(), perRow.begin(), perRow.end());
      expected.push_back(std::string("begin ") + row);
    }
    expected.insert(expected.end(), perRow.begin(), perRow.end());
  }
  EXPECT_EQ(f.events, expected) << testing::PrintToString(f.events);
  ExpectGolden("cross_tab", dump);
}

TEST(RpBuild, CrossFooterCellOfATotalsRowIsTheGrandTotal) {
  // The master footer's cell under the cross footer adds up every record in every
  // column: (11+12+13+14) + (21+...+24) + (31+...+34) = 270 over 12 cells; the cells of
  // the records' rows add up their own columns.
  CrossFixture f(3, 4);
  f.b.Page(9, rpPortrait, 20);
  CrossBand(f, btCrossHeader, 20, 150);
  CrossBand(f, btCrossData, 170, 80).FormatStr = "Days";
  CrossBand(f, btCrossFooter, 250, 160);
  f.TitleAndRows(0, 170, 80, 20);
  f.b.Band(btMasterFooter, 60, 20).Name = "Foot";
  f.b.Memo("Итого", 20, 60, 150, 18);
  f.b.Memo("[SUM([QTY])]", 170, 60, 80, 18);
  f.b.Memo("[SUM([QTY])] / [COUNT(MasterData1)]", 250, 60, 160, 18);
  f.ShowZeros();
  const std::string dump = f.Build();
  EXPECT_NE(dump.find("@490,40 100x18 50\n"), std::string::npos) << dump;
  EXPECT_NE(dump.find("@490,100 160x18 270 / 12\n"), std::string::npos) << dump;
  ExpectGolden("cross_grand_total", dump);
}

TEST(RpBuild, CrossCellsOfABandThatSplitsGoOnWithIt) {
  // Rows of 20 lines that split over the pages; each cell ("[QTY]-1" .. "[QTY]-20")
  // splits with its row: every line prints once, the split row's cells on both pages.
  CrossFixture f(5, 3);
  f.b.Page(9, rpPortrait, 20);
  CrossBand(f, btCrossHeader, 20, 150);
  CrossBand(f, btCrossData, 170, 80).FormatStr = "Days";
  TrpBandView& data = f.b.Band(btMasterData, 0, 20);
  data.FormatStr = "Products";
  data.Flags |= flStretched | flBreaked;
  std::string own, cell;
  for (int i = 1; i <= 20; ++i) {
    own += "[PRODUCT] " + std::to_string(i) + "\n";
    cell += "[QTY]-" + std::to_string(i) + "\n";
  }
  f.b.Memo(own, 20, 0, 150, 18).Flags |= flStretched;
  f.b.Memo(cell, 170, 0, 80, 18).Flags |= flStretched;
  const std::string dump = f.Build();
  ASSERT_GE(f.report.EMFPages.GetCount(), 2);
  std::map<std::string, int> seen;  // cell line -> times printed
  std::map<std::string, std::set<int>> pagesOf;  // cell "QTY" -> pages it printed on
  std::istringstream in(dump);
  int page = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("page ", 0) == 0) ++page;
    if (line.find("Memo2 @") == std::string::npos) continue;
    std::istringstream text(line.substr(line.find(' ', line.find('x')) + 1));
    for (std::string part; std::getline(text, part, '|');) {
      ++seen[part];
      pagesOf[part.substr(0, part.find('-'))].insert(page);
    }
  }
  for (int p = 1; p <= 5; ++p)
    for (int d = 1; d <= 3; ++d)
      for (int i = 1; i <= 20; ++i) {
        const std::string part = std::to_string(p * 10 + d) + "-" + std::to_string(i);
        EXPECT_EQ(seen[part], 1) << part;
      }
  int split = 0;
  for (const auto& [qty, pages] : pagesOf) split += pages.size() > 1;
  EXPECT_GE(split, 3) << dump;  // the three cells of a split row at least
  ExpectGolden("cross_split", dump);
}

TEST(RpBuild, CrossCellsFollowPageColumnsAndSubreports) {
  struct Case {
    int days;
    const char* golden;
    int pages;
  };
  // Two page columns of five rows: the cells of column 2 shift with it. Four days fit
  // the column; with six the last ones go on on the page to the right, at the column's left.
  for (const Case& c : {Case{4, "cross_page_columns", 1}, Case{6, "cross_page_columns_wide", 2}}) {
    SCOPED_TRACE(c.golden);
    CrossFixture f(8, c.days);
    TrpPage& page = f.b.Page(9, rpPortrait, 20);
    page.Columns = 2;
    page.ColumnGap = 20;
    CrossBand(f, btCrossHeader, 20, 100);
    CrossBand(f, btCrossData, 120, 50).FormatStr = "Days";
    f.b.Band(btMasterData, 0, 200).FormatStr = "Products";
    f.b.Memo("[PRODUCT]", 20, 0, 100, 18);
    f.b.Memo("[QTY]", 120, 0, 50, 18);
    const std::string dump = f.Build();
    EXPECT_EQ(f.report.EMFPages.GetCount(), c.pages);
    // Row 6 opens column 2 (x 20 + 349 + 20): its product and first day beside it.
    EXPECT_NE(dump.find("@389,20 100x18 сыр\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("@489,20 50x18 61\n"), std::string::npos) << dump;
    ExpectGolden(c.golden, dump);
  }
  {
    SCOPED_TRACE("two subreports side by side, each a cross-tab");
    CrossFixture f(2, 3);
    f.b.Page(9, rpPortrait, 20);
    f.b.Band(btMasterData, 0, 100).FormatStr = "1";
    f.b.SubReport(20, 0, 300, 100, 1);
    f.b.SubReport(380, 0, 220, 100, 2);
    for (int sub = 0; sub < 2; ++sub) {
      f.b.Page(9, rpPortrait, 20);
      CrossBand(f, btCrossHeader, 20, 100);
      CrossBand(f, btCrossData, 120, 50).FormatStr = "Days";
      f.b.Band(btMasterData, 0, 20).FormatStr = "Products";
      f.b.Memo(sub ? "справа [PRODUCT]" : "слева [PRODUCT]", 20, 0, 100, 18);
      f.b.Memo("[QTY]", 120, 0, 50, 18);
    }
    const std::string dump = f.Build();
    // A subreport's column is the parent's (20) + the view's Left, its views at their
    // Left + that - 20: the left one's at 40 on, the right one's at 400 on. The right
    // one is 220 wide: its third day (at 600) goes on on the page to the right, at the
    // subreport's left.
    EXPECT_EQ(f.report.EMFPages.GetCount(), 2);
    for (const char* cell : {"@40,20 100x18 слева крупа\n", "@240,20 50x18 13\n", "@400,20 100x18 справа крупа\n",
                             "@500,20 50x18 11\n", "@550,20 50x18 12\n", "@400,20 50x18 13\n"})
      EXPECT_NE(dump.find(cell), std::string::npos) << cell << dump;
    ExpectGolden("cross_subreports", dump);
  }
}

TEST(RpBuild, WideCrossTabGoesOnOnPagesToTheRight) {
  CrossFixture f(5, 9);
  f.b.Page(9, rpPortrait, 20);
  CrossBand(f, btCrossHeader, 20, 150).Flags |= flRepeatHeader;
  CrossBand(f, btCrossData, 170, 100).FormatStr = "Days";
  CrossBand(f, btCrossFooter, 270, 100);
  f.b.Band(btOverlay, 500, 30);
  f.b.Memo("ЧЕРНОВИК", 300, 500, 200, 30);
  f.TitleAndRows(0, 170, 100, 300);
  f.report.Pages.FindObject("Head")->Flags |= flRepeatHeader;
  f.b.Band(btPageFooter, 400, 20);
  f.b.Memo("Стр. [PAGE#]", 20, 400, 700, 18);
  f.ShowZeros();
  const std::string dump = f.Build();
  // Three rows a page, two pages across: 1 and 2 hold rows 1-3, 3 and 4 rows 4-5.
  EXPECT_EQ(f.report.EMFPages.GetCount(), 4);
  ExpectGolden("cross_wide", dump);
}

TEST(RpBuild, TheWidthOnPrintColumnOrTheCrossBandsScriptSetsStaysForTheColumnsAfter) {
  // Cross data at 170, 80 wide, four days. Setting 120 on column 1 (by the event, or by
  // the band's script) makes that column and the ones after it 120 wide: the day cells
  // of the title row print at 170, 290, 410, 530 (the footer's, at 650, goes to the
  // page to the right: 650 + 100 > 738).
  for (bool byScript : {false, true}) {
    SCOPED_TRACE(byScript);
    CrossFixture f(1, 4);
    f.b.Page(9, rpPortrait, 20);
    CrossBand(f, btCrossHeader, 20, 150);
    TrpBandView& data = CrossBand(f, btCrossData, 170, 80);
    data.FormatStr = "Days";
    data.Name = "Cross";
    CrossBand(f, btCrossFooter, 250, 100);
    f.TitleAndRows(30, 170, 80, 20);
    if (byScript)
      data.Script.SetText("begin if [COLUMN#] = 1 then Cross.Width := 120 end");
    else
      f.report.OnPrintColumn = [](int column, int& width) {
        if (column == 1) width = 120;
      };
    const std::string dump = f.Build();
    for (const char* cell : {"@170,20 80x18 День 1 1\n", "@290,20 80x18 День 2 2\n", "@410,20 80x18 День 3 3\n",
                             "@530,20 80x18 День 4 4\n"})
      EXPECT_NE(dump.find(cell), std::string::npos) << cell << dump;
  }
}

TEST(RpBuild, CrossColumnsWiderThanThePageOrWithoutEndTerminate) {
  {
    SCOPED_TRACE("a column wider than the page");
    CrossFixture f(1, 3);
    f.report.OnPrintColumn = [](int, int& width) { width = 2000; };
    f.b.Page(9, rpPortrait, 20);
    CrossBand(f, btCrossHeader, 20, 150).Flags |= flRepeatHeader;
    CrossBand(f, btCrossData, 170, 100).FormatStr = "Days";
    f.b.Band(btMasterData, 0, 20).FormatStr = "Products";
    f.b.Memo("[PRODUCT]", 20, 0, 150, 18);
    f.b.Memo("[DAY]", 170, 0, 100, 18);
    const std::string dump = f.Build();
    // The first column moves once to a fresh page to the right; every further one takes a page.
    EXPECT_EQ(f.report.EMFPages.GetCount(), 4);
    for (const char* day : {"1", "2", "3"})
      EXPECT_NE(dump.find(std::string("Memo2 @170,20 100x18 ") + day + "\n"), std::string::npos) << dump;
  }
  {
    SCOPED_TRACE("a cross dataset that never ends stops on cancel");
    Fixture f;
    f.Rows("Rows", Numbered(1));
    TrpUserDataset endless;
    endless.Name = "Endless";
    f.report.AddDataset(endless);
    int polls = 0;
    f.report.CancelRequested = [&] { return ++polls > 300; };
    f.b.Page(9, rpPortrait, 20);
    CrossBand(f, btCrossData, 20, 100).FormatStr = "Endless";
    f.b.Band(btMasterData, 0, 20).FormatStr = "Rows";
    f.b.Memo("x", 20, 0, 100, 18);
    f.report.PrepareReport();
    EXPECT_GT(polls, 300);
    EXPECT_LT(f.report.EMFPages.GetCount(), 300);
  }
}

TEST(RpBuild, RecordsSideBySideFillRowsOfColumns) {
  Fixture f;
  f.Rows("Rows", Numbered(14));
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btOverlay, 600, 30);
  f.b.Memo("ОБРАЗЕЦ", 300, 600, 200, 30);
  f.b.Band(btMasterHeader, 0, 20).Flags |= flRepeatHeader;
  f.b.Memo("Карточки, стр. [PAGE#]", 20, 0, 300, 18);
  TrpBandView& data = f.b.Band(btMasterData, 30, 300);
  data.FormatStr = "Rows";
  data.Name = "MasterData1";
  data.Columns = 3;
  data.ColumnWidth = 200;
  data.ColumnGap = 20;
  f.b.Memo("Карточка [N]", 20, 30, 180, 18);
  f.b.Band(btMasterFooter, 340, 20);
  f.b.Memo("Всего [COUNT(MasterData1)]", 20, 340, 300, 18);
  f.ShowZeros();
  const std::string dump = f.Build();
  // Rows of three, three rows a page: 1-9 on page 1, 10-14 on page 2, the footer below 13.
  EXPECT_EQ(f.report.EMFPages.GetCount(), 2);
  for (const char* expected : {"Карточка 1\n", "@240,40 180x18 Карточка 2\n", "@460,40 180x18 Карточка 3\n",
                               "@20,340 180x18 Карточка 4\n", "@240,340 180x18 Карточка 14\n",
                               "@20,640 300x18 Всего 14\n"})
    EXPECT_NE(dump.find(expected), std::string::npos) << expected;
  ExpectGolden("records_side_by_side", dump);
}

TEST(RpBuild, SubReportsSideBySideGoOnOverThePagesTogether) {
  struct Case {
    int left, right;
    const char* golden;
    int pages;
  };
  // The right one shorter than the left, and longer (it goes on past the left one's pages).
  for (const Case& c : {Case{40, 6, "subreports_side_by_side", 2}, Case{40, 60, "subreports_right_longer", 3}}) {
    SCOPED_TRACE(c.golden);
    Fixture f;
    f.Rows("Left", Numbered(c.left, "L"));
    f.Rows("Right", Numbered(c.right, "R"));
    f.b.Page(9, rpPortrait, 20);
    f.b.Band(btPageHeader, 0, 20);
    f.b.Memo("Стр. [PAGE#]", 20, 0, 200, 18);
    f.b.Band(btMasterData, 30, 40);
    f.b.SubReport(20, 30, 300, 40, 1);
    f.b.SubReport(380, 30, 300, 40, 2);
    f.b.Memo("под полосой", 20, 50, 300, 18);
    f.b.Band(btReportSummary, 80, 20);
    f.b.Memo("Конец", 20, 80, 200, 18);
    f.b.Band(btPageFooter, 110, 20);
    f.b.Memo("Подвал [PAGE#]", 20, 110, 200, 18);
    f.b.Page(9, rpPortrait, 20);
    f.b.Band(btMasterData, 0, 40).FormatStr = "Left";
    f.b.Memo("слева [L]", 0, 0, 250, 18);
    f.b.Page(9, rpPortrait, 20);
    f.b.Band(btMasterData, 0, 40).FormatStr = "Right";
    f.b.Memo("справа [R]", 0, 0, 250, 18);
    const std::string dump = f.Build();
    EXPECT_EQ(f.report.EMFPages.GetCount(), c.pages);
    // Both start on page 1 beside each other, at the parent's column x (20) + their
    // Left - 20; the band's own memo stays on page 1.
    EXPECT_NE(dump.find("@20,40 250x18 слева 1\n"), std::string::npos);
    EXPECT_NE(dump.find("@380,40 250x18 справа 1\n"), std::string::npos);
    EXPECT_LT(dump.find("под полосой"), dump.find("page 2"));
    ExpectGolden(c.golden, dump);
  }
}

TEST(RpBuild, CrossTabRowsNameTheirOwnColumnDatasets) {
  // The title row takes its columns from a counted dataset, the product rows from the
  // days ("band=source;" pairs).
  CrossFixture f(2, 4);
  f.b.Page(9, rpPortrait, 20);
  CrossBand(f, btCrossHeader, 20, 150);
  CrossBand(f, btCrossData, 170, 100).FormatStr = "Head=2;masterdata1=Days;";
  f.TitleAndRows(0, 170, 100, 20);
  const std::string dump = f.Build();
  EXPECT_NE(dump.find("@270,20 100x18 День 1 2\n"), std::string::npos) << dump;
  EXPECT_EQ(dump.find(" 3\n"), std::string::npos);  // the title row has two columns
  EXPECT_NE(dump.find("@470,60 100x18 24 \n"), std::string::npos);  // the product rows four
}

TEST(RpBuild, PageHeadersWithCellsOnPagesToTheRightDoNotRestartTheColumns) {
  // The page header holds cells too; printed on a page made to the right while a row
  // walks the columns, it must not walk them again from the first.
  CrossFixture f(2, 9);
  f.b.Page(9, rpPortrait, 20);
  CrossBand(f, btCrossHeader, 20, 150);
  CrossBand(f, btCrossData, 170, 100).FormatStr = "Days";
  f.b.Band(btPageHeader, 400, 20);
  f.b.Memo("колонка [COLUMN#]", 170, 400, 100, 18);
  f.b.Band(btMasterData, 0, 20).FormatStr = "Products";
  f.b.Memo("[QTY]", 170, 0, 100, 18);
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 2);
  for (const char* text : {"колонка 1", "колонка 9", "11", "19", "21", "29"}) {
    const std::string line = std::string(" ") + text + "\n";
    EXPECT_NE(dump.find(line), std::string::npos) << text << dump;
    EXPECT_EQ(dump.find(line), dump.rfind(line)) << text;
  }
}

TEST(RpBuild, ViewsInNoBandPrintWhereTheyLieOnTheFirstPage) {
  Fixture f;
  f.ListRows(60);
  f.b.Memo("Печать похода", 500, 900, 200, 30);  // below every band
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 2);
  const std::size_t at = dump.find("Memo2 @500,900 200x30 Печать похода\n");
  EXPECT_NE(at, std::string::npos) << dump;
  EXPECT_EQ(at, dump.rfind("Memo2 @500,900"));
  EXPECT_LT(at, dump.find("page 2"));
}

TEST(RpBuild, VariablesOfATemplateFilesDictionaryAreTheReports) {
  TempDir dir;
  const AnsiString file = dir.Path() + "/dictionary.rpf";
  {
    Fixture f;
    f.b.Page(9, rpPortrait, 20);
    f.b.Band(btReportTitle, 0, 20);
    f.b.Memo("[TITLE] [TWICE]", 20, 0, 300, 18);
    TrpVariables& vars = f.report.Pages.Dictionary.Variables;
    vars.SetValueByName(Ansi(" Заголовки"), "");
    vars.SetValueByName("TITLE", "'x'");
    vars.SetValueByName("TWICE", "TITLE + TITLE");
    rpSaveTemplateFile(f.report.Pages, file);
  }
  Fixture f;
  ASSERT_TRUE(rpLoadTemplateFile(f.report.Pages, file).Ok());
  f.report.Pages.GetPages(0)->Objects.front()->Script.SetText("TWICE := 5");
  EXPECT_NE(f.Build().find(" x 5\n"), std::string::npos);
  // A script's assignment lasts for its build only.
  EXPECT_EQ(VarToStr(f.report.Pages.Dictionary.Variables.GetValueByName("TWICE")), "TITLE + TITLE");
}
