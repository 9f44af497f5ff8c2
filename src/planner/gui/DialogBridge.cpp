#include "planner/gui/DialogBridge.h"

#include "platform/gui/Dialogs.h"

namespace dialog_bridge {

unsigned Show(const AnsiString& text, TKind kind, unsigned buttons) {
  const TMsgDlgType types[] = {TMsgDlgType::mtWarning, TMsgDlgType::mtError, TMsgDlgType::mtInformation,
                               TMsgDlgType::mtConfirmation};
  TMsgDlgButtons b = 0;
  if (buttons & bYes) b |= mbYes;
  if (buttons & bNo) b |= mbNo;
  if (buttons & bOK) b |= mbOK;
  if (buttons & bCancel) b |= mbCancel;
  if (buttons & bAll) b |= mbAll;
  switch (MessageDlg(text, types[kind], b)) {
    case mrYes: return bYes;
    case mrNo: return bNo;
    case mrOk: return bOK;
    case mrCancel: return bCancel;
    case mrAll: return bAll;
    default: return 0;
  }
}

}  // namespace dialog_bridge
