// The tree control's geometry without a window: row heights, pages, rows under a point,
// the main cell's pieces and what a point hits, cell colours, the wheel and navigation.
#include <gtest/gtest.h>

#include "controls/tree/MtTreeLayout.h"

namespace {

struct HeightCase {
  int fontHeight, imageHeight;
  bool bar, lines;
  int expected;
};

TEST(MtTreeLayout, LineHeightTable) {
  const HeightCase cases[] = {
      {-11, 0, false, false, 19},  // max(17, 11 + 4) + 2
      {-11, 0, false, true, 21},   // + 2 for horizontal lines
      {-11, 0, true, true, 21},    // BarStyle: + 4, no extra for lines
      {-11, 16, false, false, 19}, // an image of 16 counts as 17
      {-11, 24, false, false, 26}, // a taller image decides
      {-16, 0, false, false, 22},  // a larger font in points
      {15, 0, false, false, 19},   // a height in pixels: + 2
      {-20, 20, false, false, 26}, // the text wins over the image
  };
  for (const HeightCase& c : cases)
    EXPECT_EQ(MtDefineLineHeight(c.fontHeight, c.imageHeight, c.bar, c.lines), c.expected)
        << c.fontHeight << " " << c.imageHeight << " " << c.bar << c.lines;
}

TEST(MtTreeLayout, PagesTopIndexAndRowsUnderAPoint) {
  EXPECT_EQ(MtRowsPerPage(100, 19, 19), 5);  // 81 = 4 rows + a partial one
  EXPECT_EQ(MtFullRowsPerPage(100, 19, 19), 4);
  EXPECT_EQ(MtRowsPerPage(95, 0, 19), 5);
  EXPECT_EQ(MtRowsPerPage(10, 19, 19), 0);

  EXPECT_EQ(MtClampTopIndex(-3, 10, 5), 0);
  EXPECT_EQ(MtClampTopIndex(8, 10, 5), 6);  // rows - page + 1
  EXPECT_EQ(MtClampTopIndex(3, 2, 5), 0);

  struct {
    int y, expected;
  } rows[] = {{0, -1}, {18, -1}, {19, 2}, {37, 2}, {38, 3}, {19 + 19 * 7, 9}, {19 + 19 * 8, -1}};
  // Header 19, rows of 19, top row 2, ten rows: a point in the header is on no row.
  for (auto r : rows) EXPECT_EQ(MtRowAtY(r.y, 19, 19, 2, 10), r.expected) << r.y;
}

// A tree whose items the layout reads: top "A" with child "B" (with child "C"), and "D".
class MainCellTest : public testing::Test {
 protected:
  void SetUp() override {
    a = tree.Items()->AddChild(nullptr, "A");
    b = tree.Items()->AddChild(a, "B");
    c = tree.Items()->AddChild(b, "C");
    d = tree.Items()->AddChild(nullptr, "D");
    look.ImageWidth = look.ImageHeight = 16;
    look.ImageCount = 3;
  }
  TCustomMtTree tree;
  TMtTreeItem *a, *b, *c, *d;
  TMtTreeLook look;
};

TEST_F(MainCellTest, PiecesLeftToRight) {
  // B: root column 17 + one level 17 = indent 34, its button in 17..34; no check box; image
  // at 34..50, gap 5, text at 55.
  TMtMainCell cell = MtLayoutMainCell(look, *b, 0, 400, 19, 19, 30, 0, -1);
  EXPECT_EQ(cell.Indent, 34);
  EXPECT_EQ(cell.Button, Rect(17, 19, 34, 38));
  EXPECT_TRUE(cell.CheckBox.IsEmpty());
  EXPECT_EQ(cell.Image, Rect(34, 20, 50, 36));
  EXPECT_TRUE(cell.Image2.IsEmpty());
  EXPECT_EQ(cell.TextLeft, 55);
  EXPECT_EQ(cell.TextRight, 85);

  // A check box and the second image (from the first list): box 19..4 before the images.
  tree.SetShowCheckboxes(true);
  look.ShowCheckboxes = true;
  b->ShowCheckBox = true;
  cell = MtLayoutMainCell(look, *b, 0, 400, 0, 19, 30, 0, 1);
  EXPECT_EQ(cell.CheckBox, Rect(36, 2, 51, 17));
  EXPECT_EQ(cell.Image2, Rect(55, 1, 71, 17));
  EXPECT_EQ(cell.Image, Rect(76, 1, 92, 17));
  EXPECT_EQ(cell.TextLeft, 97);
  EXPECT_EQ(MtMeasureMainCell(look, *b, 30, 0, 1), 127);

  // An index outside the list takes no room; the text is clipped to the cell.
  cell = MtLayoutMainCell(look, *c, 0, 70, 0, 19, 30, 7, -1);
  EXPECT_TRUE(cell.Image.IsEmpty());
  EXPECT_EQ(cell.TextLeft, 51);
  EXPECT_EQ(cell.TextRight, 70);
}

TEST_F(MainCellTest, HitTestTable) {
  // D: top level, no children: no button. A: has children: button 0..17.
  const TMtMainCell cellD = MtLayoutMainCell(look, *d, 0, 400, 0, 19, 30, 0, -1);
  const TMtMainCell cellA = MtLayoutMainCell(look, *a, 0, 400, 0, 19, 30, 0, -1);
  ASSERT_EQ(cellD.TextLeft, 17 + 16 + 5);
  struct {
    const TMtMainCell* cell;
    int x;
    TMtHitPart part;
  } cases[] = {
      {&cellD, cellD.TextLeft, hpText},        {&cellD, cellD.TextLeft + 29, hpText},
      {&cellD, cellD.TextLeft + 30, hpElsewhere},  // past the text
      {&cellD, cellD.TextLeft - 10, hpImage},  // 10 px left of the text: the 16-px image
      {&cellD, cellD.TextLeft - 3, hpElsewhere},   // in the 5-px gap
      {&cellD, 5, hpElsewhere},                // where a button would be: none without children
      {&cellA, 5, hpButton},
      {&cellA, 16, hpButton},
  };
  for (auto c : cases) EXPECT_EQ(MtMainCellPartAt(*c.cell, c.x), c.part) << c.x;

  d->ForceButtons = true;
  EXPECT_EQ(MtMainCellPartAt(MtLayoutMainCell(look, *d, 0, 400, 0, 19, 30, 0, -1), 5), hpButton);
  // Without root buttons a top-level item has neither the root column nor a button.
  look.ShowRootButtons = false;
  const TMtMainCell flat = MtLayoutMainCell(look, *a, 0, 400, 0, 19, 30, 0, -1);
  EXPECT_EQ(flat.Indent, 0);
  EXPECT_TRUE(flat.Button.IsEmpty());
}

TEST_F(MainCellTest, TreeLinesFollowSiblings) {
  a->Expand(true);
  // C (level 2) under B (no next sibling) under A (next sibling D): with ShowRoot the
  // column of A carries a line down to D; B's column has none.
  look.ShowRoot = true;
  const auto lines = MtTreeLines(look, *c, 0, 0, 19);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].X1, 17 * 2 + 8);  // own column: the middle of slot 2
  EXPECT_EQ(lines[0].Y2, 10);          // no next sibling: down to the middle only
  EXPECT_EQ(lines[1].X2, 17 * 3);      // the stub to the item
  EXPECT_EQ(lines[2].X1, 8);           // A's column
  look.ShowLines = false;
  EXPECT_TRUE(MtTreeLines(look, *c, 0, 0, 19).empty());
}

TEST(MtTreeLayout, ClippedTreeLinesAreTheLinesInTheClip) {
  // A chain of 40 levels; every third item has a following sibling, so its column carries
  // a line past the rows below it. The deepest item's lines, clipped to windows of the
  // columns, are the full set's lines in the window; rows followed in order reuse the path.
  TCustomMtTree tree;
  TMtTreeItem* item = nullptr;
  for (int i = 0; i < 40; ++i) {
    TMtTreeItem* next = tree.Items()->AddChild(item, "x");
    if (i % 3 == 0) tree.Items()->AddChild(item, "sibling");
    item = next;
  }
  TMtAncestorPath path;
  for (TMtTreeItem* row = tree.Items()->GetItem(0); row != nullptr; row = row->GetNext()) path.Follow(*row);
  path.Follow(*item);
  for (bool mirrored : {false, true}) {
    TMtTreeLook look;
    look.ShowRoot = true;
    look.RightAligned = mirrored;
    const auto all = MtTreeLines(look, *item, 0, 900, 0, 19);
    for (auto [left, right] : {std::pair{0, 900}, {100, 300}, {-50, 60}, {620, 700}, {301, 302}}) {
      const auto clipped = MtTreeLinesIn(look, *item, path, 0, 900, 0, 19, left, right);
      std::vector<TMtLineSegment> expected(all.begin(), all.begin() + 2);  // its own, always
      for (auto it = all.begin() + 2; it != all.end(); ++it)
        if (it->X1 >= left && it->X1 < right) expected.push_back(*it);
      ASSERT_EQ(clipped.size(), expected.size()) << mirrored << " " << left << ".." << right;
      for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(clipped[i].X1, expected[i].X1);
        EXPECT_EQ(clipped[i].Y1, expected[i].Y1);
        EXPECT_EQ(clipped[i].Y2, expected[i].Y2);
      }
    }
    EXPECT_EQ(all.size(), 2u + 13u);  // its own two, and levels 0, 3, .. 36
  }
}

TEST(MtTreeLayout, CellColourPrecedence) {
  struct Case {
    const char* name;
    std::function<void(TMtCellPaintInput&)> set;
    TColor bk, text;
    bool underline;
  };
  const Case cases[] = {
      {"tree", [](TMtCellPaintInput&) {}, clWindow, clWindowText, false},
      {"item", [](TMtCellPaintInput& i) { i.ParentColors = false, i.ItemBk = clYellow, i.ItemColor = clRed; },
       clYellow, clRed, false},
      {"style over item",
       [](TMtCellPaintInput& i) {
         i.ParentColors = false, i.ItemBk = clYellow, i.HasStyle = true, i.StyleBk = clAqua, i.StyleText = clBlue;
       },
       clAqua, clBlue, false},
      {"selected", [](TMtCellPaintInput& i) { i.Selected = true; }, clHighlight, clHighlightText, false},
      {"selected, other cell", [](TMtCellPaintInput& i) { i.Selected = true, i.SelectionCell = false; }, clWindow,
       clWindowText, false},
      {"selected, inactive", [](TMtCellPaintInput& i) { i.Selected = true, i.ActiveLook = false; }, clBtnFace,
       clWindowText, false},
      {"bar style", [](TMtCellPaintInput& i) { i.Selected = true, i.BarStyle = true; }, clWindow, clWindowText,
       false},
      {"hot", [](TMtCellPaintInput& i) { i.Hot = true; }, clWindow, clHighlight, true},
      {"hot and selected", [](TMtCellPaintInput& i) { i.Hot = true, i.Selected = true; }, clHighlight,
       clBtnHighlight, true},
      {"drop rect accepted",
       [](TMtCellPaintInput& i) { i.DropTarget = true, i.DropMode = TDragTargetDraw::ColorRect; }, clGreen,
       clBtnText, false},
      {"drop rect refused",
       [](TMtCellPaintInput& i) {
         i.DropTarget = true, i.DropMode = TDragTargetDraw::ColorRect, i.DropAccepted = false;
       },
       clRed, clBtnText, false},
      {"drop sel rect", [](TMtCellPaintInput& i) { i.DropTarget = true; }, clHighlight, clHighlightText, false},
      {"drop frame", [](TMtCellPaintInput& i) { i.DropTarget = true, i.DropMode = TDragTargetDraw::ColorFrame; },
       clWindow, clWindowText, false},
  };
  for (const Case& c : cases) {
    TMtCellPaintInput in;
    c.set(in);
    const TMtCellColors got = MtCellColors(in);
    EXPECT_EQ(got.Bk, c.bk) << c.name;
    EXPECT_EQ(got.Text, c.text) << c.name;
    EXPECT_EQ(got.Underline, c.underline) << c.name;
  }
  TMtCellPaintInput frame;
  frame.DropTarget = true;
  frame.DropMode = TDragTargetDraw::ColorFrame;
  EXPECT_EQ(MtDropFrameColor(frame), clGreen);
  frame.DropAccepted = false;
  EXPECT_EQ(MtDropFrameColor(frame), clRed);
}

TEST(MtTreeLayout, WheelTable) {
  struct {
    int lines, pages;
    std::vector<int> deltas;
    std::vector<int> rows;
  } cases[] = {
      {3, 10, {120}, {3}},             // one notch, 3 lines
      {0, 10, {120}, {1}},             // the setting 0 counts as 1
      {3, 10, {-120, -240}, {-3, -6}},
      {200, 10, {120}, {120}},         // above 120 lines: 120, no division by zero
      {-1, 10, {120}, {9}},            // a page per notch: rows per page - 1
      {3, 10, {15, 15, 15, 15, 15, 15, 15, 15}, {0, 0, 1, 0, 0, 1, 0, 1}},  // small steps add up
      {1, 10, {60, -60, -60}, {0, 0, -1}},  // a change of direction drops the rest
  };
  for (auto& c : cases) {
    TMtWheelAccumulator acc;
    std::vector<int> got;
    for (int d : c.deltas) got.push_back(acc.Rows(d, c.lines, c.pages));
    EXPECT_EQ(got, c.rows) << c.lines;
  }
}

TEST(MtTreeLayout, NavigationTable) {
  struct {
    TMtNavKey key;
    int from, expected;
  } cases[] = {
      {TMtNavKey::Up, 0, 0},       {TMtNavKey::Up, 5, 4},        {TMtNavKey::Down, 19, 19},
      {TMtNavKey::Down, -1, 0},    {TMtNavKey::PageDown, 2, 7},  {TMtNavKey::PageDown, 17, 19},
      {TMtNavKey::PageUp, 3, 0},   {TMtNavKey::PageUp, 12, 7},   {TMtNavKey::Home, 9, 0},
      {TMtNavKey::End, 9, 19},
  };
  for (auto c : cases) EXPECT_EQ(MtNavigateRow(c.key, c.from, 20, 5), c.expected) << c.from;
  EXPECT_EQ(MtNavigateRow(TMtNavKey::Down, -1, 0, 5), -1);  // an empty tree
  EXPECT_EQ(MtNavigateRow(TMtNavKey::End, -1, 20, 5), 19);

  EXPECT_EQ(MtTopIndexShowing(5, 3, 4, false), 3);   // on screen: stays
  EXPECT_EQ(MtTopIndexShowing(9, 3, 4, false), 6);   // below: becomes the last row
  EXPECT_EQ(MtTopIndexShowing(9, 3, 4, true), 9);    // below, aligned to the top
  EXPECT_EQ(MtTopIndexShowing(1, 3, 4, false), 1);   // above: becomes the first row
}

TEST(MtTreeLayout, OutlineLines) {
  // Level - 1 spaces before the text; none for the levels 0 and 1.
  TCustomMtTree tree;
  TMtTreeItem* parent = nullptr;
  const char* expected[] = {"L0", "L1", " L2", "  L3", "   L4"};
  for (int level = 0; level < 5; ++level) {
    parent = tree.Items()->AddChild(parent, "L" + std::to_string(level));
    ASSERT_EQ(parent->GetLevel(), level);
    EXPECT_EQ(MtOutlineLine(*parent), expected[level]);
  }
}

}  // namespace
