// One QApplication for every test of this program, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <memory>

#include "platform/gui/Application.h"

namespace {

class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<TQtApplication>(argc_, argv_);
    Application().Initialize();
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "test_platform";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<TQtApplication> app_;
};

[[maybe_unused]] testing::Environment* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
