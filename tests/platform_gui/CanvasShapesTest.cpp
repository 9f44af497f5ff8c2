// The canvas for the report preview and printing: ellipses, polylines, stretched
// bitmaps, zoom, devices of other resolutions, pens as strokes on printers.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "platform/gui/QtGraphics.h"

namespace {

QColor Px(const QImage& img, int x, int y) { return img.pixelColor(x, y); }

}  // namespace

TEST(CanvasShapes, RecordedWithTheirAttributes) {
  TRecordingCanvas c;
  c.Pen.Color = clRed;
  c.Ellipse(Rect(0, 0, 10, 6));
  c.Polyline({{0, 0}, {5, 5}, {9, 0}});
  TBitmap b(2, 2, clBlue);
  c.StretchDraw(Rect(10, 10, 30, 30), b);
  ASSERT_EQ(c.Ops().size(), 3u);
  EXPECT_EQ(c.Ops()[0].Kind, TRecordingCanvas::TOpKind::Ellipse);
  EXPECT_EQ(c.Ops()[0].Pen.Color, clRed);
  EXPECT_EQ(c.Ops()[1].Points.size(), 3u);
  EXPECT_EQ(c.PenPos, (TPoint{9, 0}));
  EXPECT_EQ(c.Ops()[2].R, Rect(10, 10, 30, 30));
  EXPECT_EQ(c.FontHeightForPoints(10), -13);
  c.PixelsPerInch = 600;
  EXPECT_EQ(c.FontHeightForPoints(10), -83);
}

TEST(CanvasShapes, EllipsePolylineAndStretchedBitmapOnPixels) {
  TBitmap checker(2, 2, clWhite);
  checker.SetPixel(0, 0, clRed);
  checker.SetPixel(1, 1, clRed);
  const QImage img = PaintToImage(60, 40, clWhite, [&](TCanvas& c) {
    c.Brush.Color = clLime;
    c.Pen.Color = clBlack;
    c.Ellipse(Rect(0, 0, 30, 20));
    c.Polyline({{35, 2}, {55, 2}, {55, 12}});
    c.StretchDraw(Rect(40, 20, 48, 28), checker);  // each source pixel becomes 4 x 4
  });
  EXPECT_EQ(Px(img, 15, 10), QColor(Qt::green));  // inside: the brush
  EXPECT_EQ(Px(img, 0, 0), QColor(Qt::white));    // the corner lies outside
  EXPECT_EQ(Px(img, 0, 10), QColor(Qt::black));   // the outline at the left edge
  EXPECT_EQ(Px(img, 45, 2), QColor(Qt::black));
  EXPECT_EQ(Px(img, 55, 7), QColor(Qt::black));
  EXPECT_EQ(Px(img, 41, 21), QColor(Qt::red));
  EXPECT_EQ(Px(img, 45, 21), QColor(Qt::white));
  EXPECT_EQ(Px(img, 45, 25), QColor(Qt::red));
}

TEST(CanvasShapes, ZoomScalesEveryDrawingAndKeepsLinesWhole) {
  QImage img(100, 100, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    TQtCanvas c(p, Rect(0, 0, 100, 100));
    c.SetScale(2, 2);
    EXPECT_TRUE(c.VectorPens());
    c.Brush.Color = clRed;
    c.FillRect(Rect(0, 0, 10, 10));
    c.Pen.Color = clBlue;
    c.Pen.Style = TPenStyle::psDot;
    c.MoveTo(0, 30);
    c.LineTo(40, 30);
  }
  EXPECT_EQ(Px(img, 19, 19), QColor(Qt::red));
  EXPECT_EQ(Px(img, 21, 21), QColor(Qt::white));
  // A dotted line of 40 units is a stroke 80 pixels long, dots and gaps alternating.
  int blue = 0;
  for (int x = 0; x < 80; ++x) blue += Px(img, x, 61) == QColor(Qt::blue) || Px(img, x, 60) == QColor(Qt::blue);
  EXPECT_GT(blue, 20);
  EXPECT_LT(blue, 70);
}

TEST(CanvasShapes, PrinterDevicesGetStrokesAndTheirResolution) {
  QTemporaryDir dir;
  const QString file = dir.filePath("lines.pdf");
  QPdfWriter pdf(file);
  pdf.setResolution(600);
  QPainter p(&pdf);
  {
    TQtCanvas c(p, Rect(0, 0, 4000, 4000));
    EXPECT_TRUE(c.VectorPens());
    EXPECT_EQ(c.PixelsPerInch, 600);
    // Text is measured on the device: a 10-point font is 83 device pixels high.
    TFont f;
    f.Height = c.FontHeightForPoints(10);
    EXPECT_GT(c.Metrics().TextHeight(f), 83);
    EXPECT_LT(c.Metrics().TextHeight(f), 120);
    c.Pen.Style = TPenStyle::psDot;
    for (int y = 0; y < 4000; y += 20) {
      c.MoveTo(0, y);
      c.LineTo(4000, y);
    }
  }
  p.end();
  // 200 dotted lines of 4000 pixels drawn dot by dot would be hundreds of thousands of
  // squares; as strokes the page stays small.
  EXPECT_LT(QFileInfo(file).size(), 20000);
  EXPECT_GT(QFileInfo(file).size(), 500);
}
