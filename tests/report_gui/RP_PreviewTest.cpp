#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <QCheckBox>
#include <QDir>
#include <QStandardPaths>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QTimer>
#include <QWheelEvent>

#include "../test_support/DiskFull.h"
#include "../test_support/FileBytes.h"
#include "../test_support/ReadOnlyDir.h"
#include "../test_support/TempDir.h"
#include "PreviewFixture.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Registry.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"
#include "report/RP_Export.h"
#include "report/RP_Memo.h"
#include "report/RP_Prntr.h"
#include "report/gui/RP_ExportForms.h"
#include "report/gui/RP_Preview.h"
#include "report/gui/RP_PrintForm.h"
#include "report/gui/RP_QtPrint.h"
#include "report/gui/RP_Toolbar.h"
#include "report/gui/RP_ToolbarGlyphs.h"

namespace {

void AddPage(TrpEMFPages& pages, const std::vector<std::pair<TPoint, std::string>>& memos, int orientation = rpPortrait) {
  pages.Add(TrpPage(9, 0, 0, -1, orientation));
  TStream& s = *pages.PageStream(pages.GetCount() - 1);
  int n = 0;
  for (const auto& [at, text] : memos) {
    TrpMemoView m;
    m.Name = "Memo" + std::to_string(++n);
    m.SetBounds(at.X, at.Y, 300, 20);
    m.FrameTyp = rpftAll;
    m.Font.Size = 14;
    m.PrintText.Add(Ansi(text) + rpLineEndMarker);
    m.WritePreparedEntry(s);
  }
}

// A shown preview of the pages at a zoom.
void ShowPages(TrpPreviewForm& f, TrpEMFPages& pages, int zoom) {
  f.resize(900, 700);
  f.Show();
  f.SetPages(&pages);
  if (zoom) f.SetZoom(zoom);
}

// A report of one page holding one memo, built.
void OneMemoReport(TrpReport& report, const char* text) {
  TrpTemplateBuilder b(report.Pages);
  b.Page(9, rpPortrait, 40);
  b.Band(btReportTitle, 0, 40);
  b.Memo(text, 20, 0, 250, 18);
  ASSERT_TRUE(report.PrepareReport());
}

void ThreePages(TrpEMFPages& pages) {
  AddPage(pages, {{{100, 100}, "Раскладка продуктов"}, {{100, 300}, "Гречка 500 г"}});
  AddPage(pages, {{{100, 100}, "День второй"}, {{100, 500}, "гречка и сыр"}});
  AddPage(pages, {{{100, 100}, "Итого"}}, rpLandscape);
}

}  // namespace

TEST(PreviewLayout, ZoomModesAndRows) {
  const std::vector<TPoint> a4(3, Point(758, 1071));
  struct Case {
    int mode;
    double factor;
    int w, h;
    double expectedFactor;
    int perRow;
    TRect first;
    int hRange;
  };
  const int wp = static_cast<int>(758 * 580.0 / 1071);
  for (const Case& c : {Case{rpzmWholePage, 1, 800, 600, 580.0 / 1071, 1, Rect((800 - wp) / 2, 10, (800 - wp) / 2 + wp, 590), 0},
                        Case{rpzmPageWidth, 1, 778, 600, 1.0, 1, Rect(10, 10, 768, 1081), 0},
                        Case{rpzmTwoPages, 1, 1546, 600, 1.0, 2, Rect(10, 10, 768, 1081), 0},
                        Case{rpzmFactor, 0.5, 1200, 600, 0.5, 3, Rect(10, 10, 389, 545), 0},
                        Case{rpzmFactor, 2.0, 800, 600, 2.0, 1, Rect(10, 10, 1526, 2152), 736}}) {
    SCOPED_TRACE(c.mode * 1000 + c.factor * 10);
    const TrpPreviewLayout l = rpLayoutPreview(a4, 0, c.w, c.h, c.mode, c.factor);
    EXPECT_DOUBLE_EQ(l.Factor, c.expectedFactor);
    EXPECT_EQ(l.PagesPerRow, c.perRow);
    EXPECT_EQ(l.Pages[0], c.first);
    EXPECT_EQ(l.HRange, c.hRange);
  }
  const TrpPreviewLayout two = rpLayoutPreview(a4, 0, 1546, 600, rpzmTwoPages, 1);
  EXPECT_EQ(two.Pages[1].Left, two.Pages[0].Right + 10);
  EXPECT_EQ(two.Pages[2].Top, two.Pages[0].Bottom + 10);
  EXPECT_EQ(two.VRange, two.Pages[2].Bottom - 600 + 10);
  // The current page follows the line 11 pixels below the top.
  EXPECT_EQ(rpPageAtScroll(two, 0, 5), 0);
  EXPECT_EQ(rpPageAtScroll(two, two.Pages[2].Top - 11, 5), 2);
  EXPECT_EQ(rpPageAtScroll(two, two.Pages[2].Top - 12, 5), 5);
}

TEST_F(Preview, NavigationZoomAndStatus) {
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPreviewForm f;
  ShowPages(f, pages, 0);
  EXPECT_EQ(f.ZoomMode(), rpzmWholePage);
  EXPECT_EQ(f.StatusText(), Ansi("Стр. 1/3"));
  EXPECT_TRUE(f.HandleKey(VK_NEXT, ssCtrl));
  EXPECT_EQ(f.PageNo(), 2);
  EXPECT_EQ(f.PBox->verticalScrollBar()->value(), f.Layout().Pages[1].Top - 10);
  EXPECT_TRUE(f.HandleKey(VK_END, ssCtrl));
  EXPECT_EQ(f.PageNo(), 3);
  f.HandleKey(VK_NEXT, ssCtrl);
  EXPECT_EQ(f.PageNo(), 3);
  EXPECT_EQ(f.StatusText(), Ansi("Стр. 3/3"));
  f.HandleKey(VK_HOME, ssCtrl);
  EXPECT_EQ(f.PBox->verticalScrollBar()->value(), 0);
  EXPECT_EQ(f.PageNo(), 1);
  f.HandleKey(VK_PRIOR, ssCtrl);
  EXPECT_EQ(f.PageNo(), 1);
  // Scrolling by the bar makes the page under the top line current.
  f.PBox->verticalScrollBar()->setValue(f.Layout().Pages[1].Top + 5);
  EXPECT_EQ(f.PageNo(), 2);
  f.SetZoom(100);
  EXPECT_EQ(f.ZoomMode(), rpzmFactor);
  EXPECT_DOUBLE_EQ(f.ZoomFactor(), 1.0);
  EXPECT_EQ(f.ZoomBtn->Caption(), "100%");
  EXPECT_EQ(TrpPreviewForm::LastMode, rpzmFactor);
  f.SetZoom(1);
  EXPECT_DOUBLE_EQ(f.ZoomFactor(), (f.PBox->viewport()->width() - 20.0) / 758);
  // A new preview opens with the remembered zoom.
  TrpPreviewForm g;
  g.SetPages(&pages);
  EXPECT_EQ(g.ZoomMode(), rpzmPageWidth);
}

TEST_F(Preview, FindGoesThroughThePagesCaselessly) {
  rpInitQtPrinting();  // the real font metrics
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPreviewForm f;
  ShowPages(f, pages, 100);
  ASSERT_TRUE(f.Find(Ansi("ГРЕЧКА"), false, true));
  EXPECT_EQ(f.PageNo(), 1);
  const int firstY = f.PBox->verticalScrollBar()->value();
  // The match is as wide as its text in the font it is drawn with.
  TrpFont font;
  font.Size = 14;
  rpMeasureCanvas().Font = rpCanvasFont(font, 1.0);
  EXPECT_EQ(f.Search().Found.Width(), rpMeasureCanvas().TextWidth(Ansi("Гречка 500 г")));
  EXPECT_EQ(firstY, f.Layout().Pages[0].Top + f.Search().Found.Top - 10);
  ASSERT_TRUE(f.HandleKey(VK_F3, 0));
  EXPECT_EQ(f.PageNo(), 2);
  EXPECT_GT(f.PBox->verticalScrollBar()->value(), firstY);
  const int y = f.PBox->verticalScrollBar()->value();
  EXPECT_FALSE(f.FindNext());
  EXPECT_EQ(f.PageNo(), 2);
  EXPECT_EQ(f.PBox->verticalScrollBar()->value(), y);
  EXPECT_FALSE(f.Find(Ansi("ГРЕЧКА"), true, true));
  EXPECT_TRUE(f.Find(Ansi("Гречка"), true, true));
  // Through the search dialog and Ctrl+F: the text, case sensitivity, from the beginning.
  TScriptedDialogsScope dialogs;
  dialogs->AnswerForm("TrpPreviewSearchForm", [](TForm& dlg) {
    dlg.findChild<QLineEdit*>("edText")->setText(QString::fromUtf8("СЫР"));
    dlg.findChild<QRadioButton*>("rbFromStart")->setChecked(true);
    dlg.findChild<QPushButton*>("btnOk")->click();
  });
  f.GoToPage(1);
  EXPECT_TRUE(f.HandleKey('F', ssCtrl));
  EXPECT_EQ(f.PageNo(), 2);
  EXPECT_EQ(f.Search().Text, Ansi("СЫР"));
  EXPECT_EQ(dialogs->Unexpected(), 0);
  // The match is framed where it lies: 10 pixels from the window's top, its text inside.
  const QImage shot = f.PBox->viewport()->grab().toImage();
  const TRect& m = f.Search().Found;
  const int left = f.Layout().Pages[1].Left - f.PBox->horizontalScrollBar()->value() + m.Left - 2;
  EXPECT_EQ(shot.pixelColor(left, 8 + m.Height() / 2), QColor(0, 0, 192));
  EXPECT_EQ(shot.pixelColor(left + 10, 8), QColor(0, 0, 192));
  EXPECT_NE(shot.pixelColor(left + 10, 60), QColor(0, 0, 192));
}

TEST_F(Preview, SaveLoadAndExportThroughTheFilters) {
  TrpEMFPages pages;
  ThreePages(pages);
  rpExportFilters().clear();
  TrpHTMExport html;
  TrpCSVExport csv;
  TrpPreviewForm f;
  f.SetPages(&pages);
  ASSERT_TRUE(f.SaveAs(dir.Path() + "/a.txt", 1));
  EXPECT_TRUE(FileExists(dir.Path() + "/a.rpp"));
  ASSERT_TRUE(f.SaveAs(dir.Path() + "/a.txt", 3));
  EXPECT_TRUE(FileExists(dir.Path() + "/a.csv"));
  ASSERT_TRUE(f.SaveAs(dir.Path() + "/b", 2));
  EXPECT_TRUE(FileExists(dir.Path() + "/b.htm"));

  TrpPreviewForm g;
  ASSERT_TRUE(g.LoadFrom(dir.Path() + "/a.rpp"));
  EXPECT_EQ(g.PageCount(), 3);
  EXPECT_EQ(g.PageNo(), 1);
  // A damaged file is refused with a message and the pages stay.
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  {
    TMemoryStream junk("not a report");
    junk.SaveToFile(dir.Path() + "/bad.rpp");
  }
  EXPECT_FALSE(g.LoadFrom(dir.Path() + "/bad.rpp"));
  EXPECT_EQ(g.PageCount(), 3);
  // So is a file whose header is sound and a page's views are not (the type byte of the
  // second page's first view made one that is none), and the preview draws on.
  std::string bytes = ReadFileBytes(dir.Path() + "/a.rpp");
  auto u8 = [&](std::size_t at) { return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at])); };
  // Version, compression, the printer's name (length, text, 0), the page count, then the
  // first page's record, whose first field is where the second page's record begins.
  const std::size_t first = 2 + 2 + (u8(2) | u8(3) << 8) + 1 + 4;
  const std::size_t second = u8(first) | u8(first + 1) << 8 | u8(first + 2) << 16;
  ASSERT_LT(second + 38, bytes.size());
  bytes[second + 36 + 1] = 7;
  WriteFileBytes(dir.Path() + "/bad-page.rpp", bytes);
  g.resize(600, 500);
  g.Show();
  dialogs->Answer(mrOk);
  EXPECT_FALSE(g.LoadFrom(dir.Path() + "/bad-page.rpp"));
  ASSERT_EQ(dialogs->Shown().size(), 2u);
  EXPECT_EQ(cp::Ansi1251ToUtf8(dialogs->Shown()[1].Text),
            "Не удалось открыть отчет " + cp::Ansi1251ToUtf8(dir.Path()) +
                "/bad-page.rpp:\rФайл отчета поврежден: страница 2: Неверный тип объекта на странице отчета: 7");
  EXPECT_EQ(g.PageCount(), 3);
  g.GoToPage(2);
  EXPECT_FALSE(g.grab().isNull());
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

// A file that cannot be written is named as it would have been written (with the
// extension of the format) and the reason is told in words; an older file stays as it
// was, and no working file is left beside it.
TEST_F(Preview, SavingThatFailsTellsWhyAndKeepsTheOldFile) {
  TrpEMFPages pages;
  ThreePages(pages);
  rpExportFilters().clear();
  TrpHTMExport html;
  TrpCSVExport csv;
  TrpPreviewForm f;
  f.SetPages(&pages);
  std::filesystem::create_directory(dir.SysPath() + "/ro");
  std::filesystem::create_directory(dir.SysPath() + "/folder.csv");
  struct Case {
    const char* what;
    const char* file;  // in the test's folder, without the extension
    int filter;        // 1 the report file, 2 HTML, 3 CSV
    const char* written;
    const char* reason;
  };
  for (const Case& c : {Case{"full disk, report file", "full", 1, "full.rpp", "на диске нет места"},
                        Case{"full disk, CSV", "full", 3, "full.csv", "на диске нет места"},
                        Case{"read-only folder, report file", "ro/old", 1, "ro/old.rpp", "папка доступна только для чтения"},
                        Case{"read-only folder, HTML", "ro/old", 2, "ro/old.htm", "папка доступна только для чтения"},
                        Case{"no such folder", "none/a", 3, "none/a.csv", "файл или папка не найдены"},
                        Case{"a folder of that name", "folder", 3, "folder.csv", "под этим именем уже есть папка"}}) {
    SCOPED_TRACE(c.what);
    const AnsiString written = dir.Path() + "/" + c.written;
    if (DirectoryExists(ExtractFilePath(written)) && !DirectoryExists(written)) WriteFileBytes(written, "old file");
    TScriptedDialogsScope dialogs;
    dialogs->Answer(mrOk);
    bool saved = true;
    if (!std::strncmp(c.what, "full", 4)) {
      test_support::DiskFullAt full(64);
      saved = f.SaveAs(dir.Path() + "/" + c.file, c.filter);
    } else if (!std::strncmp(c.what, "read-only", 9)) {
      test_support::TReadOnlyDir ro(dir.SysPath() + "/ro");
      if (!ro.Available()) GTEST_SKIP() << ro.Why();
      saved = f.SaveAs(dir.Path() + "/" + c.file, c.filter);
    } else {
      saved = f.SaveAs(dir.Path() + "/" + c.file, c.filter);
    }
    EXPECT_FALSE(saved);
    ASSERT_EQ(dialogs->Shown().size(), 1u);
    EXPECT_EQ(dialogs->Shown()[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(cp::Ansi1251ToUtf8(dialogs->Shown()[0].Text),
              "Не удалось записать файл " + cp::Ansi1251ToUtf8(written) + ":\r" + c.reason);
    if (FileExists(written)) {
      EXPECT_EQ(ReadFileBytes(written), "old file");
    }
  }
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir.SysPath()))
    left.push_back(e.path().lexically_relative(dir.SysPath()).string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"folder.csv", "full.csv", "full.rpp", "ro", "ro/old.htm", "ro/old.rpp"}));

  // A report file that is not there: the same words when it is opened.
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  EXPECT_FALSE(f.LoadFrom(dir.Path() + "/none.rpp"));
  ASSERT_EQ(dialogs->Shown().size(), 1u);
  EXPECT_EQ(cp::Ansi1251ToUtf8(dialogs->Shown()[0].Text),
            "Не удалось открыть отчет " + cp::Ansi1251ToUtf8(dir.Path()) + "/none.rpp:\rфайл или папка не найдены");
  EXPECT_EQ(f.PageCount(), 3);
  // A name that code page 1251 cannot hold shows in the message as the system has it.
  const std::string odd = dir.SysPath() + "/отчёт-日本.rpp";
  EXPECT_FALSE(f.LoadFrom(AnsiPath(odd)));
  ASSERT_EQ(dialogs->Shown().size(), 2u);
  EXPECT_EQ(ToQString(dialogs->Shown()[1].Text),
            QString::fromStdString("Не удалось открыть отчет " + odd + ":\rфайл или папка не найдены"));
}

// The save dialog opens in the folder of the document the pages come from, proposing its
// name; without a document, in the user's documents folder (or the home folder).
TEST_F(Preview, SaveDialogOpensInTheDocumentsFolder) {
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPreviewForm f;
  f.SetPages(&pages);
  TScriptedDialogsScope dialogs;
  dialogs->AnswerFile(std::nullopt);
  f.SaveDialog();
  f.SourceDocument = dir.Path() + "/trip.tw";
  dialogs->AnswerFile(std::nullopt);
  f.SaveDialog();
  ASSERT_EQ(dialogs->FileDialogs().size(), 2u);
  const AnsiString none = dialogs->FileDialogs()[0].InitialDir;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  EXPECT_TRUE(QDir(documents) == QDir(QString::fromStdString(SysPath(none))) ||
              QDir::home() == QDir(QString::fromStdString(SysPath(none))))
      << none;
  EXPECT_TRUE(DirectoryExists(none)) << none;
  EXPECT_EQ(dialogs->FileDialogs()[1].InitialDir, dir.Path() + "/");
  EXPECT_EQ(dialogs->FileDialogs()[1].FileName, dir.Path() + "/trip");
}

// Printing from the preview into a PDF gives the PDF the report's title.
TEST_F(Preview, PrintedPdfCarriesTheReportsTitle) {
  TrpReport report;
  report.Title = Ansi("Раскладка: Хибины");
  OneMemoReport(report, "Текст");
  TrpPreviewForm f;
  f.ShowReport(report, false);
  const AnsiString pdf = dir.Path() + "/titled.pdf";
  QTimer::singleShot(0, [&] {
    if (auto* form = dynamic_cast<TrpPrintForm*>(QApplication::activeModalWidget())) {
      form->edPdfFile->setText(QString::fromUtf8(pdf.c_str()));
      form->btnOk->click();
    }
  });
  f.PrintDialog();
  std::FILE* p = ::popen(("pdfinfo '" + pdf + "' 2>/dev/null | sed -n 's/^Title: *//p'").c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[256] = {};
  const bool read = std::fgets(buf, sizeof buf, p) != nullptr;
  ::pclose(p);
  ASSERT_TRUE(read) << "no PDF or no pdfinfo";
  EXPECT_EQ(std::string(buf), "Раскладка: Хибины\n");
}

TEST_F(Preview, PositionIsKeptAndRestored) {
  TrpEMFPages pages;
  ThreePages(pages);
  {
    TrpPreviewForm f;
    f.SetPages(&pages);
    RestorePlacement(f, "Software\\ReportEngine\\Form\\TrpPreviewForm",
                     TPlacementNames{"XPosition", "YPosition", "Width", "Height", "Maximized", true});
    EXPECT_EQ(f.WindowState(), TWindowState::wsMaximized);  // never saved: the form's own state
    f.SetWindowState(TWindowState::wsNormal);
    f.setGeometry(40, 50, 640, 480);
    f.Show();
    f.Close();
  }
  TrpPreviewForm g;
  RestorePlacement(g, "Software\\ReportEngine\\Form\\TrpPreviewForm",
                   TPlacementNames{"XPosition", "YPosition", "Width", "Height", "Maximized", true});
  EXPECT_EQ(g.WindowState(), TWindowState::wsNormal);
  EXPECT_EQ(g.width(), 640);
  EXPECT_EQ(g.height(), 480);
}

TEST_F(Preview, PrintWritesThePdfAndTwoPagesDrawOnGrey) {
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPreviewForm f;
  f.resize(1000, 700);
  f.SetWindowState(TWindowState::wsNormal);
  f.Show();
  f.SetPages(&pages);
  f.SetZoom(3);
  const QImage shot = f.grab().toImage();
  const char* out = std::getenv("TARNWICK_PREVIEW_PNG");
  shot.save(out ? out : (dir.SysPath() + "/preview.png").c_str());
  const QPoint origin = f.PBox->viewport()->mapTo(&f, QPoint(0, 0));
  const TRect p0 = f.Layout().Pages[0], p1 = f.Layout().Pages[1];
  EXPECT_EQ(shot.pixelColor(origin + QPoint(3, 3)), QColor(128, 128, 128));
  EXPECT_EQ(shot.pixelColor(origin + QPoint(p0.Left + 5, p0.Top + 5)), QColor(Qt::white));
  EXPECT_EQ(shot.pixelColor(origin + QPoint(p1.Left + 5, p1.Top + 5)), QColor(Qt::white));
  EXPECT_EQ(shot.pixelColor(origin + QPoint(p0.Right + 5, p0.Top + 5)), QColor(128, 128, 128));

  // The report's own print dialog: pages 2-3, two collated copies, into a PDF file.
  const AnsiString pdf = dir.Path() + "/out.pdf";
  bool answered = false;
  QTimer::singleShot(0, [&] {
    auto* form = dynamic_cast<TrpPrintForm*>(QApplication::activeModalWidget());
    if (!form) return;
    answered = true;
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Печать"));
    form->rbNumbers->setChecked(true);
    form->edNumbers->setText("2-");
    form->edCopies->setText("2");
    form->cbCollate->setChecked(true);
    form->edPdfFile->setText(QString::fromUtf8(pdf.c_str()));
    form->btnOk->click();
  });
  f.PrintDialog();
  ASSERT_TRUE(answered);
  const std::string cmd = "pdfinfo '" + pdf + "' | grep Pages: | tr -s ' ' | cut -d' ' -f2";
  std::FILE* p = ::popen(cmd.c_str(), "r");
  char buf[64] = {};
  ASSERT_TRUE(std::fgets(buf, sizeof buf, p));
  ::pclose(p);
  EXPECT_EQ(std::string(buf), "4\n");
  // Pages 2 and 3 twice, collated: portrait, landscape, portrait, landscape.
  const std::string sizes = "pdfinfo -f 1 -l 4 '" + pdf + "' | grep 'size:' | grep -c 'x 595'";
  p = ::popen(sizes.c_str(), "r");
  ASSERT_TRUE(std::fgets(buf, sizeof buf, p));
  ::pclose(p);
  EXPECT_EQ(std::string(buf), "2\n");
}

TEST_F(Preview, APrintThatFailsHalfWayKeepsTheOldPdf) {
  const std::string pdf = dir.SysPath() + "/out.pdf";
  std::ofstream(pdf, std::ios::binary) << "old";
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPrintJob job;
  job.PdfFile = AnsiPath(pdf);
  // Page 2's stream is cut short: drawing it stops the print after page 1 went out.
  pages.GetPages(1)->Stream->SetSize(3);
  QString error;
  bool printed = false;
  try {
    printed = rpPrintPreparedPages(pages, job, &error);
  } catch (const std::exception&) {
  }
  EXPECT_FALSE(printed);
  std::ifstream in(pdf, std::ios::binary);
  const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, "old");
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.SysPath())) files += e.path().extension() != ".ini";
  EXPECT_EQ(files, 1) << "no half-written file is left beside it";

  // A print that completes replaces it.
  TrpEMFPages good;
  ThreePages(good);
  ASSERT_TRUE(rpPrintPreparedPages(good, job, &error)) << error.toStdString();
  std::ifstream again(pdf, std::ios::binary);
  std::string head(4, ' ');
  again.read(head.data(), 4);
  EXPECT_EQ(head, "%PDF");
}

TEST_F(Preview, ExportOptionsDialogsTakeTheirValuesBack) {
  rpInstallExportOptionsDialogs();
  TrpEMFPages pages;
  ThreePages(pages);
  TScriptedDialogsScope dialogs;
  dialogs->AnswerForm("TrpCSVExportForm", [](TForm& dlg) {
    EXPECT_EQ(FromQString(dlg.findChild<QLineEdit*>("edDelimiter")->text()), ";");
    dlg.findChild<QLineEdit*>("edDelimiter")->setText(",x");
    dlg.findChild<QLineEdit*>("edScaleX")->setText("0");  // not a usable scale: 1
    dlg.findChild<QLineEdit*>("edScaleY")->setText("1,5");
    dlg.findChild<QCheckBox*>("cbKillEmpty")->setChecked(false);
    if (const char* png = std::getenv("TARNWICK_EXPORT_FORM_PNG")) dlg.grab().save(png);
    dlg.findChild<QPushButton*>("btnOk")->click();
  });
  dialogs->AnswerForm("TrpTXTExportForm", [](TForm& dlg) {
    EXPECT_FALSE(dlg.findChild<QCheckBox*>("cbPseudo")->isEnabled());
    dlg.findChild<QCheckBox*>("cbFrames")->setChecked(true);
    EXPECT_TRUE(dlg.findChild<QCheckBox*>("cbPseudo")->isEnabled());
    dlg.findChild<QPushButton*>("btnCancel")->click();
  });
  TrpCSVExport csv;
  csv.ScaleX = 2;
  const AnsiString name = dir.Path() + "/o.csv";
  ASSERT_TRUE(rpExportPages(pages, csv, name));
  EXPECT_EQ(csv.Delimiter, ',');
  EXPECT_EQ(csv.ScaleX, 1.0);
  EXPECT_EQ(csv.ScaleY, 1.5);
  EXPECT_FALSE(csv.KillEmptyLines);
  TrpTextExport txt;
  EXPECT_FALSE(rpExportPages(pages, txt, dir.Path() + "/o.txt"));
  EXPECT_TRUE(txt.ExportFrames);  // taken back although cancelled
  EXPECT_FALSE(FileExists(dir.Path() + "/o.txt"));
  EXPECT_EQ(dialogs->Unexpected(), 0);
  rpSetExportOptionsDialog(nullptr);
}

TEST_F(Preview, PageSetupOfACompositeReportRebuildsItsListedReports) {
  std::vector<std::unique_ptr<TrpReport>> parts;
  TrpCompositeReport composite;
  for (const char* title : {"Первая часть", "Вторая часть"}) {
    parts.push_back(std::make_unique<TrpReport>());
    TrpTemplateBuilder b(parts.back()->Pages);
    b.Page(9, rpPortrait, 40);
    b.Band(btReportTitle, 0, 40);
    b.Memo(title, 20, 0, 250, 18);
    composite.Reports.push_back(parts.back().get());
  }
  ASSERT_TRUE(composite.PrepareReport());
  TrpPreviewForm f;
  f.resize(900, 700);
  f.ShowReport(composite, false);
  TScriptedDialogsScope dialogs;
  dialogs->AnswerPageSetup([](TPageSetupRequest& r) {
    // Filled from the first prepared page: A4 portrait, margins of 40 report pixels.
    EXPECT_EQ(r.PaperWidth, 2100);
    EXPECT_EQ(r.PaperHeight, 2970);
    EXPECT_EQ(r.Orientation, TPrinterOrientation::poPortrait);
    EXPECT_EQ(r.MarginLeft, 1111);
    r.PaperWidth = 1480;
    r.PaperHeight = 2100;
    r.Orientation = TPrinterOrientation::poLandscape;
    r.MarginLeft = r.MarginTop = 2000;
    return true;
  });
  f.PageSetupBtn->Click();
  EXPECT_EQ(dialogs->Unexpected(), 0);
  ASSERT_EQ(f.PageCount(), 2);
  for (int i = 0; i < 2; ++i) {
    const TrpPreparedPage& p = *composite.EMFPages.GetPages(i);
    EXPECT_EQ(p.Orientation, rpLandscape);
    EXPECT_EQ(p.Width, 2100);
    EXPECT_EQ(p.Height, 1480);
    EXPECT_EQ(p.LeftMargin, 72);
    EXPECT_EQ(p.TopMargin, 72);
  }
  EXPECT_EQ(f.PageNo(), 1);
  // Laid out again: the pages are now wider than tall.
  EXPECT_GT(f.Layout().Pages[0].Width(), f.Layout().Pages[0].Height());
  f.Close();
}

namespace {

void SendKey(QWidget* to, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent e(QEvent::KeyPress, key, mods);
  QCoreApplication::sendEvent(to, &e);
}

void SendWheel(QWidget* to, int angle) {
  const QPointF at(to->width() / 2.0, to->height() / 2.0);
  QWheelEvent e(at, to->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                false);
  QCoreApplication::sendEvent(to, &e);
}

void TriggerZoom(TrpPreviewForm& f, int tag) {
  for (QAction* a : f.ZoomMenu->actions())
    if (a->data().toInt() == tag) a->trigger();
}

}  // namespace

TEST_F(Preview, PanelHostsTheToolbarAndPagesOfAHiddenWindow) {
  TrpReport report;
  TrpTemplateBuilder b(report.Pages);
  for (const char* title : {"Раскладка", "Меню", "Итого"}) {
    b.Page(9, rpPortrait, 40);
    b.Band(btReportTitle, 0, 40);
    b.Memo(title, 20, 0, 250, 18);
  }
  ASSERT_TRUE(report.PrepareReport());
  auto* host = new TForm;
  host->resize(760, 560);
  host->SetWindowState(TWindowState::wsNormal);
  auto* other = new QWidget(host);  // a neighbour in the form
  other->setGeometry(0, 0, 200, 560);
  auto* p = new TrpPreview(host);
  p->setGeometry(200, 0, 560, 560);
  std::vector<int> changes;
  p->OnPageChanged = [&](int page) { changes.push_back(page); };
  host->Show();
  p->ConnectReport(report);
  TrpPreviewForm& f = p->Form();
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(f.ToolBar->parentWidget(), p);
  EXPECT_EQ(f.PagePanel->parentWidget(), p);
  EXPECT_TRUE(f.ZoomBtn->isVisible());
  EXPECT_TRUE(f.FindBtn->isVisible());
  EXPECT_FALSE(f.HelpBtn->isVisible());
  EXPECT_FALSE(f.ExitBtn->isVisible());
  EXPECT_EQ(p->GetPageNo(), 1);
  EXPECT_EQ(f.StatusLabel->text(), QString::fromUtf8("Стр. 1/3"));

  // Keys go to the panel: Ctrl+Page Down, Ctrl+End; Esc leaves the host open.
  SendKey(p, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(p->GetPageNo(), 2);
  SendKey(p, Qt::Key_End, Qt::ControlModifier);
  SendKey(p, Qt::Key_Escape);
  EXPECT_TRUE(host->isVisible());
  EXPECT_EQ(changes, (std::vector<int>{1, 2, 3}));  // page 1 when connected
  SendKey(p, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(changes.back(), 1);
  // The window's commands work in the panel: Ctrl+F finds through the search dialog.
  {
    TScriptedDialogsScope dialogs;
    dialogs->AnswerForm("TrpPreviewSearchForm", [](TForm& dlg) {
      dlg.findChild<QLineEdit*>("edText")->setText(QString::fromUtf8("итого"));
      dlg.findChild<QPushButton*>("btnOk")->click();
    });
    SendKey(p, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(dialogs->Unexpected(), 0);
    EXPECT_EQ(p->GetPageNo(), 3);
    EXPECT_EQ(changes.back(), 3);
  }

  // A wheel notch scrolls three small steps in the panel, on the pages or elsewhere in
  // the form, and one in the window of its own.
  TriggerZoom(f, 100);
  QScrollBar* v = f.PBox->verticalScrollBar();
  ASSERT_GT(v->maximum(), 100);
  v->setValue(0);
  SendWheel(f.PBox->viewport(), -120);
  EXPECT_EQ(v->value(), 30);
  SendWheel(host, -120);
  EXPECT_EQ(v->value(), 60);
  {
    TrpPreviewForm own;
    ShowPages(own, report.EMFPages, 100);
    own.PBox->verticalScrollBar()->setValue(0);
    SendWheel(own.PBox->viewport(), -120);
    EXPECT_EQ(own.PBox->verticalScrollBar()->value(), 10);
  }

  // The right button: the panel's own menu when it has one, else the zoom menu.
  QMenu popup;
  popup.addAction("x");
  auto rightClick = [&] {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(20, 20), f.PBox->viewport()->mapToGlobal(QPointF(20, 20)),
                  Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.PBox->viewport(), &e);
  };
  rightClick();
  EXPECT_TRUE(f.ZoomMenu->isVisible());
  f.ZoomMenu->hide();
  p->PopupMenu = &popup;
  rightClick();
  EXPECT_TRUE(popup.isVisible());
  EXPECT_FALSE(f.ZoomMenu->isVisible());
  popup.hide();

  // Page width follows the panel's size.
  TriggerZoom(f, 1);
  const double wide = f.ZoomFactor();
  p->setGeometry(200, 0, 400, 560);
  QCoreApplication::processEvents();
  EXPECT_LT(f.ZoomFactor(), wide);
  EXPECT_NEAR(f.Layout().Pages[0].Right + 10, f.PBox->viewport()->width(), 2);  // 10 pixels either side

  // What the form shows: the grey field and a white page inside the panel.
  TriggerZoom(f, 2);
  const QImage shot = host->grab().toImage();
  if (const char* out = std::getenv("TARNWICK_PANEL_PNG")) shot.save(out);
  const QPoint origin = f.PBox->viewport()->mapTo(host, QPoint(0, 0));
  const TRect page = f.Layout().Pages[0];
  EXPECT_EQ(shot.pixelColor(origin + QPoint(3, 3)), QColor(128, 128, 128));
  EXPECT_EQ(shot.pixelColor(origin + QPoint(page.Left + 3, page.Top + page.Height() - 5)), QColor(Qt::white));

  p->SetShowToolbar(false);
  EXPECT_FALSE(f.ToolBar->isVisible());
  p->SetScrollBars(TrpScrollBars::ssNone);
  EXPECT_EQ(f.PBox->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  p->SetScrollBars(TrpScrollBars::ssVertical);
  EXPECT_EQ(f.PBox->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(f.PBox->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_TRUE(f.StatusLabel->isVisibleTo(p));  // below the pages now
  p->SetScrollBars(TrpScrollBars::ssBoth);
  EXPECT_TRUE(f.StatusLabel->isVisibleTo(p));
  EXPECT_EQ(report.Preview(), &f);
  delete host;  // the panel, its window and the pages' widgets go with the form
  EXPECT_EQ(report.Preview(), nullptr);
}

namespace {

// How often each colour occurs in a widget as drawn.
std::map<QRgb, int> Colours(QWidget* w) {
  std::map<QRgb, int> n;
  const QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) ++n[img.pixel(x, y) | 0xFF000000u];
  return n;
}

bool AllGrey(const std::map<QRgb, int>& colours) {
  for (const auto& [c, count] : colours)
    if (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c)) return false;
  return true;
}

}  // namespace

TEST_F(Preview, ToolbarButtonsShowTheirStateGlyphs) {
  // The printer's lamp is green; its grey is the lamp's luminance.
  const QRgb lamp = qRgb(0, 170, 0), lampGrey = qRgb(150 * 170 / 256, 150 * 170 / 256, 150 * 170 / 256);
  ASSERT_EQ(rpPrinterGlyph().pixel(11, 8), lamp);
  TrpPreviewForm f;
  f.resize(900, 700);
  f.SetWindowState(TWindowState::wsNormal);
  f.Show();
  TrpEMFPages none;
  f.SetPages(&none);
  // Disabled: the embossed glyph in shadow and highlight, no colour left.
  ASSERT_FALSE(f.PrintBtn->isEnabled());  // nothing to print
  std::map<QRgb, int> seen = Colours(f.PrintBtn);
  EXPECT_TRUE(AllGrey(seen));
  EXPECT_GT(seen[ToQColor(clBtnShadow).rgb()], 0);
  EXPECT_EQ(seen[lampGrey], 0);
  EXPECT_TRUE(AllGrey(Colours(f.PageSetupBtn)));  // no report to build again
  EXPECT_FALSE(AllGrey(Colours(f.LoadBtn)));

  TrpEMFPages pages;
  ThreePages(pages);
  f.SetPages(&pages);
  ASSERT_TRUE(f.PrintBtn->isEnabled());
  seen = Colours(f.PrintBtn);
  EXPECT_GT(seen[lamp], 0);
  EXPECT_EQ(seen[lampGrey], 0);
  // Greyed while inactive: the grey of the luminance until the pointer is over the button.
  f.SetGrayedButtons(true);
  seen = Colours(f.PrintBtn);
  EXPECT_TRUE(AllGrey(seen));
  EXPECT_GT(seen[lampGrey], 0);
  f.PrintBtn->MouseEnter();
  EXPECT_GT(Colours(f.PrintBtn)[lamp], 0);
  f.PrintBtn->MouseLeave();
  EXPECT_TRUE(AllGrey(Colours(f.PrintBtn)));
  f.SetGrayedButtons(false);
  EXPECT_GT(Colours(f.PrintBtn)[lamp], 0);
  if (const char* out = std::getenv("TARNWICK_TOOLBAR_PNG")) {
    f.SetPages(&none);
    f.ToolBar->grab().save(out);
  }
}

TEST_F(Preview, ObjectsTakeClicksAndCursorsAndTheBarButtonsStepPages) {
  TrpEMFPages pages;
  ThreePages(pages);
  std::vector<std::string> clicked;
  pages.OnObjectClick = [&](TrpView& v) { clicked.push_back(v.Name); };
  pages.OnMouseOverObject = [](TrpView& v, int& cursor) {
    if (v.Name == "Memo2") cursor = crHandPoint;
  };
  TrpPreviewForm f;
  ShowPages(f, pages, 100);
  QWidget* vp = f.PBox->viewport();
  const TRect p0 = f.Layout().Pages[0];
  auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButton button) {
    QMouseEvent e(type, QPointF(at), vp->mapToGlobal(QPointF(at)), button, type == QEvent::MouseMove ? Qt::NoButton : button,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &e);
  };
  // Memo2 (100, 300, 300 x 20) is drawn into the printable area: 18 pixels in, a little larger.
  const QPoint memo2(p0.Left + 250, p0.Top + 338), blank(p0.Left + 500, p0.Top + 700);
  mouse(QEvent::MouseMove, memo2, Qt::NoButton);
  EXPECT_EQ(vp->cursor().shape(), Qt::PointingHandCursor);
  mouse(QEvent::MouseMove, blank, Qt::NoButton);
  EXPECT_EQ(vp->cursor().shape(), Qt::ArrowCursor);
  // A click on an object goes to the report; elsewhere the left button drags the pages.
  const int y = f.PBox->verticalScrollBar()->value();
  mouse(QEvent::MouseButtonPress, memo2, Qt::LeftButton);
  mouse(QEvent::MouseMove, memo2 - QPoint(0, 50), Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, memo2 - QPoint(0, 50), Qt::LeftButton);
  EXPECT_EQ(clicked, std::vector<std::string>{"Memo2"});
  EXPECT_EQ(f.PBox->verticalScrollBar()->value(), y);
  mouse(QEvent::MouseButtonPress, blank, Qt::LeftButton);
  EXPECT_EQ(vp->cursor().shape(), Qt::ClosedHandCursor);
  mouse(QEvent::MouseMove, blank - QPoint(0, 50), Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, blank - QPoint(0, 50), Qt::LeftButton);
  EXPECT_EQ(f.PBox->verticalScrollBar()->value(), y + 50);
  EXPECT_EQ(clicked.size(), 1u);

  // The buttons below the vertical bar: next and previous page.
  auto* next = f.PBox->findChild<TrpSpeedButton*>("NextPageBtn");
  auto* prev = f.PBox->findChild<TrpSpeedButton*>("PrevPageBtn");
  ASSERT_TRUE(next && prev);
  QCoreApplication::processEvents();  // the bars are laid out
  EXPECT_TRUE(next->isVisible());
  EXPECT_EQ(next->parentWidget()->height(), 2 * next->height());  // two square buttons, no more
  next->Click();
  EXPECT_EQ(f.PageNo(), 2);
  next->Click();
  next->Click();
  EXPECT_EQ(f.PageNo(), 3);
  prev->Click();
  EXPECT_EQ(f.PageNo(), 2);
}

TEST_F(Preview, TheReportChoosesButtonsFirstZoomGreyButtonsAndModality) {
  TrpReport report;
  OneMemoReport(report, "Раскладка");
  report.PreviewButtons = rppbZoom | rppbPrint | rppbExit;
  report.InitialZoom = rpzmTwoPages;
  report.GrayedButtons = true;
  report.ModalPreview = false;
  TrpPreviewForm f;
  f.resize(900, 700);
  f.ShowReport(report);  // modeless: returns at once
  EXPECT_TRUE(f.isVisible());
  EXPECT_FALSE(f.Modal());
  EXPECT_EQ(f.ZoomMode(), rpzmTwoPages);
  EXPECT_EQ(TrpPreviewForm::LastMode, rpzmWholePage);  // the remembered zoom stays
  for (TrpTBButton* hidden : {f.LoadBtn, f.SaveBtn, f.FindBtn, f.HelpBtn, f.PageSetupBtn})
    EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
  for (TrpTBButton* shown : {f.ZoomBtn, f.PrintBtn, f.ExitBtn})
    EXPECT_TRUE(shown->isVisible()) << shown->objectName().toStdString();
  EXPECT_TRUE(f.GrayedButtons());
  // Hidden find: Ctrl+F still finds (the command stays), a disabled one would not run.
  TScriptedDialogsScope dialogs;
  EXPECT_TRUE(f.HandleKey('F', ssCtrl));
  EXPECT_EQ(dialogs->Unexpected(), 1);  // the search dialog was asked for
  TrpEMFPages none;
  f.SetPages(&none);
  EXPECT_TRUE(f.HandleKey('P', ssCtrl));
  EXPECT_EQ(dialogs->Unexpected(), 1);  // nothing to print: no print dialog
  f.Close();
}

// The find dialog names its field, its options and where the search begins, in groups.
TEST_F(Preview, FindDialogShowsItsTextsInGroups) {
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPreviewForm f;
  ShowPages(f, pages, 0);
  ASSERT_TRUE(f.Find(Ansi("гречка"), false, true));
  TScriptedDialogsScope dialogs;
  bool answered = false;
  dialogs->AnswerForm("TrpPreviewSearchForm", [&](TForm& dlg) {
    answered = true;
    EXPECT_EQ(dlg.Caption(), Ansi("Поиск"));
    const struct {
      const char* name;
      const char* text;
      const char* group;  // the group box it stands in ("" for none)
    } parts[] = {{"gbOptions", "Параметры", ""},        {"cbCase", "Учитывать регистр", "gbOptions"},
                 {"gbOrigin", "Начать поиск", ""},       {"rbFromStart", "С первой страницы", "gbOrigin"},
                 {"rbContinue", "С текущего места", "gbOrigin"}, {"btnOk", "OK", ""},
                 {"btnCancel", "Отмена", ""}};
    for (const auto& p : parts) {
      auto* w = dlg.findChild<QWidget*>(p.name);
      ASSERT_NE(w, nullptr) << p.name;
      const QString text = w->property(w->inherits("QGroupBox") ? "title" : "text").toString();
      EXPECT_EQ(text, QString::fromUtf8(p.text)) << p.name;
      if (*p.group) {
        EXPECT_EQ(w->parentWidget()->objectName(), p.group) << p.name;
      }
    }
    auto* label = dlg.findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8("Искать текст:"));
    EXPECT_EQ(label->buddy(), dlg.findChild<QLineEdit*>("edText"));
    EXPECT_TRUE(dlg.findChild<QRadioButton*>("rbContinue")->isChecked());
    // The field opens focused with the last search text selected.
    auto* edit = dlg.findChild<QLineEdit*>("edText");
    EXPECT_EQ(dlg.ActiveControl(), edit);
    EXPECT_EQ(edit->selectedText(), QString::fromUtf8("ГРЕЧКА"));
    dlg.adjustSize();
    const QImage shot = dlg.grab().toImage();
    const char* out = std::getenv("TARNWICK_FIND_PNG");
    shot.save(out ? out : (dir.SysPath() + "/find.png").c_str());
    dlg.findChild<QPushButton*>("btnCancel")->click();
  });
  f.FindDialog();
  EXPECT_TRUE(answered);
  EXPECT_EQ(f.Search().Text, Ansi("ГРЕЧКА"));  // Cancel leaves the search as it was
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

// The pages hold code page 1251 text, and so do the sought text and the CSV delimiter:
// what 1251 lacks is taken as a field shows it, not as the escaped bytes of file names
// (a search for "C3" found them, the delimiter became the escape byte).
TEST_F(Preview, TextsTypedInTheDialogsAreTakenIn1251) {
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPreviewForm f;
  ShowPages(f, pages, 0);
  TScriptedDialogsScope dialogs;
  dialogs->AnswerForm("TrpPreviewSearchForm", [](TForm& dlg) {
    dlg.findChild<QLineEdit*>("edText")->setText(QString::fromUtf8("Zürich 日"));
    dlg.findChild<QPushButton*>("btnOk")->click();
  });
  f.FindDialog();
  EXPECT_EQ(f.Search().Text, Ansi("ZURICH ?"));

  rpInstallExportOptionsDialogs();
  TrpCSVExport csv;
  csv.Delimiter = '\xB9';  // "№"
  QString shown;
  dialogs->AnswerForm("TrpCSVExportForm", [&](TForm& dlg) {
    shown = dlg.findChild<QLineEdit*>("edDelimiter")->text();
    dlg.findChild<QPushButton*>("btnCancel")->click();
  });
  rpExportPages(pages, csv, dir.Path() + "/cancelled.csv");
  EXPECT_EQ(shown, QString::fromUtf8("№"));
  EXPECT_EQ(csv.Delimiter, '\xB9');
  dialogs->AnswerForm("TrpCSVExportForm", [](TForm& dlg) {
    dlg.findChild<QLineEdit*>("edDelimiter")->setText(QString::fromUtf8("│"));
    dlg.findChild<QPushButton*>("btnOk")->click();
  });
  ASSERT_TRUE(rpExportPages(pages, csv, dir.Path() + "/o.csv"));
  EXPECT_EQ(csv.Delimiter, '?');
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

// Exit and Esc close a modal preview with OK.
TEST_F(Preview, ExitAndEscCloseAModalPreviewWithOk) {
  TrpEMFPages pages;
  ThreePages(pages);
  for (const bool byKey : {false, true}) {
    SCOPED_TRACE(byKey ? "Esc" : "exit button");
    TrpPreviewForm f;
    f.SetPages(&pages);
    QTimer::singleShot(0, [&] {
      if (byKey) f.HandleKey(VK_ESCAPE, 0);
      else f.ExitBtn->Click();
    });
    EXPECT_EQ(f.ShowModal(), mrOk);
  }
}

// Both bars stay shown, disabled while there is nothing to scroll; the status stands on
// the horizontal bar's row, to its left.
TEST_F(Preview, BarsStayShownAndTheStatusStandsBesideTheHorizontalBar) {
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPreviewForm f;
  ShowPages(f, pages, 2);  // whole page: nothing to scroll sideways
  QCoreApplication::processEvents();
  QScrollBar* h = f.PBox->horizontalScrollBar();
  ASSERT_EQ(f.Layout().HRange, 0);
  EXPECT_TRUE(h->isVisible());
  EXPECT_FALSE(h->isEnabled());
  EXPECT_TRUE(f.PBox->verticalScrollBar()->isEnabled());
  ASSERT_TRUE(f.StatusLabel->isVisible());
  const QRect bar(h->mapTo(&f, QPoint(0, 0)), h->size());
  const QRect status(f.StatusLabel->mapTo(&f, QPoint(0, 0)), f.StatusLabel->size());
  EXPECT_EQ(status.center().y(), bar.center().y());
  EXPECT_LE(status.right(), bar.left());
  EXPECT_LT(status.width(), f.width() / 4);
  f.SetZoom(200);  // wider than the window: the bar scrolls
  EXPECT_TRUE(h->isEnabled());
}

// The views of a page are rebuilt while the page is in the window and given up when it
// has left it.
TEST_F(Preview, PagesOutOfTheWindowGiveTheirViewsUp) {
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPreviewForm f;
  ShowPages(f, pages, 100);
  f.PBox->viewport()->grab();
  EXPECT_NE(pages.GetPages(0)->Page, nullptr);
  EXPECT_EQ(pages.GetPages(2)->Page, nullptr);
  f.GoToPage(3);
  f.PBox->viewport()->grab();
  EXPECT_EQ(pages.GetPages(0)->Page, nullptr);
  EXPECT_FALSE(pages.GetPages(0)->Visible);
  EXPECT_NE(pages.GetPages(2)->Page, nullptr);
  // Found text is still found on a page whose views were given up.
  EXPECT_TRUE(f.Find(Ansi("Раскладка"), false, true));
  EXPECT_EQ(f.PageNo(), 1);
}

// The wheel scrolls by the small step times its turn: the parts of a notch that wheels of
// finer steps and touchpads send add up instead of being dropped.
TEST_F(Preview, TheWheelAddsUpPartsOfANotch) {
  TrpEMFPages pages;
  ThreePages(pages);
  TrpPreviewForm f;
  ShowPages(f, pages, 100);
  QScrollBar* v = f.PBox->verticalScrollBar();
  ASSERT_GT(v->maximum(), 100);
  struct Case {
    std::vector<int> turns;  // angle deltas, one event each
    int moved;               // pixels down: 10 a notch (120)
  };
  const Case cases[] = {
      {{-40, -40, -40}, 10},     // three third-notches: one notch
      {{-60}, 5},                // half a notch: half a step
      {{-15, -15, -15, -15}, 5},  // eighths
      {{-120, 60}, 5},           // back by half
      {{-360}, 30},
  };
  for (const Case& c : cases) {
    v->setValue(50);
    for (int t : c.turns) SendWheel(f.PBox->viewport(), t);
    EXPECT_EQ(v->value() - 50, c.moved) << c.turns.size() << " events from " << c.turns.front();
    // What is left over of the turn goes with the next one.
    for (int t : c.turns) SendWheel(f.PBox->viewport(), -t);
  }
}

// Space opens the zoom menu below the zoom button, and, with the button hidden, over the
// pages: always inside the window.
TEST_F(Preview, SpaceOpensTheZoomMenuInsideTheWindow) {
  TrpReport report;
  OneMemoReport(report, "Раскладка");
  for (unsigned buttons : {0xFFu, 0xFFu & ~static_cast<unsigned>(rppbZoom)}) {
    report.PreviewButtons = buttons;
    TForm host;  // narrower than where a hidden button is put away
    host.setGeometry(20, 20, 320, 300);
    auto* p = new TrpPreview(&host);
    p->setGeometry(0, 0, 320, 300);
    host.Show();
    p->ConnectReport(report);
    QCoreApplication::processEvents();
    TrpPreviewForm& f = p->Form();
    EXPECT_EQ(f.ZoomBtn->isVisible(), buttons == 0xFFu);
    SendKey(p, Qt::Key_Space);
    ASSERT_TRUE(f.ZoomMenu->isVisible()) << buttons;
    const QRect window(host.mapToGlobal(QPoint(0, 0)), host.size());
    EXPECT_TRUE(window.contains(f.ZoomMenu->pos())) << buttons << ": " << f.ZoomMenu->pos().x() << ","
                                                    << f.ZoomMenu->pos().y();
    if (buttons == 0xFFu) {
      EXPECT_EQ(f.ZoomMenu->pos(), f.ZoomBtn->mapToGlobal(QPoint(0, f.ZoomBtn->height())));
    }
    f.ZoomMenu->hide();
    host.Hide();
  }
}

// The print dialog proposes the PDF beside the document, named after it, and asks before
// it replaces a file that exists: "no" keeps the dialog open and the file as it was.
TEST_F(Preview, PrintToAnExistingPdfAsksFirst) {
  TrpReport report;
  OneMemoReport(report, "Текст");
  TrpPreviewForm f;
  f.SourceDocument = dir.Path() + "/trip.tw";
  f.ShowReport(report, false);
  const AnsiString pdf = dir.Path() + "/trip.pdf";
  {
    std::ofstream(SysPath(pdf)) << "keep";
  }
  struct Case {
    int answer;
    bool replaced;
  };
  for (const Case c : {Case{mrNo, false}, Case{mrYes, true}}) {
    TScriptedDialogsScope dialogs;
    dialogs->Answer(c.answer);
    QString proposed;
    bool stayed = false;
    QTimer::singleShot(0, [&] {
      auto* form = dynamic_cast<TrpPrintForm*>(QApplication::activeModalWidget());
      if (!form) return;
      proposed = form->edPdfFile->text();
      form->btnOk->click();
      stayed = form->isVisible();
      if (stayed) form->reject();
    });
    f.PrintDialog();
    EXPECT_EQ(proposed.toStdString(), SysPath(pdf));
    ASSERT_EQ(dialogs->Shown().size(), 1u) << c.answer;
    EXPECT_NE(dialogs->Shown()[0].Text.find(Ansi("уже существует")), AnsiString::npos);
    EXPECT_NE(dialogs->Shown()[0].Text.find(pdf), AnsiString::npos);
    EXPECT_EQ(stayed, !c.replaced);
    const std::string bytes = ReadFileBytes(pdf);
    EXPECT_EQ(bytes.rfind("%PDF", 0) == 0, c.replaced) << bytes.substr(0, 8);
    EXPECT_EQ(dialogs->Unexpected(), 0);
  }
  // A file chosen through Browse, whose dialog asked about replacing it, is not asked about again.
  {
    std::ofstream(SysPath(pdf)) << "keep";
    TScriptedDialogsScope dialogs;
    dialogs->AnswerFile(pdf);
    QTimer::singleShot(0, [&] {
      auto* form = dynamic_cast<TrpPrintForm*>(QApplication::activeModalWidget());
      if (!form) return;
      form->edPdfFile->setText("elsewhere.pdf");
      form->btnBrowse->Click();
      form->btnOk->click();
      if (form->isVisible()) form->reject();
    });
    f.PrintDialog();
    ASSERT_EQ(dialogs->FileDialogs().size(), 1u);
    EXPECT_TRUE(dialogs->FileDialogs()[0].OverwritePrompt);
    EXPECT_TRUE(dialogs->Shown().empty());
    EXPECT_EQ(ReadFileBytes(pdf).rfind("%PDF", 0), 0u);
    EXPECT_EQ(dialogs->Unexpected(), 0);
  }
  f.Close();
}

// A preview closed in the normal state reopens normal at its bounds once shown, and its
// next close stores the normal state again; one closed maximised reopens maximised.
TEST_F(Preview, APreviewReopensInTheStateItWasClosedIn) {
  TrpReport report;
  OneMemoReport(report, "Раскладка");
  report.ModalPreview = false;
  const char* key = "Software\\ReportEngine\\Form\\TrpPreviewForm";
  const auto stored = [&](const char* name) {
    AnsiString v;
    return SettingsStore().ReadValue(key, name, v) ? v : AnsiString("(none)");
  };
  const auto settle = [] {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  };
  {
    TrpPreviewForm f;
    f.ShowReport(report);
    settle();
    EXPECT_EQ(f.WindowState(), TWindowState::wsMaximized);  // never saved: the form's own state
    f.SetWindowState(TWindowState::wsNormal);
    f.setGeometry(40, 50, 500, 380);
    settle();
    f.Close();
  }
  EXPECT_EQ(stored("Maximized"), "0");
  for (int round = 0; round < 2; ++round) {
    TrpPreviewForm f;
    f.ShowReport(report);
    settle();
    EXPECT_EQ(f.WindowState(), TWindowState::wsNormal) << round;
    EXPECT_EQ(f.size(), QSize(500, 380)) << round;
    f.Close();
    EXPECT_EQ(stored("Maximized"), "0") << round;
    EXPECT_EQ(stored("Width"), "500") << round;
  }
  {
    TrpPreviewForm f;
    f.ShowReport(report);
    settle();
    f.SetWindowState(TWindowState::wsMaximized);
    settle();
    f.Close();
  }
  EXPECT_EQ(stored("Maximized"), "1");
  EXPECT_EQ(stored("Width"), "500");  // the normal bounds
  TrpPreviewForm f;
  f.ShowReport(report);
  settle();
  EXPECT_EQ(f.WindowState(), TWindowState::wsMaximized);
  f.Close();
}
