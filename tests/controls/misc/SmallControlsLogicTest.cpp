// The small controls' rules without a display: path utilities and the directory edit's
// text rules, the speed button's glyph states, the pane splitter's button and states,
// the combo edit's pictures.
#include <gtest/gtest.h>

#include <fstream>

#include "controls/misc/ButtonGlyph.h"
#include "controls/misc/ComboEditLayout.h"
#include "controls/misc/FileUtil.h"
#include "controls/misc/PaneSplitterModel.h"
#include "platform/core/Files.h"
#include "test_support/TempDir.h"

// Paths ----------------------------------------------------------------------------

TEST(FileUtil, RemoveBackSlash) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\", "C:\\"}, {"\\", "\\"},       {"/", "/"},           {"", ""},
      {"/home/", "/home"}, {"/home", "/home"}, {"C:\\Tmp\\", "C:\\Tmp"}, {"a/", "a"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(RemoveBackSlash(in), out) << in;
}

TEST(FileUtil, DirectoriesAndTheEditsTextRules) {
  TempDir dir;
  const AnsiString base = dir.Path();
  ForceDirectories(base + "/Travels");
  const AnsiString file = base + "/Travels/altai.tw";
  std::ofstream(SysPath(file)) << "x";

  EXPECT_TRUE(DirExists(base + "/Travels"));
  EXPECT_TRUE(DirExists(base + "/Travels/"));
  EXPECT_FALSE(DirExists(file));
  EXPECT_FALSE(DirExists(base + "/Missing"));
  EXPECT_FALSE(DirExists(""));
  EXPECT_TRUE(FolderOkEnabled(base));
  EXPECT_FALSE(FolderOkEnabled(file));

  // A path that does not exist yet is kept whole (the short/long conversion has no
  // short names here and leaves missing parts alone).
  const AnsiString typed = base + "/New trip/Day 1";
  EXPECT_EQ(ShortToLongPath(typed), typed);
  EXPECT_EQ(LongToShortPath(typed), typed);

  struct StartCase {
    AnsiString text, initialDir, start;
  };
  const StartCase starts[] = {
      {base, "", base},
      {"", base + "/Travels", base + "/Travels"},
      {"", "", "/"},
      {base + "/Missing", base, "/"},
      {"", base + "/Missing", "/"},
  };
  for (const auto& c : starts) EXPECT_EQ(DirectoryDialogStart(c.text, c.initialDir), c.start) << c.text;

  EXPECT_EQ(TextWithChosenDir("/a", "/b", false), "/b");
  EXPECT_EQ(TextWithChosenDir("/a", "/b", true), "/a;/b");
  EXPECT_EQ(TextWithChosenDir("", "/b", true), "/b");

  // Drops: a file gives its folder with the separator; folders and unknown names are
  // taken whole, however long.
  EXPECT_EQ(AcceptDroppedPath(file), base + "/Travels/");
  EXPECT_EQ(AcceptDroppedPath(base + "/Travels"), base + "/Travels");
  const AnsiString longName = "/" + AnsiString(300, 'x') + "/" + AnsiString(300, 'y');
  EXPECT_EQ(AcceptDroppedPath(longName), longName);
  EXPECT_EQ(TextAfterDrop("/old", {file, "/b"}, false), base + "/Travels/");
  EXPECT_EQ(TextAfterDrop("/old", {file, "/b"}, true), "/old;" + base + "/Travels/;/b");
  EXPECT_EQ(TextAfterDrop("", {longName}, true), longName);

  EXPECT_EQ(ConvertDirText("/a;;/b", true, &ShortToLongPath), "/a;/b");
  EXPECT_EQ(ConvertDirText("/a;;/b", false, &ShortToLongPath), "/a;;/b");
}

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
  TFlatButtonGlyph g;
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
  TFlatButtonGlyph g;
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

TEST(ButtonGlyph, Utilities) {
  TFakeTextMetrics m;  // 6 pixels a character
  const TFont f;
  EXPECT_EQ(ShortenTextToWidth("abcdef", m, f, 36), "abcdef");
  EXPECT_EQ(ShortenTextToWidth("abcdefgh", m, f, 36), "abc...");
  EXPECT_EQ(ShortenTextToWidth("abcdefgh", m, f, 5), "...");
  EXPECT_EQ(CenterWindowRect(Bounds(0, 0, 200, 100), Rect(0, 0, 800, 600)), Bounds(300, 250, 200, 100));
  // Larger than the screen: the left and top edges win.
  EXPECT_EQ(CenterWindowRect(Bounds(0, 0, 900, 700), Rect(0, 0, 800, 600)), Bounds(0, 0, 900, 700));
  EXPECT_EQ(RectWidth(Rect(3, 4, 10, 20)), 7);
  EXPECT_EQ(RectHeight(Rect(3, 4, 10, 20)), 16);
}

// Pane splitter ----------------------------------------------------------------------

namespace {

// A neighbour of `size` pixels that the splitter's limits keep within [min, 300].
struct Neighbour {
  int size = 120;
  bool present = true;
  int min = 1;
  std::vector<std::string> log;
  TPaneSplitterModel model;
  explicit Neighbour(TSplitterSide side, TSplitterButtonStyle style = TSplitterButtonStyle::bsNetscape) {
    model.Side = side;
    model.ButtonStyle = style;
    model.MinSize = min;
    model.HasNeighbour = [this] { return present; };
    model.NeighbourSize = [this] { return size; };
    model.SetNeighbourSize = [this](int s) { size = std::clamp(s, min, 300); };
    model.OnMaximize = [this](TObject*) { log.push_back("max"); };
    model.OnMinimize = [this](TObject*) { log.push_back("min"); };
    model.OnRestore = [this](TObject*) { log.push_back("restore"); };
    model.OnClose = [this](TObject*) { log.push_back("close"); };
  }
};

}  // namespace

TEST(PaneSplitterModel, TheNetscapeButtonCollapsesAndRestores) {
  Neighbour n(TSplitterSide::ssBottom);
  n.model.ButtonClicked();
  EXPECT_TRUE(n.model.Maximized());
  EXPECT_EQ(n.size, 1);
  EXPECT_TRUE(n.model.StoresRestorePos());
  EXPECT_EQ(n.model.RestorePos(), 120);
  n.model.ButtonClicked();
  EXPECT_FALSE(n.model.Maximized());
  EXPECT_EQ(n.size, 120);
  EXPECT_FALSE(n.model.StoresRestorePos());
  EXPECT_EQ(n.log, (std::vector<std::string>{"max", "restore"}));
}

TEST(PaneSplitterModel, ADragToMinSizeCollapsesOnce) {
  Neighbour n(TSplitterSide::ssLeft);
  n.size = 1;
  n.model.DragEnded();
  n.model.DragEnded();
  EXPECT_TRUE(n.model.Maximized());
  EXPECT_EQ(n.log, (std::vector<std::string>{"max"}));
  n.size = 80;
  n.model.DragEnded();
  EXPECT_FALSE(n.model.Maximized());
  EXPECT_EQ(n.model.RestorePos(), 80);
  EXPECT_EQ(n.log, (std::vector<std::string>{"max", "restore"}));
}

TEST(PaneSplitterModel, WithoutANeighbourNothingHappens) {
  Neighbour n(TSplitterSide::ssTop);
  n.present = false;
  n.model.ButtonClicked();
  n.model.WindowsButtonClicked(TWindowsButton::wbClose);
  n.model.DragEnded();
  EXPECT_FALSE(n.model.Maximized());
  EXPECT_TRUE(n.log.empty());
  Neighbour none(TSplitterSide::ssNone);
  none.model.ButtonClicked();
  EXPECT_TRUE(none.log.empty());
}

TEST(PaneSplitterModel, StoredWhileCollapsedItRestoresAfterLoading) {
  Neighbour n(TSplitterSide::ssBottom);
  n.model.Loading = true;
  n.model.SetMaximized(true);
  n.model.SetRestorePos(150);
  n.size = 1;
  n.model.Loading = false;
  n.model.BoundsChanged();  // a known restore size stays
  EXPECT_TRUE(n.model.Maximized());
  n.model.ButtonClicked();
  EXPECT_EQ(n.size, 150);
  EXPECT_EQ(n.log, (std::vector<std::string>{"restore"}));
  // An unknown one is taken from the neighbour when the bar is laid out.
  Neighbour fresh(TSplitterSide::ssBottom);
  fresh.model.BoundsChanged();
  EXPECT_EQ(fresh.model.RestorePos(), 120);
}

TEST(PaneSplitterModel, WindowsSquaresMinimiseMaximiseAndClose) {
  struct Case {
    TSplitterSide side;
    int maxSize, minSize;
  };
  // Maximize: -3000 for top and right bars, 3000 for bottom and left; minimize the
  // other way round.
  const Case cases[] = {{TSplitterSide::ssTop, 1, 300}, {TSplitterSide::ssRight, 1, 300},
                        {TSplitterSide::ssBottom, 300, 1}, {TSplitterSide::ssLeft, 300, 1}};
  for (const Case& c : cases) {
    Neighbour n(c.side, TSplitterButtonStyle::bsWindows);
    n.model.WindowsButtonClicked(TWindowsButton::wbMax);
    EXPECT_EQ(n.size, c.maxSize);
    n.model.WindowsButtonClicked(TWindowsButton::wbMin);  // maximised -> minimised, restore kept
    EXPECT_EQ(n.size, c.minSize);
    EXPECT_FALSE(n.model.Maximized());
    EXPECT_TRUE(n.model.Minimized());
    n.model.WindowsButtonClicked(TWindowsButton::wbMin);
    EXPECT_EQ(n.size, 120);
    n.model.WindowsButtonClicked(TWindowsButton::wbClose);
    EXPECT_EQ(n.log, (std::vector<std::string>{"max", "min", "restore", "close"}));
  }
}

TEST(PaneSplitterModel, ButtonGeometryArrowsAndColours) {
  TSplitterButtonGeometry g;
  // A bottom bar 400 x 10: a 100-pixel button centred, one pixel in across the bar.
  EXPECT_EQ(NetscapeButtonRect(Rect(0, 0, 400, 10), TSplitterSide::ssBottom, g), Rect(150, 1, 250, 9));
  g.Beveled = true;
  EXPECT_EQ(NetscapeButtonRect(Rect(0, 0, 400, 10), TSplitterSide::ssBottom, g), Rect(150, 3, 250, 7));
  g.Beveled = false;
  g.WidthType = TButtonWidthType::btwPercentage;
  g.ButtonWidth = 50;
  EXPECT_EQ(NetscapeButtonRect(Rect(0, 0, 10, 200), TSplitterSide::ssLeft, g), Rect(1, 50, 9, 150));
  g.ButtonWidth = 0;
  EXPECT_TRUE(NetscapeButtonRect(Rect(0, 0, 10, 200), TSplitterSide::ssLeft, g).IsEmpty());
  g.WidthType = TButtonWidthType::btwPixels;
  g.ButtonWidth = 1000;  // never past the 1-pixel margin
  EXPECT_EQ(NetscapeButtonRect(Rect(0, 0, 60, 10), TSplitterSide::ssTop, g), Rect(1, 1, 59, 9));

  const auto squares = WindowsButtonRects(Rect(0, 0, 10, 200), TSplitterSide::ssLeft, {});
  ASSERT_EQ(squares.size(), 3u);
  EXPECT_EQ(squares[0].first, TWindowsButton::wbClose);
  EXPECT_EQ(squares[2].first, TWindowsButton::wbMin);
  EXPECT_EQ(squares[0].second, Rect(1, 2, 9, 10));

  EXPECT_EQ(ArrowPolygon({10, 10}, 3, TSplitterSide::ssBottom),
            (std::vector<TPoint>{{10, 10}, {8, 8}, {12, 8}}));  // a base of 5 = 2 x 3 - 1
  EXPECT_EQ(ArrowPolygon({10, 10}, 4, TSplitterSide::ssTop), ArrowPolygon({10, 10}, 3, TSplitterSide::ssTop));
  EXPECT_EQ(AutoHighlightColor(RGBColor(0, 0, 128), RGBColor(192, 192, 192)), RGBColor(135, 135, 173));
  EXPECT_TRUE(IsButtonClick({10, 5}, {14, 9}, Rect(0, 0, 20, 10), TSplitterSide::ssBottom));
  // Along a left bar (its drag axis is x) the pointer may move freely.
  EXPECT_TRUE(IsButtonClick({10, 1}, {10, 9}, Rect(0, 0, 20, 10), TSplitterSide::ssLeft));
  EXPECT_FALSE(IsButtonClick({1, 1}, {8, 1}, Rect(0, 0, 20, 10), TSplitterSide::ssLeft));
  EXPECT_FALSE(IsButtonClick({1, 1}, {30, 1}, Rect(0, 0, 20, 10), TSplitterSide::ssBottom));
}

// Combo edit ---------------------------------------------------------------------------

TEST(ComboEditLayout, HeightsWidthsAndPictures) {
  EXPECT_EQ(ComboEditMinHeight(13, 16, 1), 18);
  EXPECT_EQ(ComboEditMinHeight(13, 11, 1), 16);
  const TBitmap dots = EllipsisGlyph(21);
  EXPECT_EQ(dots.Width(), 15);
  EXPECT_EQ(dots.Height(), 4);
  int black = 0;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 15; ++x) black += dots.Pixel(x, y) == clBlack;
  EXPECT_EQ(black, 12);  // three 2 x 2 dots
  EXPECT_EQ(EllipsisGlyph(3).Width(), 1);
  const TBitmap folder = DirectoryEditGlyph();
  EXPECT_EQ(ComboEditButtonWidth(TGlyphKind::gkDefault, 10, folder, 1, 17), folder.Width() + 6);
  EXPECT_EQ(ComboEditButtonWidth(TGlyphKind::gkDefault, 40, folder, 1, 17), 40);
  EXPECT_EQ(ComboEditButtonWidth(TGlyphKind::gkDropDown, 40, DropDownGlyph(), 1, 17), 17);
  EXPECT_EQ(ComboEditButtonWidth(TGlyphKind::gkEllipsis, 21, dots, 1, 17), 21);
}
