#include "platform/core/Canvas.h"

#include <cmath>

void TCanvas::IntersectClipRect(const TRect& r) {
  clip_ = IntersectRect(clip_, r);
  ClipChanged();
}

void TCanvas::SaveState() { saved_.push_back({clip_, Font, Pen, Brush}); }

void TCanvas::RestoreState() {
  if (saved_.empty()) return;
  const Saved& s = saved_.back();
  Font = s.font;
  Pen = s.pen;
  Brush = s.brush;
  const bool clipChanged = !(clip_ == s.clip);
  clip_ = s.clip;
  saved_.pop_back();
  if (clipChanged) ClipChanged();
}

int TCanvas::DrawText(std::string_view text, TRect& r, unsigned flags) {
  const TTextLayout layout = LayoutText(Metrics(), Font, text, r, flags);
  if (flags & DT_CALCRECT) {
    r = layout.Bounds;
    return layout.Height;
  }
  TCanvasState state(*this);
  if (!(flags & DT_NOCLIP)) IntersectClipRect(r);
  for (const TTextRun& run : layout.Runs) DrawTextRun(run, flags);
  return layout.Height;
}

void TCanvas::TextRect(const TRect& r, int x, int y, std::string_view text) {
  TCanvasState state(*this);
  IntersectClipRect(r);
  if (Brush.Style != TBrushStyle::bsClear) FillRect(r);
  const TBrushStyle style = Brush.Style;
  Brush.Style = TBrushStyle::bsClear;
  TextOut(x, y, text);
  Brush.Style = style;
}

// ---------------------------------------------------------------------------------

TRecordingCanvas::TRecordingCanvas(TRect bounds, const TTextMetrics* metrics)
    : TCanvas(bounds), metrics_(metrics ? metrics : &ownMetrics_) {}

TRecordingCanvas::TOp& TRecordingCanvas::Record(TOpKind kind, const TRect& r) {
  TOp op{kind, r, {}, {}, clNone, {}, 0, Font, Pen, Brush, ClipRect()};
  ops_.push_back(std::move(op));
  return ops_.back();
}

void TRecordingCanvas::FillRect(const TRect& r) { Record(TOpKind::FillRect, r); }
void TRecordingCanvas::FrameRect(const TRect& r) { Record(TOpKind::FrameRect, r); }
void TRecordingCanvas::Rectangle(const TRect& r) { Record(TOpKind::Rectangle, r); }

void TRecordingCanvas::Polygon(const std::vector<TPoint>& points) {
  Record(TOpKind::Polygon, {}).Points = points;
}

void TRecordingCanvas::LineTo(int x, int y) {
  Record(TOpKind::Line, Rect(PenPos.X, PenPos.Y, x, y));
  PenPos = {x, y};
}

void TRecordingCanvas::SetPixel(int x, int y, TColor c) { Record(TOpKind::Pixel, Rect(x, y, x + 1, y + 1)).Color = c; }
void TRecordingCanvas::DrawFocusRect(const TRect& r) { Record(TOpKind::FocusRect, r); }

void TRecordingCanvas::TextOut(int x, int y, std::string_view text) {
  const int w = Metrics().TextWidth(Font, text) + TextCharacterExtra * static_cast<int>(text.size()) +
                (JustifyBreaks > 0 ? JustifyExtra : 0);
  TOp& op = Record(TOpKind::Text, Bounds(x, y, w, Metrics().TextHeight(Font)));
  op.Text = AnsiString(text);
  op.CharExtra = TextCharacterExtra;
  op.JustifyExtra = JustifyExtra;
  op.JustifyBreaks = JustifyBreaks;
  PenPos = {x + w, y};
}

void TRecordingCanvas::DrawTextRun(const TTextRun& run, unsigned flags) {
  TOp& op = Record(TOpKind::Text, Bounds(run.X, run.Y, run.Width, Metrics().TextHeight(Font)));
  op.Text = run.Text;
  op.Flags = flags;
}

void TRecordingCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  Record(TOpKind::Bitmap, Bounds(x, y, bitmap.Width(), bitmap.Height())).Bitmap = bitmap;
}

std::vector<const TRecordingCanvas::TOp*> TRecordingCanvas::OpsOf(TOpKind kind) const {
  std::vector<const TOp*> out;
  for (const TOp& op : ops_)
    if (op.Kind == kind) out.push_back(&op);
  return out;
}

std::vector<AnsiString> TRecordingCanvas::Texts() const {
  std::vector<AnsiString> out;
  for (const TOp* op : OpsOf(TOpKind::Text)) out.push_back(op->Text);
  return out;
}

// ---------------------------------------------------------------------------------
// Shapes every canvas has, drawn with the primitives when a canvas has no better way.

int TCanvas::FontHeightForPoints(int points) const {
  return -static_cast<int>((static_cast<long long>(points) * PixelsPerInch + 36) / 72);
}

void TCanvas::StretchDraw(const TRect& r, const TBitmap& bitmap) {
  if (bitmap.Empty() || r.IsEmpty()) return;
  // Nearest pixel: each target pixel takes the source pixel under its centre.
  TBitmap scaled(r.Width(), r.Height());
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x)
      scaled.SetPixel(x, y, bitmap.Pixel(static_cast<int>((2LL * x + 1) * bitmap.Width() / (2LL * r.Width())),
                                         static_cast<int>((2LL * y + 1) * bitmap.Height() / (2LL * r.Height()))));
  scaled.Transparent = bitmap.Transparent;
  scaled.TransparentColor = bitmap.EffectiveTransparentColor();
  Draw(r.Left, r.Top, scaled);
}

void TCanvas::Ellipse(const TRect& r) {
  if (r.IsEmpty()) return;
  // A polygon of one point per degree of the inscribed ellipse.
  std::vector<TPoint> points;
  const double cx = (r.Left + r.Right - 1) / 2.0, cy = (r.Top + r.Bottom - 1) / 2.0;
  const double rx = (r.Width() - 1) / 2.0, ry = (r.Height() - 1) / 2.0;
  for (int a = 0; a < 360; ++a) {
    const double t = a * 3.14159265358979323846 / 180.0;
    points.push_back({static_cast<int>(std::lround(cx + rx * std::cos(t))),
                      static_cast<int>(std::lround(cy + ry * std::sin(t)))});
  }
  Polygon(points);
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  MoveTo(points.front().X, points.front().Y);
  for (std::size_t i = 1; i < points.size(); ++i) LineTo(points[i].X, points[i].Y);
}

void TRecordingCanvas::StretchDraw(const TRect& r, const TBitmap& bitmap) {
  Record(TOpKind::StretchBitmap, r).Bitmap = bitmap;
}

void TRecordingCanvas::Ellipse(const TRect& r) { Record(TOpKind::Ellipse, r); }

void TRecordingCanvas::Polyline(const std::vector<TPoint>& points) {
  Record(TOpKind::Polyline, {}).Points = points;
  if (!points.empty()) PenPos = points.back();
}
