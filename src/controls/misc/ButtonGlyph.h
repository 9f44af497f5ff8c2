// The speed button's picture and its state images, without any toolkit. A glyph bitmap
// holds NumGlyphs images side by side in the order up, disabled, down, exclusive,
// inactive; a state without its own image is made from the up image:
//   down, exclusive   the up image (down has its own only from 3 images on)
//   disabled          the embossed copy (CreateDisabledBitmap)
//   inactive          every pixel but the transparent and the button-face colour grey
//                     (77 R + 150 G + 29 B) / 256
// Each state image is built once, when first asked for, and dropped when the glyph or
// NumGlyphs changes. State images are transparent in the glyph's transparent colour
// (the disabled one in the button face it is drawn on).
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "platform/core/Graphics.h"

enum class TButtonState { bsUp = 0, bsDisabled = 1, bsDown = 2, bsExclusive = 3, bsInactive = 4 };

class TFlatButtonGlyph {
 public:
  static constexpr int kMaxGlyphs = 5;

  const TBitmap& Glyph() const { return glyph_; }
  // Takes a new picture; when its width is a whole multiple of its (non-zero) height,
  // NumGlyphs becomes width / height if that is below 6, else 1.
  void SetGlyph(const TBitmap& glyph);
  int NumGlyphs() const { return numGlyphs_; }
  // 1 to 5: larger values become 5, smaller ones 1.
  void SetNumGlyphs(int n);
  // The size of one image.
  int ImageWidth() const;
  int ImageHeight() const { return glyph_.Height(); }
  TColor TransparentColor() const { return glyph_.EffectiveTransparentColor(); }
  // The image of a state (empty for an empty glyph).
  const TBitmap& StateImage(TButtonState state);
  // How many state images have been built (they are built once each).
  int BuildCount() const { return builds_; }

 private:
  TBitmap Build(TButtonState state) const;
  TBitmap glyph_;
  int numGlyphs_ = 1;
  std::array<std::optional<TBitmap>, kMaxGlyphs> cache_;
  int builds_ = 0;
};

// The embossed copy of a picture: on a button-face bitmap, each pixel of `source` that
// is not `outlineColor` is drawn in the highlight colour one pixel down and right, then
// in the shadow colour in place.
TBitmap CreateDisabledBitmap(const TBitmap& source, TColor outlineColor);
// The inactive (grey) copy: pixels other than `transparent` and the button face become
// grey of their luminance.
TBitmap CreateInactiveBitmap(const TBitmap& source, TColor transparent);
// The text when it fits in maxWidth; else its first Length - 2, Length - 3, ... bytes
// followed by "..." until that fits or nothing is left.
AnsiString ShortenTextToWidth(std::string_view text, const TTextMetrics& metrics, const TFont& font, int maxWidth);
// A window's rectangle moved to the centre of the screen and then into it (the left
// and top edges win when it is larger), its size unchanged.
TRect CenterWindowRect(const TRect& window, const TRect& screen);
inline int RectWidth(const TRect& r) { return r.Right - r.Left; }
inline int RectHeight(const TRect& r) { return r.Bottom - r.Top; }
