#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QScrollBar>
#include <QToolButton>
#include <QWhatsThis>

#include "PreviewFixture.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Registry.h"
#include "platform/gui/Dialogs.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"
#include "report/RP_Prntr.h"
#include "report/gui/RP_Preview.h"

namespace {

class PreviewOptions : public Preview {
 protected:
  void SetUp() override {
    Preview::SetUp();
    rpPreparedPageEditor() = nullptr;
  }
  void TearDown() override {
    rpPreparedPageEditor() = nullptr;
    rpPreviewHelp() = nullptr;
    Preview::TearDown();
  }
  // A report of three prepared pages, the second one landscape.
  void Build(TrpReport& report) {
    TrpTemplateBuilder b(report.Pages);
    for (int orientation : {rpPortrait, rpLandscape, rpPortrait}) {
      b.Page(9, orientation, 40);
      b.Band(btReportTitle, 0, 40);
      b.Memo("День", 20, 0, 250, 18);
    }
    ASSERT_TRUE(report.PrepareReport());
    ASSERT_EQ(report.EMFPages.GetCount(), 3);
  }
};

}  // namespace

TEST_F(PreviewOptions, TheFirstZoomIsTheRememberedOneUnlessTheReportAsksForAMode) {
  TrpReport report;
  EXPECT_EQ(report.InitialZoom, pzDefault);
  EXPECT_EQ(report.PreviewButtons, 127u);  // zoom, load, save, print, find, help, exit; no page setup
  EXPECT_TRUE(report.ModifyPrepared);
  Build(report);
  report.ModalPreview = false;
  struct Case {
    TrpPreviewZoom asked;
    int remembered, shown;
  };
  const Case cases[] = {{pzDefault, rpzmPageWidth, rpzmPageWidth},
                        {pzDefault, rpzmTwoPages, rpzmTwoPages},
                        {pzWholePage, rpzmPageWidth, rpzmWholePage},
                        {pzTwoPages, rpzmWholePage, rpzmTwoPages},
                        {pzPageWidth, rpzmFactor, rpzmPageWidth}};
  for (const Case& c : cases) {
    TrpPreviewForm::LastMode = c.remembered;
    report.InitialZoom = c.asked;
    TrpPreviewForm f;
    f.resize(900, 700);
    f.ShowReport(report);
    EXPECT_EQ(f.ZoomMode(), c.shown) << c.asked << " " << c.remembered;
    EXPECT_EQ(TrpPreviewForm::LastMode, c.remembered);  // the report's choice is not remembered
    f.Close();
  }
}

TEST_F(PreviewOptions, PagesAreEditedOnlyWithAnEditorAndModifyPrepared) {
  TrpReport report;
  Build(report);
  report.ModalPreview = false;
  std::vector<int> edited;
  const auto show = [&](TrpPreviewForm& f) {
    f.resize(900, 700);
    f.ShowReport(report);
  };
  {
    // This program has no page editor: the entries stay hidden and do nothing.
    TrpPreviewForm f;
    show(f);
    for (QAction* a : {f.EditPageItem, f.AddPageItem, f.DeletePageItem}) EXPECT_FALSE(a->isVisible());
    EXPECT_FALSE(f.PageEditing());
    EXPECT_FALSE(f.HandleKey('E', ssCtrl));
    EXPECT_FALSE(f.DeletePage());
    EXPECT_EQ(report.EMFPages.GetCount(), 3);
    f.Close();
  }
  rpPreparedPageEditor() = [&](TrpEMFPages& pages, int index) {
    edited.push_back(index);
    return &pages == &report.EMFPages;
  };
  {
    report.ModifyPrepared = false;  // the report keeps its pages as built
    TrpPreviewForm f;
    show(f);
    EXPECT_FALSE(f.EditPageItem->isVisible());
    EXPECT_FALSE(f.EditPage());
    EXPECT_TRUE(edited.empty());
    f.Close();
  }
  report.ModifyPrepared = true;
  TrpPreviewForm f;
  show(f);
  for (QAction* a : {f.EditPageItem, f.AddPageItem, f.DeletePageItem}) EXPECT_TRUE(a->isVisible());
  EXPECT_TRUE(f.ZoomMenu->actions().contains(f.EditPageItem));
  EXPECT_EQ(f.EditPageItem->text().toStdString(), "Редактировать страницу");
  f.GoToPage(2);
  EXPECT_TRUE(f.HandleKey('E', ssCtrl));
  EXPECT_EQ(edited, std::vector<int>{1});
  // A page of the current page's paper after it, and the view goes there.
  EXPECT_TRUE(f.AddPage());
  ASSERT_EQ(report.EMFPages.GetCount(), 4);
  EXPECT_EQ(f.PageNo(), 3);
  EXPECT_EQ(report.EMFPages.GetPages(2)->Orientation, rpLandscape);
  EXPECT_EQ(report.EMFPages.GetPages(2)->Width, report.EMFPages.GetPages(1)->Width);
  EXPECT_EQ(f.StatusText(), Ansi("Стр. 3/4"));
  // Deleting the last page leaves the one before it current; deleting them all leaves none.
  f.GoToPage(4);
  EXPECT_TRUE(f.DeletePage());
  EXPECT_EQ(f.PageNo(), 3);
  while (f.PageCount()) EXPECT_TRUE(f.DeletePage());
  EXPECT_EQ(f.StatusText(), Ansi("Стр. 0/0"));
  EXPECT_FALSE(f.DeletePage());
  EXPECT_FALSE(f.EditPage());
  EXPECT_FALSE(f.PrintBtn->isEnabled());
  f.Close();
}

TEST_F(PreviewOptions, APreparedReportLoadedFromAFileIsNotBuiltAgainByAPageSetup) {
  TrpReport other;
  Build(other);
  other.EMFPages.Delete(2);
  other.EMFPages.Delete(1);
  const AnsiString file = dir.Path() + "/one.rpp";
  other.EMFPages.SaveToFile(file);

  TrpReport report;
  EXPECT_FALSE(report.CanRebuild);
  Build(report);
  EXPECT_TRUE(report.CanRebuild);
  report.ModalPreview = false;
  TrpPreviewForm f;
  f.resize(900, 700);
  f.ShowReport(report);
  EXPECT_TRUE(f.PageSetupBtn->isEnabled());
  ASSERT_TRUE(f.LoadFrom(file));
  EXPECT_FALSE(report.CanRebuild);
  EXPECT_EQ(f.PageCount(), 1);
  EXPECT_FALSE(f.PageSetupBtn->isEnabled());
  {
    TScriptedDialogsScope dialogs;  // no page setup may be asked for
    f.PageSetupDialog();
    EXPECT_EQ(dialogs->Unexpected(), 0);
  }
  EXPECT_EQ(report.EMFPages.GetCount(), 1);  // the loaded pages stay
  ASSERT_TRUE(report.PrepareReport());
  EXPECT_TRUE(report.CanRebuild);
  f.Close();
}

TEST_F(PreviewOptions, PageSetupIsShownOnlyWhenTheReportAsksForIt) {
  TrpReport report;
  Build(report);
  report.ModalPreview = false;
  for (bool asked : {false, true}) {
    if (asked) report.PreviewButtons |= rppbPageSetup;
    TrpPreviewForm f;
    f.resize(900, 700);
    f.ShowReport(report);
    EXPECT_EQ(f.PageSetupBtn->isVisibleTo(f.ToolBar), asked);
    EXPECT_TRUE(f.PrintBtn->isVisibleTo(f.ToolBar));
    f.Close();
  }
}

TEST_F(PreviewOptions, HelpOpensTheProgramsHelpPageOrElseExplainsControls) {
  TrpReport report;
  Build(report);
  report.ModalPreview = false;
  TrpPreviewForm f;
  f.resize(900, 700);
  f.ShowReport(report);
  int opened = 0;
  rpPreviewHelp() = [&] { ++opened; };
  f.HelpBtn->Click();
  EXPECT_EQ(opened, 1);
  EXPECT_FALSE(QWhatsThis::inWhatsThisMode());
  rpPreviewHelp() = nullptr;
  f.HelpBtn->Click();
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
  QWhatsThis::leaveWhatsThisMode();
  f.Close();
}
