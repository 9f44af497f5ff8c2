#include "platform/gui/ButtonGlyph.h"

#include <algorithm>

int TGlyphList::Add(const TBitmap& image) {
  const auto free = std::find(used_.begin(), used_.end(), false);
  const auto index = static_cast<std::size_t>(free - used_.begin());
  if (free == used_.end()) {
    used_.push_back(false);
    images_.push_back(nullptr);
  }
  used_[index] = true;
  images_[index] = std::make_unique<TBitmap>(image);
  ++count_;
  return static_cast<int>(index);
}

void TGlyphList::Delete(int index) {
  if (index < 0 || index >= Capacity() || !used_[static_cast<std::size_t>(index)]) return;
  used_[static_cast<std::size_t>(index)] = false;
  images_[static_cast<std::size_t>(index)].reset();
  --count_;
}

TGlyphList& TGlyphCache::GetList(int width, int height) {
  for (auto& list : lists_)
    if (list->Width() == width && list->Height() == height) return *list;
  lists_.push_back(std::make_unique<TGlyphList>(width, height));
  return *lists_.back();
}

void TGlyphCache::ReturnList(TGlyphList& list) {
  if (list.Count() > 0) return;
  std::erase_if(lists_, [&](const auto& l) { return l.get() == &list; });
}

// ---------------------------------------------------------------------------------

namespace {

// The cache lives while glyphs exist or lists are left in it.
std::unique_ptr<TGlyphCache> glyphCache;
int glyphCount = 0;

}  // namespace

TGlyphCache* TButtonGlyph::Cache() { return glyphCache.get(); }

TButtonGlyph::TButtonGlyph() {
  slots_.fill(-1);
  if (glyphCount++ == 0 && !glyphCache) glyphCache = std::make_unique<TGlyphCache>();
}

TButtonGlyph::~TButtonGlyph() {
  Invalidate();
  if (--glyphCount == 0 && glyphCache && glyphCache->Empty()) glyphCache.reset();
}

void TButtonGlyph::Invalidate() {
  if (list_) {
    for (int& slot : slots_) list_->Delete(slot);
    glyphCache->ReturnList(*list_);
    list_ = nullptr;
  }
  slots_.fill(-1);
}

void TButtonGlyph::SetGlyph(const TBitmap& glyph) {
  Invalidate();
  glyph_ = glyph;
  // An empty picture (height 0) has no images to count.
  if (glyph_.Height() > 0 && glyph_.Width() % glyph_.Height() == 0) {
    const int n = glyph_.Width() / glyph_.Height();
    numGlyphs_ = n > 0 && n < 6 ? n : 1;
  }
}

void TButtonGlyph::SetNumGlyphs(int n) {
  Invalidate();
  numGlyphs_ = std::clamp(n, 1, kMaxGlyphs);
}

int TButtonGlyph::ImageWidth() const { return glyph_.Width() / numGlyphs_; }

const TBitmap& TButtonGlyph::StateImage(TButtonState state) {
  static const TBitmap kNone;
  const int w = ImageWidth(), h = ImageHeight();
  if (w <= 0 || h <= 0) return kNone;
  int& slot = slots_[static_cast<std::size_t>(state)];
  if (slot < 0) {
    if (!list_) list_ = &glyphCache->GetList(w, h);
    slot = list_->Add(Build(state));
    ++builds_;
  }
  return list_->Image(slot);
}

TBitmap TButtonGlyph::Build(TButtonState state) const {
  const int w = ImageWidth(), h = ImageHeight();
  const TColor transparent = TransparentColor();
  auto cut = [&](int index) {
    TBitmap b = glyph_.Copy(Rect(index * w, 0, index * w + w, h));
    b.Transparent = true;
    b.TransparentColor = transparent;
    return b;
  };
  const int index = static_cast<int>(state);
  // (So down has its own image only from three images on.)
  if (index < numGlyphs_) return cut(index);
  const TBitmap up = cut(0);
  switch (state) {
    case TButtonState::bsDisabled: return CreateDisabledBitmap(up, transparent);
    case TButtonState::bsInactive: return CreateGrayedBitmap(up, transparent);
    default: return up;
  }
}

namespace {

// The mask of `source` (pixels of `outline` are background) embossed on a bitmap of
// `ground`, which is its transparent colour.
TBitmap Emboss(const TBitmap& source, TColor outline, TColor ground, TColor highlight, TColor shadow,
               bool drawHighlight) {
  TBitmap out(source.Width(), source.Height(), ground);
  const TColor background = ColorToRGB(outline);
  std::vector<std::pair<TColor, int>> passes;
  if (drawHighlight) passes.emplace_back(ColorToRGB(highlight), 1);
  passes.emplace_back(ColorToRGB(shadow), 0);
  for (const auto& [color, shift] : passes)
    for (int y = 0; y < source.Height(); ++y)
      for (int x = 0; x < source.Width(); ++x)
        if (source.Pixel(x, y) != background) out.SetPixel(x + shift, y + shift, color);
  out.Transparent = true;
  out.TransparentColor = ground;
  return out;
}

}  // namespace

TBitmap CreateDisabledBitmap(const TBitmap& source, TColor outlineColor) {
  return Emboss(source, outlineColor, ColorToRGB(clBtnFace), clBtnHighlight, clBtnShadow, true);
}

void ImageListDrawDisabled(const TImageList& images, TCanvas& canvas, int x, int y, int index, TColor highlightColor,
                           TColor shadowColor, bool drawHighlight) {
  if (index < 0 || index >= images.Count()) return;
  const TBitmap& image = images.Image(index);
  // A ground colour that is neither of the two drawn.
  const TColor highlight = ColorToRGB(highlightColor), shadow = ColorToRGB(shadowColor);
  TColor ground = clFuchsia;
  while (ground == highlight || ground == shadow) ground = static_cast<TColor>(ground - 1);
  canvas.Draw(x, y, Emboss(image, image.EffectiveTransparentColor(), ground, highlight, shadow, drawHighlight));
}

TBitmap CreateGrayedBitmap(const TBitmap& source, TColor transparent, TColor buttonFace) {
  TBitmap out = source;
  const TColor t = ColorToRGB(transparent), face = ColorToRGB(buttonFace);
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x) {
      const TColor c = out.Pixel(x, y);
      if (c == t || c == face) continue;
      const int grey = (77 * GetRValue(c) + 150 * GetGValue(c) + 29 * GetBValue(c)) / 256;
      out.SetPixel(x, y, RGBColor(grey, grey, grey));
    }
  return out;
}
