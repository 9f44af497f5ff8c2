#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "../test_support/FileBytes.h"
#include "../test_support/TempDir.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"
#include "report/RP_Prntr.h"
#include "report/gui/RP_ExportProgress.h"
#include "report/gui/RP_PrintForm.h"

namespace {

// Logs every showing of the export progress window with its label at that time.
class ShowLog : public QObject {
 public:
  std::vector<QString> Shown;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && o->objectName() == "TrpExportProgressForm")
      Shown.push_back(static_cast<TrpProgressForm*>(o)->windowTitle() + " / " +
                      static_cast<TrpProgressForm*>(o)->Label1->text());
    return false;
  }
};

class ExportProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    rpResetState();
    rpPrinter().SetPrinterIndex(rpPrinter().VirtualIndex());
    rpInstallExportProgressWindow();
    qApp->installEventFilter(&log);
    TrpTemplateBuilder b(report.Pages);
    for (int i = 0; i < 3; ++i) {
      b.Page(9, rpPortrait, 40);
      b.Band(btReportTitle, 0, 40);
      b.Memo("Страница отчета", 20, 0, 250, 18);
      b.Memo("второй столбец", 300, 0, 250, 18);
    }
    ASSERT_TRUE(report.PrepareReport());
  }
  void TearDown() override {
    qApp->removeEventFilter(&log);
    rpSetExportProgressHost(nullptr);
    TrpExportProgressWindow::ShowAfterMs = 400;
    rpResetState();
  }
  TempDir dir;
  TrpReport report;
  ShowLog log;
};

}  // namespace

TEST_F(ExportProgress, ShortExportsShowNoWindow) {
  TrpExportProgressWindow::ShowAfterMs = 60000;
  TrpCSVExport csv;
  const AnsiString name = dir.Path() + "/r.csv";
  EXPECT_TRUE(report.ExportTo(csv, name));
  EXPECT_TRUE(FileExists(name));
  EXPECT_TRUE(log.Shown.empty());
}

TEST_F(ExportProgress, LongExportsShowTheWindowWhichCancelStops) {
  TrpExportProgressWindow::ShowAfterMs = 0;  // every export counts as long
  TrpCSVExport csv;
  const AnsiString name = dir.Path() + "/r.csv";
  EXPECT_TRUE(report.ExportTo(csv, name));
  ASSERT_EQ(log.Shown.size(), 1u);
  EXPECT_EQ(log.Shown[0], QString::fromUtf8("Подготовка отчета / Формируется страница:  1"));
  EXPECT_TRUE(FileExists(name));
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "TrpExportProgressForm") ADD_FAILURE() << "the window outlives its export";

  // Cancel clicked while the window is up: the export stops, the old file stays.
  const std::string before = ReadFileBytes(name);
  QString label;
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = dynamic_cast<TrpProgressForm*>(w); f && f->objectName() == "TrpExportProgressForm" && f->isVisible()) {
        label = f->Label1->text();
        if (const char* png = std::getenv("TARNWICK_PROGRESS_PNG")) f->grab().save(png);
        f->btnCancel->click();
      }
  });
  csv.Delimiter = ',';  // a different file, were it written
  EXPECT_FALSE(report.ExportTo(csv, name));
  EXPECT_EQ(ReadFileBytes(name), before);
  EXPECT_EQ(label, QString::fromUtf8("Формируется страница:  1"));
  // The next export is not stopped by the last one's Cancel.
  EXPECT_TRUE(report.ExportTo(csv, name));
  EXPECT_NE(ReadFileBytes(name), before);
}

TEST_F(ExportProgress, TheWindowIsCaptionedWithTheReportsTitle) {
  TrpExportProgressWindow::ShowAfterMs = 0;
  report.Title = Ansi("Раскладка: Хибины");
  TrpCSVExport csv;
  EXPECT_TRUE(report.ExportTo(csv, dir.Path() + "/r.csv"));
  ASSERT_EQ(log.Shown.size(), 1u);
  EXPECT_EQ(log.Shown[0], QString::fromUtf8("Раскладка: Хибины - Подготовка отчета / Формируется страница:  1"));
}
