#include "platform/gui/QtGraphics.h"

#include "platform/core/Files.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPaintDevice>
#include <QPen>
#include <QTransform>
#include <QPainter>
#include <QPolygon>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <tuple>

namespace {

QString Utf8Text(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

QString ToQString(std::string_view ansi) {
  if (ansi.find(kRawPathByte) == std::string_view::npos) return Utf8Text(cp::Ansi1251ToUtf8(ansi));
  // A file name keeps what code page 1251 cannot hold as escaped bytes (AnsiPath): they
  // are shown as the system names them, runs of them read as UTF-8. A run that is no
  // UTF-8 stays as it is written, so that FromQString gives it back all the same.
  QString out;
  std::string raw;        // escaped bytes not yet shown
  std::size_t plain = 0;  // start of the text not yet shown
  std::size_t run = 0;    // start of the escapes of `raw`
  const auto flush = [&](std::size_t end) {
    const QString text = Utf8Text(raw);
    out += text.toUtf8() == QByteArray(raw.data(), static_cast<qsizetype>(raw.size()))
               ? text
               : Utf8Text(cp::Ansi1251ToUtf8(ansi.substr(run, end - run)));
    raw.clear();
  };
  for (std::size_t i = 0; i < ansi.size();) {
    const int byte = RawPathByteAt(ansi, i);
    if (byte < 0) {
      if (!raw.empty()) flush(i);
      ++i;
      continue;
    }
    if (raw.empty()) {
      out += Utf8Text(cp::Ansi1251ToUtf8(ansi.substr(plain, i - plain)));
      run = i;
    }
    raw.push_back(static_cast<char>(byte));
    i += 3;
    plain = i;
  }
  if (!raw.empty()) flush(plain);
  out += Utf8Text(cp::Ansi1251ToUtf8(ansi.substr(plain)));
  return out;
}

AnsiString FromQString(const QString& s) {
  // What 1251 lacks is kept as escaped UTF-8 bytes, as in a file name (AnsiPath), so
  // that what ToQString showed comes back as it was. (Fields of texts that go into
  // documents and tables keep to 1251 while they are typed: KeepAs1251.) Unlike a
  // system name's conversion it takes the escape byte itself as text: ToQString shows an
  // escaped run that is no UTF-8 as the text it is written in, which comes back as such.
  AnsiString out;
  for (const char32_t u : s.toUcs4()) {
    const unsigned char c = cp::UnicodeTo1251(u, 0);
    if (c != 0) {
      out += static_cast<char>(c);
      continue;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char byte : QString::fromUcs4(&u, 1).toUtf8()) {
      const auto b = static_cast<unsigned char>(byte);
      out += kRawPathByte;
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

QString As1251(const QString& text) {
  QString out;
  for (const char32_t u : text.toUcs4()) {
    if (cp::UnicodeTo1251(u, 0) != 0) {
      out += QString::fromUcs4(&u, 1);
      continue;
    }
    const QList<uint> parts = QString::fromUcs4(&u, 1).normalized(QString::NormalizationForm_D).toUcs4();
    const char32_t base = parts.isEmpty() ? 0 : parts.front();
    out += base != u && cp::UnicodeTo1251(base, 0) != 0 ? QString::fromUcs4(&base, 1) : QString("?");
  }
  return out;
}

QColor ToQColor(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor FromQColor(const QColor& c) { return RGBColor(c.red(), c.green(), c.blue()); }

TSysColorTable SysColorsFromPalette(const QPalette& pal) {
  TSysColorTable t = ClassicSysColors();
  auto role = [&](QPalette::ColorRole r, QPalette::ColorGroup g = QPalette::Active) {
    return FromQColor(pal.color(g, r));
  };
  t[COLOR_WINDOW] = role(QPalette::Base);
  t[COLOR_WINDOWTEXT] = role(QPalette::Text);
  t[COLOR_HIGHLIGHT] = role(QPalette::Highlight);
  t[COLOR_HIGHLIGHTTEXT] = role(QPalette::HighlightedText);
  t[COLOR_BTNFACE] = role(QPalette::Button);
  t[COLOR_BTNTEXT] = role(QPalette::ButtonText);
  t[COLOR_BTNSHADOW] = role(QPalette::Dark);
  t[COLOR_BTNHIGHLIGHT] = role(QPalette::Light);
  t[COLOR_3DDKSHADOW] = role(QPalette::Shadow);
  t[COLOR_3DLIGHT] = role(QPalette::Midlight);
  t[COLOR_GRAYTEXT] = role(QPalette::Text, QPalette::Disabled);
  t[COLOR_INFOBK] = role(QPalette::ToolTipBase);
  t[COLOR_INFOTEXT] = role(QPalette::ToolTipText);
  t[COLOR_MENU] = role(QPalette::Window);
  t[COLOR_MENUTEXT] = role(QPalette::WindowText);
  t[COLOR_APPWORKSPACE] = role(QPalette::Mid);
  t[COLOR_SCROLLBAR] = role(QPalette::Button);
  t[COLOR_ACTIVEBORDER] = t[COLOR_INACTIVEBORDER] = role(QPalette::Window);
  return t;
}

QString FontFamilyFor(std::string_view name) {
  static const std::map<AnsiString, QString> families = {
      {"ARIAL", "Liberation Sans"},
      {"ARIAL NARROW", "Liberation Sans Narrow"},
      {"HELVETICA", "Liberation Sans"},
      {"TIMES NEW ROMAN", "Liberation Serif"},
      {"TIMES", "Liberation Serif"},
      {"COURIER NEW", "Liberation Mono"},
      {"COURIER", "Liberation Mono"},
      {"MS SANS SERIF", "Liberation Sans"},
      {"MICROSOFT SANS SERIF", "Liberation Sans"},
      {"MS SHELL DLG", "Liberation Sans"},
      {"MS SHELL DLG 2", "Liberation Sans"},
      {"TAHOMA", "Liberation Sans"},
      {"VERDANA", "DejaVu Sans"},
      {"SYSTEM", "Liberation Sans"},
      {"", "Liberation Sans"},
  };
  const auto it = families.find(UpperCase(Trim(name)));
  return it != families.end() ? it->second : ToQString(name);
}

QFont ToQFont(const TFont& font) {
  QFont f(FontFamilyFor(font.Name));
  f.setBold(font.Style & fsBold);
  f.setItalic(font.Style & fsItalic);
  f.setUnderline(font.Style & fsUnderline);
  f.setStrikeOut(font.Style & fsStrikeOut);
  if (font.Height < 0) {
    f.setPixelSize(-font.Height);
  } else if (font.Height > 0) {
    QFont probe = f;
    probe.setPixelSize(100);
    const int cell = QFontMetrics(probe).height();
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(font.Height * 100.0 / std::max(cell, 1)))));
  } else {
    f.setPixelSize(11);
  }
  return f;
}

QImage ToQImage(const TBitmap& bmp) {
  QImage img(bmp.Width(), bmp.Height(), QImage::Format_ARGB32);
  const TColor transparent = bmp.EffectiveTransparentColor();
  for (int y = 0; y < bmp.Height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < bmp.Width(); ++x) {
      const TColor p = bmp.Pixel(x, y);
      line[x] = (bmp.Transparent && p == transparent) ? qRgba(0, 0, 0, 0)
                                                      : qRgb(GetRValue(p), GetGValue(p), GetBValue(p));
    }
  }
  return img;
}

TBitmap FromQImage(const QImage& image) {
  const QImage img = image.convertToFormat(QImage::Format_RGB32);
  TBitmap bmp(img.width(), img.height());
  for (int y = 0; y < img.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x) bmp.SetPixel(x, y, RGBColor(qRed(line[x]), qGreen(line[x]), qBlue(line[x])));
  }
  return bmp;
}

TBitmap FromQImage(const QImage& image, TColor transparent) {
  const QImage img = image.convertToFormat(QImage::Format_ARGB32);
  TBitmap bmp = FromQImage(img);
  for (int y = 0; y < img.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x)
      if (qAlpha(line[x]) < 128) bmp.SetPixel(x, y, transparent);
  }
  bmp.Transparent = true;
  bmp.TransparentColor = transparent;
  return bmp;
}

// ---------------------------------------------------------------------------------

namespace {

// A font's metrics and the widths of the texts measured with it. Reports and trees measure
// the same texts (names, numbers, captions) over and over, and shaping a text is the dear
// part of measuring it; the widths are forgotten when too many pile up.
struct TFontMeasures {
  explicit TFontMeasures(const QFont& font) : Metrics(font) {}
  QFontMetrics Metrics;
  std::unordered_map<std::string, int> Widths;
};

TFontMeasures& MeasuresFor(const TFont& font) {
  using Key = std::tuple<AnsiString, int, int>;
  // Never destroyed: font metrics must not outlive the application's font database
  // in static destruction.
  static auto* cache = new std::map<Key, TFontMeasures>;
  const Key key{font.Name, font.Height, font.Style};
  auto it = cache->find(key);
  if (it == cache->end()) it = cache->emplace(key, ToQFont(font)).first;
  return it->second;
}

const QFontMetrics& MetricsFor(const TFont& font) { return MeasuresFor(font).Metrics; }

constexpr std::size_t kMaxCachedWidths = 50000;

}  // namespace

int TQtTextMetrics::TextWidth(const TFont& font, std::string_view text) const {
  TFontMeasures& m = MeasuresFor(font);
  const std::string key(text);
  if (auto it = m.Widths.find(key); it != m.Widths.end()) return it->second;
  if (m.Widths.size() >= kMaxCachedWidths) m.Widths.clear();
  const int w = m.Metrics.horizontalAdvance(ToQString(text));
  m.Widths.emplace(key, w);
  return w;
}

int TQtTextMetrics::TextHeight(const TFont& font) const { return MetricsFor(font).height(); }
int TQtTextMetrics::Ascent(const TFont& font) const { return MetricsFor(font).ascent(); }

const TQtTextMetrics& TQtTextMetrics::Instance() {
  static const TQtTextMetrics metrics;
  return metrics;
}

// ---------------------------------------------------------------------------------

namespace {

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

// Pixels of the pen patterns along a line, counted from its start.
bool PenOn(TPenStyle style, int i) {
  switch (style) {
    case TPenStyle::psSolid: return true;
    case TPenStyle::psDot: return i % 2 == 0;
    case TPenStyle::psDash: return i % 8 < 6;
    case TPenStyle::psDashDot: return i % 12 < 6 || (i % 12 >= 8 && i % 12 < 10);
    case TPenStyle::psDashDotDot: return i % 14 < 6 || i % 14 == 8 || i % 14 == 11;
    case TPenStyle::psClear: return false;
  }
  return true;
}

QImage PatternImage(const TBrush& b) {
  QImage img(8, 8, QImage::Format_RGB32);
  const QRgb fore = ToQColor(b.Color).rgb(), back = ToQColor(b.PatternBack).rgb();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) img.setPixel(x, y, (b.Pattern[y] & (0x80 >> x)) ? fore : back);
  return img;
}

}  // namespace

TQtCanvas::TQtCanvas(QPainter& painter, const TRect& bounds) : TCanvas(bounds), p_(painter) {
  p_.save();
  p_.setRenderHint(QPainter::Antialiasing, false);
  p_.setClipRect(ToQRect(bounds));
  if (QPaintDevice* device = p_.device()) {
    PixelsPerInch = device->logicalDpiY();
    // Printers and PDF files get strokes, not thousands of one-pixel squares.
    const int type = device->devType();
    vectorPens_ = type == QInternal::Printer || type == QInternal::Picture ||
                  dynamic_cast<QPagedPaintDevice*>(device) != nullptr;
    if (PixelsPerInch != kPixelsPerInch) deviceMetrics_ = std::make_unique<TQtDeviceTextMetrics>(device);
    if (vectorPens_) PenPatternUnit = std::max(1, PixelsPerInch / kPixelsPerInch);
  }
}

const TTextMetrics& TQtCanvas::Metrics() const {
  if (deviceMetrics_) return *deviceMetrics_;
  return TQtTextMetrics::Instance();
}

int TQtDeviceTextMetrics::TextWidth(const TFont& font, std::string_view text) const {
  return QFontMetrics(ToQFont(font), device_).horizontalAdvance(ToQString(text));
}

int TQtDeviceTextMetrics::TextHeight(const TFont& font) const {
  return QFontMetrics(ToQFont(font), device_).height();
}

void TQtCanvas::SetScale(double sx, double sy) {
  sx_ = sx > 0 ? sx : 1;
  sy_ = sy > 0 ? sy : 1;
  scaled_ = sx_ != 1 || sy_ != 1;
  QTransform t = p_.transform();
  t.setMatrix(sx_, 0, 0, 0, sy_, 0, t.dx(), t.dy(), 1);
  p_.setTransform(t);
  ClipChanged();
}

QPen TQtCanvas::StrokePen() const {
  if (Pen.Style == TPenStyle::psClear) return QPen(Qt::NoPen);
  QPen pen(ToQColor(Pen.Color));
  // A pen that the zoom would make thinner than a pixel stays one device pixel wide.
  const double scale = std::min(sx_, sy_);
  if (Pen.Width <= 1 && scale < 1) pen.setWidth(0);
  else pen.setWidthF(std::max(Pen.Width, 1));
  // The same dashes as the pixel pens (PenOn), PenPatternUnit device pixels per
  // pattern pixel; Qt counts dashes in pen widths.
  QVector<qreal> pattern;
  switch (Pen.Style) {
    case TPenStyle::psDot: pattern = {1, 1}; break;
    case TPenStyle::psDash: pattern = {6, 2}; break;
    case TPenStyle::psDashDot: pattern = {6, 2, 2, 2}; break;
    case TPenStyle::psDashDotDot: pattern = {6, 2, 1, 2, 1, 2}; break;
    default: break;
  }
  if (!pattern.isEmpty()) {
    const double width = pen.widthF() > 0 ? pen.widthF() : 1.0;
    for (qreal& d : pattern) d *= std::max(PenPatternUnit, 1) / width;
    pen.setDashPattern(pattern);
  } else {
    pen.setStyle(Qt::SolidLine);
  }
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  return pen;
}

void TQtCanvas::SetShapeBrush() {
  if (Brush.Style == TBrushStyle::bsClear) p_.setBrush(Qt::NoBrush);
  else p_.setBrush(ToQColor(Brush.Color));
}

void TQtCanvas::StretchDraw(const TRect& r, const TBitmap& bitmap) {
  if (bitmap.Empty() || r.IsEmpty()) return;
  p_.drawImage(ToQRect(r), ToQImage(bitmap));
}

void TQtCanvas::Ellipse(const TRect& r) {
  if (r.IsEmpty()) return;
  p_.save();
  p_.setPen(StrokePen());
  SetShapeBrush();
  // The outline runs along the rectangle's last pixels, as the system's ellipse does.
  p_.drawEllipse(QRectF(r.Left + 0.5, r.Top + 0.5, r.Width() - 1, r.Height() - 1));
  p_.restore();
}

void TQtCanvas::Polyline(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  if (!VectorPens()) {
    TCanvas::Polyline(points);
    return;
  }
  PenPos = points.back();
  if (Pen.Style == TPenStyle::psClear) return;
  QPolygonF poly;
  for (const TPoint& pt : points) poly << QPointF(pt.X + 0.5, pt.Y + 0.5);
  p_.save();
  p_.setPen(StrokePen());
  p_.drawPolyline(poly);
  p_.restore();
}

TQtCanvas::~TQtCanvas() { p_.restore(); }

void TQtCanvas::ClipChanged() { p_.setClipRect(ToQRect(ClipRect())); }

void TQtCanvas::FillWith(const TRect& r, const TBrush& b) {
  if (r.IsEmpty() || b.Style == TBrushStyle::bsClear) return;
  const QColor color = ToQColor(b.Color);
  switch (b.Style) {
    case TBrushStyle::bsSolid: p_.fillRect(ToQRect(r), color); return;
    case TBrushStyle::bsPattern: {
      QBrush brush(PatternImage(b));
      p_.setBrushOrigin(0, 0);
      p_.fillRect(ToQRect(r), brush);
      return;
    }
    case TBrushStyle::bsHorizontal: p_.fillRect(ToQRect(r), QBrush(color, Qt::HorPattern)); return;
    case TBrushStyle::bsVertical: p_.fillRect(ToQRect(r), QBrush(color, Qt::VerPattern)); return;
    case TBrushStyle::bsFDiagonal: p_.fillRect(ToQRect(r), QBrush(color, Qt::FDiagPattern)); return;
    case TBrushStyle::bsBDiagonal: p_.fillRect(ToQRect(r), QBrush(color, Qt::BDiagPattern)); return;
    case TBrushStyle::bsCross: p_.fillRect(ToQRect(r), QBrush(color, Qt::CrossPattern)); return;
    case TBrushStyle::bsDiagCross: p_.fillRect(ToQRect(r), QBrush(color, Qt::DiagCrossPattern)); return;
    case TBrushStyle::bsClear: return;
  }
}

void TQtCanvas::FillRect(const TRect& r) { FillWith(r, Brush); }

void TQtCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty()) return;
  TBrush b = Brush;
  if (b.Style == TBrushStyle::bsClear) return;
  FillWith(Rect(r.Left, r.Top, r.Right, r.Top + 1), b);
  FillWith(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), b);
  FillWith(Rect(r.Left, r.Top, r.Left + 1, r.Bottom), b);
  FillWith(Rect(r.Right - 1, r.Top, r.Right, r.Bottom), b);
}

// The colour the pen sets its pixels to under its raster operation. The XOR-like modes go
// through NotSourceXorDestination (RasterOpScope), which keeps the alpha channel opaque.
QColor TQtCanvas::PenPixelColor() const {
  const TColor c = ColorToRGB(Pen.Color);
  switch (Pen.Mode) {
    case TPenMode::pmCopy:
    case TPenMode::pmNotXor: return ToQColor(c);
    case TPenMode::pmXor: return QColor(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c));
    case TPenMode::pmNot: return QColor(0, 0, 0);
  }
  return ToQColor(c);
}

// One pixel of the pen, the index-th of its line in the pen's pattern.
void TQtCanvas::PenPixel(int x, int y, int index) {
  if (PenOn(Pen.Style, index)) p_.fillRect(QRect(x, y, 1, 1), PenPixelColor());
}

// `count` pixels of the pen from (x, y) in steps of (sx, sy) along one axis, the pen's
// pattern counted on from `index`: the same pixels as PenPixel one by one, each lit stretch
// filled at once. Returns the index after the run.
int TQtCanvas::PenRun(int x, int y, int sx, int sy, int count, int index) {
  const QColor color = PenPixelColor();
  for (int i = 0; i < count;) {
    if (!PenOn(Pen.Style, index + i)) {
      ++i;
      continue;
    }
    int j = i + 1;
    while (j < count && PenOn(Pen.Style, index + j)) ++j;
    const QPoint a(x + sx * i, y + sy * i), b(x + sx * (j - 1), y + sy * (j - 1));
    p_.fillRect(QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                      QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y()))),
                color);
    i = j;
  }
  return index + count;
}

namespace {

class RasterOpScope {
 public:
  RasterOpScope(QPainter& p, TPenMode mode) : p_(p), old_(p.compositionMode()) {
    if (mode != TPenMode::pmCopy) p_.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
  }
  ~RasterOpScope() { p_.setCompositionMode(old_); }

 private:
  QPainter& p_;
  QPainter::CompositionMode old_;
};

}  // namespace

void TQtCanvas::LineTo(int x, int y) {
  const TPoint from = PenPos;
  PenPos = {x, y};
  if (Pen.Style == TPenStyle::psClear) return;
  if (VectorPens()) {
    p_.save();
    p_.setPen(StrokePen());
    // The stroke runs through the pixel centres across the line and starts at the
    // first pixel's edge along it, so that its dashes fall on the pixel pens' pixels.
    const double ox = from.Y == y ? 0 : 0.5, oy = from.X == x ? 0 : 0.5;
    p_.drawLine(QPointF(from.X + ox, from.Y + oy), QPointF(x + ox, y + oy));
    p_.restore();
    return;
  }
  if (Pen.Width > 1) {
    QPen pen(ToQColor(Pen.Color));
    pen.setWidth(Pen.Width);
    p_.setPen(pen);
    p_.drawLine(from.X, from.Y, x, y);
    return;
  }
  RasterOpScope op(p_, Pen.Mode);
  if (from.Y == y) {
    PenRun(from.X, y, x < from.X ? -1 : 1, 0, std::abs(x - from.X), 0);
    return;
  }
  if (from.X == x) {
    PenRun(x, from.Y, 0, y < from.Y ? -1 : 1, std::abs(y - from.Y), 0);
    return;
  }
  // Bresenham from `from` up to, not including, (x, y).
  int cx = from.X, cy = from.Y;
  const int dx = std::abs(x - cx), dy = -std::abs(y - cy);
  const int sx = cx < x ? 1 : -1, sy = cy < y ? 1 : -1;
  int err = dx + dy, i = 0;
  while (cx != x || cy != y) {
    PenPixel(cx, cy, i++);
    const int e2 = 2 * err;
    if (e2 >= dy) { err += dy; cx += sx; }
    if (e2 <= dx) { err += dx; cy += sy; }
  }
}

void TQtCanvas::Rectangle(const TRect& r) {
  if (r.IsEmpty()) return;
  FillWith(InflateRect(r, -1, -1), Brush);
  if (Pen.Style == TPenStyle::psClear) return;
  if (VectorPens()) {
    const double w = std::max(Pen.Width, 1), half = w / 2;
    p_.save();
    p_.setPen(StrokePen());
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(QRectF(r.Left + half, r.Top + half, r.Width() - w, r.Height() - w));
    p_.restore();
    return;
  }
  RasterOpScope op(p_, Pen.Mode);
  for (int ring = 0; ring < std::max(Pen.Width, 1); ++ring) {
    const TRect q = InflateRect(r, -ring, -ring);
    if (q.IsEmpty()) break;
    // Clockwise from the top-left corner, each side up to the next corner.
    const int w = q.Width() - 1, h = q.Height() - 1;
    int i = PenRun(q.Left, q.Top, 1, 0, w, 0);
    i = PenRun(q.Right - 1, q.Top, 0, 1, h, i);
    i = PenRun(q.Right - 1, q.Bottom - 1, -1, 0, w, i);
    i = PenRun(q.Left, q.Bottom - 1, 0, -1, h, i);
    if (q.Width() == 1 || q.Height() == 1) PenPixel(q.Right - 1, q.Bottom - 1, i);
  }
}

void TQtCanvas::Polygon(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  QPolygon poly;
  for (const TPoint& pt : points) poly << QPoint(pt.X, pt.Y);
  p_.setPen(Pen.Style == TPenStyle::psClear ? QPen(Qt::NoPen) : QPen(ToQColor(Pen.Color), 0));
  if (Brush.Style == TBrushStyle::bsClear) p_.setBrush(Qt::NoBrush);
  else p_.setBrush(ToQColor(Brush.Color));
  p_.drawPolygon(poly);
}

void TQtCanvas::SetPixel(int x, int y, TColor c) { p_.fillRect(QRect(x, y, 1, 1), ToQColor(c)); }

void TQtCanvas::DrawFocusRect(const TRect& r) {
  if (r.IsEmpty()) return;
  const QPainter::CompositionMode old = p_.compositionMode();
  p_.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
  auto dot = [&](int x, int y) {
    if ((x + y) % 2 == 0) p_.fillRect(QRect(x, y, 1, 1), QColor(0, 0, 0));
  };
  for (int x = r.Left; x < r.Right; ++x) {
    dot(x, r.Top);
    if (r.Bottom - 1 > r.Top) dot(x, r.Bottom - 1);
  }
  for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
    dot(r.Left, y);
    if (r.Right - 1 > r.Left) dot(r.Right - 1, y);
  }
  p_.setCompositionMode(old);
}

void TQtCanvas::DrawString(int x, int y, std::string_view text, int underlineIndex, bool rtl) {
  QFont font = ToQFont(Font);
  const bool spaced = TextCharacterExtra != 0 || (JustifyBreaks > 0 && JustifyExtra > 0);
  if (TextCharacterExtra) font.setLetterSpacing(QFont::AbsoluteSpacing, TextCharacterExtra);
  const QString s = ToQString(text);
  // Justification spreads the extra pixels over the blanks of this text.
  if (JustifyBreaks > 0 && JustifyExtra > 0)
    font.setWordSpacing(static_cast<double>(JustifyExtra) / JustifyBreaks);
  // Spacing changes widths, not heights: plain text is measured through the shared cache.
  const QFontMetrics& plain = MetricsFor(Font);
  std::optional<QFontMetrics> spacedMetrics;
  if (spaced) spacedMetrics.emplace(font);
  const QFontMetrics& fm = spaced ? *spacedMetrics : plain;
  auto width = [&] { return spaced ? fm.horizontalAdvance(s) : TQtTextMetrics::Instance().TextWidth(Font, text); };
  p_.setFont(font);
  p_.setPen(ToQColor(Font.Color));
  if (Font.Orientation == 900) {
    // Turned text runs upwards from (x, y), its cell to the right of x.
    p_.save();
    p_.translate(x, y);
    p_.rotate(-90);
    if (Brush.Style != TBrushStyle::bsClear) p_.fillRect(QRect(0, 0, width(), fm.height()), ToQColor(Brush.Color));
    p_.drawText(QPoint(0, fm.ascent()), s);
    p_.restore();
    return;
  }
  if (Brush.Style != TBrushStyle::bsClear) p_.fillRect(QRect(x, y, width(), fm.height()), ToQColor(Brush.Color));
  if (rtl) p_.drawText(QRect(x, y, width() + 1, fm.height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextForceRightToLeft, s);
  else p_.drawText(QPoint(x, y + fm.ascent()), s);
  if (underlineIndex >= 0 && underlineIndex < s.size()) {
    const int ux = x + fm.horizontalAdvance(s.left(underlineIndex));
    const int uw = fm.horizontalAdvance(s.mid(underlineIndex, 1));
    p_.fillRect(QRect(ux, y + fm.ascent() + 1, uw, 1), ToQColor(Font.Color));
  }
}

void TQtCanvas::TextOut(int x, int y, std::string_view text) {
  DrawString(x, y, text, -1, false);
  PenPos = {x + TextWidth(text) + TextCharacterExtra * static_cast<int>(text.size()), y};
}

void TQtCanvas::DrawTextRun(const TTextRun& run, unsigned flags) {
  DrawString(run.X, run.Y, run.Text, run.UnderlineIndex, (flags & DT_RTLREADING) != 0);
}

void TQtCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  p_.drawImage(QPoint(x, y), ToQImage(bitmap));
}

QImage PaintToImage(int w, int h, TColor background, const std::function<void(TCanvas&)>& paint) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(ToQColor(background));
  QPainter painter(&img);
  TQtCanvas canvas(painter, Rect(0, 0, w, h));
  paint(canvas);
  return img;
}
