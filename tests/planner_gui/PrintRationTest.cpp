// Printing from the ration window: the section dialog driven through its check boxes and
// buttons, the composite of the chosen parts previewed and printed through the virtual
// printer into a PDF file. TARNWICK_PRINT_PDF=<file> keeps a copy of the PDF and
// TARNWICK_PRINT_DIALOG_PNG=<file> a picture of the dialog, for review.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "examples/ExampleBuild.h"
#include "planner/gui/PlannerPrompt.h"
#include "planner/gui/PrnSelectForm.h"
#include "planner/gui/RaskladForm.h"
#include "planner/gui/RefMenuForm.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/gui/Dialogs.h"
#include "report/RP_Prntr.h"
#include "refdata/RefBuild.h"
#include "rptemplates/RationTemplates.h"
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

  // The dialog's answer: these items clicked in order, then the button.
  void Choose(std::vector<const char*> keys, bool ok = true) {
    dialogs->AnswerForm("PrnSelectForm", [keys, ok](TForm& f) {
      auto& d = static_cast<TPrnSelectForm&>(f);
      for (const char* key : keys) {
        QTreeWidgetItem* item = d.MtTree1->findItems(key, Qt::MatchExactly | Qt::MatchRecursive, 1).value(0);
        ASSERT_NE(item, nullptr) << key;
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
      }
      (ok ? d.btnOk : d.btnCancel)->click();
    });
  }
};

TEST(PrintRation, DialogTreeFollowsTheCheckRules) {
  TScriptedDialogsScope dialogs;
  TPrnSections sections;
  dialogs->AnswerForm("PrnSelectForm", [](TForm& f) {
    auto& d = static_cast<TPrnSelectForm&>(f);
    d.Item(1)->setCheckState(0, Qt::Checked);  // "Питание"
    EXPECT_EQ(d.Item(3)->checkState(0), Qt::Checked);
    d.Item(7)->setCheckState(0, Qt::Unchecked);  // totals
    EXPECT_EQ(d.Item(1)->checkState(0), Qt::PartiallyChecked);
    d.Item(2)->setCheckState(0, Qt::Unchecked);  // menu
    EXPECT_EQ(d.Item(4)->checkState(0), Qt::Unchecked);
    d.Item(3)->setCheckState(0, Qt::Checked);  // dish components check the menu
    EXPECT_EQ(d.Item(2)->checkState(0), Qt::Checked);
    if (const char* shot = std::getenv("TARNWICK_PRINT_DIALOG_PNG")) d.grab().save(shot);
    d.btnOk->click();
  });
  TPrnSelectForm form;
  EXPECT_EQ(form.Execute(sections), mrOk);
  EXPECT_EQ(sections.Checked, 5);  // menu, dish components, two lists, recommendations
  EXPECT_TRUE(sections.IsChecked("DishComp"));
  EXPECT_FALSE(sections.IsChecked("Tot"));
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

TEST(PrintRation, CancelOrNothingCheckedPrintsNothing) {
  TPrintWindow w;
  int previews = 0;
  w.services.Preview = [&](TrpCompositeReport&) { ++previews; };
  w.Choose({"Gen"}, false);
  EXPECT_FALSE(w.form->PrintRation(true));
  w.Choose({});
  EXPECT_FALSE(w.form->PrintRation(true));
  EXPECT_EQ(previews, 0);
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

}  // namespace
