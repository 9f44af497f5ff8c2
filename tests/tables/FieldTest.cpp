#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "TablesTestSupport.h"
#include "tables/db_DBF.h"
#include "tables/db_create.h"

namespace {

using tables_test::Message;
using tables_test::ReadBytes;
using tables_test::WriteBytes;

class TablesField : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = dir_.Path() + "/t.dbf";
    CreateDbfTable(name_, 0x03,
                   {{"NAME", 'C', 5}, {"QTY", 'N', 5, 1}, {"PRICE", 'N', 8, 2}, {"WHOLE", 'N', 6, 0},
                    {"BORN", 'D'}, {"OK", 'L'}, {"RATE", 'F', 10, 3}});
    t_ = std::make_unique<DBO_dBaseFld>(name_, false, true);
    t_->BlankRecord();
  }
  AnsiString Raw(std::int64_t n) { return t_->FieldGet(n); }

  TempDir dir_;
  AnsiString name_;
  std::unique_ptr<DBO_dBaseFld> t_;
};

TEST_F(TablesField, BlankRecordHoldsFormattedZeros) {
  EXPECT_EQ(std::string(t_->RecordBuffer(), 11), " " "     " "  0.0");
  EXPECT_EQ(Raw(3), "    0.00");
  EXPECT_EQ(Raw(5), "        ");
  EXPECT_EQ(t_->RecordBuffer()[t_->RecordLength()], '\x1A');
  for (auto c : t_->Changes()) EXPECT_EQ(c, 1);
}

TEST_F(TablesField, NamesAndNumbers) {
  EXPECT_EQ(t_->FieldNumber("name"), 1);
  EXPECT_EQ(t_->FieldNumber("NAME  "), 1);
  EXPECT_EQ(t_->FieldNumber("NAMEISTOOLONG"), 0);
  EXPECT_EQ(t_->FieldNumber("NONE"), 0);
  EXPECT_EQ(Message([&] { t_->FieldDesc("NONE"); }), "dBase field name is invalid - NONE->" + name_);
  EXPECT_EQ(t_->FieldGet(0), "");
  EXPECT_EQ(t_->FieldGet(8), "");
  EXPECT_FALSE(t_->FieldPut(8, "x"));
  EXPECT_EQ(t_->FieldType(8), 0);
  EXPECT_EQ(t_->FieldType(6), 'L');
  EXPECT_EQ(t_->FieldLen(3), 8);
  EXPECT_EQ(t_->NumberGet(0), 0);
  EXPECT_EQ(t_->DisplayText(99), "");
}

TEST_F(TablesField, NumberPutAndGet) {
  struct Case {
    std::int64_t field;
    double value;
    const char* stored;  // nullptr: refused with 1011, nothing stored
  };
  const Case cases[] = {
      {3, 123.456, "  123.46"}, {3, -0.005, "   -0.01"}, {3, 0.125, "    0.13"}, {4, 1234567, nullptr},
      {4, 123456, "123456"},   {2, -99.94, "-99.9"},      {2, 1000, nullptr},      {7, 2.5, "     2.500"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    t_->BlankRecord();
    const AnsiString before = Raw(c.field);
    if (c.stored) {
      EXPECT_TRUE(t_->NumberPut(c.field, c.value));
      EXPECT_EQ(Raw(c.field), c.stored);
      EXPECT_DOUBLE_EQ(t_->NumberGet(c.field), std::stod(c.stored));
    } else {
      EXPECT_THROW(t_->NumberPut(c.field, c.value), EDbfError);
      EXPECT_EQ(Raw(c.field), before);
    }
  }
  EXPECT_EQ(Message([&] { t_->NumberPut(4, 1234567); }), "Number too large to fit in field - WHOLE - 1234567");
  t_->FieldPut(2, "");
  EXPECT_EQ(t_->NumberGet(2), 0);
  t_->FieldPut(2, "abc");
  EXPECT_EQ(Message([&] { t_->NumberGet(2); }), "dBase field is of incorrect type - Invalid number in field t->QTY (  abc)");
  // Typed access by name checks the type.
  EXPECT_EQ(Message([&] { t_->NumberPutByName("NAME", 1); }), "dBase field is of incorrect type - NAME");
  EXPECT_THROW(t_->NumberPut(1, 1), EDbfError);
  t_->NumberPutByName("price", 7.5);
  EXPECT_EQ(t_->NumberGetByName("PRICE"), 7.5);
  EXPECT_THROW(t_->NumberPut(3, std::nan("")), EDbfError);
}

TEST_F(TablesField, StoringText) {
  t_->FieldPut(1, "ab");
  EXPECT_EQ(Raw(1), "ab   ");
  t_->FieldPut(1, "abcdefgh");
  EXPECT_EQ(Raw(1), "abcde");
  t_->FieldPut(2, "7");
  EXPECT_EQ(Raw(2), "    7");  // numbers right-aligned
  // A number longer than its field is refused, never cut to its last digits; the
  // blanks around a number that fits may go.
  EXPECT_EQ(Message([&] { t_->FieldPut(2, "1234567"); }), "Number too large to fit in field - QTY - 1234567");
  EXPECT_EQ(Raw(2), "    7");
  t_->FieldPut(2, "  123.4  ");
  EXPECT_EQ(Raw(2), "123.4");
  EXPECT_THROW(t_->TextPut(7, "12345678.901"), EDbfError);  // F(10,3), stored as text
  EXPECT_EQ(Raw(7), "     0.000");
  t_->TextPut(7, "1.5");
  EXPECT_EQ(Raw(7), "       1.5");
  t_->FieldPut(1, "abcdefgh");
  t_->FieldPut(6, "T");
  EXPECT_EQ(Raw(6), "T");
  EXPECT_TRUE(t_->RecordChanged());
  t_->FieldPutByName("NAME", "by");
  EXPECT_EQ(t_->FieldGetByName("name"), "by   ");
  EXPECT_THROW(t_->FieldGetByName("nope"), EDbfError);
}

TEST_F(TablesField, TextPutByType) {
  struct Case {
    const char* field;
    const char* text;
    const char* stored;  // nullptr: refused
  };
  const Case cases[] = {
      {"OK", "y", "T"},      {"OK", "n", "F"},      {"OK", "2", "T"},        {"OK", "0", "F"},
      {"OK", "J", "T"},      {"OK", "", " "},       {"OK", "x", nullptr},    {"QTY", "", "  0.0"},
      {"QTY", "12,34", " 12.3"}, {"QTY", "1x", nullptr}, {"BORN", "19991231", "19991231"},
      {"BORN", "01.02.2003", "20030201"}, {"BORN", "", "        "}, {"RATE", "free text", " free text"},
      {"NAME", "abc", "abc  "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " <- " + c.text);
    t_->BlankRecord();
    const std::int64_t n = t_->FieldNumber(c.field);
    const AnsiString before = Raw(n);
    if (c.stored) {
      t_->TextPutByName(c.field, c.text);
      EXPECT_EQ(Raw(n), c.stored);
    } else {
      EXPECT_THROW(t_->TextPutByName(c.field, c.text), EDbfError);
      EXPECT_EQ(Raw(n), before);
    }
  }
  EXPECT_THROW(t_->TextPutByName("BORN", "31.02.2003"), EConvertError);
}

TEST_F(TablesField, DatesAndLogicals) {
  EXPECT_TRUE(t_->DatePut(5, 2444240));
  EXPECT_EQ(Raw(5), "19800101");
  EXPECT_EQ(t_->DateGet(5), 2444240);
  EXPECT_EQ(t_->DateGetByName("born"), 2444240);
  EXPECT_FALSE(t_->DatePut(1, 2444240));  // not a date field
  EXPECT_EQ(Raw(1), "     ");
  EXPECT_EQ(Message([&] { t_->DatePut(5, -1); }), "dBase field is of incorrect type - BORN");
  EXPECT_TRUE(t_->DatePut(5, 0));
  EXPECT_EQ(t_->DateGet(5), 0);
  t_->FieldPut(5, "2O0O0101");
  EXPECT_EQ(Message([&] { t_->DateGet(5); }),
            "dBase field is of incorrect type - Invalid date in field t->BORN (2O0O0101)");
  EXPECT_THROW(t_->DateGetByName("NAME"), EDbfError);
  // Blanks ending in "0": an empty date as some dBase programs store it.
  t_->FieldPut(5, "       0");
  EXPECT_EQ(t_->DateGet(5), 0);
  EXPECT_EQ(t_->DisplayText(5), "");
  t_->FieldPut(5, "      10");
  EXPECT_THROW(t_->DateGet(5), EDbfError);

  EXPECT_FALSE(t_->LogicGet(6));
  EXPECT_TRUE(t_->LogicPut(6, true));
  EXPECT_TRUE(t_->LogicGet(6));
  EXPECT_TRUE(t_->LogicGetByName("OK"));
  EXPECT_EQ(Message([&] { t_->LogicPut(1, true); }), "dBase field is of incorrect type - NAME");
  t_->FieldPut(6, "y");
  EXPECT_TRUE(t_->LogicGet(6));
}

TEST_F(TablesField, DisplayTexts) {
  struct Case {
    const char* field;
    const char* raw;
    const char* shown;
  };
  const Case cases[] = {
      {"PRICE", "", "0.00"},       {"PRICE", "   12.50", "12.50"}, {"QTY", "", "0.0"},  {"OK", "", "F"},
      {"OK", "t", "T"},            {"OK", "N", "F"},               {"BORN", "", ""},    {"BORN", "20240229", "29.02.2024"},
      {"NAME", "ab   ", "ab"},     {"RATE", "", "0.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " = '" + c.raw + "'");
    t_->FieldPutByName(c.field, c.raw);
    EXPECT_EQ(t_->DisplayTextByName(c.field), c.shown);
  }
}

TEST_F(TablesField, BlankRecordOfTheWholeRecordAndChangeBytes) {
  t_->FieldPut(1, "x");
  t_->Append();
  t_->GetRecord(1);
  for (auto c : t_->Changes()) EXPECT_EQ(c, 0);
  EXPECT_FALSE(t_->RecordChanged());
  t_->NumberPut(2, 1);
  EXPECT_EQ(t_->Changes()[2], 1);
  EXPECT_EQ(t_->Changes()[1], 0);
  EXPECT_TRUE(t_->RecordChanged());
}

// The six table functions and the field variables that expressions see.
class Args : public TdbExpArguments {
 public:
  explicit Args(std::vector<AnsiString> texts) : texts_(std::move(texts)) {}
  int ArgumentCount() const override { return static_cast<int>(texts_.size()); }
  void GetArgument(int index, TdbExpValue& v, std::uint8_t) override {
    if (index < ArgumentCount())
      v.SetText(texts_[static_cast<std::size_t>(index)]);
    else
      v.kind = ek::Missing;
  }

 private:
  std::vector<AnsiString> texts_;
};

TEST_F(TablesField, ExpressionLink) {
  t_->FieldPut(1, "abc");
  t_->NumberPut(3, 9.25);
  t_->DatePut(5, 2444240);
  t_->LogicPut(6, true);
  t_->Append();
  t_->GetRecord(1);
  TdbExpUserLink& link = t_->Link();
  ASSERT_EQ(link.Functions().Count(), 6);
  const char* order[] = {"RECNO", "DELETED", "BOF", "EOF", "TYPE", "LEN"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(link.Functions().Items(i)->Name(), order[i]);
  auto call = [&](const char* name, std::vector<AnsiString> args = {}) {
    Args a(std::move(args));
    TdbExpValue v;
    if (!link.FindFunction(name)->Evaluate(a, v)) v.kind = ek::Missing;
    return v;
  };
  EXPECT_EQ(call("RECNO").number, 1);
  EXPECT_FALSE(call("DELETED").logical);
  EXPECT_FALSE(call("EOF").logical);
  EXPECT_EQ(call("TYPE", {"born"}).text, "D");
  EXPECT_EQ(call("TYPE", {"nothing"}).text, "U");
  EXPECT_EQ(call("LEN", {"price"}).number, 8);
  EXPECT_EQ(call("LEN", {"nothing"}).kind, ek::Missing);
  EXPECT_EQ(link.FindFunction("recno"), nullptr);  // names are upper-case

  ASSERT_EQ(link.FieldVars().Count(), 7);
  auto value = [&](const char* name) {
    TdbExpValue v;
    TdbUserDefFieldVar* var = link.FindFieldVar(name);
    EXPECT_NE(var, nullptr) << name;
    if (var) var->Value(v);
    return v;
  };
  EXPECT_EQ(link.FindFieldVar("PRICE")->Kind(), TdblDBFFieldVars::kKind);
  TdbExpValue name = value("NAME");
  EXPECT_EQ(name.kind, ek::Text);
  EXPECT_EQ(name.text, "abc  ");
  TdbExpValue price = value("PRICE");
  EXPECT_EQ(price.kind, ek::Number);
  EXPECT_EQ(price.number, 9.25);
  EXPECT_EQ(price.width, 8);
  EXPECT_EQ(value("BORN").kind, ek::Date);
  EXPECT_EQ(value("BORN").number, 2444240);
  EXPECT_TRUE(value("OK").logical);
}

// Numbers are read from the record without copies, plain decimals the short way: the
// value is the decimal reader's for every text.
TEST(TablesFieldNumbers, ReadAsTheDecimalReaderReadsThem) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/n.dbf";
  CreateDbfTable(name, 0x03, {{"N", 'N', 20, 0}});
  DBO_dBaseFld t(name, false, true);
  t.BlankRecord();
  std::vector<std::string> texts = {"0", "-0", "1", "-1", ".5", "5.", "-.25", "0.1", "0.3", "999999999999999",
                                    "9999999999999999", "123456789.012345", "1.2345678901234567", "1e5",
                                    "+7", "  42  ", "12,5", "00000000000000000001", "3.14159265358979"};
  std::uint64_t seed = 12345;
  for (int i = 0; i < 3000; ++i) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const std::uint64_t digits = seed >> 20;
    const int decimals = static_cast<int>(seed % 17);
    std::string text = std::to_string(digits % 1000000000000000ULL);
    if (decimals > 0 && static_cast<int>(text.size()) > decimals)
      text.insert(text.size() - static_cast<std::size_t>(decimals), ".");
    texts.push_back((seed & 1) ? "-" + text : text);
  }
  for (const std::string& text : texts) {
    t.FieldPut(1, text);
    EXPECT_EQ(t.NumberGet(1), StrToFloat(TrimRight(t.FieldGet(1)))) << text;
  }
}

// An empty date-time is stored as eight zero bytes, as other programs write and read it;
// the old form (julian day 1721425, no milliseconds) reads as empty too.
TEST(TablesField30, BlankDateTimeIsEightZeroBytes) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/t.dbf";
  CreateDbfTable(name, 0x30, {{"T", 'T'}, {"N", 'N', 3}});
  DBO_dBaseFld t(name, false, true);
  auto bytes = [&] { return std::string(t.RecordBuffer() + t.FieldOffset(1), 8); };
  const std::string zeros(8, '\0');
  t.BlankRecord();
  EXPECT_EQ(bytes(), zeros);
  t.NumberPut(1, (2460000.0 - 1721425) * 86400000.0);
  t.TextPut(1, "");
  EXPECT_EQ(bytes(), zeros);
  t.TextPut(1, "01.02.2003");
  EXPECT_NE(bytes(), zeros);
  t.NumberPut(1, 0);
  EXPECT_EQ(bytes(), zeros);
  t.Append();
  t.GetRecord(1);
  EXPECT_EQ(bytes(), zeros);
  EXPECT_EQ(t.NumberGet(1), 0);
  EXPECT_EQ(t.DisplayText(1), "");
  const std::int32_t oldBlank[2] = {1721425, 0};
  std::memcpy(t.RecordBuffer() + t.FieldOffset(1), oldBlank, 8);
  EXPECT_EQ(t.NumberGet(1), 0);
  EXPECT_EQ(t.DisplayText(1), "");
}

// Every field type of version 0x30, through the builder and the engine and back.
TEST(TablesField30, EveryTypeRoundTrips) {
  TempDir dir;
  AnsiString name = dir.Path() + "/all.dbf";
  CreateDbfTable(name, 0x30,
                 {{"C", 'C', 6}, {"D", 'D'}, {"F", 'F', 9, 3}, {"L", 'L'}, {"M", 'M'}, {"N", 'N', 7, 2},
                  {"B", 'B'}, {"G", 'G'}, {"I", 'I'}, {"T", 'T'}, {"Y", 'Y'}});
  const double stamp = (2460000.0 - 1721425) * 86400000.0 + 45296000;  // 12:34:56
  {
    DBO_dBaseFld t(name, false, true);
    EXPECT_TRUE(t.HasMemoFile());
    t.BlankRecord();
    // Raw numbers hold zeros, not blanks, in a blank record.
    EXPECT_EQ(t.NumberGet(9), 0);
    EXPECT_EQ(t.DisplayText(5), "---memo---");
    EXPECT_EQ(t.DisplayText(10), "");
    t.FieldPut(1, "text");
    t.DatePut(2, 2460000);
    t.NumberPut(3, -1.5);
    t.LogicPut(4, true);
    ASSERT_TRUE(t.MemoWrite(5, "memo text", 9));
    t.NumberPut(6, 12.345);
    ASSERT_TRUE(t.MemoWrite(7, "\x01\x02\x03", 3));
    ASSERT_TRUE(t.MemoWrite(8, "ole", 3));
    t.NumberPut(9, -123456);
    t.NumberPut(10, stamp);
    t.NumberPut(11, 12.3456);
    t.Append();
    t.BlankRecord();
    t.TextPut(9, "42");
    t.TextPut(11, "-0.5");
    t.TextPut(10, "01.02.2003 04:05:06");
    t.Append();
  }
  DBO_dBaseFld t(name, false, false);
  t.GetRecord(1);
  EXPECT_EQ(t.FieldGet(1), "text  ");
  EXPECT_EQ(t.DateGet(2), 2460000);
  EXPECT_EQ(t.NumberGet(3), -1.5);
  EXPECT_TRUE(t.LogicGet(4));
  EXPECT_EQ(t.MemoRead(5), "memo text");
  EXPECT_EQ(t.DisplayText(5), "---MEMO---");
  EXPECT_EQ(t.NumberGet(6), 12.35);
  EXPECT_EQ(t.MemoRead(7), "\x01\x02\x03");
  EXPECT_EQ(t.DisplayText(7), "--BINARY--");
  EXPECT_EQ(t.MemoRead(8), "ole");
  EXPECT_EQ(t.DisplayText(8), "-GENERAL--");
  EXPECT_EQ(t.NumberGet(9), -123456);
  EXPECT_EQ(t.DisplayText(9), "-123456");
  EXPECT_EQ(t.NumberGet(10), stamp);
  EXPECT_EQ(t.DisplayText(10), "24.02.2023 12:34:56");
  EXPECT_EQ(t.NumberGet(11), 12.3456);
  EXPECT_EQ(t.DisplayText(11), "12.3456");
  // The raw bytes are the little-endian numbers of the format.
  const char* rec = t.RecordBuffer();
  std::int32_t i;
  std::memcpy(&i, rec + t.FieldOffset(9), 4);
  EXPECT_EQ(i, -123456);
  std::int64_t y;
  std::memcpy(&y, rec + t.FieldOffset(11), 8);
  EXPECT_EQ(y, 123456);
  t.GetRecord(2);
  EXPECT_EQ(t.NumberGet(9), 42);
  EXPECT_EQ(t.NumberGet(11), -0.5);
  EXPECT_EQ(t.DisplayText(10), "01.02.2003 04:05:06");
  EXPECT_EQ(t.DisplayText(5), "---memo---");
  EXPECT_EQ(t.MemoRead(5), "");
  // Julian parts of four blanks read as day 0 of the date-time scale.
  std::memcpy(t.RecordBuffer() + t.FieldOffset(10), "        ", 8);
  EXPECT_EQ(t.NumberGet(10), (2415019.0 - 1721425) * 86400000.0);
  EXPECT_THROW(t.NumberPut(9, 3e10), ERangeError);
}

}  // namespace
