// Window placement on a real X server (xcb platform, run by xvfb-run): the window system
// keeps a state of its own for a mapped window, so a form restored normal must stay
// normal once shown, and its next close must say so.
#include <gtest/gtest.h>

#include "X11Session.h"
#include "platform/core/Registry.h"
#include "platform_gui/PlacementCases.h"
#include "test_support/TempDir.h"

TEST(FormPlacementX11, StateAndBoundsHoldAfterShow) {
  REQUIRE_X_SERVER();
  TempDir dir;
  SetSettingsStoreFile(dir.Path() + "/settings.ini");
  placement_cases::NormalSectionReopensNormal("Software\\ReportEngine\\Form\\TNormal");
  placement_cases::MaximizedStatesAreKept("Software\\ReportEngine\\Form\\TMaximized");
  placement_cases::PartialSectionTakesWhatItHolds("Software\\ReportEngine\\Form\\TPartial");
}
