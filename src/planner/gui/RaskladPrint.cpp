// The ration window's print command: the section dialog, the composite report of the
// chosen parts, then the preview window or the printer (the virtual printer writes PDF).
#include <QString>

#include "planner/gui/PrnSelectForm.h"
#include "planner/gui/RaskladForm.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/gui/QtGraphics.h"
#include "report/RP_Prntr.h"
#include "report/gui/RP_QtPrint.h"

namespace {

void InitPrinting() {
  static const bool done = (rpInitQtPrinting(), true);
  (void)done;
}

}  // namespace

int TRaskladForm::SelectPrintSections() {
  if (services_.SelectSections) return services_.SelectSections(this, prnSections_);
  TPrnSelectForm dialog(this);
  dialog.OnHelp = services_.Help;
  return dialog.Execute(prnSections_);
}

bool TRaskladForm::PrintRation(bool Preview) {
  CommitGeneralPage();
  const int result = SelectPrintSections();
  if (result != mrOk || prnSections_.Checked == 0) return false;
  InitPrinting();
  print_->Program = services_.Program;
  print_->RefreshViews();
  ApplyDocumentState();
  // The lists and the recommendations rebuilt for the report are what the tabs show.
  for (int tab = 1; tab < 4; ++tab) FillTab(tab);
  print_->Assemble(services_.RefDir, prnSections_);
  // The title of the print job, of the PDF and of the preview's print: the ration's.
  print_->rpCompRpt.Title = !doc_.Header.Title.empty() ? doc_.Header.Title
                            : doc_.Caption.empty()     ? Ansi("Раскладка")
                                                       : doc_.Caption;
  auto fail = [this](const AnsiString& message) {
    if (services_.Prompt) services_.Prompt->MessageDlg(message, TMsgDlgType::mtError, mbOK);
  };
  // The parts whose templates are damaged print empty: the user learns which.
  if (!print_->Unreadable.empty() && services_.Prompt)
    services_.Prompt->MessageDlg(UnreadableTemplatesText(print_->Unreadable), TMsgDlgType::mtWarning, mbOK);
  bool done = false;
  if (!print_->Prepare()) {
    fail(print_->rpCompRpt.ErrorText);
  } else if (Preview && services_.Preview) {
    const TRationExports exports;  // offered by the preview's save dialog
    services_.Preview(print_->rpCompRpt);
    done = true;
  } else {
    TrpPrintJob job;
    job.Title = print_->rpCompRpt.Title;
    AnsiString pdf = doc_.FileName.empty() ? Ansi("Раскладка.pdf") : ChangeFileExt(doc_.FileName, ".pdf");
    if (rpPrinter().IsVirtual() && !(services_.AskPdfFile && services_.AskPdfFile(pdf))) {
      print_->Clear();
      return false;
    }
    job.PdfFile = pdf;
    QString error;
    done = rpPrintPreparedPages(print_->rpCompRpt.EMFPages, job, &error);
    if (!done) fail(Ansi("Не удалось напечатать раскладку: ") + FromQString(error));
  }
  print_->Clear();
  return done;
}
