// Printing from the ration window: the section dialog driven through its check boxes and
// buttons, the composite of the chosen parts previewed and printed through the virtual
// printer into a PDF file. TARNWICK_PRINT_PDF=<file> keeps a copy of the PDF and
// TARNWICK_PRINT_DIALOG_PNG=<file> a picture of the dialog, for review.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "examples/ExampleBuild.h"
#include "planner/gui/PlannerPrompt.h"
#include "planner/gui/PrnSelectForm.h"
#include "planner/gui/RaskladForm.h"
#include "planner/gui/RefMenuForm.h"
#include "PrnSelectDriver.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/gui/Dialogs.h"
#include "report/RP_Prntr.h"
#include "refdata/RefBuild.h"
#include "rptemplates/RationTemplates.h"
#include "test_support/FileBytes.h"
#include "test_support/TempDir.h"

namespace {

struct TPrintWindow {
  TScriptedDialogsScope dialogs;
  TempDir dir;
  TPlannerPrompt prompt;
  std::unique_ptr<TRefMenuForm> refMenu;
  TPlannerServices services;
  std::unique_ptr<TRaskladForm> form;

  TPrintWindow() {
    EXPECT_TRUE(refdata::BuildRefDir(TARNWICK_DATA_DIR, dir.Path() + "/Ref").empty());
    refMenu = std::make_unique<TRefMenuForm>(dir.Path() + "/Ref/", prompt);
    services.RefMenu = &refMenu->Menu();
    services.Prompt = &prompt;
    services.Messages = &prompt;
    rptemplates::WriteTemplates(dir.Path() + "/Ref");
    examples::BuildExamples(TARNWICK_DATA_DIR, dir.Path() + "/Examples");
    services.RefDir = dir.Path() + "/Ref/";
    services.Program = {"Tarnwick", "1.0", "Copyright"};
    form = std::make_unique<TRaskladForm>(services);
    EXPECT_EQ(form->Open(dir.Path() + "/Examples/mountain-14.tw"), 0);
  }
  ~TPrintWindow() {
    form->Doc().Modified = 0;
    form.reset();
  }

  // The dialog's answer: the check boxes of these rows clicked in order, then the button.
  void Choose(std::vector<const char*> keys, bool ok = true) {
    dialogs->AnswerForm("PrnSelectForm", [keys, ok](TForm& f) {
      auto& d = static_cast<TPrnSelectForm&>(f);
      for (const char* key : keys) prnselect::ClickCheckBox(d, key);
      (ok ? d.btnOk : d.btnCancel)->click();
    });
  }
};

// Rows in tree order: Gen, Eat (Menu (DishComp, MenuCmt), DayProd, TotProd, Tot, TotCmt);
// 'x' checked, '-' unchecked, '?' grayed.
TEST(PrintRation, DialogTreeFollowsTheCheckRules) {
  struct Step {
    bool space;  // Space on the row, else a click on its check box
    const char* key;
    const char* boxes;
  };
  const Step steps[] = {
      {false, "Eat", "-xxxxxxxx"},       // a parent checks its whole subtree
      {false, "Tot", "-?xxxxx-x"},       // one part off: the parent shows the third state
      {false, "Menu", "-?---xx-x"},      // the menu takes its dish components and comments along
      {false, "DishComp", "-?xx-xx-x"},  // dish components check the menu, the parent stays
      {true, "Gen", "x?xx-xx-x"},
      {false, "Eat", "xxxxxxxxx"},       // a grayed parent becomes checked with all its parts
      {true, "Eat", "x--------"},        // and unchecked with them
      {false, "Gen", "---------"},
      {true, "Tot", "-?-----x-"},
      {true, "Tot", "---------"},
      {false, "MenuCmt", "--x-x----"},   // comments check the menu; the parent is left as it was
  };
  TScriptedDialogs::TFormScript script = [&steps](TForm& f) {
    auto& d = static_cast<TPrnSelectForm&>(f);
    prnselect::Show(d);
    const QRect screen = d.screen()->availableGeometry();
    EXPECT_LE((d.geometry().center() - screen.center()).manhattanLength(), 2);  // not in a corner
    EXPECT_EQ(prnselect::Boxes(d), "---------");
    EXPECT_EQ(prnselect::DrawnBoxes(d), "---------");
    for (const Step& step : steps) {
      SCOPED_TRACE(std::string(step.space ? "space " : "click ") + step.key);
      if (step.space) prnselect::PressSpaceOn(d, step.key);
      else prnselect::ClickCheckBox(d, step.key);
      EXPECT_EQ(prnselect::Boxes(d), step.boxes);
      EXPECT_EQ(prnselect::DrawnBoxes(d), step.boxes);
      const char* shot = std::getenv("TARNWICK_PRINT_DIALOG_PNG");
      if (shot && std::string(step.key) == "DishComp") d.grab().save(shot);  // all three states
    }
    d.btnOk->click();
  };
  TScriptedDialogsScope dialogs;
  dialogs->AnswerForm("PrnSelectForm", script);
  TPrnSections sections;
  TPrnSelectForm form;
  form.move(0, 0);  // where a display without a window manager puts a new window
  EXPECT_EQ(form.Execute(sections), mrOk);
  EXPECT_EQ(sections.Checked, 2);  // menu, comments
  EXPECT_TRUE(sections.IsChecked("MenuCmt"));
  EXPECT_TRUE(sections.IsChecked("Menu"));
  EXPECT_EQ(sections.State(sections.FindByKey("Eat")), TPrnCheck::Unchecked);
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

TEST(PrintRation, DialogShowsTheLastChoiceAndCancelKeepsIt) {
  TScriptedDialogsScope dialogs;
  TPrnSections sections;
  TPrnSelectForm form;
  dialogs->AnswerForm("PrnSelectForm", [](TForm& f) {
    auto& d = static_cast<TPrnSelectForm&>(f);
    prnselect::ClickCheckBox(d, "Gen");
    prnselect::ClickCheckBox(d, "TotProd");
    d.btnOk->click();
  });
  ASSERT_EQ(form.Execute(sections), mrOk);
  EXPECT_EQ(sections.Checked, 2);
  const TPrnSections chosen = sections;
  dialogs->AnswerForm("PrnSelectForm", [](TForm& f) {
    auto& d = static_cast<TPrnSelectForm&>(f);
    EXPECT_EQ(prnselect::DrawnBoxes(d), "x?----x--");
    prnselect::ClickCheckBox(d, "Eat");
    prnselect::PressSpaceOn(d, "Gen");
    EXPECT_EQ(prnselect::Boxes(d), "-xxxxxxxx");
    d.btnCancel->click();
  });
  EXPECT_EQ(form.Execute(sections), mrCancel);
  for (int i = 0; i < kPrnSectionCount; ++i) EXPECT_EQ(sections.State(i), chosen.State(i)) << i;
  EXPECT_EQ(sections.Checked, 2);
  // Opened again, the dialog shows the choice of the last OK.
  dialogs->AnswerForm("PrnSelectForm", [](TForm& f) {
    auto& d = static_cast<TPrnSelectForm&>(f);
    EXPECT_EQ(prnselect::Boxes(d), "x?----x--");
    EXPECT_TRUE(d.IsChecked("TotProd"));
    EXPECT_FALSE(d.IsChecked("Eat"));
    d.btnCancel->click();
  });
  EXPECT_EQ(form.Execute(sections), mrCancel);
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

TEST(PrintRation, CancelOrNothingCheckedPrintsNothing) {
  TPrintWindow w;
  int previews = 0;
  w.services.Preview = [&](TrpCompositeReport&) { ++previews; };
  int pdfAsked = 0;
  w.services.AskPdfFile = [&](AnsiString&) { return ++pdfAsked, true; };
  w.Choose({"Gen"}, false);
  EXPECT_FALSE(w.form->PrintRation(true));
  w.Choose({});  // OK with nothing checked
  EXPECT_FALSE(w.form->PrintRation(true));
  w.Choose({"Tot", "Tot"});  // checked and unchecked again
  EXPECT_FALSE(w.form->PrintRation(false));
  EXPECT_EQ(previews, 0);
  EXPECT_EQ(pdfAsked, 0);
  EXPECT_EQ(w.form->Printing().rpCompRpt.Reports.size(), 0u);
  EXPECT_EQ(w.form->Printing().rpCompRpt.EMFPages.GetCount(), 0);
  EXPECT_EQ(w.dialogs->Unexpected(), 0);
}

TEST(PrintRation, PreviewThenPrintToPdfThroughTheVirtualPrinter) {
  TPrintWindow w;
  int pages = 0;
  w.services.Preview = [&](TrpCompositeReport& r) { pages = r.EMFPages.GetCount(); };
  w.Choose({"Gen", "Eat"});
  ASSERT_TRUE(w.form->PrintRation(true));
  EXPECT_GT(pages, 10);
  EXPECT_EQ(w.form->Printing().rpCompRpt.Reports.size(), 0u);  // emptied after the preview

  rpPrinter().SetPrinterIndex(rpPrinter().VirtualIndex());
  const AnsiString pdf = w.dir.Path() + "/out.pdf";
  AnsiString seed;
  w.services.AskPdfFile = [&](AnsiString& file) {
    seed = file;
    file = pdf;
    return true;
  };
  w.Choose({});  // the choice stays from the last time
  ASSERT_TRUE(w.form->PrintRation(false));
  EXPECT_EQ(ExtractFileName(seed), "mountain-14.pdf");
  std::ifstream in(pdf.c_str(), std::ios::binary);
  std::string head(5, '\0');
  in.read(head.data(), 5);
  EXPECT_EQ(head, "%PDF-");
  EXPECT_GT(std::filesystem::file_size(pdf.c_str()), 20000u);
  if (const char* keep = std::getenv("TARNWICK_PRINT_PDF"))
    std::filesystem::copy_file(pdf.c_str(), keep, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(w.dialogs->Unexpected(), 0);
}

TEST(PrintRation, DamagedTemplatesAreNamedBeforeThePreview) {
  TPrintWindow w;
  const AnsiString totals = w.dir.Path() + "/Ref/rtotals.rpf";
  WriteFileBytes(totals, "damaged");
  int previews = 0;
  w.services.Preview = [&](TrpCompositeReport&) { ++previews; };
  w.dialogs->Answer(mrOk);
  w.dialogs->Answer(mrOk);
  w.Choose({"Tot"});
  ASSERT_TRUE(w.form->PrintRation(true));
  EXPECT_EQ(previews, 1);  // the other parts print
  // The report says the template is no template, then the program which part is left out.
  ASSERT_EQ(w.dialogs->Shown().size(), 2u);
  const TDialogRequest& bad = w.dialogs->Shown()[0];
  EXPECT_EQ(bad.Type, TMsgDlgType::mtError);
  EXPECT_EQ(bad.Caption, Ansi("Ошибка"));
  EXPECT_EQ(bad.Text, Ansi("Неверный RPF формат"));
  const TDialogRequest& r = w.dialogs->Shown()[1];
  EXPECT_EQ(r.Type, TMsgDlgType::mtWarning);
  EXPECT_EQ(r.Text, Ansi("Не удалось прочитать шаблоны отчета:\r") + totals + Ansi("\rЭти разделы не будут напечатаны."));
  EXPECT_EQ(w.dialogs->Unexpected(), 0);
}

}  // namespace
