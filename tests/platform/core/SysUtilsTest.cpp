#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/core/SysUtils.h"

TEST(Format, ClassLibraryForms) {
  struct Case {
    const char* fmt;
    std::initializer_list<TVarRec> args;
    const char* expected;
  };
  const Case cases[] = {
      {"%d", {42}, "42"},
      {"%d", {-7}, "-7"},
      {"%2.2d", {5}, "05"},
      {"%3.3d", {0}, "000"},
      {"%3.3d", {-5}, "-005"},
      {"%d.%2d", {1, 5}, "1. 5"},
      {"%5d|%-5d|", {12, 12}, "   12|12   |"},
      {"%f", {1.5}, "1.50"},
      {"%3.2f", {12.5}, "12.50"},
      {"%3.3f", {0.75}, "0.750"},
      {"%3.1f/%3.1f/%3.1f", {1.0, 1.2, 4.6}, "1.0/1.2/4.6"},
      {"%4.2f / %4.2f /%4.2f", {1.0, 1.2, 4.6}, "1.00 / 1.20 /4.60"},
      {"%10.2f", {-3.14159}, "     -3.14"},
      {"%.2f", {0.125}, "0.13"},     // an exact half rounds away from zero
      {"%.2f", {2.675}, "2.67"},     // 2.675 is a little below the half in binary
      {"%.0f", {2.5}, "3"},
      {"%.2f", {-0.001}, "0.00"},    // no minus sign on a zero
      {"%.1f", {9.96}, "10.0"},
      {"%s and %s", {"a", "b"}, "a and b"},
      {"%.2s", {"abc"}, "ab"},
      {"%1:s%0:s", {"a", "b"}, "ba"},
      {"%*d", {4, 7}, "   7"},
      {"%x", {255}, "FF"},
      {"%.4x", {255}, "00FF"},
      {"100%%", {}, "100%"},
      {"%g", {1.5}, "1.5"},
      {"%g", {100.0}, "100"},
      {"%e", {1.5}, "1.50000000000000E+000"},
      {"%n", {1234567.891}, "1 234 567.89"},
      {"%d:%d:%d", {89, 0, 100}, "89:0:100"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.fmt, c.args), c.expected) << c.fmt;
}

TEST(Format, BadFormatsRaise) {
  EXPECT_THROW(Format("%d", {1.5}), EConvertError);
  EXPECT_THROW(Format("%f", {1}), EConvertError);
  EXPECT_THROW(Format("%s", {1}), EConvertError);
  EXPECT_THROW(Format("%d %d", {1}), EConvertError);
  EXPECT_THROW(Format("%", {}), EConvertError);
  EXPECT_THROW(Format("%q", {1}), EConvertError);
}

TEST(FloatToStr, GeneralForm) {
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(FloatToStr(123.0), "123");
  EXPECT_EQ(FloatToStr(-2.5), "-2.5");
  EXPECT_EQ(FloatToStr(1e20), "1E20");
  EXPECT_EQ(FloatToStr(1.5e-7), "1.5E-7");
  EXPECT_EQ(FloatToStr(0.0), "0");
}

TEST(Round, HalfToEvenAndGuarded) {
  const std::pair<double, std::int64_t> cases[] = {
      {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {50.5, 50}, {151.5, 152}, {2.4999, 2}, {-2.6, -3}};
  for (auto [v, r] : cases) EXPECT_EQ(Round(v), r) << v;
  EXPECT_THROW(Round(std::nan("")), EInvalidOp);
  EXPECT_THROW(Round(std::numeric_limits<double>::infinity()), EInvalidOp);
  EXPECT_THROW(Round(1e19), EInvalidOp);
  // The ends of the 64-bit range: -2^63 is a value, 2^63 is not.
  EXPECT_EQ(Round(-9223372036854775808.0), INT64_MIN);
  EXPECT_EQ(Trunc(-9223372036854775808.0), INT64_MIN);
  EXPECT_EQ(Round(9223372036854774784.0), 9223372036854774784);
  EXPECT_THROW(Round(9223372036854775808.0), EInvalidOp);
  EXPECT_THROW(Trunc(9223372036854775808.0), EInvalidOp);
  EXPECT_THROW(Round(-9223372036854777856.0), EInvalidOp);
  EXPECT_THROW(RoundInt32(3e9), EInvalidOp);
  EXPECT_EQ(RoundInt32(-2147483648.0), INT32_MIN);
  EXPECT_FALSE(IsRoundable32(2147483647.6));
}

TEST(Conversions, IntegersAndFloats) {
  std::int32_t i = 0;
  EXPECT_TRUE(TryStrToInt("123", i));
  EXPECT_EQ(i, 123);
  EXPECT_TRUE(TryStrToInt("-2147483648", i));
  EXPECT_EQ(i, INT32_MIN);
  EXPECT_FALSE(TryStrToInt("2147483648", i));
  EXPECT_FALSE(TryStrToInt("12a", i));
  EXPECT_FALSE(TryStrToInt("", i));
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToIntDef("x", 7), 7);
  EXPECT_THROW(StrToInt("1.5"), EConvertError);

  EXPECT_DOUBLE_EQ(StrToFloat("12,5"), 12.5);
  EXPECT_DOUBLE_EQ(StrToFloat(" -0.25 "), -0.25);
  EXPECT_DOUBLE_EQ(StrToFloat("+1e3"), 1000.0);
  double d;
  for (const char* bad : {"", "abc", "1,2,3", "inf", "nan", "1e999", "0x10", "1.5x", "+-5", "-+5", "+-", "+"})
    EXPECT_FALSE(TryStrToFloat(bad, d)) << bad;
}

TEST(Strings, TrimAndCase) {
  EXPECT_EQ(Trim("  a b \t"), "a b");
  EXPECT_EQ(UpperCase("abc\xE0"), "ABC\xE0");  // ASCII only
  EXPECT_TRUE(SameText("Products", "PRODUCTS"));
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
}
