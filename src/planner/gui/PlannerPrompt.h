// IUserPrompt on the platform's message dialogs: what the planner asks, the program shows
// (and tests script through the dialog service).
#pragma once

#include "planner/app/UserPrompt.h"
#include "planner/ration/RationFile.h"

class TPlannerPrompt : public IUserPrompt, public IRationFileMessages {
 public:
  TModalResult MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) override;
  void ShowError(const AnsiString& Text) override;
  bool Confirm(const AnsiString& Text) override;
};
