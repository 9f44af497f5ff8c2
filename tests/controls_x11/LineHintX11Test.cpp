// The tree's line hint under a real X server (xcb platform, run by xvfb-run): the pointer is
// moved by the window system, so the hint window appears under a resting pointer as it
// does for a user, with every enter and leave event the X server and Qt make of that.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <cstdlib>
#include <memory>

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

  std::unique_ptr<TMtTree> tree;
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

}  // namespace
