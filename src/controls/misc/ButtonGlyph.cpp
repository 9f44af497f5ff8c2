#include "controls/misc/ButtonGlyph.h"

#include <algorithm>

void TFlatButtonGlyph::SetGlyph(const TBitmap& glyph) {
  glyph_ = glyph;
  cache_ = {};
  // An empty picture (height 0) has no images to count.
  if (glyph_.Height() > 0 && glyph_.Width() % glyph_.Height() == 0) {
    const int n = glyph_.Width() / glyph_.Height();
    numGlyphs_ = n > 0 && n < 6 ? n : 1;
  }
}

void TFlatButtonGlyph::SetNumGlyphs(int n) {
  numGlyphs_ = std::clamp(n, 1, kMaxGlyphs);
  cache_ = {};
}

int TFlatButtonGlyph::ImageWidth() const { return glyph_.Width() / numGlyphs_; }

const TBitmap& TFlatButtonGlyph::StateImage(TButtonState state) {
  auto& slot = cache_[static_cast<std::size_t>(state)];
  if (!slot) {
    slot = Build(state);
    ++builds_;
  }
  return *slot;
}

TBitmap TFlatButtonGlyph::Build(TButtonState state) const {
  const int w = ImageWidth(), h = ImageHeight();
  if (w <= 0 || h <= 0) return {};
  const TColor transparent = TransparentColor();
  auto cut = [&](int index) {
    TBitmap b = glyph_.Copy(Rect(index * w, 0, index * w + w, h));
    b.Transparent = true;
    b.TransparentColor = transparent;
    return b;
  };
  int index = static_cast<int>(state);
  if (index < numGlyphs_) return cut(index);
  const TBitmap up = cut(0);
  switch (state) {
    case TButtonState::bsDisabled: return CreateDisabledBitmap(up, transparent);
    case TButtonState::bsInactive: return CreateInactiveBitmap(up, transparent);
    default: return up;
  }
}

TBitmap CreateDisabledBitmap(const TBitmap& source, TColor outlineColor) {
  const TColor face = ColorToRGB(clBtnFace);
  TBitmap out(source.Width(), source.Height(), face);
  const TColor outline = ColorToRGB(outlineColor);
  auto shape = [&](int x, int y) { return source.Pixel(x, y) != outline; };
  for (TColor color : {ColorToRGB(clBtnHighlight), ColorToRGB(clBtnShadow)}) {
    const int shift = color == ColorToRGB(clBtnHighlight) ? 1 : 0;
    for (int y = 0; y < source.Height(); ++y)
      for (int x = 0; x < source.Width(); ++x)
        if (shape(x, y)) out.SetPixel(x + shift, y + shift, color);
  }
  out.Transparent = true;
  out.TransparentColor = face;
  return out;
}

TBitmap CreateInactiveBitmap(const TBitmap& source, TColor transparent) {
  TBitmap out = source;
  const TColor t = ColorToRGB(transparent), face = ColorToRGB(clBtnFace);
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x) {
      const TColor c = out.Pixel(x, y);
      if (c == t || c == face) continue;
      const int grey = (77 * GetRValue(c) + 150 * GetGValue(c) + 29 * GetBValue(c)) / 256;
      out.SetPixel(x, y, RGBColor(grey, grey, grey));
    }
  return out;
}

AnsiString ShortenTextToWidth(std::string_view text, const TTextMetrics& metrics, const TFont& font, int maxWidth) {
  if (metrics.TextWidth(font, text) <= maxWidth) return AnsiString(text);
  for (std::size_t keep = text.size() >= 2 ? text.size() - 2 : 0;; --keep) {
    const AnsiString candidate = AnsiString(text.substr(0, keep)) + "...";
    if (metrics.TextWidth(font, candidate) <= maxWidth || keep == 0) return candidate;
  }
}

TRect CenterWindowRect(const TRect& window, const TRect& screen) {
  const int w = window.Width(), h = window.Height();
  int left = screen.Left + (screen.Width() - w) / 2;
  int top = screen.Top + (screen.Height() - h) / 2;
  // Into the screen: the right and bottom edges first, so that the left and top win.
  left = std::max(std::min(left, screen.Right - w), screen.Left);
  top = std::max(std::min(top, screen.Bottom - h), screen.Top);
  return Bounds(left, top, w, h);
}
