#include "report/gui/RP_ToolbarGlyphs.h"

#include <QPainter>
#include <QPixmap>

#include "report/RP_Toolbar.h"

namespace {

constexpr TColor kTransparent = 0x00FF00FF;  // fuchsia

QImage Blank() {
  QImage img(16, 16, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  return img;
}

TColor ToColor(QRgb c) { return static_cast<TColor>(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16)); }

}  // namespace

QImage rpPrinterGlyph() {
  QImage img = Blank();
  QPainter p(&img);
  p.setPen(QColor(64, 64, 64));
  p.setBrush(Qt::white);
  p.drawRect(4, 1, 7, 5);            // the sheet going in
  p.setBrush(QColor(160, 160, 168));
  p.drawRect(1, 6, 13, 6);           // the body
  p.setBrush(Qt::white);
  p.drawRect(4, 10, 7, 4);           // the sheet coming out
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 170, 0));
  p.drawRect(11, 8, 2, 1);           // the lamp
  p.setPen(QColor(40, 80, 200));
  p.drawLine(5, 12, 9, 12);          // printed lines
  return img;
}

QImage rpPageSetupGlyph() {
  QImage img = Blank();
  QPainter p(&img);
  p.setPen(QColor(64, 64, 64));
  p.setBrush(Qt::white);
  p.drawRect(2, 0, 10, 14);          // the sheet
  p.setPen(QPen(QColor(40, 80, 200), 1, Qt::DotLine));
  p.setBrush(Qt::NoBrush);
  p.drawRect(4, 2, 6, 10);           // its margins
  p.setPen(QColor(200, 40, 40));
  p.drawLine(9, 15, 15, 9);          // the ruler's corner
  p.drawLine(11, 15, 15, 11);
  p.drawLine(13, 15, 15, 13);
  return img;
}

QImage rpGrayedGlyphImage(const QImage& glyph, const QColor& buttonFace) {
  const QImage src = glyph.convertToFormat(QImage::Format_ARGB32);
  TBitmap bmp(src.width(), src.height(), kTransparent);
  for (int y = 0; y < src.height(); ++y)
    for (int x = 0; x < src.width(); ++x) {
      const QRgb c = src.pixel(x, y);
      if (qAlpha(c)) bmp.SetPixel(x, y, ToColor(c));
    }
  const TBitmap grey = rpGrayedGlyph(bmp, kTransparent, ToColor(buttonFace.rgb()));
  QImage out = src;
  for (int y = 0; y < src.height(); ++y)
    for (int x = 0; x < src.width(); ++x) {
      const QRgb c = src.pixel(x, y);
      if (!qAlpha(c)) continue;
      const TColor g = grey.Pixel(x, y);
      out.setPixel(x, y, qRgba(GetRValue(g), GetGValue(g), GetBValue(g), qAlpha(c)));
    }
  return out;
}

QIcon rpToolbarIcon(const QImage& glyph, const QColor& buttonFace, bool grayedInactive) {
  const QPixmap colour = QPixmap::fromImage(glyph);
  const QPixmap grey = QPixmap::fromImage(rpGrayedGlyphImage(glyph, buttonFace));
  QIcon icon;
  icon.addPixmap(grayedInactive ? grey : colour, QIcon::Normal);
  icon.addPixmap(colour, QIcon::Active);
  icon.addPixmap(grey, QIcon::Disabled);
  return icon;
}
