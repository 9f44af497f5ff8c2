// Image lists: equal-sized images drawn transparent, in the normal, selected or
// focused style and, when disabled, embossed in the 3-D colours.
#pragma once

#include <vector>

#include "platform/core/Canvas.h"

enum class TDrawingStyle { dsNormal, dsSelected, dsFocus };

class TImageList : public TObject {
 public:
  TImageList(int width = 16, int height = 16) : width_(width), height_(height) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const { return static_cast<int>(images_.size()); }

  // Adds the images of a strip (each Width wide, left to right; a narrower rest is
  // dropped). Their transparent colour is the strip's (its bottom-left pixel by default).
  // Returns the index of the first image added, -1 when none.
  int Add(const TBitmap& strip);
  int AddMasked(const TBitmap& strip, TColor transparentColor);
  void Delete(int index);
  void Clear() { images_.clear(); }
  // The image as stored (transparent); EListError for a bad index.
  const TBitmap& Image(int index) const;

  // Draws image `index` at (x, y); an index outside the list draws nothing. Selected
  // blends the image half-way toward the highlight colour, focused a quarter; a
  // disabled image is drawn embossed (button highlight shifted by one pixel under
  // button shadow) from its dark pixels.
  void Draw(TCanvas& canvas, int x, int y, int index, TDrawingStyle style = TDrawingStyle::dsNormal,
            bool enabled = true) const;
  // The bitmap Draw would paint, for the same arguments.
  TBitmap StyledImage(int index, TDrawingStyle style, bool enabled) const;

 private:
  int width_, height_;
  std::vector<TBitmap> images_;
};

// The same picture blended `percent` toward `toward` (transparent pixels kept).
TBitmap BlendBitmap(const TBitmap& bmp, TColor toward, int percent);
// The disabled look of a picture: the pixels darker than light grey, as a raised
// button-highlight shadow under the button-shadow shape; everything else transparent.
TBitmap EmbossBitmap(const TBitmap& bmp);
