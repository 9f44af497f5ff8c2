#include "controls/misc/ComboEditLayout.h"

#include <algorithm>

int ComboEditMinHeight(int systemTextHeight, int fontTextHeight, int borderHeight) {
  return std::min(systemTextHeight, fontTextHeight) + 4 * borderHeight + 1;
}

TBitmap EllipsisGlyph(int buttonWidth) {
  const int w = std::max(buttonWidth - 6, 1);
  TBitmap b(w, 4, clWhite);
  const int c = w / 2;
  for (int dot : {c - 5, c - 1, c + 3})
    b.Fill(Rect(dot, 1, dot + 2, 3), clBlack);
  b.Transparent = true;
  b.TransparentColor = clWhite;
  return b;
}

TBitmap DropDownGlyph() {
  TBitmap b(7, 4, clWhite);
  for (int row = 0; row < 4; ++row) b.Fill(Rect(row, row, 7 - row, row + 1), clBlack);
  b.Transparent = true;
  b.TransparentColor = clWhite;
  return b;
}

TBitmap DirectoryEditGlyph() {
  // 16 x 13: a folder with its tab, outlined in dark yellow, filled light yellow, and
  // its open front leaf a shade darker.
  constexpr TColor kBack = clFuchsia, kLine = RGBColor(128, 96, 0), kFill = RGBColor(255, 224, 96),
                   kFront = RGBColor(232, 192, 48);
  TBitmap b(16, 13, kBack);
  b.Fill(Rect(1, 1, 6, 3), kLine);        // tab
  b.Fill(Rect(2, 2, 5, 3), kFill);
  b.Fill(Rect(0, 3, 14, 12), kLine);      // back
  b.Fill(Rect(1, 4, 13, 11), kFill);
  for (int y = 6; y < 12; ++y)            // the front leaf, slanted
    b.Fill(Rect(3 - (y - 6) / 2, y, 16 - (y - 6) / 2, y + 1), y == 6 || y == 11 ? kLine : kFront);
  b.Transparent = true;
  b.TransparentColor = kBack;
  return b;
}

int ComboEditButtonWidth(TGlyphKind kind, int buttonWidth, const TBitmap& glyph, int numGlyphs,
                         int scrollBarWidth) {
  switch (kind) {
    case TGlyphKind::gkDropDown: return scrollBarWidth;
    case TGlyphKind::gkDefault: return std::max(buttonWidth, glyph.Width() / std::max(numGlyphs, 1) + 6);
    default: return buttonWidth;
  }
}

TPoint ComboPopupPosition(const TRect& editOnScreen, int popupHeight, const TRect& screen) {
  int y = editOnScreen.Bottom;
  if (y + popupHeight > screen.Bottom && editOnScreen.Top - popupHeight >= screen.Top) y = editOnScreen.Top - popupHeight;
  return {editOnScreen.Left, y};
}
