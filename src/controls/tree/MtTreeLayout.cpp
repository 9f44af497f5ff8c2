#include "controls/tree/MtTreeLayout.h"

#include <algorithm>
#include <cstdlib>

int MtDefineLineHeight(int fontHeight, int imageHeight, bool barStyle, bool horizontalLines) {
  const int image = imageHeight > 16 ? imageHeight : 17;
  const int text = std::abs(fontHeight) + (fontHeight < 0 ? 4 : 2);
  int h = std::max(image, text) + (barStyle ? 4 : 2);
  if (horizontalLines && !barStyle) h += 2;
  return h;
}

int MtRowsPerPage(int clientHeight, int headerHeight, int lineHeight) {
  const int room = std::max(clientHeight - headerHeight, 0);
  if (lineHeight <= 0) return 0;
  return room / lineHeight + (room % lineHeight != 0 ? 1 : 0);
}

int MtFullRowsPerPage(int clientHeight, int headerHeight, int lineHeight) {
  if (lineHeight <= 0) return 0;
  return std::max(clientHeight - headerHeight, 0) / lineHeight;
}

int MtClampTopIndex(int topIndex, int rowCount, int rowsPerPage) {
  const int most = std::max(rowCount - rowsPerPage + 1, 0);
  return std::clamp(topIndex, 0, most);
}

int MtRowAtY(int y, int headerHeight, int lineHeight, int topIndex, int rowCount) {
  const int offset = y - headerHeight;
  // A point in the header is on no row (dividing would put it on the first one).
  if (offset < 0 || lineHeight <= 0) return -1;
  const int row = topIndex + offset / lineHeight;
  return row < rowCount ? row : -1;
}

bool MtItemHasButton(const TMtTreeLook& look, const TMtTreeItem& item) {
  if (!look.ShowButtons) return false;
  if (!item.GetHasVisibleChildren() && !item.ForceButtons) return false;
  return item.GetLevel() > 0 || look.ShowRootButtons;
}

bool MtItemHasCheckBox(const TMtTreeLook& look, const TMtTreeItem& item) {
  return look.ShowCheckboxes && item.ShowCheckBox;
}

bool MtImageDrawn(int index, int count) { return index >= 0 && index < count; }

namespace {

bool HasRootColumn(const TMtTreeLook& look) {
  return (look.ShowRoot && look.ShowLines) || (look.ShowButtons && look.ShowRootButtons);
}

// x mirrored in the span left..right (a pixel at x goes to the pixel at left + right - 1 - x).
int MirrorX(int x, int left, int right) { return left + right - x; }
TRect MirrorRect(const TRect& r, int left, int right) {
  if (r.IsEmpty()) return r;
  return Rect(MirrorX(r.Right, left, right), r.Top, MirrorX(r.Left, left, right), r.Bottom);
}

int IndentOf(const TMtTreeLook& look, const TMtTreeItem& item) {
  return (HasRootColumn(look) ? kMtTreeSlot : 0) + kMtTreeSlot * item.GetLevel();
}

}  // namespace

TMtMainCell MtLayoutMainCell(const TMtTreeLook& look, const TMtTreeItem& item, int cellLeft, int cellRight,
                             int rowTop, int rowHeight, int textWidth, int imageIndex, int imageIndex2) {
  TMtMainCell c;
  const int rowBottom = rowTop + rowHeight;
  int x = cellLeft + IndentOf(look, item);
  c.Indent = x;
  // The button sits in the last level slot: the root column for a top-level item.
  if (MtItemHasButton(look, item) && x - kMtTreeSlot >= cellLeft)
    c.Button = Rect(x - kMtTreeSlot, rowTop, x, rowBottom);
  if (MtItemHasCheckBox(look, item)) {
    if (look.CheckGlyphWidth > 0) {
      // A glyph frame, one pixel in from either side of its slot.
      const int boxTop = rowTop + (rowHeight - look.CheckGlyphHeight) / 2;
      c.CheckBox = Rect(x + 1, boxTop, x + 1 + look.CheckGlyphWidth, boxTop + look.CheckGlyphHeight);
      x += look.CheckGlyphWidth + 2;
    } else {
      const int boxTop = rowTop + (rowHeight - kMtCheckBoxSize) / 2;
      const int right = x + kMtCheckArea - 4;
      c.CheckBox = Rect(right - kMtCheckBoxSize, boxTop, right, boxTop + kMtCheckBoxSize);
      x += kMtCheckArea;
    }
  }
  const bool main = look.ShowImages && MtImageDrawn(imageIndex, look.ImageCount);
  // The second image comes from the second list, or from the first when there is none.
  const bool second2 = look.Image2Count > 0;
  const int w2 = second2 ? look.Image2Width : look.ImageWidth;
  const int h2 = second2 ? look.Image2Height : look.ImageHeight;
  const bool second = look.ShowImages && MtImageDrawn(imageIndex2, second2 ? look.Image2Count : look.ImageCount);
  if (second) {
    const int top = rowTop + (rowHeight - h2) / 2;
    c.Image2 = Rect(x, top, x + w2, top + h2);
    x += w2 + kMtImageGap;
  }
  if (main) {
    const int top = rowTop + (rowHeight - look.ImageHeight) / 2;
    c.Image = Rect(x, top, x + look.ImageWidth, top + look.ImageHeight);
    x += look.ImageWidth + kMtImageGap;
  }
  c.TextLeft = x;
  c.TextRight = std::max(x, std::min(x + std::max(textWidth, 0), cellRight));
  if (look.RightAligned) {
    // The same pieces from the right edge leftwards; the text keeps its reading start
    // next to the images and runs towards the cell's left edge.
    c.Indent = MirrorX(c.Indent, cellLeft, cellRight);
    c.Button = MirrorRect(c.Button, cellLeft, cellRight);
    c.CheckBox = MirrorRect(c.CheckBox, cellLeft, cellRight);
    c.Image2 = MirrorRect(c.Image2, cellLeft, cellRight);
    c.Image = MirrorRect(c.Image, cellLeft, cellRight);
    const int textLeft = MirrorX(c.TextRight, cellLeft, cellRight);
    c.TextRight = MirrorX(c.TextLeft, cellLeft, cellRight);
    c.TextLeft = textLeft;
  }
  return c;
}

int MtMeasureMainCell(const TMtTreeLook& look, const TMtTreeItem& item, int textWidth, int imageIndex,
                      int imageIndex2) {
  TMtTreeLook plain = look;
  plain.RightAligned = false;  // the width is the same both ways
  const TMtMainCell c = MtLayoutMainCell(plain, item, 0, 1 << 29, 0, 0, 0, imageIndex, imageIndex2);
  return c.TextLeft + std::max(textWidth, 0);
}

TMtHitPart MtMainCellPartAt(const TMtMainCell& cell, int x) {
  if (x >= cell.TextLeft && x < cell.TextRight) return hpText;
  if (!cell.Image.IsEmpty() && x >= cell.Image.Left && x < cell.Image.Right) return hpImage;
  if (!cell.Image2.IsEmpty() && x >= cell.Image2.Left && x < cell.Image2.Right) return hpImage;
  if (!cell.CheckBox.IsEmpty() && x >= cell.CheckBox.Left && x < cell.CheckBox.Right) return hpCheckBox;
  if (!cell.Button.IsEmpty() && x >= cell.Button.Left && x < cell.Button.Right) return hpButton;
  return hpElsewhere;
}

int MtCheckGlyphFrame(bool radio, int state, bool enabled) {
  const int frames = radio ? 2 : 3;
  const int s = std::clamp(state, 0, frames - 1);
  return s + (enabled ? 0 : frames);
}

void TMtAncestorPath::Follow(const TMtTreeItem& item) {
  const int level = item.GetLevel();
  // Up to the first ancestor the path holds already at its level.
  std::vector<const TMtTreeItem*> climbed;
  const TMtTreeItem* p = &item;
  for (int l = level; p != nullptr && l >= 0; --l, p = p->GetParent()) {
    if (static_cast<std::size_t>(l) < path_.size() && path_[static_cast<std::size_t>(l)] == p) break;
    climbed.push_back(p);
  }
  path_.resize(static_cast<std::size_t>(level) + 1);
  for (std::size_t i = 0; i < climbed.size(); ++i) path_[static_cast<std::size_t>(level) - i] = climbed[i];
}

namespace {

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Unmirrored lines, the ancestors' only where x lies in clipLeft .. clipRight - 1.
std::vector<TMtLineSegment> LinesIn(const TMtTreeLook& look, const TMtTreeItem& item, const TMtAncestorPath& path,
                                    int cellLeft, int rowTop, int rowHeight, int clipLeft, int clipRight) {
  std::vector<TMtLineSegment> lines;
  if (!look.ShowLines) return lines;
  const int level = item.GetLevel();
  const bool root = HasRootColumn(look);
  // A top-level item has a column of its own only with the root column, and its lines
  // join the other top-level items only with ShowRoot.
  const bool rootLines = root && look.ShowRoot;
  if (level == 0 && !rootLines) return lines;
  const int mid = rowTop + rowHeight / 2;
  const int bottom = rowTop + rowHeight;
  const int slot0 = cellLeft + (root ? kMtTreeSlot : 0) - kMtTreeSlot;  // slot of level 0
  const int centre = slot0 + kMtTreeSlot / 2;                          // its line
  // The item's own slot: the line from above to its middle, on down when a sibling
  // follows, and the stub to the item.
  const int own = centre + kMtTreeSlot * level;
  const bool first = level == 0 && item.GetPrevSibling() == nullptr;
  lines.push_back({own, first ? mid : rowTop, own, item.GetNextSibling() ? bottom : mid + 1});
  lines.push_back({own, mid, slot0 + kMtTreeSlot * (level + 1), mid});
  // Every ancestor with a following sibling passes a line through its column (nearest
  // first); only the columns in the clip are looked at.
  const int lowest = std::max(rootLines ? 0 : 1, -FloorDiv(centre - clipLeft, kMtTreeSlot));
  const int highest = std::min(level - 1, FloorDiv(clipRight - 1 - centre, kMtTreeSlot));
  for (int l = highest; l >= lowest; --l) {
    if (path.At(l)->GetNextSibling() != nullptr) {
      const int x = centre + kMtTreeSlot * l;
      lines.push_back({x, rowTop, x, bottom});
    }
  }
  return lines;
}

constexpr int kNoClip = 1 << 29;

}  // namespace

std::vector<TMtLineSegment> MtTreeLinesIn(const TMtTreeLook& look, const TMtTreeItem& item,
                                          const TMtAncestorPath& path, int cellLeft, int cellRight, int rowTop,
                                          int rowHeight, int clipLeft, int clipRight) {
  if (!look.RightAligned) return LinesIn(look, item, path, cellLeft, rowTop, rowHeight, clipLeft, clipRight);
  // Mirrored: a line at x is drawn at cellLeft + cellRight - 1 - x (a line drawn from x1 to
  // x2 leaves out its end pixel: mirrored, it keeps its pixels).
  const int span = cellLeft + cellRight;
  std::vector<TMtLineSegment> lines =
      LinesIn(look, item, path, cellLeft, rowTop, rowHeight, span - clipRight, span - clipLeft);
  for (TMtLineSegment& l : lines) {
    l.X1 = MirrorX(l.X1, cellLeft, cellRight) - 1;
    l.X2 = MirrorX(l.X2, cellLeft, cellRight) - 1;
  }
  return lines;
}

std::vector<TMtLineSegment> MtTreeLines(const TMtTreeLook& look, const TMtTreeItem& item, int cellLeft,
                                        int cellRight, int rowTop, int rowHeight) {
  TMtAncestorPath path;
  path.Follow(item);
  return MtTreeLinesIn(look, item, path, cellLeft, cellRight, rowTop, rowHeight, -kNoClip, kNoClip);
}

std::vector<TMtLineSegment> MtTreeLines(const TMtTreeLook& look, const TMtTreeItem& item, int cellLeft,
                                        int rowTop, int rowHeight) {
  TMtTreeLook plain = look;
  plain.RightAligned = false;
  return MtTreeLines(plain, item, cellLeft, cellLeft, rowTop, rowHeight);
}

TMtCellColors MtCellColors(const TMtCellPaintInput& in) {
  TMtCellColors c{in.TreeBk, in.TreeText, false};
  if (!in.ParentColors) {
    c.Bk = in.ItemBk;
    c.Text = in.ItemColor;
  }
  if (in.HasStyle) {
    c.Bk = in.StyleBk;
    c.Text = in.StyleText;
    c.HasTextBk = true;
    c.TextBk = in.StyleTextBk;
  }
  const bool filled = in.Selected && !in.BarStyle && in.SelectionCell;
  if (filled || (in.DropTarget && in.DropMode != TDragTargetDraw::ColorFrame)) c.HasTextBk = false;
  if (filled) {
    if (in.ActiveLook) {
      c.Bk = in.FocusedSelectColor;
      c.Text = clHighlightText;
    } else {
      c.Bk = in.HideSelectColor;
    }
  }
  if (in.Hot) {
    c.Text = filled && in.ActiveLook ? clBtnHighlight : clHighlight;
    c.Underline = in.UnderlineTracked;
  }
  if (in.DropTarget) {
    switch (in.DropMode) {
      case TDragTargetDraw::ColorRect:
        c.Bk = in.DropAccepted ? clGreen : clRed;
        c.Text = clBtnText;
        break;
      case TDragTargetDraw::SelColorRect:
        c.Bk = clHighlight;
        c.Text = clHighlightText;
        break;
      case TDragTargetDraw::ColorFrame:
        break;
    }
  }
  return c;
}

TColor MtDropFrameColor(const TMtCellPaintInput& in) {
  if (in.DropMode == TDragTargetDraw::ColorFrame) return in.DropAccepted ? clGreen : clRed;
  return MtCellColors(in).Text;
}

int TMtWheelAccumulator::Rows(int delta, int linesSetting, int rowsPerPage) {
  int lines = linesSetting;
  if (lines < 0) lines = std::max(rowsPerPage - 1, 1);  // a page per notch
  lines = std::clamp(lines, 1, 120);
  // The direction changed: what was left of the other way is dropped.
  if ((delta > 0 && rest_ < 0) || (delta < 0 && rest_ > 0)) rest_ = 0;
  const long long total = static_cast<long long>(rest_) + static_cast<long long>(delta) * lines;
  const long long rows = total / 120;
  rest_ = static_cast<int>(total - rows * 120);
  return static_cast<int>(std::clamp<long long>(rows, -(1 << 24), 1 << 24));
}

int MtNavigateRow(TMtNavKey key, int row, int rowCount, int rowsPerPage) {
  if (rowCount <= 0) return -1;
  // Nothing focused: the first row (the last one for End).
  if (row < 0 || row >= rowCount) return key == TMtNavKey::End ? rowCount - 1 : 0;
  // A page is the rows that fit, a partial row counted; it moves at least one row.
  const int page = std::max(rowsPerPage, 1);
  switch (key) {
    case TMtNavKey::Up: return std::max(row - 1, 0);
    case TMtNavKey::Down: return std::min(row + 1, rowCount - 1);
    case TMtNavKey::PageUp: return std::max(row - page, 0);
    case TMtNavKey::PageDown: return std::min(row + page, rowCount - 1);
    case TMtNavKey::Home: return 0;
    case TMtNavKey::End: return rowCount - 1;
  }
  return row;
}

int MtTopIndexShowing(int row, int topIndex, int fullRowsPerPage, bool alignTop) {
  const int page = std::max(fullRowsPerPage, 1);
  if (row >= topIndex && row < topIndex + page) return topIndex;
  if (alignTop || row < topIndex) return row;
  return std::max(row - page + 1, 0);
}

AnsiString MtOutlineLine(const TMtTreeItem& item) {
  return AnsiString(static_cast<size_t>(std::max(item.GetLevel() - 1, 0)), ' ') + item.Text();
}
