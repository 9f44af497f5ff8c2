#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

#include "../report/PictureFiles.h"
#include "../test_support/TempDir.h"
#include "SamplePage.h"
#include "platform/core/Files.h"
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
  const QString pdf = QString::fromStdString(::testing::TempDir()) + "report_sample.pdf";
  job.PdfFile = AnsiPath(pdf.toStdString());
  job.Resolution = 300;
  ASSERT_TRUE(rpPrintPreparedPages(pages, job, &error)) << error.toStdString();
  QFile f(pdf);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.read(5) == "%PDF-");
  if (QStandardPaths::findExecutable("pdftotext").isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
  const QString text = RunTool("pdftotext", {"-layout", pdf, "-"});
  EXPECT_TRUE(text.contains(QString::fromUtf8("Раскладка продуктов: поход по Хибинам"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromUtf8("Итого: 2840 ккал в день")));
  EXPECT_TRUE(text.contains(QString::fromUtf8("Вечером готовится суп с картофельным пюре.")));
  EXPECT_EQ(text.count(QString::fromUtf8("Поворот")), 2);
  const QString info = RunTool("pdfinfo", {"-f", "1", "-l", "2", pdf});
  EXPECT_TRUE(info.contains("Pages:           2")) << info.toStdString();
  EXPECT_TRUE(info.contains("Page    1 size:  595 x 842 pts (A4)")) << info.toStdString();
  EXPECT_TRUE(info.contains("Page    2 size:  595 x 420 pts (A5)")) << info.toStdString();
}

// The PDF is readable as any new file of the user (not only by its owner), and carries
// the report's title; a PDF written over an older one keeps that one's permissions.
TEST_F(QtPrint, PdfHasTheModeOfANewFileAndTheReportsTitle) {
  TrpEMFPages pages;
  AddSamplePage(pages);
  TrpPrintJob job;
  job.Title = Ansi("Раскладка: Хибины");
  job.Resolution = 150;
  const QString pdf = QString::fromStdString(::testing::TempDir()) + "report_mode.pdf";
  job.PdfFile = AnsiPath(pdf.toStdString());
  QFile::remove(pdf);
  const mode_t old = ::umask(022);
  QString error;
  const bool printed = rpPrintPreparedPages(pages, job, &error);
  struct stat st {};
  const bool found = ::stat(QFile::encodeName(pdf).constData(), &st) == 0;
  ::chmod(QFile::encodeName(pdf).constData(), 0640);
  const bool again = rpPrintPreparedPages(pages, job, &error);
  struct stat st2 {};
  ::stat(QFile::encodeName(pdf).constData(), &st2);
  ::umask(old);
  ASSERT_TRUE(printed && found && again) << error.toStdString();
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(st2.st_mode & 0777, 0640u);
  if (QStandardPaths::findExecutable("pdfinfo").isEmpty()) GTEST_SKIP() << "pdfinfo is not installed";
  const QString info = RunTool("pdfinfo", {pdf});
  QString title;
  for (const QString& line : info.split('\n'))
    if (line.startsWith("Title:")) title = line.mid(6).trimmed();
  EXPECT_EQ(title.toStdString(), "Раскладка: Хибины") << info.toStdString();
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

// A disk that fills up while the PDF is written: the print fails with a message and the
// PDF printed before stays as it was, never replaced by a cut-off file.
TEST_F(QtPrint, AFullDiskFailsThePrintAndKeepsTheOldPdf) {
  TrpEMFPages pages;
  for (int i = 0; i < 6; ++i) AddSamplePage(pages, i % 2 == 1);
  TrpPrintJob job;
  job.Title = "full";
  job.Resolution = 300;
  const QString pdf = QString::fromStdString(::testing::TempDir()) + "report_full.pdf";
  job.PdfFile = AnsiPath(pdf.toStdString());
  QFile::remove(pdf);
  TrpEMFPages one;
  AddSamplePage(one);
  QString error;
  ASSERT_TRUE(rpPrintPreparedPages(one, job, &error)) << error.toStdString();
  QFile before(pdf);
  ASSERT_TRUE(before.open(QIODevice::ReadOnly));
  const QByteArray old = before.readAll();
  before.close();

  bool printed = false;
  {
    // Files of this process cannot grow beyond 20 KB (writes fail as on a full disk).
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 20000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    printed = rpPrintPreparedPages(pages, job, &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
  }
  EXPECT_FALSE(printed);
  EXPECT_FALSE(error.isEmpty());
  QFile after(pdf);
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_TRUE(after.readAll() == old);
}

namespace {

// The entries of a directory (system path), without the hidden lock files of saves.
std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().filename().string().rfind(".~lock.", 0) != 0) names.insert(e.path().filename().string());
  return names;
}

std::string Head(const std::string& sysPath, std::size_t n) {
  std::ifstream in(sysPath, std::ios::binary);
  std::string head(n, '\0');
  in.read(head.data(), static_cast<std::streamsize>(n));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return head;
}

}  // namespace

// A PDF printed through a symbolic link goes to the file the link leads to, written
// beside that file and renamed over it; the link stays a link.
TEST_F(QtPrint, APdfPrintedThroughALinkReplacesTheLinksTarget) {
  TempDir dir;
  const std::string shared = dir.SysPath() + "/shared";
  std::filesystem::create_directory(shared);
  std::ofstream(shared + "/trip.pdf", std::ios::binary) << "old";
  std::filesystem::create_symlink("shared/trip.pdf", dir.SysPath() + "/link.pdf");
  TrpEMFPages pages;
  AddSamplePage(pages);
  AddSamplePage(pages, true);
  TrpPrintJob job;
  job.Resolution = 150;
  job.PdfFile = dir.Path() + "/link.pdf";
  std::set<std::string> besideLink, besideTarget;  // while the pages are printed
  job.PageDone = [&](int) {
    besideLink = Entries(dir.SysPath());
    besideTarget = Entries(shared);
    return true;
  };
  QString error;
  ASSERT_TRUE(rpPrintPreparedPages(pages, job, &error)) << error.toStdString();
  EXPECT_TRUE(std::filesystem::is_symlink(dir.SysPath() + "/link.pdf"));
  EXPECT_EQ(Head(shared + "/trip.pdf", 5), "%PDF-");
  EXPECT_EQ(besideLink, (std::set<std::string>{"link.pdf", "shared"}));
  ASSERT_EQ(besideTarget.size(), 2u);  // the old file, and the new one being written
  EXPECT_EQ(*besideTarget.begin(), "trip.pdf");
  EXPECT_EQ(std::next(besideTarget.begin())->rfind("trip.pdf.tmp", 0), 0u) << *std::next(besideTarget.begin());
  EXPECT_EQ(Entries(dir.SysPath()), (std::set<std::string>{"link.pdf", "shared"}));
  EXPECT_EQ(Entries(shared), (std::set<std::string>{"trip.pdf"}));
}

// Names the code page of the program's texts cannot hold are printed to under their very
// bytes: other scripts, and bytes that are no UTF-8 at all.
TEST_F(QtPrint, APdfNameOutsideTheCodePageIsThatVeryFile) {
  for (const char* given : {"日本の旅.pdf", "trip\xff\xfe.pdf"}) {
    const std::string name = given;
    SCOPED_TRACE(name);
    TempDir dir;
    TrpEMFPages pages;
    AddSamplePage(pages);
    TrpPrintJob job;
    job.Resolution = 150;
    job.PdfFile = AnsiPath(dir.SysPath() + "/" + name);
    QString error;
    ASSERT_TRUE(rpPrintPreparedPages(pages, job, &error)) << error.toStdString();
    EXPECT_EQ(Entries(dir.SysPath()), std::set<std::string>{name});
    EXPECT_EQ(Head(dir.SysPath() + "/" + name, 5), "%PDF-");
  }
}

// A PDF that cannot be made is named as the system names it, with the reason, in the
// message the printing raises.
TEST_F(QtPrint, APdfThatCannotBeMadeIsNamedWithTheReason) {
  TempDir dir;
  std::filesystem::create_directory(dir.SysPath() + "/folder.pdf");
  TrpEMFPages pages;
  AddSamplePage(pages);
  for (const auto& [name, reason] : {std::pair<std::string, std::string>{"нет/日本の旅.pdf", "файл или папка не найдены"},
                                     {"folder.pdf", "под этим именем уже есть папка"}}) {
    SCOPED_TRACE(name);
    const std::string pdf = dir.SysPath() + "/" + name;
    QString shown;
    try {
      rpQtPrintPages(pages, {0}, "trip", AnsiPath(pdf), {});
    } catch (const Exception& e) {
      shown = ToQString(e.Message());
    }
    EXPECT_EQ(shown.toStdString(), (name == "folder.pdf" ? "Не удалось записать файл " : "Не удалось создать файл ") +
                                       pdf + ":\r" + reason);
  }
}

// The printer answers whether a job runs: while the pages go out, and not before or after.
TEST_F(QtPrint, PrintingAnswersWhetherAJobRuns) {
  TrpEMFPages pages;
  AddSamplePage(pages);
  AddSamplePage(pages, true);
  TrpPrintJob job;
  job.PdfFile = AnsiPath(::testing::TempDir() + "printing_mark.pdf");
  job.Resolution = 150;
  std::vector<bool> during;
  job.PageDone = [&](int) {
    during.push_back(rpPrinter().Printing());
    return true;
  };
  EXPECT_FALSE(rpPrinter().Printing());
  QString error;
  ASSERT_TRUE(rpPrintPreparedPages(pages, job, &error)) << error.toStdString();
  EXPECT_EQ(during, (std::vector<bool>{true, true}));
  EXPECT_FALSE(rpPrinter().Printing());
}

// Pictures of every bitmap depth and compression, and icons, are read by Qt's readers
// once the Qt layer is installed (not drawn as a framed cross).
TEST_F(QtPrint, PicturesOfEveryBitmapKindAndIconsAreDecoded) {
  struct Case {
    const char* name;
    std::uint8_t kind;
    std::string bytes;
    std::vector<std::vector<TColor>> rows;
  };
  const TColor red = RGBColor(255, 0, 0), green = RGBColor(0, 255, 0), blue = RGBColor(0, 0, 255);
  const Case cases[] = {
      {"1 bit", rpikBitmap, picture_files::Bmp1(), {{clBlack, red}, {red, clBlack}}},
      {"4 bits, run-length", rpikBitmap, picture_files::Bmp4Rle(), {{green, blue, clWhite, clWhite}, {blue, green, blue, green}}},
      {"icon", rpikIcon, picture_files::Ico(), {{red, clWhite}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(rpImageKind(c.bytes), c.kind);
    TrpPictureView view;
    view.Picture.Assign(c.kind, c.bytes);
    const TBitmap& image = view.Picture.Decoded();
    ASSERT_EQ(image.Height(), static_cast<int>(c.rows.size()));
    ASSERT_EQ(image.Width(), static_cast<int>(c.rows[0].size()));
    for (int y = 0; y < image.Height(); ++y)
      for (int x = 0; x < image.Width(); ++x) EXPECT_EQ(image.Pixel(x, y), c.rows[y][x]) << x << "," << y;
  }
}

// A few bytes claiming a picture larger than a page at 600 dots per inch (32 million
// points): run-length codes that end at once, or one bit a point.
TEST_F(QtPrint, APictureOfMorePointsThanAPageHoldsIsNotDecoded) {
  std::string palette, endAtOnce = {0, 1}, oneBit;
  picture_files::Bytes(palette, {0, 0, 0, 0, 255, 255, 255, 0});
  oneBit.assign(std::size_t{6000} / 8 * 6000, '\0');
  struct Case {
    const char* what;
    std::string bytes;
    bool decoded;
  };
  const Case cases[] = {
      {"60000 x 60000, run-length", picture_files::Bmp(60000, 60000, 8, 1, palette, endAtOnce), false},
      {"6000 x 6000, run-length", picture_files::Bmp(6000, 6000, 8, 1, palette, endAtOnce), false},
      {"6000 x 6000, one bit", picture_files::Bmp(6000, 6000, 1, 0, palette, oneBit), false},
      {"3000 x 3000, run-length", picture_files::Bmp(3000, 3000, 8, 1, palette, endAtOnce), true},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(rpQtDecodeImage(rpikBitmap, c.bytes).Empty(), !c.decoded);
    // A script's LoadFromFile says why.
    std::ofstream(dir.SysPath() + "/p.bmp", std::ios::binary | std::ios::trunc) << c.bytes;
    TrpPictureView view;
    std::string message;
    try {
      view.LoadFromFile(dir.Path() + "/p.bmp");
    } catch (const ErpViewError& e) {
      message = cp::Ansi1251ToUtf8(e.what());
    }
    EXPECT_EQ(message.find("больше 32 миллионов точек") != std::string::npos, !c.decoded) << message;
  }
}
