#include <gtest/gtest.h>

#include "platform/core/AnsiText.h"
#include "platform/core/FormatMask.h"

TEST(FormatMask, Numbers) {
  struct Case {
    const char* mask;
    double value;
    const char* text;
    char dec = '.';
  };
  const Case cases[] = {
      {"#,##0.00", 1234.5, "1 234.50"},
      {"#,##0.00", 1234.5, "1 234,50", ','},
      {"##0.##", 2.5, "2.5"},
      {"##0.##", 2, "2"},
      {"##0.", 2.5, "3"},
      {"##0.", 3.5, "4"},  // halves away from zero
      {"0.00", 2.675, "2.68"},
      {"0.00", 1.005, "1.01"},
      {"0.00", -0.004, "0.00"},  // no sign on a value that shows as zero
      {"0.00", -1.5, "-1.50"},
      {"#.##", 0.5, ".5"},
      {"000", 7, "007"},
      {"0", 999.5, "1000"},
      {"#,##0", 1234567, "1 234 567"},
      {"0.0 'кг'", 1.25, "1.3 кг"},
      {"0.00;(0.00)", -3, "(3.00)"},
      {"0.00;(0.00);'нуль'", 0, "нуль"},
      {"0.00;;'нуль'", -2, "-2.00"},
      {"", 1.5, "1.5"},
      {"0.##", 1e-20, "0"},
      {"0", 1e20, "100000000000000000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mask);
    EXPECT_EQ(FormatFloatMask(Ansi(c.mask), c.value, c.dec), Ansi(c.text));
  }
}

TEST(FormatMask, Dates) {
  TDateTime d = 0;
  ASSERT_TRUE(TryEncodeDate(2003, 2, 1, d));
  TDateTime t = 0;
  ASSERT_TRUE(TryEncodeTime(9, 5, 7, 0, t));
  struct Case {
    const char* pattern;
    TDateTime value;
    const char* text;
  };
  const Case cases[] = {
      {"dd.mm.yyyy", d, "01.02.2003"},     {"d.m.yy", d, "1.2.03"},
      {"d mmmm yyyy", d, "1 февраля 2003"}, {"mmmm yyyy", d, "Февраль 2003"},
      {"d mmm", d, "1 фев"},               {"dddd", d, "суббота"},
      {"ddd", d, "Сб"},                    {"hh:nn:ss", d + t, "09:05:07"},
      {"h:mm", d + t, "9:05"},             {"yyyy 'г.'", d, "2003 г."},
      {"dd/mm/yyyy", d, "01.02.2003"},     {"", d + t, "01.02.2003 09:05:07"},
      {"", d, "01.02.2003"},               {"ddddd", d, "01.02.2003"},
      {"dddddd", d, "1 февраля 2003"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(FormatDateTimeMask(Ansi(c.pattern), c.value), Ansi(c.text));
  }
  EXPECT_THROW(FormatDateTimeMask("dd", 1e12), EConvertError);
}
