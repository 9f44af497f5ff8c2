// The picture of a speed button and its state images. A glyph bitmap holds NumGlyphs
// images side by side in the order up, disabled, down, exclusive, inactive; a state
// without its own image is made from the up image:
//   down, exclusive   the up image (down has its own only from 3 images on)
//   disabled          the embossed copy (CreateDisabledBitmap)
//   inactive          every pixel but the transparent and the button-face colour grey
//                     of its luminance (77 R + 150 G + 29 B) / 256 (CreateGrayedBitmap)
// Each state image is built once, when first asked for, into a slot of the glyph list
// of its size, and given back when the glyph or NumGlyphs changes or the glyph goes.
// State images are transparent in the glyph's transparent colour (the disabled one in
// the button face it is drawn on).
//
// Glyph lists are shared by all glyphs of the process: TGlyphCache keeps one TGlyphList
// per image size; a list hands out its free slots from a bit set, grows when all are
// taken and is freed with its last slot. The cache itself goes when the last glyph goes
// and no list is left. No Qt here: the buttons of both the controls and the report
// windows draw these images through their canvas.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "platform/core/Graphics.h"
#include "platform/core/ImageList.h"

enum class TButtonState { bsUp = 0, bsDisabled = 1, bsDown = 2, bsExclusive = 3, bsInactive = 4 };

// Equal-sized images in numbered slots. Slot numbers stay valid until deleted, and so
// do the references Image gives.
class TGlyphList {
 public:
  TGlyphList(int width, int height) : width_(width), height_(height) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The lowest free slot gets the image (a copy); the list grows when none is free.
  int Add(const TBitmap& image);
  // Frees a slot (a slot that is not taken is ignored).
  void Delete(int index);
  const TBitmap& Image(int index) const { return *images_.at(static_cast<std::size_t>(index)); }
  // Slots taken.
  int Count() const { return count_; }
  // Slots there are, taken or free.
  int Capacity() const { return static_cast<int>(used_.size()); }

 private:
  int width_, height_;
  std::vector<bool> used_;  // the bit set of taken slots
  std::vector<std::unique_ptr<TBitmap>> images_;
  int count_ = 0;
};

class TGlyphCache {
 public:
  // The list for images of this size, made when there is none.
  TGlyphList& GetList(int width, int height);
  // A list whose last slot went is freed.
  void ReturnList(TGlyphList& list);
  bool Empty() const { return lists_.empty(); }
  int ListCount() const { return static_cast<int>(lists_.size()); }

 private:
  std::vector<std::unique_ptr<TGlyphList>> lists_;
};

class TButtonGlyph {
 public:
  static constexpr int kMaxGlyphs = 5;

  TButtonGlyph();
  ~TButtonGlyph();
  TButtonGlyph(const TButtonGlyph&) = delete;
  TButtonGlyph& operator=(const TButtonGlyph&) = delete;

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

  // The process' cache of glyph lists (nil while no glyph exists).
  static TGlyphCache* Cache();

 private:
  TBitmap Build(TButtonState state) const;
  void Invalidate();
  TBitmap glyph_;
  int numGlyphs_ = 1;
  TGlyphList* list_ = nullptr;        // the list of this glyph's image size, once used
  std::array<int, kMaxGlyphs> slots_;  // per state: the slot in list_, -1 = not built
  int builds_ = 0;
};

// The speed button of the controls names the same glyph this way.
using TFlatButtonGlyph = TButtonGlyph;

// The embossed copy of a picture: on a button-face bitmap, each pixel of `source` that
// is not `outlineColor` is drawn in the highlight colour one pixel down and right, then
// in the shadow colour in place.
TBitmap CreateDisabledBitmap(const TBitmap& source, TColor outlineColor);
// The same embossing of one image of an image list (its transparent pixels count as
// background), drawn at (x, y) over what the canvas holds: `highlightColor` one pixel
// down and right when `drawHighlight`, then `shadowColor` in place. An index outside
// the list draws nothing.
void ImageListDrawDisabled(const TImageList& images, TCanvas& canvas, int x, int y, int index, TColor highlightColor,
                           TColor shadowColor, bool drawHighlight);
// The grey copy: pixels other than `transparent` and `buttonFace` become the grey of
// their luminance, (77 R + 150 G + 29 B) / 256 in each channel.
TBitmap CreateGrayedBitmap(const TBitmap& source, TColor transparent, TColor buttonFace = clBtnFace);
