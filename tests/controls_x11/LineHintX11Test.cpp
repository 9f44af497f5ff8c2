// The tree's line hint under a real X server (xcb platform, run by xvfb-run): the pointer is
// moved by the window system, so the hint window appears under a resting pointer as it
// does for a user, with every enter and leave event the X server and Qt make of that.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "ServerPointer.h"
#include "X11Session.h"
#include "controls/gui/MtTreeView.h"
#include "platform/gui/Application.h"
#include "platform/gui/ExtCtrls.h"

namespace {

// Generous waits: the suite runs beside others, under ASan.
constexpr int kWaitMs = 10000;

class LineHintX11Test : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_X_SERVER();
    tree = std::make_unique<TMtTree>();
    tree->setWindowTitle("Line hint");
    tree->setGeometry(100, 100, 260, 200);
    {
      TMtUpdateBracket bracket(tree.get());
      shortItem = tree->Items()->AddChild(nullptr, "Short");
      longItem = tree->Items()->AddChild(nullptr, AnsiString(60, 'W'));
      tree->Items()->AddChild(nullptr, "Last");
    }
    tree->OnMouseMove = [this](TObject*, TShiftState, int, int) { ++moves; };
    tree->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { ++presses; };
    tree->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tree.get(), kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree->viewport()->isVisible(); }, kWaitMs));
  }
  void TearDown() override {
    tree.reset();
    QApplication::processEvents();
  }

  // A screen point on the text of the item's row.
  QPoint OnText(TMtTreeItem* item) const {
    const int row = tree->RowOf(item);
    const int y = tree->HeaderHeight() + row * tree->LineHeight() + tree->LineHeight() / 2;
    const int x = tree->MainCellOf(item, y).TextLeft + 20;
    return tree->viewport()->mapToGlobal(QPoint(x, y));
  }
  // Moves the pointer as the window system does, and lets the tree take in what it sees.
  void PointerTo(QPoint screen) {
    QCursor::setPos(screen);
    QTest::qWait(250);
  }
  bool HintShown() const { return tree->LineHintWindow().Visible(); }

  // Brings the hint up on the long item with the pointer resting on its text.
  QPoint RestOnTheCutRow() {
    PointerTo(OnText(shortItem));
    const QPoint rest = OnText(longItem);
    PointerTo(rest);
    EXPECT_TRUE(QTest::qWaitFor([&] { return HintShown(); }, kWaitMs)) << "the hint never showed";
    return rest;
  }

  std::unique_ptr<TMtTree> tree;
  int moves = 0, presses = 0;
  TMtTreeItem* shortItem = nullptr;
  TMtTreeItem* longItem = nullptr;
};

TEST_F(LineHintX11Test, ShowsWhileThePointerRestsOnTheItemAndGoesWhenItLeaves) {
  ASSERT_EQ(tree->LineHintText(tree->viewport()->mapFromGlobal(OnText(longItem)).y()), longItem->Text());
  // The pointer comes in over another row and comes to rest on the row whose text is cut
  // off (a pointer put straight in place gets the enter event but no move).
  PointerTo(OnText(shortItem));
  PointerTo(OnText(longItem));
  ASSERT_TRUE(QTest::qWaitFor([&] { return HintShown(); }, kWaitMs)) << "the hint never showed";
  EXPECT_EQ(tree->LineHintWindow().Caption(), longItem->Text());
  // It stays while the pointer rests there (the hint window mapped under the pointer
  // must not count as the pointer leaving).
  EXPECT_FALSE(QTest::qWaitFor([&] { return !HintShown(); }, 1500)) << "the hint went at once";

  // The pointer leaves the tree: the hint goes.
  const QPoint outside = tree->mapToGlobal(QPoint(tree->width() + 150, tree->height() + 150));
  PointerTo(outside);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !HintShown(); }, kWaitMs)) << "the hint stayed";
}

TEST_F(LineHintX11Test, GoesWhenThePointerMovesToAnotherRow) {
  PointerTo(OnText(shortItem));
  PointerTo(OnText(longItem));
  ASSERT_TRUE(QTest::qWaitFor([&] { return HintShown(); }, kWaitMs)) << "the hint never showed";
  PointerTo(OnText(shortItem));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !HintShown(); }, kWaitMs)) << "the hint stayed";
}

// The hint lies over the row the pointer rests on; the tree under it keeps the pointer:
// a move along the row reaches the tree (and hides the hint, HideHintOnMove), and a press
// there acts on the row.
TEST_F(LineHintX11Test, AMoveAlongTheRowUnderTheHintReachesTheTreeAndHidesIt) {
  const QPoint rest = RestOnTheCutRow();
  ASSERT_TRUE(HintShown());
  ASSERT_TRUE(tree->LineHintWindow().Widget()->geometry().contains(rest + QPoint(6, 0)));
  const int movesBefore = moves;
  PointerTo(rest + QPoint(6, 0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return moves > movesBefore; }, kWaitMs)) << "the move went to the hint";
  EXPECT_TRUE(QTest::qWaitFor([&] { return !HintShown(); }, kWaitMs)) << "the hint stayed after a move";
}

TEST_F(LineHintX11Test, AClickOnTheRowUnderTheHintFocusesItsItem) {
  ServerPointer pointer;
  if (!pointer.Usable()) GTEST_SKIP() << "the X server's XTEST extension (libXtst.so.6) is not available";
  ASSERT_EQ(tree->ItemFocused(), nullptr);
  const QPoint rest = RestOnTheCutRow();
  ASSERT_TRUE(HintShown());
  ASSERT_TRUE(tree->LineHintWindow().Widget()->geometry().contains(rest));
  pointer.Button(true);
  pointer.Button(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return presses == 1; }, kWaitMs)) << "the press went to the hint";
  EXPECT_EQ(tree->ItemFocused(), longItem);
}

}  // namespace
