// Message dialogs of the planner (error, warning, information, confirmation) behind an
// interface: the windowed program shows message boxes, tests script the answers, and
// without either the message goes to the error output.
#pragma once

#include <memory>

#include "platform/core/AnsiText.h"

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

// Buttons, combined as a bit set.
using TMsgDlgButtons = unsigned;
inline constexpr TMsgDlgButtons mbYes = 1;
inline constexpr TMsgDlgButtons mbNo = 2;
inline constexpr TMsgDlgButtons mbOK = 4;
inline constexpr TMsgDlgButtons mbCancel = 8;
inline constexpr TMsgDlgButtons mbAll = 16;

// Modal results.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7, mrAll = 8 };

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
