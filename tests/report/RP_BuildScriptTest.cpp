// What scripts do to a build: page and column breaks asked by band scripts, the
// position they set, progress texts, aggregates used in scripts, the script-only first
// of two passes, dialog pages, group headers of other data bands, and the report
// forgetting a preview that is freed.
#include <cstdio>

#include "BuildFixture.h"

using namespace rpbuildtest;

namespace {

// The 1-based page of each dump line that holds `text`.
std::vector<int> PagesOf(const std::string& dump, const std::string& text) {
  std::vector<int> pages;
  std::istringstream in(dump);
  std::string line;
  int page = 0;
  while (std::getline(in, line)) {
    if (line.rfind("page ", 0) == 0) ++page;
    if (line.find(text) != std::string::npos) pages.push_back(page);
  }
  return pages;
}

// The "@x,y" of the first dump line holding `text`.
std::pair<int, int> PlaceOf(const std::string& dump, const std::string& text) {
  const std::size_t at = dump.find(text);
  if (at == std::string::npos) return {-1, -1};
  const std::size_t lineStart = dump.rfind('\n', at) + 1;
  const std::size_t sign = dump.find('@', lineStart);
  int x = -1, y = -1;
  std::sscanf(dump.c_str() + sign, "@%d,%d", &x, &y);
  return {x, y};
}

// A page with a page header and numbered rows in a master data band.
void RowsPage(Fixture& f, int rows, const char* dataScript, int columns = 1) {
  f.Rows("Rows", Numbered(rows));
  TrpPage& page = f.b.Page(9, rpPortrait, 40);
  page.Columns = columns;
  page.ColumnGap = 20;
  f.b.Band(btPageHeader, 0, 20);
  f.b.Memo("Шапка [PAGE#]", 20, 0, 200, 18);
  TrpBandView& data = f.b.Band(btMasterData, 30, 25);
  data.FormatStr = "Rows";
  data.Script.SetText(dataScript);
  f.b.Memo("Строка [N]", 20, 30, 200, 18);
}

}  // namespace

TEST(RpBuildScript, NewPageAndNewColumnRunAfterTheBandScript) {
  {
    SCOPED_TRACE("two NEWPAGE calls: two new pages before the band prints");
    Fixture f;
    RowsPage(f, 4, "if [N] = 3 then begin NewPage; NewPage end");
    const std::string dump = f.Build();
    EXPECT_EQ(f.report.EMFPages.GetCount(), 3);
    EXPECT_EQ(PagesOf(dump, "Строка 2"), std::vector<int>{1});
    EXPECT_EQ(PagesOf(dump, "Строка 3"), std::vector<int>{3});  // page 2 holds its header only
    EXPECT_EQ(PagesOf(dump, "Шапка"), (std::vector<int>{1, 2, 3}));
    ExpectGolden("script_new_page", dump);
  }
  {
    SCOPED_TRACE("NEWCOLUMN: the band starts the next column; past the last one a page");
    Fixture f;
    RowsPage(f, 4, "if [N] >= 2 then NewColumn", 2);
    const std::string dump = f.Build();
    EXPECT_EQ(PagesOf(dump, "Строка 1"), std::vector<int>{1});
    EXPECT_EQ(PagesOf(dump, "Строка 2"), std::vector<int>{1});
    EXPECT_GT(PlaceOf(dump, "Строка 2").first, PlaceOf(dump, "Строка 1").first);
    EXPECT_EQ(PlaceOf(dump, "Строка 2").second, PlaceOf(dump, "Строка 1").second);
    EXPECT_EQ(PagesOf(dump, "Строка 3"), std::vector<int>{2});
    EXPECT_EQ(PlaceOf(dump, "Строка 3").first, PlaceOf(dump, "Строка 1").first);
    EXPECT_EQ(PagesOf(dump, "Строка 4"), std::vector<int>{2});
  }
}

TEST(RpBuildScript, CurYSetWithABreakPendingIsKeptAfterTheBreak) {
  struct Case {
    const char* script;
    int page;  // where row 2 prints
    int y;     // -1: below row 1 / at the top of the new page after the header
  };
  const Case cases[] = {
      {"if [N] = 2 then begin NewPage; CurY := 300 end", 2, 300},
      {"if [N] = 2 then begin CurY := 300; NewPage end", 2, -1},  // set before the request: not kept
      {"if [N] = 2 then CurY := 300", 1, 300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    Fixture f;
    RowsPage(f, 2, c.script);
    const std::string dump = f.Build();
    EXPECT_EQ(PagesOf(dump, "Строка 2"), std::vector<int>{c.page});
    const int top = PlaceOf(dump, "Строка 1").second;
    EXPECT_EQ(PlaceOf(dump, "Строка 2").second, c.y >= 0 ? c.y : top);
  }
}

TEST(RpBuildScript, BreaksAskedWhilePagesStartOrEndAreIgnoredSoBuildsEnd) {
  // Each of these would start pages for ever if its request were carried out.
  struct Case {
    int type;
    const char* script;
  };
  const Case cases[] = {
      {btPageHeader, "NewPage"},   {btPageHeader, "begin NewColumn; NewColumn end"}, {btPageFooter, "NewPage"},
      {btColumnHeader, "NewPage"}, {btColumnHeader, "NewColumn"},         {btColumnFooter, "NewPage"},
      {btMasterHeader, "NewPage"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " " + c.script);
    Fixture f;
    f.Rows("Rows", Numbered(60));
    TrpPage& page = f.b.Page(9, rpPortrait, 40);
    page.Columns = 2;
    TrpBandView& band = f.b.Band(c.type, 0, 20);
    band.Script.SetText(c.script);
    band.Flags |= flRepeatHeader | flOnFirstPage;
    f.b.Memo("Полоса [PAGE#]", 20, 0, 200, 18);
    f.b.Band(btMasterData, 30, 25).FormatStr = "Rows";
    f.b.Memo("Строка [N]", 20, 30, 200, 18);
    f.Build();
    EXPECT_GE(f.report.EMFPages.GetCount(), 1);
    EXPECT_LE(f.report.EMFPages.GetCount(), 4);  // 60 rows of 25 in two columns: 2 pages, plus the asked one
  }
}

TEST(RpBuildScript, ProgressGoesToTheProgressTextAndLetsCancelIn) {
  Fixture f;
  RowsPage(f, 5, "Progress := [N] * 10");
  std::vector<std::string> texts;
  f.report.OnProgressText = [&](const AnsiString& text) { texts.push_back(cp::Ansi1251ToUtf8(text)); };
  f.Build();
  EXPECT_EQ(texts, (std::vector<std::string>{"10", "20", "30", "40", "50"}));
  EXPECT_LT(rpGlobalVariables().IndexOfName("PROGRESS"), 0);
  // Cancel asked while the progress text is shown stops the build.
  Fixture g;
  RowsPage(g, 5, "Progress := [N]");
  int asked = 0;
  g.report.CancelRequested = [&] { return asked >= 2; };
  g.report.OnProgressText = [&](const AnsiString&) { ++asked; };
  g.report.PrepareReport();
  EXPECT_EQ(asked, 2);
}

TEST(RpBuildScript, AggregatesOfBandScriptsViewScriptsAndChildBands) {
  Fixture f;
  f.Rows("Rows", {{{"N", Variant(1)}}, {{"N", Variant(2)}}, {{"N", Variant(6)}}});
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 20).FormatStr = "Rows";
  f.b.Memo("[N]", 20, 0, 100, 18);
  TrpBandView& footer = f.b.Band(btMasterFooter, 30, 20);
  footer.Script.SetText("Total := SUM([N]) * 10");
  footer.ChildBand = "Child1";
  f.b.Memo("из сценария полосы [Total]", 20, 30, 300, 18);
  f.b.Memo("[Mean]", 400, 30, 100, 18).Script.SetText("Mean := AVG([N]) + MAX([N])");
  f.b.Band(btChild, 60, 20).Name = "Child1";
  f.b.Memo("дочерняя [COUNT(Band1)] [MIN([N])]", 20, 60, 300, 18);
  f.ShowZeros();
  const std::string dump = f.Build();
  rpGlobalVariables().Clear();
  EXPECT_NE(dump.find("из сценария полосы 90"), std::string::npos) << dump;
  EXPECT_NE(dump.find(" 9\n"), std::string::npos) << dump;  // AVG 3 + MAX 6
  EXPECT_NE(dump.find("дочерняя 3 1"), std::string::npos) << dump;
  ExpectGolden("script_aggregates", dump);
}

TEST(RpBuildScript, TheFirstOfTwoPassesOnlyRunsScripts) {
  Fixture f;
  TrpMemoView& row = TwoPassRows(f);
  row.Memo.SetText(Ansi("Строка [N] [Calls()]"));
  row.Script.SetText("Inc(Runs)");
  int evaluated = 0, beforePrint = 0;
  f.report.OnUserFunction = [&](const AnsiString& name, const Variant&, const Variant&, const Variant&, Variant& v) {
    if (name == "CALLS") v = Variant(++evaluated);
  };
  f.report.OnBeforePrint = [&](TStringList&, TrpView&) { ++beforePrint; };
  rpGlobalVariables().SetValueByName("Runs", Variant(0));
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 3);
  EXPECT_EQ(evaluated, 90);                                             // texts: the final pass only
  EXPECT_EQ(beforePrint, 90 + 3);                                       // rows and page headers, once
  EXPECT_EQ(rpGlobalVariables().GetValueByName("Runs").AsInteger(), 180);  // scripts: both passes
  EXPECT_NE(dump.find("Стр. 3 из 3"), std::string::npos);
  EXPECT_NE(dump.find("Строка 90 90"), std::string::npos);
  rpGlobalVariables().Clear();
}

TEST(RpBuildScript, GroupHeadersFollowTheDataBandTheirMasterNames) {
  Fixture f;
  f.Rows("Orders", {{{"ORDER", Variant("A")}}, {{"ORDER", Variant("B")}}});
  f.Rows("Lines", {{{"KIND", Variant(Ansi("крупа"))}, {"KG", Variant(1)}},
                   {{"KIND", Variant(Ansi("крупа"))}, {"KG", Variant(2)}},
                   {{"KIND", Variant(Ansi("сахар"))}, {"KG", Variant(4)}}});
  f.b.Page(9, rpPortrait, 20);
  StackBands(f, {
                    // A group header naming no data band of the page groups nothing.
                    {btGroupHeader, "никогда", "[ORDER]", "", "Nowhere"},
                    {btMasterData, "Заказ [ORDER]", "Orders"},
                    {btGroupHeader, "  группа [KIND]", "[KIND]", "", "Lines1"},
                    {btDetailData, "    [KIND] [KG]", "Lines", "Lines1"},
                    {btGroupFooter, "  итого группы [SUM([KG])]"},
                    {btDetailFooter, "  итого заказа [SUM([KG])]"},
                });
  f.ShowZeros();
  const std::string dump = f.Build();
  EXPECT_EQ(PagesOf(dump, "группа крупа").size(), 2u) << dump;
  EXPECT_EQ(PagesOf(dump, "итого группы 3").size(), 2u);
  EXPECT_EQ(PagesOf(dump, "итого группы 4").size(), 2u);
  EXPECT_EQ(PagesOf(dump, "итого заказа 7").size(), 2u);
  EXPECT_EQ(dump.find("никогда"), std::string::npos);
  ExpectGolden("detail_groups", dump);
}

namespace {

class RunnerScope {
 public:
  explicit RunnerScope(TrpDialogRunner runner) { rpSetDialogRunner(std::move(runner)); }
  ~RunnerScope() { rpSetDialogRunner(nullptr); }
  RunnerScope(const RunnerScope&) = delete;
  RunnerScope& operator=(const RunnerScope&) = delete;
};

}  // namespace

TEST(RpBuildScript, DialogPagesRunBeforeTheReportAndCancelEndsIt) {
  struct Case {
    const char* name;
    const char* script;
    bool withControl, visible;
    int answer;  // the runner's answer; -1: no runner (no display)
    int shown;   // times the runner is asked
    bool built;
  };
  const Case cases[] = {
      {"OK", "Title := 'Да'", true, true, mrOk, 1, true},
      {"Cancel", "Title := 'Да'", true, true, mrCancel, 1, false},
      {"script says Cancel", "ModalResult := mrCancel", true, true, mrOk, 0, false},
      {"script says OK", "begin ModalResult := mrOk; Title := 'Да' end", true, true, mrCancel, 0, true},
      {"no display", "Title := 'Да'", true, true, -1, 0, true},
      {"no display, script says Cancel", "ModalResult := mrCancel", true, true, -1, 0, false},
      {"no visual control: script only", "Title := 'Да'", false, true, mrCancel, 0, true},
      {"hidden page: script only", "Title := 'Да'", true, false, mrCancel, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool twoPasses : {false, true}) {
      DialogFixture f(c.script, c.withControl, c.visible);
      f.report.Pages.DoublePass = twoPasses;
      int shown = 0;
      RunnerScope scope(c.answer < 0 ? TrpDialogRunner() : [&](TrpDialogForm& form) {
        ++shown;
        EXPECT_EQ(form.Page.Caption, Ansi("Параметры"));
        EXPECT_EQ(form.Controls.size(), 1u);  // the non-visual control is not placed
        return c.answer;
      });
      EXPECT_EQ(f.report.PrepareReport(), c.built);
      EXPECT_EQ(shown, c.shown);  // once per build, also with two passes
      EXPECT_TRUE(f.report.ErrorText.empty()) << cp::Ansi1251ToUtf8(f.report.ErrorText);
      const std::string dump = Dump(f.report.EMFPages);
      if (c.built)
        EXPECT_NE(dump.find("Да 3"), std::string::npos) << dump;
      else
        EXPECT_EQ(f.report.EMFPages.GetCount(), 0);
      rpGlobalVariables().Clear();
    }
  }
}

TEST(RpBuildScript, AControlsScriptClosesTheShownDialog) {
  DialogFixture f("");
  bool closed = false;
  RunnerScope scope([&](TrpDialogForm& form) {
    form.OnClose = [&] { closed = true; };
    // What a button's click script does while the dialog is up.
    TStringList click;
    click.SetText("ModalResult := mrCancel");
    f.report.RunScript(form.Controls.front(), click);
    EXPECT_TRUE(closed);
    return form.ModalResult();
  });
  EXPECT_FALSE(f.report.PrepareReport());
  EXPECT_EQ(f.report.EMFPages.GetCount(), 0);
}

TEST(RpBuildScript, ModalResultOutsideADialogPageIsNoVariable) {
  Fixture f;
  RowsPage(f, 1, "ModalResult := mrCancel");
  f.Build();
  EXPECT_LT(rpGlobalVariables().IndexOfName("MODALRESULT"), 0);
  EXPECT_EQ(f.report.EMFPages.GetCount(), 1);
}

TEST(RpBuildScript, AFreedPreviewIsForgotten) {
  struct Preview : TFreeNotifier {};
  {
    TrpReport report;
    auto preview = std::make_unique<Preview>();
    report.SetPreview(preview.get());
    EXPECT_EQ(report.Preview(), preview.get());
    preview.reset();
    EXPECT_EQ(report.Preview(), nullptr);
  }
  {
    // The report goes first: the preview freed later calls nothing of it.
    Preview preview;
    auto report = std::make_unique<TrpReport>();
    report->SetPreview(&preview);
    report.reset();
  }
  {
    // A second preview replaces the first; freeing the first leaves the second.
    TrpReport report;
    Preview second;
    auto first = std::make_unique<Preview>();
    report.SetPreview(first.get());
    report.SetPreview(&second);
    first.reset();
    EXPECT_EQ(report.Preview(), &second);
    report.Notification(&second);
    EXPECT_EQ(report.Preview(), nullptr);
  }
}

TEST(RpBuildScript, ABreakAskedInsideASubreportMovesItsParentOn) {
  Fixture f;
  DaysWithItems(f).Script.SetText("if [ITEM] = 2 then NewPage");
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 3);
  EXPECT_EQ(PagesOf(dump, "пункт 1 дня 1"), std::vector<int>{1});
  EXPECT_EQ(PagesOf(dump, "пункт 2 дня 1"), std::vector<int>{2});
  EXPECT_EQ(PagesOf(dump, "пункт 2 дня 2"), std::vector<int>{3});
  EXPECT_EQ(PlaceOf(dump, "пункт 2 дня 1").first, PlaceOf(dump, "пункт 1 дня 1").first);
}

TEST(RpBuildScript, ATitleThatBreaksThePageLeavesTheHeadersToTheNewPage) {
  struct Case {
    const char* name;
    std::uint16_t flags;
    const char* script;
    int titlePage;  // FormNewPage: the title alone on page 1; NEWPAGE: a break before it
  };
  const Case cases[] = {{"FormNewPage", flFormNewPage, "", 1}, {"NEWPAGE", 0, "NewPage", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.Rows("Rows", Numbered(2));
    f.b.Page(9, rpPortrait, 20);
    TrpBandView& title = f.b.Band(btReportTitle, 0, 20);
    title.Flags |= c.flags;
    title.Script.SetText(c.script);
    f.b.Memo("Титул", 20, 0, 200, 18);
    f.b.Band(btPageHeader, 30, 20).Flags |= flOnFirstPage;
    f.b.Memo("Шапка [PAGE#]", 20, 30, 200, 18);
    f.b.Band(btColumnHeader, 60, 20);
    f.b.Memo("Колонки", 20, 60, 200, 18);
    f.b.Band(btMasterData, 90, 20).FormatStr = "Rows";
    f.b.Memo("Строка [N]", 20, 90, 200, 18);
    const std::string dump = f.Build();
    EXPECT_EQ(f.report.EMFPages.GetCount(), 2);
    EXPECT_EQ(PagesOf(dump, "Титул"), std::vector<int>{c.titlePage});
    EXPECT_EQ(PagesOf(dump, "Шапка"), std::vector<int>{2});  // once, on the page the break made
    EXPECT_EQ(PagesOf(dump, "Колонки"), std::vector<int>{2});
    EXPECT_EQ(PagesOf(dump, "Строка 1"), std::vector<int>{2});
  }
}
