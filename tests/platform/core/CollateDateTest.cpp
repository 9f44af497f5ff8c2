// The Russian collation of 1251 text and the parsing of dates and times.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/core/AnsiCollate.h"
#include "platform/core/AnsiText.h"
#include "platform/core/DateTime.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(AnsiCollate, PairsCompareAsARussianUserExpects) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const std::vector<Case> cases = {
      {"абв", "АБВ", 0},                  // case does not count
      {"", "", 0},
      {"", "а", -1},
      {"Ель", "ЁЛКА", 1},                 // Ё is a variant of Е, not a letter before А
      {"Ёж", "Еж", 1},                    // ... and sorts after Е only when all else is equal
      {"ёж", "ЕЖ", 1},
      {"Ёлка", "Дом", 1},
      {"Ёлка", "Жук", -1},
      {"Ёлка", "Абрикос", 1},
      {"Гусь", "Ґанок", -1},              // Ґ after Г, before Д
      {"Ґанок", "Дом", -1},
      {"Єва", "Жито", -1},                // Є between Е and Ж
      {"Ява", "Zebra", 1},                // Latin before Cyrillic
      {"Zebra", "apple", 1},
      {"9 дней", "Абрикос", -1},          // digits before letters
      {"(скобка)", "1", -1},              // symbols before digits
      {"Сыр плавленый", "Сырки", -1},     // a blank is a symbol
      {"co-op", "cook", 1},               // hyphens are skipped at first: "coop" > "cook"
      {"co-op", "coop", -1},              // ... and break the tie
      {"д'Артаньян", "дартс", -1},
      {"Сахар\xC2\xA0рафинад", "Сахар-песок", -1},  // a no-break space is a blank
  };
  for (const Case& c : cases) {
    const AnsiString a = Ansi(c.a), b = Ansi(c.b);
    EXPECT_EQ(Sign(AnsiCollateText(a, b)), c.expected) << c.a << " / " << c.b;
    EXPECT_EQ(Sign(AnsiCollateText(b, a)), -c.expected) << c.b << " / " << c.a;
  }
}

TEST(AnsiCollate, IsATotalOrderOverEveryByte) {
  // Sorting single bytes and pairs must give a consistent order: equal only when the
  // texts are equal without case, and transitive (std::sort would misbehave otherwise,
  // and the check below would find an inversion).
  std::vector<AnsiString> texts;
  for (int c = 0; c < 256; ++c) {
    texts.emplace_back(1, static_cast<char>(c));
    texts.push_back(AnsiString(1, static_cast<char>(c)) + "\xC0");
  }
  std::sort(texts.begin(), texts.end(),
            [](const AnsiString& x, const AnsiString& y) { return AnsiCollateText(x, y) < 0; });
  for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
    const int r = AnsiCollateText(texts[i], texts[i + 1]);
    EXPECT_LE(r, 0);
    EXPECT_EQ(r == 0, AnsiSameText(texts[i], texts[i + 1]));
  }
  // The Russian alphabet in its order, with Ё right after Е.
  const AnsiString alphabet = Ansi("аАбБвВгГдДеЕёЁжЖзЗиИйЙкКлЛмМнНоОпПрРсСтТуУфФхХцЦчЧшШщЩъЪыЫьЬэЭюЮяЯ");
  for (std::size_t i = 0; i + 2 < alphabet.size(); i += 2) {
    EXPECT_LT(AnsiCollateText(alphabet.substr(i, 1), alphabet.substr(i + 2, 1)), 0) << i;
    EXPECT_EQ(AnsiCollateText(alphabet.substr(i, 1), alphabet.substr(i + 1, 1)), 0) << i;
  }
}

TEST(DateTime, TextsConvertOrFail) {
  TDateTime base = 0;
  ASSERT_TRUE(TryEncodeDate(1899, 12, 30, base));
  EXPECT_EQ(base, 0.0);
  TDateTime d2000 = 0;
  ASSERT_TRUE(TryEncodeDate(2000, 1, 1, d2000));
  EXPECT_EQ(d2000, 36526.0);

  struct Case {
    char kind;  // 'd' date, 't' time, 'x' date and time
    const char* text;
    bool ok;
    double expected;
  };
  const double noon = 0.5, minute = 1.0 / 1440;
  const std::vector<Case> cases = {
      {'d', "01.01.2000", true, 36526},
      {'d', "1.1.2000", true, 36526},
      {'d', "  01.01.2000 ", true, 36526},
      {'d', "01.01.00", true, 36526},       // a two-digit year lies within the 50 years
      {'d', "31.12.99", true, 36525},       // before now, or after that
      {'d', "29.02.2000", true, 36526 + 59},
      {'d', "29.02.1900", false, 0},        // not a leap year
      {'d', "31.04.2000", false, 0},
      {'d', "00.01.2000", false, 0},
      {'d', "01.13.2000", false, 0},
      {'d', "01/01/2000", true, 36526},
      {'d', "1-1-2000", true, 36526},
      {'d', "01..2000", false, 0},
      {'d', "01.01.20000", false, 0},
      {'d', "", false, 0},
      {'d', "01.01.2000 12:00", false, 0},
      {'t', "12:00", true, noon},
      {'t', "0:01", true, minute},
      {'t', "12:00:30", true, noon + 30.0 / 86400},
      {'t', "12:00:00.5", true, noon + 0.5 / 86400},
      {'t', "24:00", false, 0},
      {'t', "12:60", false, 0},
      {'t', "12", false, 0},
      {'t', "12:00:", false, 0},
      {'t', "-1:00", false, 0},
      {'x', "01.01.2000 12:00", true, 36526 + noon},
      {'x', "01.01.2000", true, 36526},
      {'x', "12:00", true, noon},
      {'x', "01.01.2000 25:00", false, 0},
      {'x', "01.01.2000 x", false, 0},
  };
  for (const Case& c : cases) {
    TDateTime v = -1;
    const bool ok = c.kind == 'd' ? TryStrToDate(c.text, v) : c.kind == 't' ? TryStrToTime(c.text, v)
                                                                            : TryStrToDateTime(c.text, v);
    EXPECT_EQ(ok, c.ok) << c.text;
    if (ok && c.ok) {
      EXPECT_NEAR(v, c.expected, 1e-9) << c.text;
    }
  }
  // Before 1899 the value stays continuous: a later time of the day is a larger value.
  TDateTime early = 0, later = 0;
  ASSERT_TRUE(TryStrToDateTime("01.01.1800 06:00", early));
  ASSERT_TRUE(TryStrToDateTime("01.01.1800 18:00", later));
  EXPECT_LT(early, later);
}

// Every day of every month, the days just outside and the years at and beyond the
// ends: a date is valid as the calendar of the standard library has it, and the day
// numbers of valid dates follow one another.
TEST(DateTime, ValidDatesAreTheCalendarsDays) {
  std::int32_t previous = 0;
  bool first = true;
  for (int y = -1; y <= 10001; ++y) {
    for (int m = 0; m <= 13; ++m) {
      for (int d = -1; d <= 32; ++d) {
        const bool calendar = y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 &&
                              std::chrono::year_month_day(std::chrono::year(y), std::chrono::month(static_cast<unsigned>(m)),
                                                          std::chrono::day(static_cast<unsigned>(d)))
                                  .ok();
        ASSERT_EQ(IsValidDate(y, m, d), calendar) << y << "-" << m << "-" << d;
        std::int32_t day = 0;
        ASSERT_EQ(TryEncodeDate(y, m, d, day), calendar) << y << "-" << m << "-" << d;
        if (!calendar) continue;
        if (!first) {
          ASSERT_EQ(day, previous + 1) << y << "-" << m << "-" << d;
        }
        previous = day;
        first = false;
      }
    }
  }
}

TEST(DateTime, NowIsAPlausibleMoment) {
  TDateTime y2020 = 0, y2200 = 0;
  ASSERT_TRUE(TryEncodeDate(2020, 1, 1, y2020));
  ASSERT_TRUE(TryEncodeDate(2200, 1, 1, y2200));
  const TDateTime now = Now();
  EXPECT_GT(now, y2020);
  EXPECT_LT(now, y2200);
}

}  // namespace
