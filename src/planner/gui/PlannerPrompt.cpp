#include "planner/gui/PlannerPrompt.h"

#include "platform/gui/Dialogs.h"

TModalResult TPlannerPrompt::MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
  return ::MessageDlg(Msg, DlgType, Buttons);
}

void TPlannerPrompt::ShowError(const AnsiString& Text) { ::MessageDlg(Text, TMsgDlgType::mtError, mbOK); }

bool TPlannerPrompt::Confirm(const AnsiString& Text) {
  return ::MessageDlg(Text, TMsgDlgType::mtWarning, mbYes | mbNo) == mrYes;
}
