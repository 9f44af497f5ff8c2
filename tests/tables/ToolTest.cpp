#include <gtest/gtest.h>

#include "tables/db_eror.h"
#include "tables/db_tool.h"

namespace {

TEST(TablesTool, JulianDates) {
  const TdbDBFDate& d = DBFDate();
  EXPECT_EQ(d.JulianToDBF(2444240), "19800101");
  EXPECT_EQ(d.TextToJulian("19800101"), 2444240);
  EXPECT_EQ(d.TextToJulian("19801301"), 2415019);  // impossible: day 0 of the scale
  EXPECT_EQ(d.TextToJulian("        "), 0);
  EXPECT_EQ(d.TextToJulian("00000000"), 0);
  EXPECT_EQ(d.JulianToDBF(0), "        ");
  EXPECT_EQ(d.JulianToDBF(-5), "        ");
  EXPECT_EQ(d.JulianToDBF(99999999), "        ");  // beyond the calendar: no date
  EXPECT_EQ(d.JulianToDisplay(2444240), "01.01.1980");
  EXPECT_EQ(d.JulianToDisplay(0), "");
  EXPECT_EQ(d.TextToJulian("01.01.1980"), 2444240);
  EXPECT_THROW(d.TextToJulian("31.02.1980"), EConvertError);
  int m, day, y;
  ASSERT_TRUE(d.DecodeJulian(2451604, m, day, y));  // 29 February 2000
  EXPECT_EQ(y * 10000 + m * 100 + day, 20000229);
  EXPECT_GT(d.TodayJulian(), 2459000);
}

// The display text straight from the stored digits is the text of the long way
// (JulianToDisplay of TextToJulian) for every day it takes, and it takes every real day
// of four-digit years.
TEST(TablesTool, StoredDatesToDisplay) {
  const TdbDBFDate& d = DBFDate();
  const std::int64_t first = d.TextToJulian("10000101"), last = d.TextToJulian("99991231");
  AnsiString fast;
  int taken = 0;
  for (std::int64_t julian = first; julian <= last; julian += 101) {
    const AnsiString stored = d.JulianToDBF(julian);
    ASSERT_TRUE(d.StoredToDisplay(stored, fast)) << stored;
    ASSERT_EQ(fast, d.JulianToDisplay(julian)) << stored;
    ++taken;
  }
  EXPECT_GT(taken, 30000);
  // Not a real day, or not eight digits: the long way.
  for (const char* text : {"19000229", "20230229", "20231301", "20230100", "20230132", "00000000", "09991231",
                           "        ", "       0", "2023011", "2023O101"})
    EXPECT_FALSE(d.StoredToDisplay(text, fast)) << text;
  EXPECT_TRUE(d.StoredToDisplay("20240229", fast));
  EXPECT_EQ(fast, "29.02.2024");
}

TEST(TablesTool, VariantConversions) {
  TdbVariant v;
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(v.GetString(), "");
  EXPECT_EQ(v.GetFloat(), 0);
  struct BoolCase {
    const char* text;
    bool value;
  };
  for (auto c : {BoolCase{"T", true}, {"y", true}, {"J", true}, {"N", false}, {"1", false}, {"F", false}}) {
    v.PutString(c.text);
    EXPECT_EQ(v.GetBoolean(), c.value) << c.text;
  }
  v.PutFloat(2.5);
  EXPECT_EQ(v.GetString(), "2.5");
  EXPECT_TRUE(v.GetBoolean());
  v.PutFloat(0.5);
  EXPECT_FALSE(v.GetBoolean());  // truncated to 0
  v.PutFloat(19800101);
  EXPECT_EQ(v.GetDate(), 0);  // 19800101 as a julian day lies beyond the calendar
  v.PutFloat(2444240);
  EXPECT_EQ(v.GetDate(), 2444240);
  v.PutDate(2444240);
  EXPECT_EQ(v.GetString(), "01.01.1980");
  EXPECT_EQ(v.GetFloat(), 2444240);
  v.PutBoolean(true);
  EXPECT_EQ(v.GetString(), "T");
  v.PutString("ab");
  v.PadText(4);
  EXPECT_EQ(v.GetString(), "ab  ");
  v.PadText(2);
  EXPECT_EQ(v.Length(), 4);
  v.TrimTrailingBlanks();
  v.TranslateText(nullptr);
  EXPECT_EQ(v.GetString(), "AB");
  v.PutBinary("xy", 2);
  v.AppendBinary("z", 1);
  v.AppendBinary(nullptr, 5);
  EXPECT_EQ(v.GetString(), "xyz");
  EXPECT_EQ(v.Kind(), vkBinary);
  char buf[8] = {};
  EXPECT_EQ(v.GetBytes(buf, 2), 2);
  EXPECT_EQ(std::string(buf), "xy");
  TdbVariant copy;
  EXPECT_TRUE(copy.Assign(&v));
  EXPECT_EQ(copy.GetString(), "xyz");
  EXPECT_FALSE(copy.Assign(nullptr));
  EXPECT_TRUE(copy.IsEmpty());
  v.PutString("abc");
  EXPECT_THROW(v.GetFloat(), EConvertError);
}

TEST(TablesTool, VariantCompare) {
  auto text = [](const char* s) {
    TdbVariant v;
    v.PutString(s);
    return v;
  };
  auto num = [](double d) {
    TdbVariant v;
    v.PutFloat(d);
    return v;
  };
  std::int64_t pos = -1;
  TdbVariant ab = text("AB"), abc = text("ABC"), abd = text("ABD"), empty = text("");
  EXPECT_EQ(ab.Compare(&abc, pos, nullptr, 0), 0);
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(ab.Compare(&abc, pos, nullptr, -1), -1);
  EXPECT_EQ(abc.Compare(&ab, pos, nullptr, 0), 1);
  EXPECT_EQ(abc.Compare(&abd, pos, nullptr, 0), -1);
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(abc.Compare(nullptr, pos, nullptr, 0), 1);
  EXPECT_EQ(empty.Compare(&abc, pos, nullptr, 0), -1);
  EXPECT_EQ(abc.Compare(&empty, pos, nullptr, 0), 1);
  EXPECT_EQ(empty.Compare(&empty, pos, nullptr, 0), 0);
  // The kinds are checked before empty values are: an empty value of no kind or of
  // another kind does not compare with a text.
  TdbVariant none, emptyNumber;
  emptyNumber.PutFloat(1);
  emptyNumber.Resize(0);
  EXPECT_THROW(none.Compare(&abc, pos, nullptr, 0), EDbfError);
  EXPECT_THROW(abc.Compare(&none, pos, nullptr, 0), EDbfError);
  EXPECT_THROW(emptyNumber.Compare(&empty, pos, nullptr, 0), EDbfError);
  EXPECT_EQ(none.Compare(&none, pos, nullptr, 0), 0);
  TdbVariant two = num(2), three = num(3);
  EXPECT_EQ(two.Compare(&three, pos, nullptr, 0), -1);
  EXPECT_EQ(three.Compare(&two, pos, nullptr, 0), 1);
  // A collation table that folds case makes "abc" equal to "ABC".
  std::uint8_t fold[256];
  for (int i = 0; i < 256; ++i) fold[i] = static_cast<std::uint8_t>(i >= 'a' && i <= 'z' ? i - 32 : i);
  TdbVariant lower = text("abc");
  EXPECT_EQ(lower.Compare(&abc, pos, fold, 0), 0);
  EXPECT_NE(lower.Compare(&abc, pos, nullptr, 0), 0);
  try {
    two.Compare(&abc, pos, nullptr, 0);
    FAIL();
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(), "Variant types mismatch for compare");
  }
}

TEST(TablesTool, HugeSet) {
  TdbHugeSet s;
  EXPECT_FALSE(s.TestBit(200000));
  s.ChangeBit(200000, 1);
  EXPECT_EQ(s.PageCount(), 2);
  EXPECT_TRUE(s.TestBit(200000));
  EXPECT_FALSE(s.TestBit(200001));
  EXPECT_EQ(s.Highest(), 200000);
  s.ChangeBit(200000, 2);
  EXPECT_FALSE(s.TestBit(200000));
  s.ChangeBit(7, 1);
  s.ChangeBit(7, 0);
  EXPECT_FALSE(s.TestBit(7));
  s.ChangeBit(5, 1);
  s.ClearAll();
  EXPECT_FALSE(s.TestBit(5));
  EXPECT_EQ(s.Highest(), -1);
  EXPECT_FALSE(s.TestBit(-1));
  EXPECT_THROW(s.ChangeBit(-1, 1), ERangeError);
}

TEST(TablesTool, CheckedArithmeticAndStrings) {
  EXPECT_THROW(CheckedAdd(INT64_MAX, 1), ERangeError);
  EXPECT_THROW(CheckedMul(INT64_MAX / 2, 3), ERangeError);
  EXPECT_EQ(CheckOffset32(0xFFFFFFFFLL), 0xFFFFFFFFu);
  EXPECT_THROW(CheckOffset32(0x100000000LL), ERangeError);
  EXPECT_THROW(CheckIndex(3, 3), ERangeError);

  EXPECT_EQ(AddDefaultExt("dir.x/products", ".DBF"), "dir.x/products.DBF");
  EXPECT_EQ(AddDefaultExt("products.dbf", ".DBF"), "products.dbf");
  EXPECT_EQ(ExtractNameNoExt("C:\\DATA\\Products.dbf"), "Products");
  EXPECT_EQ(StrPadRight("ab", '.', 4), "ab..");
  AnsiString t = "ab  ";
  StrTrimRight(t);
  EXPECT_EQ(t, "ab");
  AnsiString up = Ansi("абв");
  UpperBuffer(up.data(), up.size());
  EXPECT_EQ(up, Ansi("АБВ"));
  EXPECT_EQ(ComparePChar("a", "b"), -1);
  EXPECT_EQ(ComparePCharNoCase(Ansi("жук").c_str(), Ansi("ЖУК").c_str()), 0);
  EXPECT_EQ(ComparePCharNoCase("ab", "abc"), -1);
}

struct Counted {
  explicit Counted(int& n) : count(n) { ++count; }
  ~Counted() { --count; }
  int& count;
};

TEST(TablesTool, CollectionOwnsItsItems) {
  int alive = 0;
  {
    TdbCollection<Counted> c;
    Counted* first = c.Add(std::make_unique<Counted>(alive));
    c.Add(std::make_unique<Counted>(alive));
    EXPECT_EQ(alive, 2);
    EXPECT_TRUE(c.FreeOne(first));
    EXPECT_FALSE(c.FreeOne(first));
    EXPECT_EQ(alive, 1);
    EXPECT_THROW(c.Items(1), ERangeError);
    c.Add(std::make_unique<Counted>(alive));
  }
  EXPECT_EQ(alive, 0);
}

}  // namespace
