#include "report/gui/RP_QtPrint.h"

#include "report/RP_Export.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <string_view>

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/gui/QtGraphics.h"
#include "report/RP_Utils.h"
#include "report/RP_Class.h"
#include "report/gui/RP_ExportProgress.h"
#include "report/gui/RP_ReportWindows.h"

namespace {

QPageLayout LayoutOf(int widthTenths, int heightTenths) {
  // The record's width and height are already those of the oriented paper.
  const bool landscape = widthTenths > heightTenths;
  const QSizeF mm(std::min(widthTenths, heightTenths) / 10.0, std::max(widthTenths, heightTenths) / 10.0);
  return QPageLayout(QPageSize(mm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
                     landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

}  // namespace

// Real printers through QPrinterInfo; settings applied to one shared QPrinter.
class TrpQtPrinterBackend : public TrpPrinterBackend {
 public:
  std::vector<AnsiString> PrinterNames() override {
    std::vector<AnsiString> out;
    for (const QString& n : QPrinterInfo::availablePrinterNames()) out.push_back(FromQString(n));
    return out;
  }
  int DefaultPrinter() override {
    const QString d = QPrinterInfo::defaultPrinterName();
    const QStringList names = QPrinterInfo::availablePrinterNames();
    return std::max(0, static_cast<int>(names.indexOf(d)));
  }
  void SelectPrinter(int index) override {
    const QStringList names = QPrinterInfo::availablePrinterNames();
    if (index < 0 || index >= names.size()) throw ErpPrinterError(Ansi("Нет такого принтера"));
    printer_.setPrinterName(names[index]);
  }
  std::vector<TrpPaper> Papers() override {
    std::vector<TrpPaper> out;
    for (const QPageSize& s : QPrinterInfo(printer_).supportedPageSizes()) {
      const QSizeF mm = s.size(QPageSize::Millimeter);
      out.push_back({s.windowsId(), static_cast<int>(mm.width() * 10 + 0.5), static_cast<int>(mm.height() * 10 + 0.5),
                     FromQString(s.name())});
    }
    return out;
  }
  void ReadSettings(int& paperSize, int& width, int& height, int& orientation, int& bin) override {
    const QPageLayout l = printer_.pageLayout();
    paperSize = l.pageSize().windowsId();
    const QSizeF mm = l.fullRect(QPageLayout::Millimeter).size();
    width = static_cast<int>(mm.width() * 10 + 0.5);
    height = static_cast<int>(mm.height() * 10 + 0.5);
    orientation = l.orientation() == QPageLayout::Landscape ? rpLandscape : rpPortrait;
    bin = -1;
  }
  void ApplySettings(int paperSize, int width, int height, int orientation, int) override {
    QPageSize size = paperSize == rpCustomPaper ? QPageSize(QSizeF(width / 10.0, height / 10.0), QPageSize::Millimeter)
                                                : QPageSize(QPageSize::id(paperSize));
    if (!size.isValid()) throw ErpPrinterError(Ansi("Принтер не принимает этот размер бумаги"));
    if (!printer_.setPageLayout(QPageLayout(size, orientation == rpLandscape ? QPageLayout::Landscape
                                                                             : QPageLayout::Portrait,
                                            QMarginsF(0, 0, 0, 0))))
      throw ErpPrinterError(Ansi("Принтер не принимает этот размер бумаги"));
  }
  TrpPageInfo DeviceGeometry() override {
    const int dpi = printer_.resolution();
    const QRect full = printer_.pageLayout().fullRectPixels(dpi), paint = printer_.pageLayout().paintRectPixels(dpi);
    return rpDevicePageInfo(full.width(), full.height(), paint.left(), paint.top(), paint.width(), paint.height(),
                            dpi);
  }
  bool Printing() override { return printing_ > 0; }

  QPrinter printer_{QPrinter::HighResolution};
  int printing_ = 0;  // jobs running (a PDF of the virtual printer too)
};

namespace {

TrpQtPrinterBackend& QtBackend() {
  static TrpQtPrinterBackend backend;
  return backend;
}

// Marks a job running for as long as it lives.
struct JobRunning {
  JobRunning() { ++QtBackend().printing_; }
  ~JobRunning() { --QtBackend().printing_; }
  JobRunning(const JobRunning&) = delete;
  JobRunning& operator=(const JobRunning&) = delete;
};

}  // namespace

namespace {

struct MeasureSurface {
  QImage image{8, 8, QImage::Format_RGB32};
  QPainter painter{&image};
  TQtCanvas canvas{painter, Rect(0, 0, 8, 8)};
};

}  // namespace

void rpInitQtPrinting() {
  static MeasureSurface* surface = new MeasureSurface;  // lives as long as the fonts
  rpSetMeasureCanvas(&surface->canvas);
  rpPrinter().AttachPrinter(&QtBackend());
  rpInstallExportProgressWindow();
  rpInstallReportWindows();
  rpSetPagePrinter(rpQtPrintPages);
  rpSetImageDecoder(rpQtDecodeImage, true);
}

TBitmap rpQtDecodeImage(std::uint8_t kind, std::string_view bytes) {
  if (kind != rpikBitmap && kind != rpikIcon) return {};
  if (bytes.size() > static_cast<std::size_t>(rpMaxPictureFile)) return {};
  // A few bytes can claim a huge picture (compressed or of one bit a pixel) that the
  // 32-bit copies below would multiply: its size is looked at before it is decoded, and
  // again after, where the reader could not tell it.
  const auto tooLarge = [](const QSize& size) {
    return static_cast<std::int64_t>(size.width()) * size.height() > rpMaxPicturePixels;
  };
  QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  QImageReader reader(&buffer, kind == rpikIcon ? "ICO" : "BMP");
  if (const QSize claimed = reader.size(); claimed.isValid() && tooLarge(claimed)) return {};
  QImage image;
  if (!reader.read(&image) || tooLarge(image.size())) return {};
  if (!image.hasAlphaChannel()) return FromQImage(image);
  QImage paper(image.size(), QImage::Format_RGB32);
  paper.fill(Qt::white);
  QPainter painter(&paper);
  painter.drawImage(0, 0, image);
  painter.end();
  return FromQImage(paper);
}

QImage rpRenderPreparedPage(TrpEMFPages& pages, int index, double zoom, TColor background) {
  TrpPreparedPage* rec = pages.GetPages(index);
  if (!rec) return {};
  const int w = std::max(1, rpRound(rec->PageInfo.PhysWidth * zoom));
  const int h = std::max(1, rpRound(rec->PageInfo.PhysHeight * zoom));
  return PaintToImage(w, h, background, [&](TCanvas& canvas) {
    rec->Visible = true;
    pages.Draw(index, canvas, Rect(0, 0, w, h));
    rec->Visible = false;
    pages.Draw(index, canvas, Rect(0, 0, w, h));  // releases the rebuilt page
  });
}

namespace {

// Prints every page to the printer, or to the PDF file `pdfFile` when it is not empty.
bool PrintPages(TrpEMFPages& pages, const TrpPrintJob& job, const QString& pdfFile, QString* error) {
  const bool toPdf = !pdfFile.isEmpty();
  QPrinter printer(QPrinter::HighResolution);
  if (toPdf) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfFile);
    printer.setResolution(job.Resolution);
  } else {
    printer.setPrinterName(ToQString(rpPrinter().PrinterName()));
  }
  printer.setFullPage(true);
  printer.setDocName(ToQString(job.Title));
  printer.setCopyCount(1);
  std::vector<int> order = job.Order;
  if (order.empty())
    for (int i = 0; i < pages.GetCount(); ++i) order.push_back(i);
  for (const int i : order)
    if (!pages.GetPages(i)) {
      if (error) *error = "Нет такой страницы";
      return false;
    }
  TrpPreparedPage& first = *pages.GetPages(order.front());
  printer.setPageLayout(LayoutOf(first.Width, first.Height));
  const JobRunning running;
  QPainter painter;
  if (!painter.begin(&printer)) {
    if (error) *error = "Не удалось начать печать";
    return false;
  }
  TrpBuildState& st = rpState();
  const int dpi = printer.resolution();
  for (std::size_t n = 0; n < order.size(); ++n) {
    const int i = order[n];
    TrpPreparedPage& rec = *pages.GetPages(i);
    if (n > 0) {
      printer.setPageLayout(LayoutOf(rec.Width, rec.Height));
      printer.newPage();
    }
    const QRect full = printer.pageLayout().fullRectPixels(dpi);
    TQtCanvas canvas(painter, Rect(0, 0, full.width(), full.height()));
    auto dev = [&](int reportPixels) { return rpRound(reportPixels * dpi / rpPixelsPerInch); };
    TRect target = Rect(0, 0, full.width(), full.height());
    if (!rec.UseMargins) {
      // Stretched to the printable area inset by the page's margins.
      const TrpPageInfo& g = rec.PageInfo;
      target = Rect(dev(g.OffsetX + rec.LeftMargin), dev(g.OffsetY + rec.TopMargin),
                    dev(g.OffsetX + g.PrintWidth - rec.RightMargin), dev(g.OffsetY + g.PrintHeight - rec.BottomMargin));
    }
    st.PrinterCanvas = &canvas;
    rec.Visible = true;
    try {
      pages.Draw(i, canvas, target);
    } catch (...) {
      st.PrinterCanvas = nullptr;
      rec.Visible = false;
      painter.end();
      throw;
    }
    st.PrinterCanvas = nullptr;
    rec.Visible = false;
    pages.Draw(i, canvas, target);
    if (job.PageDone && !job.PageDone(static_cast<int>(n) + 1)) {
      printer.abort();
      painter.end();
      if (error) error->clear();
      return false;
    }
  }
  if (!painter.end()) {
    if (error) *error = "Не удалось завершить печать";
    return false;
  }
  return true;
}

// Whether the PDF file (system path) holds a whole document, flushed to the disk: its
// last bytes hold the end-of-file marker.
bool WrittenWhole(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool whole = false;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) {
    char tail[64] = {};
    const off_t from = std::max<off_t>(0, st.st_size - static_cast<off_t>(sizeof tail));
    const ssize_t n = ::pread(fd, tail, sizeof tail, from);
    whole = n > 0 && std::string_view(tail, static_cast<std::size_t>(n)).find("%%EOF") != std::string_view::npos &&
            ::fsync(fd) == 0;
  }
  ::close(fd);
  return whole;
}

// The name under which Qt writes the file of system path `sysPath`: the path itself when
// Qt's file names hold it (UTF-8), else the open file's own entry in /proc (bytes that are
// no UTF-8); `fd` keeps that open.
QString QtFileName(const std::string& sysPath, int& fd) {
  const QString name = QFile::decodeName(QByteArray::fromStdString(sysPath));
  if (QFile::encodeName(name).toStdString() == sysPath) return name;
  fd = ::open(sysPath.c_str(), O_WRONLY | O_CLOEXEC);
  return fd < 0 ? name : QString("/proc/self/fd/%1").arg(fd);
}

// A file name as the user reads it in a message.
QString ShownName(const AnsiString& name) { return QString::fromUtf8(SysPath(name)); }

// "What failed NAME:" and the reason on the next line.
QString FileError(const char* what, const AnsiString& name, const std::exception& e) {
  return QString("%1 %2:\r%3").arg(QString::fromUtf8(what), ShownName(name), ToQString(rpFileErrorReason(e)));
}

}  // namespace

bool rpQtPrintPages(TrpEMFPages& pages, const std::vector<int>& order, const AnsiString& title,
                    const AnsiString& fileName, const TrpPageDone& pageDone) {
  TrpPrintJob job;
  job.Title = title;
  job.PdfFile = fileName;
  job.Order = order;
  job.PageDone = pageDone;
  QString error;
  if (rpPrintPreparedPages(pages, job, &error)) return true;
  if (error.isEmpty()) return false;  // aborted
  throw Exception(FromQString(error));
}

bool rpPrintPreparedPages(TrpEMFPages& pages, const TrpPrintJob& job, QString* error) {
  if (!pages.GetCount()) return true;
  if (!rpPrinter().IsVirtual() && job.PdfFile.empty()) return PrintPages(pages, job, QString(), error);
  if (job.PdfFile.empty()) {
    if (error) *error = "Не задан файл PDF для виртуального принтера";
    return false;
  }
  // The PDF is written beside the file it replaces (through a link: the file the link
  // leads to) and renamed over it once complete, so a print that fails or is stopped
  // half-way leaves the old file as it was.
  std::unique_ptr<TFileSaveLock> lock;
  try {
    lock = std::make_unique<TFileSaveLock>(job.PdfFile);
  } catch (const std::exception& e) {
    if (error) *error = FileError("Не удалось создать файл", job.PdfFile, e);
    return false;
  }
  std::exception_ptr failed;  // of the printing itself: passed on as it is
  bool printed = false;
  try {
    printed = SaveFileAtomicallyByName(*lock, [&](const std::string& sysTemp) {
      int fd = -1;
      const QString name = QtFileName(sysTemp, fd);
      bool whole = false;
      try {
        whole = PrintPages(pages, job, name, error);
      } catch (...) {
        failed = std::current_exception();
      }
      if (fd >= 0) ::close(fd);
      if (!whole) return false;
      // Qt does not report a write that failed (a full disk): the file must end as a PDF
      // does and reach the disk before it replaces the target.
      if (!WrittenWhole(sysTemp)) {
        if (error)
          *error = QString("Не удалось записать файл %1: нет места на диске или файл недоступен")
                       .arg(ShownName(job.PdfFile));
        return false;
      }
      return true;
    });
  } catch (const EFCreateError& e) {
    if (error) *error = FileError("Не удалось создать файл", job.PdfFile, e);
    return false;
  } catch (const std::exception& e) {
    if (error) *error = FileError("Не удалось записать файл", job.PdfFile, e);
    return false;
  }
  if (failed) std::rethrow_exception(failed);
  return printed;
}
