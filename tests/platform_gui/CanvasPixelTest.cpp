// The drawing rules of the Qt canvas, probed pixel by pixel on an image.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <cstring>
#include <vector>
#include <QFontMetrics>

#include "platform/core/DrawUtils.h"
#include "platform/gui/QtGraphics.h"

namespace {

QImage Paint(int w, int h, const std::function<void(TCanvas&)>& fn, TColor bg = clWhite) {
  return PaintToImage(w, h, bg, fn);
}

TColor At(const QImage& img, int x, int y) { return FromQColor(img.pixelColor(x, y)); }

// The box around every pixel that differs from the background; empty when none.
TRect Ink(const QImage& img, TColor bg = clWhite) {
  TRect r;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (At(img, x, y) != bg) r = UnionRect(r, Rect(x, y, x + 1, y + 1));
  return r;
}

}  // namespace

TEST(QtCanvas, FillsAndFramesExcludeRightAndBottomEdges) {
  QImage img = Paint(20, 20, [](TCanvas& c) {
    c.Brush.Color = clRed;
    c.FillRect(Rect(2, 3, 6, 8));
  });
  EXPECT_EQ(Ink(img), Rect(2, 3, 6, 8));

  img = Paint(20, 20, [](TCanvas& c) {
    c.Brush.Color = clBlue;
    c.FrameRect(Rect(2, 2, 8, 6));
  });
  EXPECT_EQ(Ink(img), Rect(2, 2, 8, 6));
  EXPECT_EQ(At(img, 7, 5), clBlue);
  EXPECT_EQ(At(img, 4, 3), clWhite);  // inside stays

  img = Paint(20, 20, [](TCanvas& c) {
    c.Pen.Color = clBlack;
    c.Brush.Color = clYellow;
    c.Rectangle(Rect(0, 0, 6, 5));
  });
  EXPECT_EQ(Ink(img), Rect(0, 0, 6, 5));
  EXPECT_EQ(At(img, 5, 4), clBlack);
  EXPECT_EQ(At(img, 2, 2), clYellow);

  // A clear brush fills nothing.
  img = Paint(10, 10, [](TCanvas& c) {
    c.Brush.Style = TBrushStyle::bsClear;
    c.FillRect(Rect(0, 0, 10, 10));
  });
  EXPECT_TRUE(Ink(img).IsEmpty());
}

TEST(QtCanvas, LinesLeaveOutTheirEndPoint) {
  QImage img = Paint(10, 10, [](TCanvas& c) {
    c.MoveTo(0, 0);
    c.LineTo(5, 0);
    c.MoveTo(0, 2);
    c.LineTo(3, 5);
  });
  EXPECT_EQ(At(img, 4, 0), clBlack);
  EXPECT_EQ(At(img, 5, 0), clWhite);
  EXPECT_EQ(At(img, 0, 2), clBlack);
  EXPECT_EQ(At(img, 2, 4), clBlack);
  EXPECT_EQ(At(img, 3, 5), clWhite);

  img = Paint(10, 3, [](TCanvas& c) {
    c.Pen.Style = TPenStyle::psDot;
    c.MoveTo(0, 0);
    c.LineTo(6, 0);
  });
  for (int x = 0; x < 6; ++x) EXPECT_EQ(At(img, x, 0), x % 2 == 0 ? clBlack : clWhite) << x;
}

TEST(QtCanvas, PixelPensKeepTheirPatternInEveryDirectionAndRoundRectangles) {
  // Each style's pattern, pixel by pixel from a line's first pixel.
  const struct {
    TPenStyle style;
    const char* pattern;
  } styles[] = {{TPenStyle::psSolid, "1"},
                {TPenStyle::psDot, "10"},
                {TPenStyle::psDash, "11111100"},
                {TPenStyle::psDashDot, "111111001100"},
                {TPenStyle::psDashDotDot, "11111100100100"}};
  const TPoint steps[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  const TColor bg = RGBColor(0x33, 0x66, 0x99);
  for (const auto& st : styles) {
    auto lit = [&](int i) { return st.pattern[i % std::strlen(st.pattern)] == '1'; };
    for (const TPoint step : steps) {
      for (const TPenMode mode : {TPenMode::pmCopy, TPenMode::pmNotXor}) {
        const QImage img = Paint(64, 64, [&](TCanvas& c) {
          c.Pen.Style = st.style;
          c.Pen.Mode = mode;
          c.MoveTo(32, 32);
          c.LineTo(32 + 30 * step.X, 32 + 30 * step.Y);
        }, bg);
        const TColor ink = mode == TPenMode::pmCopy ? clBlack : RGBColor(0xCC, 0x99, 0x66);
        for (int i = 0; i <= 30; ++i)
          EXPECT_EQ(At(img, 32 + i * step.X, 32 + i * step.Y), i < 30 && lit(i) ? ink : bg)
              << st.pattern << " step " << step.X << "," << step.Y << " pixel " << i;
      }
    }
    // A rectangle's outline runs on clockwise from its top-left corner, one pattern.
    const TRect r = Rect(2, 3, 12, 9);
    const QImage img = Paint(16, 16, [&](TCanvas& c) {
      c.Pen.Style = st.style;
      c.Brush.Style = TBrushStyle::bsClear;
      c.Rectangle(r);
    });
    std::vector<TPoint> ring;
    for (int x = r.Left; x < r.Right - 1; ++x) ring.push_back({x, r.Top});
    for (int y = r.Top; y < r.Bottom - 1; ++y) ring.push_back({r.Right - 1, y});
    for (int x = r.Right - 1; x > r.Left; --x) ring.push_back({x, r.Bottom - 1});
    for (int y = r.Bottom - 1; y > r.Top; --y) ring.push_back({r.Left, y});
    for (std::size_t i = 0; i < ring.size(); ++i)
      EXPECT_EQ(At(img, ring[i].X, ring[i].Y), lit(static_cast<int>(i)) ? clBlack : clWhite)
          << st.pattern << " ring pixel " << i;
    EXPECT_EQ(UnionRect(Ink(img), r), r) << st.pattern;  // nothing outside the outline
  }
}

TEST(QtCanvas, XorPensAndTheFocusRectangleUndoThemselves) {
  const TColor bg = RGBColor(0x33, 0x66, 0x99);
  QImage once = Paint(12, 12, [](TCanvas& c) {
    c.Pen.Mode = TPenMode::pmNotXor;
    c.MoveTo(1, 5);
    c.LineTo(11, 5);
    c.DrawFocusRect(Rect(0, 0, 12, 12));
  }, bg);
  EXPECT_EQ(At(once, 3, 5), RGBColor(0xCC, 0x99, 0x66));  // black NotXor: inverted
  EXPECT_EQ(At(once, 0, 0), RGBColor(0xCC, 0x99, 0x66));  // focus dots on even x + y
  EXPECT_EQ(At(once, 1, 0), bg);
  QImage twice = Paint(12, 12, [](TCanvas& c) {
    for (int i = 0; i < 2; ++i) {
      c.Pen.Mode = TPenMode::pmNotXor;
      c.MoveTo(1, 5);
      c.LineTo(11, 5);
      c.Pen.Mode = TPenMode::pmXor;
      c.Pen.Color = clRed;
      c.MoveTo(1, 7);
      c.LineTo(11, 7);
      c.Pen = TPen{};
      c.DrawFocusRect(Rect(0, 0, 12, 12));
    }
  }, bg);
  EXPECT_TRUE(Ink(twice, bg).IsEmpty());
}

TEST(QtCanvas, PatternBrushIsAnchoredAtTheOrigin) {
  QImage img = Paint(8, 8, [](TCanvas& c) {
    c.Brush = DitherBrush(clBlack, clWhite);
    c.FillRect(Rect(1, 0, 8, 8));
  }, clRed);
  EXPECT_EQ(At(img, 0, 0), clRed);
  EXPECT_EQ(At(img, 1, 0), clWhite);  // odd x on an even row: background bit
  EXPECT_EQ(At(img, 2, 0), clBlack);
  EXPECT_EQ(At(img, 1, 1), clBlack);
}

TEST(QtCanvas, ClippingAndSavedStates) {
  QImage img = Paint(20, 20, [](TCanvas& c) {
    c.SaveState();
    c.IntersectClipRect(Rect(0, 0, 5, 5));
    c.Brush.Color = clRed;
    c.FillRect(Rect(0, 0, 20, 20));
    c.RestoreState();
    EXPECT_EQ(c.ClipRect(), Rect(0, 0, 20, 20));
    EXPECT_EQ(c.Brush.Color, clWhite);
    c.Brush.Color = clBlue;
    c.FillRect(Rect(10, 10, 11, 11));
  });
  EXPECT_EQ(At(img, 4, 4), clRed);
  EXPECT_EQ(At(img, 5, 5), clWhite);
  EXPECT_EQ(At(img, 10, 10), clBlue);
}

TEST(DrawHelpersOnQt, ThreeDRectsEdgesAndFlatFrames) {
  QImage img = Paint(12, 8, [](TCanvas& c) { Draw3DRect(c, 0, 0, 10, 5, clRed, clBlue); });
  EXPECT_EQ(At(img, 8, 0), clRed);
  EXPECT_EQ(At(img, 9, 0), clBlue);  // the top-right corner belongs to the dark side
  EXPECT_EQ(At(img, 0, 3), clRed);
  EXPECT_EQ(At(img, 0, 4), clBlue);
  EXPECT_EQ(At(img, 9, 4), clBlue);
  EXPECT_EQ(At(img, 10, 4), clWhite);
  EXPECT_EQ(At(img, 5, 2), clWhite);

  img = Paint(12, 8, [](TCanvas& c) {
    TRect r = Rect(0, 0, 10, 6);
    DrawEdge(c, r, EDGE_SUNKEN, BF_RECT | BF_MIDDLE);
  });
  EXPECT_EQ(At(img, 0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(img, 9, 5), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(At(img, 1, 1), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(At(img, 8, 4), ColorToRGB(cl3DLight));
  EXPECT_EQ(At(img, 4, 3), ColorToRGB(clBtnFace));
  EXPECT_EQ(At(img, 10, 3), clWhite);

  img = Paint(12, 12, [](TCanvas& c) { DrawFlatFrame(c, Rect(0, 0, 10, 10), clYellow, true); });
  EXPECT_EQ(At(img, 0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(img, 9, 9), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(At(img, 1, 1), ColorToRGB(clBtnText));
  EXPECT_EQ(At(img, 8, 8), ColorToRGB(cl3DLight));
  EXPECT_EQ(At(img, 5, 5), clWhite);
  img = Paint(12, 12, [](TCanvas& c) { DrawFlatFrame(c, Rect(0, 0, 10, 10), clYellow, false); });
  EXPECT_EQ(At(img, 1, 1), clYellow);
}

TEST(DrawHelpersOnQt, TransparentBitmapsLeaveTheirKeyColourOut) {
  TBitmap bmp(4, 4, clFuchsia);
  bmp.SetPixel(1, 1, clGreen);
  bmp.SetPixel(2, 2, clNavy);
  QImage img = Paint(20, 20, [&](TCanvas& c) {
    DrawTransparentBitmap(c, bmp, 10, 10, Rect(0, 0, 4, 4), clFuchsia);
    DrawTransparentBitmap(c, bmp, 0, 0, Rect(1, 1, 3, 3), clFuchsia);  // a part of it
    c.Draw(15, 0, bmp);                                                  // opaque
  });
  EXPECT_EQ(At(img, 11, 11), clGreen);
  EXPECT_EQ(At(img, 12, 12), clNavy);
  EXPECT_EQ(At(img, 10, 10), clWhite);
  EXPECT_EQ(At(img, 13, 13), clWhite);
  EXPECT_EQ(At(img, 0, 0), clGreen);
  EXPECT_EQ(At(img, 1, 1), clNavy);
  EXPECT_EQ(At(img, 1, 0), clWhite);
  EXPECT_EQ(At(img, 15, 0), clFuchsia);
  // A transparent bitmap drawn with Draw takes its bottom-left pixel as the key.
  bmp.Transparent = true;
  img = Paint(6, 6, [&](TCanvas& c) { c.Draw(0, 0, bmp); });
  EXPECT_EQ(Ink(img), Rect(1, 1, 3, 3));
}

TEST(QtText, ClippedToItsRectangleAndShortenedWithAnEllipsis) {
  const AnsiString text = Ansi("Крупа гречневая ядрица, сорт первый");
  TRect r = Rect(10, 10, 60, 30);
  QImage img = Paint(200, 40, [&](TCanvas& c) { c.DrawText(text, r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX); });
  const TRect ink = Ink(img);
  EXPECT_FALSE(ink.IsEmpty());
  EXPECT_EQ(IntersectRect(ink, r), ink);  // nothing outside
  EXPECT_GE(ink.Right, 58);               // cut at the edge, not shortened

  img = Paint(200, 40, [&](TCanvas& c) { c.DrawText(text, r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX); });
  const TRect shortened = Ink(img);
  EXPECT_LE(shortened.Right, 60);
  TRecordingCanvas measure(Rect(0, 0, 200, 40), &TQtTextMetrics::Instance());
  measure.DrawText(text, r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  const AnsiString drawn = measure.Texts().at(0);
  EXPECT_EQ(drawn.substr(drawn.size() - 3), "...");
  EXPECT_LE(TQtTextMetrics::Instance().TextWidth(TFont{}, drawn), r.Width());

  // Right alignment ends the ink at the right edge.
  r = Rect(0, 0, 150, 20);
  img = Paint(200, 20, [&](TCanvas& c) { c.DrawText("Wide", r, DT_SINGLELINE | DT_RIGHT); });
  EXPECT_GE(Ink(img).Right, 146);
  EXPECT_LE(Ink(img).Right, 150);
  EXPECT_GT(Ink(img).Left, 100);
}

TEST(QtText, OpaqueBrushFillsOnlyTheTextCells) {
  QImage img = Paint(200, 20, [](TCanvas& c) {
    c.Brush.Color = clYellow;
    TRect r = Rect(0, 0, 200, 20);
    c.DrawText("ab", r, DT_SINGLELINE);
  });
  EXPECT_EQ(At(img, 0, 0), clYellow);
  EXPECT_EQ(At(img, 150, 5), clWhite);
}

TEST(QtFonts, SystemNamesMapToTheShippedFontsWithTheHeightRule) {
  TFont arial;
  arial.Name = "Arial";
  arial.Height = -16;
  EXPECT_EQ(QFontInfo(ToQFont(arial)).family(), "Liberation Sans");
  EXPECT_EQ(ToQFont(arial).pixelSize(), 16);
  TFont times;
  times.Name = "Times New Roman";
  EXPECT_EQ(QFontInfo(ToQFont(times)).family(), "Liberation Serif");
  TFont courier;
  courier.Name = "courier new";
  EXPECT_EQ(QFontInfo(ToQFont(courier)).family(), "Liberation Mono");
  EXPECT_EQ(QFontInfo(ToQFont(TFont{})).family(), "Liberation Sans");
  // A positive height is the cell height.
  TFont cell;
  cell.Height = 20;
  EXPECT_NEAR(TQtTextMetrics::Instance().TextHeight(cell), 20, 1);
  TFont chars;
  chars.Height = -20;
  EXPECT_GT(TQtTextMetrics::Instance().TextHeight(chars), 20);
  // Cyrillic 1251 text is measured as the letters it stands for.
  const QFontMetrics fm(ToQFont(TFont{}));
  EXPECT_EQ(TQtTextMetrics::Instance().TextWidth(TFont{}, Ansi("Шщ")), fm.horizontalAdvance(QString::fromUtf8("Шщ")));
  EXPECT_EQ(FromQString(ToQString(Ansi("Ёжик"))), Ansi("Ёжик"));
}
