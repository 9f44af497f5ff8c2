// The preview's own pictures, drawn here: the printer and page-setup glyphs of its
// toolbar and the arrows of the page buttons below its vertical bar; the print dialog's
// printer image and its pictures of collated and uncollated copies.
#pragma once

#include <QImage>

#include "platform/core/Graphics.h"

// 16 x 16 glyphs with a transparent background.
QImage rpPrinterGlyph();
QImage rpPageSetupGlyph();
// A 7 x 4 black triangle pointing up or down, on fuchsia, which is transparent.
TBitmap rpArrowGlyph(bool up);

// The printer of the print dialog's list: 18 x 16 on fuchsia (rpTransparentColor),
// the colour that is transparent.
inline const QColor rpTransparentColor(255, 0, 255);
QImage rpPrinterListImage();
// Two copies of three sheets as they come out, on the button-face colour `face`:
// collated (74 x 53: two stacks 1, 2, 3) or not (92 x 40: 1, 1, 2, 2, 3, 3).
QImage rpCollateImage(bool collated, const QColor& face);
