#include "platform/core/ImageList.h"

int TImageList::Add(const TBitmap& strip) {
  const int n = width_ > 0 ? strip.Width() / width_ : 0;
  if (n == 0 || strip.Height() < height_) return -1;
  const TColor transparent = strip.EffectiveTransparentColor();
  const int first = Count();
  for (int i = 0; i < n; ++i) {
    TBitmap image = strip.Copy(Bounds(i * width_, 0, width_, height_));
    image.Transparent = true;
    image.TransparentColor = transparent;
    images_.push_back(std::move(image));
  }
  return first;
}

int TImageList::AddMasked(const TBitmap& strip, TColor transparentColor) {
  TBitmap copy = strip;
  copy.TransparentColor = ColorToRGB(transparentColor);
  return Add(copy);
}

void TImageList::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds.");
  images_.erase(images_.begin() + index);
}

const TBitmap& TImageList::Image(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds.");
  return images_[index];
}

TBitmap BlendBitmap(const TBitmap& bmp, TColor toward, int percent) {
  TBitmap out = bmp;
  const TColor t = ColorToRGB(toward);
  const TColor transparent = bmp.EffectiveTransparentColor();
  for (int y = 0; y < bmp.Height(); ++y) {
    for (int x = 0; x < bmp.Width(); ++x) {
      const TColor p = bmp.Pixel(x, y);
      if (bmp.Transparent && p == transparent) continue;
      auto mix = [&](int a, int b) { return a + (b - a) * percent / 100; };
      out.SetPixel(x, y, RGBColor(mix(GetRValue(p), GetRValue(t)), mix(GetGValue(p), GetGValue(t)),
                                  mix(GetBValue(p), GetBValue(t))));
    }
  }
  return out;
}

TBitmap EmbossBitmap(const TBitmap& bmp) {
  // A key colour that is neither of the two 3-D colours.
  const TColor key = RGBColor(255, 0, 255);
  TBitmap out(bmp.Width(), bmp.Height(), key);
  out.Transparent = true;
  out.TransparentColor = key;
  const TColor transparent = bmp.EffectiveTransparentColor();
  auto dark = [&](int x, int y) {
    const TColor p = bmp.Pixel(x, y);
    if (p == clNone || (bmp.Transparent && p == transparent)) return false;
    return GetRValue(p) * 30 + GetGValue(p) * 59 + GetBValue(p) * 11 < 192 * 100;
  };
  const TColor light = ColorToRGB(clBtnHighlight), shadow = ColorToRGB(clBtnShadow);
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x)
      if (dark(x, y)) out.SetPixel(x + 1, y + 1, light);
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x)
      if (dark(x, y)) out.SetPixel(x, y, shadow);
  return out;
}

TBitmap TImageList::StyledImage(int index, TDrawingStyle style, bool enabled) const {
  const TBitmap& image = images_.at(index);
  if (!enabled) return EmbossBitmap(image);
  switch (style) {
    case TDrawingStyle::dsSelected: return BlendBitmap(image, clHighlight, 50);
    case TDrawingStyle::dsFocus: return BlendBitmap(image, clHighlight, 25);
    case TDrawingStyle::dsNormal: break;
  }
  return image;
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, TDrawingStyle style, bool enabled) const {
  if (index < 0 || index >= Count()) return;
  canvas.Draw(x, y, StyledImage(index, style, enabled));
}
