// Dialog pages: a template page of dialog kind is shown as a modal dialog before the
// report pages are built. Its controls are placed on a form that takes the page's
// caption, border, colour, bounds and position; the page's script runs once first and
// may decide the result itself (MODALRESULT). Closing with Cancel cancels the build.
//
// Showing the form is the windowing layer's: it installs a runner. Without one (no
// display) the form is not shown, and the dialog ends with what its script set, or
// with OK.
#pragma once

#include <functional>
#include <vector>

#include "platform/core/MsgDlg.h"
#include "report/RP_BandView.h"
#include "report/RP_Page.h"

// A dialog page while it runs.
class TrpDialogForm {
 public:
  explicit TrpDialogForm(TrpPage& page) : Page(page) {}
  TrpPage& Page;
  // The visual controls placed on the form, in template order.
  std::vector<TrpControl*> Controls;

  TModalResult ModalResult() const { return modalResult_; }
  // Sets the result; while the form is shown this closes it (OnClose).
  void SetModalResult(TModalResult result);
  std::function<void()> OnClose;

 private:
  TModalResult modalResult_ = mrNone;
};

// Shows the form modally and answers its modal result.
using TrpDialogRunner = std::function<TModalResult(TrpDialogForm& form)>;
void rpSetDialogRunner(TrpDialogRunner runner);
const TrpDialogRunner& rpDialogRunner();
