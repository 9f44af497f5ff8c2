#include "platform/core/Canvas.h"

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

void TCanvas::StretchDraw(const TRect& r, const TBitmap& bitmap) {
  if (bitmap.Empty() || r.IsEmpty()) return;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      SetPixel(x, y, bitmap.Pixel((x - r.Left) * bitmap.Width() / r.Width(), (y - r.Top) * bitmap.Height() / r.Height()));
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

void TRecordingCanvas::StretchDraw(const TRect& r, const TBitmap& bitmap) {
  Record(TOpKind::Bitmap, r).Bitmap = bitmap;
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
