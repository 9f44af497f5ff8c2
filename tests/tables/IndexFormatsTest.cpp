// Index file layouts read and written as other dBase programs do (date NDX items, long
// text keys, the MDX allocation chain and table name), the order of equal keys in
// descending sorts, navigation and look-ups within a key range, the NTX empty file, and
// text keys ordered through the table's collation.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <random>
#include <set>

#include "TablesTestSupport.h"
#include "tables/db_create.h"
#include "tables/db_dbsy.h"
#include "tables/db_mdx.h"
#include "tables/db_ndx.h"
#include "tables/db_ntx.h"
#include "tables/db_sort.h"

namespace {

using tables_test::Message;
using tables_test::ReadBytes;
using tables_test::WriteBytes;

// The record numbers met walking the master tag from first to last.
std::vector<std::int64_t> Walk(DBO_dBHandler& h) {
  std::vector<std::int64_t> out;
  for (h.GetRecord(dbp::First); !h.Eof() && !h.Bof(); h.GetRecord(dbp::Next)) {
    out.push_back(h.RecNo());
    if (out.size() > static_cast<std::size_t>(h.RecordCount())) break;
  }
  return out;
}

// The texts of field 1 met walking the master tag, trailing blanks cut.
std::vector<AnsiString> WalkTexts(DBO_dBHandler& h) {
  std::vector<AnsiString> out;
  for (std::int64_t r : Walk(h)) {
    h.GetRecord(r);
    out.push_back(TrimRight(h.FieldGet(1)));
  }
  return out;
}

void AppendText(DBO_dBHandler& h, const AnsiString& text) {
  h.BlankRecord();
  h.FieldPut(1, text);
  h.Append();
}

// One index file of one tag on `key` in each single- and multi-tag format this file tests.
struct Format {
  const char* name;
  std::function<AnsiString(DBO_dBHandler&, const AnsiString& dir, const char* key, bool unique, bool descending)> make;
};

const Format kFormats[] = {
    {"NDX",
     [](DBO_dBHandler& h, const AnsiString& dir, const char* key, bool unique, bool) {
       DBobjNDXFile f(&h, dir + "/K", true, true);
       f.AddTag(key, unique);
       return f.IndexFileName();
     }},
    {"MDX",
     [](DBO_dBHandler& h, const AnsiString& dir, const char* key, bool unique, bool descending) {
       DBobjMDXFile f(&h, dir + "/K.MDX", true, true);
       f.AddTag("K", key, "", unique, descending);
       return f.IndexFileName();
     }},
    {"NTX",
     [](DBO_dBHandler& h, const AnsiString& dir, const char* key, bool unique, bool) {
       DBobjNTXFile f(&h, dir + "/K", true, true);
       f.AddTag(key, "", unique, false);
       return f.IndexFileName();
     }},
};

void PrintTo(const Format& f, std::ostream* os) { *os << f.name; }

// --- NDX date keys ------------------------------------------------------------------------------

std::string Le(std::uint64_t v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>(v >> (8 * i));
  return s;
}

// A date NDX over field BORN written without the engine: the header and one leaf of
// `itemSize`-byte items holding the dates (julian days as doubles) in order.
std::string DateNdx(const std::vector<std::pair<std::int32_t, std::int64_t>>& keys, int itemSize) {
  std::string h(512, '\0');
  h.replace(0, 4, Le(1, 4));
  h.replace(4, 4, Le(2, 4));
  h.replace(12, 2, Le(8, 2));
  h.replace(14, 2, Le(static_cast<std::uint64_t>(504 / itemSize), 2));
  h.replace(16, 2, Le(1, 2));
  h.replace(18, 2, Le(static_cast<std::uint64_t>(itemSize), 2));
  h.replace(24, 4, "BORN");
  std::string p(512, '\0');
  p.replace(0, 4, Le(keys.size(), 4));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::size_t at = 4 + i * static_cast<std::size_t>(itemSize);
    p.replace(at + 4, 4, Le(static_cast<std::uint64_t>(keys[i].second), 4));
    p.replace(at + 8, 8, Le(std::bit_cast<std::uint64_t>(static_cast<double>(keys[i].first)), 8));
  }
  return h + p;
}

class TablesNdxDates : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDbfTable(table_, 0x03, {{"BORN", 'D'}}, {.Overwrite = true});
    DBO_dBHandler h(table_, false, true);
    for (std::int32_t j : born_) {
      h.BlankRecord();
      h.DatePut(1, j);
      h.Append();
    }
  }
  // The records in date order.
  std::vector<std::int64_t> ByDate() const {
    std::vector<std::int64_t> r(born_.size());
    for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<std::int64_t>(i + 1);
    std::stable_sort(r.begin(), r.end(), [&](auto a, auto b) { return born_[a - 1] < born_[b - 1]; });
    return r;
  }
  std::vector<std::pair<std::int32_t, std::int64_t>> Keys() const {
    std::vector<std::pair<std::int32_t, std::int64_t>> k;
    for (std::int64_t r : ByDate()) k.emplace_back(born_[static_cast<std::size_t>(r - 1)], r);
    return k;
  }

  TempDir dir_;
  AnsiString table_ = dir_.Path() + "/p.dbf";
  std::vector<std::int32_t> born_ = {2460300, 2451000, 2455555, 2440000, 2458000};
};

TEST_F(TablesNdxDates, ADateIndexOfSixteenByteItemsIsWrittenAndRead) {
  const AnsiString file = dir_.Path() + "/BORN.NDX";
  {
    DBO_dBHandler h(table_, false, true);
    DBobjNDXFile f(&h, file, true, true);
    ASSERT_NE(f.AddTag("BORN", false), nullptr);
  }
  const std::string bytes = ReadBytes(file);
  EXPECT_EQ(GetLE16(reinterpret_cast<const std::uint8_t*>(bytes.data() + 18)), 16);
  EXPECT_EQ(GetLE16(reinterpret_cast<const std::uint8_t*>(bytes.data() + 14)), 31);
  // Byte for byte what another program writes for these dates.
  EXPECT_EQ(bytes.substr(512), DateNdx(Keys(), 16).substr(512));

  // A file written by another program opens and is kept up to date.
  WriteBytes(file, DateNdx(Keys(), 16));
  DBO_dBHandler h(table_, false, true);
  ASSERT_EQ(h.IndexOpen(file), 0);
  ASSERT_GT(h.SetTagTo("BORN", false), 0);
  EXPECT_EQ(Walk(h), ByDate());
  std::mt19937 rng(3);
  for (int i = 0; i < 200; ++i) {  // enough for pages of 31 keys to split
    born_.push_back(static_cast<std::int32_t>(2440000 + rng() % 30000));
    h.BlankRecord();
    h.DatePut(1, born_.back());
    h.Append();
  }
  EXPECT_EQ(Walk(h), ByDate());
  ASSERT_TRUE(h.FindKey(DBFDate().JulianToDBF(2455555)));
  EXPECT_EQ(h.RecNo(), 3);
}

// Date files of this engine's earlier layout (the items of number keys: 20 bytes, 25 per
// page) are still read and kept up; a rebuild gives them the standard layout.
TEST_F(TablesNdxDates, AnOlderDateIndexOfTwentyByteItemsIsReadUntilRebuilt) {
  const AnsiString file = dir_.Path() + "/BORN.NDX";
  WriteBytes(file, DateNdx(Keys(), 20));
  DBO_dBHandler h(table_, false, true);
  ASSERT_EQ(h.IndexOpen(file), 0);
  ASSERT_GT(h.SetTagTo("BORN", false), 0);
  EXPECT_EQ(Walk(h), ByDate());
  for (int i = 0; i < 100; ++i) {
    born_.push_back(2450000 + i * 37 % 1000);
    h.BlankRecord();
    h.DatePut(1, born_.back());
    h.Append();
  }
  EXPECT_EQ(Walk(h), ByDate());
  EXPECT_EQ(GetLE16(reinterpret_cast<const std::uint8_t*>(ReadBytes(file).data() + 18)), 20);
  h.Reindex();
  EXPECT_EQ(GetLE16(reinterpret_cast<const std::uint8_t*>(ReadBytes(file).data() + 18)), 16);
  ASSERT_GT(h.SetTagTo("BORN", false), 0);
  EXPECT_EQ(Walk(h), ByDate());
}

// --- Long text keys -----------------------------------------------------------------------------

TEST(TablesIndexKeyLength, TextKeysUpToTheSortersLimitAreBuiltAndRead) {
  for (const Format& fmt : kFormats) {
    SCOPED_TRACE(fmt.name);
    for (const int width : {150, 239, 240}) {
      SCOPED_TRACE(width);
      TempDir dir;
      const AnsiString t = dir.Path() + "/l.dbf";
      CreateDbfTable(t, 0x03, {{"NAME", 'C', width}}, {.Overwrite = true});
      std::vector<AnsiString> names;
      AnsiString file;
      {
        DBO_dBHandler h(t, false, true);
        for (int i = 0; i < 40; ++i) {
          names.push_back(AnsiString(static_cast<std::size_t>(width - 1), 'A') + static_cast<char>('A' + (i * 7) % 26));
          AppendText(h, names.back());
        }
        if (width > 239) {
          EXPECT_EQ(Message([&] { fmt.make(h, dir.Path(), "NAME", false, false); }),
                    "Sort key length greater than 240 bytes");
          continue;
        }
        file = fmt.make(h, dir.Path(), "NAME", false, false);
      }
      DBO_dBHandler h(t, false, true);
      ASSERT_EQ(h.IndexOpen(file), 0);
      ASSERT_GT(h.SetTagTo("K", false), 0);
      for (int i = 0; i < 20; ++i) {
        names.push_back(AnsiString(static_cast<std::size_t>(width - 2), 'B') + static_cast<char>('A' + i));
        AppendText(h, names.back());
      }
      std::sort(names.begin(), names.end());
      EXPECT_EQ(WalkTexts(h), names);
    }
  }
}

// --- Equal keys in descending order ---------------------------------------------------------

TEST(TablesSortOrder, DescendingSortsGiveEqualKeysByDescendingRecordNumber) {
  struct Case {
    bool unique;
    std::vector<std::int64_t> want;
  };
  for (const Case& c : {Case{false, {7, 5, 3, 1}}, Case{true, {7, 1}}}) {
    TdbSort s(10, nullptr, false, c.unique);
    for (auto [k, r] : {std::pair{"X", 3}, {"A", 1}, {"X", 7}, {"X", 5}}) {
      TdbVariant v;
      v.PutString(k);
      s.AddKey(v, r);
    }
    std::vector<std::int64_t> got;
    TdbVariant v;
    std::int64_t r = 0;
    while (s.NextKey(v, r)) got.push_back(r);
    EXPECT_EQ(got, c.want);
  }
  // A unique descending MDX tag keeps the last record of equal keys, and new records with
  // an equal key come before the older ones.
  TempDir dir;
  const AnsiString t = dir.Path() + "/d.dbf";
  CreateDbfTable(t, 0x03, {{"NAME", 'C', 4}}, {.Overwrite = true});
  DBO_dBHandler h(t, false, true);
  for (const char* n : {"B", "A", "B", "A"}) AppendText(h, n);
  AnsiString file = kFormats[1].make(h, dir.Path(), "NAME", true, true);
  ASSERT_EQ(h.IndexOpen(file), 0);
  ASSERT_GT(h.SetTagTo("K", false), 0);
  EXPECT_EQ(Walk(h), (std::vector<std::int64_t>{3, 4}));
  h.CloseIndexes();
  file = kFormats[1].make(h, dir.Path(), "NAME", false, true);
  ASSERT_EQ(h.IndexOpen(file), 0);
  ASSERT_GT(h.SetTagTo("K", false), 0);
  AppendText(h, "B");
  EXPECT_EQ(Walk(h), (std::vector<std::int64_t>{5, 3, 1, 4, 2}));
}

// In a descending tag the longer keys a text begins come before it: an exact seek still
// finds the text itself, a partial one the first of them.
TEST(TablesMdxFile, ExactSeeksInADescendingTagFindTheKeyAfterLongerOnes) {
  TempDir dir;
  const AnsiString t = dir.Path() + "/s.dbf";
  CreateDbfTable(t, 0x03, {{"NAME", 'C', 4}}, {.Overwrite = true});
  DBO_dBHandler h(t, false, true);
  for (const char* n : {"AA", "ABD", "AB", "ABC"}) AppendText(h, n);
  ASSERT_EQ(h.IndexOpen(kFormats[1].make(h, dir.Path(), "NAME", false, true)), 0);
  ASSERT_GT(h.SetTagTo("K", false), 0);
  h.ExactMatch = true;
  ASSERT_TRUE(h.FindKey("AB"));
  EXPECT_EQ(h.RecNo(), 3);
  EXPECT_FALSE(h.FindKey("AC"));
  h.ExactMatch = false;
  ASSERT_TRUE(h.FindKey("AB"));
  EXPECT_EQ(h.RecNo(), 2);  // ABD, the greatest key that begins with AB
}

// --- MDX allocation chain and table name --------------------------------------------------------

// The units of the tag's blocks from the header's last allocated unit back along the
// blocks' links, and every block unit the file holds after the tag header.
void ExpectChainCoversEveryBlock(const AnsiString& file) {
  const std::string b = ReadBytes(file);
  auto u32 = [&](std::size_t at) { return GetLE32(reinterpret_cast<const std::uint8_t*>(b.data() + at)); };
  const std::uint32_t header = u32(512 + 32);
  std::set<std::uint32_t> all, chained;
  for (std::uint32_t u = header + 2; static_cast<std::size_t>(u) * 512 < b.size(); u += 2) all.insert(u);
  for (std::uint32_t u = u32(header * 512 + 252); u != 0 && chained.size() <= all.size(); u = u32(u * 512 + 4))
    chained.insert(u);
  EXPECT_EQ(chained, all);
  EXPECT_EQ(u32(header * 512 + 252), *all.rbegin());
  EXPECT_EQ(u32(header * 512 + 248), *all.begin());
}

TEST(TablesMdxFile, TheLastAllocatedUnitIsWrittenWithEverySplit) {
  TempDir dir;
  const AnsiString t = dir.Path() + "/m.dbf";
  CreateDbfTable(t, 0x03, {{"NAME", 'C', 10}}, {.Overwrite = true});
  AnsiString file;
  std::vector<AnsiString> names;
  std::mt19937 rng(9);
  auto add = [&](DBO_dBHandler& h, int n) {
    for (int i = 0; i < n; ++i) {
      AnsiString s;
      for (int j = 0; j < 8; ++j) s += static_cast<char>('A' + rng() % 26);
      names.push_back(s);
      AppendText(h, s);
    }
  };
  {
    DBO_dBHandler h(t, false, true);
    file = kFormats[1].make(h, dir.Path(), "NAME", false, false);  // built over no records
    ASSERT_EQ(h.IndexOpen(file), 0);
    add(h, 400);
  }
  ExpectChainCoversEveryBlock(file);
  {
    DBO_dBHandler h(t, false, true);
    ASSERT_EQ(h.IndexOpen(file), 0);
    add(h, 400);
    ASSERT_GT(h.SetTagTo("K", false), 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(WalkTexts(h), names);
  }
  ExpectChainCoversEveryBlock(file);
}

TEST(TablesMdxFile, RenamingTheTableWritesItsNewNameIntoTheHeader) {
  TempDir dir;
  const AnsiString t = dir.Path() + "/TABLEABC.DBF";
  CreateDbfTable(t, 0x03, {{"NAME", 'C', 10}}, {.Overwrite = true});
  DBO_dBHandler h(t, false, true);
  AppendText(h, "X");
  {
    DBobjMDXFile f(&h, dir.Path() + "/TABLEABC.MDX", true, true);
    f.AddTag("NAME", "NAME", "", false);
  }
  ASSERT_EQ(h.IndexOpen(dir.Path() + "/TABLEABC.MDX"), 0);
  EXPECT_EQ(ReadBytes(dir.Path() + "/TABLEABC.MDX").substr(4, 9), std::string("TABLEABC\0", 9));
  auto nameInHeader = [&] {
    h.Flush();
    return ReadBytes(h.IndexFile(1)->IndexFileName()).substr(4, 9);
  };
  ASSERT_TRUE(h.Rename(dir.Path() + "/xy.dbf"));
  EXPECT_EQ(nameInHeader(), std::string(9 - 2, '\0').insert(0, "XY"));
  ASSERT_TRUE(h.Rename(dir.Path() + "/longername.dbf"));
  EXPECT_EQ(nameInHeader(), std::string("LONGERNA\0", 9));
}

// --- Ranges -------------------------------------------------------------------------------------

class TablesIndexRange : public ::testing::TestWithParam<Format> {
 protected:
  void Make() {
    CreateDbfTable(table_, 0x03, {{"NAME", 'C', 6}}, {.Overwrite = true});
    DBO_dBHandler h(table_, false, true);
    for (const char* n : {"CA", "AB", "EA", "CB", "ABC", "DA", "BA", "DB"}) AppendText(h, n);
    file_ = GetParam().make(h, dir_.Path(), "NAME", false, false);
  }
  TempDir dir_;
  AnsiString table_ = dir_.Path() + "/r.dbf";
  AnsiString file_;
};

TEST_P(TablesIndexRange, StepsFromOutsideTheRangeReachItsKeys) {
  Make();
  DBO_dBHandler h(table_, false, true);
  ASSERT_EQ(h.IndexOpen(file_), 0);
  ASSERT_GT(h.SetTagTo("K", false), 0);
  DBobjIndexTag& tag = *h.MasterTag();
  tag.SetKeyRange("C", "D", true, true);
  // Put on a key below the range, a step forward goes to the first key in it.
  EXPECT_FALSE(tag.SeekKey("A"));
  EXPECT_EQ(tag.KeyRead(dbp::Next), 1);  // CA
  EXPECT_EQ(tag.KeyRead(dbp::Next), 4);  // CB
  EXPECT_EQ(tag.KeyRead(dbp::Next), 6);  // DA
  EXPECT_EQ(tag.KeyRead(dbp::Next), 8);  // DB
  EXPECT_EQ(tag.KeyRead(dbp::Next), 0);
  EXPECT_TRUE(tag.Eof());
  // Put on a key above it, a step back goes to the last key in it.
  EXPECT_FALSE(tag.SeekKey("E"));
  EXPECT_EQ(tag.KeyRead(dbp::Previous), 8);
  // Put below it, a step back reaches the beginning; put above, a step forward the end.
  EXPECT_FALSE(tag.SeekKey("A"));
  EXPECT_EQ(tag.KeyRead(dbp::Previous), 0);
  EXPECT_TRUE(tag.Bof());
}

TEST_P(TablesIndexRange, LookupsAnswerWithinTheRangeOverTheSoughtLength) {
  Make();
  DBO_dBHandler h(table_, false, true);
  ASSERT_EQ(h.IndexOpen(file_), 0);
  ASSERT_GT(h.SetTagTo("K", false), 0);
  h.ExactMatch = false;
  EXPECT_EQ(h.FindNear("K", "D"), 6);    // DA begins with D
  EXPECT_EQ(h.FindNear("K", "AB"), 2);   // AB itself
  EXPECT_EQ(h.FindNear("K", "ABC"), 5);
  EXPECT_EQ(h.FindNear("K", "F"), 0);
  h.ExactMatch = true;
  EXPECT_EQ(h.FindNear("K", "D"), 0);
  EXPECT_EQ(h.FindNear("K", "DB"), 8);
  h.ExactMatch = false;
  h.MasterTag()->SetKeyRange("C", "D", true, true);
  EXPECT_EQ(h.FindNear("K", "D"), 6);
  EXPECT_EQ(h.FindNear("K", "B"), 0);   // BA lies outside the range
  EXPECT_EQ(h.FindNear("K", "EA"), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, TablesIndexRange, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

// --- NTX empty file -------------------------------------------------------------------------------

TEST(TablesNtxEmptyFile, ReadsBackAndTakesNewKeys) {
  TempDir dir;
  const AnsiString t = dir.Path() + "/e.dbf";
  CreateDbfTable(t, 0x03, {{"NAME", 'C', 8}}, {.Overwrite = true});
  DBO_dBHandler h(t, false, true);
  for (const char* n : {"B", "A", "C"}) AppendText(h, n);
  {
    DBobjNTXFile f(&h, dir.Path() + "/E", true, true);
    f.AddTag("NAME", "", false, false);
    f.CreateEmpty();
  }
  const std::string bytes = ReadBytes(dir.Path() + "/E.NTX");
  EXPECT_EQ(bytes.size(), 2048u);
  EXPECT_EQ(GetLE32(reinterpret_cast<const std::uint8_t*>(bytes.data() + 4)), 1024u);
  EXPECT_EQ(GetLE16(reinterpret_cast<const std::uint8_t*>(bytes.data() + 2)), 1);
  ASSERT_EQ(h.IndexOpen(dir.Path() + "/E.NTX"), 0);
  ASSERT_GT(h.SetTagTo("E", false), 0);
  EXPECT_TRUE(Walk(h).empty());
  AppendText(h, "AA");
  EXPECT_EQ(Walk(h), (std::vector<std::int64_t>{4}));
}

// --- Collation ------------------------------------------------------------------------------------

// A collation that puts lower-case letters with their capitals (a after A, before B).
struct FoldingCollation {
  std::uint8_t table[256];
  FoldingCollation() {
    for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i);
    for (int c = 'A'; c <= 'Z'; ++c) {
      table[c] = static_cast<std::uint8_t>(2 * (c - 'A') + 'A');
      table[c + 32] = static_cast<std::uint8_t>(2 * (c - 'A') + 'A' + 1);
    }
  }
};

TEST(TablesIndexCollation, BuildsWritesRangesAndSeeksFollowTheTablesCollation) {
  static const FoldingCollation collation;
  for (const Format& fmt : kFormats) {
    SCOPED_TRACE(fmt.name);
    TempDir dir;
    const AnsiString t = dir.Path() + "/c.dbf";
    CreateDbfTable(t, 0x03, {{"NAME", 'C', 6}}, {.Overwrite = true});
    DBO_dBHandler h(t, false, true);
    h.SetCollation(1, collation.table, 0);
    for (const char* n : {"b", "Ab", "B", "a", "ab", "A"}) AppendText(h, n);
    const AnsiString file = fmt.make(h, dir.Path(), "NAME", false, false);
    ASSERT_EQ(h.IndexOpen(file), 0);
    ASSERT_GT(h.SetTagTo("K", false), 0);
    EXPECT_EQ(WalkTexts(h), (std::vector<AnsiString>{"A", "Ab", "a", "ab", "B", "b"}));
    for (const char* n : {"aa", "Ba", "AA"}) AppendText(h, n);
    EXPECT_EQ(WalkTexts(h), (std::vector<AnsiString>{"A", "AA", "Ab", "a", "aa", "ab", "B", "Ba", "b"}));
    h.ExactMatch = true;
    ASSERT_TRUE(h.FindKey("ab"));
    EXPECT_EQ(TrimRight(h.FieldGet(1)), "ab");
    h.SetRange("a", "a", true, true);
    EXPECT_EQ(WalkTexts(h), (std::vector<AnsiString>{"a", "aa", "ab"}));
  }
}

}  // namespace
