// Qt mouse, wheel, focus, resize and paint events as the class library's entry
// points and events, in its order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMimeData>
#include <QWindow>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "platform/gui/Controls.h"
#include "platform/gui/QtGraphics.h"

namespace {

class Probe : public TCustomControl {
 public:
  explicit Probe(QWidget* parent = nullptr) : TCustomControl(parent) {
    OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
      log.push_back(Describe("down", b, s, x, y));
    };
    OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
      log.push_back(Describe("up", b, s, x, y));
    };
    OnClick = [this](TObject*) { log.push_back("click"); };
    OnDblClick = [this](TObject*) { log.push_back("dblclick"); };
    OnMouseMove = [this](TObject*, TShiftState s, int x, int y) {
      log.push_back("move " + std::to_string(x) + "," + std::to_string(y) + (s & ssLeft ? " left" : ""));
    };
    OnEnter = [this](TObject*) { log.push_back("enter"); };
    OnExit = [this](TObject*) { log.push_back("exit"); };
    OnResize = [this](TObject*) { log.push_back("resize " + std::to_string(ClientWidth())); };
  }
  static std::string Describe(const char* what, TMouseButton b, TShiftState s, int x, int y) {
    std::string out = std::string(what) + (b == TMouseButton::mbLeft ? " L " : b == TMouseButton::mbRight ? " R " : " M ");
    out += std::to_string(x) + "," + std::to_string(y);
    if (s & ssDouble) out += " double";
    if (s & ssShift) out += " shift";
    return out;
  }
  void Paint(TCanvas& c) override {
    c.Brush.Color = clRed;
    c.FillRect(Rect(0, 0, 10, 10));
    c.Brush.Color = Color();
    c.FillRect(Rect(10, 0, ClientWidth(), ClientHeight()));
  }
  std::vector<std::string> log;
};

void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButton b, QPoint p, Qt::KeyboardModifiers m = Qt::NoModifier) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(b);
  QMouseEvent e(type, QPointF(p), QPointF(w->mapToGlobal(p)), b, held, m);
  QApplication::sendEvent(w, &e);
}

}  // namespace

TEST(ControlMouse, PressReleaseClickAndDoubleClickOrder) {
  Probe c;
  c.resize(100, 50);
  Mouse(&c, QEvent::MouseButtonPress, Qt::LeftButton, {5, 6}, Qt::ShiftModifier);
  Mouse(&c, QEvent::MouseButtonRelease, Qt::LeftButton, {5, 6});
  Mouse(&c, QEvent::MouseButtonDblClick, Qt::LeftButton, {5, 6});
  Mouse(&c, QEvent::MouseButtonRelease, Qt::LeftButton, {5, 6});
  const std::vector<std::string> expected = {"down L 5,6 shift", "up L 5,6", "click", "dblclick",
                                             "down L 5,6 double", "up L 5,6"};
  EXPECT_EQ(c.log, expected);

  // Released outside the client area: no click; the right button never clicks.
  c.log.clear();
  Mouse(&c, QEvent::MouseButtonPress, Qt::LeftButton, {5, 6});
  Mouse(&c, QEvent::MouseButtonRelease, Qt::LeftButton, {150, 6});
  Mouse(&c, QEvent::MouseButtonPress, Qt::RightButton, {5, 6});
  Mouse(&c, QEvent::MouseButtonRelease, Qt::RightButton, {5, 6});
  EXPECT_EQ(c.log, (std::vector<std::string>{"down L 5,6", "up L 150,6", "down R 5,6", "up R 5,6"}));

  c.log.clear();
  QMouseEvent move(QEvent::MouseMove, QPointF(7, 8), QPointF(c.mapToGlobal(QPoint(7, 8))), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&c, &move);
  EXPECT_EQ(c.log, (std::vector<std::string>{"move 7,8 left"}));
}

TEST(ControlMouse, PopupMenuAfterTheRightButtonRelease) {
  Probe c;
  c.resize(100, 50);
  QMenu menu;
  menu.addAction(QString::fromUtf8("Удалить"));
  c.PopupMenu = &menu;
  Mouse(&c, QEvent::MouseButtonPress, Qt::RightButton, {5, 6});
  EXPECT_FALSE(menu.isVisible());  // not on the press: the control's press step runs first
  Mouse(&c, QEvent::MouseButtonRelease, Qt::RightButton, {5, 6});
  EXPECT_TRUE(menu.isVisible());
  EXPECT_EQ(c.log, (std::vector<std::string>{"down R 5,6", "up R 5,6"}));
  menu.hide();
  // The left button never pops it up.
  Mouse(&c, QEvent::MouseButtonPress, Qt::LeftButton, {5, 6});
  Mouse(&c, QEvent::MouseButtonRelease, Qt::LeftButton, {5, 6});
  EXPECT_FALSE(menu.isVisible());
}

TEST(ControlMouse, WheelGoesToDoMouseWheelWithTheSystemDelta) {
  Probe c;
  int delta = 0;
  bool reply = true;
  c.OnMouseWheel = [&](TObject*, TShiftState, int d, TPoint, bool& handled) {
    delta = d;
    handled = reply;
  };
  QWheelEvent e(QPointF(3, 3), QPointF(3, 3), QPoint(), QPoint(0, -240), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(&c, &e);
  EXPECT_EQ(delta, -240);
  EXPECT_TRUE(e.isAccepted());
}

TEST(ControlPaint, PaintsThroughTheCanvasOnScreenAndOffScreen) {
  Probe c;
  c.SetColor(clGreen);
  c.resize(40, 20);
  c.show();
  const QImage rendered = c.RenderToImage();
  EXPECT_EQ(FromQColor(rendered.pixelColor(9, 9)), clRed);
  EXPECT_EQ(FromQColor(rendered.pixelColor(10, 9)), clGreen);
  for (bool buffered : {true, false}) {
    c.DoubleBuffered = buffered;
    const QImage shot = c.grab().toImage();
    EXPECT_EQ(FromQColor(shot.pixelColor(9, 9)), clRed) << buffered;
    EXPECT_EQ(FromQColor(shot.pixelColor(39, 19)), clGreen) << buffered;
  }
  c.log.clear();
  c.resize(60, 20);
  EXPECT_EQ(c.log, (std::vector<std::string>{"resize 60"}));
}

TEST(ControlPaint, AGraphicControlLeavesTheParentVisibleWhereItDoesNotPaint) {
  Probe parent;  // paints red at 0..9, its colour elsewhere
  parent.SetColor(clBlue);
  parent.resize(60, 30);
  class Mark : public TGraphicControl {
   public:
    using TGraphicControl::TGraphicControl;
    void Paint(TCanvas& c) override {
      c.Brush.Color = clYellow;
      c.FillRect(Rect(10, 0, 11, 1));  // one pixel of its own
    }
  } mark(&parent);
  mark.setGeometry(0, 0, 30, 30);
  parent.show();
  const QImage shot = parent.grab().toImage();
  EXPECT_EQ(FromQColor(shot.pixelColor(5, 5)), clRed);
  EXPECT_EQ(FromQColor(shot.pixelColor(20, 5)), clBlue);
  EXPECT_EQ(FromQColor(shot.pixelColor(10, 0)), clYellow);
  EXPECT_FALSE(mark.TabStop());
}

TEST(ControlFocus, EnterAndExitFollowTheActiveControlOfTheWindow) {
  QWidget window, other;
  Probe a(&window), b(&window);
  a.SetTabStop(true);
  b.SetTabStop(true);
  window.show();
  other.show();
  QApplication::setActiveWindow(&window);
  a.SetFocus();
  EXPECT_TRUE(a.Focused());
  a.log.clear();
  b.log.clear();
  b.SetFocus();
  EXPECT_EQ(a.log, (std::vector<std::string>{"exit"}));
  EXPECT_EQ(b.log, (std::vector<std::string>{"enter"}));
  // Switching to another window and back enters and exits nothing.
  QApplication::setActiveWindow(&other);
  EXPECT_FALSE(b.Focused());
  QApplication::setActiveWindow(&window);
  EXPECT_TRUE(b.Focused());
  EXPECT_EQ(b.log, (std::vector<std::string>{"enter"}));
  EXPECT_TRUE(b.CanFocus());
  b.Widget()->setEnabled(false);
  EXPECT_FALSE(b.CanFocus());
}

TEST(ControlHints, ShowHintComesFromTheParentControl) {
  Probe parent;
  Probe child(&parent);
  parent.ShowHint = false;
  parent.ParentShowHint = false;
  EXPECT_FALSE(child.EffectiveShowHint());
  parent.ShowHint = true;
  EXPECT_TRUE(child.EffectiveShowHint());
  child.ParentShowHint = false;
  EXPECT_FALSE(child.EffectiveShowHint());
  EXPECT_EQ(TWinControl::FromWidget(child.Widget()), &child);
}

namespace {

class Scroller : public TCustomScrollControl {
 public:
  std::vector<std::string> log;
  void Scroll(TScrollBarKind bar, TScrollCode code, int& pos) override {
    log.push_back(std::string(bar == TScrollBarKind::sbVertical ? "V " : "H ") +
                  std::to_string(static_cast<int>(code)) + " " + std::to_string(pos));
    if (code == TScrollCode::scLineDown) pos += 2;  // the control decides the step
  }
  void KeyDown(std::uint16_t& key, TShiftState) override { log.push_back("key " + std::to_string(key)); }
};

}  // namespace

TEST(ScrollControl, BarsReportActionsWithCodesAndTheControlSetsThePosition) {
  Scroller s;
  s.resize(100, 100);
  s.show();
  s.SetScrollInfo(TScrollBarKind::sbVertical, 10, 4, 3);
  EXPECT_TRUE(s.log.empty());  // setting from code fires nothing
  EXPECT_EQ(s.ScrollPos(TScrollBarKind::sbVertical), 3);
  s.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(s.ScrollPos(TScrollBarKind::sbVertical), 6);
  s.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
  s.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(s.log, (std::vector<std::string>{"V 1 4", "V 6 0", "V 3 4"}));
  // Keys go to the control, never to the bars.
  QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
  QApplication::sendEvent(&s, &down);
  EXPECT_EQ(s.log.back(), "key 34");
  EXPECT_EQ(s.ScrollPos(TScrollBarKind::sbVertical), 4);
  // A wheel the control does not handle does not scroll either.
  QWheelEvent wheel(QPointF(3, 3), QPointF(3, 3), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(s.viewport(), &wheel);
  EXPECT_EQ(s.ScrollPos(TScrollBarKind::sbVertical), 4);
  // The wheel over the bar itself reports the new position.
  s.log.clear();
  QApplication::sendEvent(s.verticalScrollBar(), &wheel);
  ASSERT_EQ(s.log.size(), 1u);
  EXPECT_EQ(s.log[0].substr(0, 4), "V 4 ");
  EXPECT_EQ("V 4 " + std::to_string(s.ScrollPos(TScrollBarKind::sbVertical)), s.log[0]);
}

TEST(ScrollControl, ABarShowsAndHidesWithItsRange) {
  Scroller s;
  s.resize(100, 100);
  s.show();
  QApplication::processEvents();
  for (const int max : {10, 0, 25, 0}) {
    s.SetScrollInfo(TScrollBarKind::sbHorizontal, max, 50, 0);
    QApplication::processEvents();
    EXPECT_EQ(s.horizontalScrollBar()->isVisible(), max > 0) << max;
  }
  EXPECT_TRUE(s.log.empty());
}

namespace {

class DropTarget : public TCustomControl {
 public:
  std::vector<AnsiString> dropped;
  void DropFiles(const std::vector<AnsiString>& names) override { dropped = names; }
};

}  // namespace

TEST(ShellDrops, FilesDroppedOnAControlThatAcceptsThem) {
  DropTarget c;
  c.resize(40, 40);
  c.show();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromUtf8("/data/Походы/рис.tw")), QUrl("https://example.org/x")});
  // As the window system delivers a drop: enter, then drop, at the window.
  auto dropAt = [&] {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(c.windowHandle(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(c.windowHandle(), &drop);
  };
  c.setAcceptDrops(true);  // the window takes drops, the control does not (AcceptFiles off)
  dropAt();
  EXPECT_TRUE(c.dropped.empty());
  c.SetAcceptFiles(true);
  dropAt();
  EXPECT_EQ(c.dropped, std::vector<AnsiString>{Ansi("/data/Походы/рис.tw")});
}
