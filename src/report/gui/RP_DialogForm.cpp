#include "report/gui/RP_DialogForm.h"

#include <QPainter>

#include "platform/gui/QtGraphics.h"

namespace {

// The page stores the class library's position numbers: 0 designed, 1-3 the system's
// default places (taken as designed here), 4 screen centre, 5 desktop centre, 6 main
// form centre, 7 owner form centre.
TPosition PositionOf(int stored) {
  switch (stored) {
    case 4: return TPosition::poScreenCenter;
    case 5: return TPosition::poDesktopCenter;
    case 6: return TPosition::poMainFormCenter;
    case 7: return TPosition::poOwnerFormCenter;
    default: return TPosition::poDesigned;
  }
}

TFormBorderStyle BorderOf(int stored) {
  return stored >= 0 && stored <= 4 ? static_cast<TFormBorderStyle>(stored) : TFormBorderStyle::bsDialog;
}

}  // namespace

TrpDialogPageForm::TrpDialogPageForm(TrpDialogForm& dialog) : dialog_(dialog) {
  setObjectName("DialogForm");
  const TrpPage& page = dialog.Page;
  SetCaption(page.Caption);
  SetBorderStyle(BorderOf(page.BorderStyle));
  Position = PositionOf(page.Position);
  move(page.FormLeft, page.FormTop);
  resize(std::max(page.FormWidth, 1), std::max(page.FormHeight, 1));
  dialog_.OnClose = [this] { SetModalResult(dialog_.ModalResult()); };
}

TrpDialogPageForm::~TrpDialogPageForm() { dialog_.OnClose = nullptr; }

int TrpDialogPageForm::Run() { return ShowModal(); }

void TrpDialogPageForm::Paint(TCanvas& canvas) {
  canvas.Brush.Style = TBrushStyle::bsSolid;
  canvas.Brush.Color = dialog_.Page.Color;
  canvas.FillRect(Rect(0, 0, width(), height()));
  for (TrpControl* control : dialog_.Controls)
    if (control->Visible) control->Draw(canvas);
}

void TrpDialogPageForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TQtCanvas canvas(painter, Rect(0, 0, width(), height()));
  Paint(canvas);
}

QImage TrpDialogPageForm::Render() {
  return PaintToImage(width(), height(), dialog_.Page.Color, [this](TCanvas& canvas) { Paint(canvas); });
}

void rpInstallDialogPageForms() {
  rpSetDialogRunner([](TrpDialogForm& dialog) {
    TrpDialogPageForm form(dialog);
    return form.Run();
  });
}
