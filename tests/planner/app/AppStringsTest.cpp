#include <gtest/gtest.h>

#include <string>

#include "planner/app/AppStrings.h"

// Test texts are written in UTF-8 and compared as 1251 bytes.
namespace {
AnsiString A(const char* utf8) { return Ansi(utf8); }
}  // namespace

TEST(AppStrings, CharSet) {
  const TCharSet set(A("\t;я"));
  EXPECT_TRUE(set.Contains('\t'));
  EXPECT_TRUE(set.Contains(';'));
  EXPECT_TRUE(set.Contains('\xFF'));  // "я"
  EXPECT_FALSE(set.Contains('\xDF'));  // "Я"
  EXPECT_FALSE(set.Contains('\0'));
  EXPECT_TRUE(TCharSet().Include('\0').Contains('\0'));
  for (int c = 0; c < 256; ++c) EXPECT_FALSE(TCharSet().Contains(static_cast<char>(c))) << c;
}

TEST(AppStrings, CountWords) {
  struct Case {
    AnsiString s;
    const char* delims;
    int expected;
  };
  const Case cases[] = {
      {"a\tb\t\tc\td", "\t", 4},   // five fields, one of them empty between two tabs
      {"a\tb\tc", "\t", 3},
      {"", ";", 0},
      {";;;", ";", 0},
      {";a;", ";", 1},              // leading and trailing delimiters add no word
      {"a;;b", ";", 2},
      {"abc", ";", 1},
      {"abc", "", 1},
      {"a b;c", " ;", 3},
      {A("хлеб я сыр"), "я", 2},  // "я" is byte 0xFF
      {A("хлеб я сыр"), " ", 3},
  };
  for (const auto& c : cases) EXPECT_EQ(CountWords(c.s, TCharSet(A(c.delims))), c.expected) << c.s;
}

TEST(AppStrings, GetWord) {
  struct Case {
    int n;
    AnsiString s;
    const char* delims;
    AnsiString expected;
  };
  const Case cases[] = {
      {2, "a;;b", ";", "b"},
      {3, "a;;b", ";", ""},
      {1, "a;;b", ";", "a"},
      {0, "a;;b", ";", ""},
      {-1, "a;;b", ";", ""},
      {1, ";;x;", ";", "x"},
      {1, "", ";", ""},
      {1, ";;", ";", ""},
      {3, "100\t\tGrechka\t\t250", "\t", "250"},
      {2, A("Гречка\tядрица"), "\t", A("ядрица")},
      {2, A("хлебясыр"), "я", A("сыр")},
  };
  for (const auto& c : cases) EXPECT_EQ(GetWord(c.n, c.s, TCharSet(A(c.delims))), c.expected) << c.n << " " << c.s;
}

// Each row checks both matchers with "?" and "*" as the wildcards.
TEST(AppStrings, MaskMatching) {
  struct Case {
    AnsiString s, mask;
    bool exact, caseless;
  };
  const Case cases[] = {
      // Two capitals and the run wildcard.
      {"ABC", "AB*", true, true},
      {"AB", "AB*", true, true},
      {"abc", "AB*", false, true},
      {"aBc", "AB*", false, true},
      {"A", "AB*", false, false},
      {A("ПРОБА"), A("ПР*"), true, true},
      {A("проба"), A("ПР*"), false, true},
      {A("Проба"), A("пр*"), false, true},
      {A("ёлка"), A("Ё*"), false, true},
      {A("ЁЛКА"), A("ёлка"), false, true},
      {A("елка"), A("Ё*"), false, false},  // е and ё are different letters
      {A("Яблоко"), A("я?ЛОКО"), false, true},
      // The run wildcard first: the tail is anchored at the end.
      {"xyz", "*yz", true, true},
      {"yz", "*yz", true, true},
      {"xyza", "*yz", false, false},
      {"z", "*yz", false, false},
      {"xYZ", "*yz", false, true},
      // The one-character wildcard.
      {"abc", "?bc", true, true},
      {"zbc", "?bc", true, true},
      {A("ябс"), A("?бс"), true, true},
      {"bc", "?bc", false, false},
      {"abc", "a?", false, false},
      // Empty masks and masks without wildcards.
      {"", "", false, false},
      {"abc", "", false, false},
      {"abc", "abc", true, true},
      {"abcd", "abc", false, false},
      {"ab", "abc", false, false},
      {"", "?", false, false},
      {"", "*", true, true},
      {"anything", "*", true, true},
      {"abc", "***", true, true},
      // The tail may not reuse characters that a segment before it consumed.
      {"aa", "*a*a", true, true},
      {"a", "*a*a", false, false},
      {"aba", "ab*ba", false, false},
      {"abba", "ab*ba", true, true},
      {"ab", "a*b*", true, true},
      // Middle segments take their leftmost place.
      {"abXcdYcd", "ab*cd", true, true},
      {"axbxc", "a*x*c", true, true},
      {"abc", "a**c", true, true},
      {"ac", "a*b*c", false, false},
      {"a1b2c", "a*?b*c", true, true},
      {"xaxbx", "*a*b*", true, true},
      {"xbxax", "*a*b*", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrMatchesMask(c.s, c.mask, '?', '*'), c.exact) << c.s << " ~ " << c.mask;
    EXPECT_EQ(TextMatchesMask(c.s, c.mask, '?', '*'), c.caseless) << c.s << " ~ " << c.mask;
  }
  // Other wildcard characters.
  EXPECT_TRUE(StrMatchesMask("abc", "a_%", '_', '%'));
  EXPECT_FALSE(StrMatchesMask("abc", "a?*", '_', '%'));
}

TEST(AppStrings, SameLengthMatch) {
  struct Case {
    AnsiString s, mask;
    bool expected;
  };
  const Case cases[] = {
      {"abc", "abc", true},  {"abc", "a?c", true},   {"abc", "???", true},  {"abc", "abd", false},
      {"abc", "xbc", false}, {"", "", false},        {"ab", "abc", false},  {"abc", "ab", false},
      {"ABC", "abc", false}, {A("щи"), A("щ?"), true}, {"a*c", "a*c", true}, {"abc", "a*c", false},
  };
  for (const auto& c : cases) EXPECT_EQ(SameLengthMatch(c.s, c.mask, '?'), c.expected) << c.s << " ~ " << c.mask;
}

TEST(AppStrings, PosStrFrom) {
  struct Case {
    const char* find;
    const char* s;
    int start;
    int expected;
  };
  const Case cases[] = {
      {"ab", "abab", 2, 3}, {"ab", "abab", 1, 1}, {"ab", "abab", 3, 3}, {"ab", "abab", 4, 0},
      {"ab", "abab", 5, 0}, {"ab", "abab", 0, 1}, {"ab", "abab", -3, 1}, {"", "abab", 1, 0},
      {"ab", "", 1, 0},     {"abc", "ab", 1, 0},  {"b", "abab", 3, 4},  {"abab", "abab", 1, 1},
      {"x", "abab", 1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(PosStrFrom(c.find, c.s, c.start), c.expected) << c.find << " in " << c.s;
}

TEST(AppStrings, CharPosFrom) {
  struct Case {
    AnsiString s;
    char ch;
    int start;
    int expected;
  };
  const Case cases[] = {
      {"abab", 'b', 1, 2}, {"abab", 'b', 2, 2},  {"abab", 'b', 3, 4},        {"abab", 'b', 5, 0},
      {"abab", 'a', 0, 1}, {"abab", 'z', 1, 0},  {"", 'a', 1, 0},            {"", 'a', 0, 0},
      {"abab", 'a', 4, 0}, {A("щи я"), '\xFF', 1, 4}, {A("щи я"), '\xFF', 5, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CharPosFrom(c.s, c.ch, c.start), c.expected) << c.s << " " << c.start;
}

TEST(AppStrings, ReplaceAll) {
  struct Case {
    AnsiString s, find, replace, expected;
  };
  const Case cases[] = {
      {"aaa", "aa", "b", "ba"},          // counted from the left, without overlap
      {"aaaa", "aa", "b", "bb"},
      {"aaaa", "aa", "", ""},            // the result may be empty
      {"abc", "", "x", "abc"},           // an empty Find changes nothing
      {"abc", "d", "x", "abc"},
      {"", "a", "x", ""},
      {"a.b.c", ".", "::", "a::b::c"},   // longer replacement
      {"xx", "x", "yy", "yyyy"},
      {"abc", "abc", "", ""},
      {"--ab--", "--", "-", "-ab-"},     // shorter replacement at both ends
      {"a\r\nb\r\n", "\r\n", "\n", "a\nb\n"},
      {A("молоко"), A("о"), A("а"), A("малака")},
  };
  for (const auto& c : cases) EXPECT_EQ(ReplaceAll(c.s, c.find, c.replace), c.expected) << c.s;
}
