// The rule table of docs/VARIANT.md, row by row.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "platform/core/Variant.h"

namespace {

const Variant kEmpty;
const Variant kNull = Variant::Null();

std::string Show(const Variant& v) {
  if (v.IsNull()) return "Null";
  if (v.IsEmpty()) return "Empty";
  return std::string(Variant::TypeName(v.VarType())) + ":" + v.AsString();
}

// Expected outcome of an operation: a value, or an exception of a kind.
enum class Err { kNone, kCast, kOverflow, kZeroDivide, kFloatOverflow };

template <typename F>
void ExpectOutcome(F f, const Variant& expected, Err err, const std::string& what) {
  SCOPED_TRACE(what);
  try {
    Variant got = f();
    ASSERT_EQ(err, Err::kNone) << "no exception, got " << Show(got);
    EXPECT_TRUE(got.Identical(expected)) << "got " << Show(got) << ", expected " << Show(expected);
  } catch (const EVariantTypeCastError&) {
    EXPECT_EQ(err, Err::kCast);
  } catch (const EVariantOverflowError&) {
    EXPECT_EQ(err, Err::kOverflow);
  } catch (const EZeroDivide&) {
    EXPECT_EQ(err, Err::kZeroDivide);
  } catch (const EOverflow&) {
    EXPECT_EQ(err, Err::kFloatOverflow);
  }
}

}  // namespace

TEST(Variant, KindsAndCodes) {
  EXPECT_EQ(kEmpty.VarType(), varEmpty);
  EXPECT_EQ(kNull.VarType(), varNull);
  EXPECT_EQ(Variant(1).VarType(), varInteger);
  EXPECT_EQ(Variant(1.0).VarType(), varDouble);
  EXPECT_EQ(Variant::FromCurrency(1.5).VarType(), varCurrency);
  EXPECT_EQ(Variant::FromDate(1).VarType(), varDate);
  EXPECT_EQ(Variant(true).VarType(), varBoolean);
  EXPECT_EQ(Variant("x").VarType(), varString);
  EXPECT_EQ(Variant::FromInt64(std::int64_t{1} << 40).VarType(), varDouble);
}

TEST(Variant, ConversionTable) {
  struct Case {
    Variant v;
    Variant asDouble;  // each column: the value, or Null for "raises a cast error"
    Variant asInteger;
    Variant asBoolean;
    Variant asString;
  };
  const Variant raise = Variant::Null();
  const Case cases[] = {
      {kEmpty, 0.0, 0, false, ""},
      {kNull, raise, raise, raise, raise},
      {Variant(-7), -7.0, -7, true, "-7"},
      {Variant(0), 0.0, 0, false, "0"},
      {Variant(2.5), 2.5, 2, true, "2.5"},
      {Variant(3.5), 3.5, 4, true, "3.5"},
      {Variant(-2.5), -2.5, -2, true, "-2.5"},
      {Variant(0.1 + 0.2), 0.1 + 0.2, 0, true, "0.3"},
      {Variant(1e20), 1e20, raise, true, "1E20"},
      {Variant::FromCurrency(12.3456), 12.3456, 12, true, "12.3456"},
      {Variant::FromDate(36526.5), 36526.5, 36526, true, "01.01.2000 12:00:00"},
      {Variant::FromDate(36526), 36526.0, 36526, true, "01.01.2000"},
      {Variant::FromDate(0.25), 0.25, 0, true, "06:00:00"},
      {Variant(true), 1.0, 1, true, "True"},
      {Variant(false), 0.0, 0, false, "False"},
      {Variant(" 1,5 "), 1.5, 2, true, " 1,5 "},
      {Variant("1.5"), 1.5, 2, true, "1.5"},
      {Variant("42"), 42.0, 42, true, "42"},
      {Variant("TrUe"), raise, raise, true, "TrUe"},
      {Variant("abc"), raise, raise, raise, "abc"},
      {Variant(""), raise, raise, raise, ""},
      {Variant("1e400"), raise, raise, raise, "1e400"},
  };
  for (const auto& c : cases) {
    std::string name = Show(c.v);
    auto column = [&](const char* col, const Variant& expected, auto fn) {
      ExpectOutcome([&] { return Variant(fn()); }, expected, expected.IsNull() ? Err::kCast : Err::kNone,
                    name + " " + col);
    };
    column("AsDouble", c.asDouble, [&] { return c.v.AsDouble(); });
    if (c.v.VarType() == varDouble && c.asInteger.IsNull()) {
      ExpectOutcome([&] { return Variant(c.v.AsInteger()); }, kNull, Err::kOverflow, name + " AsInteger");
    } else {
      column("AsInteger", c.asInteger, [&] { return c.v.AsInteger(); });
    }
    column("AsBoolean", c.asBoolean, [&] { return c.v.AsBoolean(); });
    column("AsString", c.asString, [&] { return c.v.AsString(); });
  }
  EXPECT_EQ(VarToStr(kNull), "");
  EXPECT_EQ(Variant("31.12.1999").AsDate(), 36525.0);
  EXPECT_EQ(Variant("01.01.2000 06:00").AsDate(), 36526.25);
  EXPECT_THROW(Variant("32.12.1999").AsDate(), EVariantTypeCastError);
  EXPECT_EQ(Variant(1.23456).AsCurrencyUnits(), 12346);
  // The ends of the 64-bit range: -2^63 converts, 2^63 overflows.
  EXPECT_EQ(Variant(-9223372036854775808.0).AsInt64(), INT64_MIN);
  EXPECT_THROW(Variant(9223372036854775808.0).AsInt64(), EVariantOverflowError);
  EXPECT_EQ(Variant("9007199254740993").AsInt64(), 9007199254740993);
  EXPECT_EQ(Variant("-9223372036854775808").AsInt64(), INT64_MIN);
  EXPECT_THROW(Variant("9223372036854775808").AsInt64(), EVariantOverflowError);
  EXPECT_THROW(Variant("+-5").AsInt64(), EVariantTypeCastError);
  EXPECT_EQ(Variant("+12").AsInt64(), 12);
}

TEST(Variant, ArithmeticTable) {
  using Fn = std::function<Variant(const Variant&, const Variant&)>;
  const Fn add = [](const Variant& a, const Variant& b) { return a + b; };
  const Fn sub = [](const Variant& a, const Variant& b) { return a - b; };
  const Fn mul = [](const Variant& a, const Variant& b) { return a * b; };
  const Fn div = [](const Variant& a, const Variant& b) { return a / b; };
  const Fn idiv = [](const Variant& a, const Variant& b) { return Variant::IntDiv(a, b); };
  const Fn mod = [](const Variant& a, const Variant& b) { return Variant::Mod(a, b); };
  const int kMax = std::numeric_limits<std::int32_t>::max();
  struct Case {
    const char* what;
    Fn op;
    Variant a, b, result;
    Err err = Err::kNone;
  };
  const Case cases[] = {
      // 1: Null propagates
      {"Null + 1", add, kNull, 1, kNull},
      {"'a' + Null", add, "a", kNull, kNull},
      {"Null / 0", div, kNull, 0, kNull},
      {"Null mod 0", mod, kNull, 0, kNull},
      // 2: concatenation
      {"'a' + 'b'", add, "a", "b", "ab"},
      {"Empty + 'b'", add, kEmpty, "b", "b"},
      {"'1' + '2'", add, "1", "2", "12"},
      // 3: Empty
      {"Empty + Empty", add, kEmpty, kEmpty, 0},
      {"Empty * 5", mul, kEmpty, 5, 0},
      // 4: strings become numbers outside concatenation
      {"'1,5' + 1", add, "1,5", 1, 2.5},
      {"'10' - '4'", sub, "10", "4", 6.0},
      {"'x' + 1", add, "x", 1, kNull, Err::kCast},
      {"'x' * 'y'", mul, "x", "y", kNull, Err::kCast},
      // 5: real division
      {"7 / 2", div, 7, 2, 3.5},
      {"6 / 3", div, 6, 3, 2.0},
      {"1 / 0", div, 1, 0, kNull, Err::kZeroDivide},
      {"1 / 0.0", div, 1, 0.0, kNull, Err::kZeroDivide},
      // 6: integers stay integers while they fit
      {"2 + 3", add, 2, 3, 5},
      {"True + True", add, true, true, 2},
      {"max + 1", add, kMax, 1, static_cast<double>(kMax) + 1},
      {"max * max", mul, kMax, kMax, static_cast<double>(kMax) * kMax},
      {"2 * -3", mul, 2, -3, -6},
      // 7: dates
      {"date + 1", add, Variant::FromDate(10), 1, Variant::FromDate(11)},
      {"date - 0.5", sub, Variant::FromDate(10), 0.5, Variant::FromDate(9.5)},
      {"date - date", sub, Variant::FromDate(10), Variant::FromDate(4), 6.0},
      {"date * 2", mul, Variant::FromDate(10), 2, 20.0},
      // 8: currency
      {"cur + 1", add, Variant::FromCurrency(1.5), 1, Variant::FromCurrency(2.5)},
      {"cur * 3", mul, Variant::FromCurrency(1.5), 3, Variant::FromCurrency(4.5)},
      {"cur * 1.5", mul, Variant::FromCurrency(2), 1.5, 3.0},
      // 9: doubles
      {"1.5 + 1", add, 1.5, 1, 2.5},
      {"1e308 * 10", mul, 1e308, 10, kNull, Err::kFloatOverflow},
      // integer division and remainder
      {"7 div 2", idiv, 7, 2, 3},
      {"-7 div 2", idiv, -7, 2, -3},
      {"-7 mod 2", mod, -7, 2, -1},
      {"7.5 mod 3", mod, 7.5, 3, 2},  // 7.5 rounds to 8
      {"'9' mod 4", mod, "9", 4, 1},
      // integer texts beyond 32 bits are taken exactly, not through a double
      {"'9007199254740993' mod 2", mod, "9007199254740993", 2, 1},
      {"'-9007199254740993' div 1", idiv, " -9007199254740993 ", 1, -9007199254740993.0},
      {"'9223372036854775807' mod 10", mod, "9223372036854775807", 10, 7},
      {"5 mod 0", mod, 5, 0, kNull, Err::kZeroDivide},
      {"5 div 0.4", idiv, 5, 0.4, kNull, Err::kZeroDivide},  // 0.4 rounds to 0
      {"min div -1", idiv, std::numeric_limits<std::int32_t>::min(), -1, 2147483648.0},
  };
  for (const auto& c : cases) ExpectOutcome([&] { return c.op(c.a, c.b); }, c.result, c.err, c.what);
}

TEST(Variant, UnaryMinus) {
  EXPECT_TRUE((-kNull).IsNull());
  EXPECT_TRUE((-kEmpty).Identical(Variant(0)));
  EXPECT_TRUE((-Variant(true)).Identical(Variant(-1)));
  EXPECT_TRUE((-Variant(5)).Identical(Variant(-5)));
  EXPECT_TRUE((-Variant(std::numeric_limits<std::int32_t>::min())).Identical(Variant(2147483648.0)));
  EXPECT_TRUE((-Variant("2,5")).Identical(Variant(-2.5)));
  EXPECT_TRUE((-Variant::FromDate(3)).Identical(Variant::FromDate(-3)));
  EXPECT_THROW(-Variant("x"), EVariantTypeCastError);
}

TEST(Variant, ComparisonTable) {
  using R = TVariantRelationship;
  struct Case {
    Variant a, b;
    R r;
    bool raises = false;
  };
  const Case cases[] = {
      {kNull, kNull, R::vrEqual},
      {kNull, 0, R::vrNotEqual},
      {"", kNull, R::vrNotEqual},
      {kEmpty, kEmpty, R::vrEqual},
      {kEmpty, "", R::vrEqual},
      {kEmpty, 0, R::vrEqual},
      {kEmpty, -1, R::vrGreaterThan},
      {"abc", "abd", R::vrLessThan},
      {"b", "B", R::vrGreaterThan},
      {"\xC0", "a", R::vrGreaterThan},  // Cyrillic letters sort after Latin by code
      {"10", "9", R::vrLessThan},       // two strings: text order
      {"10", 9, R::vrGreaterThan},      // a number and a numeric string: numbers
      {"1,5", 1.5, R::vrEqual},
      {"x", 1, R::vrNotEqual, true},
      {false, true, R::vrLessThan},
      {true, 1, R::vrEqual},
      {false, 0.0, R::vrEqual},
      {1, 1.0, R::vrEqual},
      {2147483647, 2147483646, R::vrGreaterThan},
      {Variant::FromCurrency(1.5), 1.5, R::vrEqual},
      {Variant::FromDate(2), 3, R::vrLessThan},
      {Variant::FromDate(37653), "01.02.2003", R::vrEqual},  // date text is read as a date
      {"31.01.2003", Variant::FromDate(37653), R::vrLessThan},
      {Variant::FromDate(37653.5), "01.02.2003 12:00", R::vrEqual},
      {Variant::FromDate(37653), "37653", R::vrNotEqual, true},  // a number is not date text
      {Variant::FromDate(37653), "x", R::vrNotEqual, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.a) + " ? " + Show(c.b));
    if (c.raises) {
      EXPECT_THROW(Variant::Compare(c.a, c.b), EVariantTypeCastError);
      continue;
    }
    EXPECT_EQ(Variant::Compare(c.a, c.b), c.r);
    EXPECT_EQ(c.a == c.b, c.r == R::vrEqual);
    EXPECT_EQ(c.a != c.b, c.r != R::vrEqual);
    EXPECT_EQ(c.a < c.b, c.r == R::vrLessThan);
    EXPECT_EQ(c.a >= c.b, c.r == R::vrGreaterThan || c.r == R::vrEqual);
  }
}

TEST(Variant, DatesAsText) {
  struct Case {
    TDateTime value;
    const char* text;
  };
  const Case cases[] = {
      {0, "30.12.1899"},
      {36526, "01.01.2000"},
      {36526.5, "01.01.2000 12:00:00"},
      {0.25, "06:00:00"},
      {36525 + (6 * 3600 + 1) / 86400.0, "31.12.1999 06:00:01"},
      {36526 - 0.1 / 86400000, "31.12.1999 23:59:59"},  // never rounded into the next day
      {-1.25, "28.12.1899 18:00:00"},                    // the scale is continuous
  };
  for (const auto& c : cases) EXPECT_EQ(Variant::FromDate(c.value).AsString(), c.text) << c.value;
  EXPECT_THROW(Variant::FromDate(1e10).AsString(), EVariantOverflowError);
  EXPECT_EQ(VarToStr(Variant::FromDate(2)), "01.01.1900");
  for (const char* bad : {"1.", "31.4.2000", "1.1.2000x", "24:00", "12:60", "a.b.c"})
    EXPECT_THROW(Variant(bad).AsDate(), EVariantTypeCastError) << bad;
}
