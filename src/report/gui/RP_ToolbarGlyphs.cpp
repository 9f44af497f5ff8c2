#include "report/gui/RP_ToolbarGlyphs.h"

#include <QFont>
#include <QPainter>

namespace {

QImage Blank() {
  QImage img(16, 16, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  return img;
}

// A printer on `img` (16 pixels high), as wide as the image: a sheet going in, the body,
// the sheet coming out with printed lines, the lamp.
void PaintPrinter(QImage& img) {
  const int d = (img.width() - 16) / 2;  // a wider image: a wider body, the sheets centred
  QPainter p(&img);
  p.setPen(QColor(64, 64, 64));
  p.setBrush(Qt::white);
  p.drawRect(4 + d, 1, 7, 5);
  p.setBrush(QColor(160, 160, 168));
  p.drawRect(1, 6, 13 + 2 * d, 6);
  p.setBrush(Qt::white);
  p.drawRect(4 + d, 10, 7, 4);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 170, 0));
  p.drawRect(11 + 2 * d, 8, 2, 1);
  p.setPen(QColor(40, 80, 200));
  p.drawLine(5 + d, 12, 9 + d, 12);
}

}  // namespace

QImage rpPrinterGlyph() {
  QImage img = Blank();
  PaintPrinter(img);
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

QImage rpPrinterListImage() {
  QImage img(18, 16, QImage::Format_RGB32);
  img.fill(rpTransparentColor);
  PaintPrinter(img);
  return img;
}

QImage rpCollateImage(bool collated, const QColor& face) {
  // A stack: sheets of `sheet` size, each next one 7 to the left and 10 lower, the last
  // in front; `pages` their numbers from the back one to the front one.
  const QSize sheet = collated ? QSize(20, 33) : QSize(21, 30);
  QImage img(collated ? QSize(74, 53) : QSize(92, 40), QImage::Format_RGB32);
  img.fill(face);
  QPainter p(&img);
  QFont font;
  font.setPixelSize(9);
  font.setBold(true);
  p.setFont(font);
  const auto stack = [&](int left, std::initializer_list<int> pages) {
    int k = static_cast<int>(pages.size()) - 1;
    for (int page : pages) {
      const QRect r(left + 7 * k, 10 * (static_cast<int>(pages.size()) - 1 - k), sheet.width(), sheet.height());
      p.setPen(QColor(64, 64, 64));
      p.setBrush(Qt::white);
      p.drawRect(r.adjusted(0, 0, -1, -1));
      p.setPen(Qt::black);
      p.drawText(QRect(r.left() + 2, r.top() + 1, r.width() - 4, 9), Qt::AlignRight | Qt::AlignTop,
                 QString::number(page));
      --k;
    }
  };
  if (collated) {
    stack(0, {3, 2, 1});
    stack(40, {3, 2, 1});
  } else {
    stack(0, {1, 1});
    stack(32, {2, 2});
    stack(64, {3, 3});
  }
  return img;
}
