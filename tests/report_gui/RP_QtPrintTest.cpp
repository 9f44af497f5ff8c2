#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "SamplePage.h"
#include "platform/gui/QtGraphics.h"
#include "report/gui/RP_QtPrint.h"

namespace {

class QtPrint : public ::testing::Test {
 protected:
  void SetUp() override {
    rpResetState();
    rpInitQtPrinting();
  }
  void TearDown() override {
    rpSetMeasureCanvas(nullptr);
    rpResetState();
  }
};

bool Dark(QRgb p) { return qGray(p) < 100; }

QString RunTool(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

TEST_F(QtPrint, SamplePageRendersItsViews) {
  TrpEMFPages pages;
  AddSamplePage(pages);
  const QImage img = rpRenderPreparedPage(pages, 0, 1.0);
  ASSERT_EQ(img.size(), QSize(758, 1071));
  img.save(QString::fromStdString(::testing::TempDir()) + "report_sample.png");
  EXPECT_EQ(img.pixel(50, 45), QColor(230, 240, 255).rgb());  // the title's fill
  EXPECT_TRUE(Dark(img.pixel(300, 40)));                        // its frame
  EXPECT_EQ(img.pixel(104, 438), QColor(255, 0, 0).rgb());      // the picture's red square, scaled x2
  EXPECT_TRUE(Dark(img.pixel(238, 438)));                       // the metafile's cross
  EXPECT_EQ(img.pixel(500, 900), QColor(255, 255, 255).rgb());  // empty paper
  int turned = 0;  // the turned memo's text lies inside its box
  for (int y = 300; y < 420; ++y)
    for (int x = 682; x < 708; ++x) turned += Dark(img.pixel(x, y));
  EXPECT_GT(turned, 50);
  EXPECT_EQ(pages.GetPages(0)->Page, nullptr);  // released after drawing
}

TEST_F(QtPrint, TheVirtualPrinterPrintsToPdf) {
  ASSERT_TRUE(rpPrinter().IsVirtual() || rpPrinter().Printers.Count() > 1);
  TrpEMFPages pages;
  AddSamplePage(pages);
  AddSamplePage(pages, true);
  TrpPrintJob job;
  job.Title = "test";
  QString error;
  if (rpPrinter().IsVirtual()) {
    EXPECT_FALSE(rpPrintPreparedPages(pages, job, &error));  // no file: nothing printed
    EXPECT_FALSE(error.isEmpty());
  }
  job.PdfFile = QString::fromStdString(::testing::TempDir()) + "report_sample.pdf";
  job.Resolution = 300;
  ASSERT_TRUE(rpPrintPreparedPages(pages, job, &error)) << error.toStdString();
  QFile f(job.PdfFile);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.read(5) == "%PDF-");
  if (QStandardPaths::findExecutable("pdftotext").isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
  const QString text = RunTool("pdftotext", {"-layout", job.PdfFile, "-"});
  EXPECT_TRUE(text.contains(QString::fromUtf8("Раскладка продуктов: поход по Хибинам"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromUtf8("Итого: 2840 ккал в день")));
  EXPECT_TRUE(text.contains(QString::fromUtf8("Вечером готовится суп с картофельным пюре.")));
  EXPECT_EQ(text.count(QString::fromUtf8("Поворот")), 2);
  const QString info = RunTool("pdfinfo", {"-f", "1", "-l", "2", job.PdfFile});
  EXPECT_TRUE(info.contains("Pages:           2")) << info.toStdString();
  EXPECT_TRUE(info.contains("Page    1 size:  595 x 842 pts (A4)")) << info.toStdString();
  EXPECT_TRUE(info.contains("Page    2 size:  595 x 420 pts (A5)")) << info.toStdString();
}

TEST_F(QtPrint, MemosMeasureWithTheFontsTheyAreDrawnWith) {
  TrpMemoView m;
  m.SetBounds(0, 0, 120, 100);
  m.Memo.Add(Ansi("Гречневая крупа и сушёное мясо"));
  m.WrapMemo();
  m.PrintText.Assign(m.Memo);
  m.WrapMemo();
  const TStringList& lines = rpWrappedLines();
  ASSERT_GT(lines.Count(), 1);
  const TFont font = rpCanvasFont(m.Font, 1.0);
  for (int i = 0; i < lines.Count(); ++i) {
    AnsiString s = lines[i];
    if (!s.empty() && s.back() == rpLineEndMarker) s.pop_back();
    EXPECT_LE(TQtTextMetrics::Instance().TextWidth(font, s), 120 - 4) << i;
  }
}

TEST(QtPrintCanvas, PenPatternsScaleWithThePrinterResolution) {
  // Dashes are 6 pixels on and 2 off; at 4 device pixels per pattern pixel, 24 and 8.
  const QImage img = PaintToImage(64, 4, clWhite, [](TCanvas& c) {
    c.PenPatternUnit = 4;
    c.Pen.Style = TPenStyle::psDash;
    c.MoveTo(0, 1);
    c.LineTo(64, 1);
  });
  for (int x = 0; x < 64; ++x) EXPECT_EQ(img.pixel(x, 1) != QColor(255, 255, 255).rgb(), x % 32 < 24) << x;
}
