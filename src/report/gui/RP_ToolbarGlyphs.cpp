#include "report/gui/RP_ToolbarGlyphs.h"

#include <QPainter>

namespace {

QImage Blank() {
  QImage img(16, 16, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  return img;
}

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

TBitmap rpArrowGlyph(bool up) {
  TBitmap b(7, 4, clFuchsia);
  for (int row = 0; row < 4; ++row)
    for (int x = row; x < 7 - row; ++x) b.SetPixel(x, up ? 3 - row : row, clBlack);
  b.Transparent = true;
  b.TransparentColor = clFuchsia;
  return b;
}
