#include "controls/misc/PaneSplitterModel.h"

#include <algorithm>
#include <cstdlib>

TRect NetscapeButtonRect(const TRect& client, TSplitterSide side, const TSplitterButtonGeometry& g) {
  if (side == TSplitterSide::ssNone) return {};
  const bool horizontal = SplitterIsHorizontal(side);
  const int along = horizontal ? client.Width() : client.Height();
  int length = std::max(g.ButtonWidth, 0);
  if (g.WidthType == TButtonWidthType::btwPercentage) length = along * std::min(length, 100) / 100;
  // Inside the client area with a 1-pixel margin.
  length = std::min(length, along - 2);
  if (length <= 0) return {};
  const int offset = (along - length) / 2;
  // The bevel takes 3 more pixels from each side.
  const int inset = g.Beveled ? 1 + 3 : 1;
  if (horizontal)
    return Rect(client.Left + offset, client.Top + inset, client.Left + offset + length, client.Bottom - inset);
  return Rect(client.Left + inset, client.Top + offset, client.Right - inset, client.Top + offset + length);
}

std::vector<std::pair<TWindowsButton, TRect>> WindowsButtonRects(const TRect& client, TSplitterSide side,
                                                                 const TSplitterButtonGeometry& g) {
  std::vector<std::pair<TWindowsButton, TRect>> out;
  if (side == TSplitterSide::ssNone) return out;
  const bool horizontal = SplitterIsHorizontal(side);
  const int side_ = horizontal ? client.Height() : client.Width();
  // The squares sit at the far end of the bar (its right end, or its bottom), read from
  // the top of a vertical bar as close, maximize, minimize and from the left of a
  // horizontal one as minimize, maximize, close; they are placed from the far end back.
  const TWindowsButton order[3] = {
      horizontal ? TWindowsButton::wbClose : TWindowsButton::wbMin, TWindowsButton::wbMax,
      horizontal ? TWindowsButton::wbMin : TWindowsButton::wbClose};
  const int farEnd = horizontal ? client.Right : client.Bottom;
  int pos = 1;
  for (TWindowsButton b : order) {
    if (std::find(g.WindowsButtons.begin(), g.WindowsButtons.end(), b) == g.WindowsButtons.end()) continue;
    pos += side_;
    TRect r = horizontal ? Bounds(farEnd - pos, client.Top, side_, side_)
                         : Bounds(client.Left, farEnd - pos, side_, side_);
    r = InflateRect(r, -1, -1);
    if (!IntersectRect(r, InflateRect(client, -1, -1)).IsEmpty()) out.emplace_back(b, r);
  }
  // In layout order: from the top or from the left.
  std::reverse(out.begin(), out.end());
  return out;
}

TColor AutoHighlightColor(TColor activeCaption, TColor buttonFace) {
  const TColor c = ColorToRGB(activeCaption), f = ColorToRGB(buttonFace);
  auto channel = [](int cap, int face) { return cap + 180 * (face - cap) / 255; };
  return RGBColor(channel(GetRValue(c), GetRValue(f)), channel(GetGValue(c), GetGValue(f)),
                  channel(GetBValue(c), GetBValue(f)));
}

std::vector<TPoint> ArrowPolygon(TPoint tip, int n, TSplitterSide side) {
  n = std::max(n, 1);
  if (n % 2 == 0) --n;
  if (n < 1) n = 1;
  const int half = n - 1;  // the base is 2n - 1 pixels: half on each side of the axis
  switch (side) {
    case TSplitterSide::ssTop: return {tip, {tip.X - half, tip.Y + half}, {tip.X + half, tip.Y + half}};
    case TSplitterSide::ssBottom: return {tip, {tip.X - half, tip.Y - half}, {tip.X + half, tip.Y - half}};
    case TSplitterSide::ssLeft: return {tip, {tip.X + half, tip.Y - half}, {tip.X + half, tip.Y + half}};
    case TSplitterSide::ssRight: return {tip, {tip.X - half, tip.Y - half}, {tip.X - half, tip.Y + half}};
    case TSplitterSide::ssNone: break;
  }
  return {};
}

bool IsButtonClick(TPoint down, TPoint up, const TRect& button, TSplitterSide side) {
  if (!button.Contains(up)) return false;
  const int moved = SplitterIsHorizontal(side) ? std::abs(up.Y - down.Y) : std::abs(up.X - down.X);
  return moved <= 5;
}

// ---------------------------------------------------------------------------------

bool TPaneSplitterModel::Usable() const {
  return Side != TSplitterSide::ssNone && HasNeighbour && HasNeighbour() && NeighbourSize && SetNeighbourSize;
}

void TPaneSplitterModel::Fire(const TNotifyEvent& e) const {
  if (e) e(Sender);
}

void TPaneSplitterModel::SetMaximized(bool v) {
  if (Loading) {
    maximized_ = v;
    return;
  }
  if (v == maximized_ || !Usable()) return;
  if (v) {
    if (minimized_) minimized_ = false;
    else restorePos_ = NeighbourSize();
    int size = -3000;
    if (ButtonStyle == TSplitterButtonStyle::bsWindows)
      size = Side == TSplitterSide::ssTop || Side == TSplitterSide::ssRight ? -3000 : 3000;
    SetNeighbourSize(size);
    maximized_ = true;
    Fire(OnMaximize);
  } else {
    maximized_ = false;
    SetNeighbourSize(restorePos_);
    Fire(OnRestore);
  }
}

void TPaneSplitterModel::SetMinimized(bool v) {
  if (Loading) {
    minimized_ = v;
    return;
  }
  if (v == minimized_ || !Usable()) return;
  if (v) {
    if (maximized_) maximized_ = false;
    else restorePos_ = NeighbourSize();
    SetNeighbourSize(Side == TSplitterSide::ssTop || Side == TSplitterSide::ssRight ? 3000 : -3000);
    minimized_ = true;
    Fire(OnMinimize);
  } else {
    minimized_ = false;
    SetNeighbourSize(restorePos_);
    Fire(OnRestore);
  }
}

void TPaneSplitterModel::BoundsChanged() {
  if (restorePos_ == -1 && !Loading && Usable()) restorePos_ = NeighbourSize();
}

void TPaneSplitterModel::DragEnded() {
  if (!Usable()) return;
  const bool was = maximized_;
  maximized_ = MinSize >= NeighbourSize();
  if (maximized_) {
    SetNeighbourSize(MinSize);
    if (!was) Fire(OnMaximize);
  } else {
    restorePos_ = NeighbourSize();
    if (was) Fire(OnRestore);
  }
}

void TPaneSplitterModel::ButtonClicked() { SetMaximized(!maximized_); }

void TPaneSplitterModel::WindowsButtonClicked(TWindowsButton button) {
  if (!Usable()) return;
  switch (button) {
    case TWindowsButton::wbMin: SetMinimized(!minimized_); break;
    case TWindowsButton::wbMax: SetMaximized(!maximized_); break;
    case TWindowsButton::wbClose: Fire(OnClose); break;
  }
}
