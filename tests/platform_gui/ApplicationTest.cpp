// Unhandled exceptions end in the application object's message box, never in Qt's
// event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <stdexcept>

#include "platform/gui/Application.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Dialogs.h"

namespace {

void Raise(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (...) {
    Application().HandleException(nullptr);
  }
}

}  // namespace

TEST(ApplicationExceptions, ShownInAnErrorBoxAndAbortIsSilent) {
  TScriptedDialogsScope dialogs;
  Application().Title = Ansi("Раскладка");
  Raise(std::make_exception_ptr(EAbort()));
  EXPECT_TRUE(dialogs->Shown().empty());

  struct Case {
    std::exception_ptr e;
    AnsiString text;
  };
  const Case cases[] = {
      {std::make_exception_ptr(EReadError("Stream read error")), "Stream read error."},
      {std::make_exception_ptr(EConvertError(Ansi("Неверное число."))), Ansi("Неверное число.")},
      {std::make_exception_ptr(Exception(Ansi("Что случилось?"))), Ansi("Что случилось?")},
      {std::make_exception_ptr(Exception("Line 1 (x)")), "Line 1 (x)"},  // ')' is below '.'
      {std::make_exception_ptr(std::runtime_error("plain")), "plain."},
      {std::make_exception_ptr(42), Ansi("Неизвестная ошибка.")},
  };
  for (const Case& c : cases) {
    dialogs->Answer(IDOK);
    Raise(c.e);
    const TDialogRequest& r = dialogs->Shown().back();
    EXPECT_EQ(r.Text, c.text);
    EXPECT_EQ(r.Caption, Ansi("Раскладка"));
    EXPECT_EQ(r.Type, TMsgDlgType::mtError);
    EXPECT_EQ(r.Buttons, std::vector<int>{IDOK});
  }
  EXPECT_EQ(dialogs->Unexpected(), 0);
  Application().Title.clear();
}

TEST(ApplicationExceptions, OnExceptionReplacesTheBox) {
  TScriptedDialogsScope dialogs;
  AnsiString seen;
  Application().OnException = [&](TObject*, const std::exception& e) { seen = e.what(); };
  Raise(std::make_exception_ptr(EListError("List index out of bounds.")));
  Raise(std::make_exception_ptr(EAbort()));
  Application().OnException = nullptr;
  EXPECT_EQ(seen, "List index out of bounds.");
  EXPECT_TRUE(dialogs->Shown().empty());
}

TEST(ApplicationExceptions, AHandlerThatThrowsInsideAQtEventIsCaught) {
  TScriptedDialogsScope dialogs;
  dialogs->Answer(IDOK);
  TCustomControl c;
  c.resize(20, 20);
  c.OnClick = [](TObject*) { throw EConvertError("'x' is not a valid integer value"); };
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(&c, &press);
  QApplication::sendEvent(&c, &release);
  ASSERT_EQ(dialogs->Shown().size(), 1u);
  EXPECT_EQ(dialogs->Shown()[0].Text, "'x' is not a valid integer value.");

  // GuardedCall does the same for code run outside an event.
  dialogs->Answer(IDOK);
  GuardedCall(&c, [] { throw ERangeError("Range check error"); });
  EXPECT_EQ(dialogs->Shown().back().Text, "Range check error.");
}
