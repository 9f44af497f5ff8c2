#include "planner/gui/PlannerPrompt.h"

#include "planner/gui/DialogBridge.h"

using namespace dialog_bridge;

TModalResult TPlannerPrompt::MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
  const TKind kind = DlgType == TMsgDlgType::mtWarning       ? kWarning
                     : DlgType == TMsgDlgType::mtError        ? kError
                     : DlgType == TMsgDlgType::mtInformation  ? kInformation
                                                              : kConfirmation;
  unsigned b = 0;
  if (Buttons & mbYes) b |= bYes;
  if (Buttons & mbNo) b |= bNo;
  if (Buttons & mbOK) b |= bOK;
  if (Buttons & mbCancel) b |= bCancel;
  if (Buttons & mbAll) b |= bAll;
  switch (Show(Msg, kind, b)) {
    case bYes: return mrYes;
    case bNo: return mrNo;
    case bOK: return mrOk;
    case bAll: return mrAll;
    default: return mrCancel;
  }
}

void TPlannerPrompt::ShowError(const AnsiString& Text) { Show(Text, kError, bOK); }
