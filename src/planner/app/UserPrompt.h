// Message dialogs of the planner (error, warning, information, confirmation) behind an
// interface: the windowed program shows message boxes, tests script the answers, and
// without either the message goes to the error output.
#pragma once

#include <memory>

#include "platform/core/AnsiText.h"
#include "platform/core/MsgDlg.h"

class IUserPrompt {
 public:
  virtual ~IUserPrompt() = default;
  // Shows Msg (1251; "\r" breaks lines) and returns the button chosen.
  virtual TModalResult MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) = 0;
};

// The prompt in use (by default one that writes to the error output and answers with the
// first of OK, Yes, No, Cancel that it offers). SetUserPrompt replaces it; nullptr
// restores the default.
IUserPrompt& UserPrompt();
void SetUserPrompt(std::unique_ptr<IUserPrompt> prompt);
