// The report printer on Qt print support: the system's printers behind TrpPrinter, the
// measuring canvas with the real font metrics, prepared pages drawn into images, and
// printing of prepared pages through QPrinter. The virtual printer (the only one on a
// machine without printers) prints into a PDF file.
#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <string_view>
#include <vector>

#include "report/RP_Class.h"
#include "report/RP_Prepared.h"

class TrpQtPrinterBackend;

// Attaches the system's printers to the engine's printer and installs the measuring
// canvas with the Qt font metrics and the export progress window. Needs the
// application object; call once.
void rpInitQtPrinting();

// A picture's bitmap or icon read by Qt's image readers (every depth and compression
// of a bitmap; an icon's transparent parts white, as on paper); empty when they cannot
// read it. rpInitQtPrinting makes it the engine's image decoder.
TBitmap rpQtDecodeImage(std::uint8_t kind, std::string_view bytes);

// Page `index` drawn as the preview draws it, `zoom` screen pixels per report pixel.
QImage rpRenderPreparedPage(TrpEMFPages& pages, int index, double zoom, TColor background = clWhite);

struct TrpPrintJob {
  AnsiString Title = "Untitled";
  // The virtual printer's output file (".pdf", a name of the program: see SysPath); with
  // a real printer current, empty means the printer itself.
  AnsiString PdfFile;
  int Resolution = 1200;  // dots per inch of the PDF
  // The pages to print, 0-based, in order (repeats for copies); empty: every page once.
  std::vector<int> Order;
  // Called after each page with the number printed so far; false aborts the job.
  std::function<bool(int printed)> PageDone;
};

// Prints the prepared pages of the job's order (each on its own paper and orientation);
// false with `error` set when the job could not start, false with `error` empty when
// PageDone aborted it (an aborted PDF leaves the old file as it was).
bool rpPrintPreparedPages(TrpEMFPages& pages, const TrpPrintJob& job, QString* error = nullptr);

// The report component's printer (TrpPagePrinter, installed by rpInitQtPrinting): the job
// above; a job that cannot run raises with the reason.
bool rpQtPrintPages(TrpEMFPages& pages, const std::vector<int>& order, const AnsiString& title,
                    const AnsiString& fileName, const TrpPageDone& pageDone);
