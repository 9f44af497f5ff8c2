// The flat speed button under a real X server (xcb platform, run by xvfb-run): the pointer
// is moved and its button pressed by the X server itself (the XTEST extension), so the
// button sees the enter, leave, press and release events a user's pointer makes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <QToolTip>
#include <memory>

#include "X11Session.h"
#include "ServerPointer.h"
#include "controls/gui/FlatSpeedButton.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/StdCtrls.h"

namespace {

constexpr int kWaitMs = 10000;

class SpeedButtonX11Test : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_X_SERVER();
    if (!pointer.Usable()) GTEST_SKIP() << "the X server's XTEST extension (libXtst.so.6) is not available";
    form = std::make_unique<TForm>();
    form->setGeometry(100, 100, 240, 120);
    edit = new TEdit(form.get());
    edit->SetBounds(10, 60, 120, 22);
    button = new TFlatSpeedButton(form.get());
    button->SetBounds(20, 20, 25, 25);
    button->SetFlat(true);
    TBitmap glyph(12, 12, clFuchsia);
    glyph.Fill(Rect(2, 2, 10, 10), clRed);
    glyph.Transparent = true;
    button->SetGlyph(glyph);
    button->OnClick = [this](TObject*) { ++clicks; };
    button->OnMouseEnter = [this](TObject*) { ++enters; };
    button->OnMouseLeave = [this](TObject*) { ++leaves; };
    pointer.MoveTo(Outside());
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), kWaitMs));
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, kWaitMs));
  }
  void TearDown() override {
    form.reset();
    QApplication::processEvents();
  }
  QPoint OnButton(int x = 12, int y = 12) const { return button->mapToGlobal(QPoint(x, y)); }
  QPoint Outside() const { return QPoint(600, 600); }
  TColor Pixel(int x, int y) { return FromQColor(button->RenderToImage().pixelColor(x, y)); }

  ServerPointer pointer;
  std::unique_ptr<TForm> form;
  TEdit* edit = nullptr;
  TFlatSpeedButton* button = nullptr;
  int clicks = 0, enters = 0, leaves = 0;
};

TEST_F(SpeedButtonX11Test, TheFlatButtonShowsItsFrameWhileThePointerIsOverIt) {
  EXPECT_EQ(button->PaintState(), TButtonState::bsInactive);
  EXPECT_EQ(Pixel(0, 10), ColorToRGB(clBtnFace));
  pointer.MoveTo(OnButton());
  ASSERT_TRUE(QTest::qWaitFor([&] { return button->MouseInControl(); }, kWaitMs)) << "no enter seen";
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(button->PaintState(), TButtonState::bsUp);
  EXPECT_EQ(Pixel(0, 10), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(24, 10), ColorToRGB(clBtnShadow));
  pointer.MoveTo(Outside());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !button->MouseInControl(); }, kWaitMs)) << "no leave seen";
  EXPECT_EQ(leaves, 1);
  EXPECT_EQ(button->PaintState(), TButtonState::bsInactive);
  EXPECT_EQ(Pixel(0, 10), ColorToRGB(clBtnFace));
}

TEST_F(SpeedButtonX11Test, PressMoveOutAndReleaseNeitherClicksNorKeepsTheHover) {
  pointer.MoveTo(OnButton());
  ASSERT_TRUE(QTest::qWaitFor([&] { return button->MouseInControl(); }, kWaitMs));
  pointer.Button(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return button->State() == TButtonState::bsDown; }, kWaitMs));
  EXPECT_EQ(button->PaintState(), TButtonState::bsDown);
  pointer.MoveTo(Outside());
  EXPECT_TRUE(QTest::qWaitFor([&] { return button->State() == TButtonState::bsUp; }, kWaitMs));
  EXPECT_EQ(leaves, 0);  // leaving while held does not count
  pointer.Button(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !button->MouseInControl(); }, kWaitMs)) << "the hover stayed";
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(leaves, 1);
  EXPECT_EQ(button->PaintState(), TButtonState::bsInactive);
  // A whole click on it clicks, and the focus stays in the edit (the button takes none).
  pointer.MoveTo(OnButton());
  pointer.Button(true);
  pointer.Button(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return clicks == 1; }, kWaitMs));
  EXPECT_TRUE(edit->hasFocus());
}

TEST_F(SpeedButtonX11Test, ItsHintShowsUnderTheRestingPointerInAFormWithoutHints) {
  form->ShowHint = false;
  button->Hint = "Choose a folder";
  pointer.MoveTo(OnButton(5, 5));
  pointer.MoveTo(OnButton());
  ASSERT_TRUE(QTest::qWaitFor([&] { return QToolTip::isVisible(); }, kWaitMs)) << "no hint";
  EXPECT_EQ(QToolTip::text(), "Choose a folder");
  pointer.MoveTo(Outside());
  QToolTip::hideText();
}

TEST_F(SpeedButtonX11Test, APressOnTheButtonClosesItsOpenMenuWithoutOpeningItAgain) {
  TPopupMenu menu;
  menu.Items().Add("One", "One");
  int popups = 0;
  menu.OnPopup = [&](TObject*) { ++popups; };
  button->SetDropDownMenu(&menu);
  pointer.MoveTo(OnButton());
  pointer.Button(true);
  pointer.Button(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu.Menu()->isVisible(); }, kWaitMs)) << "no menu";
  EXPECT_EQ(button->State(), TButtonState::bsDown);
  pointer.Button(true);
  pointer.Button(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !menu.Menu()->isVisible(); }, kWaitMs)) << "the menu stayed";
  QTest::qWait(300);
  EXPECT_FALSE(menu.Menu()->isVisible());
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(button->State(), TButtonState::bsUp);
}

}  // namespace
