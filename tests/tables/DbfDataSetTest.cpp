// The dataset over dBase tables: field mapping, empty dates, Locate and Lookup with
// their options and translation, deleting the last visible record, record counts,
// bookmarks, filters with Cyrillic literals, record locks, memo streams, aliases.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "DataSetFixtures.h"
#include "TablesTestSupport.h"
#include "platform/core/Files.h"
#include "platform/core/SysDirs.h"
#include "tables/DbfDB.h"
#include "tables/db_cdx.h"
#include "tables/db_eror.h"

namespace {

using dataset_test::Cell;
using dataset_test::MakeTable;
using dataset_test::Row;

std::string DbMessage(const std::function<void()>& f) {
  try {
    f();
  } catch (const EDatabaseError& e) {
    return e.Message();
  }
  return "<no EDatabaseError>";
}

class DbfDataSet : public ::testing::Test {
 protected:
  AnsiString Dir() const { return tmp_.Path() + "/"; }
  void Bind(TDbfDataSet& ds, const char* table) {
    ds.SetDatabaseName(tmp_.Path());
    ds.SetTableName(table);
  }
  // NAME C(10), CODE N(5,0): abcdef, ABCxyz, xabc, a?c, Гречка, ГРЕЧКА-2 (a deleted 6), tail.
  void MakeNames() {
    MakeTable(Dir() + "names.dbf", {{"NAME", 'C', 10}, {"CODE", 'N', 5}},
              {{{"abcdef", 1}},
               {{"ABCxyz", 2}},
               {{"xabc", 3}},
               {{"aXc", 4}},
               {{"Гречка", 5}},
               {{"abc", 6}, true},
               {{"ГРЕЧКА-2", 7}},
               {{"tail", 8}}});
  }
  std::vector<std::int32_t> Codes(TDataSet& ds) {
    std::vector<std::int32_t> codes;
    for (ds.First(); !ds.Eof(); ds.Next()) codes.push_back(ds.FieldByName("CODE").AsInteger());
    return codes;
  }
  TempDir tmp_;
};

TEST_F(DbfDataSet, FieldMappingByTypeLengthAndDecimals) {
  MakeTable(Dir() + "types.dbf",
            {{"S", 'N', 4},
             {"I5", 'N', 5},
             {"I10", 'N', 10},
             {"F", 'N', 8, 2},
             {"FF", 'F', 3},
             {"C", 'C', 12},
             {"D", 'D'},
             {"L", 'L'},
             {"M", 'M'}},
            {{{-999, 99999, 2147483647.0, 12.25, 7, "текст", Cell::Raw("20240229"), Cell::Raw("T")}},
             {{1, 2, 3000000000.0, 0, 0, "", Cell::Raw("        "), Cell::Raw("F")}}},
            0x83);
  TDbfDataSet ds;
  Bind(ds, "types");
  ds.Open();
  const std::vector<std::pair<const char*, TFieldType>> expected = {
      {"S", TFieldType::ftSmallint}, {"I5", TFieldType::ftInteger},  {"I10", TFieldType::ftInteger},
      {"F", TFieldType::ftFloat},    {"FF", TFieldType::ftSmallint}, {"C", TFieldType::ftString},
      {"D", TFieldType::ftDate},     {"L", TFieldType::ftBoolean},   {"M", TFieldType::ftMemo}};
  ASSERT_EQ(ds.FieldCount(), static_cast<int>(expected.size()));
  for (const auto& [name, type] : expected) EXPECT_EQ(ds.FieldByName(name).DataType(), type) << name;
  EXPECT_EQ(ds.FieldByName("C").Size(), 12);

  EXPECT_EQ(ds.FieldByName("S").AsInteger(), -999);
  EXPECT_EQ(ds.FieldByName("S").Value().VarType(), varInteger);
  EXPECT_EQ(ds.FieldByName("I5").AsInteger(), 99999);
  EXPECT_EQ(ds.FieldByName("I10").AsInteger(), 2147483647);
  EXPECT_DOUBLE_EQ(ds.FieldByName("F").AsFloat(), 12.25);
  EXPECT_EQ(ds.FieldByName("F").AsString(), "12.25");
  EXPECT_EQ(ds.FieldByName("C").AsString(), Ansi("текст"));
  EXPECT_EQ(ds.FieldByName("D").AsString(), "29.02.2024");
  EXPECT_TRUE(ds.FieldByName("L").AsBoolean());
  EXPECT_TRUE(ds.FieldByName("M").IsNull());
  ds.Next();
  // Beyond 32 bits: the range error on reading.
  EXPECT_THROW(ds.FieldByName("I10").AsInteger(), ERangeError);
  EXPECT_TRUE(ds.FieldByName("C").IsNull());
  EXPECT_FALSE(ds.FieldByName("I5").IsNull());  // numbers always have a value
  EXPECT_FALSE(ds.FieldByName("L").AsBoolean());
}

TEST_F(DbfDataSet, EmptyDatesReadAsNoValueAndNoValueWritesBlanks) {
  MakeTable(Dir() + "dates.dbf", {{"D", 'D'}, {"N", 'N', 3}},
            {{{Cell::Raw("        "), 1}},
             {{Cell::Raw("00000000"), 2}},
             {{Cell::Raw("20231301"), 3}},
             {{Cell::Raw("19991231"), 4}}});
  TDbfDataSet ds;
  Bind(ds, "dates");
  ds.Open();
  std::vector<bool> nulls;
  for (ds.First(); !ds.Eof(); ds.Next()) nulls.push_back(ds.FieldByName("D").IsNull());
  EXPECT_EQ(nulls, (std::vector<bool>{true, true, true, false}));
  EXPECT_EQ(ds.FieldByName("D").AsString(), "31.12.1999");
  ds.Edit();
  ds.FieldByName("D").Clear();
  ds.Post();
  EXPECT_EQ(ds.Handler()->FieldGet(1), "        ");
  ds.Edit();
  ds.FieldByName("D").SetAsString("05.06.2007");
  ds.Post();
  ds.First();
  ds.Last();
  EXPECT_EQ(ds.FieldByName("D").AsString(), "05.06.2007");
  EXPECT_EQ(ds.Handler()->FieldGet(1), "20070605");
  // A date-time that is no calendar day stores 8 blanks.
  for (double v : {1e300, -1e300, 1e19, 3e6, std::numeric_limits<double>::quiet_NaN(),
                   std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(v);
    ds.Edit();
    ds.FieldByName("D").SetAsDateTime(v);
    ds.Post();
    EXPECT_EQ(ds.Handler()->FieldGet(1), "        ");
  }
}

TEST_F(DbfDataSet, LocateOptions) {
  MakeNames();
  struct Case {
    const char* field;
    const char* key;  // UTF-8
    TLocateOptions options;
    std::int32_t code;  // 0: not found
  };
  const Case cases[] = {
      {"NAME", "abc", 0, 0},  // exact: the whole field
      {"NAME", "abcdef", 0, 1},
      {"NAME", "abc", loPartialKey, 1},  // the field begins with the key
      {"NAME", "ABC", loPartialKey, 2},
      {"NAME", "ABC", loPartialKey | loCaseInsensitive, 1},
      {"NAME", "abcx", loPartialKey | loCaseInsensitive, 2},
      {"NAME", "a?c", loPartialKey, 1},  // "?" matches any one character
      {"NAME", "aX", loPartialKey, 4},
      {"NAME", "Гречка", 0, 5},                    // the key is translated to 866
      {"NAME", "гречка-2", loCaseInsensitive, 7},  // folded in 866
      {"NAME", "ГРЕЧ", loPartialKey | loCaseInsensitive, 5},
      {"CODE", "3", 0, 3},
      {"CODE", "6", 0, 0},       // deleted records are not found
      {"NOSUCH", "tail", 0, 8},  // every field is searched
      {"NOSUCH", "4", 0, 4},
  };
  TDbfDataSet ds;
  Bind(ds, "names");
  ds.Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.key);
    ds.First();
    ds.Next();  // on code 2
    const bool found = ds.Locate(c.field, Variant(Ansi(c.key)), c.options);
    EXPECT_EQ(found, c.code != 0);
    EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), found ? c.code : 2);
  }
  ds.First();
  EXPECT_EQ(ds.Lookup("CODE", Variant(5), "NAME").AsString(), Ansi("Гречка"));  // translated back
  EXPECT_EQ(ds.Lookup("NAME", Variant(Ansi("x?bc")), "CODE").AsString(), "3");
  EXPECT_TRUE(ds.Lookup("CODE", Variant(6), "NAME").IsNull());
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 1);  // a lookup does not move
  ds.Next();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 2);

  // A filter hides records from the search as well.
  ds.SetFilter("CODE>4");
  ds.SetFilteredOn(true);
  EXPECT_FALSE(ds.Locate("CODE", Variant(3), 0));
  EXPECT_TRUE(ds.Locate("NAME", Variant("tail"), 0));
}

TEST_F(DbfDataSet, EmptyTableSearchesAndEdges) {
  MakeTable(Dir() + "empty.dbf", {{"NAME", 'C', 10}, {"CODE", 'N', 5}}, {});
  TDbfDataSet ds;
  Bind(ds, "empty");
  ds.Open();
  EXPECT_TRUE(ds.Bof() && ds.Eof());
  EXPECT_FALSE(ds.Locate("CODE", Variant(1), 0));
  EXPECT_TRUE(ds.Lookup("CODE", Variant(1), "NAME").IsNull());
  EXPECT_EQ(ds.RecNo(), 0);
  EXPECT_EQ(DbMessage([&] { ds.Delete(); }), "Cannot perform this operation on an empty dataset");
  ds.Append();
  ds.FieldByName("CODE").SetAsInteger(5);
  ds.Post();
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(ds.RecordCount(), 1);
  // Packing needs the table to itself.
  EXPECT_THROW(ds.Pack(), EDbfError);
  EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_F(DbfDataSet, DeletingTheLastVisibleRecordLeavesTheNewLast) {
  MakeTable(Dir() + "del.dbf", {{"CODE", 'N', 5}}, {{{1}}, {{2}}, {{3}, true}, {{4}}, {{5}, true}, {{6}}});
  TDbfDataSet ds;
  Bind(ds, "del");
  ds.Open();
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{1, 2, 4, 6}));
  ds.Last();
  ds.Delete();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 4);
  EXPECT_FALSE(ds.Eof());
  ds.Next();
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 4);
  ds.First();
  ds.Delete();  // the first: on to the next
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 2);
  ds.Delete();
  ds.Delete();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.Bof() && ds.Eof());

  // Shown deleted records stay; RecallRecord takes a deletion back.
  ds.SetUseDeleted(true);
  ds.First();
  EXPECT_EQ(Codes(ds).size(), 6u);
  ds.First();
  ds.RecallRecord();
  ds.SetUseDeleted(false);
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{1}));
}

TEST_F(DbfDataSet, RecordCountWithAndWithoutExactCount) {
  MakeTable(Dir() + "cnt.dbf", {{"CODE", 'N', 5}},
            {{{1}}, {{2}, true}, {{3}}, {{4}}, {{5}}, {{6}, true}, {{7}}});
  TDbfDataSet ds;
  Bind(ds, "cnt");
  ds.Open();
  ds.SetFilter("CODE<>4");
  ds.SetFilteredOn(true);
  ds.Next();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 3);
  EXPECT_EQ(ds.RecordCount(), 7);
  ds.ExactCount = true;
  EXPECT_EQ(ds.RecordCount(), static_cast<std::int64_t>(Codes(ds).size()));
  EXPECT_EQ(ds.RecordCount(), 4);
  // Counting leaves the dataset where it was.
  ds.First();
  ds.Next();
  EXPECT_EQ(ds.RecordCount(), 4);
  ds.Next();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 5);
  EXPECT_EQ(ds.RecNo(), 5);  // the physical record number
  ds.Close();
  EXPECT_EQ(DbMessage([&] { ds.RecordCount(); }), "Cannot perform this operation on a closed dataset");
}

TEST_F(DbfDataSet, BookmarksOrderAndBadBookmarks) {
  std::vector<Row> rows;
  for (int i = 1; i <= 12; ++i) rows.push_back({{i}});
  MakeTable(Dir() + "bm.dbf", {{"CODE", 'N', 5}}, rows);
  TDbfDataSet ds;
  Bind(ds, "bm");
  ds.Open();
  ds.SetRecNo(9);
  const TBookmark b9 = ds.GetBookmark();
  ds.Next();
  const TBookmark b10 = ds.GetBookmark();
  EXPECT_EQ(b10, "        10");
  EXPECT_EQ(ds.CompareBookmarks(b9, b10), -1);
  EXPECT_EQ(ds.CompareBookmarks(b10, b9), 1);
  EXPECT_EQ(ds.CompareBookmarks("", b9), -1);
  ds.GotoBookmark(b9);
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 9);
  for (const char* bad : {"garbage", "        13", "         0", "       -1"})
    EXPECT_EQ(DbMessage([&] { ds.GotoBookmark(bad); }), "Bookmark is invalid for table bm.DBF") << bad;
  EXPECT_FALSE(ds.BookmarkValid("        99"));
  EXPECT_TRUE(ds.BookmarkValid(b10));
  ds.Next();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 10);
}

TEST_F(DbfDataSet, FiltersWithCyrillicLiteralsAndTheFilterEvent) {
  MakeNames();
  TDbfDataSet ds;
  Bind(ds, "names");
  ds.SetFilter(Ansi("NAME='Гречка'"));
  ds.SetFilteredOn(true);  // set before opening: applied when the table opens
  ds.Open();
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{5}));
  ds.SetFilter(Ansi("NAME='гречка-2'"));
  EXPECT_TRUE(Codes(ds).empty());
  EXPECT_TRUE(ds.Bof() && ds.Eof());
  ds.SetFilterOptionsValue(foCaseInsensitive);  // folded in 866
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{7}));
  ds.SetFilter(Ansi("UPPER(NAME)='ГРЕЧКА' .OR. CODE=7 .OR. CODE=3"));
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{3, 5, 7}));
  ds.OnFilterRecord = [](TDataSet& d, bool& accept) {
    EXPECT_EQ(d.State(), TDataSetState::dsFilter);
    accept = d.FieldByName("CODE").AsInteger() != 7;
  };
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{3, 5}));
  ds.SetFilter("");
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 8}));
  ds.SetFilteredOn(false);
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 7, 8}));
  ds.SetFilter("NAME");  // not a logical expression: refused when it is applied
  EXPECT_THROW(ds.SetFilteredOn(true), EDbfError);
  EXPECT_FALSE(ds.Filtered());
  EXPECT_EQ(Codes(ds).size(), 7u);

  // A new filter text that is refused leaves the old filter in force, as the dataset says.
  ds.SetFilter("CODE = 3 .OR. CODE = 8");
  ds.SetFilteredOn(true);
  ASSERT_EQ(Codes(ds), (std::vector<std::int32_t>{3, 8}));
  for (const char* bad : {"CODE = ", "NAME", "CODE = 'A'"}) {
    SCOPED_TRACE(bad);
    EXPECT_ANY_THROW(ds.SetFilter(bad));
    EXPECT_EQ(ds.Filter(), "CODE = 3 .OR. CODE = 8");
    EXPECT_TRUE(ds.Filtered());
    EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{3, 8}));
  }
  ds.SetFilteredOn(false);

  // Without translation the table's bytes are compared as they are.
  TDbfDataSet raw;
  Bind(raw, "names");
  raw.TranslateASCII = false;
  raw.Open();
  EXPECT_FALSE(raw.Locate("NAME", Variant(Ansi("Гречка")), 0));
  EXPECT_TRUE(raw.Locate("NAME", Variant(cp::AnsiToOem(Ansi("Гречка"))), 0));
  EXPECT_EQ(raw.FieldByName("NAME").AsString(), cp::AnsiToOem(Ansi("Гречка")));
}

TEST_F(DbfDataSet, EditingLocksTheRecord) {
  MakeNames();
  TDbfDataSet a, b;
  Bind(a, "names");
  Bind(b, "names");
  a.Open();
  b.Open();
  a.Next();
  b.Next();
  a.Edit();
  a.FieldByName("NAME").SetAsString(Ansi("Пшено"));
  EXPECT_EQ(DbMessage([&] { b.Edit(); }), "Record is locked by another user");
  EXPECT_EQ(b.State(), TDataSetState::dsBrowse);
  a.Post();
  b.Edit();  // free again
  b.Cancel();
  b.Refresh();
  EXPECT_EQ(b.FieldByName("NAME").AsString(), Ansi("Пшено"));
  EXPECT_EQ(tables_test::ReadBytes(tmp_.SysPath() + "/names.dbf").find(cp::AnsiToOem(Ansi("Пшено"))) !=
                std::string::npos,
            true);
  // A read-only dataset refuses to edit.
  TDbfDataSet ro;
  Bind(ro, "names");
  ro.SetReadOnly(true);
  ro.Open();
  EXPECT_EQ(DbMessage([&] { ro.Edit(); }), "Cannot modify a read-only dataset");
  EXPECT_EQ(DbMessage([&] { ro.FieldByName("CODE").SetAsInteger(1); }), "Dataset not in edit or insert mode");
}

// A record that another user is editing can be neither deleted nor recalled: the other
// user's post would write the old deletion flag back, and the delete or recall be lost.
TEST_F(DbfDataSet, DeletingOrRecallingARecordAnotherUserEditsIsRefused) {
  MakeNames();
  TDbfDataSet a, b;
  Bind(a, "names");
  Bind(b, "names");
  b.SetUseDeleted(true);
  a.Open();
  b.Open();
  a.Next();
  b.Next();
  a.Edit();
  a.FieldByName("CODE").SetAsInteger(20);
  EXPECT_EQ(DbMessage([&] { b.Delete(); }), "Record is locked by another user");
  a.Post();
  DBO_dBaseFld t(Dir() + "names.dbf", true, false);
  t.GetRecord(2);
  EXPECT_FALSE(t.IsDeleted());
  EXPECT_EQ(t.NumberGet(2), 20);

  b.First();
  b.Next();
  b.Delete();  // free again
  t.GetRecord(2);
  EXPECT_TRUE(t.IsDeleted());
  b.First();
  b.Next();
  ASSERT_EQ(b.FieldByName("CODE").AsInteger(), 20);
  a.Close();
  a.SetUseDeleted(true);
  a.Open();
  a.Next();
  a.Edit();
  EXPECT_EQ(DbMessage([&] { b.RecallRecord(); }), "Record is locked by another user");
  a.Cancel();
  b.RecallRecord();
  t.GetRecord(2);
  EXPECT_FALSE(t.IsDeleted());
  EXPECT_EQ(t.NumberGet(2), 20);
}

// Two datasets of the process on one table share its descriptor: a pack by one would
// leave the other on the old file, and its writes would be lost. The pack is refused while
// the table is open twice, and goes once it is open alone.
TEST_F(DbfDataSet, PackIsRefusedWhileTheTableIsOpenTwiceInTheProcess) {
  MakeNames();
  TDbfDataSet a, b;
  for (TDbfDataSet* ds : {&a, &b}) {
    Bind(*ds, "names");
    ds->Exclusive = true;
    ds->Open();
  }
  EXPECT_EQ(tables_test::Message([&] { a.Pack(); }),
            Ansi("Таблицу нельзя сжать, пока она открыта в программе ещё раз: ") + a.Handler()->FileName());
  EXPECT_EQ(a.RecordCount(), 8);
  b.First();
  b.Edit();
  b.FieldByName("CODE").SetAsInteger(99);
  b.Post();
  // An append of one goes after the other's, never over it.
  b.Append();
  b.FieldByName("CODE").SetAsInteger(70);
  b.Post();
  a.Append();
  a.FieldByName("CODE").SetAsInteger(71);
  a.Post();
  b.Close();
  a.Pack();
  const std::vector<std::int32_t> all{99, 2, 3, 4, 5, 7, 8, 70, 71};
  EXPECT_EQ(Codes(a), all);
  a.Close();
  a.Exclusive = false;
  a.Open();
  EXPECT_EQ(a.RecordCount(), 9);
  EXPECT_EQ(Codes(a), all);
}

// A memo emptied through the dataset is an empty memo in every memo form, as the program
// and other programs read it, not a memo of one zero byte.
TEST_F(DbfDataSet, AnEmptiedMemoIsEmpty) {
  for (std::uint8_t version : {std::uint8_t{0x83}, std::uint8_t{0x8B}, std::uint8_t{0xF5}}) {
    SCOPED_TRACE(version);
    MakeTable(Dir() + "memo.dbf", {{"CODE", 'N', 5}, {"NOTE", 'M'}}, {{{1}}}, version);
    {
      TDbfDataSet ds;
      Bind(ds, "memo");
      ds.Open();
      TField& note = ds.FieldByName("NOTE");
      ds.Edit();
      note.SetAsString("text");
      ds.Post();
      ds.Edit();
      note.SetAsString("");
      ds.Post();
      EXPECT_EQ(note.AsString(), "");
      ds.Edit();
      { auto emptied = ds.CreateBlobStream(note, TBlobStreamMode::bmWrite); }
      ds.Post();
      EXPECT_EQ(note.AsString(), "");
    }
    DBO_dBaseFld t(Dir() + "memo.dbf", false, false);
    t.GetRecord(1);
    EXPECT_EQ(t.MemoSize(2), 0);
    EXPECT_EQ(t.MemoRead(2), "");
    for (const char* file : {"/memo.dbf", "/memo.dbt", "/memo.fpt"}) std::remove((tmp_.SysPath() + file).c_str());
  }
}

// A memo written in an edit goes to blocks of its own: a cancelled edit leaves the memo the
// record had, in every memo form, also when the memo was read first (which would let a
// text that fits be written over the old one) and after a post that failed. A post frees
// the old memo where the form reuses blocks: the next memo of its size takes them.
TEST_F(DbfDataSet, ACancelledEditLeavesTheMemoAsItWas) {
  struct Case {
    std::uint8_t version;
    bool read, failedPost, cancel;
  };
  for (const Case c : {Case{0x83, true, false, true}, Case{0x8B, false, false, true}, Case{0x8B, true, true, true},
                       Case{0xF5, true, false, true}, Case{0x8B, true, false, false}}) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.version) << c.read << c.failedPost << c.cancel);
    MakeTable(Dir() + "memo.dbf", {{"CODE", 'N', 5}, {"NOTE", 'M'}}, {{{1}}}, c.version);
    std::uint32_t oldBlock = 0;
    {
      TDbfDataSet ds;
      Bind(ds, "memo");
      ds.Open();
      TField& note = ds.FieldByName("NOTE");
      ds.Edit();
      note.SetAsString("the original memo");
      ds.Post();
      oldBlock = static_cast<std::uint32_t>(ds.Handler()->NumberGet(2));
      ds.Edit();
      if (c.read) {
        EXPECT_EQ(note.AsString(), "the original memo");
      }
      note.SetAsString("changed");
      if (c.failedPost) {
        tables_test::DiskFullAt full(1);  // every write of the record refused
        EXPECT_EQ(tables_test::Message([&] { ds.Post(); }), "Disk is full - " + Dir() + "memo.dbf");
        EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
      }
      if (c.cancel) {
        ds.Cancel();
        EXPECT_EQ(note.AsString(), "the original memo");
      } else {
        ds.Post();
        EXPECT_EQ(note.AsString(), "changed");
      }
    }
    DBO_dBaseFld t(Dir() + "memo.dbf", false, true);
    t.GetRecord(1);
    EXPECT_EQ(t.MemoRead(2), c.cancel ? "the original memo" : "changed");
    if (!c.cancel) {
      // The dBase IV form keeps a free chain: a new memo takes the original's blocks.
      t.NumberPut(2, 0);
      t.MemoWrite(2, "another memo", 12);
      EXPECT_EQ(t.NumberGet(2), oldBlock);
    }
    for (const char* file : {"/memo.dbf", "/memo.dbt", "/memo.fpt"}) std::remove((tmp_.SysPath() + file).c_str());
  }
}

TEST_F(DbfDataSet, MemoStreamReadsWritesClampsAndFillsGaps) {
  MakeTable(Dir() + "memo.dbf", {{"CODE", 'N', 5}, {"NOTE", 'M'}}, {{{1}}, {{2}}}, 0x83);
  TDbfDataSet ds;
  Bind(ds, "memo");
  ds.Open();
  TField& note = ds.FieldByName("NOTE");
  EXPECT_TRUE(note.IsNull());
  EXPECT_EQ(DbMessage([&] { ds.CreateBlobStream(note, TBlobStreamMode::bmWrite); }),
            "Dataset not in edit or insert mode");
  ds.Edit();
  note.SetAsString(Ansi("Варить 20 минут"));
  ds.Post();
  EXPECT_EQ(note.AsString(), Ansi("Варить 20 минут"));
  EXPECT_FALSE(note.IsNull());
  {
    auto s = ds.CreateBlobStream(note, TBlobStreamMode::bmRead);
    char buf[6] = {};
    EXPECT_EQ(s->Seek(-5, TSeekOrigin::soBeginning), 0);  // clamped at the start
    EXPECT_EQ(s->Read(buf, 6), 6);
    EXPECT_EQ(AnsiString(buf, 6), Ansi("Варить"));
    EXPECT_EQ(s->Seek(100, TSeekOrigin::soBeginning), 100);
    EXPECT_EQ(s->Read(buf, 6), 0);
  }
  ds.Edit();
  {
    auto s = ds.CreateBlobStream(note, TBlobStreamMode::bmReadWrite);
    s->Seek(2, TSeekOrigin::soEnd);  // two bytes past the end: a gap of zero bytes
    s->Write("!", 1);
    EXPECT_EQ(s->Size(), static_cast<std::int64_t>(Ansi("Варить 20 минут").size()) + 3);
    s->Seek(6, TSeekOrigin::soBeginning);
    s->Write("", 0);  // nothing
    EXPECT_EQ(s->Size(), static_cast<std::int64_t>(Ansi("Варить 20 минут").size()) + 3);
  }
  ds.Post();
  AnsiString expected = Ansi("Варить 20 минут");
  expected += std::string("\0\0!", 3);
  EXPECT_EQ(note.AsString(), expected);
  ds.Next();
  EXPECT_TRUE(note.IsNull());
  ds.Close();
  // Stored in 866.
  const std::string memo = tables_test::ReadBytes(tmp_.SysPath() + "/memo.dbt");
  EXPECT_NE(memo.find(cp::AnsiToOem(Ansi("Варить"))), std::string::npos);
}

TEST_F(DbfDataSet, DirectoriesAliasesAndOpenErrors) {
  MakeNames();
  TDbfDataSet ds;
  EXPECT_EQ(DbMessage([&] { ds.Open(); }), "Table name missing");
  ds.SetDatabaseName(tmp_.Path() + "\\");
  EXPECT_EQ(ds.TableDirectory(), tmp_.Path() + "/");
  ds.SetTableName("missing");
  EXPECT_EQ(DbMessage([&] { ds.Open(); }), "Cannot find file " + tmp_.Path() + "/missing.DBF");
  EXPECT_FALSE(ds.Active());
  ds.SetTableName("NAMES");  // found without regard to case
  ds.Open();
  EXPECT_EQ(DbMessage([&] { ds.SetTableName("x"); }), "Cannot perform this operation on an open dataset");
  ds.Close();

  // Aliases from dbtables.cfg in the configuration directory.
  TempDir config;
  ForceDirectories(config.Path() + "/tarnwick");
  tables_test::WriteBytes(config.SysPath() + "/tarnwick/dbtables.cfg",
                          "[Alias]\r\nrefs=" + tmp_.SysPath() + "\\\r\nOther=/nowhere\r\n");
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", config.SysPath().c_str(), 1);
  ReloadDbfAliases();
  ASSERT_EQ(DbfAliases().Count(), 3);
  EXPECT_EQ(DbfAliases()[0], "Default Directory");
  EXPECT_EQ(DbfAliases()[1], "REFS=" + tmp_.Path());
  TDbfDataSet aliased;
  aliased.SetDatabaseName("Refs");
  aliased.SetTableName("names");
  EXPECT_EQ(aliased.TableDirectory(), tmp_.Path() + "/");
  aliased.Open();
  EXPECT_EQ(aliased.FieldByName("CODE").AsInteger(), 1);
  aliased.Close();
  aliased.SetDatabaseName("DEFAULT directory");
  EXPECT_EQ(aliased.TableDirectory(), ProgramDirectory());
  if (old)
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
  ReloadDbfAliases();
  EXPECT_EQ(DbfAliases().Count(), 1);
  EXPECT_STREQ(TDbfDataSet::About(), "Table Engine Version 06.04.01");
}

}  // namespace

// Two users of one table: what the other process posted is read from the file, by the
// next walk and by an edit, and an edit never writes the other user's field back.
class DbfDataSetShared : public DbfDataSet {
 protected:
  void SetUp() override { MakeNames(); }
  std::string SysNames() const { return tmp_.SysPath() + "/names.dbf"; }
  int OtherPuts(int record, int field, const char* text) {
    return tables_test::RunHelper({"put", SysNames(), std::to_string(record), std::to_string(field), text});
  }
};

TEST_F(DbfDataSetShared, OtherUsersPostIsSeenByTheNextWalk) {
  TDbfDataSet a;
  Bind(a, "names");
  a.Open();
  EXPECT_EQ(Codes(a), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 7, 8}));
  a.First();
  ASSERT_EQ(OtherPuts(1, 2, "41"), 0);
  ASSERT_EQ(OtherPuts(3, 2, "43"), 0);
  a.Next();
  EXPECT_EQ(a.FieldByName("CODE").AsInteger(), 2);
  a.Next();
  EXPECT_EQ(a.FieldByName("CODE").AsInteger(), 43);  // read from the file, not from a buffer
  EXPECT_EQ(Codes(a), (std::vector<std::int32_t>{41, 2, 43, 4, 5, 7, 8}));
}

TEST_F(DbfDataSetShared, AnEditKeepsTheOtherUsersChangeOfAnotherField) {
  TDbfDataSet a;
  Bind(a, "names");
  a.Open();
  a.First();
  a.Next();  // record 2, read before the other user's change
  ASSERT_EQ(OtherPuts(2, 1, "theirs"), 0);
  a.Edit();
  EXPECT_EQ(a.FieldByName("NAME").AsString(), "theirs");
  a.FieldByName("CODE").SetAsInteger(22);
  a.Post();
  a.Close();
  DBO_dBaseFld t(Dir() + "names.dbf", false, false);
  t.GetRecord(2);
  EXPECT_EQ(TrimRight(t.FieldGet(1)), "theirs");
  EXPECT_EQ(t.NumberGet(2), 22);
}

// A post that fails (the index held by another process) leaves the dataset in edit with
// the record still locked: another user who changed the record meanwhile would lose the
// change to the post tried again. The lock goes with a post that succeeds or a cancel.
TEST_F(DbfDataSetShared, AFailedPostKeepsTheRecordLocked) {
  {
    DBO_dBHandler h(Dir() + "names.dbf", false, true);
    DBobjCDXFile index(&h, "names.cdx", true, true);
    index.AddTag("CODE", "CODE", "", false, false);
  }
  const std::string index = tmp_.SysPath() + "/NAMES.CDX";
  ASSERT_TRUE(std::filesystem::exists(index));
  const TdbLockTiming timing = LockTiming();
  LockTiming().timeoutMs = 100;
  struct Restore {
    TdbLockTiming t;
    ~Restore() { LockTiming() = t; }
  } restore{timing};
  auto otherPuts555 = [&] { return tables_test::RunHelper({"indexput", SysNames(), index, "1", "2", "555"}); };
  struct Case {
    bool cancel;
    int code;  // of record 1 once the edit ended
  };
  for (const Case c : {Case{false, 7}, Case{true, 1}}) {
    SCOPED_TRACE(c.cancel ? "cancelled" : "posted again");
    {
      TDbfDataSet a;
      Bind(a, "names");
      a.IndexFiles().Add("names.cdx");
      a.Open();
      a.First();
      ASSERT_EQ(a.RecNo(), 1);
      a.Edit();
      a.FieldByName("CODE").SetAsInteger(7);
      {
        tables_test::HeldByOtherProcess held({"S", index, "2147483645", "1"});
        ASSERT_TRUE(held.Ready());
        EXPECT_NE(tables_test::Message([&] { a.Post(); }).find("Error 33 in Lock of"), std::string::npos);
        EXPECT_EQ(a.State(), TDataSetState::dsEdit);
      }
      EXPECT_EQ(otherPuts555(), dbe::LockViolation);
      if (c.cancel)
        a.Cancel();
      else
        a.Post();
      DBO_dBaseFld t(Dir() + "names.dbf", true, false);
      t.GetRecord(1);
      EXPECT_EQ(t.NumberGet(2), c.code);
      EXPECT_EQ(otherPuts555(), 0);  // free again
      t.GetRecord(1);
      EXPECT_EQ(t.NumberGet(2), 555);
    }
    ASSERT_EQ(tables_test::RunHelper({"indexput", SysNames(), index, "1", "2", "1"}), 0);
  }
}

TEST_F(DbfDataSetShared, ReadAheadOnlyWhereNobodyElseWrites) {
  struct Case {
    bool exclusive, readOnly, readAhead;
  };
  for (const Case c : {Case{false, false, false}, Case{true, false, true}, Case{false, true, true},
                       Case{true, true, true}}) {
    TDbfDataSet ds;
    Bind(ds, "names");
    ds.Exclusive = c.exclusive;
    ds.SetReadOnly(c.readOnly);
    ds.Open();
    EXPECT_EQ(ds.Handler()->ReadAheadActive(), c.readAhead) << c.exclusive << c.readOnly;
  }
}

// Tables of other programs: an empty date-time of zero bytes and an empty date of
// blanks and "0" read as no value, currency fields and the double (B) fields of 0x30
// tables are number fields, and field names in the table's code page are found by their
// 1251 names.
TEST_F(DbfDataSet, BlanksAndNamesOfOtherPrograms) {
  const AnsiString price = cp::AnsiToOem(Ansi("ЦЕНА"));
  CreateDbfTable(Dir() + "other.dbf", 0x30, {{"T", 'T'}, {"Y", 'Y'}, {"D", 'D'}, {price, 'N', 6, 2}, {"B", 'B'}});
  {
    DBO_dBaseFld t(Dir() + "other.dbf", false, true);
    t.BlankRecord();
    t.NumberPut(2, 12.5);
    t.FieldPut(3, "       0");
    t.NumberPut(4, 3.25);
    t.NumberPut(5, 2.5);
    t.Append();
  }
  TDbfDataSet ds;
  Bind(ds, "other");
  ds.Open();
  ASSERT_EQ(ds.FieldCount(), 5);
  EXPECT_EQ(ds.FieldByName("B").DataType(), TFieldType::ftFloat);
  EXPECT_EQ(ds.FieldByName("B").AsFloat(), 2.5);
  EXPECT_EQ(ds.FieldByName("B").AsString(), "2.5");
  EXPECT_TRUE(ds.FieldByName("T").IsNull());
  EXPECT_EQ(ds.FieldByName("Y").DataType(), TFieldType::ftCurrency);
  EXPECT_EQ(ds.FieldByName("Y").AsFloat(), 12.5);
  EXPECT_TRUE(ds.FieldByName("D").IsNull());
  EXPECT_EQ(ds.FieldByName(Ansi("ЦЕНА")).AsFloat(), 3.25);
  EXPECT_TRUE(ds.Locate(Ansi("ЦЕНА"), Variant(AnsiString("3.25")), 0));
  EXPECT_EQ(ds.Lookup(Ansi("ЦЕНА"), Variant(AnsiString("3.25")), Ansi("ЦЕНА")).AsString(), "3.25");
  EXPECT_EQ(ds.Lookup(Ansi("ЦЕНА"), Variant(AnsiString("3.25")), "Y").AsString(), "12.5000");
  ds.Edit();
  ds.FieldByName("Y").SetAsFloat(-0.75);
  ds.FieldByName("T").SetAsDateTime(45000.5);
  ds.FieldByName("B").SetAsFloat(-1e-300);
  ds.Post();
  EXPECT_EQ(ds.FieldByName("B").AsFloat(), -1e-300);
  EXPECT_EQ(ds.FieldByName("Y").AsFloat(), -0.75);
  EXPECT_EQ(ds.FieldByName("T").AsDateTime(), 45000.5);
  ds.Edit();
  ds.FieldByName("T").SetValue(Variant::Null());
  ds.Post();
  EXPECT_TRUE(ds.FieldByName("T").IsNull());
}
