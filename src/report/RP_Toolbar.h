// The report windows' toolbar glyphs: the grey look of a flat button while the pointer
// is outside it.
#pragma once

#include "platform/core/Graphics.h"

// Every pixel that is neither the transparent colour nor the button face becomes the
// grey of its luminance, (77 R + 150 G + 29 B) / 256.
TBitmap rpGrayedGlyph(const TBitmap& glyph, TColor transparent, TColor buttonFace);
