// The GUI kit's speed button, the parts shared by the controls' flat speed button and the
// report windows' toolbar buttons: the glyph with its state images and the shared glyph
// lists, and the placing of glyph and caption.
#include <gtest/gtest.h>

#include <memory>

#include "platform/gui/SpeedButton.h"

// Glyphs ---------------------------------------------------------------------------

namespace {

// A strip of n 4 x 4 images on a fuchsia (transparent) ground; image i has a red dot
// at (1, 1) and a blue one at (2, 2) in image i + 1's tone.
TBitmap Strip(int n) {
  TBitmap b(4 * n, 4, clFuchsia);
  for (int i = 0; i < n; ++i) {
    b.SetPixel(4 * i + 1, 1, RGBColor(200, 10 * i, 0));
    b.SetPixel(4 * i + 2, 2, RGBColor(0, 0, 200));
  }
  b.Transparent = true;
  b.TransparentColor = clFuchsia;
  return b;
}

}  // namespace

TEST(ButtonGlyph, NumGlyphsFromTheShapeAndItsLimits) {
  TButtonGlyph g;
  g.SetGlyph(Strip(4));
  EXPECT_EQ(g.NumGlyphs(), 4);
  g.SetGlyph(Strip(7));  // 7 images side by side: more than 5 counts as one picture
  EXPECT_EQ(g.NumGlyphs(), 1);
  g.SetNumGlyphs(7);
  EXPECT_EQ(g.NumGlyphs(), 5);
  g.SetNumGlyphs(0);
  EXPECT_EQ(g.NumGlyphs(), 1);
  // A picture 5 wide and 0 high has no images; the count stays and nothing divides by 0.
  g.SetNumGlyphs(2);
  g.SetGlyph(TBitmap(5, 0));
  EXPECT_EQ(g.NumGlyphs(), 2);
  EXPECT_TRUE(g.StateImage(TButtonState::bsDisabled).Empty());
  g.SetGlyph(TBitmap());
  EXPECT_TRUE(g.StateImage(TButtonState::bsUp).Empty());
}

TEST(ButtonGlyph, StateImagesFromTheStripOrMadeFromTheUpImage) {
  SetSysColors(ClassicSysColors());
  TButtonGlyph g;
  g.SetGlyph(Strip(1));
  const TBitmap& up = g.StateImage(TButtonState::bsUp);
  EXPECT_EQ(up.Pixel(1, 1), RGBColor(200, 0, 0));
  EXPECT_EQ(g.StateImage(TButtonState::bsDown), up);
  EXPECT_EQ(g.StateImage(TButtonState::bsExclusive), up);
  // Disabled: shadow in place, highlight one pixel down-right, face elsewhere.
  const TBitmap& disabled = g.StateImage(TButtonState::bsDisabled);
  EXPECT_EQ(disabled.Pixel(1, 1), ColorToRGB(clBtnShadow));
  EXPECT_EQ(disabled.Pixel(2, 2), ColorToRGB(clBtnShadow));
  EXPECT_EQ(disabled.Pixel(3, 3), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(disabled.Pixel(0, 0), ColorToRGB(clBtnFace));
  // Inactive: grey of the luminance; the transparent colour stays.
  const TBitmap& inactive = g.StateImage(TButtonState::bsInactive);
  const int red = 77 * 200 / 256, blue = 29 * 200 / 256;
  EXPECT_EQ(inactive.Pixel(1, 1), RGBColor(red, red, red));
  EXPECT_EQ(inactive.Pixel(2, 2), RGBColor(blue, blue, blue));
  EXPECT_EQ(inactive.Pixel(0, 0), clFuchsia);
  // Each state is built once.
  const int builds = g.BuildCount();
  g.StateImage(TButtonState::bsInactive);
  g.StateImage(TButtonState::bsUp);
  EXPECT_EQ(g.BuildCount(), builds);

  // With three images down has its own; exclusive (needing four) is the up image.
  g.SetGlyph(Strip(3));
  EXPECT_EQ(g.StateImage(TButtonState::bsDown).Pixel(1, 1), RGBColor(200, 20, 0));
  EXPECT_EQ(g.StateImage(TButtonState::bsDisabled).Pixel(1, 1), RGBColor(200, 10, 0));
  EXPECT_EQ(g.StateImage(TButtonState::bsExclusive).Pixel(1, 1), RGBColor(200, 0, 0));
}

TEST(ButtonGlyph, GrayedBitmapKeepsTransparentAndFacePixels) {
  TBitmap glyph(3, 1, clFuchsia);
  glyph.SetPixel(1, 0, RGBColor(192, 192, 192));
  glyph.SetPixel(2, 0, RGBColor(200, 100, 50));
  const TBitmap grey = CreateGrayedBitmap(glyph, clFuchsia, RGBColor(192, 192, 192));
  EXPECT_EQ(grey.Pixel(0, 0), clFuchsia);
  EXPECT_EQ(grey.Pixel(1, 0), RGBColor(192, 192, 192));
  const int g = (77 * 200 + 150 * 100 + 29 * 50) / 256;
  EXPECT_EQ(grey.Pixel(2, 0), RGBColor(g, g, g));
}

TEST(ButtonGlyph, GlyphsOfOneSizeShareAListThatHandsOutFreeSlots) {
  ASSERT_EQ(TButtonGlyph::Cache(), nullptr);  // no glyph lives between the tests
  {
    auto a = std::make_unique<TButtonGlyph>();
    TButtonGlyph b, other;
    ASSERT_NE(TButtonGlyph::Cache(), nullptr);
    a->SetGlyph(Strip(1));
    b.SetGlyph(Strip(2));  // two 4 x 4 images: the same size
    other.SetGlyph(TBitmap(6, 3, clWhite));
    a->StateImage(TButtonState::bsUp);
    a->StateImage(TButtonState::bsInactive);
    b.StateImage(TButtonState::bsDisabled);
    other.StateImage(TButtonState::bsUp);
    TGlyphCache& cache = *TButtonGlyph::Cache();
    EXPECT_EQ(cache.ListCount(), 2);
    TGlyphList& list = cache.GetList(4, 4);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Capacity(), 3);
    // A new picture gives its slots back; the next image takes the lowest free slot
    // instead of growing the list.
    a->SetGlyph(Strip(1));
    EXPECT_EQ(list.Count(), 1);
    const TBitmap& disabled = a->StateImage(TButtonState::bsDisabled);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Capacity(), 3);
    EXPECT_EQ(&disabled, &list.Image(0));
    // The state images stay put while the list grows.
    const TBitmap& kept = b.StateImage(TButtonState::bsDisabled);
    for (auto s : {TButtonState::bsUp, TButtonState::bsDown, TButtonState::bsExclusive, TButtonState::bsInactive})
      b.StateImage(s);
    EXPECT_EQ(&kept, &b.StateImage(TButtonState::bsDisabled));
    EXPECT_EQ(list.Count(), 6);
    // The list goes with its last image; the cache with the last glyph.
    other.SetGlyph(TBitmap());
    EXPECT_EQ(cache.ListCount(), 1);
    a.reset();
    EXPECT_EQ(list.Count(), 5);
  }
  EXPECT_EQ(TButtonGlyph::Cache(), nullptr);
}

TEST(SpeedButtonLayout, MarginAndSpacingPlaceGlyphAndCaption) {
  struct Case {
    TButtonLayout layout;
    int margin, spacing;
    TPoint text;
    TPoint glyphAt, textAt;
  };
  using L = TButtonLayout;
  // A 40 x 30 client, a 16 x 16 glyph.
  const Case cases[] = {
      {L::blGlyphLeft, -1, 4, {10, 8}, {5, 7}, {25, 11}},     // centred together: (40 - 30) / 2
      {L::blGlyphRight, -1, 4, {10, 8}, {19, 7}, {5, 11}},
      {L::blGlyphTop, -1, 1, {10, 8}, {12, 2}, {15, 19}},      // (30 - 25) / 2 from the top
      {L::blGlyphBottom, -1, 1, {10, 8}, {12, 12}, {15, 3}},
      {L::blGlyphLeft, -1, -1, {10, 8}, {4, 7}, {24, 11}},     // thirds: (40 - 26) / 3
      {L::blGlyphLeft, 2, -1, {10, 8}, {2, 7}, {24, 11}},      // caption amid the room after the glyph
      {L::blGlyphLeft, 3, 4, {10, 8}, {3, 7}, {23, 11}},
      {L::blGlyphRight, 3, 4, {10, 8}, {21, 7}, {7, 11}},
      {L::blGlyphLeft, -1, 4, {0, 0}, {12, 7}, {28, 15}},      // no caption: the glyph centred
  };
  for (const Case& c : cases) {
    const TButtonContentLayout at =
        CalcButtonLayout(Rect(0, 0, 40, 30), {16, 16}, c.text, c.layout, c.margin, c.spacing);
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.layout) << " " << c.margin << " " << c.spacing);
    EXPECT_EQ(at.Glyph, Bounds(c.glyphAt.X, c.glyphAt.Y, 16, 16));
    EXPECT_EQ(at.Text, Bounds(c.textAt.X, c.textAt.Y, c.text.X, c.text.Y));
  }
  // A client that does not start at 0.
  EXPECT_EQ(CalcButtonLayout(Rect(1, 1, 41, 31), {16, 16}, {}, L::blGlyphLeft, -1, 4).Glyph, Bounds(13, 8, 16, 16));
}

TEST(ButtonGlyph, ImageListDrawDisabledEmbossesOneImageOverTheCanvas) {
  TBitmap strip(8, 4, clLime);  // two 4 x 4 images on a lime (transparent) ground
  strip.SetPixel(1, 1, clRed);
  strip.SetPixel(6, 2, clBlue);
  TImageList images(4, 4);
  images.AddMasked(strip, clLime);
  const TColor light = RGBColor(250, 250, 250), dark = RGBColor(90, 90, 90);
  struct Case {
    int index;
    bool highlight;
    TPoint shadowAt, lightAt;  // within the image; lightAt (-1, -1) for none
  };
  for (const Case c : {Case{0, true, {1, 1}, {2, 2}}, Case{1, true, {2, 2}, {3, 3}}, Case{0, false, {1, 1}, {-1, -1}}}) {
    SCOPED_TRACE(::testing::Message() << c.index << c.highlight);
    TRecordingCanvas canvas;
    ImageListDrawDisabled(images, canvas, 10, 20, c.index, light, dark, c.highlight);
    const auto drawn = canvas.OpsOf(TRecordingCanvas::TOpKind::Bitmap);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0]->R.Left, 10);
    EXPECT_EQ(drawn[0]->R.Top, 20);
    const TBitmap& b = drawn[0]->Bitmap;
    ASSERT_TRUE(b.Transparent);
    int inked = 0;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        if (b.Pixel(x, y) != b.TransparentColor) ++inked;
    EXPECT_EQ(inked, c.highlight ? 2 : 1);  // nothing else covers the canvas
    EXPECT_EQ(b.Pixel(c.shadowAt.X, c.shadowAt.Y), dark);
    if (c.lightAt.X >= 0) {
      EXPECT_EQ(b.Pixel(c.lightAt.X, c.lightAt.Y), light);
    }
  }
  // Outside the list nothing is drawn.
  TRecordingCanvas canvas;
  ImageListDrawDisabled(images, canvas, 0, 0, 2, light, dark, true);
  ImageListDrawDisabled(images, canvas, 0, 0, -1, light, dark, true);
  EXPECT_TRUE(canvas.Ops().empty());
}
