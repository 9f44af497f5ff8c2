// The dialog of a report's dialog page on screen (report/RP_DialogPage.h): a form named
// "DialogForm" with the page's caption, border style, colour, bounds and position that
// draws the page's visual controls where the page places them. Closing the window
// gives Cancel; a control's script that sets MODALRESULT closes it with that result.
#pragma once

#include <QImage>

#include "platform/gui/Forms.h"
#include "report/RP_DialogPage.h"

class TrpDialogPageForm : public TForm {
 public:
  explicit TrpDialogPageForm(TrpDialogForm& dialog);
  ~TrpDialogPageForm() override;
  // Shows the form modally and answers its modal result.
  int Run();
  // The form's client area as it is drawn.
  QImage Render();

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  void Paint(TCanvas& canvas);
  TrpDialogForm& dialog_;
};

// Makes dialog pages show as TrpDialogPageForm (the report core shows none by itself).
void rpInstallDialogPageForms();
