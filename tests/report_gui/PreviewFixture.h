// The clean state every preview test starts from: no build state, the virtual printer,
// a settings store of its own, and the remembered zoom of a fresh program.
#pragma once

#include <gtest/gtest.h>

#include "../test_support/TempDir.h"
#include "platform/core/Registry.h"
#include "report/RP_Prntr.h"
#include "report/RP_State.h"
#include "report/gui/RP_Preview.h"

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    rpResetState();
    rpPrinter().SetPrinterIndex(rpPrinter().VirtualIndex());
    SetSettingsStoreFile(dir.Path() + "/settings.ini");
    TrpPreviewForm::LastMode = rpzmWholePage;
    TrpPreviewForm::LastFactor = 1.0;
  }
  void TearDown() override { rpResetState(); }
  TempDir dir;
};
