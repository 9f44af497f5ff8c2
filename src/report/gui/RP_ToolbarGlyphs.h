// The preview's own pictures, drawn here: the printer and page-setup glyphs of its
// toolbar and the arrows of the page buttons below its vertical bar.
#pragma once

#include <QImage>

#include "platform/core/Graphics.h"

// 16 x 16 glyphs with a transparent background.
QImage rpPrinterGlyph();
QImage rpPageSetupGlyph();
// A 7 x 4 black triangle pointing up or down, on fuchsia, which is transparent.
TBitmap rpArrowGlyph(bool up);
