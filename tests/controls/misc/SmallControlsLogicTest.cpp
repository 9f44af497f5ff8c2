// The small controls' rules without a display: path utilities and the directory edit's
// text rules, the window utilities, the pane splitter's button and states,
// the combo edit's pictures.
#include <gtest/gtest.h>

#include <fstream>

#include "controls/misc/WindowUtils.h"
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
      {"d:/", "d:/"},     {"1:\\", "1:"},      {"::\\", "::"},  // a drive root starts with a letter
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

  // Long and short names: each component after the first as the disk has it (no short
  // names here); one that does not exist becomes empty, its separator stays.
  const std::pair<AnsiString, AnsiString> names[] = {
      {file, file},
      {base + "/TRAVELS/Altai.TW", file},
      {base + "/Travels/", base + "/Travels/"},
      {base + "/Travels/missing.tw", base + "/Travels/"},
      {base + "/New trip/Day 1", base + "//"},
      {base + "\\Travels\\altai.tw", base + "\\Travels\\altai.tw"},
      {"no-such-folder-here/x", "no-such-folder-here/"},
      {"/", "/"},
      {"", ""},
  };
  for (const auto& [in, out] : names) {
    EXPECT_EQ(ShortToLongPath(in), out) << in;
    EXPECT_EQ(LongToShortPath(in), out) << in;
  }
  EXPECT_EQ(ConvertDirText(base + "/travels;;" + base + "/Gone", true, &ShortToLongPath),
            base + "/Travels;" + base + "/");

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

  const auto same = [](std::string_view p) { return AnsiString(p); };
  EXPECT_EQ(ConvertDirText("/a;;/b", true, same), "/a;/b");
  EXPECT_EQ(ConvertDirText("/a;;/b", false, same), "/a;;/b");
}

TEST(FileUtil, ExtractTokenWalksAList) {
  AnsiString rest = "/a;;/b c;";
  std::vector<AnsiString> tokens;
  while (!rest.empty()) tokens.push_back(ExtractToken(rest, ";"));
  EXPECT_EQ(tokens, (std::vector<AnsiString>{"/a", "", "/b c"}));
  rest = "x,y;z";
  EXPECT_EQ(ExtractToken(rest, ";,"), "x");
  EXPECT_EQ(rest, "y;z");
  rest = "whole";
  EXPECT_EQ(ExtractToken(rest, ";"), "whole");
  EXPECT_EQ(rest, "");
}

TEST(ComboEditLayout, ThePopupGoesBelowOrAbove) {
  const TRect screen = Rect(0, 0, 800, 600);
  EXPECT_EQ(ComboPopupPosition(Bounds(10, 100, 150, 21), 200, screen), (TPoint{10, 121}));
  EXPECT_EQ(ComboPopupPosition(Bounds(10, 500, 150, 21), 200, screen), (TPoint{10, 300}));  // above
  EXPECT_EQ(ComboPopupPosition(Bounds(10, 150, 150, 21), 500, screen), (TPoint{10, 171}));  // no room either way
  EXPECT_EQ(ComboPopupPosition(Bounds(10, 379, 150, 21), 200, screen), (TPoint{10, 400}));  // just fits below
}

// Window utilities -------------------------------------------------------------------

TEST(WindowUtils, ShortenCentreAndSizes) {
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
  g.Beveled = true;  // 3 pixels shorter again at each side across the bar
  EXPECT_EQ(NetscapeButtonRect(Rect(0, 0, 400, 10), TSplitterSide::ssBottom, g), Rect(150, 4, 250, 6));
  EXPECT_EQ(NetscapeButtonRect(Rect(0, 0, 12, 200), TSplitterSide::ssRight, g), Rect(4, 50, 8, 150));
  g.Beveled = false;
  g.WidthType = TButtonWidthType::btwPercentage;
  g.ButtonWidth = 50;
  EXPECT_EQ(NetscapeButtonRect(Rect(0, 0, 10, 200), TSplitterSide::ssLeft, g), Rect(1, 50, 9, 150));
  g.ButtonWidth = 0;
  EXPECT_TRUE(NetscapeButtonRect(Rect(0, 0, 10, 200), TSplitterSide::ssLeft, g).IsEmpty());
  g.WidthType = TButtonWidthType::btwPixels;
  g.ButtonWidth = 1000;  // never past the 1-pixel margin
  EXPECT_EQ(NetscapeButtonRect(Rect(0, 0, 60, 10), TSplitterSide::ssTop, g), Rect(1, 1, 59, 9));

  // The Windows squares sit at the far end of the bar (its bottom, its right end), one
  // bar thickness each, inset by 1, inside a 1-pixel margin.
  using Squares = std::vector<std::pair<TWindowsButton, TRect>>;
  const auto wbMin = TWindowsButton::wbMin, wbMax = TWindowsButton::wbMax, wbClose = TWindowsButton::wbClose;
  struct SquareCase {
    TRect client;
    TSplitterSide side;
    std::vector<TWindowsButton> shown;
    Squares expected;
  };
  const SquareCase squareCases[] = {
      {Rect(0, 0, 10, 200), TSplitterSide::ssLeft, {wbMin, wbMax, wbClose},
       {{wbClose, Rect(1, 170, 9, 178)}, {wbMax, Rect(1, 180, 9, 188)}, {wbMin, Rect(1, 190, 9, 198)}}},
      {Rect(0, 0, 200, 10), TSplitterSide::ssBottom, {wbMin, wbMax, wbClose},
       {{wbMin, Rect(170, 1, 178, 9)}, {wbMax, Rect(180, 1, 188, 9)}, {wbClose, Rect(190, 1, 198, 9)}}},
      {Rect(0, 0, 200, 10), TSplitterSide::ssTop, {wbClose, wbMin},
       {{wbMin, Rect(180, 1, 188, 9)}, {wbClose, Rect(190, 1, 198, 9)}}},
      {Rect(0, 0, 10, 200), TSplitterSide::ssRight, {wbMax}, {{wbMax, Rect(1, 190, 9, 198)}}},
  };
  for (const SquareCase& c : squareCases) {
    TSplitterButtonGeometry sg;
    sg.Style = TSplitterButtonStyle::bsWindows;
    sg.WindowsButtons = c.shown;
    EXPECT_EQ(WindowsButtonRects(c.client, c.side, sg), c.expected) << static_cast<int>(c.side);
  }

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
