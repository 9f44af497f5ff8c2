// The tree's line hint under a real X server (xcb platform, run by xvfb-run): the pointer is
// moved by the window system, so the hint window appears under a resting pointer as it
// does for a user, with every enter and leave event the X server and Qt make of that.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "controls/gui/MtTreeView.h"
#include "platform/gui/Application.h"
#include "platform/gui/ExtCtrls.h"

namespace {

// Why these tests cannot run here, or empty when they can.
std::string& SkipReason() {
  static std::string reason;
  return reason;
}

#define REQUIRE_X_SERVER()                                   \
  do {                                                       \
    if (!SkipReason().empty()) GTEST_SKIP() << SkipReason(); \
  } while (0)

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

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const char* display = std::getenv("DISPLAY");
  if (std::getenv("TARNWICK_NO_XVFB") != nullptr)
    SkipReason() = "xvfb-run is not installed (Debian package xvfb): these tests need an X server";
  else if (platform == nullptr || std::string(platform) != "xcb")
    SkipReason() = "these tests need QT_QPA_PLATFORM=xcb (run them with ctest, under xvfb-run)";
  else if (display == nullptr || *display == '\0')
    SkipReason() = "no X display (DISPLAY is not set): run them with ctest, under xvfb-run";
  std::unique_ptr<TQtApplication> app;
  if (SkipReason().empty()) {
    app = std::make_unique<TQtApplication>(argc, argv);
    Application().Initialize();
  }
  const int result = RUN_ALL_TESTS();
  app.reset();
  return result;
}
