#include "report/RP_Toolbar.h"

TBitmap rpGrayedGlyph(const TBitmap& glyph, TColor transparent, TColor buttonFace) {
  TBitmap out = glyph;
  for (int y = 0; y < glyph.Height(); ++y)
    for (int x = 0; x < glyph.Width(); ++x) {
      const TColor c = glyph.Pixel(x, y);
      if (c == transparent || c == buttonFace) continue;
      const int g = (77 * GetRValue(c) + 150 * GetGValue(c) + 29 * GetBValue(c)) / 256;
      out.SetPixel(x, y, RGBColor(g, g, g));
    }
  return out;
}
