// The folder browser under a real X server: while it runs the other windows of the
// program take no input, and when it closes the window that was active is active again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>
#include <memory>

#include "ServerPointer.h"
#include "X11Session.h"
#include "controls/gui/BrowseFolderDlg.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"

namespace {

constexpr int kWaitMs = 10000;

TEST(FolderBrowserX11Test, OtherWindowsAreBlockedWhileItRunsAndTheActiveOneReturns) {
  REQUIRE_X_SERVER();
  auto other = std::make_unique<TForm>();
  other->setGeometry(500, 100, 200, 100);
  other->Show();
  auto form = std::make_unique<TForm>();
  form->setGeometry(100, 100, 240, 120);
  form->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), kWaitMs));
  ServerPointer pointer;
  if (!pointer.Usable()) GTEST_SKIP() << "the X server's XTEST extension (libXtst.so.6) is not available";
  int pressesOnOther = 0;
  struct Counter : QObject {
    int* n;
    explicit Counter(int* n) : n(n) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::MouseButtonPress) ++*n;
      return false;
    }
  } counter(&pressesOnOther);
  other->installEventFilter(&counter);
  // The other window takes a click before the browser runs.
  pointer.MoveTo(other->mapToGlobal(QPoint(100, 50)));
  pointer.Button(true);
  pointer.Button(false);
  ASSERT_EQ(pressesOnOther, 1);
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), kWaitMs));
  TQtDialogService service;
  TFolderBrowseRequest request;
  request.Title = "Folder";
  bool sawModal = false, otherBlocked = false;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, kWaitMs));
    QWidget* dialog = QApplication::activeModalWidget();
    sawModal = dynamic_cast<QFileDialog*>(dialog) != nullptr && dialog->isModal();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog, kWaitMs));
    // A click on the other window does not reach it (the dialog does not cover it).
    if (!dialog->geometry().contains(other->geometry().center())) {
      pointer.MoveTo(other->mapToGlobal(QPoint(100, 50)));
      pointer.Button(true);
      pointer.Button(false);
      otherBlocked = pressesOnOther == 1;
    } else {
      otherBlocked = true;  // covered: nothing to click
    }
    static_cast<QDialog*>(dialog)->reject();
  });
  EXPECT_FALSE(service.BrowseFolder(request));
  EXPECT_TRUE(sawModal);
  EXPECT_TRUE(otherBlocked);
  EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == form.get(); }, kWaitMs))
      << "the window active before is not active again";
}

}  // namespace
