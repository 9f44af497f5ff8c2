// Timers, hint windows, cursors, mouse capture and system metrics.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include "platform/gui/Controls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/QtGraphics.h"

TEST(Timers, RunOnlyWhenEnabledWithAnIntervalAndAHandler) {
  TTimer t;
  EXPECT_TRUE(t.Enabled());
  EXPECT_FALSE(t.Running());  // no handler yet
  int ticks = 0;
  TObject* sender = nullptr;
  t.SetOnTimer([&](TObject* s) {
    ++ticks;
    sender = s;
  });
  EXPECT_TRUE(t.Running());
  t.SetInterval(0);
  EXPECT_FALSE(t.Running());
  t.SetInterval(1000);
  t.SetEnabled(false);
  EXPECT_FALSE(t.Running());
  t.Timer();  // what a tick does
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(sender, &t);
  // A real tick arrives through the event loop.
  t.SetInterval(1);
  t.SetEnabled(true);
  QElapsedTimer guard;
  guard.start();
  while (ticks < 2 && guard.elapsed() < 5000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  EXPECT_GE(ticks, 2);
}

TEST(HintWindows, ShowTheTextAtTheRectangleAndHide) {
  THintWindow hint;
  EXPECT_FALSE(hint.Visible());
  const AnsiString text = Ansi("Гречка: 329 ккал");
  const TRect need = hint.CalcHintRect(300, text);
  EXPECT_EQ(need.Left, 0);
  EXPECT_EQ(need.Width(), TQtTextMetrics::Instance().TextWidth(hint.Font, text) + 6);
  EXPECT_EQ(need.Height(), TQtTextMetrics::Instance().TextHeight(hint.Font) + 4);
  // A narrow limit wraps the text onto more lines.
  EXPECT_GT(hint.CalcHintRect(60, text).Height(), need.Height());
  hint.ActivateHint(OffsetRect(need, 100, 50), text);
  EXPECT_TRUE(hint.Visible());
  EXPECT_EQ(hint.Caption(), text);
  EXPECT_EQ(hint.Widget()->geometry(), QRect(100, 50, need.Width(), need.Height()));
  hint.ReleaseHandle();
  EXPECT_FALSE(hint.Visible());
}

TEST(Cursors, ClassLibraryNumbersAndTheProgramsOwn) {
  EXPECT_EQ(CursorFor(crHSplit).shape(), Qt::SplitHCursor);
  EXPECT_EQ(CursorFor(crVSplit).shape(), Qt::SplitVCursor);
  EXPECT_EQ(CursorFor(crNoDrop).shape(), Qt::ForbiddenCursor);
  EXPECT_EQ(CursorFor(crDrag).shape(), Qt::DragMoveCursor);
  EXPECT_EQ(CursorFor(crHandPoint).shape(), Qt::PointingHandCursor);
  EXPECT_EQ(CursorFor(crHandCur).shape(), Qt::BitmapCursor);
  EXPECT_EQ(CursorFor(crDragCur).shape(), Qt::BitmapCursor);
  RegisterCursor(14005, QCursor(Qt::CrossCursor));
  EXPECT_EQ(CursorFor(14005).shape(), Qt::CrossCursor);
  EXPECT_THROW(ResourceCursor("NOCUR"), Exception);

  TCustomControl c;
  c.SetCursor(crHSplit);
  EXPECT_EQ(c.cursor().shape(), Qt::SplitHCursor);
  c.SetCursor(crDefault);
  EXPECT_EQ(c.cursor().shape(), Qt::ArrowCursor);
}

TEST(MouseCapture, ExplicitCaptureGrabsTheMouse) {
  TCustomControl c;
  c.resize(30, 30);
  c.show();
  EXPECT_FALSE(c.MouseCapture());
  c.SetCapture();
  EXPECT_TRUE(c.MouseCapture());
  EXPECT_EQ(QWidget::mouseGrabber(), &c);
  c.ReleaseCapture();
  EXPECT_FALSE(c.MouseCapture());
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST(SystemMetrics, FixedAndStyleValues) {
  EXPECT_EQ(GetSystemMetrics(SM_CYBORDER), 1);
  EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
  EXPECT_EQ(GetSystemMetrics(SM_CXDRAG), 5);
  EXPECT_GT(GetSystemMetrics(SM_CXVSCROLL), 8);
  EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
  EXPECT_GE(WheelScrollLines(), 0);
  EXPECT_GT(DoubleClickTime(), 0);
}

TEST(SystemColours, ComeFromThePaletteRoles) {
  QPalette pal;
  pal.setColor(QPalette::Button, QColor(1, 2, 3));
  pal.setColor(QPalette::Highlight, QColor(4, 5, 6));
  pal.setColor(QPalette::ToolTipBase, QColor(7, 8, 9));
  const TSysColorTable t = SysColorsFromPalette(pal);
  EXPECT_EQ(t[COLOR_BTNFACE], RGBColor(1, 2, 3));
  EXPECT_EQ(t[COLOR_HIGHLIGHT], RGBColor(4, 5, 6));
  EXPECT_EQ(t[COLOR_INFOBK], RGBColor(7, 8, 9));
  EXPECT_EQ(t[COLOR_ACTIVECAPTION], ClassicSysColors()[COLOR_ACTIVECAPTION]);
  EXPECT_EQ(ToQColor(clBtnFace), QColor::fromRgb(GetRValue(ColorToRGB(clBtnFace)), GetGValue(ColorToRGB(clBtnFace)),
                                                 GetBValue(ColorToRGB(clBtnFace))));
}

TEST(DragImages, FollowThePointerByTheirHotSpot) {
  TDragImageWindow image;
  EXPECT_FALSE(image.Visible());
  image.Show(TBitmap(30, 10, clBtnFace), {5, 3}, {200, 100});
  EXPECT_TRUE(image.Visible());
  EXPECT_EQ(image.Widget()->geometry(), QRect(195, 97, 30, 10));
  image.MoveTo({250, 120});
  EXPECT_EQ(image.Widget()->pos(), QPoint(245, 117));
  EXPECT_TRUE(image.Widget()->testAttribute(Qt::WA_TransparentForMouseEvents));
  image.Hide();
  EXPECT_FALSE(image.Visible());
}

TEST(TrackLines, ShowOverTheParentsChildrenAndDrawOnThePixels) {
  TCustomControl parent;
  parent.SetColor(clWhite);
  parent.resize(100, 60);
  TCustomControl child(&parent);
  child.SetColor(clGreen);
  child.setGeometry(0, 0, 100, 60);
  TTrackLine line(&parent, TTrackLine::TOrientation::Vertical, clRed);
  parent.show();
  line.Show(40);
  EXPECT_TRUE(line.Visible());
  EXPECT_EQ(line.Widget()->geometry(), QRect(40, 0, 1, 60));
  QImage shot = parent.grab().toImage();
  EXPECT_EQ(FromQColor(shot.pixelColor(40, 30)), clRed);    // above the child
  EXPECT_EQ(FromQColor(shot.pixelColor(41, 30)), clGreen);
  line.Show(70, 10, 20);
  EXPECT_EQ(line.Widget()->geometry(), QRect(70, 10, 1, 10));
  line.Hide();
  shot = parent.grab().toImage();
  EXPECT_EQ(FromQColor(shot.pixelColor(40, 30)), clGreen);
  TTrackLine across(&parent, TTrackLine::TOrientation::Horizontal);
  across.Show(5);
  EXPECT_EQ(across.Widget()->geometry(), QRect(0, 5, 100, 1));
  // A parent that goes first takes the line with it; the line object stays usable.
  auto* owner = new QWidget;
  TTrackLine orphan(owner, TTrackLine::TOrientation::Vertical);
  delete owner;
  EXPECT_FALSE(orphan.Visible());
  orphan.Show(3);
}
