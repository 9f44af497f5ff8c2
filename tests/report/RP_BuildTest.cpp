// The build pass over fixtures made in code: prepared pages are dumped as text (fake
// metrics make them stable) and compared with the golden dumps in
// tests/data/report/build. TARNWICK_UPDATE_GOLDEN=1 writes the dumps instead.
#include "BuildFixture.h"

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
  f.Rows("Rows", Numbered(3));
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 20).FormatStr = "Rows";
  f.b.Memo("[N]", 20, 0, 100, 18);
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
