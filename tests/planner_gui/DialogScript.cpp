#include "DialogScript.h"

#include "platform/gui/Dialogs.h"

struct TDialogScript::TImpl {
  TScriptedDialogsScope scope;
};

TDialogScript::TDialogScript() : impl_(std::make_unique<TImpl>()) {}
TDialogScript::~TDialogScript() = default;

void TDialogScript::Answer(dialog_bridge::TButton button) {
  using namespace dialog_bridge;
  impl_->scope->Answer(button == bYes ? mrYes : button == bNo ? mrNo : button == bCancel ? mrCancel
                       : button == bAll ? mrAll : mrOk);
}

int TDialogScript::Unexpected() const { return impl_->scope->Unexpected(); }

std::vector<AnsiString> TDialogScript::Texts() const {
  std::vector<AnsiString> out;
  for (const TDialogRequest& r : impl_->scope->Shown()) out.push_back(r.Text);
  return out;
}
