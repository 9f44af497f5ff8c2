// What the X server tests share: why they cannot run here (empty when they can), and the
// check at the start of each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

std::string& SkipReason();

#define REQUIRE_X_SERVER()                                   \
  do {                                                       \
    if (!SkipReason().empty()) GTEST_SKIP() << SkipReason(); \
  } while (0)
