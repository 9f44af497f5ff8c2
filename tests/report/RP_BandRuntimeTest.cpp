// What band views answer while a report is built (their running band's place, size,
// data source, child band and dataset), the constants of picture views, bare field
// names of the band's database dataset, page footer totals over carried pages, the
// heights of stretched bands whose memos show themselves, the report's own document
// events, and views told of the memos that print.
#include <algorithm>

#include "BuildFixture.h"
#include "RowDataSet.h"
#include "report/RP_DBSet.h"
#include "report/RP_Funcs.h"

using namespace rpbuildtest;

namespace {

// The lines of a dump that hold `text`, as "x,y text" (the view's place and its text).
std::vector<std::string> Lines(const std::string& dump, const std::string& text) {
  std::vector<std::string> found;
  std::istringstream in(dump);
  std::string line;
  while (std::getline(in, line))
    if (line.find(text) != std::string::npos) {
      const std::size_t at = line.find('@');
      const std::size_t size = line.find(' ', at);
      const std::size_t body = line.find(' ', size + 1);
      found.push_back(line.substr(at + 1, size - at - 1) + " " + line.substr(body + 1));
    }
  return found;
}

// A master data band "Data" over `rows` numbered rows with the script given, and a
// memo of `text` in it.
TrpBandView& DataBand(Fixture& f, int rows, const char* script, const char* text) {
  f.Rows("Rows", Numbered(rows));
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& data = f.b.Band(btMasterData, 0, 20);
  data.Name = "Data";
  data.FormatStr = "Rows";
  data.Script.SetText(Ansi(script));
  f.b.Memo(text, 20, 0, 300, 18);
  return data;
}

}  // namespace

TEST(RpBandRuntime, EofAndMovesAnswerForTheRunningBandsDataset) {
  struct Case {
    const char* what;
    const char* script;
    const char* text;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"EOF of the band's own dataset", "", "[N] [Data.EOF]", {"20,20 1 False", "20,40 2 False", "20,60 3 False"}},
      {"NEXT skips a record", "if [N] = 1 then Data.Next", "строка [N]", {"20,20 строка 2", "20,40 строка 3"}},
      {"FIRST goes back once", "if [N] = 3 then if [x] = 0 then begin x := 1; Data.First end", "строка [N]",
       {"20,20 строка 1", "20,40 строка 2", "20,60 строка 1", "20,80 строка 2", "20,100 строка 3"}},
      {"HEIGHT changes the running band", "Data.Height := 40", "строка [N]",
       {"20,20 строка 1", "20,60 строка 2", "20,100 строка 3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rpGlobalVariables().SetValueByName("x", Variant(0));
    Fixture f;
    DataBand(f, 3, c.script, c.text);
    const std::string dump = f.Build();
    EXPECT_EQ(Lines(dump, "@20,"), c.expected) << dump;
  }
  rpGlobalVariables().Clear();
}

TEST(RpBandRuntime, DataSourceAndChildBandSetByAScriptTakeEffectInTheBuild) {
  Fixture f;
  // Detail rows come from "A" for the first record and from "B" for the second; the
  // child band prints after the records from the second on.
  f.Rows("Rows", Numbered(2));
  // (The fixture answers [X] from the last set still standing on a row: "B" stands on
  // none until it runs, and the detail may have looked at "A" before the script ran.)
  f.Rows("A", {{{"X", Variant("a1")}}, {{"X", Variant("a2")}}});
  TRows& b = f.Rows("B", {{{"X", Variant("b1")}}, {{"X", Variant("b2")}}});
  b.Set.Next();
  b.Set.Next();
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& data = f.b.Band(btMasterData, 0, 20);
  data.FormatStr = "Rows";
  data.Script.SetText("if [N] = 2 then begin Detail.DataSource := 'B'; Data.ChildBand := 'Note' end");
  data.Name = "Data";
  data.Flags |= flPrintIfSubsetEmpty;  // (no look at the details before the script ran)
  f.b.Memo("запись [N]", 20, 0, 200, 18);
  TrpBandView& detail = f.b.Band(btDetailData, 30, 20);
  detail.Name = "Detail";
  detail.FormatStr = "A";
  f.b.Memo("  [X]", 20, 30, 200, 18);
  f.b.Band(btChild, 60, 20).Name = "Note";
  f.b.Memo("примечание", 20, 60, 200, 18);
  const std::string dump = f.Build();
  std::vector<std::string> texts;
  for (const std::string& line : Lines(dump, "@20,")) texts.push_back(line.substr(line.find(' ') + 1));
  EXPECT_EQ(texts, (std::vector<std::string>{"запись 1", "  a1", "  a2", "запись 2", "примечание", "  b1", "  b2"}))
      << dump;
  // The template is as it was.
  EXPECT_EQ(f.report.FindObject("Detail")->FormatStr, "A");
  EXPECT_EQ(static_cast<TrpBandView*>(f.report.FindObject("Data"))->ChildBand, "");
}

TEST(RpBandRuntime, PictureKindsAreConstantsOnceAPictureExists) {
  TrpPictureView picture;
  Fixture f;
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btReportTitle, 0, 20);
  f.b.Memo("[btBMP] [btJPG] [btICO] [btWMF]", 20, 0, 300, 18);
  f.ShowZeros();
  EXPECT_EQ(Lines(f.Build(), "@20,"), std::vector<std::string>{"20,20 0 1 2 3"});
}

TEST(RpBandRuntime, BareFieldNamesAreFieldsOfTheBandsDatabaseDataset) {
  // Masters 1-2 with details of their own dataset: each level's bare T is its own
  // dataset's; the master footer's is the master's last record.
  auto masters = rptest::Numbers(2, "m"), details = rptest::Numbers(2, "d");
  TrpDBDataSet masterSet, detailSet;
  masterSet.Name = "Masters";
  masterSet.SetDataSet(masters.get());
  detailSet.Name = "Details";
  detailSet.SetDataSet(details.get());
  TrpReport report;
  report.AddDataset(masterSet);
  report.AddDataset(detailSet);
  TrpTemplateBuilder b(report.Pages);
  b.Page(9, rpPortrait, 20);
  b.Band(btMasterData, 0, 20).FormatStr = "Masters";
  b.Memo("[T] [N]", 20, 0, 200, 18);
  b.Band(btDetailData, 30, 20).FormatStr = "Details";
  b.Memo("  [T] [N]", 20, 30, 200, 18);
  b.Band(btMasterFooter, 60, 20);
  b.Memo("итог [T]", 20, 60, 200, 18);
  ASSERT_TRUE(report.PrepareReport()) << cp::Ansi1251ToUtf8(report.ErrorText);
  std::vector<std::string> texts;
  for (const std::string& line : Lines(Dump(report.EMFPages), "@20,")) texts.push_back(line.substr(line.find(' ') + 1));
  ASSERT_EQ(texts.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.end() - 1),
            (std::vector<std::string>{"m1 1", "  d1 1", "  d2 2", "m2 2", "  d1 1", "  d2 2"}));
  EXPECT_EQ(texts.back(), "итог m2");
}

TEST(RpBandRuntime, AMasterBandWithoutSourceTakesTheReportsDatasetInASimpleReport) {
  for (TrpReportType type : {rtSimple, rtMultiple}) {
    SCOPED_TRACE(type);
    Fixture f;
    TRows& rows = f.Rows("Rows", Numbered(3));
    f.b.Page(9, rpPortrait, 20);
    f.b.Band(btMasterData, 0, 20);
    f.b.Memo("строка [N]", 20, 0, 200, 18);
    f.report.ReportType = type;
    f.report.SetDataset(&rows.Set);
    const std::string dump = f.Build();
    // Simple: the band walks the dataset; multiple: the report is built once per
    // record, its band printing one record each time.
    EXPECT_EQ(Lines(dump, "строка").size(), 3u) << dump;
    EXPECT_EQ(f.report.EMFPages.GetCount(), type == rtSimple ? 1 : 3) << dump;
  }
}

TEST(RpBandRuntime, PageFooterTotalsHoldOnEveryPageACrossTabCarriedToTheRight) {
  Fixture f;
  f.Rows("Rows", Numbered(3));
  f.Rows("Days", Numbered(12, "DAY"));
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& header = f.b.Band(btCrossHeader, 0, 1000);
  header.Left = 200;
  header.Width = 100;
  TrpBandView& days = f.b.Band(btCrossData, 0, 1000);
  days.Left = 300;
  days.Width = 100;
  days.FormatStr = "Days";
  f.b.Band(btMasterData, 0, 20).FormatStr = "Rows";
  f.b.Memo("строка [N]", 20, 0, 150, 18);
  f.b.Memo("день [DAY]", 300, 0, 100, 18);
  f.b.Band(btPageFooter, 100, 20);
  f.b.Memo("итого [SUM([N])]", 20, 100, 150, 18);
  f.ShowZeros();
  const std::string dump = f.Build();
  ASSERT_GE(f.report.EMFPages.GetCount(), 2) << dump;
  EXPECT_EQ(Lines(dump, "итого").size(), static_cast<std::size_t>(f.report.EMFPages.GetCount())) << dump;
  for (const std::string& line : Lines(dump, "итого")) EXPECT_NE(line.find("итого 6"), std::string::npos) << dump;
}

TEST(RpBandRuntime, AMemoShownByItsOwnScriptMakesItsStretchedBandTaller) {
  Fixture f;
  f.Rows("Rows", Numbered(2));
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& data = f.b.Band(btMasterData, 0, 20);
  data.FormatStr = "Rows";
  data.Flags |= flStretched;
  f.b.Memo("строка [N]", 20, 0, 200, 18);
  TrpMemoView& note = f.b.Memo("первая\nвторая\nтретья", 300, 0, 200, 18);
  note.Flags |= flStretched;
  note.Name = "Note";
  note.Visible = false;
  note.Script.SetText("Note.Visible := [N] = 1");
  const std::string dump = f.Build();
  const std::vector<std::string> rows = Lines(dump, "строка");
  ASSERT_EQ(rows.size(), 2u) << dump;
  EXPECT_EQ(Lines(dump, "первая").size(), 1u) << dump;
  // The second row starts below the three lines of the first one's note.
  EXPECT_EQ(rows[0].substr(0, rows[0].find(' ')), "20,20");
  int x = 0, y = 0;
  ASSERT_EQ(std::sscanf(rows[1].c_str(), "%d,%d", &x, &y), 2);
  EXPECT_GE(y, 20 + 3 * 14) << dump;
}

TEST(RpBandRuntime, AverageDividesByTheValuesItAdded) {
  // Values 1, 2, 6 on visible records and 7 on an invisible one: the sum and the average
  // take the visible ones (9, 9 / 3); with the flag "1" the average takes all four
  // (16 / 4); COUNT counts every record.
  Fixture f;
  f.Rows("Rows", {{{"V", Variant(1)}}, {{"V", Variant(2)}}, {{"V", Variant(7)}}, {{"V", Variant(6)}}});
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& data = f.b.Band(btMasterData, 0, 20);
  data.FormatStr = "Rows";
  data.Name = "Data";
  data.Script.SetText("Data.Visible := [V] <> 7");
  f.b.Memo("[V]", 20, 0, 100, 18);
  f.b.Band(btMasterFooter, 30, 20);
  f.b.Memo("[SUM([V])] [AVG([V])] [AVG([V], Data, 1)] [COUNT(Data)]", 20, 30, 300, 18);
  f.ShowZeros();
  EXPECT_EQ(Lines(f.Build(), "@20,").back(), "20,80 9 3 4 4");
}

TEST(RpBandRuntime, ListedReportsHearOfTheirPagesAndEveryReportOfItsDocument) {
  Fixture a, b;
  a.ListRows(2);
  b.ListRows(3);
  b.report.Pages.DoublePass = true;  // the composite builds twice
  TrpCompositeReport composite;
  composite.Reports = {&a.report, &b.report};
  std::vector<std::string> log;
  auto watch = [&](TrpReport& r, const std::string& name) {
    r.OnBeginDoc = [&log, name](TObject*) { log.push_back(name + " begin"); };
    r.OnEndDoc = [&log, name](TObject*) { log.push_back(name + " end"); };
    r.EMFPages.OnBeginPage = [&log, name](int) { log.push_back(name + " page"); };
  };
  watch(composite, "C");
  watch(a.report, "A");
  watch(b.report, "B");
  // The composite's document ends with the listed templates back as they were.
  TrpView& memo = *a.report.Pages.GetPages(0)->Objects.back();
  memo.Name = "RowMemo";
  memo.Script.SetText("RowMemo.Memo := 'x'");
  composite.OnEndDoc = [&](TObject*) {
    log.push_back(a.report.FindObject("RowMemo")->Memo[0] == "[N]" ? "C end" : "C end (changed)");
  };
  ASSERT_TRUE(composite.PrepareReport()) << cp::Ansi1251ToUtf8(composite.ErrorText);
  EXPECT_EQ(log, (std::vector<std::string>{"C begin", "A begin", "A page", "C page", "B begin", "B page", "C page",
                                           "A begin", "A page", "C page", "A end", "B begin", "B page", "C page",
                                           "B end", "C end"}))
      << testing::PrintToString(log);
}

TEST(RpBandRuntime, TheDocumentEndsAfterAFailedBuildAndShowReportSaysWhy) {
  Fixture f;
  f.ListRows(2);
  f.report.Pages.GetPages(0)->Objects.back()->Script.SetText("x := 1 mod 0");
  int begins = 0, ends = 0;
  f.report.OnBeginDoc = [&](TObject*) { ++begins; };
  f.report.OnEndDoc = [&](TObject*) { ++ends; };
  std::vector<std::string> boxes;
  TrpFunctionServices& services = rpFunctionServices();
  const TrpFunctionServices saved = services;
  services.MessageBox = [&](const AnsiString& text, const AnsiString& caption, int flags) {
    boxes.push_back(cp::Ansi1251ToUtf8(caption) + ": " + std::to_string(flags) + " " + cp::Ansi1251ToUtf8(text));
    return 1;
  };
  f.report.ShowReport();
  services = saved;
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Ошибка: " + std::to_string(MB_OK | MB_ICONERROR) + " Возникла ошибка", 0), 0u)
      << boxes[0];
  EXPECT_EQ(f.report.EMFPages.GetCount(), 0);
}

namespace {

// An add-in view that writes down every view it is told of.
std::vector<std::string> heard;

class TrpListener : public TrpView {
 public:
  AnsiString ClassName() const override { return "TrpListener"; }
  void Draw(TCanvas&) override {}
  void PrintNotify(TrpView& printed) override {
    heard.push_back(Name + ": " + printed.Name + " " + cp::Ansi1251ToUtf8(Trim(printed.PrintText.Text())));
  }
};

}  // namespace

TEST(RpBandRuntime, ViewsThatAskAreToldOfEveryMemoThatPrints) {
  rpRegisterObjectClass("TrpListener", [] { return std::make_unique<TrpListener>(); });
  heard.clear();
  {
    Fixture f;
    f.Rows("Rows", Numbered(2));
    f.b.Page(9, rpPortrait, 20);
    f.b.Band(btReportTitle, 0, 20);
    f.b.Memo("заголовок", 20, 0, 200, 18).Name = "Title";
    f.b.Line(250, 0, 100, 1);  // no memo: nobody is told
    TrpView& told = f.b.Add(std::make_unique<TrpListener>());
    told.Name = "Told";
    told.Flags |= flNotifyPrint;
    f.b.Add(std::make_unique<TrpListener>()).Name = "NotTold";  // does not ask
    f.b.Band(btMasterData, 30, 20).FormatStr = "Rows";
    f.b.Memo("строка [N]", 20, 30, 200, 18).Name = "Row";
    f.Build();
  }
  rpUnregisterObjectClass("TrpListener");
  EXPECT_EQ(heard, (std::vector<std::string>{"Told: Title заголовок", "Told: Row строка 1", "Told: Row строка 2"}))
      << testing::PrintToString(heard);
}
