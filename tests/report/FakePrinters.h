// System printers for tests (the machines that run them have none): named printers with
// a 600 dpi device whose printable area starts 1/4 inch in; a printer may refuse every
// paper, and all of them may refuse one paper. Attached for the life of the object; the engine is left with the virtual
// printer alone afterwards.
#pragma once

#include <string>
#include <vector>

#include "platform/core/AnsiText.h"
#include "report/RP_Prntr.h"

class FakePrinters : public TrpPrinterBackend {
 public:
  // UTF-8 names; `broken` names the printer that takes no paper; the printers hold the
  // paper `paper` (portrait) when attached.
  explicit FakePrinters(std::vector<std::string> names, std::string broken = "", int paper = 9) {
    for (const auto& n : names) names_.push_back(Ansi(n));
    if (!broken.empty()) broken_ = Ansi(broken);
    ApplySettings(paper, 0, 0, rpPortrait, -1);
    rpPrinter().AttachPrinter(this);
  }
  ~FakePrinters() override {
    rpPrinter().AttachPrinter(nullptr);
    rpPrinter().SetPageSettings(9, 2100, 2970, rpPortrait, -1, true);
    rpPrinter().InitialPaperSize = 9;
  }
  FakePrinters(const FakePrinters&) = delete;
  FakePrinters& operator=(const FakePrinters&) = delete;

  std::vector<AnsiString> PrinterNames() override { return names_; }
  int DefaultPrinter() override { return 0; }
  void SelectPrinter(int index) override { selected_ = index; }
  std::vector<TrpPaper> Papers() override { return rpPaperTable(); }
  void ReadSettings(int& paperSize, int& width, int& height, int& orientation, int& bin) override {
    paperSize = size_;
    width = width_;
    height = height_;
    orientation = orientation_;
    bin = -1;
  }
  void ApplySettings(int paperSize, int width, int height, int orientation, int) override {
    if (selected_ >= 0 && names_[static_cast<std::size_t>(selected_)] == broken_)
      throw ErpPrinterError("paper refused");
    if (paperSize == RefusedPaper) throw ErpPrinterError("paper refused");
    size_ = paperSize;
    orientation_ = orientation;
    width_ = width;
    height_ = height;
    for (const TrpPaper& p : rpPaperTable())
      if (p.Id == paperSize && paperSize != rpCustomPaper) {
        width_ = orientation == rpLandscape ? p.Height : p.Width;
        height_ = orientation == rpLandscape ? p.Width : p.Height;
      }
  }
  TrpPageInfo DeviceGeometry() override {
    const int dpi = 600;
    const int w = width_ * dpi * 10 / 2540, h = height_ * dpi * 10 / 2540;
    return rpDevicePageInfo(w, h, dpi / 4, dpi / 4, w - dpi / 2, h - dpi / 2, dpi);
  }
  bool Printing() override { return false; }
  bool HasPropertiesDialog() override { return PropertiesDialog; }
  bool ShowPropertiesDialog() override {
    ++PropertiesShown;
    return true;
  }
  // Whether the printers have a properties dialog; how often it was shown.
  bool PropertiesDialog = false;
  int PropertiesShown = 0;
  // A paper id that every printer refuses (-1: none).
  int RefusedPaper = -1;

 private:
  std::vector<AnsiString> names_;
  AnsiString broken_;
  int selected_ = -1;
  int size_ = 9, width_ = 2100, height_ = 2970, orientation_ = rpPortrait;
};
