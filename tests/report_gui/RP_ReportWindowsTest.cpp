// The windows the report component opens itself: the progress window of a long build
// (with Cancel), the preview of ShowPreparedReport (an MDI child when asked), the print
// dialog with the report's copies and collation, and a rebuild after a printer change.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include "../report/FakePrinters.h"
#include "PreviewFixture.h"
#include "platform/core/AnsiText.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"
#include "report/gui/RP_PrintForm.h"
#include "report/gui/RP_QtPrint.h"
#include "report/gui/RP_ReportWindows.h"

namespace {

// Logs every showing of a report progress window: caption / first line.
class ShowLog : public QObject {
 public:
  std::vector<QString> Shown;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && o->objectName() == "TrpProgressForm")
      Shown.push_back(static_cast<TrpProgressForm*>(o)->windowTitle() + " / " +
                      static_cast<TrpProgressForm*>(o)->Label1->text());
    return false;
  }
};

// A report of `rows` numbered rows under a title.
void Rows(TrpReport& report, int rows) {
  TrpTemplateBuilder b(report.Pages);
  b.Page(9, rpPortrait, 40);
  b.Band(btReportTitle, 0, 30);
  b.Memo("Раскладка продуктов", 20, 0, 300, 20);
  b.Band(btMasterData, 40, 20).FormatStr = IntToStr(rows);
  b.Memo("Строка [LINE#]", 20, 40, 300, 18);
}

class ReportWindows : public Preview {
 protected:
  void SetUp() override {
    Preview::SetUp();
    rpInitQtPrinting();
    qApp->installEventFilter(&log);
  }
  void TearDown() override {
    qApp->removeEventFilter(&log);
    TrpProgressWindow::ShowAfterMs = 400;
    Application().MainForm = nullptr;
    rpInitQtPrinting();
    Preview::TearDown();
  }
  static int PreviewWindows() {
    int n = 0;
    for (QWidget* w : QApplication::allWidgets()) n += dynamic_cast<TrpPreviewForm*>(w) != nullptr;
    return n;
  }
  ShowLog log;
};

}  // namespace

TEST_F(ReportWindows, ALongBuildShowsTheProgressWindowWhoseCancelStopsIt) {
  TrpReport report;
  Rows(report, 3000);
  report.Title = Ansi("Меню");
  // Builds shorter than the delay show no window (the delay is long here so that a loaded
  // machine does not make this build a long one).
  TrpProgressWindow::ShowAfterMs = 60000;
  ASSERT_TRUE(report.PrepareReport());
  EXPECT_TRUE(log.Shown.empty());
  const int pages = report.EMFPages.GetCount();

  TrpProgressWindow::ShowAfterMs = 0;  // every build counts as long
  QString label;
  // The build processes events while it runs; look for its window at each turn until it shows
  // (on a loaded machine the first turns may come before the window is visible).
  QTimer watch;
  watch.setInterval(0);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = dynamic_cast<TrpProgressForm*>(w); f && f->objectName() == "TrpProgressForm" && f->isVisible()) {
        watch.stop();
        label = f->Label1->text();
        if (const char* png = std::getenv("TARNWICK_BUILD_PROGRESS_PNG")) f->grab().save(png);
        f->btnCancel->click();
        return;
      }
  });
  watch.start();
  EXPECT_FALSE(report.PrepareReport());
  watch.stop();
  ASSERT_FALSE(log.Shown.empty());
  EXPECT_EQ(log.Shown[0], QString::fromUtf8("Меню - Подготовка отчета / Формируется страница:  1"));
  EXPECT_TRUE(label.startsWith(QString::fromUtf8("Формируется страница:  "))) << label.toStdString();
  EXPECT_LT(report.EMFPages.GetCount(), pages);  // stopped early
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "TrpProgressForm" && w->isVisible()) ADD_FAILURE() << "the window outlives its build";
  // The next build runs to its end.
  EXPECT_TRUE(report.PrepareReport());
  EXPECT_EQ(report.EMFPages.GetCount(), pages);
}

TEST_F(ReportWindows, PreparedPagesShowInAnMdiChildOfTheFrameWhenAsked) {
  TForm frame(nullptr, TFormStyle::fsMDIForm);
  frame.resize(1000, 700);
  frame.Show();
  Application().MainForm = &frame;
  const int before = PreviewWindows();
  {
    TrpReport report;
    Rows(report, 5);
    report.Title = Ansi("Меню");
    report.MDIPreview = true;  // modal or not, a child is never modal
    report.ShowReport();
    ASSERT_EQ(frame.MDIChildCount(), 1);
    auto* child = dynamic_cast<TrpPreviewForm*>(frame.MDIChildren(0));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->FormStyle(), TFormStyle::fsMDIChild);
    EXPECT_EQ(child->WindowState(), TWindowState::wsNormal);
    EXPECT_EQ(child->Caption(), Ansi("Меню - Предварительный просмотр"));
    EXPECT_EQ(child->PageCount(), 1);
    EXPECT_FALSE(child->Modal());

    // Without MDIPreview: a window of its own.
    report.MDIPreview = false;
    report.ModalPreview = false;
    report.Title.clear();
    report.ShowPreparedReport();
    EXPECT_EQ(frame.MDIChildCount(), 1);
    EXPECT_EQ(PreviewWindows(), before + 2);
    TrpPreviewForm* own = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = dynamic_cast<TrpPreviewForm*>(w); f && f->isVisible() && f->FormStyle() == TFormStyle::fsNormal)
        own = f;
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->Caption(), Ansi("Предварительный просмотр"));
    // Closing a window frees it.
    own->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(PreviewWindows(), before + 1);
  }
  // The report takes the windows it opened with it.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(PreviewWindows(), before);
  EXPECT_EQ(frame.MDIChildCount(), 0);
}

TEST_F(ReportWindows, PrintDialogStartsWithTheReportsCopiesAndANewPrinterRebuildsThePages) {
  FakePrinters printers({"Принтер А", "Принтер Б"});
  struct Job {
    std::vector<int> order;
    int printer = -1;
  } job;
  rpSetPagePrinter([&](TrpEMFPages&, const std::vector<int>& order, const AnsiString&, const AnsiString&,
                       const TrpPageDone&) {
    job.order = order;
    job.printer = rpPrinter().PrinterIndex;
    return true;
  });
  TrpReport report;
  Rows(report, 60);
  report.Pages.PrinterName = rpPrinter().Printers[0];
  report.DefaultCopies = 2;
  report.DefaultCollate = false;
  report.ModalPreview = false;
  int builds = 0, printEvents = 0;
  report.OnBeginDoc = [&](TObject*) { ++builds; };
  report.OnPrintReport = [&] { ++printEvents; };
  ASSERT_TRUE(report.PrepareReport());
  ASSERT_EQ(report.EMFPages.GetCount(), 2);
  ASSERT_EQ(report.EMFPages.GetPages(0)->PageInfo.OffsetX, 23);
  TrpPreviewForm f;
  f.resize(900, 700);
  f.ShowReport(report);

  QString copies;
  bool collate = true;
  QTimer::singleShot(0, [&] {
    auto* form = dynamic_cast<TrpPrintForm*>(QApplication::activeModalWidget());
    if (!form) return;
    copies = form->edCopies->text();
    collate = form->cbCollate->isChecked();
    form->lbPrinters->setCurrentRow(1);
    form->btnOk->click();
  });
  f.PrintDialog();
  EXPECT_EQ(copies, "2");
  EXPECT_FALSE(collate);
  EXPECT_EQ(builds, 2);  // built again for the printer chosen
  EXPECT_EQ(rpPrinter().PrinterIndex, 1);
  EXPECT_EQ(job.printer, 1);
  EXPECT_EQ(job.order, (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ(printEvents, 1);
  EXPECT_EQ(f.Pages(), &report.EMFPages);
  EXPECT_EQ(f.PageCount(), 2);

  // The same printer again: no rebuild.
  QTimer::singleShot(0, [&] {
    if (auto* form = dynamic_cast<TrpPrintForm*>(QApplication::activeModalWidget())) form->btnOk->click();
  });
  f.PrintDialog();
  EXPECT_EQ(builds, 2);
  EXPECT_EQ(printEvents, 2);
  f.Close();
}

TEST_F(ReportWindows, AReportPrintsThroughTheVirtualPrinterIntoAPdf) {
  rpPrinter().SetPrinterIndex(rpPrinter().VirtualIndex());
  TrpReport report;
  Rows(report, 60);
  ASSERT_TRUE(report.PrepareReport());
  const AnsiString pdf = dir.Path() + "/r.pdf";
  EXPECT_TRUE(report.PrintPreparedReport("2", 3, true, 0, pdf));
  if (QStandardPaths::findExecutable("pdfinfo").isEmpty()) GTEST_SKIP() << "pdfinfo is not installed";
  QProcess info;
  info.start("pdfinfo", {QString::fromUtf8(pdf.c_str())});
  info.waitForFinished(30000);
  EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+3\\n")));
}

TEST_F(ReportWindows, InputAsksInAnInputBoxWithoutCaption) {
  struct Case {
    bool ok;
    const char* printed;
  };
  const Case cases[] = {{true, "имя: Иванов"}, {false, "имя: никто"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ok);
    TScriptedDialogsScope dialogs;
    dialogs->AnswerForm("TrpInputForm", [&](TForm& form) {
      EXPECT_EQ(form.Caption(), "");
      EXPECT_TRUE(form.isVisible());
      QLabel* prompt = form.findChild<QLabel*>("lblPrompt");
      QLineEdit* edit = form.findChild<QLineEdit*>("edValue");
      ASSERT_TRUE(prompt && edit);
      EXPECT_EQ(prompt->text(), QString::fromUtf8("Как вас зовут?"));
      EXPECT_EQ(edit->text(), QString::fromUtf8("никто"));
      edit->setText(QString::fromUtf8("Иванов"));
      QApplication::processEvents();
      if (const char* shots = std::getenv("TARNWICK_SHOTS"); shots && c.ok)
        form.grab().save(QString::fromUtf8(shots) + "/input_box.png");
      form.findChild<QPushButton*>(c.ok ? "btnOk" : "btnCancel")->click();
    });
    TrpReport report;
    TrpTemplateBuilder b(report.Pages);
    b.Page(9, rpPortrait, 40);
    b.Band(btReportTitle, 0, 30).Script.SetText(Ansi("WHO := INPUT('Как вас зовут?', 'никто')"));
    b.Memo("имя: [WHO]", 20, 0, 300, 20);
    ASSERT_TRUE(report.PrepareReport()) << cp::Ansi1251ToUtf8(report.ErrorText);
    const std::string dump = rpPreparedText(report.EMFPages);
    EXPECT_NE(dump.find(c.printed), std::string::npos) << dump;
    EXPECT_EQ(dialogs->ModalForms(), std::vector<AnsiString>{"TrpInputForm"});
    EXPECT_EQ(dialogs->Unexpected(), 0);
  }
}
