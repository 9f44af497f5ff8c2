#include "report/RP_DialogPage.h"

namespace {
TrpDialogRunner& Runner() {
  static TrpDialogRunner runner;
  return runner;
}
}  // namespace

void TrpDialogForm::SetModalResult(int result) {
  modalResult_ = result;
  if (result != rpmrNone && OnClose) OnClose();
}

void rpSetDialogRunner(TrpDialogRunner runner) { Runner() = std::move(runner); }

const TrpDialogRunner& rpDialogRunner() { return Runner(); }
