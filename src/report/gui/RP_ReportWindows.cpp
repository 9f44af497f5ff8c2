#include "report/gui/RP_ReportWindows.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/QtGraphics.h"
#include "report/gui/RP_Preview.h"
#include "report/gui/RP_PrintForm.h"

int TrpProgressWindow::ShowAfterMs = 400;

TrpProgressWindow::TrpProgressWindow(const AnsiString& caption, const AnsiString& label, const char* objectName,
                                     int showAfterMs)
    : form_(std::make_unique<TrpProgressForm>(QApplication::activeWindow())), showAfterMs_(showAfterMs) {
  form_->setObjectName(objectName);
  form_->setWindowTitle(ToQString(caption));
  form_->setWindowModality(Qt::ApplicationModal);
  form_->SetLabel(ToQString(label));
  form_->OnCancel = [this] { cancelled_ = true; };
  clock_.start();
}

TrpProgressWindow::~TrpProgressWindow() { form_->hide(); }

void TrpProgressWindow::SetLabel(const AnsiString& text) { form_->SetLabel(ToQString(text)); }
void TrpProgressWindow::SetLabel2(const AnsiString& text) { form_->SetLabel2(ToQString(text)); }

bool TrpProgressWindow::ProcessMessages() {
  if (!hidden_ && !form_->isVisible() && !cancelled_ && clock_.elapsed() >= showAfterMs_) form_->show();
  if (form_->isVisible()) QCoreApplication::processEvents();
  return !cancelled_;
}

void TrpProgressWindow::SetHidden(bool hidden) {
  if (hidden == hidden_) return;
  hidden_ = hidden;
  if (hidden) form_->hide();
  else if (clock_.elapsed() >= showAfterMs_ && !cancelled_) form_->show();
}

namespace {

bool RunReportWork(const AnsiString& caption, const AnsiString& label, const TrpProgressWork& work) {
  TrpProgressWindow window(caption, label, "TrpProgressForm", TrpProgressWindow::ShowAfterMs);
  work(window);
  return !window.Cancelled();
}

// In the report's attached panel, else in a window of the report's own: an MDI child of
// the program's frame when asked for and there is one, modal when asked for (never as a
// child), freed when closed or with the report.
void ShowPreview(TrpReport& report, const AnsiString& caption) {
  if (auto* shown = dynamic_cast<TrpPreviewForm*>(report.Preview()); shown && shown->Host()) {
    shown->Host()->ConnectReport(report);
    return;
  }
  TForm* frame = Application().MainForm;
  const bool child = report.MDIPreview && frame && frame->FormStyle() == TFormStyle::fsMDIForm;
  auto* window = new TrpPreviewForm(child ? frame : nullptr, child ? TFormStyle::fsMDIChild : TFormStyle::fsNormal);
  window->SetCaption(caption);
  if (child) window->SetWindowState(TWindowState::wsNormal);
  report.OwnWindow(window, [window] { delete window; });
  QObject::connect(window, &QObject::destroyed, [&report, window] { report.DisownWindow(window); });
  const bool modal = report.ModalPreview && !child;
  if (!modal) {
    const TCloseEvent closing = window->OnClose;
    window->OnClose = [closing](TObject* sender, TCloseAction& action) {
      if (closing) closing(sender, action);
      action = TCloseAction::caFree;
    };
  }
  window->ShowReport(report, modal);
  if (modal) delete window;
}

}  // namespace

bool rpInputBox(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  TForm form;
  form.setObjectName("TrpInputForm");
  form.SetCaption(caption);
  auto* column = new QVBoxLayout(&form);
  auto* label = new QLabel(ToQString(prompt), &form);
  label->setObjectName("lblPrompt");
  column->addWidget(label);
  auto* edit = new QLineEdit(ToQString(value), &form);
  edit->setObjectName("edValue");
  edit->selectAll();
  column->addWidget(edit);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(ToQString(ButtonCaption(mrOk)), &form);
  ok->setObjectName("btnOk");
  ok->setDefault(true);
  auto* cancel = new QPushButton(ToQString(ButtonCaption(mrCancel)), &form);
  cancel->setObjectName("btnCancel");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  column->addLayout(buttons);
  QObject::connect(ok, &QPushButton::clicked, &form, [&] { form.SetModalResult(mrOk); });
  QObject::connect(cancel, &QPushButton::clicked, &form, [&] { form.SetModalResult(mrCancel); });
  form.resize(std::max(form.sizeHint().width(), 320), form.sizeHint().height());
  if (form.ShowModal() != mrOk) return false;
  // What the code page cannot hold becomes "?".
  value = FromQString(As1251(edit->text()));
  return true;
}

void rpInstallReportWindows() {
  rpSetProgressRunner(RunReportWork);
  rpSetPreviewShower(ShowPreview);
  rpFunctionServices().MessageBox = [](const AnsiString& text, const AnsiString& caption, int flags) {
    return MessageBox(text, caption, static_cast<unsigned>(flags));
  };
  rpFunctionServices().InputQuery = rpInputBox;
}
