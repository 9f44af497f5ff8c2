#include "platform/core/DrawUtils.h"

#include <algorithm>

void FillSolidRect(TCanvas& c, int x, int y, int w, int h, TColor color) {
  if (w < 0) { x += w; w = -w; }
  if (h < 0) { y += h; h = -h; }
  const TBrush saved = c.Brush;
  c.Brush = TBrush{};
  c.Brush.Color = color;
  c.FillRect(Bounds(x, y, w, h));
  c.Brush = saved;
}

void Draw3DRect(TCanvas& c, int x, int y, int w, int h, TColor topLeft, TColor bottomRight) {
  if (w <= 0 || h <= 0) return;
  FillSolidRect(c, x, y, w - 1, 1, topLeft);
  FillSolidRect(c, x, y, 1, h - 1, topLeft);
  FillSolidRect(c, x + w - 1, y, 1, h, bottomRight);
  FillSolidRect(c, x, y + h - 1, w, 1, bottomRight);
}

void Draw3DFrame(TCanvas& c, const TRect& r, bool raised) {
  const TRect inner = InflateRect(r, -1, -1);
  if (raised) {
    Draw3DRect(c, r, clBtnFace, cl3DDkShadow);
    Draw3DRect(c, inner, clBtnHighlight, clBtnShadow);
  } else {
    Draw3DRect(c, r, clBtnShadow, clBtnHighlight);
    Draw3DRect(c, inner, cl3DDkShadow, clBtnFace);
  }
}

void DrawFlatFrame(TCanvas& c, const TRect& r, TColor bkColor, bool focused) {
  const TRect inner = InflateRect(r, -1, -1);
  Draw3DRect(c, r, bkColor, bkColor);
  Draw3DRect(c, inner, bkColor, bkColor);
  Draw3DRect(c, r, clBtnShadow, clBtnHighlight);
  if (focused) Draw3DRect(c, inner, clBtnText, cl3DLight);
}

void DrawTransparentBitmap(TCanvas& c, const TBitmap& bitmap, int x, int y, const TRect& src,
                           TColor transparentColor) {
  TBitmap part = bitmap.Copy(src);
  part.Transparent = true;
  part.TransparentColor = ColorToRGB(transparentColor);
  c.Draw(x, y, part);
}

namespace {

void EdgeColors(unsigned border, unsigned flags, TColor& tl, TColor& br) {
  if (flags & BF_MONO) {
    tl = br = clWindowFrame;
  } else if (flags & BF_FLAT) {
    const bool outer = (border & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) != 0;
    tl = br = outer ? clBtnShadow : clBtnFace;
  } else if (border == BDR_RAISEDOUTER) {
    tl = cl3DLight; br = cl3DDkShadow;
  } else if (border == BDR_SUNKENOUTER) {
    tl = clBtnShadow; br = clBtnHighlight;
  } else if (border == BDR_RAISEDINNER) {
    tl = clBtnHighlight; br = clBtnShadow;
  } else {
    tl = cl3DDkShadow; br = cl3DLight;
  }
}

void DrawBorder(TCanvas& c, TRect& r, unsigned border, unsigned flags) {
  if (r.IsEmpty()) return;
  TColor tl, br;
  EdgeColors(border, flags, tl, br);
  // Bottom and right first, so that the top-left colour owns the shared corners
  // except the bottom-left and top-right ones.
  if (flags & BF_BOTTOM) FillSolidRect(c, r.Left, r.Bottom - 1, r.Width(), 1, br);
  if (flags & BF_RIGHT) FillSolidRect(c, r.Right - 1, r.Top, 1, r.Height(), br);
  if (flags & BF_TOP) FillSolidRect(c, r.Left, r.Top, r.Width() - ((flags & BF_RIGHT) ? 1 : 0), 1, tl);
  if (flags & BF_LEFT) FillSolidRect(c, r.Left, r.Top, 1, r.Height() - ((flags & BF_BOTTOM) ? 1 : 0), tl);
  if (flags & BF_LEFT) ++r.Left;
  if (flags & BF_TOP) ++r.Top;
  if (flags & BF_RIGHT) --r.Right;
  if (flags & BF_BOTTOM) --r.Bottom;
}

}  // namespace

void DrawEdge(TCanvas& c, TRect& r, unsigned edge, unsigned flags) {
  TRect inside = r;
  if (edge & BDR_RAISEDOUTER) DrawBorder(c, inside, BDR_RAISEDOUTER, flags);
  else if (edge & BDR_SUNKENOUTER) DrawBorder(c, inside, BDR_SUNKENOUTER, flags);
  if (edge & BDR_RAISEDINNER) DrawBorder(c, inside, BDR_RAISEDINNER, flags);
  else if (edge & BDR_SUNKENINNER) DrawBorder(c, inside, BDR_SUNKENINNER, flags);
  if ((flags & BF_MIDDLE) && !inside.IsEmpty())
    FillSolidRect(c, inside.Left, inside.Top, inside.Width(), inside.Height(), clBtnFace);
  if (flags & BF_ADJUST) r = inside;
}

TFlatScrollBarParts FlatScrollBarParts(const TRect& r, bool vertical, int max, int page, int pos, int minThumb) {
  TFlatScrollBarParts p;
  const int length = vertical ? r.Height() : r.Width();
  const int thick = vertical ? r.Width() : r.Height();
  const int arrow = std::min(thick, length / 2);
  auto span = [&](int from, int to) {
    return vertical ? Rect(r.Left, r.Top + from, r.Right, r.Top + to) : Rect(r.Left + from, r.Top, r.Left + to, r.Bottom);
  };
  p.ArrowLow = span(0, arrow);
  p.ArrowHigh = span(length - arrow, length);
  const int track = length - 2 * arrow;
  page = std::max(page, 1);
  const long long total = static_cast<long long>(std::max(max, 0)) + page;  // positions 0..max plus a page
  if (max <= 0 || track <= 0) return p;
  int thumb = static_cast<int>(static_cast<long long>(track) * page / total);
  thumb = std::max(thumb, std::min(minThumb, track));
  if (thumb >= track) return p;
  const int at = static_cast<int>(static_cast<long long>(track - thumb) * std::clamp(pos, 0, max) / max);
  p.Thumb = span(arrow + at, arrow + at + thumb);
  return p;
}

namespace {

// A small filled triangle pointing up, down, left or right in the middle of r.
void Arrow(TCanvas& c, const TRect& r, bool vertical, bool low, TColor color) {
  const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
  for (int i = 0; i < 4; ++i) {
    const int off = low ? i - 2 : 1 - i;  // rows from the tip outwards
    if (vertical) FillSolidRect(c, cx - i, cy + off, 2 * i + 1, 1, color);
    else FillSolidRect(c, cx + off, cy - i, 1, 2 * i + 1, color);
  }
}

}  // namespace

void DrawFlatScrollbar(TCanvas& c, const TRect& r, bool vertical, int max, int page, int pos, bool focused,
                       bool enabled) {
  const int thick = vertical ? r.Width() : r.Height();
  const TFlatScrollBarParts p = FlatScrollBarParts(r, vertical, max, page, pos, std::max(thick / 2, 8));
  FillSolidRect(c, r.Left, r.Top, r.Width(), r.Height(), clBtnFace);
  const TColor frame = focused ? clBtnText : clBtnShadow;
  const TColor mark = enabled && max > 0 ? clBtnText : clGrayText;
  for (const TRect* box : {&p.ArrowLow, &p.ArrowHigh}) {
    if (box->IsEmpty()) continue;
    Draw3DRect(c, *box, frame, frame);
    Arrow(c, *box, vertical, box == &p.ArrowLow, mark);
  }
  if (!p.Thumb.IsEmpty()) {
    FillSolidRect(c, p.Thumb.Left, p.Thumb.Top, p.Thumb.Width(), p.Thumb.Height(), focused ? clBtnHighlight : clBtnFace);
    Draw3DRect(c, p.Thumb, frame, frame);
  }
}
