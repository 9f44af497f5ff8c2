// rppreview: shows a prepared report (".rpp", or the sample pages) in the preview window
// with the HTML, CSV and RTF exports offered by its save dialog.
//   rppreview [--rpp file.rpp | --build rows] [--panel] [--zoom tag] [--page n] [--find text]
//             [--shot out.png | --shots prefix --count n] [--size WxH]
//             [--progress-shot out.png [--progress-ms ms]]
// --build makes a two-pass report of that many rows and builds it under the progress
// window (shown once a build runs longer than 400 ms; Cancel stops it); --progress-shot
// shows that window at once and saves it 300 ms (or --progress-ms) into the build.
// --panel shows the pages in a TrpPreview panel of a form, beside a list, instead of the
// window of its own. --zoom takes a zoom menu tag (1 page width, 2 whole page, 3 two
// pages, else percent); --find searches the text. With --shot the window is saved
// once it has been drawn, and the program ends; with --shots the screen is saved as
// prefix1.png ... prefixN.png, one every 1.5 s, so that keys sent meanwhile (xdotool)
// show in the pictures.
#include <QApplication>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <cstring>
#include <memory>

#include "SamplePage.h"
#include "platform/core/AnsiText.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"
#include "report/RP_Export.h"
#include "report/gui/RP_DialogForm.h"
#include "report/gui/RP_ExportForms.h"
#include "report/gui/RP_Preview.h"
#include "report/gui/RP_QtPrint.h"
#include "report/gui/RP_ReportWindows.h"

namespace {

// A two-pass report: a title, a page header with the page count and a row per record.
void BuildRows(TrpReport& report, int rows) {
  TrpTemplateBuilder b(report.Pages);
  b.Page(9, rpPortrait, 40);
  report.Pages.DoublePass = true;
  report.Title = Ansi("Раскладка");
  b.Band(btReportTitle, 0, 40);
  b.Memo("Раскладка продуктов", 20, 0, 400, 30).Font.Size = 14;
  b.Band(btPageHeader, 50, 24);
  b.Memo("Стр. [PAGE#] из [TOTALPAGES]", 20, 50, 300, 20);
  b.Band(btMasterData, 80, 20).FormatStr = IntToStr(rows);
  b.Memo("Строка [LINE#]", 20, 80, 300, 18);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char *rpp = nullptr, *shots = nullptr, *shot = nullptr, *find = nullptr, *progressShot = nullptr;
  int count = 0, zoom = 0, page = 0, width = 1000, height = 760, build = 0, progressMs = 300;
  bool panel = false;
  for (int i = 1; i < argc; ++i) {
    const bool more = i + 1 < argc;
    if (!std::strcmp(argv[i], "--panel")) panel = true;
    else if (more && !std::strcmp(argv[i], "--rpp")) rpp = argv[++i];
    else if (more && !std::strcmp(argv[i], "--shots")) shots = argv[++i];
    else if (more && !std::strcmp(argv[i], "--shot")) shot = argv[++i];
    else if (more && !std::strcmp(argv[i], "--find")) find = argv[++i];
    else if (more && !std::strcmp(argv[i], "--build")) build = std::atoi(argv[++i]);
    else if (more && !std::strcmp(argv[i], "--progress-shot")) progressShot = argv[++i];
    else if (more && !std::strcmp(argv[i], "--progress-ms")) progressMs = std::atoi(argv[++i]);
    else if (more && !std::strcmp(argv[i], "--count")) count = std::atoi(argv[++i]);
    else if (more && !std::strcmp(argv[i], "--zoom")) zoom = std::atoi(argv[++i]);
    else if (more && !std::strcmp(argv[i], "--page")) page = std::atoi(argv[++i]);
    else if (more && !std::strcmp(argv[i], "--size")) std::sscanf(argv[++i], "%dx%d", &width, &height);
    else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  rpInitQtPrinting();
  rpInstallDialogPageForms();
  rpInstallExportOptionsDialogs();
  TrpHTMExport html;
  TrpCSVExport csv;
  TrpRTFExport rtf;
  TrpEMFPages ownPages;
  TrpEMFPages* shown = &ownPages;
  TrpReport report;
  if (build > 0) {
    BuildRows(report, build);
    if (progressShot) {
      TrpProgressWindow::ShowAfterMs = 0;
      QTimer::singleShot(progressMs, [progressShot] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (w->objectName() == "TrpProgressForm" && w->isVisible()) w->grab().save(QString::fromLocal8Bit(progressShot));
      });
    }
    if (!report.PrepareReport()) {
      std::fprintf(stderr, "%s\n", report.ErrorText.empty() ? "stopped" : cp::Ansi1251ToUtf8(report.ErrorText).c_str());
      return 1;
    }
    shown = &report.EMFPages;
  } else if (rpp) {
    try {
      ownPages.LoadFromFile(cp::Utf8To1251(rpp));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", cp::Ansi1251ToUtf8(e.what()).c_str());
      return 1;
    }
  } else {
    AddSamplePage(ownPages);
    AddSamplePage(ownPages, true);
    AddSamplePage(ownPages);
  }

  std::unique_ptr<TForm> host;
  std::unique_ptr<TrpPreviewForm> own;
  TrpPreviewForm* form = nullptr;
  QWidget* window = nullptr;
  if (panel) {
    host = std::make_unique<TForm>();
    host->SetCaption(Ansi("Форма с панелью просмотра"));
    auto* list = new QListWidget(host.get());
    for (const char* s : {"Раскладка", "Меню по дням", "Продукты", "Итоги"}) list->addItem(QString::fromUtf8(s));
    list->setGeometry(0, 0, 180, height);
    auto* preview = new TrpPreview(host.get());
    preview->setGeometry(184, 4, width - 188, height - 8);
    preview->ConnectPages(*shown);
    form = &preview->Form();
    window = host.get();
  } else {
    own = std::make_unique<TrpPreviewForm>();
    own->SetPages(shown);
    form = own.get();
    window = own.get();
  }
  window->resize(width, height);
  static_cast<TForm*>(window)->SetWindowState(TWindowState::wsNormal);
  static_cast<TForm*>(window)->Show();
  QCoreApplication::processEvents();  // the window takes its size before the pages are placed
  if (zoom) form->SetZoom(zoom);
  if (page) form->GoToPage(page);
  if (find) form->Find(cp::Utf8To1251(find), false, true);
  int shotNo = 0;
  QTimer timer;
  if (shot) {
    QTimer::singleShot(300, [&] {
      window->grab().save(QString::fromLocal8Bit(shot));
      QApplication::quit();
    });
  } else if (shots && count > 0) {
    QObject::connect(&timer, &QTimer::timeout, [&] {
      window->grab().save(QString::fromUtf8(shots) + QString::number(++shotNo) + ".png");
      if (shotNo >= count) QApplication::quit();
    });
    timer.start(1500);
  }
  return app.exec();
}
