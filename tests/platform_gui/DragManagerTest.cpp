// The in-process drag manager: which control hears what, in which order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <memory>

#include "platform/gui/Controls.h"
#include "platform/gui/DragManager.h"

namespace {

const char* StateName(TDragState s) {
  switch (s) {
    case TDragState::dsDragEnter: return "enter";
    case TDragState::dsDragLeave: return "leave";
    case TDragState::dsDragMove: return "move";
  }
  return "?";
}

// Three controls side by side on screen: the source at x 0..99, target A at
// 100..199 (accepts), target B at 200..299 (refuses).
class DragTest : public testing::Test {
 protected:
  void SetUp() override {
    window.setGeometry(0, 0, 300, 50);
    source = new TCustomControl(&window);
    a = new TCustomControl(&window);
    b = new TCustomControl(&window);
    source->setGeometry(0, 0, 100, 50);
    a->setGeometry(100, 0, 100, 50);
    b->setGeometry(200, 0, 100, 50);
    window.show();
    origin = window.mapToGlobal(QPoint(0, 0));
    DragManager().SetTargetFinder([this](QPoint p) -> TWinControl* {
      const QPoint local = p - origin;
      if (local.y() < 0 || local.y() >= 50) return nullptr;
      if (local.x() >= 0 && local.x() < 100) return source;
      if (local.x() >= 100 && local.x() < 200) return a;
      if (local.x() >= 200 && local.x() < 300) return b;
      return nullptr;
    });
    Listen(a, "A", true);
    Listen(b, "B", false);
    source->OnStartDrag = [this](TObject* s) { log.push_back(s == source ? "start" : "start?"); };
    source->OnEndDrag = [this](TObject*, TObject* target, int x, int y) {
      log.push_back(std::string("end ") + (!target ? "nil" : target == a ? "A" : target == b ? "B" : "?") + " " +
                    std::to_string(x) + "," + std::to_string(y));
    };
  }
  void TearDown() override { DragManager().SetTargetFinder(nullptr); }

  void Listen(TCustomControl* c, const std::string& name, bool accept) {
    c->OnDragOver = [this, name, accept](TObject*, TObject* src, int x, int y, TDragState st, bool& acc) {
      EXPECT_EQ(src, source);
      log.push_back(name + " " + StateName(st) + " " + std::to_string(x) + "," + std::to_string(y));
      acc = accept;
    };
    c->OnDragDrop = [this, name](TObject*, TObject* src, int x, int y) {
      EXPECT_EQ(src, source);
      log.push_back(name + " drop " + std::to_string(x) + "," + std::to_string(y));
    };
  }
  QPoint At(int x, int y = 10) const { return origin + QPoint(x, y); }

  QWidget window;
  TCustomControl* source = nullptr;
  TCustomControl* a = nullptr;
  TCustomControl* b = nullptr;
  QPoint origin;
  std::vector<std::string> log;
};

}  // namespace

TEST_F(DragTest, DropOnAnAcceptingControl) {
  source->BeginDrag(true);
  EXPECT_TRUE(source->Dragging());
  DragManager().DragTo(At(50));
  DragManager().DragTo(At(110));
  DragManager().DragTo(At(120));
  EXPECT_EQ(DragManager().Target(), a);
  EXPECT_TRUE(DragManager().Accepted());
  DragManager().Finish(At(120), true);
  EXPECT_FALSE(DragManager().IsDragging());
  // The source has no OnDragOver, so it refuses silently; A enters, moves, drops;
  // the source ends with A in A's coordinates. A drop is not preceded by a leave.
  const std::vector<std::string> expected = {"start", "A enter 10,10", "A move 20,10", "A drop 20,10", "end A 20,10"};
  EXPECT_EQ(log, expected);
}

TEST_F(DragTest, RefusedDropAndCancelEndWithoutTarget) {
  source->BeginDrag(true);
  DragManager().DragTo(At(150));
  DragManager().DragTo(At(250));
  EXPECT_FALSE(DragManager().Accepted());
  DragManager().Finish(At(260), true);
  const std::vector<std::string> expected = {"start", "A enter 50,10", "A leave 150,10", "B enter 50,10",
                                             "B move 60,10", "B leave 60,10", "end nil 260,10"};
  EXPECT_EQ(log, expected);

  log.clear();
  source->BeginDrag(true);
  DragManager().DragTo(At(150));
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(a, &esc);
  EXPECT_FALSE(DragManager().IsDragging());
  EXPECT_EQ(log, (std::vector<std::string>{"start", "A enter 50,10", "A leave 50,10", "end nil 150,10"}));
}

TEST_F(DragTest, MouseEventsDriveTheDragAfterTheThreshold) {
  QCursor::setPos(At(10));
  const QPoint start = QCursor::pos();
  source->BeginDrag(false);
  EXPECT_TRUE(DragManager().IsPending());
  auto move = [&](QPoint global, QEvent::Type type = QEvent::MouseMove) {
    QMouseEvent e(type, QPointF(source->mapFromGlobal(global)), QPointF(global), Qt::LeftButton,
                  type == QEvent::MouseMove ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(source, &e);
  };
  move(start + QPoint(3, 3));  // 4.2 pixels: not yet
  EXPECT_FALSE(DragManager().IsDragging());
  EXPECT_TRUE(log.empty());
  move(start + QPoint(4, 3));  // 5 pixels: the drag starts here
  EXPECT_TRUE(DragManager().IsDragging());
  move(At(130));
  move(At(130), QEvent::MouseButtonRelease);
  EXPECT_FALSE(DragManager().IsDragging());
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log.front(), "start");
  EXPECT_EQ(log[log.size() - 2], "A drop 30,10");
  EXPECT_EQ(log.back(), "end A 30,10");
}

TEST_F(DragTest, AReleaseBeforeTheThresholdIsNoDrag) {
  QCursor::setPos(At(10));
  source->BeginDrag(false);
  QMouseEvent up(QEvent::MouseButtonRelease, QPointF(11, 10), QPointF(At(11)), Qt::LeftButton, Qt::NoButton,
                 Qt::NoModifier);
  QApplication::sendEvent(source, &up);
  EXPECT_FALSE(DragManager().IsPending());
  EXPECT_FALSE(DragManager().IsDragging());
  EXPECT_TRUE(log.empty());
}

TEST_F(DragTest, ControlsDestroyedDuringADragAreForgotten) {
  source->BeginDrag(true);
  DragManager().DragTo(At(150));
  delete a;
  a = nullptr;
  EXPECT_EQ(DragManager().Target(), nullptr);
  DragManager().SetTargetFinder([](QPoint) { return nullptr; });
  DragManager().Finish(At(150), true);
  EXPECT_EQ(log.back(), "end nil 150,10");

  source->BeginDrag(true);
  delete source;
  source = nullptr;
  EXPECT_FALSE(DragManager().IsDragging());
}

TEST_F(DragTest, ASourceDestroyedByTheDropHearsNoEnd) {
  a->OnDragDrop = [this](TObject*, TObject*, int, int) {
    log.push_back("A drop");
    delete source;  // the drop closes the window the items came from
    source = nullptr;
  };
  QPointer<TCustomControl> watched = a;
  source->BeginDrag(true);
  DragManager().DragTo(At(150));
  DragManager().Finish(At(150), true);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "A enter 50,10", "A drop"}));
  EXPECT_FALSE(DragManager().IsDragging());
  EXPECT_TRUE(watched);
}
