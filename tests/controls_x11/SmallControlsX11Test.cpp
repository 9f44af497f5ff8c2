// The combo edit and the pane splitter under a real X server (xcb platform, run by
// xvfb-run): the middle button pastes the server's selection, and a window mapped under
// a resting pointer gives the control under it an enter without any move.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <memory>

#include "X11Session.h"
#include "ServerPointer.h"
#include "controls/gui/ComboEdit.h"
#include "controls/gui/PaneSplitter.h"
#include "platform/gui/Align.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"

namespace {

constexpr int kWaitMs = 10000;

int Count(const AnsiString& text, const AnsiString& part) {
  int n = 0;
  for (auto at = text.find(part); at != AnsiString::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

// Without typing the middle button pastes nothing; with it the selection comes in once.
TEST(ComboEditX11, TheMiddleButtonPastesOnlyWhereTypingIsAllowed) {
  REQUIRE_X_SERVER();
  ServerPointer pointer;
  if (!pointer.Usable()) GTEST_SKIP() << "the X server's XTEST extension (libXtst.so.6) is not available";
  if (!QGuiApplication::clipboard()->supportsSelection()) GTEST_SKIP() << "no selection on this X server";
  auto form = std::make_unique<TForm>();
  form->setGeometry(100, 100, 240, 120);
  auto* edit = new TComboEdit(form.get());
  edit->SetBounds(10, 20, 150, 21);
  form->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), kWaitMs));
  QGuiApplication::clipboard()->setText("pasted", QClipboard::Selection);
  pointer.MoveTo(edit->mapToGlobal(QPoint(40, 10)));
  struct Case {
    bool directInput, readOnly;
  };
  for (const Case c : {Case{false, false}, Case{true, true}}) {
    edit->SetText("abc");
    edit->SetDirectInput(c.directInput);
    edit->SetReadOnly(c.readOnly);
    pointer.Button(true, 2);
    pointer.Button(false, 2);
    // The same click with typing allowed: what arrives after it shows whether the first
    // pasted too.
    edit->SetDirectInput(true);
    edit->SetReadOnly(false);
    pointer.Button(true, 2);
    pointer.Button(false, 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Count(edit->Text(), "pasted") > 0; }, kWaitMs)) << edit->Text();
    EXPECT_EQ(Count(edit->Text(), "pasted"), 1) << c.directInput << c.readOnly << " " << edit->Text();
  }
  form.reset();
  QApplication::processEvents();
}

// The pointer's press on the button of a directory edit without the focus gives it the
// focus as a click does (the window system's press reaches the edit first), without
// selecting its text: the chosen folder follows those already there.
TEST(ComboEditX11, APressOnTheButtonEntersWithoutSelecting) {
  REQUIRE_X_SERVER();
  ServerPointer pointer;
  if (!pointer.Usable()) GTEST_SKIP() << "the X server's XTEST extension (libXtst.so.6) is not available";
  TScriptedDialogsScope dialogs;
  auto form = std::make_unique<TForm>();
  form->setGeometry(100, 100, 240, 120);
  auto* other = new TEdit(form.get());
  other->SetBounds(10, 10, 150, 21);
  auto* edit = new TDirectoryEdit(form.get());
  edit->SetBounds(10, 50, 150, 21);
  edit->MultipleDirs = true;
  edit->SetText("/usr");
  form->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), kWaitMs));
  other->SetFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return other->hasFocus(); }, kWaitMs));
  dialogs->AnswerDirectory(AnsiString("/tmp"));
  pointer.MoveTo(edit->Button()->mapToGlobal(QPoint(5, 5)));
  pointer.Button(true);
  pointer.Button(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs->DirectoryDialogs().size() == 1; }, kWaitMs));
  EXPECT_TRUE(edit->hasFocus());
  EXPECT_EQ(edit->Text(), "/usr;/tmp");
  form.reset();
  QApplication::processEvents();
}

// A window shown under the resting pointer: the bar's button under it lights up and the
// pointer takes the button's cursor, without a move.
TEST(PaneSplitterX11, AWindowShownUnderThePointerLightsTheButton) {
  REQUIRE_X_SERVER();
  ServerPointer pointer;
  if (!pointer.Usable()) GTEST_SKIP() << "the X server's XTEST extension (libXtst.so.6) is not available";
  auto form = std::make_unique<TForm>();
  form->setGeometry(100, 100, 400, 300);
  auto* client = new TCustomControl(form.get());
  auto* bottom = new TCustomControl(form.get());
  bottom->setGeometry(0, 200, 400, 100);
  SetAlign(bottom, TAlign::alBottom);
  auto* bar = new TPaneSplitter(form.get(), TAlign::alBottom);
  bar->setGeometry(0, 190, 400, 10);
  bar->ButtonCursor = crHandPoint;
  SetAlign(client, TAlign::alClient);
  AlignControls(form.get());
  const TRect b = bar->ButtonRect();
  // The form's client area starts at its geometry's top-left.
  pointer.MoveTo(QPoint(100 + (b.Left + b.Right) / 2, 100 + bar->y() + (b.Top + b.Bottom) / 2));
  form->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get(), kWaitMs));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bar->underMouse(); }, kWaitMs)) << "no enter seen";
  EXPECT_TRUE(QTest::qWaitFor([&] { return bar->Highlighted(); }, kWaitMs));
  EXPECT_EQ(bar->Cursor(), crHandPoint);
  form.reset();
  QApplication::processEvents();
}
