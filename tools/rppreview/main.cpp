// rppreview: shows a prepared report (".rpp", or the sample pages) in the preview window
// with the HTML, CSV and RTF exports offered by its save dialog.
//   rppreview [--rpp file.rpp] [--shots prefix --count n]
// With --shots the screen is saved as prefix1.png ... prefixN.png, one every 1.5 s, so
// that keys sent meanwhile (xdotool) show in the pictures; the window closes after.
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cstring>

#include "SamplePage.h"
#include "report/RP_Export.h"
#include "report/gui/RP_ExportForms.h"
#include "report/gui/RP_Preview.h"
#include "report/gui/RP_QtPrint.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char *rpp = nullptr, *shots = nullptr;
  int count = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--rpp")) rpp = argv[i + 1];
    else if (!std::strcmp(argv[i], "--shots")) shots = argv[i + 1];
    else if (!std::strcmp(argv[i], "--count")) count = std::atoi(argv[i + 1]);
  }
  rpInitQtPrinting();
  rpInstallExportOptionsDialogs();
  TrpHTMExport html;
  TrpCSVExport csv;
  TrpRTFExport rtf;
  TrpEMFPages pages;
  TrpPreviewForm form;
  if (rpp) {
    if (!form.LoadFrom(cp::Utf8To1251(rpp))) return 1;
  } else {
    AddSamplePage(pages);
    AddSamplePage(pages, true);
    AddSamplePage(pages);
    form.SetPages(&pages);
  }
  form.Show();
  int shot = 0;
  QTimer timer;
  if (shots && count > 0) {
    QObject::connect(&timer, &QTimer::timeout, [&] {
      form.grab().save(QString::fromUtf8(shots) + QString::number(++shot) + ".png");
      if (shot >= count) QApplication::quit();
    });
    timer.start(1500);
  }
  return app.exec();
}
