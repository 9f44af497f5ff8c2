// The combo edit's geometry and pictures, without any toolkit: the minimum height, the
// button's width and picture for each glyph kind ("FEDITBMP", the drop-down arrow and
// the ellipsis are drawn here in code).
#pragma once

#include "platform/core/Graphics.h"

enum class TGlyphKind { gkCustom = 0, gkDefault = 1, gkDropDown = 2, gkEllipsis = 3 };

// The smaller of the two text heights + 4 x the border height + 1.
int ComboEditMinHeight(int systemTextHeight, int fontTextHeight, int borderHeight);
// The ellipsis picture: buttonWidth - 6 (at least 1) wide, 4 high, three 2 x 2 black
// dots centred on white, which is transparent.
TBitmap EllipsisGlyph(int buttonWidth);
// The system's drop-down arrow: a small black triangle pointing down.
TBitmap DropDownGlyph();
// The directory edit's picture ("FEDITBMP"): an open yellow folder.
TBitmap DirectoryEditGlyph();
// The width of the button for a glyph kind: the drop-down kind takes the scroll bar's
// width; the default kind at least the picture's width / NumGlyphs + 6.
// Where a combo edit's popup goes, in screen coordinates: its top-left at the edit's
// bottom-left, or above the edit when it would run past the screen's bottom and there is
// room above.
TPoint ComboPopupPosition(const TRect& editOnScreen, int popupHeight, const TRect& screen);
int ComboEditButtonWidth(TGlyphKind kind, int buttonWidth, const TBitmap& glyph, int numGlyphs,
                         int scrollBarWidth);
