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

// Every byte at every place of a text, long and short: the buffer conversions agree
// with the code pages' characters byte by byte (bytes below 0x80 stay as they are).
TEST(CodePages, BufferConversionsByteByByte) {
  for (std::size_t length : {1u, 7u, 8u, 9u, 16u, 23u, 40u}) {
    for (int c = 0; c < 256; ++c) {
      for (std::size_t at = 0; at < length; ++at) {
        std::string oem(length, 'a'), ansi(length, 'a');
        oem[at] = ansi[at] = static_cast<char>(c);
        if (length > 8) oem[length - 1 - at] = ansi[length - 1 - at] = static_cast<char>(255 - c);
        const std::string oemIn = oem, ansiIn = ansi;
        cp::OemToAnsiBuf(oem.data(), oem.size());
        cp::AnsiToOemBuf(ansi.data(), ansi.size());
        for (std::size_t k = 0; k < length; ++k) {
          const auto o = static_cast<unsigned char>(oemIn[k]), a = static_cast<unsigned char>(ansiIn[k]);
          ASSERT_EQ(static_cast<unsigned char>(oem[k]), cp::UnicodeTo1251(cp::Oem866ToUnicode(o), '?'))
              << "byte " << int(o) << " at " << k << " of " << length;
          ASSERT_EQ(static_cast<unsigned char>(ansi[k]), cp::UnicodeTo866(cp::Ansi1251ToUnicode(a), '?'))
              << "byte " << int(a) << " at " << k << " of " << length;
        }
      }
    }
  }
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
