// The flat speed button's states while held, its old-style pressed frame, its drop-down
// menu, its caption accelerator and its hint.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QTest>
#include <QToolTip>
#include <cstdlib>
#include <memory>

#include "controls/gui/FlatSpeedButton.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/StdCtrls.h"

namespace {

TColor Px(const QImage& img, int x, int y) { return FromQColor(img.pixelColor(x, y)); }

}  // namespace

TEST(FlatSpeedButtonHeld, TheStateFollowsThePointerAndAFlatButtonOutOfTheMarkIsInactive) {
  struct Case {
    bool latched, inside, flat;
    TButtonState state, shown;
  };
  using S = TButtonState;
  const Case cases[] = {
      {false, true, false, S::bsDown, S::bsDown},
      {false, false, false, S::bsUp, S::bsUp},
      {true, true, false, S::bsExclusive, S::bsExclusive},
      {true, false, false, S::bsUp, S::bsUp},  // a latched button held outside shows up
      // Flat, and the pointer never marked as inside (no enter was seen): inactive.
      {false, true, true, S::bsDown, S::bsInactive},
      {true, true, true, S::bsExclusive, S::bsInactive},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.latched << c.inside << c.flat);
    QWidget parent;
    TFlatSpeedButton b(&parent);
    b.SetFlat(c.flat);
    if (c.latched) {
      b.SetGroupIndex(1);
      b.SetDown(true);
    }
    b.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
    b.MouseMove(0, c.inside ? 6 : 40, 6);
    EXPECT_EQ(b.State(), c.state);
    EXPECT_EQ(b.PaintState(), c.shown);
    // Released outside nothing changes: a latched button is exclusive again.
    b.MouseUp(TMouseButton::mbLeft, 0, 40, 6);
    EXPECT_EQ(b.State(), c.latched ? S::bsExclusive : S::bsUp);
  }
}

TEST(FlatSpeedButtonFrames, OldStylePressedDrawsShadowOnlyAlongTheInnerLeftAndTop) {
  // A transparent button shows its parent wherever it draws nothing.
  QWidget parent;
  parent.resize(40, 40);
  parent.setAutoFillBackground(true);
  QPalette pal = parent.palette();
  pal.setColor(QPalette::Window, Qt::green);
  parent.setPalette(pal);
  auto* b = new TFlatSpeedButton(&parent);
  b->SetBounds(5, 5, 25, 25);
  b->Transparent = true;
  b->Style = TButtonStyle::bsWin31;
  b->SetGroupIndex(1);
  b->SetDown(true);
  const QImage img = parent.grab().toImage();
  const TColor frame = ColorToRGB(clWindowFrame), shadow = ColorToRGB(clBtnShadow);
  EXPECT_EQ(Px(img, 5, 15), frame);
  EXPECT_EQ(Px(img, 29, 15), frame);
  EXPECT_EQ(Px(img, 6, 15), shadow);   // inner left
  EXPECT_EQ(Px(img, 15, 6), shadow);   // inner top
  EXPECT_EQ(Px(img, 28, 15), clLime);  // inner right: nothing drawn
  EXPECT_EQ(Px(img, 15, 28), clLime);  // inner bottom
  EXPECT_EQ(Px(img, 15, 15), clLime);  // no face
}

namespace {

// A shown window with a speed button whose drop-down menu has two items.
struct MenuButton {
  MenuButton() {
    window.setGeometry(200, 200, 200, 120);
    button = new TFlatSpeedButton(&window);
    button->SetBounds(60, 20, 25, 25);
    menu.Items().Add("One", "Первый пункт меню");
    menu.Items().Add("Two", "Второй");
    menu.OnPopup = [this](TObject*) { ++popups; };
    button->SetDropDownMenu(&menu);
    button->OnClick = [this](TObject*) { ++clicks; };
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  ~MenuButton() { menu.Menu()->hide(); }
  QWidget window;
  TFlatSpeedButton* button;
  TPopupMenu menu;
  int popups = 0, clicks = 0;
};

}  // namespace

TEST(FlatSpeedButtonMenu, PopsUpBelowTheButtonByTheMenusAlignment) {
  struct Case {
    TPopupAlignment alignment;
    int x;  // the button's point that the menu's aligned edge goes to
  };
  for (const Case c : {Case{TPopupAlignment::paLeft, 0}, Case{TPopupAlignment::paRight, 25},
                       Case{TPopupAlignment::paCenter, 12}}) {
    SCOPED_TRACE(static_cast<int>(c.alignment));
    MenuButton m;
    m.menu.Alignment = c.alignment;
    m.button->MouseDown(TMouseButton::mbLeft, 0, 5, 5);
    QMenu* q = m.menu.Menu();
    ASSERT_TRUE(q->isVisible());
    EXPECT_EQ(m.popups, 1);
    const QPoint anchor = m.button->mapToGlobal(QPoint(c.x, 25));
    const QRect g = q->geometry();
    EXPECT_EQ(g.top(), anchor.y());
    const int edge = c.alignment == TPopupAlignment::paLeft    ? g.left()
                     : c.alignment == TPopupAlignment::paRight ? g.left() + g.width()
                                                               : g.left() + g.width() / 2;
    EXPECT_NEAR(edge, anchor.x(), 1);
    // Down while the menu is open; the release is no click.
    EXPECT_TRUE(m.button->MenuTracking());
    EXPECT_EQ(m.button->State(), TButtonState::bsDown);
    m.button->MouseUp(TMouseButton::mbLeft, 0, 5, 5);
    EXPECT_EQ(m.clicks, 0);
    q->hide();
    EXPECT_FALSE(m.button->MenuTracking());
    EXPECT_EQ(m.button->State(), TButtonState::bsUp);
  }
  // Without AutoPopup the button is a plain button.
  MenuButton m;
  m.menu.AutoPopup = false;
  m.button->MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  m.button->MouseUp(TMouseButton::mbLeft, 0, 5, 5);
  EXPECT_FALSE(m.menu.Menu()->isVisible());
  EXPECT_EQ(m.clicks, 1);
  // A menu that goes is forgotten.
  {
    auto gone = std::make_unique<TPopupMenu>();
    m.button->SetDropDownMenu(gone.get());
  }
  EXPECT_EQ(m.button->DropDownMenu(), nullptr);
}

TEST(FlatSpeedButtonKeys, TheCaptionsAcceleratorClicksAnEnabledVisibleButton) {
  struct Accel {
    const char* caption;
    char c;
    bool is;
  };
  for (const Accel& a : {Accel{"&Open", 'o', true}, Accel{"&Open", 'O', true}, Accel{"Op&en", 'e', true},
                         Accel{"&&Open", 'O', false}, Accel{"&&O&pen", 'p', true}, Accel{"Open&", '&', false},
                         Accel{"Open", 'O', false}}) {
    SCOPED_TRACE(a.caption);
    EXPECT_EQ(IsAccelerator(a.c, a.caption), a.is);
  }
  EXPECT_TRUE(IsAccelerator(Ansi("п")[0], Ansi("&Печать")));

  TForm form;
  auto* edit = new TEdit(&form);
  auto* open = new TFlatSpeedButton(&form);
  open->SetCaption("&Open");
  auto* print = new TFlatSpeedButton(&form);
  print->SetCaption(Ansi("&Печать"));
  print->SetBounds(30, 0, 25, 25);
  int opens = 0, prints = 0;
  open->OnClick = [&](TObject*) { ++opens; };
  print->OnClick = [&](TObject*) { ++prints; };
  form.show();
  edit->setFocus();
  auto press = [&](int key, Qt::KeyboardModifiers m, const QString& text) {
    QKeyEvent e(QEvent::KeyPress, key, m, text);
    QApplication::sendEvent(edit, &e);
  };
  press(Qt::Key_O, Qt::AltModifier, "o");
  EXPECT_EQ(opens, 1);
  press(Qt::Key_O, Qt::AltModifier, "");  // no text: the key code says it
  EXPECT_EQ(opens, 2);
  press(Qt::Key_O, Qt::NoModifier, "o");  // typed into the edit
  press(Qt::Key_O, Qt::AltModifier | Qt::ControlModifier, "");
  EXPECT_EQ(opens, 2);
  press(0x041F, Qt::AltModifier, "");  // the key of the Cyrillic letter П
  EXPECT_EQ(prints, 1);
  open->setEnabled(false);
  press(Qt::Key_O, Qt::AltModifier, "o");
  open->setEnabled(true);
  open->hide();
  press(Qt::Key_O, Qt::AltModifier, "o");
  EXPECT_EQ(opens, 2);
}

TEST(FlatSpeedButtonHint, ItsOwnShowHintHoldsInAFormWithoutHints) {
  TForm form;
  form.ShowHint = false;
  auto* b = new TFlatSpeedButton(&form);
  b->Hint = "Open a file";
  auto* other = new TFlatSpeedButton(&form);
  other->SetBounds(30, 0, 25, 25);
  other->ParentShowHint = true;
  other->Hint = "Inherited";
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_TRUE(b->EffectiveShowHint());
  auto ask = [](QWidget* w) {
    QHelpEvent e(QEvent::ToolTip, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(w, &e);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  EXPECT_EQ(ask(other), "");
  EXPECT_EQ(ask(b), "Open a file");
}

// Every state of the button, raised and flat, with a glyph and with a caption: no two
// look the same. With TARNWICK_SPEEDBUTTON_STATES_PNG set the sheet is written there.
TEST(FlatSpeedButtonLook, EveryStateDrawsDifferently) {
  QWidget sheet;
  sheet.resize(8 + 7 * 64, 8 + 3 * 44);
  sheet.setAutoFillBackground(true);
  QPalette pal = sheet.palette();
  pal.setColor(QPalette::Window, ToQColor(clBtnFace));
  sheet.setPalette(pal);
  TBitmap glyph(16, 16, clFuchsia);
  glyph.Fill(Rect(2, 2, 14, 14), clNavy);
  glyph.Fill(Rect(5, 5, 11, 11), clYellow);
  glyph.Transparent = true;
  TPopupMenu menu;
  menu.Items().Add("One", "One");
  enum Kind { kUp, kHeld, kLatched, kHover, kInactive, kDisabled, kMenu };
  std::vector<std::pair<TFlatSpeedButton*, QString>> all;
  for (int row = 0; row < 3; ++row)
    for (int k = kUp; k <= kMenu; ++k) {
      auto* b = new TFlatSpeedButton(&sheet);
      b->SetBounds(4 + k * 64, 4 + row * 44, 60, 40);
      if (row != 1) b->SetGlyph(glyph);
      if (row != 0) b->SetCaption(row == 1 ? "&Open" : "Open");
      b->SetLayout(TButtonLayout::blGlyphLeft);
      b->SetFlat(k == kHover || k == kInactive || row == 2);
      if (k == kMenu) b->SetDropDownMenu(&menu);
      all.emplace_back(b, QString("row %1 kind %2").arg(row).arg(k));
    }
  sheet.show();
  sheet.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
  for (int row = 0; row < 3; ++row)
    for (int k = kUp; k <= kMenu; ++k) {
      TFlatSpeedButton* b = all[static_cast<std::size_t>(row * 7 + k)].first;
      if (k == kHeld || k == kHover || (row == 2 && k != kInactive)) b->MouseEnter();
      if (k == kHeld) b->MouseDown(TMouseButton::mbLeft, 0, 5, 5);
      if (k == kLatched) {
        b->SetGroupIndex(100 + row);
        b->SetDown(true);
      }
      if (k == kDisabled) b->setEnabled(false);
    }
  // Within a row of the raised ones, every state differs from the others.
  for (int row = 0; row < 2; ++row)
    for (int i = kUp; i <= kMenu; ++i)
      for (int j = i + 1; j <= kMenu; ++j) {
        const auto& [a, an] = all[static_cast<std::size_t>(row * 7 + i)];
        const auto& [b, bn] = all[static_cast<std::size_t>(row * 7 + j)];
        EXPECT_NE(a->RenderToImage(), b->RenderToImage()) << an.toStdString() << " / " << bn.toStdString();
      }
  // Flat ones: hovered, it has a frame; inactive, only a grey glyph.
  const QImage hover = all[2 * 7 + kUp].first->RenderToImage();
  const QImage inactive = all[2 * 7 + kInactive].first->RenderToImage();
  EXPECT_EQ(FromQColor(hover.pixelColor(0, 10)), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(FromQColor(inactive.pixelColor(0, 10)), ColorToRGB(clBtnFace));
  if (const char* out = std::getenv("TARNWICK_SPEEDBUTTON_STATES_PNG"))
    sheet.grab().toImage().scaled(sheet.size() * 2).save(out);
  all[kHeld].first->MouseUp(TMouseButton::mbLeft, 0, 5, 5);
}

TEST(FlatSpeedButtonAction, TheBoundActionGivesItsStateAndItsImageOnAFuchsiaGround) {
  TBitmap strip(16, 8, clLime);  // two 8 x 8 images on a lime ground
  strip.Fill(Rect(2, 2, 6, 6), clRed);
  strip.Fill(Rect(10, 2, 14, 6), clBlue);
  TImageList images(8, 8);
  images.AddMasked(strip, clLime);
  TActionList list;
  list.Images = &images;
  TAction* run = list.Add("Run", "&Run", 0, "Run it|Runs it");
  run->SetImageIndex(0);
  int runs = 0;
  run->OnExecute = [&](TObject*) { ++runs; };
  QWidget parent;
  TFlatSpeedButton b(&parent);
  b.SetAction(run);
  EXPECT_EQ(b.Caption(), "&Run");
  EXPECT_EQ(b.Hint, "Run it|Runs it");
  ASSERT_EQ(b.Glyph().Width(), 8);
  EXPECT_EQ(b.Glyph().Pixel(0, 0), clFuchsia);
  EXPECT_TRUE(b.Glyph().Transparent);
  EXPECT_EQ(b.Glyph().TransparentColor, clFuchsia);
  EXPECT_EQ(b.ButtonGlyph().StateImage(TButtonState::bsUp).Pixel(3, 3), clRed);
  // The state images follow the same rules: disabled is embossed from the copy.
  EXPECT_EQ(b.ButtonGlyph().StateImage(TButtonState::bsDisabled).Pixel(3, 3), ColorToRGB(clBtnShadow));
  // The action's changes reach the button.
  run->SetImageIndex(1);
  EXPECT_EQ(b.ButtonGlyph().StateImage(TButtonState::bsUp).Pixel(3, 3), clBlue);
  run->SetEnabled(false);
  EXPECT_FALSE(b.isEnabled());
  EXPECT_EQ(b.State(), TButtonState::bsDisabled);
  run->SetEnabled(true);
  run->SetCaption("Go");
  EXPECT_EQ(b.Caption(), "Go");
  // A click runs the action; an OnClick of the button's own runs instead.
  b.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  b.MouseUp(TMouseButton::mbLeft, 0, 5, 5);
  EXPECT_EQ(runs, 1);
  int own = 0;
  b.OnClick = [&](TObject*) { ++own; };
  b.Click();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(own, 1);
  // A glyph of the button's own stays.
  TFlatSpeedButton withGlyph(&parent);
  TBitmap mine(8, 8, clYellow);
  withGlyph.SetGlyph(mine);
  withGlyph.SetAction(run);
  EXPECT_EQ(withGlyph.Glyph().Pixel(3, 3), clYellow);
  // Unbound, the action's image goes; an action that goes is forgotten.
  b.SetAction(nullptr);
  EXPECT_TRUE(b.Glyph().Empty());
  {
    TActionList other;
    b.SetAction(other.Add("Gone", "Gone"));
  }
  EXPECT_EQ(b.Action(), nullptr);
}

TEST(FlatSpeedButtonPointer, EnterCountsOnlyWhileTheApplicationIsActiveAndLeaveNotWhileHeld) {
  QWidget window;
  window.resize(100, 100);
  auto* b = new TFlatSpeedButton(&window);
  b->SetBounds(60, 60, 25, 25);  // away from where the pointer is
  b->SetFlat(true);
  int enters = 0, leaves = 0;
  b->OnMouseEnter = [&](TObject*) { ++enters; };
  b->OnMouseLeave = [&](TObject*) { ++leaves; };
  ASSERT_EQ(QApplication::activeWindow(), nullptr);
  b->MouseEnter();  // no window of the program is active
  EXPECT_FALSE(b->MouseInControl());
  EXPECT_EQ(enters, 0);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  b->MouseEnter();
  EXPECT_TRUE(b->MouseInControl());
  EXPECT_EQ(b->PaintState(), TButtonState::bsUp);
  EXPECT_EQ(enters, 1);
  b->MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  b->MouseLeave();  // held: the leave does not count
  EXPECT_TRUE(b->MouseInControl());
  EXPECT_EQ(leaves, 0);
  b->MouseUp(TMouseButton::mbLeft, 0, 5, 5);
  b->MouseLeave();
  EXPECT_FALSE(b->MouseInControl());
  EXPECT_EQ(leaves, 1);
  b->setEnabled(false);  // a disabled button takes no enter
  b->MouseEnter();
  EXPECT_EQ(enters, 1);
}
