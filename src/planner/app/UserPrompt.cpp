#include "planner/app/UserPrompt.h"

#include <cstdio>

namespace {

class TConsolePrompt : public IUserPrompt {
 public:
  TModalResult MessageDlg(const AnsiString& Msg, TMsgDlgType, TMsgDlgButtons Buttons) override {
    std::fprintf(stderr, "%s\n", cp::Ansi1251ToUtf8(Msg).c_str());
    if (Buttons & mbOK) return mrOk;
    if (Buttons & mbYes) return mrYes;
    if (Buttons & mbNo) return mrNo;
    return mrCancel;
  }
};

std::unique_ptr<IUserPrompt>& CurrentPrompt() {
  static std::unique_ptr<IUserPrompt> prompt;
  return prompt;
}

}  // namespace

IUserPrompt& UserPrompt() {
  auto& p = CurrentPrompt();
  if (!p) p = std::make_unique<TConsolePrompt>();
  return *p;
}

void SetUserPrompt(std::unique_ptr<IUserPrompt> prompt) { CurrentPrompt() = std::move(prompt); }
