// The platform's scripted dialogs for the planner's window tests, behind a header of its
// own: the planner's and the platform's dialog headers name their types alike.
#pragma once

#include <memory>
#include <vector>

#include "planner/gui/DialogBridge.h"

class TDialogScript {
 public:
  TDialogScript();
  ~TDialogScript();
  // The next dialog's answer (a dialog_bridge button).
  void Answer(dialog_bridge::TButton button);
  int Unexpected() const;
  // The texts of the dialogs shown, in order.
  std::vector<AnsiString> Texts() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};
