// The report component around the build pass: multiple mode, the manual build, the
// end-of-page and print events, the progress window, printing, the printer stored in a
// template and a change of printer, and showing the prepared pages.
#include <gtest/gtest.h>

#include "BuildFixture.h"
#include "FakePrinters.h"
#include "report/RP_Prntr.h"
#include "report/RP_Template.h"

using namespace rpbuildtest;

namespace {

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A dataset that counts its opening and closing.
struct CountingSet : TrpUserDataset {
  int Activated = 0, Deactivated = 0;
  void Activate() override { ++Activated; }
  void Deactivate() override { ++Deactivated; }
};

// A progress window for tests: logs its caption and lines, presses Cancel on the
// n-th message pump (0: never).
struct FakeProgress : TrpProgress {
  std::vector<std::string> Log;
  int CancelAt = 0, Pumps = 0, Runs = 0;
  bool Hidden = false;
  void SetLabel(const AnsiString& text) override { Log.push_back(cp::Ansi1251ToUtf8(text)); }
  void SetLabel2(const AnsiString& text) override { Log.push_back("2: " + cp::Ansi1251ToUtf8(text)); }
  bool ProcessMessages() override { return !(CancelAt && ++Pumps >= CancelAt); }
  void SetHidden(bool hidden) override { Hidden = hidden; }
  void Install() {
    rpSetProgressRunner([this](const AnsiString& caption, const AnsiString& label, const TrpProgressWork& work) {
      ++Runs;
      Log.push_back("[" + cp::Ansi1251ToUtf8(caption) + "] " + cp::Ansi1251ToUtf8(label));
      work(*this);
      return !(CancelAt && Pumps >= CancelAt);
    });
  }
  ~FakeProgress() override { rpSetProgressRunner(nullptr); }
};

// The printer's side of a job: what it was asked to print.
struct FakeJob {
  std::vector<int> Order;
  std::string Title, File;
  int Jobs = 0;
  bool EventBeforeJob = false;
  int* Events = nullptr;
  FakeJob() {
    rpSetPagePrinter([this](TrpEMFPages& pages, const std::vector<int>& order, const AnsiString& title,
                            const AnsiString& file, const TrpPageDone& done) {
      ++Jobs;
      EventBeforeJob = Events && *Events == Jobs;
      Title = cp::Ansi1251ToUtf8(title);
      File = cp::Ansi1251ToUtf8(file);
      Order.clear();
      for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_NE(pages.GetPages(order[i]), nullptr);
        Order.push_back(order[i]);
        if (!done(static_cast<int>(i) + 1)) return false;
      }
      return true;
    });
  }
  ~FakeJob() { rpSetPagePrinter(nullptr); }
};

// A title with the record's name, over three pages of rows per record when `rows`.
void TitlePerRecord(Fixture& f, int rows = 0) {
  f.b.Page(9, rpPortrait, 40);
  f.b.Band(btReportTitle, 0, 20);
  f.b.Memo("Заказ [ORDER], стр. [PAGE#] из [TOTALPAGES]", 20, 0, 400, 18);
  if (rows) {
    f.Rows("Rows", Numbered(rows));
    f.b.Band(btMasterData, 30, 30).FormatStr = "Rows";
    f.b.Memo("[N]", 20, 30, 100, 18);
  }
  f.ShowZeros();
}

}  // namespace

TEST(RpReport, MultipleModeBuildsTheReportOncePerRecord) {
  struct Case {
    TrpReportType type;
    int records;
    bool twoPass;
    std::vector<std::string> titles;
  };
  const Case cases[] = {
      {rtMultiple, 3, false, {"Заказ A, стр. 1 из 0", "Заказ B, стр. 2 из 0", "Заказ C, стр. 3 из 0"}},
      {rtMultiple, 3, true, {"Заказ A, стр. 1 из 3", "Заказ B, стр. 2 из 3", "Заказ C, стр. 3 из 3"}},
      {rtMultiple, 0, false, {"Заказ -, стр. 1 из 0"}},  // built once with no record
      {rtSimple, 3, false, {"Заказ A, стр. 1 из 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " " << c.records << " " << c.twoPass);
    Fixture f;
    std::vector<Row> orders;
    for (int i = 0; i < c.records; ++i) orders.push_back({{"ORDER", Variant(std::string(1, char('A' + i)))}});
    TRows rows("Orders", orders);
    CountingSet set;
    set.OnFirst = rows.Set.OnFirst;
    set.OnNext = rows.Set.OnNext;
    set.OnCheckEOF = rows.Set.OnCheckEOF;
    f.report.OnGetValue = [&](const AnsiString& name, Variant& value) {
      if (!rows.Answer(name, value) && name == "ORDER") value = Variant("-");
    };
    TitlePerRecord(f);
    f.report.Pages.DoublePass = c.twoPass;
    f.report.ReportType = c.type;
    f.report.SetDataset(&set);
    const std::string dump = f.Build();
    ASSERT_EQ(f.report.EMFPages.GetCount(), static_cast<int>(c.titles.size())) << dump;
    for (const std::string& t : c.titles) EXPECT_EQ(Count(dump, t), 1u) << t << "\n" << dump;
    const int passes = c.twoPass ? 2 : 1;
    EXPECT_EQ(set.Activated, c.type == rtMultiple ? passes : 0);
    EXPECT_EQ(set.Deactivated, set.Activated);
  }
}

TEST(RpReport, EachRecordStartsItsOwnPagesAndHiddenPagesOnlyRunTheirScript) {
  Fixture f;
  TRows& orders = f.Rows("Orders", {{{"ORDER", Variant("A")}}, {{"ORDER", Variant("B")}}});
  TitlePerRecord(f, 40);  // 40 rows: two pages per record
  TrpPage& hidden = f.b.Page(9, rpPortrait, 40);
  hidden.Visible = false;
  hidden.Script.SetText(Ansi("Memo1.Memo := 'Заказ [ORDER]'"));  // seen in the next record's title
  f.b.Band(btReportTitle, 0, 20);
  f.b.Memo("не печатается", 20, 0, 200, 18);
  f.report.ReportType = rtMultiple;
  f.report.SetDataset(&orders.Set);
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 4) << dump;
  EXPECT_EQ(dump.find("не печатается"), std::string::npos);
  EXPECT_EQ(Count(dump, "Заказ A"), 1u);
  EXPECT_NE(dump.find("page 3\n  Memo1 @20,40 400x18 Заказ B\n"), std::string::npos) << dump;
  // A dataset that goes is forgotten.
  {
    TrpUserDataset gone;
    f.report.SetDataset(&gone);
  }
  EXPECT_EQ(f.report.Dataset(), nullptr);
  orders.Set.First();
  EXPECT_TRUE(f.report.PrepareReport());  // (the template comes back with every page visible)
  EXPECT_EQ(f.report.EMFPages.GetCount(), 3);
}

TEST(RpReport, ManualBuildShowsTheBandsTheHandlerAsksFor) {
  Fixture f;
  f.b.Page(9, rpPortrait, 40);
  f.b.Band(btReportTitle, 0, 20).Name = "Title";
  f.b.Memo("Заголовок", 20, 0, 200, 18);
  f.b.Band(btPageHeader, 30, 20);
  f.b.Memo("Шапка [PAGE#]", 20, 30, 200, 18);
  f.b.Band(btMasterData, 60, 20).Name = "Line";
  f.b.Memo("Строка [I]", 20, 60, 200, 18);
  f.b.Band(btPageFooter, 90, 20);
  f.b.Memo("Подвал [PAGE#]", 20, 90, 200, 18);
  int i = 0;
  f.values["I"] = Variant(0);
  f.report.OnManualBuild = [&](TrpPageForm& page) {
    EXPECT_EQ(&page.Page, f.report.Pages.GetPages(0));
    page.ShowBand(btReportTitle);
    for (i = 1; i <= 3; ++i) {
      f.values["I"] = Variant(i);
      page.ShowBandByName("LINE");
    }
    page.NewPage();
    f.values["I"] = Variant(4);
    page.ShowBandByName("Line");
    page.ShowBandByName("нет такой");
  };
  const std::string dump = f.Build();
  ASSERT_EQ(f.report.EMFPages.GetCount(), 2) << dump;
  const std::size_t page2 = dump.find("page 2");
  EXPECT_EQ(Count(dump, "Заголовок"), 1u);
  EXPECT_LT(dump.find("Заголовок"), dump.find("Строка 1"));
  EXPECT_LT(dump.find("Строка 3"), page2);
  EXPECT_GT(dump.find("Строка 4"), page2);
  EXPECT_GT(dump.find("Шапка 2"), page2);  // a new page starts as in any build
  EXPECT_EQ(Count(dump, "Подвал"), 2u);   // and every page is closed
}

TEST(RpReport, EndPageFiresOncePerFinishedPageOnTheReportAndItsComposite) {
  Fixture f;
  f.ListRows(90);
  f.b.Band(btPageFooter, 60, 20);
  f.b.Memo("Подвал [PAGE#]", 20, 60, 200, 18);
  std::vector<int> ends, compositeEnds;
  std::vector<int> pagesWhenEnded;
  f.report.OnEndPage = [&](int page) {
    ends.push_back(page);
    pagesWhenEnded.push_back(rpState().MasterReport ? static_cast<TrpReport*>(rpState().MasterReport)->EMFPages.GetCount() : -1);
  };
  f.Build();
  const int pages = f.report.EMFPages.GetCount();
  ASSERT_GT(pages, 1);
  std::vector<int> expected;
  for (int p = 0; p < pages; ++p) expected.push_back(p);
  EXPECT_EQ(ends, expected);
  // Page n is finished before page n + 2 begins.
  for (std::size_t k = 0; k < pagesWhenEnded.size(); ++k) EXPECT_LE(pagesWhenEnded[k], static_cast<int>(k) + 2);

  ends.clear();
  TrpCompositeReport composite;
  composite.Reports.push_back(&f.report);
  composite.OnEndPage = [&](int page) { compositeEnds.push_back(page); };
  ASSERT_TRUE(composite.PrepareReport());
  EXPECT_EQ(ends, expected);
  EXPECT_EQ(compositeEnds, expected);
}

TEST(RpReport, BuildRunsUnderTheProgressWindowWithItsTexts) {
  struct Case {
    const char* title;
    bool twoPass;
    std::vector<std::string> expected;  // the log up to its first lines
  };
  const Case cases[] = {
      {"", false, {"[Подготовка отчета] Формируется страница:  1", "Формируется страница:  1"}},
      {"Раскладка", true,
       {"[Раскладка - Подготовка отчета] Выполняется 1-й проход:  1", "Выполняется 1-й проход:  1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    FakeProgress progress;
    progress.Install();
    Fixture f;
    f.ListRows(90);
    f.report.Title = Ansi(c.title);
    f.report.Pages.DoublePass = c.twoPass;
    f.Build();
    ASSERT_GE(progress.Log.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(progress.Log[i], c.expected[i]);
    const std::string pages = std::to_string(f.report.EMFPages.GetCount());
    ASSERT_EQ(pages, "2");
    const std::string last = "Формируется страница:  " + pages + (c.twoPass ? " из " + pages : "");
    EXPECT_EQ(progress.Log.back(), last);
    if (c.twoPass) {
      const auto logged = [&](const std::string& line) {
        return std::find(progress.Log.begin(), progress.Log.end(), line) != progress.Log.end();
      };
      EXPECT_TRUE(logged("Выполняется 1-й проход:  " + pages));
      EXPECT_TRUE(logged("Формируется страница:  1"));  // the second pass starts afresh
      EXPECT_TRUE(logged("Формируется страница:  1 из " + pages));
    }
    EXPECT_EQ(progress.Runs, 1);
  }
  // No window when it is off or when OnProgress takes the numbers.
  FakeProgress progress;
  progress.Install();
  Fixture f;
  f.ListRows(90);
  f.report.ShowProgress = false;
  f.Build();
  std::vector<int> numbers;
  f.report.ShowProgress = true;
  f.report.OnProgress = [&](int n) { numbers.push_back(n); };
  f.Build();
  EXPECT_EQ(progress.Runs, 0);
  EXPECT_EQ(numbers.back(), 2);
  // A script's PROGRESS goes to the second line.
  Fixture g;
  g.ListRows(2);
  g.report.Pages.GetPages(0)->Objects.front()->Script.SetText("Progress := [N]");
  g.Build();
  EXPECT_NE(std::find(progress.Log.begin(), progress.Log.end(), "2: 2"), progress.Log.end());
}

TEST(RpReport, CancelInTheProgressWindowStopsTheBuild) {
  struct Case {
    bool twoPass;
    int cancelAt;
    bool keepsPages;
  };
  // The third pump comes with the second page of the first pass.
  for (const Case c : {Case{false, 3, true}, Case{true, 3, false}}) {
    SCOPED_TRACE(c.twoPass);
    FakeProgress progress;
    progress.CancelAt = c.cancelAt;
    progress.Install();
    Fixture f;
    f.ListRows(400);
    f.report.Pages.DoublePass = c.twoPass;
    EXPECT_FALSE(f.report.PrepareReport());
    if (c.keepsPages) {
      EXPECT_GT(f.report.EMFPages.GetCount(), 0);
      EXPECT_LT(f.report.EMFPages.GetCount(), 5);
    } else {
      EXPECT_EQ(f.report.EMFPages.GetCount(), 0);
    }
    // The next build is not stopped by this one's Cancel.
    progress.CancelAt = 0;
    EXPECT_TRUE(f.report.PrepareReport());
    EXPECT_GT(f.report.EMFPages.GetCount(), 5);
  }
}

TEST(RpReport, PrintingFiresOnPrintReportAndRunsTheJobUnderTheProgressWindow) {
  FakeProgress progress;
  progress.Install();
  FakeJob job;
  Fixture f;
  f.ListRows(130);
  f.Build();
  ASSERT_EQ(f.report.EMFPages.GetCount(), 3);
  int events = 0;
  job.Events = &events;
  f.report.OnPrintReport = [&] { ++events; };
  progress.Log.clear();
  EXPECT_TRUE(f.report.PrintPreparedReport("1,3", 2, false, 0, Ansi("/tmp/отчет.pdf")));
  EXPECT_EQ(events, 1);
  EXPECT_TRUE(job.EventBeforeJob);
  EXPECT_EQ(job.Order, (std::vector<int>{0, 0, 2, 2}));
  EXPECT_EQ(job.Title, "Untitled");
  EXPECT_EQ(job.File, "/tmp/отчет.pdf");
  EXPECT_EQ(progress.Log.front(), "[Подготовка отчета] Печатается страница:  1");
  // Each page printed shows its own number (pages 1 and 3, two copies each).
  ASSERT_GE(progress.Log.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(progress.Log.end() - 4, progress.Log.end()),
            (std::vector<std::string>{"Печатается страница:  1", "Печатается страница:  1", "Печатается страница:  3",
                                      "Печатается страница:  3"}));
  EXPECT_EQ(f.report.PrintPageNumbers, "1,3");
  EXPECT_EQ(f.report.PrintCopies, 2);

  // Nothing selected: no job, no event.
  EXPECT_FALSE(f.report.PrintPreparedReport("5-3", 1, true, 0));
  EXPECT_EQ(job.Jobs, 1);
  EXPECT_EQ(events, 1);

  // Cancel while the second page prints aborts the job.
  f.report.Title = Ansi("Раскладка");
  progress.CancelAt = 2;
  progress.Pumps = 0;
  EXPECT_FALSE(f.report.PrintPreparedReport("", 1, true, 2 - 2));
  EXPECT_EQ(job.Order, (std::vector<int>{0, 1}));
  EXPECT_EQ(job.Title, "Раскладка");
  // Without a progress window the job runs as it is.
  progress.CancelAt = 0;
  f.report.ShowProgress = false;
  EXPECT_TRUE(f.report.PrintPreparedReport("2-", 1, true, 0));
  EXPECT_EQ(job.Order, (std::vector<int>{1, 2}));
  EXPECT_EQ(events, 3);
}

TEST(RpReport, TheTemplatesPrinterIsSelectedWhenTheSystemHasIt) {
  FakePrinters printers({"Лазерный", "Струйный"});
  ASSERT_EQ(rpPrinter().Printers.Count(), 3);
  struct Case {
    const char* stored;
    bool toDefault;
    int selected;
  };
  const Case cases[] = {
      {"Струйный", false, 1},
      {"Нет такого", false, 0},  // not there: the current printer stays
      {"Струйный", true, 0},     // the template prints to the default printer
      {"Виртуальный принтер", false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    rpPrinter().SetPrinterIndex(0);
    Fixture f;
    f.ListRows(3);
    f.report.Pages.PrintToDefault = c.toDefault;
    f.report.SetPrinterByName(Ansi(c.stored));
    EXPECT_EQ(rpPrinter().PrinterIndex, c.selected);
    EXPECT_EQ(f.report.Pages.PrinterName, Ansi(c.stored));  // kept in any case
    // A build selects it again.
    rpPrinter().SetPrinterIndex(0);
    f.report.Pages.PrinterName = Ansi(c.stored);
    f.Build();
    EXPECT_EQ(rpPrinter().PrinterIndex, c.selected);
  }
}

TEST(RpReport, ATemplateFromAMachineWithAnotherPrinterIsBuiltOnTheVirtualOne) {
  TMemoryStream saved;
  {
    FakePrinters office({"Офисный"});
    Fixture f;
    f.ListRows(3);
    rpSaveTemplate(f.report.Pages, saved);  // names the printer selected: "Офисный"
  }
  ASSERT_EQ(rpPrinter().Printers.Count(), 1);  // no system printer here
  Fixture f;
  f.Rows("Rows", Numbered(3));
  saved.SetPosition(0);
  ASSERT_TRUE(rpLoadTemplate(f.report.Pages, saved).Ok());
  EXPECT_EQ(f.report.Pages.PrinterName, Ansi("Офисный"));
  EXPECT_EQ(rpPrinter().PrinterIndex, rpPrinter().VirtualIndex());
  EXPECT_TRUE(f.report.PrepareReport());
  ASSERT_EQ(f.report.EMFPages.GetCount(), 1);
  EXPECT_EQ(f.report.EMFPages.GetPages(0)->PageInfo.OffsetX, 18);  // the virtual printer's geometry
}

TEST(RpReport, ChangePrinterLaysThePagesOutOnTheNewPrinterOrGoesBack) {
  FakePrinters printers({"Лазерный", "Струйный", "Сломанный"}, "Сломанный");
  std::vector<std::string> boxes;
  TrpFunctionServices& services = rpFunctionServices();
  const auto savedBox = services.MessageBox;
  services.MessageBox = [&](const AnsiString& text, const AnsiString& caption, int flags) {
    boxes.push_back(cp::Ansi1251ToUtf8(caption + ": " + text) + (flags & MB_ICONERROR ? " (error)" : ""));
    return static_cast<int>(mrOk);
  };
  rpPrinter().SetPrinterIndex(rpPrinter().VirtualIndex());
  Fixture f;
  f.ListRows(3);
  f.report.Pages.PrinterName = rpPrinter().PrinterName();
  // (the build restores the template: its pages are made anew)
  const auto page = [&]() -> TrpPage& { return *f.report.Pages.GetPages(0); };
  EXPECT_EQ(page().PageInfo.OffsetX, 18);

  EXPECT_TRUE(f.report.ChangePrinter(rpPrinter().VirtualIndex(), 1));
  EXPECT_EQ(rpPrinter().PrinterIndex, 1);
  EXPECT_EQ(page().PageInfo.OffsetX, 23);  // a quarter inch on the real printer
  EXPECT_EQ(page().PaperSize, 9);
  // The build that follows stays on the printer chosen.
  EXPECT_TRUE(f.report.PrepareReport());
  EXPECT_EQ(rpPrinter().PrinterIndex, 1);
  EXPECT_EQ(f.report.EMFPages.GetPages(0)->PageInfo.OffsetX, 23);

  EXPECT_FALSE(f.report.ChangePrinter(1, 2));
  EXPECT_EQ(boxes, (std::vector<std::string>{"Ошибка: Возникли проблемы с настройкой выбранного принтера. (error)"}));
  EXPECT_EQ(rpPrinter().PrinterIndex, 1);
  EXPECT_EQ(page().PageInfo.OffsetX, 23);
  EXPECT_EQ(page().PaperSize, 9);
  services.MessageBox = savedBox;
}

TEST(RpReport, PreparedPagesAreShownWithTheCaptionWhenThereAreAny) {
  std::vector<std::string> shown;
  rpSetPreviewShower([&](TrpReport& report, const AnsiString& caption) {
    shown.push_back(cp::Ansi1251ToUtf8(caption) + " " + std::to_string(report.EMFPages.GetCount()));
  });
  Fixture f;
  f.ListRows(3);
  f.report.ShowPreparedReport();  // nothing built yet
  f.report.ShowReport();
  f.report.Title = Ansi("Меню");
  f.report.ShowPreparedReport();
  f.report.Pages.GetPages(0)->Objects.front()->Script.SetText("x := 1 mod 0");
  f.report.ShowReport();  // a failed build shows nothing
  rpSetPreviewShower(nullptr);
  EXPECT_EQ(shown, (std::vector<std::string>{"Предварительный просмотр 1", "Меню - Предварительный просмотр 1"}));
  EXPECT_EQ(f.report.DefaultCopies, 1);
  EXPECT_TRUE(f.report.DefaultCollate);
  EXPECT_FALSE(f.report.MDIPreview);
}

TEST(RpReport, FinalPassHoldsOnlyWhileThePassWhosePagesAreKeptRuns) {
  Fixture f;
  f.ListRows(3);
  std::vector<bool> seen;  // at the bands of each pass
  f.report.OnBeginBand = [&](TrpBand&) {
    if (seen.empty() || seen.back() != rpState().FinalPass) seen.push_back(rpState().FinalPass);
  };
  f.report.Pages.DoublePass = true;
  f.Build();
  EXPECT_EQ(seen, (std::vector<bool>{false, true}));
  EXPECT_FALSE(f.report.EvaluateExpression("FINALPASS").AsBoolean());
  EXPECT_FALSE(rpState().FirstPass);
}

TEST(RpReport, TheProgressWindowStepsAsideWhileADialogPageShows) {
  FakeProgress progress;
  progress.Install();
  DialogFixture f("");
  f.values["Title"] = Variant(Ansi("Поход"));
  std::vector<bool> hiddenWhileShown;
  rpSetDialogRunner([&](TrpDialogForm&) {
    hiddenWhileShown.push_back(progress.Hidden);
    return static_cast<TModalResult>(mrOk);
  });
  const bool built = f.report.PrepareReport();
  rpSetDialogRunner(nullptr);
  EXPECT_TRUE(built) << cp::Ansi1251ToUtf8(f.report.ErrorText);
  EXPECT_EQ(hiddenWhileShown, std::vector<bool>{true});
  EXPECT_FALSE(progress.Hidden);
}

// A page's margins read by the report while it builds are the edges of the area it fills,
// the bottom one above the page footer; outside a build they are the stored margins.
TEST(RpPage, MarginsReadWhileBuildingAreTheEdges) {
  rpResetState();
  Fixture f;
  TrpPage& page = f.b.Page(9, rpPortrait, 40);
  f.b.Band(btReportTitle, 0, 20);
  f.b.Memo("[PAGE1.LEFTMARGIN] [PAGE1.TOPMARGIN] [PAGE1.RIGHTMARGIN] [PAGE1.BOTTOMMARGIN]", 20, 0, 300, 18);
  f.b.Band(btPageFooter, 200, 30);
  const int height = page.PageInfo.PhysHeight, width = page.PageInfo.PhysWidth;
  const std::string dump = f.Build();
  const std::string expected = "40 40 " + std::to_string(width - 40) + " " + std::to_string(height - 40 - 30);
  EXPECT_NE(dump.find(expected), std::string::npos) << dump;
  // The build put the template back: a page of its own.
  EXPECT_EQ(f.report.Pages.GetPages(0)->GetPropValue("BOTTOMMARGIN").AsInteger(), 40);
  rpResetState();
}
