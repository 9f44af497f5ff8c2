#include <gtest/gtest.h>

#include "platform/core/DrawUtils.h"
#include "platform/core/ImageList.h"
#include "platform/core/Resources.h"

using Kind = TRecordingCanvas::TOpKind;

TEST(Colors, ValuesAndSystemIndexes) {
  EXPECT_EQ(RGBColor(1, 2, 3), 0x030201u);
  EXPECT_EQ(GetRValue(clRed), 255);
  EXPECT_EQ(GetBValue(clBlue), 255);
  EXPECT_EQ(clInfoBk, 0x80000018u);
  EXPECT_EQ(ColorToRGB(clGreen), 0x008000u);
  // System colours resolve through the current table, and follow its changes.
  const TSysColorTable saved = SysColors();
  TSysColorTable t = saved;
  t[COLOR_BTNFACE] = RGBColor(1, 2, 3);
  SetSysColors(t);
  EXPECT_EQ(ColorToRGB(clBtnFace), RGBColor(1, 2, 3));
  SetSysColors(saved);
  EXPECT_EQ(ColorToRGB(SysColor(200)), clBlack);
  EXPECT_EQ(ColorToRGB(clNone), clBlack);
}

TEST(Rects, ExclusiveEdgesAndSetOperations) {
  const TRect r = Rect(0, 0, 10, 5);
  EXPECT_TRUE(r.Contains({9, 4}));
  EXPECT_FALSE(r.Contains({10, 4}));
  EXPECT_FALSE(r.Contains({9, 5}));
  EXPECT_EQ(Bounds(2, 3, 4, 5), Rect(2, 3, 6, 8));
  EXPECT_EQ(IntersectRect(Rect(0, 0, 10, 10), Rect(5, 5, 20, 20)), Rect(5, 5, 10, 10));
  EXPECT_EQ(IntersectRect(Rect(0, 0, 10, 10), Rect(10, 0, 20, 10)), TRect{});  // touching: empty
  EXPECT_EQ(UnionRect(Rect(0, 0, 1, 1), Rect(5, 5, 6, 6)), Rect(0, 0, 6, 6));
  EXPECT_EQ(InflateRect(Rect(2, 2, 4, 4), 1, 2), Rect(1, 0, 5, 6));
}

TEST(Fonts, HeightSignAndPointSize) {
  TFont f;
  EXPECT_EQ(f.Height, -11);
  EXPECT_EQ(f.Size(), 8);
  f.SetSize(10);
  EXPECT_EQ(f.Height, -13);
  f.SetSize(12);
  EXPECT_EQ(f.Height, -16);
  TFakeTextMetrics m;
  EXPECT_EQ(m.TextHeight(TFont{}), 13);  // character height 11 + leading
  TFont cell;
  cell.Height = 13;
  EXPECT_EQ(m.TextHeight(cell), 13);     // cell height as given
}

// DrawText's layout with 6-pixel characters and 13-pixel lines.
struct LayoutCase {
  const char* text;
  TRect r;
  unsigned flags;
  std::vector<std::pair<int, int>> positions;  // (x, y) of each line
  std::vector<AnsiString> lines;
};

TEST(TextLayout, AlignmentEllipsisPrefixesAndBreaks) {
  const TFakeTextMetrics m;
  const TFont f;
  const std::vector<LayoutCase> cases = {
      {"abc", Rect(10, 20, 110, 40), DT_LEFT | DT_SINGLELINE, {{10, 20}}, {"abc"}},
      {"abc", Rect(10, 20, 110, 40), DT_RIGHT | DT_SINGLELINE, {{92, 20}}, {"abc"}},
      {"abc", Rect(10, 20, 110, 40), DT_CENTER | DT_SINGLELINE | DT_VCENTER, {{51, 23}}, {"abc"}},
      {"abc", Rect(10, 20, 110, 40), DT_SINGLELINE | DT_BOTTOM, {{10, 27}}, {"abc"}},
      // VCENTER and BOTTOM act only on a single line.
      {"abc", Rect(10, 20, 110, 40), DT_VCENTER, {{10, 20}}, {"abc"}},
      // 10 characters in 40 pixels: 3 of them and the dots (36 pixels).
      {"abcdefghij", Rect(0, 0, 40, 13), DT_SINGLELINE | DT_END_ELLIPSIS, {{0, 0}}, {"abc..."}},
      {"abcdef", Rect(0, 0, 36, 13), DT_SINGLELINE | DT_END_ELLIPSIS, {{0, 0}}, {"abcdef"}},
      {"abcdef", Rect(0, 0, 10, 13), DT_SINGLELINE | DT_END_ELLIPSIS, {{0, 0}}, {"..."}},
      {"a&bc", Rect(0, 0, 100, 13), DT_SINGLELINE, {{0, 0}}, {"abc"}},
      {"a&&bc", Rect(0, 0, 100, 13), DT_SINGLELINE, {{0, 0}}, {"a&bc"}},
      {"a&bc", Rect(0, 0, 100, 13), DT_SINGLELINE | DT_NOPREFIX, {{0, 0}}, {"a&bc"}},
      {"one\r\ntwo\nthree", Rect(0, 0, 100, 50), DT_LEFT, {{0, 0}, {0, 13}, {0, 26}}, {"one", "two", "three"}},
      {"one\r\ntwo", Rect(0, 0, 100, 50), DT_SINGLELINE, {{0, 0}}, {"one  two"}},
      // Word break at 60 pixels (10 characters); a longer word stays whole.
      {"alpha beta gamma", Rect(0, 0, 60, 50), DT_WORDBREAK, {{0, 0}, {0, 13}}, {"alpha beta", "gamma"}},
      {"extraordinarily x", Rect(0, 0, 30, 50), DT_WORDBREAK, {{0, 0}, {0, 13}}, {"extraordinarily", "x"}},
  };
  for (const LayoutCase& c : cases) {
    const TTextLayout l = LayoutText(m, f, c.text, c.r, c.flags);
    ASSERT_EQ(l.Runs.size(), c.lines.size()) << c.text;
    for (std::size_t i = 0; i < l.Runs.size(); ++i) {
      EXPECT_EQ(l.Runs[i].Text, c.lines[i]) << c.text;
      EXPECT_EQ(std::make_pair(l.Runs[i].X, l.Runs[i].Y), c.positions[i]) << c.text << " line " << i;
    }
  }
}

TEST(TextLayout, UnderlinedPrefixAndCalcRect) {
  const TFakeTextMetrics m;
  const TFont f;
  TTextLayout l = LayoutText(m, f, "&File", Rect(0, 0, 100, 20), DT_SINGLELINE);
  EXPECT_EQ(l.Runs[0].UnderlineIndex, 0);
  // An ellipsis that cuts the underlined letter drops the underline.
  l = LayoutText(m, f, "abcde&fgh", Rect(0, 0, 36, 20), DT_SINGLELINE | DT_END_ELLIPSIS);
  EXPECT_EQ(l.Runs[0].Text, "abc...");
  EXPECT_EQ(l.Runs[0].UnderlineIndex, -1);
  // CALCRECT keeps left and top; no ellipsis while measuring.
  l = LayoutText(m, f, "abcdefghij", Rect(5, 7, 20, 8), DT_SINGLELINE | DT_CALCRECT | DT_END_ELLIPSIS);
  EXPECT_EQ(l.Bounds, Rect(5, 7, 65, 20));
  l = LayoutText(m, f, "alpha beta gamma", Rect(0, 0, 60, 0), DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(l.Bounds, Rect(0, 0, 60, 26));
  EXPECT_EQ(l.Height, 26);
}

TEST(RecordingCanvas, DrawTextClipsToItsRectangleAndRestoresTheClip) {
  TRecordingCanvas c(Rect(0, 0, 200, 100));
  TRect r = Rect(10, 10, 50, 30);
  c.DrawText("abcdefghij", r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  ASSERT_EQ(c.Texts(), std::vector<AnsiString>{"abc..."});
  const auto* op = c.OpsOf(Kind::Text)[0];
  EXPECT_EQ(op->Clip, Rect(10, 10, 50, 30));
  EXPECT_EQ(op->Flags, unsigned(DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX));
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 200, 100));
  // DT_NOCLIP draws without clipping; DT_CALCRECT draws nothing.
  c.Clear();
  c.DrawText("x", r, DT_NOCLIP);
  EXPECT_EQ(c.OpsOf(Kind::Text)[0]->Clip, Rect(0, 0, 200, 100));
  c.Clear();
  TRect calc = Rect(0, 0, 0, 0);
  EXPECT_EQ(c.DrawText("abc", calc, DT_CALCRECT | DT_SINGLELINE), 13);
  EXPECT_EQ(calc, Rect(0, 0, 18, 13));
  EXPECT_TRUE(c.Ops().empty());
}

TEST(DrawHelpers, FramesAndEdgesUseTheSystemColours) {
  TRecordingCanvas c;
  c.Brush.Color = clYellow;
  Draw3DRect(c, 0, 0, 10, 5, clWhite, clBlack);
  // Top and left without the far corners, right and bottom whole; the brush survives.
  const auto fills = c.OpsOf(Kind::FillRect);
  ASSERT_EQ(fills.size(), 4u);
  EXPECT_EQ(fills[0]->R, Rect(0, 0, 9, 1));
  EXPECT_EQ(fills[1]->R, Rect(0, 0, 1, 4));
  EXPECT_EQ(fills[2]->R, Rect(9, 0, 10, 5));
  EXPECT_EQ(fills[3]->R, Rect(0, 4, 10, 5));
  EXPECT_EQ(fills[0]->Brush.Color, clWhite);
  EXPECT_EQ(fills[3]->Brush.Color, clBlack);
  EXPECT_EQ(c.Brush.Color, clYellow);

  c.Clear();
  TRect r = Rect(0, 0, 20, 10);
  DrawEdge(c, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
  EXPECT_EQ(r, Rect(2, 2, 18, 8));
  std::vector<TColor> colours;
  for (const auto* op : c.OpsOf(Kind::FillRect)) colours.push_back(op->Brush.Color);
  const std::vector<TColor> expected = {cl3DDkShadow, cl3DDkShadow, cl3DLight, cl3DLight,
                                        clBtnShadow, clBtnShadow, clBtnHighlight, clBtnHighlight};
  EXPECT_EQ(colours, expected);

  c.Clear();
  Draw3DFrame(c, Rect(0, 0, 20, 10), false);
  ASSERT_EQ(c.OpsOf(Kind::FillRect).size(), 8u);
  EXPECT_EQ(c.OpsOf(Kind::FillRect)[0]->Brush.Color, clBtnShadow);
  EXPECT_EQ(c.OpsOf(Kind::FillRect)[4]->Brush.Color, cl3DDkShadow);
  EXPECT_EQ(c.OpsOf(Kind::FillRect)[4]->R, Rect(1, 1, 18, 2));
}

TEST(ImageLists, StripsStylesAndBadIndexes) {
  TBitmap strip(32, 16, clFuchsia);
  strip.Fill(Rect(2, 2, 6, 6), clBlack);     // image 0
  strip.Fill(Rect(18, 2, 22, 6), clWhite);   // image 1
  TImageList list(16, 16);
  EXPECT_EQ(list.Add(strip), 0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Image(1).Pixel(2, 2), clWhite);
  EXPECT_TRUE(list.Image(0).Transparent);
  EXPECT_EQ(list.Image(0).EffectiveTransparentColor(), clFuchsia);
  EXPECT_THROW(list.Image(2), EListError);

  // Selected: half-way to the highlight colour; transparent pixels kept.
  TSysColorTable saved = SysColors(), t = saved;
  t[COLOR_HIGHLIGHT] = RGBColor(0, 0, 200);
  SetSysColors(t);
  const TBitmap sel = list.StyledImage(1, TDrawingStyle::dsSelected, true);
  EXPECT_EQ(sel.Pixel(2, 2), RGBColor(128, 128, 228));
  EXPECT_EQ(sel.Pixel(0, 0), clFuchsia);
  const TBitmap focus = list.StyledImage(1, TDrawingStyle::dsFocus, true);
  EXPECT_EQ(focus.Pixel(2, 2), RGBColor(192, 192, 242));
  // Disabled: the dark square embossed: shadow at its place, highlight one pixel off.
  const TBitmap off = list.StyledImage(0, TDrawingStyle::dsNormal, false);
  EXPECT_EQ(off.Pixel(2, 2), ColorToRGB(clBtnShadow));
  EXPECT_EQ(off.Pixel(6, 6), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(off.Pixel(10, 10), off.EffectiveTransparentColor());
  SetSysColors(saved);

  TRecordingCanvas c;
  list.Draw(c, 5, 5, 7);  // outside the list: nothing
  list.Draw(c, 5, 5, 1);
  ASSERT_EQ(c.OpsOf(Kind::Bitmap).size(), 1u);
  EXPECT_EQ(c.OpsOf(Kind::Bitmap)[0]->R, Rect(5, 5, 21, 21));
}

TEST(Resources, NamedBitmapsAreDrawnAndUnknownNamesFail) {
  const TBitmap& plus = ResourceBitmap("PlusBmp");
  const TBitmap& minus = ResourceBitmap("MINUSBMP");
  EXPECT_EQ(plus.Width(), 9);
  EXPECT_EQ(plus.Pixel(4, 2), clBlack);   // the vertical bar of the plus
  EXPECT_EQ(minus.Pixel(4, 2), clWhite);
  EXPECT_EQ(minus.Pixel(4, 4), clBlack);
  for (const char* name : {"MTHEADERASCBMP", "MTHEADERDESCBMP", "MTHEADERLEFTBMP", "MTHEADERRIGHTBMP",
                           "MTHEADERPOINTBMP", "FEDITBMP", "COMBOARROW"}) {
    const TBitmap& b = ResourceBitmap(name);
    EXPECT_TRUE(b.Transparent) << name;
    // The background is the bottom-left pixel, and something is drawn on it.
    int drawn = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) drawn += b.Pixel(x, y) != b.EffectiveTransparentColor();
    EXPECT_GT(drawn, 3) << name;
  }
  // The ascending mark points up: its top row is narrower than its base.
  const TBitmap& asc = ResourceBitmap("MTHEADERASCBMP");
  auto inked = [&](int y) {
    int n = 0;
    for (int x = 0; x < asc.Width(); ++x) n += asc.Pixel(x, y) != asc.EffectiveTransparentColor();
    return n;
  };
  EXPECT_LT(inked(0), inked(3));
  EXPECT_THROW(ResourceBitmap("NOSUCHBMP"), EResNotFound);
}
