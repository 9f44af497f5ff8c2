// Message dialogs: buttons, defaults, the script tests use, and the real box's
// Russian buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/QtGraphics.h"

TEST(MessageDlg, ButtonsInTheirOrderWithDefaultAndEscape) {
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrNo);
  EXPECT_EQ(MessageDlg(Ansi("Сохранить изменения?"), TMsgDlgType::mtConfirmation, mbYesNoCancel), mrNo);
  ASSERT_EQ(dialogs->Shown().size(), 1u);
  const TDialogRequest& r = dialogs->Shown()[0];
  EXPECT_EQ(r.Text, Ansi("Сохранить изменения?"));
  EXPECT_EQ(r.Caption, Ansi("Подтверждение"));
  EXPECT_EQ(r.Buttons, (std::vector<int>{mrYes, mrNo, mrCancel}));
  EXPECT_EQ(r.DefaultButton, mrYes);
  EXPECT_EQ(r.EscapeButton, mrCancel);

  struct Case {
    TMsgDlgButtons buttons;
    std::vector<int> order;
    int def, esc;
  };
  const Case cases[] = {
      {mbOK, {mrOk}, mrOk, mrOk},
      {mbOKCancel, {mrOk, mrCancel}, mrOk, mrCancel},
      {mbYes | mbNo, {mrYes, mrNo}, mrYes, mrNo},
      {mbYesAllNoAllCancel, {mrYes, mrNo, mrCancel, mrNoToAll, mrYesToAll}, mrYes, mrCancel},
      {mbYes | mbNo | mbAll, {mrYes, mrNo, mrAll}, mrYes, mrNo},
      {mbAbortRetryIgnore, {mrAbort, mrRetry, mrIgnore}, mrAbort, mrIgnore},
  };
  for (const Case& c : cases) {
    MessageDlg("x", TMsgDlgType::mtWarning, c.buttons);
    const TDialogRequest& last = dialogs->Shown().back();
    EXPECT_EQ(last.Buttons, c.order) << c.buttons;
    EXPECT_EQ(last.DefaultButton, c.def) << c.buttons;
    EXPECT_EQ(last.EscapeButton, c.esc) << c.buttons;
    EXPECT_EQ(last.Caption, Ansi("Предупреждение"));
  }
  // None of them was scripted: each counted and answered with its Esc result.
  EXPECT_EQ(dialogs->Unexpected(), 6);
}

TEST(MessageDlg, AScriptedAnswerThatIsNotAButtonIsAnError) {
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrYes);
  EXPECT_EQ(MessageDlg("x", TMsgDlgType::mtError, mbOKCancel), mrCancel);
  EXPECT_EQ(dialogs->Unexpected(), 1);
  EXPECT_EQ(dialogs->Shown()[0].Caption, Ansi("Ошибка"));
}

TEST(MessageBoxes, StylesGiveButtonsIconAndDefault) {
  TScriptedDialogsScope dialogs;
  dialogs->Answer(IDYES);
  EXPECT_EQ(MessageBox(Ansi("Удалить?"), Ansi("Раскладка"), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), IDYES);
  const TDialogRequest& r = dialogs->Shown()[0];
  EXPECT_EQ(r.Caption, Ansi("Раскладка"));
  EXPECT_EQ(r.Type, TMsgDlgType::mtConfirmation);
  EXPECT_EQ(r.Buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(r.DefaultButton, IDNO);
  dialogs->Answer(IDOK);
  MessageBox("a", "b", MB_OK | MB_ICONERROR);
  EXPECT_EQ(dialogs->Shown()[1].Type, TMsgDlgType::mtError);
  EXPECT_EQ(dialogs->Shown()[1].Buttons, std::vector<int>{IDOK});
  EXPECT_EQ(dialogs->Unexpected(), 0);
  EXPECT_EQ(dialogs->AnswersLeft(), 0u);
}

TEST(MessageBoxes, TheScreenDialogHasRussianButtons) {
  ASSERT_EQ(ButtonCaption(mrYes), Ansi("Да"));
  EXPECT_EQ(ButtonCaption(mrNo), Ansi("Нет"));
  EXPECT_EQ(ButtonCaption(mrOk), Ansi("ОК"));
  EXPECT_EQ(ButtonCaption(mrCancel), Ansi("Отмена"));
  EXPECT_EQ(ButtonCaption(mrAll), Ansi("Все"));
  QStringList seen;
  QString title, text;
  // Once the box is up, read it and press "Нет".
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    for (QAbstractButton* b : box->buttons()) seen << b->text();
    for (QAbstractButton* b : box->buttons())
      if (b->text() == QString::fromUtf8("Нет")) b->click();
  });
  EXPECT_EQ(MessageDlg(Ansi("Файл изменён. Сохранить?"), TMsgDlgType::mtConfirmation, mbYesNoCancel), mrNo);
  seen.sort();
  QStringList expected{QString::fromUtf8("Да"), QString::fromUtf8("Нет"), QString::fromUtf8("Отмена")};
  expected.sort();
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(title, QString::fromUtf8("Подтверждение"));
  EXPECT_EQ(text, QString::fromUtf8("Файл изменён. Сохранить?"));
}

TEST(FolderDialogs, ScriptedAnswersAndCancel) {
  TScriptedDialogsScope dialogs;
  dialogs->AnswerDirectory(Ansi("/home/turist/Походы"));
  dialogs->AnswerDirectory(std::nullopt);
  AnsiString dir = "/start";
  EXPECT_TRUE(SelectDirectory(Ansi("Папка раскладок"), dir));
  EXPECT_EQ(dir, Ansi("/home/turist/Походы"));
  EXPECT_FALSE(SelectDirectory("x", dir));
  EXPECT_EQ(dir, Ansi("/home/turist/Походы"));  // unchanged when cancelled
  ASSERT_EQ(dialogs->DirectoryDialogs().size(), 2u);
  EXPECT_EQ(dialogs->DirectoryDialogs()[0], std::make_pair(Ansi("Папка раскладок"), AnsiString("/start")));
  EXPECT_EQ(dialogs->Unexpected(), 0);
  EXPECT_FALSE(SelectDirectory("x", dir));
  EXPECT_EQ(dialogs->Unexpected(), 1);
}

// The program's prompt interface and the kit's dialogs share one set of dialog types,
// so a window can implement the one on the other in a single file.
#include "planner/app/UserPrompt.h"

namespace {

class TDialogsPrompt : public IUserPrompt {
 public:
  TModalResult MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) override {
    return ::MessageDlg(Msg, DlgType, Buttons);
  }
};

}  // namespace

TEST(MessageDlg, ThePlannersPromptRunsOnTheKitsDialogs) {
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrAll);
  TDialogsPrompt prompt;
  IUserPrompt& p = prompt;
  EXPECT_EQ(p.MessageDlg(Ansi("Удалить день?"), TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel | mbAll),
            mrAll);
  ASSERT_EQ(dialogs->Shown().size(), 1u);
  EXPECT_EQ(dialogs->Shown()[0].Buttons, (std::vector<int>{mrYes, mrNo, mrCancel, mrAll}));
  EXPECT_EQ(ButtonCaption(mrAll), Ansi("Все"));
  EXPECT_EQ(ButtonCaption(mrYesToAll), Ansi("Да для всех"));
}

TEST(PrintDialogs, ScriptedPageSetupPrintAndHelp) {
  TScriptedDialogsScope dialogs;
  TPageSetupRequest page;
  page.MarginLeft = 1000;
  dialogs->AnswerPageSetup([](TPageSetupRequest& r) {
    EXPECT_EQ(r.MarginLeft, 1000);
    r.Orientation = TPrinterOrientation::poLandscape;
    return true;
  });
  dialogs->AnswerPrint([](TPrintRequest& r) {
    r.FromPage = 2;
    r.ToPage = 3;
    r.OutputFile = "/tmp/r.pdf";
    return true;
  });
  dialogs->AnswerPrint([](TPrintRequest&) { return false; });
  EXPECT_TRUE(Dialogs().ExecutePageSetup(page));
  EXPECT_EQ(page.Orientation, TPrinterOrientation::poLandscape);
  TPrintRequest print;
  print.MaxPage = 3;
  EXPECT_TRUE(Dialogs().ExecutePrint(print));
  EXPECT_EQ(print.FromPage, 2);
  EXPECT_EQ(print.OutputFile, "/tmp/r.pdf");
  EXPECT_FALSE(Dialogs().ExecutePrint(print));
  EXPECT_FALSE(Dialogs().ExecutePageSetup(page));  // nothing scripted
  EXPECT_EQ(dialogs->Unexpected(), 1);
  // Help: a topic of its own, and a number without one: both go to the help window.
  ShowHelpContext(987654);
  EXPECT_EQ(dialogs->HelpContexts(), (std::vector<int>{987654}));
}
