#include "platform/core/DrawUtils.h"

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
