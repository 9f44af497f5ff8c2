// The report forgets the preview window that showed its pages once the window is freed.
#include <gtest/gtest.h>

#include "../test_support/TempDir.h"
#include "platform/core/Registry.h"
#include "report/RP_Class.h"
#include "report/gui/RP_Preview.h"

TEST(PreviewNotify, AFreedPreviewWindowIsForgottenByItsReport) {
  rpResetState();
  TempDir dir;
  SetSettingsStoreFile(dir.Path() + "/settings.ini");
  TrpReport report;
  auto form = std::make_unique<TrpPreviewForm>();
  form->ShowReport(report, false);
  EXPECT_EQ(report.Preview(), static_cast<TFreeNotifier*>(form.get()));
  form.reset();
  EXPECT_EQ(report.Preview(), nullptr);
  // A report freed while its preview is open is not called back later.
  auto other = std::make_unique<TrpReport>();
  TrpPreviewForm kept;
  kept.ShowReport(*other, false);
  other.reset();
  kept.close();
  rpResetState();
}
