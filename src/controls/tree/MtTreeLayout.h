// The tree control's geometry and paint decisions without a window: the row height, the
// rows on a page and the clamped top row, which row a y falls on, where the pieces of
// the main cell lie (indentation, tree lines, expand button, check box, two images and
// the text), what a point hits (GetItemAt's parts), the width a main cell needs, the
// colours and font style of a cell, the wheel's scroll steps and the row a navigation
// key moves to. The control (controls/gui/MtTreeView) paints and hit-tests with these
// same functions, so that what is hit is always what was drawn, also before a paint.
//
// Coordinates: x is measured in the tree's content (before the horizontal scroll
// offset LeftPosition is taken off), y in the client area.
#pragma once

#include <vector>

#include "controls/tree/MtHeaderLayout.h"
#include "controls/tree/MtTree.h"
#include "platform/core/Graphics.h"

// The parts of a row that GetItemAt reports.
enum TMtHitPart : int { hpButton = 0, hpText = 1, hpColumn = 2, hpElsewhere = 3, hpImage = 4, hpCheckBox = 5 };

inline constexpr int kMtTreeSlot = 17;      // the root column, each level, the expand button
inline constexpr int kMtCheckArea = 21;     // the room a check box takes before the images
inline constexpr int kMtCheckBoxSize = 15;  // the box, 19 to 4 pixels before the images
inline constexpr int kMtImageGap = 5;       // after each image
inline constexpr int kMtLineStep = 4;       // horizontal scroll per line, in pixels

// What shapes the main cell of every row.
struct TMtTreeLook {
  bool ShowRoot = false;
  bool ShowLines = true;
  bool ShowButtons = true;
  bool ShowRootButtons = true;
  bool ShowCheckboxes = false;
  bool ShowImages = true;
  // The mirrored layout: the main cell runs right to left from the cell's right edge.
  bool RightAligned = false;
  // The width of one frame of the custom check-box glyphs; 0: the built-in boxes.
  int CheckGlyphWidth = 0, CheckGlyphHeight = 0;
  // The image lists: size and count, 0 for none.
  int ImageWidth = 0, ImageHeight = 0, ImageCount = 0;
  int Image2Width = 0, Image2Height = 0, Image2Count = 0;
};

// Row height: image height (the larger of the two lists when ShowImages; counted only
// above 16) or 17, against |font height| + 4 (a height in points, negative) or + 2 (in
// pixels); + 4 with BarStyle, else + 2, and + 2 more for HorizontalLines without BarStyle.
int MtDefineLineHeight(int fontHeight, int imageHeight, bool barStyle, bool horizontalLines);
// Rows that fit below the header, a partial row counted.
int MtRowsPerPage(int clientHeight, int headerHeight, int lineHeight);
// Rows that fit whole.
int MtFullRowsPerPage(int clientHeight, int headerHeight, int lineHeight);
// TopIndex kept in 0 .. rowCount - rowsPerPage + 1.
int MtClampTopIndex(int topIndex, int rowCount, int rowsPerPage);
// The row index under y (rows start below the header at TopIndex); -1 above the rows,
// in the header or past the last row.
int MtRowAtY(int y, int headerHeight, int lineHeight, int topIndex, int rowCount);
// The top of row `row` in client coordinates.
inline int MtRowTop(int row, int headerHeight, int lineHeight, int topIndex) {
  return headerHeight + (row - topIndex) * lineHeight;
}

// Whether the item shows an expand button, and whether it has a check box.
bool MtItemHasButton(const TMtTreeLook& look, const TMtTreeItem& item);
bool MtItemHasCheckBox(const TMtTreeLook& look, const TMtTreeItem& item);
// The image indexes (already resolved by the control, -1 for none) that are drawn.
bool MtImageDrawn(int index, int count);

// The pieces of an item's main cell, left to right. Empty rectangles for what is not
// there; rectangles span the row's height except the check box (centred).
struct TMtMainCell {
  int Indent = 0;         // where the level slots end (the button slot is the last one)
  TRect Button;           // the 17-pixel slot of the expand button, when it has one
  TRect CheckBox;         // the 15-pixel box
  TRect Image2, Image;    // the second and the main image, when drawn
  int TextLeft = 0;       // where the text begins
  int TextRight = 0;      // where the drawn text ends (clipped to the cell)
};
// cellLeft/cellRight: the main cell's span; textWidth: the text's width in its font.
TMtMainCell MtLayoutMainCell(const TMtTreeLook& look, const TMtTreeItem& item, int cellLeft, int cellRight,
                             int rowTop, int rowHeight, int textWidth, int imageIndex, int imageIndex2);
// The width a main cell needs (MeasureCell without the cell's left edge).
int MtMeasureMainCell(const TMtTreeLook& look, const TMtTreeItem& item, int textWidth, int imageIndex,
                      int imageIndex2);

// The part of the main cell that x hits.
TMtHitPart MtMainCellPartAt(const TMtMainCell& cell, int x);

// The ancestors of the rows a paint goes through, by level. Following the rows in their
// order costs O(1 + the change of level) a row, not a walk up to the top level, so deep
// rows paint as fast as shallow ones. Valid while the tree does not change.
class TMtAncestorPath {
 public:
  // Afterwards At(l) is the item's ancestor at level l, At(its level) the item.
  void Follow(const TMtTreeItem& item);
  const TMtTreeItem* At(int level) const { return path_[static_cast<std::size_t>(level)]; }
  void Clear() { path_.clear(); }

 private:
  std::vector<const TMtTreeItem*> path_;
};

// The tree lines of one row: vertical segments (x, top, bottom) and the horizontal stub.
struct TMtLineSegment {
  int X1, Y1, X2, Y2;
};
std::vector<TMtLineSegment> MtTreeLines(const TMtTreeLook& look, const TMtTreeItem& item, int cellLeft,
                                        int rowTop, int rowHeight);  // left to right
// cellRight is where a mirrored cell starts.
std::vector<TMtLineSegment> MtTreeLines(const TMtTreeLook& look, const TMtTreeItem& item, int cellLeft,
                                        int cellRight, int rowTop, int rowHeight);
// The same, only the ancestors' lines that fall in clipLeft .. clipRight - 1 (drawn x):
// only those ancestors are looked at, so a row costs the lines drawn, not its depth.
// `path` has followed the item.
std::vector<TMtLineSegment> MtTreeLinesIn(const TMtTreeLook& look, const TMtTreeItem& item,
                                          const TMtAncestorPath& path, int cellLeft, int cellRight, int rowTop,
                                          int rowHeight, int clipLeft, int clipRight);
// The frame of a custom glyph strip for a check box (6 frames: unchecked, checked,
// grayed, then the same disabled) or a radio button (4: unchecked, checked, then the
// same disabled).
int MtCheckGlyphFrame(bool radio, int state, bool enabled);

// ---------------------------------------------------------------------------------
// Colours of a cell

enum class TDragTargetDraw { ColorFrame, ColorRect, SelColorRect };

struct TMtCellPaintInput {
  TColor TreeBk = clWindow, TreeText = clWindowText;
  // The item's own colours (when ParentColors is off).
  bool ParentColors = true;
  TColor ItemColor = clWindowText, ItemBk = clWindow;
  // The cell style's colours (when the item uses styles and the style keeps its own).
  bool HasStyle = false;
  TColor StyleBk = clWindow, StyleText = clWindowText, StyleTextBk = clWindow;
  bool Hot = false, UnderlineTracked = true;
  bool Selected = false, BarStyle = false;
  bool SelectionCell = true;   // RowSelect, SelectColumn or a hidden header let this cell fill
  bool ActiveLook = true;      // the tree is its form's active control, or HideSelection is off
  TColor FocusedSelectColor = clHighlight, HideSelectColor = clBtnFace;
  bool DropTarget = false, DropAccepted = true;
  TDragTargetDraw DropMode = TDragTargetDraw::SelColorRect;
};
struct TMtCellColors {
  TColor Bk = clWindow;
  TColor Text = clWindowText;
  bool Underline = false;
  // The cell style's background behind the text, while no selection or drop mark covers it.
  bool HasTextBk = false;
  TColor TextBk = clWindow;
};
// The precedence, last wins: tree, item, cell style, selection, hot item, drop target.
TMtCellColors MtCellColors(const TMtCellPaintInput& in);
// The frame colour around a drop target's row (ColorFrame: green or red; the other
// modes frame in the text colour of the cell).
TColor MtDropFrameColor(const TMtCellPaintInput& in);

// ---------------------------------------------------------------------------------
// Wheel

// Turns wheel deltas (1/8 degree, 120 a notch, or smaller steps of high-resolution
// wheels and touch pads) into rows. Lines per notch come from the desktop's setting:
// 0 counts as 1, more than 120 as 120, and a negative setting (a page per notch) as
// rowsPerPage - 1 rows. What does not make a whole row yet is kept for the next delta,
// so a stream of small deltas scrolls as much as whole notches.
class TMtWheelAccumulator {
 public:
  // Rows to move up (positive) or down (negative) for this delta.
  int Rows(int delta, int linesSetting, int rowsPerPage);
  void Reset() { rest_ = 0; }

 private:
  int rest_ = 0;  // delta x lines not turned into rows yet, in 1/120 rows
};

// ---------------------------------------------------------------------------------
// Keyboard navigation

enum class TMtNavKey { Up, Down, PageUp, PageDown, Home, End };
// The row a key moves the focus to from `row` (-1 when nothing is focused: the first row,
// or the last one for End).
int MtNavigateRow(TMtNavKey key, int row, int rowCount, int rowsPerPage);
// The top row that shows `row`: unchanged when it is on screen (whole), else the row at
// the top (alignTop) or at the bottom of the page.
int MtTopIndexShowing(int row, int topIndex, int fullRowsPerPage, bool alignTop);

// WriteOutline's line for an item: level - 1 spaces (none for levels 0 and 1), the text.
AnsiString MtOutlineLine(const TMtTreeItem& item);
