// The report printer: the list of the system's printers plus the virtual printer, the
// paper table, the page settings of a report page and the page geometry in device and
// report pixels (93 / 1.015 to the inch). Real printers sit behind TrpPrinterBackend
// (Qt print support in report/gui); the virtual printer needs no device and, in the
// GUI layer, prints to PDF.
#pragma once

#include <memory>
#include <vector>

#include "platform/core/Classes.h"

// Raised for paper settings a printer cannot take.
TW_DECLARE_EXCEPTION(ErpPrinterError, Exception)

constexpr double rpPixelsPerInch = 93 / 1.015;
constexpr int rpCustomPaper = 256;
constexpr int rpPortrait = 0, rpLandscape = 1;

// A length in tenths of a millimetre in report pixels, and a device length.
int rpTenthsMmToReport(int tenths);
int rpDeviceToReport(int pixels, int dpi);

// The page geometry, twelve integers in this order.
struct TrpPageInfo {
  int PhysWidthDev = 0, PhysHeightDev = 0;
  int PhysWidth = 0, PhysHeight = 0;      // report pixels
  int OffsetXDev = 0, OffsetYDev = 0;
  int OffsetX = 0, OffsetY = 0;           // report pixels
  int PrintWidthDev = 0, PrintHeightDev = 0;
  int PrintWidth = 0, PrintHeight = 0;    // report pixels
  int ReportWidth() const { return PhysWidth; }
  int ReportHeight() const { return PhysHeight; }
  bool operator==(const TrpPageInfo&) const = default;
};

// A device's page geometry: the device-pixel fields as given, the report fields
// converted from them at `dpi`.
TrpPageInfo rpDevicePageInfo(int physWidth, int physHeight, int offsetX, int offsetY, int printWidth, int printHeight,
                             int dpi);

struct TrpPaper {
  int Id;
  int Width, Height;  // tenths of a millimetre, portrait
  AnsiString Name;
};
// The 67 rows of the paper table (custom last).
const std::vector<TrpPaper>& rpPaperTable();

// "The default bin": -1, also when stored as 0xFFFF.
inline bool rpIsDefaultBin(int bin) { return (bin & 0xFFFF) == 0xFFFF; }

// A real printer as the system offers it.
class TrpPrinterBackend {
 public:
  virtual ~TrpPrinterBackend() = default;
  virtual std::vector<AnsiString> PrinterNames() = 0;
  virtual int DefaultPrinter() = 0;
  virtual void SelectPrinter(int index) = 0;
  // The selected printer's papers (ids and names) and its current settings.
  virtual std::vector<TrpPaper> Papers() = 0;
  virtual void ReadSettings(int& paperSize, int& width, int& height, int& orientation, int& bin) = 0;
  // Hands the settings to the device; raises ErpPrinterError when it refuses them.
  virtual void ApplySettings(int paperSize, int width, int height, int orientation, int bin) = 0;
  virtual TrpPageInfo DeviceGeometry() = 0;  // device pixel fields and dpi-converted report fields
  // Whether a print job runs (one to a file included).
  virtual bool Printing() = 0;
  // Whether the selected printer has a properties dialog to show, and showing it (true
  // when the user confirmed changes).
  virtual bool HasPropertiesDialog() { return false; }
  virtual bool ShowPropertiesDialog() { return false; }
};

class TrpPrinter {
 public:
  TrpPrinter();

  int PaperSize = 9;
  int PaperWidth = 0, PaperHeight = 0;
  int Orientation = rpPortrait;
  int Bin = -1;
  std::vector<TrpPaper> Papers;
  std::vector<AnsiString> BinNames;
  TStringList Printers;  // system printers, then the virtual printer
  int PrinterIndex = 0;
  int VirtualIndex() const { return Printers.Count() - 1; }
  bool IsVirtual() const { return PrinterIndex == VirtualIndex(); }
  // The paper size the printer had when the engine started, recorded when the printers
  // are attached (new template pages take it).
  int InitialPaperSize = 9;

  void LoadPaperNames();
  // Takes the system printers from the backend (none: only the virtual printer).
  void AttachPrinter(TrpPrinterBackend* backend);
  void SetPrinterIndex(int index);
  void ReadSettings();
  void ApplySettings();
  bool SettingsEqual(int size, int width, int height, int orientation, int bin) const;
  void SetPageSettings(int size, int width, int height, int orientation, int bin, bool force);
  TrpPageInfo FillPageInfo();
  void Refresh() { ReadSettings(); }
  // Whether a print job runs, on a system printer or into the virtual printer's file.
  bool Printing() const { return backend_ && backend_->Printing(); }
  // The printer's own properties dialog: offered only where the system has one for the
  // current printer; a confirmed change is read back as the printer's settings.
  bool HasPropertiesDialog() const { return backend_ && !IsVirtual() && backend_->HasPropertiesDialog(); }
  bool ShowPropertiesDialog();
  // The index of a printer name, -1 when absent.
  int IndexOfName(const AnsiString& name) const;
  AnsiString PrinterName() const { return PrinterIndex >= 0 && PrinterIndex < Printers.Count() ? Printers[PrinterIndex] : ""; }
  // How often settings went to the device or the virtual printer (tests).
  int ApplyCount = 0;

 private:
  TrpPrinterBackend* backend_ = nullptr;
};

// The one printer of the process.
TrpPrinter& rpPrinter();

// The order in which a print request draws the prepared pages (0-based indexes of
// `pageCount` pages). `numbers` is the page list text ("" for all, "1,3,5-12"; blanks
// ignored; a trailing "-" runs to the last page; a range ending below its start adds
// nothing); `oddEven` 1 keeps odd page numbers, 2 even ones; copies below 1 count as 1;
// collated prints the whole selection per copy, else each page `copies` times in turn.
std::vector<int> rpPrintOrder(int pageCount, const AnsiString& numbers, int copies, bool collate, int oddEven);
