#include "report/RP_DialogPage.h"

namespace {
TrpDialogRunner& Runner() {
  static TrpDialogRunner runner;
  return runner;
}
}  // namespace

void TrpDialogForm::SetModalResult(TModalResult result) {
  modalResult_ = result;
  if (result != mrNone && OnClose) OnClose();
}

void rpSetDialogRunner(TrpDialogRunner runner) { Runner() = std::move(runner); }

const TrpDialogRunner& rpDialogRunner() { return Runner(); }
