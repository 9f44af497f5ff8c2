// rppreview: shows a prepared report (".rpp", or the sample pages) in the preview window
// with the HTML, CSV and RTF exports offered by its save dialog.
//   rppreview [--rpp file.rpp] [--panel] [--zoom tag] [--page n] [--find text]
//             [--shot out.png | --shots prefix --count n] [--size WxH]
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
#include "report/RP_Export.h"
#include "report/gui/RP_DialogForm.h"
#include "report/gui/RP_ExportForms.h"
#include "report/gui/RP_Preview.h"
#include "report/gui/RP_QtPrint.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char *rpp = nullptr, *shots = nullptr, *shot = nullptr, *find = nullptr;
  int count = 0, zoom = 0, page = 0, width = 1000, height = 760;
  bool panel = false;
  for (int i = 1; i < argc; ++i) {
    const bool more = i + 1 < argc;
    if (!std::strcmp(argv[i], "--panel")) panel = true;
    else if (more && !std::strcmp(argv[i], "--rpp")) rpp = argv[++i];
    else if (more && !std::strcmp(argv[i], "--shots")) shots = argv[++i];
    else if (more && !std::strcmp(argv[i], "--shot")) shot = argv[++i];
    else if (more && !std::strcmp(argv[i], "--find")) find = argv[++i];
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
  TrpEMFPages pages;
  if (rpp) {
    try {
      pages.LoadFromFile(cp::Utf8To1251(rpp));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", cp::Ansi1251ToUtf8(e.what()).c_str());
      return 1;
    }
  } else {
    AddSamplePage(pages);
    AddSamplePage(pages, true);
    AddSamplePage(pages);
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
    preview->ConnectPages(pages);
    form = &preview->Form();
    window = host.get();
  } else {
    own = std::make_unique<TrpPreviewForm>();
    own->SetPages(&pages);
    form = own.get();
    window = own.get();
  }
  window->resize(width, height);
  static_cast<TForm*>(window)->SetWindowState(TWindowState::wsNormal);
  static_cast<TForm*>(window)->Show();
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
