// The X server tests' main: one application on the xcb platform, or, without an X server,
// every test skipping with the reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "X11Session.h"
#include "platform/gui/Application.h"

std::string& SkipReason() {
  static std::string reason;
  return reason;
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const char* display = std::getenv("DISPLAY");
  if (std::getenv("TARNWICK_NO_XVFB") != nullptr)
    SkipReason() = "xvfb-run is not installed (Debian package xvfb): these tests need an X server";
  else if (platform == nullptr || std::string(platform) != "xcb")
    SkipReason() = "these tests need QT_QPA_PLATFORM=xcb (run them with ctest, under xvfb-run)";
  else if (display == nullptr || *display == '\0')
    SkipReason() = "no X display (DISPLAY is not set): run them with ctest, under xvfb-run";
  std::unique_ptr<TQtApplication> app;
  if (SkipReason().empty()) {
    app = std::make_unique<TQtApplication>(argc, argv);
    Application().Initialize();
  }
  const int result = RUN_ALL_TESTS();
  app.reset();
  return result;
}
