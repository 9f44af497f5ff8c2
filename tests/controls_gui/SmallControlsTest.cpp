// The small controls on screen: the speed button's press, groups and repeat; the combo
// and directory edits' button, keys, dialog and drops; the folder dialog; the pane
// splitter's button and drag among aligned panels.
#include <gtest/gtest.h>

#include <QTimer>

#include <QPushButton>

#include <QDialog>

#include <QLineEdit>

#include <QDropEvent>

#include <QMimeData>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>

#include "controls/gui/BrowseFolderDlg.h"
#include "controls/gui/ComboEdit.h"
#include "controls/gui/FlatSpeedButton.h"
#include "controls/gui/PaneSplitter.h"
#include "controls/misc/FileUtil.h"
#include "platform/core/Files.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Align.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/QtGraphics.h"
#include "platform_gui/SendInput.h"
#include "test_support/TempDir.h"

// Speed button -------------------------------------------------------------------------

TEST(FlatSpeedButton, PressMoveAndReleaseDecideTheClick) {
  TFlatSpeedButton b;
  int clicks = 0;
  b.OnClick = [&](TObject*) { ++clicks; };
  struct Step {
    const char* what;
    int x, y;  // where the pointer goes
    TButtonState state;
  };
  // Pressed inside, out and back in, released inside: one click.
  b.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  EXPECT_EQ(b.State(), TButtonState::bsDown);
  b.MouseMove(0, 40, 5);
  EXPECT_EQ(b.State(), TButtonState::bsUp);
  b.MouseMove(0, 6, 6);
  EXPECT_EQ(b.State(), TButtonState::bsDown);
  b.MouseUp(TMouseButton::mbLeft, 0, 6, 6);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(b.State(), TButtonState::bsUp);
  // Pressed, moved out, released outside: no click.
  b.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  b.MouseMove(0, 40, 40);
  b.MouseUp(TMouseButton::mbLeft, 0, 40, 40);
  EXPECT_EQ(clicks, 1);
  // The same through Qt's mouse events.
  SendClick(&b, QPointF(5, 5), QPointF(60, 5));
  EXPECT_EQ(clicks, 1);
  SendClick(&b, QPointF(5, 5));
  EXPECT_EQ(clicks, 2);
}

TEST(FlatSpeedButton, GroupsLatchLikeRadioButtons) {
  QWidget parent;
  TFlatSpeedButton a(&parent), b(&parent), other(&parent);
  for (TFlatSpeedButton* x : {&a, &b}) x->SetGroupIndex(1);
  other.SetGroupIndex(2);
  other.SetDown(true);
  TFlatSpeedButton plain(&parent);
  plain.SetDown(true);  // no group: no latch
  EXPECT_FALSE(plain.Down());

  a.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  a.MouseUp(TMouseButton::mbLeft, 0, 5, 5);
  EXPECT_TRUE(a.Down());
  EXPECT_EQ(a.State(), TButtonState::bsExclusive);
  b.SetDown(true);
  EXPECT_TRUE(b.Down());
  EXPECT_FALSE(a.Down());
  EXPECT_EQ(a.State(), TButtonState::bsUp);
  EXPECT_TRUE(other.Down());  // another group
  // AllowAllUp off: the latched button cannot be released.
  b.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  b.MouseUp(TMouseButton::mbLeft, 0, 5, 5);
  EXPECT_TRUE(b.Down());
  // Latching with AllowAllUp hands it to the others of the group.
  a.SetAllowAllUp(true);
  EXPECT_TRUE(b.AllowAllUp());
  b.SetDown(false);
  EXPECT_FALSE(b.Down());
}

TEST(FlatSpeedButton, DisabledStateModalResultAndRepeat) {
  TForm form;
  auto* b = new TFlatSpeedButton(&form);
  TBitmap glyph(8, 8, clFuchsia);
  glyph.Fill(Rect(2, 2, 6, 6), clRed);
  glyph.Transparent = true;
  b->SetGlyph(glyph);
  b->setEnabled(false);
  EXPECT_EQ(b->State(), TButtonState::bsDisabled);
  // The disabled picture is embossed: the shadow colour where the glyph was red.
  const QImage img = b->RenderToImage();
  const QColor shadow = QColor::fromRgb(GetRValue(ColorToRGB(clBtnShadow)), GetGValue(ColorToRGB(clBtnShadow)),
                                        GetBValue(ColorToRGB(clBtnShadow)));
  const int gx = (25 - 8) / 2, gy = (25 - 8) / 2;
  EXPECT_EQ(img.pixelColor(gx + 3, gy + 3), shadow);
  b->setEnabled(true);
  EXPECT_EQ(b->State(), TButtonState::bsUp);
  EXPECT_EQ(b->RenderToImage().pixelColor(gx + 3, gy + 3), QColor(Qt::red));

  // A click sets the form's ModalResult.
  b->ModalResult = mrOk;
  b->Click();
  EXPECT_EQ(form.ModalResult(), mrOk);

  // Auto-repeat: clicks while the button is held, none after the release.
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  b->AllowTimer = true;
  b->MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  ASSERT_NE(b->RepeatTimer(), nullptr);
  EXPECT_EQ(b->RepeatTimer()->Interval(), 500);
  b->RepeatTimer()->Timer();
  EXPECT_EQ(b->RepeatTimer()->Interval(), 100);
  b->RepeatTimer()->Timer();
  EXPECT_EQ(clicks, 2);
  b->MouseMove(0, 50, 50);  // held outside: no repeat
  b->RepeatTimer()->Timer();
  EXPECT_EQ(clicks, 2);
  b->MouseMove(0, 5, 5);
  b->MouseUp(TMouseButton::mbLeft, 0, 5, 5);
  EXPECT_EQ(clicks, 3);
  EXPECT_FALSE(b->RepeatTimer()->Enabled());
}

namespace {

TColor Px(const QImage& img, int x, int y) { return FromQColor(img.pixelColor(x, y)); }

// The bounding box of the pixels for which `take` holds (empty when none).
TRect InkBox(const QImage& img, const std::function<bool(TColor)>& take) {
  TRect box{img.width(), img.height(), 0, 0};
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (take(Px(img, x, y)))
        box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1), std::max(box.Bottom, y + 1)};
  return box.IsEmpty() ? TRect{} : box;
}

TBitmap RedSquare() {
  TBitmap glyph(12, 12, clFuchsia);
  glyph.Fill(Rect(0, 0, 12, 12), clRed);
  glyph.SetPixel(0, 11, clFuchsia);  // the transparent colour is the bottom-left pixel
  glyph.Transparent = true;
  return glyph;
}

bool IsGlyph(TColor c) { return c == clRed; }
// Caption ink: anything but the face and the glyph (the letters' edges are smoothed).
bool IsText(TColor c) { return c != ColorToRGB(clBtnFace) && c != clRed; }

}  // namespace

TEST(FlatSpeedButton, LayoutMarginAndSpacingPlaceGlyphAndCaption) {
  struct Case {
    TButtonLayout layout;
    int margin, spacing;
  };
  using L = TButtonLayout;
  const Case cases[] = {{L::blGlyphTop, -1, 1},  {L::blGlyphBottom, -1, 1}, {L::blGlyphLeft, -1, 4},
                        {L::blGlyphRight, -1, 4}, {L::blGlyphLeft, 3, 4},    {L::blGlyphRight, 5, 6},
                        {L::blGlyphTop, 2, 3},    {L::blGlyphLeft, -1, -1}};
  TFlatSpeedButton b;
  EXPECT_EQ(b.Layout(), L::blGlyphTop);  // the class's defaults
  EXPECT_EQ(b.Spacing(), 1);
  EXPECT_EQ(b.Margin(), -1);
  b.resize(70, 50);
  b.SetFlat(true);  // with the pointer elsewhere: no frame, only glyph and caption
  b.SetGrayedInactive(false);
  b.SetGlyph(RedSquare());
  b.SetCaption("Wq");
  const int tw = TQtTextMetrics::Instance().TextWidth(b.Font(), "Wq");
  const int th = TQtTextMetrics::Instance().TextHeight(b.Font());
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.layout) << " " << c.margin << " " << c.spacing);
    b.SetLayout(c.layout);
    b.SetMargin(c.margin);
    b.SetSpacing(c.spacing);
    const QImage img = b.RenderToImage();
    const TRect glyph = InkBox(img, IsGlyph), text = InkBox(img, IsText);
    ASSERT_EQ(glyph.Width(), 12);
    ASSERT_FALSE(text.IsEmpty());
    const bool horizontal = c.layout == L::blGlyphLeft || c.layout == L::blGlyphRight;
    const int along = horizontal ? 70 : 50, g = 12, t = horizontal ? tw : th;
    int margin = c.margin, spacing = c.spacing;
    if (margin < 0 && spacing < 0) margin = spacing = (along - g - t) / 3;
    else if (margin < 0) margin = (along - g - t - spacing) / 2;
    const int glyphAt = horizontal ? glyph.Left : glyph.Top;
    switch (c.layout) {
      case L::blGlyphLeft:
        EXPECT_EQ(glyphAt, margin);
        EXPECT_GE(text.Left, glyph.Right + spacing);  // the ink starts inside the text cell
        EXPECT_LE(text.Left, glyph.Right + spacing + 2);
        break;
      case L::blGlyphRight:
        EXPECT_EQ(glyph.Right, along - margin);
        EXPECT_LE(text.Right, glyph.Left - spacing);
        EXPECT_GE(text.Right, glyph.Left - spacing - 2);
        break;
      case L::blGlyphTop:
        EXPECT_EQ(glyphAt, margin);
        EXPECT_GE(text.Top, glyph.Bottom + spacing);
        EXPECT_LE(text.Bottom, glyph.Bottom + spacing + th);
        break;
      case L::blGlyphBottom:
        EXPECT_EQ(glyph.Bottom, along - margin);
        EXPECT_LE(text.Bottom, glyph.Top - spacing);
        EXPECT_GE(text.Top, glyph.Top - spacing - th);
        break;
    }
    // Across the layout each is centred.
    const int glyphMid = horizontal ? glyph.Top + glyph.Bottom : glyph.Left + glyph.Right;
    EXPECT_NEAR(glyphMid, horizontal ? 50 : 70, 1);
  }

  if (const char* out = std::getenv("TARNWICK_SPEEDBUTTON_PNG")) {
    // Every layout, margins and spacings, alignment, word wrap and the frames, twice enlarged.
    QWidget sheet;
    sheet.resize(470, 150);
    int x = 4;
    for (const Case& c : cases) {
      auto* s = new TFlatSpeedButton(&sheet);
      s->SetBounds(x, 4, 54, 50);
      s->SetGlyph(RedSquare());
      s->SetCaption("Wq");
      s->SetLayout(c.layout);
      s->SetMargin(c.margin);
      s->SetSpacing(c.spacing);
      x += 58;
    }
    x = 4;
    for (TAlignment a : {TAlignment::taLeftJustify, TAlignment::taCenter, TAlignment::taRightJustify}) {
      auto* s = new TFlatSpeedButton(&sheet);
      s->SetBounds(x, 60, 60, 60);
      s->SetGlyph(RedSquare());
      s->SetCaption(Ansi("Один два три"));
      s->WordWrap = true;
      s->Alignment = a;
      x += 64;
    }
    for (TButtonStyle st : {TButtonStyle::bsNew, TButtonStyle::bsWin31}) {
      for (bool down : {false, true}) {
        auto* s = new TFlatSpeedButton(&sheet);
        s->SetBounds(x, 60, 25, 25);
        s->SetGlyph(RedSquare());
        s->Style = st;
        s->SetGroupIndex(down ? 10 + x : 0);
        s->SetDown(down);
        x += 29;
      }
    }
    sheet.grab().toImage().scaled(sheet.size() * 2).save(out);
  }
}

TEST(FlatSpeedButton, WrappedCaptionAlignsItsLines) {
  TFlatSpeedButton b;
  b.resize(50, 60);
  b.SetFlat(true);
  b.SetCaption("iii WWWW");  // two lines of different width
  b.WordWrap = true;
  const int lineHeight = TQtTextMetrics::Instance().TextHeight(b.Font());
  // The ink of each line: left and right edges.
  auto lines = [&] {
    const QImage img = b.RenderToImage();
    const TRect all = InkBox(img, IsText);
    const int split = all.Top + lineHeight;  // lines are a text height apart
    const TRect first = InkBox(img.copy(0, 0, 50, split), IsText);
    const TRect second = InkBox(img.copy(0, split, 50, 60 - split), IsText);
    return std::pair{first, second};
  };
  b.Alignment = TAlignment::taLeftJustify;
  auto [l1, l2] = lines();
  ASSERT_FALSE(l1.IsEmpty());
  ASSERT_FALSE(l2.IsEmpty());
  EXPECT_NEAR(l1.Left, l2.Left, 1);
  EXPECT_LT(l1.Right, l2.Right - 8);
  b.Alignment = TAlignment::taRightJustify;
  auto [r1, r2] = lines();
  EXPECT_NEAR(r1.Right, r2.Right, 1);
  b.Alignment = TAlignment::taCenter;
  auto [c1, c2] = lines();
  EXPECT_NEAR(c1.Left + c1.Right, c2.Left + c2.Right, 2);
  // Without word wrap, one line.
  b.WordWrap = false;
  const TRect one = InkBox(b.RenderToImage(), IsText);
  EXPECT_LE(one.Height(), lineHeight);
}

TEST(FlatSpeedButton, FramesByStyleAndTheLatchedFace) {
  TFlatSpeedButton b;
  b.resize(25, 25);
  const TColor light = ColorToRGB(clBtnHighlight), shadow = ColorToRGB(clBtnShadow),
               frame = ColorToRGB(clWindowFrame), face = ColorToRGB(clBtnFace);
  // New style, up: highlight and window frame, then face and shadow.
  QImage img = b.RenderToImage();
  EXPECT_EQ(Px(img, 0, 10), light);
  EXPECT_EQ(Px(img, 24, 10), frame);
  EXPECT_EQ(Px(img, 23, 10), shadow);
  // Old style, up: a window-frame rectangle, then highlight and shadow.
  b.Style = TButtonStyle::bsWin31;
  img = b.RenderToImage();
  EXPECT_EQ(Px(img, 0, 10), frame);
  EXPECT_EQ(Px(img, 24, 10), frame);
  EXPECT_EQ(Px(img, 1, 10), light);
  EXPECT_EQ(Px(img, 23, 10), shadow);
  // Latched: pressed frames and the dither of face and highlight.
  b.Style = TButtonStyle::bsNew;
  b.SetGroupIndex(1);
  b.SetDown(true);
  img = b.RenderToImage();
  EXPECT_EQ(Px(img, 0, 10), frame);
  EXPECT_EQ(Px(img, 24, 10), light);
  EXPECT_EQ(Px(img, 1, 10), shadow);
  EXPECT_NE(Px(img, 5, 5), Px(img, 6, 5));
  EXPECT_EQ(Px(img, 5, 5), Px(img, 6, 6));
  for (TColor c : {Px(img, 5, 5), Px(img, 6, 5)}) EXPECT_TRUE(c == face || c == light);
  // Flat and latched with the pointer elsewhere: drawn inactive, yet pressed and dithered.
  b.SetFlat(true);
  EXPECT_EQ(b.PaintState(), TButtonState::bsInactive);
  img = b.RenderToImage();
  EXPECT_EQ(Px(img, 0, 10), frame);
  EXPECT_EQ(Px(img, 24, 10), light);
  EXPECT_NE(Px(img, 5, 5), Px(img, 6, 5));
  // Flat and up with the pointer elsewhere: no frame at all.
  b.SetAllowAllUp(true);
  b.SetDown(false);
  img = b.RenderToImage();
  EXPECT_EQ(Px(img, 0, 10), face);
  EXPECT_EQ(Px(img, 5, 5), Px(img, 6, 5));
}

// Combo edit ----------------------------------------------------------------------------

TEST(ComboEdit, DirectInputAndReadOnly) {
  TComboEdit e;
  e.resize(150, 21);
  int buttonClicks = 0;
  e.OnButtonClick = [&](TObject*) { ++buttonClicks; };
  e.SetText("abc");
  e.SetDirectInput(false);
  e.end(false);
  SendKey(&e, Qt::Key_X, Qt::NoModifier, "x");
  SendKey(&e, Qt::Key_Backspace, Qt::NoModifier, "\b");
  Clipboard().SetAsText("pasted");
  SendKey(&e, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(e.Text(), "abc");
  SendKey(&e, Qt::Key_Down, Qt::AltModifier);
  e.Button()->Click();
  EXPECT_EQ(buttonClicks, 2);
  // The paste action leaves it alone too.
  TForm form;
  TActionList list(&form);
  auto* paste = list.AddAction<TEditAction>("EditPaste1", TEditActionKind::eaPaste);
  e.setParent(&form);
  form.Show();
  QApplication::setActiveWindow(&form);
  e.setFocus();
  paste->Update();
  EXPECT_FALSE(paste->Enabled());
  e.SetDirectInput(true);
  paste->Update();
  EXPECT_TRUE(paste->Enabled());
  SendKey(&e, Qt::Key_X, Qt::NoModifier, "x");
  EXPECT_EQ(e.Text(), "abcx");

  // ReadOnly: no typing and no button, unless AlwaysEnable.
  e.SetReadOnly(true);
  SendKey(&e, Qt::Key_Y, Qt::NoModifier, "y");
  SendKey(&e, Qt::Key_Down, Qt::AltModifier);
  e.Button()->Click();
  EXPECT_EQ(e.Text(), "abcx");
  EXPECT_EQ(buttonClicks, 2);
  e.AlwaysEnable = true;
  SendKey(&e, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(buttonClicks, 3);
  form.Hide();
  e.setParent(nullptr);
}

// Without typing no editing key of the line edit changes the text: deleting, cutting,
// pasting, undoing, and the X11 line-editing keys.
TEST(ComboEdit, NoEditingKeyChangesTheTextWithoutTyping) {
  TComboEdit e;
  e.SetDirectInput(false);
  Clipboard().SetAsText("pasted");
  struct Key {
    int key;
    Qt::KeyboardModifiers mods;
  };
  const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
  const Key keys[] = {{Qt::Key_K, ctrl},         {Qt::Key_U, ctrl},         {Qt::Key_W, ctrl},
                      {Qt::Key_H, ctrl},         {Qt::Key_D, ctrl},         {Qt::Key_Delete, shift},
                      {Qt::Key_Backspace, ctrl}, {Qt::Key_Delete, ctrl},    {Qt::Key_Z, ctrl | shift},
                      {Qt::Key_Y, ctrl},         {Qt::Key_Insert, shift},   {Qt::Key_V, ctrl},
                      {Qt::Key_X, ctrl},         {Qt::Key_Backspace, shift}};
  for (const Key& k : keys) {
    for (const bool selected : {false, true}) {
      e.SetText("abc def");
      e.setCursorPosition(3);
      if (selected) e.selectAll();
      SendKey(&e, k.key, k.mods);
      EXPECT_EQ(e.Text(), "abc def") << k.key << " " << k.mods.toInt() << " " << selected;
    }
  }
}

// Where typing is not allowed (no direct input, or read-only) no dropped text gets in and
// entering selects nothing; where it is, entering selects the text unless the mouse
// entered. A disabled edit draws its text grey, unless its background is that grey.
TEST(ComboEdit, DropsAndSelectionOnEnteringFollowTypingGreyWhenDisabled) {
  QWidget parent;
  auto* before = new TEdit(&parent);
  auto* e = new TComboEdit(&parent);
  e->move(0, 30);
  parent.show();
  QApplication::setActiveWindow(&parent);
  auto drop = [&] {
    QMimeData data;
    data.setText("dropped");
    const QPointF at(5, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(e, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(e, &drop);
    return enter.isAccepted();
  };
  struct Case {
    bool directInput, readOnly, typing;
  };
  const Case cases[] = {{false, false, false}, {true, true, false}, {false, true, false}, {true, false, true}};
  const Qt::FocusReason ways[] = {Qt::TabFocusReason, Qt::BacktabFocusReason, Qt::ShortcutFocusReason,
                                  Qt::OtherFocusReason, Qt::MouseFocusReason};
  for (const Case& c : cases) {
    e->SetText("abc");
    e->SetDirectInput(c.directInput);
    e->SetReadOnly(c.readOnly);
    EXPECT_EQ(drop(), c.typing) << c.directInput << c.readOnly;
    EXPECT_EQ(e->Text() == "abc", !c.typing) << c.directInput << c.readOnly;
    e->SetText("abc");
    for (const Qt::FocusReason way : ways) {
      before->SetFocus();
      ASSERT_TRUE(before->hasFocus());
      e->deselect();
      e->setFocus(way);
      ASSERT_TRUE(e->hasFocus());
      EXPECT_EQ(e->hasSelectedText(), c.typing && way != Qt::MouseFocusReason)
          << c.directInput << c.readOnly << " " << way;
    }
  }
  // The focus coming back to the edit that had it (its window activated again) enters
  // nothing and selects nothing.
  e->deselect();
  QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(e, &back);
  EXPECT_FALSE(e->hasSelectedText());

  e->setEnabled(false);
  EXPECT_EQ(e->palette().color(QPalette::Disabled, QPalette::Text), ToQColor(clGrayText));
  TFont red = e->Font();
  red.Color = clRed;
  e->SetFont(red);
  EXPECT_EQ(e->palette().color(QPalette::Disabled, QPalette::Text), ToQColor(clGrayText));
  EXPECT_NE(e->palette().color(QPalette::Disabled, QPalette::Text), e->palette().color(QPalette::Active, QPalette::Text));
  e->SetColor(clGrayText);
  EXPECT_EQ(e->palette().color(QPalette::Disabled, QPalette::Text), ToQColor(clRed));
  e->SetColor(clWindow);
  EXPECT_EQ(e->palette().color(QPalette::Disabled, QPalette::Text), ToQColor(clGrayText));
}

// The caret shows also where typing is off: 1 pixel wide, 2 with a bold font.
TEST(ComboEdit, TheCaretIsWiderWithABoldFont) {
  TForm form;
  auto* e = new TComboEdit(&form);
  e->SetBounds(10, 10, 150, 21);
  e->SetDirectInput(false);
  form.Show();
  QApplication::setActiveWindow(&form);
  for (const bool bold : {false, true}) {
    TFont font = e->Font();
    font.Style = bold ? TFontStyles(fsBold) : TFontStyles(0);
    e->SetFont(font);
    e->SetText("");
    e->clearFocus();
    e->setFocus();
    ASSERT_TRUE(e->hasFocus());
    // No event is taken in between, so the caret has not blinked off.
    const QImage img = e->grab().toImage();
    const QColor text = ToQColor(ColorToRGB(e->Font().Color));
    std::set<int> columns;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 3; x < img.width() - e->ButtonWidth() - 4; ++x)
        if (img.pixelColor(x, y) == text) columns.insert(x);
    EXPECT_EQ(columns.size(), bold ? 2u : 1u) << bold;
  }
}

// In a Qt dialog (not one of the kit's forms) Enter and Esc in a combo edit or the kit's
// edit press the default and the cancel button, as the dialog's own edits do.
TEST(ComboEdit, EnterAndEscInAQtDialog) {
  for (const bool combo : {true, false}) {
    for (const bool enter : {true, false}) {
      QDialog dialog;
      TEdit* e = combo ? new TComboEdit(&dialog) : new TEdit(&dialog);
      if (combo) static_cast<TComboEdit*>(e)->SetDirectInput(false);
      auto* ok = new QPushButton("OK", &dialog);
      ok->setDefault(true);
      QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
      ok->move(8, 40);
      int result = -1;
      QTimer::singleShot(0, &dialog, [&] {
        e->setFocus();
        SendKey(e, enter ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier, enter ? "\r" : "\x1b");
        if (dialog.isVisible()) dialog.done(42);
      });
      result = dialog.exec();
      EXPECT_EQ(result, enter ? QDialog::Accepted : QDialog::Rejected) << combo << enter;
    }
  }
}

TEST(ComboEdit, EnterPressesTheDialogsDefaultButtonAndTheButtonFitsInside) {
  TScriptedDialogsScope dialogs;
  TForm form;
  form.setObjectName("TFindDlg");
  auto* e = new TComboEdit(&form);
  e->SetBounds(8, 8, 150, 21);
  auto* ok = new TButton(&form, "OK");
  ok->move(8, 40);
  ok->ModalResult = mrOk;
  ok->SetDefault(true);
  dialogs->AnswerForm("TFindDlg", [&](TForm&) {
    e->setFocus();
    SendKey(e, Qt::Key_Return, Qt::NoModifier, "\r");
  });
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(dialogs->Unexpected(), 0);

  // The button sits inside the edit's frame at the right; the text stops before it.
  const QRect button = e->Button()->parentWidget()->geometry();
  EXPECT_EQ(button.right(), e->width() - 3);
  EXPECT_EQ(button.width(), 21);
  EXPECT_EQ(e->textMargins().right(), 23);
  // Never lower than its minimum height; the ellipsis kind keeps its width.
  e->resize(150, 5);
  EXPECT_EQ(e->height(), e->MinHeight());
  e->SetGlyphKind(TGlyphKind::gkEllipsis);
  EXPECT_EQ(e->ButtonWidth(), 21);
  e->SetGlyphKind(TGlyphKind::gkDropDown);
  EXPECT_EQ(e->ButtonWidth(), GetSystemMetrics(SM_CXVSCROLL));
  e->SetGlyphKind(TGlyphKind::gkCustom);
  e->SetButtonWidth(0);
  EXPECT_FALSE(e->Button()->parentWidget()->isVisibleTo(e));
  int clicks = 0;
  e->OnButtonClick = [&](TObject*) { ++clicks; };
  SendKey(e, Qt::Key_Down, Qt::AltModifier);  // no button, no click key
  EXPECT_EQ(clicks, 0);
}

TEST(DirectoryEdit, TheButtonOpensTheFolderDialogAtAnExistingFolder) {
  TempDir dir;
  const AnsiString travels = dir.Path() + "/Travels";
  ForceDirectories(travels);
  TScriptedDialogsScope dialogs;
  TDirectoryEdit e;
  e.DialogText = Ansi("Каталог раскладок");
  std::vector<std::string> log;
  e.OnButtonClick = [&](TObject*) { log.push_back("button"); };
  e.OnAfterDialog = [&](TObject*, AnsiString& name, bool& action) {
    log.push_back("after " + name + (action ? " yes" : " no"));
  };

  // A text naming no folder: the dialog starts at the root.
  e.SetText(dir.Path() + "/Missing");
  dialogs->AnswerDirectory(travels + "/");
  e.DoClick();
  ASSERT_EQ(dialogs->DirectoryDialogs().size(), 1u);
  EXPECT_EQ(dialogs->DirectoryDialogs()[0].first, Ansi("Каталог раскладок"));
  EXPECT_EQ(dialogs->DirectoryDialogs()[0].second, "/");
  EXPECT_EQ(e.Text(), travels);  // without the trailing separator
  EXPECT_EQ(e.InitialDir, travels);

  // Cancelled: the text stays.
  dialogs->AnswerDirectory(std::nullopt);
  e.DoClick();
  EXPECT_EQ(dialogs->DirectoryDialogs()[1].second, travels);
  EXPECT_EQ(e.Text(), travels);

  // OnBeforeDialog may stop it; MultipleDirs appends.
  e.OnBeforeDialog = [](TObject*, AnsiString&, bool& action) { action = false; };
  e.DoClick();
  EXPECT_EQ(dialogs->DirectoryDialogs().size(), 2u);
  e.OnBeforeDialog = nullptr;
  e.MultipleDirs = true;
  dialogs->AnswerDirectory(dir.Path());
  e.DoClick();
  EXPECT_EQ(e.Text(), travels + ";" + dir.Path());
  EXPECT_EQ(log, (std::vector<std::string>{"button", "after " + travels + " yes", "button",
                                           "after " + travels + " no", "button", "button",
                                           "after " + dir.Path() + " yes"}));
  EXPECT_EQ(dialogs->Unexpected(), 0);
  EXPECT_EQ(e.GetLongName(), e.Text());
}

// A press on the button of an edit without the focus enters it as a click does: nothing
// gets selected, so the chosen folder follows the folders already there.
TEST(DirectoryEdit, ThePressOnTheButtonEntersWithoutSelecting) {
  TempDir dir;
  TScriptedDialogsScope dialogs;
  TForm form;
  auto* other = new TEdit(&form);
  auto* e = new TDirectoryEdit(&form);
  e->SetBounds(0, 30, 200, 21);
  e->MultipleDirs = true;
  e->SetText("/usr");
  form.Show();
  QApplication::setActiveWindow(&form);
  other->SetFocus();
  dialogs->AnswerDirectory(dir.Path());
  SendClick(e->Button(), QPointF(5, 5));
  EXPECT_TRUE(e->hasFocus());
  EXPECT_EQ(e->Text(), "/usr;" + dir.Path());
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

TEST(DirectoryEdit, DroppedFilesGiveTheirFolder) {
  TempDir dir;
  const AnsiString file = dir.Path() + "/a.tw";
  std::ofstream(SysPath(file)) << "x";
  TDirectoryEdit e;
  EXPECT_TRUE(e.AcceptFiles());
  int drops = 0;
  e.OnDropFiles = [&](TObject*) { ++drops; };
  e.SetText("/old");
  e.DropFiles({file, "/second"});
  EXPECT_EQ(e.Text(), dir.Path() + "/");
  const AnsiString deep = "/" + AnsiString(280, 'd');
  e.DropFiles({deep});
  EXPECT_EQ(e.Text(), deep);  // the whole name, past 255 characters
  e.MultipleDirs = true;
  e.DropFiles({file, "/second"});
  EXPECT_EQ(e.Text(), deep + ";" + dir.Path() + "/;/second");
  EXPECT_EQ(drops, 3);
}

namespace {

// A drop-down window that only records what it is told.
struct FakePopup : TComboPopup {
  void Show(TPoint at) override {
    shownAt = at;
    log.push_back("show");
  }
  void Hide() override { log.push_back("hide"); }
  int Height() const override { return 40; }
  AnsiString Value() const override { return value; }
  void SetValue(const AnsiString& v) override {
    value = v;
    log.push_back("value " + v);
  }
  TPoint shownAt;
  AnsiString value;
  std::vector<std::string> log;
};

// A combo edit with a popup, as a subclass with a drop-down window would have.
struct PopupEdit : TComboEdit {
  using TComboEdit::GetPopupValue;
  bool BaseAccepts(const AnsiString& value) const { return TComboEdit::CanAcceptPopup(value); }
  using TComboEdit::SetPopup;
  bool CanAcceptPopup(const AnsiString& value) const override { return value != "refused"; }
  void PopupValueChanged() override { ++changes; }
  int changes = 0;
};

}  // namespace

TEST(ComboEdit, PopupOperations) {
  PopupEdit e;
  e.resize(150, 21);
  int buttonClicks = 0;
  e.OnButtonClick = [&](TObject*) { ++buttonClicks; };
  // Without a popup: the button only fires its event, and the operations do nothing.
  e.SetText("abc");
  e.DoClick();
  EXPECT_EQ(buttonClicks, 1);
  EXPECT_FALSE(e.PopupVisible());
  EXPECT_EQ(e.GetPopupValue(), "");
  EXPECT_TRUE(e.BaseAccepts("x"));
  e.PopupCloseUp(true);
  EXPECT_EQ(e.Text(), "abc");

  FakePopup popup;
  e.SetPopup(&popup);
  // The button opens it under the edit with the text as its value.
  e.DoClick();
  EXPECT_EQ(buttonClicks, 2);
  ASSERT_TRUE(e.PopupVisible());
  const QPoint corner = e.mapToGlobal(QPoint(0, e.height()));
  EXPECT_EQ(popup.shownAt, (TPoint{corner.x(), corner.y()}));
  // Enter takes its value.
  popup.value = "chosen";
  SendKey(&e, Qt::Key_Return);
  EXPECT_FALSE(e.PopupVisible());
  EXPECT_EQ(e.Text(), "chosen");
  EXPECT_EQ(e.changes, 1);
  // Alt+Down opens it, Esc closes it and the text stays.
  SendKey(&e, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(e.PopupVisible());
  popup.value = "dropped";
  SendKey(&e, Qt::Key_Escape);
  EXPECT_FALSE(e.PopupVisible());
  EXPECT_EQ(e.Text(), "chosen");
  // A second click closes it taking the value, unless the edit refuses that value.
  e.DoClick();
  popup.value = "refused";
  e.DoClick();
  EXPECT_FALSE(e.PopupVisible());
  EXPECT_EQ(e.Text(), "chosen");
  EXPECT_EQ(popup.log, (std::vector<std::string>{"value abc", "show", "hide", "value chosen", "show", "hide",
                                                 "value chosen", "show", "hide"}));
  // Read-only (with the button still working): no popup.
  e.SetReadOnly(true);
  e.AlwaysEnable = true;
  e.DoClick();
  EXPECT_FALSE(e.PopupVisible());
  EXPECT_EQ(buttonClicks, 6);
}

TEST(DirectoryEdit, TheLibraryDialogAndItsOptions) {
  TempDir dir;
  TScriptedDialogsScope dialogs;
  TDirectoryEdit e;
  EXPECT_EQ(e.DialogKind, TDirDialogKind::dkWin32);
  EXPECT_EQ(e.DialogOptions, 0u);
  e.DialogKind = TDirDialogKind::dkLibrary;
  e.DialogText = Ansi("Каталог раскладок");
  e.SetText(dir.Path());
  const AnsiString fresh = dir.Path() + "/New/Deep";
  struct Step {
    TSelectDirOpts options;
    int answer;  // to the question, -1 when none is asked
    bool chosen, created;
  };
  const Step steps[] = {
      {0, mrOk, false, false},                                         // not there: said so
      {sdAllowCreate, -1, true, false},                                // taken, not made
      {sdAllowCreate | sdPerformCreate | sdPrompt, mrNo, false, false},
      {sdAllowCreate | sdPerformCreate | sdPrompt, mrYes, true, true},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.options);
    e.SetText(dir.Path());
    e.DialogOptions = s.options;
    dialogs->AnswerDirectory(fresh);
    if (s.answer >= 0) dialogs->Answer(s.answer);
    e.DoClick();
    EXPECT_EQ(e.Text(), s.chosen ? fresh : dir.Path());
    EXPECT_EQ(DirExists(fresh), s.created);
    EXPECT_EQ(e.InitialDir, s.created ? fresh : AnsiString());
  }
  // The class library's dialog has its own caption; the folder browser shows DialogText.
  EXPECT_EQ(dialogs->DirectoryDialogs()[0].first, Ansi("Выбор папки"));
  EXPECT_EQ(dialogs->DirectoryDialogs()[0].second, dir.Path());
  e.DialogKind = TDirDialogKind::dkWin32;
  dialogs->AnswerDirectory(std::nullopt);
  e.DoClick();
  EXPECT_EQ(dialogs->DirectoryDialogs().back().first, Ansi("Каталог раскладок"));
  ASSERT_EQ(dialogs->Shown().size(), 3u);  // the folder not found, the two questions
  EXPECT_EQ(dialogs->Shown()[0].Text, Ansi("Папка \"") + fresh + Ansi("\" не найдена."));
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

TEST(DirectoryEdit, ANewFolderTypedInTheLibraryDialogIsAskedForAndMade) {
  TempDir dir;
  // The real folder dialog; message boxes are answered Yes and recorded.
  struct BoxesAnswered : TQtDialogService {
    int Execute(const TDialogRequest& request) override {
      texts.push_back(request.Text);
      return mrYes;
    }
    std::vector<AnsiString> texts;
  };
  auto service = std::make_unique<BoxesAnswered>();
  BoxesAnswered* boxes = service.get();
  struct Restore {
    std::unique_ptr<TDialogService> previous;
    ~Restore() { SetDialogService(std::move(previous)); }
  } restore{SetDialogService(std::move(service))};

  TDirectoryEdit e;
  e.DialogKind = TDirDialogKind::dkLibrary;
  e.DialogOptions = sdAllowCreate | sdPerformCreate | sdPrompt;
  e.SetText(dir.Path());
  bool action = false;
  e.OnAfterDialog = [&](TObject*, AnsiString&, bool& a) { action = a; };
  const AnsiString fresh = dir.Path() + "/Fresh";
  // The user types the new folder's path and presses OK; a box of Qt's own is closed and
  // remembered, and a dialog still open afterwards is cancelled.
  QString qtBox;
  bool okEnabled = false;
  int step = 0, ticks = 0;
  QTimer driver;
  driver.setInterval(20);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      qtBox = box->text();
      box->done(QMessageBox::Ok);
      return;
    }
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr) return;
    if (step++ > 0 || ++ticks > 250) {
      dialog->reject();
      return;
    }
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromStdString(SysPath(fresh)));
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    okEnabled = buttons != nullptr && buttons->button(QDialogButtonBox::Open)->isEnabled();
    static_cast<QDialog*>(dialog)->accept();  // what OK does
  });
  driver.start();
  e.DoClick();
  driver.stop();
  EXPECT_TRUE(qtBox.isEmpty()) << qtBox.toStdString();
  EXPECT_TRUE(okEnabled);
  EXPECT_TRUE(action);
  EXPECT_TRUE(DirExists(fresh));
  EXPECT_EQ(e.Text(), fresh);
  EXPECT_EQ(boxes->texts, std::vector<AnsiString>{Ansi("Папка \"") + fresh + Ansi("\" не существует. Создать её?")});
}

TEST(FileDirEdit, TheLayerBetweenTheComboAndTheDirectoryEdit) {
  // An edit of file names on the same layer: its own rule for a dropped name.
  struct NamesEdit : TFileDirEdit {
    AnsiString GetLongName() const override { return Text(); }
    AnsiString GetShortName() const override { return Text(); }
    void ClearBeforeDrop() override {
      log.push_back("clear");
      SetText("");
    }
    void AcceptDroppedPath(const AnsiString& path) override {
      log.push_back("take " + path);
      SetText(Text() + "<" + path + ">");
    }
    bool TakesSeveralDrops() const override { return several; }
    bool several = false;
    std::vector<std::string> log;
  };
  NamesEdit e;
  EXPECT_TRUE(e.AcceptFiles());
  EXPECT_EQ(e.GlyphKind(), TGlyphKind::gkDefault);
  e.OnDropFiles = [&](TObject*) { e.log.push_back("dropped"); };
  e.SetText("old");
  e.DropFiles({"/a", "/b"});
  EXPECT_EQ(e.Text(), "</a>");
  e.several = true;
  e.DropFiles({"/a", "/b"});
  EXPECT_EQ(e.Text(), "</a></b>");
  EXPECT_EQ(e.log, (std::vector<std::string>{"clear", "take /a", "dropped", "clear", "take /a", "take /b",
                                             "dropped"}));
  // Every such edit shows the one shared picture.
  TDirectoryEdit d;
  EXPECT_EQ(d.Button()->Glyph(), e.Button()->Glyph());
  EXPECT_FALSE(d.Button()->Glyph().Empty());
  // Through the layer the directory edit's own conversion: a folder that is not there
  // becomes empty.
  TempDir dir;
  ForceDirectories(dir.Path() + "/Travels");
  TFileDirEdit& layer = d;
  d.SetText(dir.Path() + "/Travels;" + dir.Path() + "/Gone");
  d.MultipleDirs = true;
  EXPECT_EQ(layer.GetShortName(), dir.Path() + "/Travels;" + dir.Path() + "/");
}

TEST(BrowseFolderDlg, StartsAtAnExistingFolderAndTakesOnlyDirectories) {
  TempDir dir;
  TScriptedDialogsScope dialogs;
  AnsiString name = dir.Path() + "/nowhere";
  dialogs->AnswerDirectory(dir.Path() + "/");
  ASSERT_TRUE(BrowseDirectory(name, "x", 0));
  EXPECT_EQ(dialogs->DirectoryDialogs()[0].second, "/");
  EXPECT_EQ(name, dir.Path());
  // A folder that is not there is no choice.
  dialogs->AnswerDirectory(dir.Path() + "/gone");
  EXPECT_FALSE(BrowseDirectory(name, "x", 0));
  EXPECT_EQ(dialogs->DirectoryDialogs()[1].second, dir.Path());
  EXPECT_EQ(name, dir.Path());
  TBrowseFolderDlg d;
  d.FolderName = dir.Path();
  dialogs->AnswerDirectory("/");
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FolderName, "/");
  EXPECT_EQ(d.SelectedName, "/");
}

// Pane splitter ---------------------------------------------------------------------------

namespace {

// A window as the ration window has it: a client panel, a bottom panel under a
// bottom-aligned pane splitter with MinSize 1.
struct Panes {
  QWidget parent;
  TCustomControl* client;
  TCustomControl* bottom;
  TPaneSplitter* bar;
  std::vector<std::string> log;
  Panes() {
    parent.resize(400, 300);
    client = new TCustomControl(&parent);
    bottom = new TCustomControl(&parent);
    bottom->setGeometry(0, 200, 400, 100);
    SetAlign(bottom, TAlign::alBottom);
    bar = new TPaneSplitter(&parent, TAlign::alBottom);
    bar->setGeometry(0, 190, 400, 10);
    bar->MinSize = 1;
    SetAlign(client, TAlign::alClient);
    AlignControls(&parent);
    bar->OnMaximize = [this](TObject*) { log.push_back("max"); };
    bar->OnRestore = [this](TObject*) { log.push_back("restore"); };
  }
  TPoint ButtonCentre() const {
    const TRect b = bar->ButtonRect();
    return {(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2};
  }
};

}  // namespace

TEST(PaneSplitter, TheButtonCollapsesTheControlBelowAndRestoresIt) {
  Panes p;
  EXPECT_EQ(p.bar->FindControl(), p.bottom);
  EXPECT_EQ(p.bar->Version(), "TPaneSplitter v2.03");
  const TPoint c = p.ButtonCentre();
  p.bar->MouseDown(TMouseButton::mbLeft, 0, c.X, c.Y);
  p.bar->MouseMove(0, c.X + 30, c.Y + 2);  // along the bar and a little across: still a click
  p.bar->MouseUp(TMouseButton::mbLeft, 0, c.X + 30, c.Y + 2);
  EXPECT_TRUE(p.bar->Maximized());
  EXPECT_EQ(p.bottom->height(), 1);
  EXPECT_EQ(p.client->height(), 300 - 1 - 10);
  p.bar->MouseDown(TMouseButton::mbLeft, 0, c.X, c.Y);
  p.bar->MouseUp(TMouseButton::mbLeft, 0, c.X, c.Y);
  EXPECT_FALSE(p.bar->Maximized());
  EXPECT_EQ(p.bottom->height(), 100);
  EXPECT_EQ(p.log, (std::vector<std::string>{"max", "restore"}));

  // The window shrinks to nothing (minimised) and comes back: the panes keep their sizes.
  p.bar->SetMaximized(true);
  p.parent.resize(400, 0);
  p.parent.resize(600, 500);
  AlignControls(&p.parent);
  EXPECT_EQ(p.bottom->height(), 1);
  p.bar->SetMaximized(false);
  EXPECT_EQ(p.bottom->height(), 100);
}

// The bar's own Beveled (the class library's property) is what the button reads: with a
// bevel the button is 3 pixels shorter at each side across the bar, and the bar shows
// its bevel around it.
TEST(PaneSplitter, TheButtonFollowsTheBarsBevel) {
  Panes p;
  const TRect flat = p.bar->ButtonRect();
  const QImage flatImage = p.bar->RenderToImage();
  p.bar->Beveled = true;
  const TRect beveled = p.bar->ButtonRect();
  EXPECT_EQ(beveled.Top, flat.Top + 3);
  EXPECT_EQ(beveled.Bottom, flat.Bottom - 3);
  EXPECT_EQ(beveled.Left, flat.Left);
  EXPECT_EQ(beveled.Right, flat.Right);
  const QImage bevelImage = p.bar->RenderToImage();
  // Left of the button: the bar's face, or the light top and dark bottom of the bevel.
  const QColor face = ToQColor(ColorToRGB(clBtnFace));
  EXPECT_EQ(flatImage.pixelColor(5, 0), face);
  EXPECT_EQ(flatImage.pixelColor(5, 9), face);
  EXPECT_EQ(bevelImage.pixelColor(5, 0), ToQColor(ColorToRGB(clBtnHighlight)));
  EXPECT_EQ(bevelImage.pixelColor(5, 9), ToQColor(ColorToRGB(clBtnShadow)));
  EXPECT_EQ(bevelImage.pixelColor(5, 5), face);
}

TEST(PaneSplitter, ADragToMinSizeCollapsesOnceAndAWiggleOnTheButtonIsUndone) {
  Panes p;
  // The pointer at a height of the window, in the bar's coordinates of the moment (the
  // bar follows the drag).
  auto y = [&](int parentY) { return parentY - p.bar->y(); };
  // Drag the bar down to the bottom: the panel below reaches MinSize.
  p.bar->MouseDown(TMouseButton::mbLeft, 0, 20, y(195));
  p.bar->MouseMove(0, 20, y(260));
  p.bar->MouseMove(0, 20, y(400));
  p.bar->MouseUp(TMouseButton::mbLeft, 0, 20, y(400));
  EXPECT_TRUE(p.bar->Maximized());
  EXPECT_EQ(p.bottom->height(), 1);
  EXPECT_EQ(p.log, (std::vector<std::string>{"max"}));
  // Dragged up again by 60 pixels: restored.
  p.bar->MouseDown(TMouseButton::mbLeft, 0, 20, y(294));
  p.bar->MouseMove(0, 20, y(234));
  p.bar->MouseUp(TMouseButton::mbLeft, 0, 20, y(234));
  EXPECT_FALSE(p.bar->Maximized());
  EXPECT_EQ(p.bottom->height(), 61);
  EXPECT_EQ(p.log, (std::vector<std::string>{"max", "restore"}));
  // Pressing the button, moving 3 pixels across and releasing on it is a click; the
  // bar does not keep the 3 pixels.
  const TPoint c = p.ButtonCentre();
  const int at = p.bar->y() + c.Y;
  p.bar->MouseDown(TMouseButton::mbLeft, 0, c.X, y(at));
  p.bar->MouseMove(0, c.X, y(at + 3));
  p.bar->MouseUp(TMouseButton::mbLeft, 0, c.X, y(at + 3));
  EXPECT_TRUE(p.bar->Maximized());
  p.bar->SetMaximized(false);
  EXPECT_EQ(p.bottom->height(), 61);
}

// A drag ends with the release of the left button: another button let go on the way
// neither ends it nor judges where the neighbour stands.
TEST(PaneSplitter, OnlyTheLeftReleaseEndsADrag) {
  Panes p;
  auto y = [&](int parentY) { return parentY - p.bar->y(); };
  p.bar->MouseDown(TMouseButton::mbLeft, 0, 20, y(195));
  p.bar->MouseMove(0, 20, y(400));  // the panel below at MinSize for a moment
  p.bar->MouseUp(TMouseButton::mbRight, 0, 20, y(400));
  EXPECT_TRUE(p.bar->Sizing());
  EXPECT_FALSE(p.bar->Maximized());
  p.bar->MouseMove(0, 20, y(260));
  p.bar->MouseUp(TMouseButton::mbLeft, 0, 20, y(260));
  EXPECT_FALSE(p.bar->Sizing());
  EXPECT_FALSE(p.bar->Maximized());
  EXPECT_EQ(p.bottom->height(), 35);
  EXPECT_TRUE(p.log.empty());
}

// The pointer that comes to rest on the button without moving (the bar moved under it)
// lights it up and gets the button's cursor.
TEST(PaneSplitter, EnteringTheBarLooksWhereThePointerIs) {
  Panes p;
  p.bar->ButtonCursor = crHandPoint;
  p.parent.show();
  const TPoint c = p.ButtonCentre();
  QCursor::setPos(p.bar->mapToGlobal(QPoint(c.X, c.Y)));
  QEvent enter(QEvent::Enter);
  QApplication::sendEvent(p.bar, &enter);
  EXPECT_TRUE(p.bar->Highlighted());
  EXPECT_EQ(p.bar->Cursor(), crHandPoint);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(p.bar, &leave);
  EXPECT_FALSE(p.bar->Highlighted());
  QCursor::setPos(p.bar->mapToGlobal(QPoint(3, 3)));
  QApplication::sendEvent(p.bar, &enter);
  EXPECT_FALSE(p.bar->Highlighted());
  EXPECT_EQ(p.bar->Cursor(), crVSplit);
}

// An unknown restore size is taken from the neighbour at any change of the bar's bounds:
// a move that brings it next to a control as well as a resize.
TEST(PaneSplitter, TheRestoreSizeIsTakenWhenTheBarMovesNextToItsNeighbour) {
  QWidget parent;
  parent.resize(300, 200);
  auto* panel = new TCustomControl(&parent);
  panel->setGeometry(0, 0, 80, 200);
  TPaneSplitter bar(&parent, TAlign::alLeft);
  bar.setGeometry(120, 0, 10, 200);
  parent.show();
  EXPECT_EQ(bar.Model().RestorePos(), -1);  // nothing stands left of it
  bar.move(80, 0);
  EXPECT_EQ(bar.FindControl(), panel);
  EXPECT_EQ(bar.Model().RestorePos(), 80);
}

TEST(PaneSplitter, WithoutANeighbourTheButtonDoesNothing) {
  QWidget parent;
  parent.resize(300, 200);
  TPaneSplitter bar(&parent, TAlign::alBottom);
  bar.setGeometry(0, 190, 300, 10);
  int events = 0;
  bar.OnMaximize = [&](TObject*) { ++events; };
  const TRect b = bar.ButtonRect();
  bar.MouseDown(TMouseButton::mbLeft, 0, b.Left + 5, b.Top + 2);
  bar.MouseUp(TMouseButton::mbLeft, 0, b.Left + 5, b.Top + 2);
  EXPECT_FALSE(bar.Maximized());
  EXPECT_EQ(events, 0);
}

TEST(PaneSplitter, ButtonWidthInPixelsOrAsAPercentageOfTheBar) {
  Panes p;  // a bar 400 pixels long
  EXPECT_EQ(p.bar->ButtonWidthType(), TButtonWidthType::btwPixels);
  EXPECT_EQ(p.bar->ButtonWidth(), 100);
  EXPECT_EQ(p.bar->ButtonRect().Width(), 100);
  p.bar->SetButtonWidthType(TButtonWidthType::btwPercentage);  // 100 % of the bar, inside its margin
  EXPECT_EQ(p.bar->ButtonRect().Width(), 398);
  struct Case {
    TButtonWidthType type;
    int asked, kept, length;
  };
  const Case cases[] = {{TButtonWidthType::btwPercentage, 50, 50, 200},
                        {TButtonWidthType::btwPercentage, 150, 100, 398},
                        {TButtonWidthType::btwPercentage, -5, 0, 0},
                        {TButtonWidthType::btwPixels, 150, 150, 150},
                        {TButtonWidthType::btwPixels, -1, 0, 0}};
  for (const Case& c : cases) {
    p.bar->SetButtonWidthType(c.type);
    p.bar->SetButtonWidth(c.asked);
    EXPECT_EQ(p.bar->ButtonWidth(), c.kept) << c.asked;
    EXPECT_EQ(p.bar->ButtonRect().Width(), c.length) << c.asked;
  }
  // A width in pixels above 100 is cut when the bar switches to a percentage.
  p.bar->SetButtonWidthType(TButtonWidthType::btwPixels);
  p.bar->SetButtonWidth(300);
  p.bar->SetButtonWidthType(TButtonWidthType::btwPercentage);
  EXPECT_EQ(p.bar->ButtonWidth(), 100);
  // The bar grows: a percentage button grows with it.
  p.bar->SetButtonWidth(25);
  p.bar->resize(800, p.bar->height());
  EXPECT_EQ(p.bar->ButtonRect().Width(), 200);
}

TEST(PaneSplitter, PaintingTheButton) {
  Panes p;
  p.bar->show();
  // Over the button it lights up and the cursor is the button's.
  const TPoint c = p.ButtonCentre();
  p.bar->MouseMove(0, c.X, c.Y);
  EXPECT_TRUE(p.bar->Highlighted());
  EXPECT_EQ(p.bar->Cursor(), crDefault);
  p.bar->MouseMove(0, 3, 3);
  EXPECT_FALSE(p.bar->Highlighted());
  EXPECT_EQ(p.bar->Cursor(), crVSplit);
  const QImage img = p.bar->RenderToImage();
  const TRect b = p.bar->ButtonRect();
  EXPECT_EQ(img.pixelColor(b.Left, b.Top), QColor(128, 128, 128));
  EXPECT_EQ(img.pixelColor(b.Left + 1, b.Top + 1), QColor(Qt::white));
  // The arrows are navy, the texture has white and navy dots.
  int navy = 0, white = 0;
  for (int y = b.Top + 2; y < b.Bottom - 2; ++y)
    for (int x = b.Left + 2; x < b.Right - 2; ++x) {
      const QColor px = img.pixelColor(x, y);
      navy += px == QColor(0, 0, 128);
      white += px == QColor(Qt::white);
    }
  EXPECT_GT(navy, 10);
  EXPECT_GT(white, 10);
}
