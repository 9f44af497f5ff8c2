#include "planner/gui/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  // Sky, sun and a snow-capped mountain.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x3b, 0x82, 0xc4));
  p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
  p.setBrush(QColor(0xf6, 0xc3, 0x3b));
  p.drawEllipse(QPointF(24, 8), 4, 4);
  QPainterPath mountain;
  mountain.moveTo(2, 24);
  mountain.lineTo(13, 7);
  mountain.lineTo(24, 24);
  p.setBrush(QColor(0x2f, 0x6b, 0x3a));
  p.drawPath(mountain);
  QPainterPath snow;
  snow.moveTo(9.7, 12);
  snow.lineTo(13, 7);
  snow.lineTo(16.3, 12);
  snow.lineTo(13, 10.5);
  p.setBrush(Qt::white);
  p.drawPath(snow);
  // The pot: body, rim and handle.
  p.setBrush(QColor(0x30, 0x30, 0x30));
  p.drawRoundedRect(QRectF(14, 19, 14, 10), 2, 2);
  p.setBrush(QColor(0xb0, 0xb0, 0xb0));
  p.drawRect(QRectF(12.5, 18, 17, 2));
  p.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(17, 14, 8, 8), 0, 180 * 16);
  return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
  // Drawn anew each time: no pixmap may outlive the application object.
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(DrawIcon(size));
  return icon;
}
