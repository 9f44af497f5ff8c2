#include "report/RP_Prntr.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/core/AnsiText.h"
#include "report/RP_Utils.h"

int rpTenthsMmToReport(int tenths) { return static_cast<int>(std::nearbyint(tenths * rpPixelsPerInch / 254)); }

int rpDeviceToReport(int pixels, int dpi) {
  return dpi > 0 ? static_cast<int>(std::nearbyint(pixels * rpPixelsPerInch / dpi)) : 0;
}

TrpPageInfo rpDevicePageInfo(int physWidth, int physHeight, int offsetX, int offsetY, int printWidth, int printHeight,
                             int dpi) {
  TrpPageInfo g;
  g.PhysWidthDev = physWidth;
  g.PhysHeightDev = physHeight;
  g.OffsetXDev = offsetX;
  g.OffsetYDev = offsetY;
  g.PrintWidthDev = printWidth;
  g.PrintHeightDev = printHeight;
  g.PhysWidth = rpDeviceToReport(physWidth, dpi);
  g.PhysHeight = rpDeviceToReport(physHeight, dpi);
  g.OffsetX = rpDeviceToReport(offsetX, dpi);
  g.OffsetY = rpDeviceToReport(offsetY, dpi);
  g.PrintWidth = rpDeviceToReport(printWidth, dpi);
  g.PrintHeight = rpDeviceToReport(printHeight, dpi);
  return g;
}

const std::vector<TrpPaper>& rpPaperTable() {
  static const std::vector<TrpPaper> table = [] {
    struct Row {
      int id, w, h;
      const char* name;
    };
    static const Row rows[] = {
        {1, 2159, 2794, "Letter"}, {2, 2159, 2794, "Letter Small"}, {3, 2794, 4318, "Tabloid"},
        {4, 4318, 2794, "Ledger"}, {5, 2159, 3556, "Legal"}, {6, 1397, 2159, "Statement"},
        {7, 1842, 2667, "Executive"}, {8, 2970, 4200, "A3"}, {9, 2100, 2970, "A4"}, {10, 2100, 2970, "A4 Small"},
        {11, 1480, 2100, "A5"}, {12, 2500, 3540, "B4 (JIS)"}, {13, 1820, 2570, "B5 (JIS)"}, {14, 2159, 3302, "Folio"},
        {15, 2150, 2750, "Quarto"}, {16, 2540, 3556, "10x14"}, {17, 2794, 4318, "11x17"}, {18, 2159, 2794, "Note"},
        {19, 984, 2254, "Конверт #9"}, {20, 1048, 2413, "Конверт #10"}, {21, 1143, 2635, "Конверт #11"},
        {22, 1207, 2794, "Конверт #12"}, {23, 1270, 2921, "Конверт #14"}, {24, 4318, 5588, "C"},
        {25, 5588, 8636, "D"}, {26, 8636, 11176, "E"}, {27, 1100, 2200, "Конверт DL"}, {28, 1620, 2290, "Конверт C5"},
        {29, 3240, 4580, "Конверт C3"}, {30, 2290, 3240, "Конверт C4"}, {31, 1140, 1620, "Конверт C6"},
        {32, 1140, 2290, "Конверт C65"}, {33, 2500, 3530, "Конверт B4"}, {34, 1760, 2500, "Конверт B5"},
        {35, 1760, 1250, "Конверт B6"}, {36, 1100, 2300, "Конверт Italy"}, {37, 984, 1905, "Конверт Monarch"},
        {38, 920, 1651, "Конверт 6 3/4"}, {39, 3778, 2794, "US Std Fanfold"}, {40, 2159, 3048, "German Std Fanfold"},
        {41, 2159, 3302, "German Legal Fanfold"}, {42, 2500, 3530, "B4 (ISO)"}, {43, 1000, 1480, "Japanese Postcard"},
        {44, 2286, 2794, "9x11"}, {45, 2540, 2794, "10x11"}, {46, 3810, 2794, "15x11"}, {47, 2200, 2200, "Конверт Invite"},
        {50, 2355, 3048, "Letter Extra"}, {51, 2355, 3810, "Legal Extra"}, {52, 2969, 4572, "Tabloid Extra"},
        {53, 2354, 3223, "A4 Extra"}, {54, 2101, 2794, "Letter Transverse"}, {55, 2100, 2970, "A4 Transverse"},
        {56, 2355, 3048, "Letter Extra Transverse"}, {57, 2270, 3560, "SuperA"}, {58, 3050, 4870, "SuperB"},
        {59, 2159, 3223, "Letter Plus"}, {60, 2100, 3300, "A4 Plus"}, {61, 1480, 2100, "A5 Transverse"},
        {62, 1820, 2570, "B5 (JIS) Transverse"}, {63, 3220, 4450, "A3 Extra"}, {64, 1740, 2350, "A5 Extra"},
        {65, 2010, 2760, "B5 (ISO) Extra"}, {66, 4200, 5940, "A2"}, {67, 2970, 4200, "A3 Transverse"},
        {68, 3220, 4450, "A3 Extra Transverse"}, {256, 0, 0, "Пользовательский"}};
    std::vector<TrpPaper> t;
    for (const Row& r : rows) {
      AnsiString name = Ansi(r.name);
      if (r.id != 256) {
        auto mm = [](int tenths) {
          return tenths % 10 ? FloatToStrF(tenths / 10.0, TFloatFormat::ffFixed, 15, 1) : IntToStr(tenths / 10);
        };
        name += " " + mm(r.w) + " x " + mm(r.h) + " " + Ansi("мм");
      }
      t.push_back({r.id, r.w, r.h, name});
    }
    return t;
  }();
  return table;
}

TrpPrinter::TrpPrinter() {
  Printers.Add("");
  LoadPaperNames();
  ApplySettings();
}

void TrpPrinter::LoadPaperNames() {
  Printers.SetString(VirtualIndex(), rpLocalString(55007));
  if (IsVirtual()) Papers = rpPaperTable();
}

void TrpPrinter::AttachPrinter(TrpPrinterBackend* backend) {
  backend_ = backend;
  Printers.Clear();
  std::vector<AnsiString> names;
  if (backend_) {
    try {
      names = backend_->PrinterNames();
    } catch (const Exception&) {
      names.clear();
    }
  }
  for (const AnsiString& n : names) Printers.Add(n);
  Printers.Add(rpLocalString(55007));
  PrinterIndex = 0;
  if (!names.empty() && backend_) {
    const int d = backend_->DefaultPrinter();
    PrinterIndex = d >= 0 && d < static_cast<int>(names.size()) ? d : 0;
    SetPrinterIndex(PrinterIndex);
  } else {
    ApplySettings();
  }
  InitialPaperSize = PaperSize;
}

bool TrpPrinter::ShowPropertiesDialog() {
  if (!HasPropertiesDialog() || !backend_->ShowPropertiesDialog()) return false;
  ReadSettings();
  return true;
}

void TrpPrinter::SetPrinterIndex(int index) {
  if (index < 0 || index >= Printers.Count()) return;
  PrinterIndex = index;
  if (IsVirtual()) {
    ApplySettings();
    return;
  }
  try {
    backend_->SelectPrinter(index);
    ReadSettings();
  } catch (const Exception&) {
    PrinterIndex = VirtualIndex();
    ApplySettings();
  }
}

void TrpPrinter::ReadSettings() {
  if (IsVirtual() || !backend_) {
    ApplySettings();
    return;
  }
  try {
    backend_->ReadSettings(PaperSize, PaperWidth, PaperHeight, Orientation, Bin);
    Papers = backend_->Papers();
    BinNames = {rpLocalString(55435)};
  } catch (const Exception&) {
    PrinterIndex = VirtualIndex();
    ApplySettings();
  }
}

void TrpPrinter::ApplySettings() {
  ++ApplyCount;
  if (IsVirtual() || !backend_) {
    Papers = rpPaperTable();
    BinNames = {rpLocalString(55435)};
    if (PaperSize != rpCustomPaper) {
      for (const TrpPaper& p : Papers)
        if (p.Id == PaperSize) {
          PaperWidth = Orientation == rpLandscape ? p.Height : p.Width;
          PaperHeight = Orientation == rpLandscape ? p.Width : p.Height;
          return;
        }
      // A paper the table does not know keeps the size it was given; with no size at
      // all the page would have no area, and it gets A4's.
      if (PaperWidth <= 0 || PaperHeight <= 0)
        for (const TrpPaper& p : Papers)
          if (p.Id == 9) {
            PaperWidth = Orientation == rpLandscape ? p.Height : p.Width;
            PaperHeight = Orientation == rpLandscape ? p.Width : p.Height;
          }
    }
    return;
  }
  backend_->ApplySettings(PaperSize, PaperWidth, PaperHeight, Orientation, Bin);
  ReadSettings();
}

bool TrpPrinter::SettingsEqual(int size, int width, int height, int orientation, int bin) const {
  if (size != PaperSize || orientation != Orientation) return false;
  if (size == rpCustomPaper) return std::abs(width - PaperWidth) <= 1 && std::abs(height - PaperHeight) <= 1;
  return rpIsDefaultBin(bin) || bin == Bin;
}

void TrpPrinter::SetPageSettings(int size, int width, int height, int orientation, int bin, bool force) {
  if (Printing()) return;
  if (!force && SettingsEqual(size, width, height, orientation, bin)) return;
  const int old[5] = {PaperSize, PaperWidth, PaperHeight, Orientation, Bin};
  PaperSize = size;
  PaperWidth = width;
  PaperHeight = height;
  Orientation = orientation;
  Bin = rpIsDefaultBin(bin) ? -1 : bin;
  try {
    ApplySettings();
  } catch (...) {
    PaperSize = old[0];
    PaperWidth = old[1];
    PaperHeight = old[2];
    Orientation = old[3];
    Bin = old[4];
    throw;
  }
}

TrpPageInfo TrpPrinter::FillPageInfo() {
  if (IsVirtual() || !backend_) {
    TrpPageInfo g;
    g.PhysWidth = rpTenthsMmToReport(PaperWidth);
    g.PhysHeight = rpTenthsMmToReport(PaperHeight);
    g.OffsetX = g.OffsetY = 18;
    g.PrintWidth = g.PhysWidth - 36;
    g.PrintHeight = g.PhysHeight - 36;
    return g;
  }
  return backend_->DeviceGeometry();
}

int TrpPrinter::IndexOfName(const AnsiString& name) const {
  for (int i = 0; i < Printers.Count(); ++i)
    if (Printers[i] == name) return i;
  return -1;
}

TrpPrinter& rpPrinter() {
  static TrpPrinter printer;
  return printer;
}

std::vector<int> rpPrintOrder(int pageCount, const AnsiString& numbers, int copies, bool collate, int oddEven) {
  std::string text;
  for (const char c : std::string(numbers.c_str()))
    if (c != ' ' && c != '\t') text += c;
  if (!text.empty() && text.back() == '-') text += std::to_string(pageCount);
  // Reads a page number; anything that is not one selects nothing.
  const auto number = [](const std::string& s, long& n) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    n = std::stol(s);
    return true;
  };
  std::vector<char> chosen(static_cast<std::size_t>(std::max(0, pageCount)), text.empty() ? 1 : 0);
  std::size_t start = 0;
  while (!text.empty() && start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    const std::size_t dash = item.find('-');
    long from = 0, to = 0;
    const bool ok = dash == std::string::npos ? number(item, from) && number(item, to)
                                              : number(item.substr(0, dash), from) && number(item.substr(dash + 1), to);
    if (ok)
      for (long p = std::max(1L, from); p <= std::min<long>(to, pageCount); ++p) chosen[p - 1] = 1;
    start = end + 1;
  }
  std::vector<int> selection;
  for (int p = 1; p <= pageCount; ++p)
    if (chosen[p - 1] && (oddEven != 1 || p % 2 == 1) && (oddEven != 2 || p % 2 == 0)) selection.push_back(p - 1);
  std::vector<int> order;
  const int n = std::max(1, copies);
  if (collate)
    for (int c = 0; c < n; ++c) order.insert(order.end(), selection.begin(), selection.end());
  else
    for (const int p : selection) order.insert(order.end(), n, p);
  return order;
}
