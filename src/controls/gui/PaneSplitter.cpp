#include "controls/gui/PaneSplitter.h"

#include <QCursor>
#include <algorithm>
#include <utility>

#include "platform/core/DrawUtils.h"

TPaneSplitter::TPaneSplitter(QWidget* parent, TAlign align) : TSplitter(parent, align) {
  if (align == TAlign::alTop || align == TAlign::alBottom) resize(width(), 10);
  else resize(10, height());
  model_.Sender = this;
  model_.HasNeighbour = [this] { return FindControl() != nullptr; };
  model_.NeighbourSize = [this] { return NeighbourSize(); };
  model_.SetNeighbourSize = [this](int size) { SetNeighbourSize(size); };
  model_.OnMaximize = [this](TObject*) {
    if (OnMaximize) OnMaximize(this);
  };
  model_.OnMinimize = [this](TObject*) {
    if (OnMinimize) OnMinimize(this);
  };
  model_.OnRestore = [this](TObject*) {
    if (OnRestore) OnRestore(this);
  };
  model_.OnClose = [this](TObject*) {
    if (OnClose) OnClose(this);
  };
}

TSplitterSide TPaneSplitter::Side() const {
  switch (Align()) {
    case TAlign::alTop: return TSplitterSide::ssTop;
    case TAlign::alBottom: return TSplitterSide::ssBottom;
    case TAlign::alLeft: return TSplitterSide::ssLeft;
    case TAlign::alRight: return TSplitterSide::ssRight;
    default: return TSplitterSide::ssNone;
  }
}

void TPaneSplitter::SetAutoHighlightColor(bool v) {
  autoHighlight_ = v;
  highlight_ = v ? ::AutoHighlightColor(clActiveCaption, clBtnFace) : RGBColor(207, 207, 255);
  Invalidate();
}

void TPaneSplitter::SetButtonStyle(TSplitterButtonStyle style) {
  geometry_.Style = style;
  Invalidate();
}

void TPaneSplitter::SetWindowsButtons(std::vector<TWindowsButton> buttons) {
  geometry_.WindowsButtons = std::move(buttons);
  Invalidate();
}

void TPaneSplitter::SetButtonWidthType(TButtonWidthType type) {
  geometry_.WidthType = type;
  SetButtonWidth(geometry_.ButtonWidth);
}

void TPaneSplitter::SetButtonWidth(int width) {
  width = std::max(width, 0);
  if (geometry_.WidthType == TButtonWidthType::btwPercentage) width = std::min(width, 100);
  geometry_.ButtonWidth = width;
  Invalidate();
}

void TPaneSplitter::SyncModel() {
  model_.Side = Side();
  model_.MinSize = MinSize;
  model_.ButtonStyle = geometry_.Style;
}

void TPaneSplitter::SetMaximized(bool v) {
  SyncModel();
  model_.SetMaximized(v);
  Invalidate();
}

void TPaneSplitter::SetMinimized(bool v) {
  SyncModel();
  model_.SetMinimized(v);
  Invalidate();
}

TRect TPaneSplitter::ButtonRect() const {
  if (!ShowButton) return {};
  if (geometry_.Style == TSplitterButtonStyle::bsNetscape) return NetscapeButtonRect(ClientRect(), Side(), ButtonGeometry());
  TRect all;
  for (const auto& [kind, r] : WindowsButtonRects(ClientRect(), Side(), ButtonGeometry()))
    all = all.IsEmpty() ? r : UnionRect(all, r);
  return all;
}

void TPaneSplitter::UpdateCursor(int x, int y) {
  const TRect b = ButtonRect();
  // Over the button's extent along the bar, or anywhere when the bar cannot be dragged.
  const bool along = SplitterIsHorizontal(Side()) ? x >= b.Left && x < b.Right : y >= b.Top && y < b.Bottom;
  const bool overButton = !b.IsEmpty() && along;
  SetCursor(overButton || !AllowDrag ? ButtonCursor : (SplitterIsHorizontal(Side()) ? crVSplit : crHSplit));
  const bool hot = geometry_.Style == TSplitterButtonStyle::bsNetscape && b.Contains({x, y});
  if (hot != hot_) {
    hot_ = hot;
    Invalidate();
  }
}

void TPaneSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  pressedOnButton_ = Enabled() && Button == TMouseButton::mbLeft && ButtonRect().Contains({X, Y});
  if (pressedOnButton_) {
    pressPoint_ = {X, Y};
    sizeAtPress_ = NeighbourSize();
  }
  if (AllowDrag) TSplitter::MouseDown(Button, Shift, X, Y);
  else TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TPaneSplitter::MouseMove(TShiftState Shift, int X, int Y) {
  UpdateCursor(X, Y);
  TSplitter::MouseMove(Shift, X, Y);
}

void TPaneSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  SyncModel();
  if (pressedOnButton_ && Button == TMouseButton::mbLeft && IsButtonClick(pressPoint_, {X, Y}, ButtonRect(), Side())) {
    pressedOnButton_ = false;
    if (Sizing()) {
      // A click, not a drag: the few pixels the bar followed are undone.
      StopSizing();
      if (sizeAtPress_ >= 0) SetNeighbourSize(sizeAtPress_);
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (geometry_.Style == TSplitterButtonStyle::bsNetscape) {
      model_.ButtonClicked();
    } else {
      for (const auto& [kind, r] : WindowsButtonRects(ClientRect(), Side(), ButtonGeometry()))
        if (r.Contains({X, Y})) model_.WindowsButtonClicked(kind);
    }
    Invalidate();
    return;
  }
  // Only the release that ends the drag counts: another button let go meanwhile
  // leaves the drag running.
  if (Button == TMouseButton::mbLeft) pressedOnButton_ = false;
  const bool wasSizing = Sizing();
  TSplitter::MouseUp(Button, Shift, X, Y);
  if (wasSizing && !Sizing()) model_.DragEnded();
  Invalidate();
}

void TPaneSplitter::MouseEnter() {
  TSplitter::MouseEnter();
  // The pointer may come to rest on the bar without moving (the bar moved under it).
  const QPoint at = mapFromGlobal(QCursor::pos());
  UpdateCursor(at.x(), at.y());
}

void TPaneSplitter::MouseLeave() {
  hot_ = false;
  pressedOnButton_ = false;
  Invalidate();
  TSplitter::MouseLeave();
}

void TPaneSplitter::Resize() {
  TSplitter::Resize();
  SyncModel();
  model_.BoundsChanged();
}

// A bar moved without a change of size (a neighbour may stand by it now).
void TPaneSplitter::moveEvent(QMoveEvent* e) {
  TSplitter::moveEvent(e);
  SyncModel();
  model_.BoundsChanged();
}

void TPaneSplitter::Paint(TCanvas& canvas) {
  // The bar as the plain splitter draws it (with its bevel), then the button.
  TSplitter::Paint(canvas);
  const TRect b = ButtonRect();
  if (b.IsEmpty()) return;
  if (geometry_.Style == TSplitterButtonStyle::bsNetscape) {
    PaintNetscape(canvas, b);
    return;
  }
  for (const auto& [kind, r] : WindowsButtonRects(ClientRect(), Side(), ButtonGeometry())) {
    TRect sq = r;
    DrawEdge(canvas, sq, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    TCanvasState keep(canvas);
    canvas.Pen.Color = ArrowColor;
    const int cx = (sq.Left + sq.Right) / 2, cy = (sq.Top + sq.Bottom) / 2;
    switch (kind) {
      case TWindowsButton::wbMin:
        canvas.MoveTo(sq.Left + 1, sq.Bottom - 2);
        canvas.LineTo(sq.Right - 1, sq.Bottom - 2);
        break;
      case TWindowsButton::wbMax:
        canvas.Brush.Style = TBrushStyle::bsClear;
        canvas.Rectangle(InflateRect(sq, -1, -1));
        break;
      case TWindowsButton::wbClose:
        canvas.MoveTo(cx - 2, cy - 2);
        canvas.LineTo(cx + 3, cy + 3);
        canvas.MoveTo(cx + 2, cy - 2);
        canvas.LineTo(cx - 3, cy + 3);
        break;
    }
  }
}

void TPaneSplitter::PaintNetscape(TCanvas& canvas, const TRect& b) {
  TCanvasState keep(canvas);
  // The outline, the white inner edge and the fill.
  canvas.Brush.Color = RGBColor(128, 128, 128);
  canvas.FrameRect(b);
  TRect inner = InflateRect(b, -1, -1);
  Draw3DRect(canvas, inner, clWhite, hot_ ? highlight_ : ButtonColor);
  inner = InflateRect(inner, -1, -1);
  canvas.Brush.Color = hot_ ? highlight_ : ButtonColor;
  canvas.FillRect(inner);

  const bool horizontal = SplitterIsHorizontal(Side());
  const int across = horizontal ? inner.Height() : inner.Width();
  const int n = std::max(1, std::min(across - 1, 3));
  // The arrows point where the neighbour goes when collapsing; back while collapsed.
  TSplitterSide dir = Side();
  if (Maximized()) {
    switch (dir) {
      case TSplitterSide::ssTop: dir = TSplitterSide::ssBottom; break;
      case TSplitterSide::ssBottom: dir = TSplitterSide::ssTop; break;
      case TSplitterSide::ssLeft: dir = TSplitterSide::ssRight; break;
      case TSplitterSide::ssRight: dir = TSplitterSide::ssLeft; break;
      case TSplitterSide::ssNone: break;
    }
  }
  const int half = (n % 2 ? n : n - 1) - 1;
  canvas.Brush.Color = ArrowColor;
  canvas.Pen.Color = ArrowColor;
  const int mid = horizontal ? (inner.Top + inner.Bottom) / 2 : (inner.Left + inner.Right) / 2;
  const bool pointsDownOrRight = dir == TSplitterSide::ssBottom || dir == TSplitterSide::ssRight;
  const int tipAcross = mid + (pointsDownOrRight ? half / 2 + 1 : -(half / 2 + 1)) - (pointsDownOrRight ? 1 : 0);
  const int along1 = (horizontal ? b.Left : b.Top) + 4 + half;
  const int along2 = (horizontal ? b.Right : b.Bottom) - 4 - half - 1;
  for (int along : {along1, along2}) {
    const TPoint tip = horizontal ? TPoint{along, tipAcross} : TPoint{tipAcross, along};
    canvas.Polygon(ArrowPolygon(tip, n, dir));
  }
  // The texture between the arrows: 3 x 3 cells with two dots each.
  const int from = along1 + half + 3, to = along2 - half - 2;
  if (to - from <= 2 || across <= 2) return;
  const TRect area = horizontal ? Rect(from, inner.Top, to, inner.Bottom) : Rect(inner.Left, from, inner.Right, to);
  for (int y = area.Top; y + 3 <= area.Bottom; y += 3)
    for (int x = area.Left; x + 3 <= area.Right; x += 3) {
      canvas.SetPixel(x + 1, y + 1, ColorToRGB(TextureColor1));
      canvas.SetPixel(x + 2, y + 2, ColorToRGB(TextureColor2));
    }
}
