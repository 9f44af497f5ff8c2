#include "planner/gui/DialogHelp.h"

#include "platform/gui/Dialogs.h"

void ShowDialogHelp(const std::function<void(int Context)>& OnHelp, int Context) {
  if (OnHelp) {
    OnHelp(Context);
    return;
  }
  MessageDlg(Format(Ansi("Справка (раздел %d) не установлена."), {Context}), TMsgDlgType::mtInformation, mbOK);
}
