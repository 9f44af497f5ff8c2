#include <gtest/gtest.h>

#include "platform/core/AnsiText.h"

TEST(CodePages, EveryByteRoundTripsThroughUnicode) {
  for (int c = 0; c < 256; ++c) {
    auto b = static_cast<unsigned char>(c);
    EXPECT_EQ(cp::UnicodeTo1251(cp::Ansi1251ToUnicode(b)), b) << c;
    EXPECT_EQ(cp::UnicodeTo866(cp::Oem866ToUnicode(b)), b) << c;
  }
}

TEST(CodePages, KnownLetters) {
  // "Ёё" and "Аа", "Яя" in both code pages.
  EXPECT_EQ(Ansi("Ёё"), "\xA8\xB8");
  EXPECT_EQ(Ansi("АаЯя"), "\xC0\xE0\xDF\xFF");
  EXPECT_EQ(cp::Utf8To866("АаЯяЁё"), "\x80\xA0\x9F\xEF\xF0\xF1");
  EXPECT_EQ(cp::Ansi1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
  EXPECT_EQ(cp::AnsiToOem(Ansi("Гречка №1")), cp::Utf8To866("Гречка №1"));
  EXPECT_EQ(cp::OemToAnsi(cp::Utf8To866("Сыр Ёж")), Ansi("Сыр Ёж"));
  // A character 1251 lacks becomes '?', and broken UTF-8 does too.
  EXPECT_EQ(Ansi("a\xE2\x94\x80" "b"), "a?b");
  EXPECT_EQ(Ansi("a\xD0"), "a?");
}

TEST(CodePages, CaseTables) {
  EXPECT_EQ(AnsiUpperCase(Ansi("гречка ёж abc")), Ansi("ГРЕЧКА ЁЖ ABC"));
  EXPECT_EQ(AnsiLowerCase(Ansi("ГРЕЧКА ЁЖ ABC")), Ansi("гречка ёж abc"));
  EXPECT_EQ(AnsiUpperCase(Ansi("їґєі")), Ansi("ЇҐЄІ"));
  EXPECT_EQ(cp::OemUpper(static_cast<unsigned char>(cp::Utf8To866("я")[0])),
            static_cast<unsigned char>(cp::Utf8To866("Я")[0]));
  EXPECT_EQ(cp::OemLower(static_cast<unsigned char>(cp::Utf8To866("Ё")[0])),
            static_cast<unsigned char>(cp::Utf8To866("ё")[0]));
  // Non-letters keep their bytes.
  EXPECT_EQ(AnsiUpperCase("1-2 \xB9"), "1-2 \xB9");
  EXPECT_TRUE(AnsiSameText(Ansi("Сахар"), Ansi("САХАР")));
  EXPECT_LT(AnsiCompareText(Ansi("абв"), Ansi("АБГ")), 0);
}
