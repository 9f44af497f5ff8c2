// Checks that a message of the report engine is Russian text in code page 1251, as the
// windows show it, and not UTF-8 bytes that would show as "РќРµ...".
#pragma once

#include <gtest/gtest.h>

#include <string_view>

inline bool LooksLikeUtf8Cyrillic(std::string_view s) {
  for (std::size_t i = 0; i + 1 < s.size(); ++i) {
    const auto a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
    if ((a == 0xD0 || a == 0xD1) && b >= 0x80 && b <= 0xBF) return true;
  }
  return false;
}

inline void ExpectRussianIn1251(std::string_view message) {
  EXPECT_FALSE(LooksLikeUtf8Cyrillic(message)) << "UTF-8 where 1251 is expected: " << message;
  bool russian = false;
  for (char c : message) russian = russian || static_cast<unsigned char>(c) >= 0xC0;
  EXPECT_TRUE(russian) << "no Russian letter in 1251: " << message;
}
