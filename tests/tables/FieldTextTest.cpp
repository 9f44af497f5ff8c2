// AsString of dataset fields, which the dataset makes straight from the stored bytes where
// it can: for every stored text below it must give what the conversion of the field's
// value gives (the text or the error), for numbers, dates, logicals and strings, with
// and without translation, and in every state a field is read in.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "DataSetFixtures.h"
#include "platform/core/AnsiText.h"
#include "tables/DbfDB.h"
#include "tables/db_DBF.h"
#include "test_support/TempDir.h"

namespace {

using dataset_test::Cell;
using dataset_test::MakeTable;
using dataset_test::Row;

// A column of the table and the texts stored in it, one per record (shorter texts are
// stored right-aligned in number fields, left-aligned in the others, as FieldPut does).
struct Column {
  TdbFieldDef def;
  std::vector<std::string> stored;
};

// Text in the table's code page from UTF-8.
std::string Oem(const char* utf8) { return cp::AnsiToOem(Ansi(utf8)); }

const std::vector<Column>& Columns() {
  static const std::vector<Column> columns = {
      {{"F82", 'N', 8, 2},
       {"", "    0.00", "   -0.00", "   12.50", "  -12.50", "00012.50", "   -0.05", "    .5", "  12.", "12.5    ",
        "  -.50", "********", "   1e3", "  +12.5", "  12,50", "-", "  - 12.5", "12.5.1", "\t  12.5", "  12.5\t",
        "-0", "99999.99", "-9999.99", " 0000.00", "   7", "  .", " --1", "1-", "  12 5", "1.2 ", std::string("1\0" "2", 3),
        "12\x01", "\x01" "12"}},
      {{"F2010", 'N', 20, 10},
       {"0.0001000000", "0.0000100000", "0.0000010000", "-0.0000100000", "-0.0000010000", "123456789.0123456",
        "12345.0123456789", "1234567890.1234560", "0.1000000000", "0.0000000001", "9.9999999999",
        "100000000000000", "1000000000000000", "999999999999999", "0000000000000000001", "-999999999999999",
        "123456789012.345", "0.3", "0.30000000000000004", "2.675", "1.005", "0.1234567890123"}},
      {{"F3", 'F', 12, 3}, {"   -1234.500", "        .125", "0", "  000000.000", "   1.125e2"}},
      {{"S4", 'N', 4, 0}, {"", "   0", "  -0", "-999", "9999", "0012", "12.5", "13.5", "-2.5", "  1.", " 1.0", "****", "+1",
                           "1 2", "0x10"}},
      {{"I5", 'N', 5, 0}, {"99999", "-9999", "00000", "   12", "32768", "-3276", "1.000", "2.500", "3.500", "0.5",
                           "-0.5", "  -  ", "*****"}},
      {{"I11", 'N', 11, 0}, {"2147483647", "2147483648", "-2147483648", "-2147483649", "0000000001", "1000000000",
                             "  99999999", " 214748364", "4294967296", "-000000000", "21474836.5", "-2147483647"}},
      {{"I20", 'N', 20, 0}, {"9999999999", "2147483647", "00000000000000000012", "1234567890123456", "-1", "12"}},
      // Longer than any number field the engine makes: written as C, then typed N.
      {{"N40", 'C', 40, 0},
       {std::string(38, ' ') + "12", std::string(25, ' ') + "123456", "12", std::string(29, ' ') + "-7",
        std::string(10, ' ') + "\x01" + std::string(10, ' ') + "5", std::string(16, ' ') + "\t" + std::string(8, ' ') + "3",
        std::string(8, ' ') + "1" + std::string(8, ' '), std::string(39, ' ') + "\x01", std::string(40, '\0')}},
      {{"C40", 'C', 40},
       {std::string(9, ' ') + "x", "x" + std::string(30, ' ') + "y", std::string(39, ' ') + "\x01",
        std::string("abc\0", 4) + std::string(36, ' '), std::string(16, ' ') + std::string("\0z", 2), std::string(40, 'w'),
        std::string(40, '\0'), "\x1F" + std::string(20, ' ') + "\x1F", std::string(24, ' ') + "12345678" + std::string(8, ' ')}},
      {{"D", 'D', 8},
       {"20240229", "20230229", "00000000", "        ", "       0", "2024 229", "00010101", "99991231", "18991230",
        "16000229", "19000229", "2024022", "abcdefgh", "20241301", "20240100", "20240132", "00000101", "19991231",
        "2024-1-1", "-2024010", std::string("2024\0" "101", 8), "20240101"}},
      {{"L", 'L', 1}, {"T", "t", "Y", "y", "F", "f", "N", "n", " ", "?", "1", "0", "J", "j", std::string(1, '\0')}},
      {{"C", 'C', 12},
       {"", "   ", "  lead", "trail   ", Oem("текст"), Oem("ТЕКСТ ёЁ №"), std::string("ab\0" "cd", 5), "\x01\x02", "x\ty",
        "\xB0\xB1\xB2\xDB", "\xF0\xF1\xFC\xFD\xFE\xFF", "123456789012"}},
  };
  return columns;
}

// What a read gives: its text, or the message of what it raised.
std::string Outcome(const std::function<AnsiString()>& read) {
  try {
    return "=" + read();
  } catch (const std::exception& e) {
    return std::string("!") + e.what();
  }
}

class FieldText : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<TdbFieldDef> defs;
    std::size_t records = 0;
    for (const Column& c : Columns()) {
      defs.push_back(c.def);
      records = std::max(records, c.stored.size());
    }
    std::vector<Row> rows(records);
    for (Row& r : rows)
      for (const Column& c : Columns()) r.cells.push_back(Cell::Raw(c.def.Type == 'D' ? "        " : ""));
    for (std::size_t k = 0; k < Columns().size(); ++k) {
      const Column& c = Columns()[k];
      for (std::size_t i = 0; i < c.stored.size(); ++i) rows[i].cells[k] = Cell::Raw(c.stored[i]);
    }
    const AnsiString path = tmp_.Path() + "/values.dbf";
    MakeTable(path, defs, rows);
    for (std::size_t k = 0; k < defs.size(); ++k)
      if (defs[k].Name == "N40") {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(32 + 32 * k + 11));
        f.put('N');
      }
  }

  void Open(TDbfDataSet& ds, bool translate) {
    ds.SetDatabaseName(tmp_.Path());
    ds.SetTableName("values");
    ds.TranslateASCII = translate;
    ds.SetReadOnly(true);
    ds.Open();
  }

  // Every field of the current record: AsString against the text of the field's value.
  int CompareRecord(TDbfDataSet& ds, const std::string& where) {
    int compared = 0;
    for (int i = 0; i < ds.FieldCount(); ++i) {
      TField& f = ds.Fields(i);
      const std::string direct = Outcome([&] { return f.AsString(); });
      const std::string byValue = Outcome([&] { return f.TextOfValue(f.Value()); });
      EXPECT_EQ(direct, byValue) << where << " field " << f.FieldName() << " record " << ds.RecNo();
      ++compared;
    }
    return compared;
  }

  TempDir tmp_;
};

TEST_F(FieldText, AsStringIsTheTextOfTheValueForEveryStoredText) {
  for (const bool translate : {true, false}) {
    TDbfDataSet ds;
    Open(ds, translate);
    int compared = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) compared += CompareRecord(ds, translate ? "866" : "raw");
    EXPECT_EQ(compared, ds.FieldCount() * static_cast<int>(ds.RecordCount()));
  }
}

TEST_F(FieldText, AsStringInFilterAndEditStatesIsTheTextOfTheValue) {
  TDbfDataSet ds;
  ds.SetDatabaseName(tmp_.Path());
  ds.SetTableName("values");
  int compared = 0;
  ds.OnFilterRecord = [&](TDataSet&, bool& accept) {
    compared += CompareRecord(ds, "filter");
    accept = true;
  };
  ds.SetFilteredOn(true);
  ds.Open();
  for (ds.First(); !ds.Eof(); ds.Next()) {
  }
  EXPECT_GE(compared, ds.FieldCount() * static_cast<int>(ds.RecordCount()));
  ds.SetFilteredOn(false);
  ds.First();
  ds.Edit();
  ds.FieldByName("F82").SetAsFloat(-3.5);
  ds.FieldByName("C").SetAsString(Ansi("новое"));
  ds.FieldByName("D").SetAsString("01.02.2003");
  EXPECT_EQ(ds.FieldByName("F82").AsString(), "-3.5");
  EXPECT_EQ(ds.FieldByName("C").AsString(), Ansi("новое"));
  EXPECT_EQ(ds.FieldByName("D").AsString(), "01.02.2003");
  CompareRecord(ds, "edit");
  ds.Cancel();
}

// The plain rule of the handler's display text of text and number fields: the stored
// bytes up to a zero byte without the blanks (codes up to ' ') at the end, and numbers
// without those at the start too; a blank number shows 0 with the field's decimals.
std::string PlainDisplayText(std::string stored, char type, int decimals) {
  stored = stored.substr(0, stored.find('\0'));
  while (!stored.empty() && static_cast<unsigned char>(stored.back()) <= ' ') stored.pop_back();
  if (type == 'C') return stored;
  std::size_t b = 0;
  while (b < stored.size() && static_cast<unsigned char>(stored[b]) <= ' ') ++b;
  stored.erase(0, b);
  if (stored.empty()) return decimals > 0 ? "0." + std::string(static_cast<std::size_t>(decimals), '0') : "0";
  return stored;
}

TEST_F(FieldText, HandlerDisplayTextOfTextsAndNumbersFollowsThePlainRule) {
  DBO_dBaseFld t(tmp_.Path() + "/values.dbf", false, false);
  int compared = 0;
  AnsiString reused;
  for (t.GetRecord(dbp::First); !t.Eof(); t.GetRecord(dbp::Next)) {
    for (std::int64_t n = 1; n <= t.FieldCount(); ++n) {
      const char type = t.FieldType(n);
      if (type != 'C' && type != 'N' && type != 'F') continue;
      const std::string stored(t.RecordBuffer() + t.FieldOffset(n), static_cast<std::size_t>(t.FieldLen(n)));
      const std::string expected = PlainDisplayText(stored, type, t.FieldDecimals(n));
      EXPECT_EQ(t.DisplayText(n), expected) << t.FieldName(n) << " record " << t.RecNo();
      t.DisplayTextTo(n, reused);
      EXPECT_EQ(reused, expected) << t.FieldName(n) << " record " << t.RecNo();
      ++compared;
    }
  }
  EXPECT_GT(compared, 200);
}

// A few of the texts, as the conversion of the value writes them.
TEST_F(FieldText, NumberTextsLoseTheZerosThatCarryNothing) {
  TDbfDataSet ds;
  Open(ds, true);
  const std::vector<std::tuple<int, const char*, std::string>> cases = {
      {1, "F82", "=0"},          {3, "F82", "=0"},       {6, "F82", "=12.5"},         {7, "F82", "=-0.05"},
      {8, "F82", "=0.5"},        {11, "F82", "=-0.5"},   {2, "F2010", "=0.00001"},    {3, "F2010", "=1E-6"},
      {4, "F2010", "=-0.00001"}, {3, "S4", "=0"},        {7, "S4", "=12"},            {8, "S4", "=14"},
      {7, "I5", "=1"},           {8, "I5", "=2"},        {3, "I11", "=-2147483648"},  {1, "N40", "=0"},
      {2, "N40", "=123456"},     {1, "D", "=29.02.2024"}, {2, "D", "="},              {7, "D", "=01.01.0001"},
      {5, "C", "=" + Ansi("текст")}, {4, "C", "=trail"},  {3, "C", "=  lead"}};
  for (const auto& [recNo, field, expected] : cases) {
    ds.SetRecNo(recNo);
    EXPECT_EQ(Outcome([&] { return ds.FieldByName(field).AsString(); }), expected) << field << " record " << recNo;
  }
}

}  // namespace
