#include <gtest/gtest.h>

#include <memory>

#include "platform/core/AnsiText.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"
#include "report/RP_PageSetup.h"

namespace {

class PageSetup : public ::testing::Test {
 protected:
  void SetUp() override {
    rpResetState();
    rpPrinter().SetPrinterIndex(rpPrinter().VirtualIndex());
  }
  void TearDown() override { rpResetState(); }
};

// A report of one A4 portrait page with 40-pixel margins and a title.
std::unique_ptr<TrpReport> Part(const char* title, bool withDialogPage = false) {
  auto r = std::make_unique<TrpReport>();
  TrpTemplateBuilder b(r->Pages);
  if (withDialogPage) b.Page().PageType = ptDialog;
  b.Page(9, rpPortrait, 40);
  b.Band(btReportTitle, 0, 40);
  b.Memo(title, 20, 0, 250, 18);
  return r;
}

}  // namespace

TEST_F(PageSetup, CompositeChangesTheListedReportsAndRebuildsOnTheNewPaper) {
  auto a = Part("Первая часть"), b = Part("Вторая часть", true);
  TrpCompositeReport composite;
  composite.Reports = {a.get(), b.get()};
  ASSERT_TRUE(composite.PrepareReport());
  ASSERT_EQ(composite.EMFPages.GetCount(), 2);
  const TrpPageSetup now = rpPageSetupOf(composite.EMFPages);
  EXPECT_EQ(now.PaperWidth, 2100);
  EXPECT_EQ(now.PaperHeight, 2970);
  EXPECT_EQ(now.LeftMargin, 40);

  TrpPageSetup a5;
  a5.PaperWidth = 1480;
  a5.PaperHeight = 2100;
  a5.Orientation = rpLandscape;
  a5.LeftMargin = a5.TopMargin = 72;
  a5.RightMargin = a5.BottomMargin = 36;
  EXPECT_EQ(rpApplyPageSetup(composite, a5), 2);  // the dialog page stays as it was
  EXPECT_EQ(b->Pages.GetPages(0)->PaperSize, 9);
  ASSERT_TRUE(composite.PrepareReport());
  ASSERT_EQ(composite.EMFPages.GetCount(), 2);
  for (int i = 0; i < 2; ++i) {
    const TrpPreparedPage& p = *composite.EMFPages.GetPages(i);
    EXPECT_EQ(p.PaperSize, 11);  // A5
    EXPECT_EQ(p.Orientation, rpLandscape);
    EXPECT_EQ(p.Width, 2100);
    EXPECT_EQ(p.Height, 1480);
    EXPECT_EQ(p.LeftMargin, 72);
    EXPECT_EQ(p.BottomMargin, 36);
  }
  // A size of no paper in the table is a custom paper.
  TrpPageSetup odd = a5;
  odd.PaperWidth = 1234;
  odd.PaperHeight = 1800;
  odd.Orientation = rpPortrait;
  TrpReport single;
  TrpTemplateBuilder(single.Pages).Page(9, rpPortrait, 40);
  EXPECT_EQ(rpApplyPageSetup(single, odd), 1);
  EXPECT_EQ(single.Pages.GetPages(0)->PaperSize, rpCustomPaper);
  EXPECT_EQ(single.Pages.GetPages(0)->PaperWidth, 1234);
  EXPECT_EQ(single.Pages.GetPages(0)->PaperHeight, 1800);
}

TEST_F(PageSetup, MarginsSurviveTheRoundTripThroughHundredthsOfAMillimetre) {
  for (int px : {0, 1, 17, 18, 36, 40, 72, 100, 355}) {
    SCOPED_TRACE(px);
    EXPECT_EQ(rpHundredthsMmToMargin(rpMarginToHundredthsMm(px)), px);
  }
  EXPECT_EQ(rpMarginToHundredthsMm(18), 500);
  EXPECT_EQ(rpHundredthsMmToMargin(1000), 36);
}
