// rppage: draws the sample report page (Cyrillic memos, frames, lines, a picture) to a
// PNG and prints it, an A4 and an A5 landscape page, through the printer (the virtual
// printer writes PDF); also saves the prepared report.
//   rppage --png page.png --pdf page.pdf [--rpp page.rpp] [--rpf sample.rpf] [--zoom 1.5]
// (--rpf writes a template with every view type, made by the template builder.)
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "platform/core/Files.h"
#include "SamplePage.h"
#include "report/RP_Template.h"
#include "report/gui/RP_QtPrint.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char *png = nullptr, *pdf = nullptr, *rpp = nullptr, *rpf = nullptr;
  double zoom = 1.5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--png")) png = argv[i + 1];
    else if (!std::strcmp(argv[i], "--pdf")) pdf = argv[i + 1];
    else if (!std::strcmp(argv[i], "--rpp")) rpp = argv[i + 1];
    else if (!std::strcmp(argv[i], "--rpf")) rpf = argv[i + 1];
    else if (!std::strcmp(argv[i], "--zoom")) zoom = std::atof(argv[i + 1]);
  }
  rpInitQtPrinting();
  TrpEMFPages pages;
  AddSamplePage(pages);
  AddSamplePage(pages, true);
  try {
    if (rpp) pages.SaveToFile(cp::Utf8To1251(rpp));
    if (rpf) {
      TrpPages tmpl;
      BuildSampleTemplate(tmpl);
      rpSaveTemplateFile(tmpl, cp::Utf8To1251(rpf));
    }
    if (png && !rpRenderPreparedPage(pages, 0, zoom).save(QString::fromUtf8(png))) {
      std::fprintf(stderr, "cannot write %s\n", png);
      return 1;
    }
    if (pdf) {
      TrpPrintJob job;
      job.Title = "rppage";
      job.PdfFile = AnsiPath(pdf);
      QString error;
      if (!rpPrintPreparedPages(pages, job, &error)) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
      }
    }
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", cp::Ansi1251ToUtf8(e.Message()).c_str());
    return 1;
  }
  return 0;
}
