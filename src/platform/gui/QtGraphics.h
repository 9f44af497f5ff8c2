// The canvas and text metrics on Qt: TQtCanvas draws on a QPainter with the system's
// rules (no antialiasing of shapes, exclusive edges, raster operations for the XOR
// pens and the focus rectangle), TQtTextMetrics measures with QFontMetrics. Fonts map
// the system's names to the fonts shipped with Debian.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/core/Canvas.h"

class QPainter;
class QPaintDevice;
class QPen;

// 1251 bytes <-> Qt strings. Characters 1251 lacks travel as the escaped UTF-8 bytes
// of file names (AnsiPath, kRawPathByte): shown as themselves, read back unchanged.
QString ToQString(std::string_view ansi);
AnsiString FromQString(const QString& s);
// The text as 1251 keeps it: a character the code page lacks loses its accent when the
// plain letter is there (ü: u), else it becomes "?".
QString As1251(const QString& text);

QColor ToQColor(TColor c);
TColor FromQColor(const QColor& c);
// The system colours of a palette (the classic values where no role fits).
TSysColorTable SysColorsFromPalette(const QPalette& palette);

// The font family that stands in for a system font name: Arial, Times New Roman and
// Courier New become the Liberation fonts with their metrics, the interface fonts
// (MS Sans Serif, Tahoma, ...) Liberation Sans, metric-compatible
// with the interface font the forms were laid out for (Verdana: DejaVu Sans); other names stay as they are.
QString FontFamilyFor(std::string_view name);
// Negative heights are pixel sizes; positive ones cell heights (ascent + descent).
QFont ToQFont(const TFont& font);

QImage ToQImage(const TBitmap& bitmap);  // ARGB32; transparent pixels get alpha 0
TBitmap FromQImage(const QImage& image);
// A picture with an alpha channel as a transparent bitmap: pixels less than half opaque
// become `transparent`, which is the bitmap's transparent colour.
TBitmap FromQImage(const QImage& image, TColor transparent);

class TQtTextMetrics : public TTextMetrics {
 public:
  int TextWidth(const TFont& font, std::string_view text) const override;
  int TextHeight(const TFont& font) const override;
  int Ascent(const TFont& font) const;
  static const TQtTextMetrics& Instance();
};

// Text measured on a paint device of its own resolution (a printer's), fonts in the
// device's pixels.
class TQtDeviceTextMetrics : public TTextMetrics {
 public:
  explicit TQtDeviceTextMetrics(QPaintDevice* device) : device_(device) {}
  int TextWidth(const TFont& font, std::string_view text) const override;
  int TextHeight(const TFont& font) const override;

 private:
  QPaintDevice* device_;
};

// On a screen or an image a one-pixel pen is set pixel by pixel, as the system's pens
// are (exact dots, XOR modes). With vector pens (always on printers and PDF files, and
// while the canvas is scaled) lines, frames and outlines are strokes of the pen's width
// and style instead. Scale zooms every drawing about the canvas' origin; the clip and
// all coordinates stay in the canvas' own units.
class TQtCanvas : public TCanvas {
 public:
  // Draws with `painter` (which must outlive the canvas) inside `bounds`.
  TQtCanvas(QPainter& painter, const TRect& bounds);
  ~TQtCanvas() override;

  bool VectorPens() const { return vectorPens_ || scaled_; }
  void SetVectorPens(bool v) { vectorPens_ = v; }
  void SetScale(double sx, double sy);
  double ScaleX() const { return sx_; }
  double ScaleY() const { return sy_; }

  void FillRect(const TRect& r) override;
  void FrameRect(const TRect& r) override;
  void Rectangle(const TRect& r) override;
  void Polygon(const std::vector<TPoint>& points) override;
  void LineTo(int x, int y) override;
  void SetPixel(int x, int y, TColor c) override;
  void DrawFocusRect(const TRect& r) override;
  void TextOut(int x, int y, std::string_view text) override;
  void Draw(int x, int y, const TBitmap& bitmap) override;
  void StretchDraw(const TRect& r, const TBitmap& bitmap) override;
  void Ellipse(const TRect& r) override;
  void Polyline(const std::vector<TPoint>& points) override;
  const TTextMetrics& Metrics() const override;

 protected:
  void DrawTextRun(const TTextRun& run, unsigned flags) override;
  void ClipChanged() override;

 private:
  void FillWith(const TRect& r, const TBrush& brush);
  QColor PenPixelColor() const;
  void PenPixel(int x, int y, int index);
  int PenRun(int x, int y, int sx, int sy, int count, int index);
  void DrawString(int x, int y, std::string_view text, int underlineIndex, bool rtl);
  QPen StrokePen() const;
  void SetShapeBrush();

  QPainter& p_;
  bool vectorPens_ = false;
  bool scaled_ = false;
  double sx_ = 1, sy_ = 1;
  std::unique_ptr<TQtDeviceTextMetrics> deviceMetrics_;  // for devices not at 96 dpi
};

// Paints with `paint` into a w x h image through a TQtCanvas, for off-screen drawing
// and tests.
QImage PaintToImage(int w, int h, TColor background, const std::function<void(TCanvas&)>& paint);
