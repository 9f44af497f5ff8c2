// The preview toolbar's pictures: the printer and page-setup glyphs drawn here, and the
// icon of a button with its colour glyph and the grey one (rpGrayedGlyph) that a
// disabled button shows, and that an inactive one shows while the pointer is outside
// it when the toolbar greys its inactive buttons.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

// 16 x 16 glyphs with a transparent background.
QImage rpPrinterGlyph();
QImage rpPageSetupGlyph();
// The grey of a glyph: every pixel that is neither transparent nor the button face
// becomes the grey of its luminance; the transparency stays.
QImage rpGrayedGlyphImage(const QImage& glyph, const QColor& buttonFace);
// Normal: colour (grey with `grayedInactive`), Active (pointer inside): colour,
// Disabled: grey.
QIcon rpToolbarIcon(const QImage& glyph, const QColor& buttonFace, bool grayedInactive);
