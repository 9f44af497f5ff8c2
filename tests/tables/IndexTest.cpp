// Index files: the sorter, tags built over many records walking in the order of an
// independent sort of their keys, key upkeep through appends, rewrites, deletions and a
// pack, the file layouts, damaged files, and two processes writing one indexed table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <chrono>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "TablesTestSupport.h"
#include "tables/db_cdx.h"
#include "tables/db_create.h"
#include "tables/db_dbsy.h"
#include "tables/db_mdx.h"
#include "tables/db_ndx.h"
#include "tables/db_ntx.h"
#include "tables/db_sort.h"

namespace {

using tables_test::HeldByOtherProcess;
using tables_test::Message;
using tables_test::ReadBytes;
using tables_test::RunHelper;

// --- The sorter ------------------------------------------------------------------------------------

std::vector<std::pair<AnsiString, std::int64_t>> Drain(TdbSort& s) {
  std::vector<std::pair<AnsiString, std::int64_t>> out;
  TdbVariant v;
  std::int64_t r = 0;
  while (s.NextKey(v, r)) out.emplace_back(v.Kind() == vkNumber ? FloatToStr(v.GetFloat()) : v.GetString(), r);
  return out;
}

TEST(TablesSort, TextKeysComeBackInOrderWithRecordNumbers) {
  using R = std::vector<std::pair<AnsiString, std::int64_t>>;
  struct Case {
    bool ascending, unique;
    std::vector<std::pair<const char*, std::int64_t>> in;
    R out;
  };
  const Case cases[] = {
      {true, false, {{"B", 1}, {"A", 2}, {"AB", 3}}, {{"A", 2}, {"AB", 3}, {"B", 1}}},
      {false, false, {{"B", 1}, {"A", 2}, {"AB", 3}}, {{"B", 1}, {"AB", 3}, {"A", 2}}},
      {true, false, {{"X", 5}, {"X", 3}}, {{"X", 3}, {"X", 5}}},
      {true, true, {{"X", 5}, {"X", 3}}, {{"X", 3}}},
      {true, true, {{"A  ", 2}, {"A", 1}}, {{"A", 1}}},
  };
  for (const Case& c : cases) {
    TdbSort s(10, nullptr, c.ascending, c.unique);
    for (auto [k, r] : c.in) {
      TdbVariant v;
      v.PutString(k);
      s.AddKey(v, r);
    }
    EXPECT_EQ(Drain(s), c.out);
  }
}

TEST(TablesSort, NumbersIncludingCloseNegativesSortNumerically) {
  const std::vector<double> in = {3, -100, 0.5, -1.0000001, 0, -100.5, -0.5, -1, 1.0000000000000002, 1};
  TdbSort s(8, nullptr, true, false);
  for (std::size_t i = 0; i < in.size(); ++i) {
    TdbVariant v;
    v.PutFloat(in[i]);
    s.AddKey(v, static_cast<std::int64_t>(in.size() - i));
  }
  std::vector<double> got;
  TdbVariant v;
  std::int64_t r;
  while (s.NextKey(v, r)) got.push_back(v.GetFloat());
  std::vector<double> want = in;
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
}

TEST(TablesSort, RefusesLongKeysAndLateAdds) {
  EXPECT_THROW(TdbSort(241, nullptr, true, false), EDbfError);
  TdbSort s(4, nullptr, true, false);
  TdbVariant v;
  v.PutString("ABCDE");
  EXPECT_THROW(s.AddKey(v, 1), EDbfError);
  v.PutString("AB");
  s.AddKey(v, 1);
  std::int64_t r;
  EXPECT_TRUE(s.NextKey(v, r));
  EXPECT_THROW(s.AddKey(v, 2), EDbfError);
  TdbVariant empty;
  TdbSort t(4, nullptr, true, false);
  EXPECT_THROW(t.AddKey(empty, 1), EDbfError);
}

TEST(TablesSort, ManyRandomKeysMatchStdSort) {
  std::mt19937 rng(7);
  std::vector<std::pair<std::string, std::int64_t>> keys;
  TdbSort s(12, nullptr, true, false);
  for (std::int64_t i = 1; i <= 50000; ++i) {
    std::string k(1 + rng() % 12, ' ');
    for (char& c : k) c = static_cast<char>('A' + rng() % 6);
    keys.emplace_back(k, i);
    s.AddBytes(k, i);
  }
  std::sort(keys.begin(), keys.end());
  std::string k;
  std::int64_t r;
  std::size_t n = 0;
  while (s.NextBytes(k, r)) {
    ASSERT_LT(n, keys.size());
    ASSERT_EQ(k, keys[n].first);
    ASSERT_EQ(r, keys[n].second);
    ++n;
  }
  EXPECT_EQ(n, keys.size());
}

// --- Indexed tables ------------------------------------------------------------------------------

// One tag of the tests: its key over the record's fields, computed without the engine.
struct TagDef {
  const char* name;
  const char* key;
  const char* forExpr;
  bool unique;
  bool descending;
};

const TagDef kTags[] = {
    {"NAME", "NAME", "", false, false},      {"NAMED", "NAME", "", false, true},
    {"CODE", "CODE", "", false, false},      {"BORN", "BORN", "", false, false},
    {"NAMEU", "NAME", "", true, false},      {"POS", "UPPER(NAME)", "CODE>0", false, false},
};

struct Row {
  AnsiString name;
  double code = 0;
  std::int32_t born = 0;
  bool deleted = false;
};

// The expected key of a row under a tag: a comparable pair of (number, text).
struct Key {
  double n = 0;
  std::string t;
  bool operator<(const Key& o) const { return n != o.n ? n < o.n : t < o.t; }
  bool operator==(const Key& o) const { return n == o.n && t == o.t; }
};

bool gBlankDateLast = false;

Key KeyOf(const TagDef& tag, const Row& r) {
  std::string name = TrimRight(r.name);
  if (std::string_view(tag.key) == "CODE") return {r.code, ""};
  if (std::string_view(tag.key) == "BORN") return {r.born == 0 && gBlankDateLast ? 1e100 : r.born, ""};
  if (std::string_view(tag.key) == "UPPER(NAME)") {
    AnsiString u = name;
    ExpUpper(u, true);
    return {0, u};
  }
  return {0, name};
}

// The record numbers of the rows in the tag's order.
std::vector<std::int64_t> Expected(const TagDef& tag, const std::vector<Row>& rows) {
  std::vector<std::pair<Key, std::int64_t>> keys;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (std::string_view(tag.forExpr) == "CODE>0" && !(rows[i].code > 0)) continue;
    keys.emplace_back(KeyOf(tag, rows[i]), static_cast<std::int64_t>(i + 1));
  }
  std::sort(keys.begin(), keys.end());
  if (tag.unique)
    keys.erase(std::unique(keys.begin(), keys.end(), [](auto& a, auto& b) { return a.first == b.first; }),
               keys.end());
  std::vector<std::int64_t> out;
  for (auto& k : keys) out.push_back(k.second);
  if (tag.descending) std::reverse(out.begin(), out.end());
  return out;
}

// An index format of the tests: makes the index files of a table with the tags given.
struct IndexFormat {
  const char* ext;
  bool descending;  // whether the format keeps descending tags
  bool forConditions;
  bool blankDateLast;  // an empty date sorts after every date
  bool recordOrder;    // equal keys kept by record number (else as they came)
  // Creates the files; returns their names for IndexOpen.
  std::function<std::vector<AnsiString>(DBO_dBHandler&, const AnsiString& dir, const std::vector<TagDef>&)> make;
};

std::vector<AnsiString> MakeMdx(DBO_dBHandler& t, const AnsiString& dir, const std::vector<TagDef>& tags) {
  DBobjMDXFile f(&t, dir + "/T.MDX", true, true);
  EXPECT_TRUE(f.HeaderValid());
  for (const TagDef& d : tags) f.AddTag(d.name, d.key, d.forExpr, d.unique, d.descending);
  return {dir + "/T.MDX"};
}

void PrintTo(const IndexFormat& f, std::ostream* os) { *os << f.ext; }

std::vector<AnsiString> MakeCdx(DBO_dBHandler& t, const AnsiString& dir, const std::vector<TagDef>& tags) {
  DBobjCDXFile f(&t, dir + "/T.CDX", true, true);
  EXPECT_TRUE(f.HeaderValid());
  for (const TagDef& d : tags) f.AddTag(d.name, d.key, d.forExpr, d.unique, d.descending);
  return {dir + "/T.CDX"};
}

std::vector<AnsiString> MakeNtx(DBO_dBHandler& t, const AnsiString& dir, const std::vector<TagDef>& tags) {
  std::vector<AnsiString> names;
  for (const TagDef& d : tags) {
    DBobjNTXFile f(&t, dir + "/" + d.name, true, true);
    EXPECT_TRUE(f.HeaderValid());
    f.AddTag(d.key, d.forExpr, d.unique, d.descending);
    names.push_back(f.IndexFileName());
  }
  return names;
}

std::vector<AnsiString> MakeNdx(DBO_dBHandler& t, const AnsiString& dir, const std::vector<TagDef>& tags) {
  std::vector<AnsiString> names;
  for (const TagDef& d : tags) {
    if (*d.forExpr) continue;  // no FOR conditions in this format
    DBobjNDXFile f(&t, dir + "/" + d.name, true, true);
    EXPECT_TRUE(f.HeaderValid());
    f.AddTag(d.key, d.unique);
    names.push_back(f.IndexFileName());
  }
  return names;
}

class TablesIndex : public ::testing::TestWithParam<IndexFormat> {
 protected:
  AnsiString Table() const { return dir_.Path() + "/t.dbf"; }

  void CreateTable() {
    CreateDbfTable(Table(), 0x03, {{"NAME", 'C', 12}, {"CODE", 'N', 8, 2}, {"BORN", 'D'}}, {.Overwrite = true});
  }

  Row RandomRow() {
    Row r;
    const int len = 1 + static_cast<int>(rng_() % 10);
    for (int i = 0; i < len; ++i) {
      const unsigned pick = rng_() % 10;
      // Latin and 866 Cyrillic letters, a few blanks inside.
      r.name += pick < 5 ? static_cast<char>('A' + rng_() % 5)
                : pick < 9 ? static_cast<char>(0xA0 + rng_() % 4)
                           : ' ';
    }
    r.code = static_cast<double>(static_cast<int>(rng_() % 2001) - 1000) / 4;
    r.born = rng_() % 8 == 0 ? 0 : static_cast<std::int32_t>(2450000 + rng_() % 400);
    return r;
  }

  static void Put(DBO_dBHandler& h, const Row& r) {
    h.FieldPut(1, r.name);
    h.NumberPut(2, r.code);
    if (r.born > 0)
      h.DatePut(3, r.born);
    else
      h.FieldPut(3, "");
  }

  void Fill(DBO_dBHandler& h, int n) {
    for (int i = 0; i < n; ++i) {
      Row r = RandomRow();
      h.BlankRecord();
      Put(h, r);
      h.Append();
      rows_.push_back(r);
    }
  }

  // Walks the handler through a tag (deleted records shown) forward and backward. A unique
  // tag kept up to date by writes holds one record per key, though not always the first
  // one (a rebuild picks the first): `live` checks only that.
  void CheckTag(DBO_dBHandler& h, const TagDef& tag, bool live = false) {
    SCOPED_TRACE(tag.name);
    h.ShowDeleted = true;
    h.SetTagTo(tag.name, false);
    std::vector<std::int64_t> got;
    for (h.GetRecord(dbp::First); !h.Eof() && !h.Bof(); h.GetRecord(dbp::Next)) {
      got.push_back(h.RecNo());
      if (got.size() > rows_.size() + 1) break;
    }
    for (std::int64_t r : got) ASSERT_LE(r, std::ssize(rows_)) << "a key of a record the table does not hold";
    if (tag.unique && live) {
      std::vector<Key> keys;
      for (std::int64_t r : got) keys.push_back(KeyOf(tag, rows_[static_cast<std::size_t>(r - 1)]));
      EXPECT_TRUE(std::adjacent_find(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
                    return !(a < b);
                  }) == keys.end());
      return;
    }
    std::vector<std::int64_t> want = Expected(tag, rows_);
    if (!GetParam().recordOrder) {
      // Equal keys in any order: compare the keys met and the records of each key.
      auto keyed = [&](std::vector<std::int64_t> recs) {
        std::vector<std::pair<Key, std::int64_t>> k;
        for (std::int64_t r : recs) k.emplace_back(KeyOf(tag, rows_[static_cast<std::size_t>(r - 1)]), r);
        std::stable_sort(k.begin(), k.end(), [](auto& a, auto& b) { return a.first < b.first; });
        return k;
      };
      const auto g = keyed(got), w = keyed(want);
      ASSERT_EQ(g.size(), w.size());
      for (std::size_t i = 0; i + 1 < got.size(); ++i) {
        const Key a = KeyOf(tag, rows_[static_cast<std::size_t>(got[i] - 1)]);
        const Key b = KeyOf(tag, rows_[static_cast<std::size_t>(got[i + 1] - 1)]);
        EXPECT_FALSE(tag.descending ? a < b : b < a);
      }
      std::vector<std::int64_t> gs = got, ws = want;
      std::sort(gs.begin(), gs.end());
      std::sort(ws.begin(), ws.end());
      EXPECT_TRUE(gs == ws);
      return;
    }
    ASSERT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
    std::vector<std::int64_t> back;
    for (h.GetRecord(dbp::Last); !h.Eof() && !h.Bof(); h.GetRecord(dbp::Previous)) {
      back.push_back(h.RecNo());
      if (back.size() > rows_.size() + 1) break;
    }
    std::reverse(back.begin(), back.end());
    EXPECT_TRUE(back == want);
  }

  void OpenAll(DBO_dBHandler& h, const std::vector<AnsiString>& files) {
    for (const AnsiString& f : files) ASSERT_EQ(h.IndexOpen(f), 0) << f;
  }

  // A new table of `count` random rows with the given tags built over it; the index files.
  std::vector<AnsiString> MakeFilled(int count, const std::vector<TagDef>& tags) {
    CreateTable();
    DBO_dBHandler h(Table(), false, true);
    Fill(h, count);
    return GetParam().make(h, dir_.Path(), tags);
  }

  void SetUp() override { gBlankDateLast = GetParam().blankDateLast; }

  TempDir dir_;
  std::mt19937 rng_{12345};
  std::vector<Row> rows_;
  const std::vector<TagDef> tags_ = [] {
    std::vector<TagDef> t;
    for (const TagDef& d : kTags)
      if ((GetParam().descending || !d.descending) && (GetParam().forConditions || !*d.forExpr)) t.push_back(d);
    return t;
  }();
};

TEST_P(TablesIndex, BuiltTagsWalkInSortedOrder) {
  const std::vector<AnsiString> files = MakeFilled(3000, tags_);
  DBO_dBHandler h(Table(), false, true);
  OpenAll(h, files);
  for (const TagDef& tag : tags_) CheckTag(h, tag);
}

TEST_P(TablesIndex, KeysFollowAppendsRewritesDeletesAndPack) {
  const std::vector<AnsiString> files = MakeFilled(300, tags_);
  DBO_dBHandler h(Table(), false, true);
  OpenAll(h, files);
  h.SetTagTo("NAME", false);
  for (int round = 0; round < 4; ++round) {
    for (int op = 0; op < 400; ++op) {
      const unsigned what = rng_() % 10;
      if (what < 4 || rows_.empty()) {
        Row r = RandomRow();
        h.BlankRecord();
        Put(h, r);
        h.Append();
        rows_.push_back(r);
      } else {
        const auto n = static_cast<std::int64_t>(1 + rng_() % rows_.size());
        h.GetRecord(n);
        Row& row = rows_[static_cast<std::size_t>(n - 1)];
        if (what < 8) {
          Row r = RandomRow();
          if (what == 7) r.name = row.name;  // a rewrite that keeps a key
          Put(h, r);
          r.deleted = row.deleted;
          row = r;
          h.PutRecord(n);
        } else if (!row.deleted) {
          h.Delete();
          row.deleted = true;
        }
      }
    }
    for (const TagDef& tag : tags_) CheckTag(h, tag, true);
  }
  h.Pack();
  std::erase_if(rows_, [](const Row& r) { return r.deleted; });
  for (const TagDef& tag : tags_) CheckTag(h, tag);
  h.Reindex();
  for (const TagDef& tag : tags_) CheckTag(h, tag);
}

TEST_P(TablesIndex, SeeksRangesAndFindKey) {
  CreateTable();
  std::vector<AnsiString> files;
  {
    DBO_dBHandler h(Table(), false, true);
    for (const char* n : {"APPLE", "APRICOT", "BANANA", "BANANA", "CHERRY", "AB"}) {
      h.BlankRecord();
      h.FieldPut(1, n);
      h.NumberPut(2, static_cast<double>(std::strlen(n)));
      h.Append();
    }
    files = GetParam().make(h, dir_.Path(), {{"NAME", "NAME", "", false, false}, {"CODE", "CODE", "", false, false}});
  }
  DBO_dBHandler h(Table(), false, true);
  OpenAll(h, files);
  h.SetTagTo("NAME", false);
  EXPECT_TRUE(h.FindKey("BAN"));
  EXPECT_EQ(h.RecNo(), 3);
  h.ExactMatch = true;
  EXPECT_FALSE(h.FindKey("BAN"));
  EXPECT_TRUE(h.Eof());
  EXPECT_TRUE(h.FindKey("BANANA"));
  EXPECT_EQ(h.RecNo(), 3);
  h.GetRecord(dbp::Next);
  EXPECT_EQ(h.RecNo(), 4);
  h.ExactMatch = false;
  EXPECT_FALSE(h.FindKey("BZ"));
  EXPECT_EQ(h.FindNear("name", "CHERRY"), 5);
  EXPECT_EQ(h.FindNear("name", "CHE"), 5);  // over the sought key's length
  h.ExactMatch = true;
  EXPECT_EQ(h.FindNear("name", "CHE"), 0);
  h.ExactMatch = false;
  EXPECT_EQ(h.FindNear("nosuch", "X"), -1);

  // A range on a prefix covers every key that begins with it.
  h.SetRange("AP", "AP", true, true);
  std::vector<std::int64_t> got;
  for (h.GetRecord(dbp::First); !h.Eof(); h.GetRecord(dbp::Next)) got.push_back(h.RecNo());
  EXPECT_EQ(got, (std::vector<std::int64_t>{1, 2}));
  got.clear();
  for (h.GetRecord(dbp::Last); !h.Bof(); h.GetRecord(dbp::Previous)) got.push_back(h.RecNo());
  EXPECT_EQ(got, (std::vector<std::int64_t>{2, 1}));
  // A step past the last key in range reports the end, and so does a re-read.
  DBobjIndexTag* tag = h.MasterTag();
  tag->KeyRead(dbp::Last);
  EXPECT_EQ(tag->KeyRead(dbp::Next), 0);
  EXPECT_TRUE(tag->Eof());
  EXPECT_EQ(tag->KeyRead(dbp::Current), 0);
  EXPECT_TRUE(tag->Eof());
  EXPECT_EQ(tag->KeyRead(dbp::Previous), 2);
  h.SetEmptyRange();
  h.GetRecord(dbp::First);
  EXPECT_TRUE(h.Eof() && h.Bof());
  EXPECT_EQ(tag->KeyRead(dbp::Last), 0);
  EXPECT_TRUE(tag->Eof() && tag->Bof());
  h.SetRange("", "", false, false);
  h.GetRecord(dbp::First);
  EXPECT_EQ(h.RecNo(), 6);

  // Positioned by record number, the next record is the one after it in key order.
  h.GetRecord(3);
  h.GetRecord(dbp::Next);
  EXPECT_EQ(h.RecNo(), 4);
  h.GetRecord(1);
  h.GetRecord(dbp::Previous);
  EXPECT_EQ(h.RecNo(), 6);

  h.SetTagTo("CODE", false);
  EXPECT_TRUE(h.FindKey("6"));
  EXPECT_EQ(h.RecNo(), 3);
  EXPECT_TRUE(h.FindKey("7"));
  EXPECT_EQ(h.RecNo(), 2);
  EXPECT_FALSE(h.FindKey("8"));
}

TEST_P(TablesIndex, TwoProcessesLoseNoKey) {
  CreateTable();
  std::vector<AnsiString> files;
  {
    DBO_dBHandler h(Table(), false, true);
    files = GetParam().make(h, dir_.Path(), {{"NAME", "NAME", "", false, false}});
  }
  DBO_dBHandler h(Table(), true, true);
  OpenAll(h, files);
  pid_t child = ::fork();
  if (child == 0) {
    std::vector<std::string> a{TW_TABLES_HELPER, "indexappend", Table(), files[0], "P", "60"};
    std::vector<char*> argv;
    for (auto& s : a) argv.push_back(s.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(201);
  }
  for (int i = 0; i < 60; ++i) {
    h.BlankRecord();
    h.FieldPut(1, "Q" + IntToStr(i));
    h.Append();
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  DBO_dBHandler check(Table(), false, true);
  OpenAll(check, files);
  check.SetTagTo("NAME", false);
  std::vector<AnsiString> got;
  for (check.GetRecord(dbp::First); !check.Eof(); check.GetRecord(dbp::Next))
    got.push_back(TrimRight(check.FieldGet(1)));
  ASSERT_EQ(check.RecordCount(), 120);
  EXPECT_EQ(got.size(), 120u);
  EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
}

// Runs `work` in a forked process; its exit status 0 when it returned, 3 when it raised.
pid_t Forked(const std::function<void()>& work) {
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 0;
    try {
      work();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "child: %s\n", e.what());
      code = 3;
    }
    ::_exit(code);
  }
  return child;
}

void ExpectExitedWell(pid_t child) {
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Through the NAME tag of `h` (deleted records shown): every record once, each with the
// key of its own name, in key order; and FindKey finds every name at its record.
void ExpectEveryRecordKeyedAndFound(DBO_dBHandler& h) {
  h.ShowDeleted = true;
  h.SetTagTo("NAME", false);
  const std::int64_t count = h.RecordCount();
  std::vector<int> seen(static_cast<std::size_t>(count + 1), 0);
  std::vector<AnsiString> keys;
  std::int64_t wrongKey = 0, outside = 0;
  for (h.GetRecord(dbp::First); !h.Eof() && !h.Bof(); h.GetRecord(dbp::Next)) {
    if (h.RecNo() < 1 || h.RecNo() > count) {
      ++outside;
      continue;
    }
    ++seen[static_cast<std::size_t>(h.RecNo())];
    keys.push_back(h.MasterTag()->CurrentKey());
    if (keys.back() != TrimRight(h.FieldGet(1))) ++wrongKey;
    if (static_cast<std::int64_t>(keys.size()) > 2 * count + 10) break;
  }
  std::int64_t missing = 0, extra = 0;
  for (std::int64_t r = 1; r <= count; ++r) {
    if (seen[static_cast<std::size_t>(r)] == 0) ++missing;
    if (seen[static_cast<std::size_t>(r)] > 1) extra += seen[static_cast<std::size_t>(r)] - 1;
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(extra + outside, 0);
  EXPECT_EQ(wrongKey, 0);
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  std::vector<AnsiString> names;
  h.SetTagTo("", true);
  for (std::int64_t r = 1; r <= count; ++r) {
    h.GetRecord(r);
    names.push_back(TrimRight(h.FieldGet(1)));
  }
  h.SetTagTo("NAME", true);
  h.ExactMatch = true;
  std::int64_t notFound = 0;
  for (std::int64_t r = 1; r <= count; ++r)
    if (!h.FindKey(names[static_cast<std::size_t>(r - 1)]) || h.RecNo() != r) ++notFound;
  EXPECT_EQ(notFound, 0);
}

// A process that opened the table and stands on a key, then writes after another process
// split pages and moved the root: it reads what the other wrote first.
TEST_P(TablesIndex, AWriteAfterAnotherProcessGrewTheTagKeepsEveryKey) {
  CreateTable();
  std::vector<AnsiString> files;
  {
    DBO_dBHandler h(Table(), false, true);
    for (int i = 0; i < 10; ++i) {
      h.BlankRecord();
      h.FieldPut(1, "S" + IntToStr(i));
      h.Append();
    }
    files = GetParam().make(h, dir_.Path(), {{"NAME", "NAME", "", false, false}});
  }
  DBO_dBHandler a(Table(), true, true);
  OpenAll(a, files);
  a.SetTagTo("NAME", false);
  a.GetRecord(dbp::First);
  ASSERT_EQ(a.RecNo(), 1);
  ExpectExitedWell(Forked([&] {
    DBO_dBHandler b(Table(), true, true);
    for (const AnsiString& f : files)
      if (b.IndexOpen(f) != 0) throw EDbfError("index not opened");
    for (int i = 0; i < 500; ++i) {
      b.BlankRecord();
      b.FieldPut(1, "B" + IntToStr(i));
      b.Append();
    }
  }));
  a.BlankRecord();
  a.FieldPut(1, "A0");
  a.Append();
  ASSERT_EQ(a.RecordCount(), 511);
  {
    SCOPED_TRACE("the writer");
    ExpectEveryRecordKeyedAndFound(a);
  }
  SCOPED_TRACE("a new reader");
  DBO_dBHandler check(Table(), false, true);
  OpenAll(check, files);
  ExpectEveryRecordKeyedAndFound(check);
}

// Two processes append, rewrite and delete records of one table at the same time.
TEST_P(TablesIndex, TwoProcessesAppendingRewritingAndDeletingKeepEveryKey) {
  CreateTable();
  std::vector<AnsiString> files;
  {
    DBO_dBHandler h(Table(), false, true);
    for (int i = 0; i < 50; ++i) {
      h.BlankRecord();
      h.FieldPut(1, "S" + IntToStr(i));
      h.Append();
    }
    files = GetParam().make(h, dir_.Path(), {{"NAME", "NAME", "", false, false}});
  }
  auto work = [&](const std::string& p, unsigned seed) {
    DBO_dBHandler h(Table(), true, true);
    for (const AnsiString& f : files)
      if (h.IndexOpen(f) != 0) throw EDbfError("index not opened");
    std::mt19937 rng(seed);
    for (int op = 0; op < 300; ++op) {
      const unsigned what = rng() % 10;
      if (what < 4) {
        h.BlankRecord();
        h.FieldPut(1, p + IntToStr(op));
        h.Append();
        continue;
      }
      const auto n = static_cast<std::int64_t>(1 + rng() % static_cast<unsigned>(h.RecordCount()));
      h.GetRecord(n);
      bool locked = false;
      for (int i = 0; i < 2000 && !(locked = h.LockRecord()); ++i) ::usleep(500);
      if (!locked) throw EDbfError("record lock refused");
      h.GetRecord(n);  // as it is now, under the lock
      if (what < 8) {
        h.FieldPut(1, AnsiLowerCase(p) + IntToStr(op));
        h.PutRecord(n);
      } else {
        h.Delete();
      }
      h.Unlock();
    }
  };
  // Waits for the other's locks in short steps.
  struct Timing {
    TdbLockTiming saved = LockTiming();
    ~Timing() { LockTiming() = saved; }
  } timing;
  LockTiming() = {20000, 1};
  const pid_t child = Forked([&] { work("B", 7); });
  work("A", 8);
  ExpectExitedWell(child);
  DBO_dBHandler check(Table(), false, true);
  OpenAll(check, files);
  ExpectEveryRecordKeyedAndFound(check);
}

// Opens the index files and walks every tag both ways; false when the engine refused the
// damaged file with its error. Crashes, hangs and other exceptions fail the test.
bool WalkDamaged(const AnsiString& table, const std::vector<AnsiString>& files) {
  try {
    DBO_dBHandler h(table, false, true);
    h.ShowDeleted = true;
    for (const AnsiString& f : files)
      if (h.IndexOpen(f) != 0) return false;
    for (std::int64_t n = 1; h.TagByNumber(n); ++n) {
      h.SetTagTo(h.TagByNumber(n)->TagName(), false);
      std::int64_t steps = 0;
      for (h.GetRecord(dbp::First); !h.Eof() && steps < 100000; h.GetRecord(dbp::Next)) ++steps;
      for (h.GetRecord(dbp::Last); !h.Bof() && steps < 200000; h.GetRecord(dbp::Previous)) ++steps;
      h.FindKey("M");
      h.BlankRecord();
      h.FieldPut(1, "NEW");
      h.Append();
    }
    return true;
  } catch (const EDbfError&) {
    return false;
  } catch (const ERangeError&) {
    return false;
  }
}

TEST_P(TablesIndex, DamagedFilesAreRefusedWithoutCrashOrHang) {
  const std::vector<AnsiString> files =
      MakeFilled(1500, {{"NAME", "NAME", "", false, false}, {"CODE", "CODE", "", false, true}});
  const std::string original = ReadBytes(files[0]);
  const std::string table = ReadBytes(Table());
  std::mt19937 rng(99);
  int refused = 0;
  for (int round = 0; round < 60; ++round) {
    std::string bytes = original;
    const int hits = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < hits; ++i) bytes[rng() % bytes.size()] = static_cast<char>(rng());
    if (round % 10 == 9) bytes.resize(rng() % bytes.size());
    tables_test::WriteBytes(files[0], bytes);
    tables_test::WriteBytes(Table(), table);
    if (!WalkDamaged(Table(), files)) ++refused;
  }
  EXPECT_GT(refused, 0);
}

// A full disk that stops an index write, on an append or on a rewrite, leaves no record
// without its keys: the table takes the write back, and every index file its keys.
TEST_P(TablesIndex, AWriteStoppedByAFullDiskLeavesTableAndKeysTogether) {
  // Few records: every index file is larger than the table, so the index writes meet the
  // full disk first.
  const std::vector<AnsiString> files = MakeFilled(20, tags_);
  std::int64_t limit = INT64_MAX;
  for (const AnsiString& f : files) limit = std::min<std::int64_t>(limit, std::ssize(ReadBytes(f)));
  const std::string tableName = ExpandTableFileName(Table());
  {
    DBO_dBHandler h(Table(), false, true);
    OpenAll(h, files);
    auto tableBytes = [&] { return std::ssize(ReadBytes(Table())); };
    std::string message;
    {
      tables_test::DiskFullAt full(static_cast<rlim_t>(limit));
      for (int i = 0; i < 400 && message.empty(); ++i) {
        Row r = RandomRow();
        h.BlankRecord();
        Put(h, r);
        message = tables_test::Message([&] { h.Append(); });
        if (message == "<no EDbfError>") {
          message.clear();
          rows_.push_back(r);
        }
        ASSERT_LT(tableBytes(), limit);
      }
    }
    ASSERT_EQ(message.rfind("Disk is full - ", 0), 0u) << message;
    EXPECT_EQ(message.find(tableName), std::string::npos) << message;
    EXPECT_EQ(h.RecordCount(), std::ssize(rows_));
    EXPECT_EQ(tableBytes(), h.HeaderLength() + std::ssize(rows_) * h.RecordLength() + 1);
    for (const TagDef& tag : tags_) CheckTag(h, tag, true);

    // Rewrites that move keys, where nothing can be written past the table's size: the
    // first rewrite that writes index pages there fails, some of them half written.
    message.clear();
    std::int64_t failed = 0;
    {
      tables_test::DiskFullAt full(static_cast<rlim_t>(tableBytes() + 1));
      for (int i = 0; i < 2000 && message.empty(); ++i) {
        const auto n = static_cast<std::int64_t>(1 + rng_() % rows_.size());
        h.GetRecord(n);
        Row r = RandomRow();
        Put(h, r);
        message = tables_test::Message([&] { h.PutRecord(n); });
        if (message == "<no EDbfError>") {
          message.clear();
          rows_[static_cast<std::size_t>(n - 1)] = r;
        } else {
          failed = n;
        }
      }
    }
    ASSERT_EQ(message.rfind("Disk is full - ", 0), 0u) << message;
    h.GetRecord(failed);
    EXPECT_EQ(TrimRight(h.FieldGet(1)), TrimRight(rows_[static_cast<std::size_t>(failed - 1)].name));
    for (const TagDef& tag : tags_) CheckTag(h, tag, true);
  }
  // As the files were left: with room again, the next append has all its keys.
  DBO_dBHandler h(Table(), false, true);
  OpenAll(h, files);
  for (const TagDef& tag : tags_) CheckTag(h, tag, true);
  Row r = RandomRow();
  h.BlankRecord();
  Put(h, r);
  h.Append();
  rows_.push_back(r);
  for (const TagDef& tag : tags_) CheckTag(h, tag, true);
}

// A rebuild killed at any moment leaves the old index or the new one, whole: it opens and
// holds the key of every record.
TEST_P(TablesIndex, ReindexKilledOnTheWayLeavesAWholeIndex) {
  constexpr int kRecords = 100000;
  CreateDbfTable(Table(), 0x03, {{"NAME", 'C', 8}}, {.Overwrite = true});
  {
    std::string bytes = ReadBytes(Table());
    if (!bytes.empty() && bytes.back() == '\x1A') bytes.pop_back();
    std::mt19937 rng(1);
    for (int i = 0; i < kRecords; ++i) {
      bytes += ' ';
      for (int j = 0; j < 8; ++j) bytes += static_cast<char>('A' + rng() % 26);
    }
    bytes += '\x1A';
    tables_test::WriteBytes(Table(), bytes);
  }
  const std::vector<TagDef> tags = {{"NAME", "NAME", "", false, false},
                                    {"REV", "NAME", "", false, GetParam().descending}};
  std::vector<AnsiString> files;
  {
    DBO_dBHandler h(Table(), false, true);
    files = GetParam().make(h, dir_.Path(), tags);
  }
  auto start = [&] {
    std::vector<std::string> a{TW_TABLES_HELPER, "reindex", Table()};
    for (const AnsiString& f : files) a.push_back(f);
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv;
      for (auto& x : a) argv.push_back(x.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(201);
    }
    return pid;
  };
  auto check = [&] {
    DBO_dBHandler h(Table(), false, true);
    OpenAll(h, files);
    for (std::int64_t n = 1; n <= std::ssize(tags); ++n) {
      auto* tag = static_cast<DBobjIndexTagBase*>(h.TagByNumber(n));
      ASSERT_NE(tag, nullptr);
      const auto keys = tag->AllKeys();
      std::vector<bool> seen(kRecords + 1);
      std::int64_t distinct = 0;
      for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::int64_t r = keys[i].second;
        if (r >= 1 && r <= kRecords && !seen[static_cast<std::size_t>(r)]) ++distinct, seen[static_cast<std::size_t>(r)] = true;
        if (i > 0) {
          const int c = DBobjIndexTagBase::CompareKeys(keys[i - 1].first, keys[i].first);
          ASSERT_TRUE(tag->Descending() || tag->Inverted() ? c >= 0 : c <= 0) << tag->TagName() << " at " << i;
        }
      }
      EXPECT_EQ(std::ssize(keys), kRecords) << tag->TagName();
      EXPECT_EQ(distinct, kRecords) << tag->TagName();
    }
  };
  const auto t0 = std::chrono::steady_clock::now();
  int status = 0;
  ::waitpid(start(), &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const auto whole = std::chrono::steady_clock::now() - t0;
  for (const double part : {0.2, 0.5, 0.8}) {
    SCOPED_TRACE(part);
    const pid_t pid = start();
    std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(whole * part));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    check();
  }
}

// Writes of this process counted by the write hook; the one numbered gKillAtWrite kills it.
// Two objects of the process on one table opened for the process alone share the
// descriptors of its files: each reads what the other wrote (records held for reading
// ahead, index pages kept in memory) before it reads or writes, so appends and rewrites
// through both leave every record and every key right.
TEST_P(TablesIndex, TwoObjectsOfTheProcessOnAnUnsharedTableSeeEachOthersWrites) {
  CreateDbfTable(Table(), 0x03, {{"NAME", 'C', 20}}, {.Overwrite = true});
  std::vector<AnsiString> files;
  {
    DBO_dBHandler h(Table(), false, true);
    files = GetParam().make(h, dir_.Path(), {{"NAME", "NAME", "", false, false}});
  }
  {
    DBO_dBHandler a(Table(), false, true), b(Table(), false, true);
    OpenAll(a, files);
    OpenAll(b, files);
    for (int i = 0; i < 300; ++i) {
      DBO_dBHandler& h = i % 2 ? a : b;
      h.BlankRecord();
      h.FieldPut(1, "K" + IntToStr(1000 + (i * 37) % 300));
      h.Append();
    }
    EXPECT_EQ(a.RecordCount(), 300);
    for (a.GetRecord(dbp::First); !a.Eof(); a.GetRecord(dbp::Next)) {
    }
    for (std::int64_t r = 5; r <= 300; r += 10) {
      b.GetRecord(r);
      b.FieldPut(1, "B" + IntToStr(r));
      b.PutRecord(r);
      a.GetRecord(r);
      EXPECT_EQ(TrimRight(a.FieldGet(1)), "B" + IntToStr(r));
      a.FieldPut(1, "A" + IntToStr(r));
      a.PutRecord(r);
    }
  }
  DBO_dBHandler check(Table(), false, true);
  OpenAll(check, files);
  EXPECT_EQ(check.RecordCount(), 300);
  check.GetRecord(5);
  EXPECT_EQ(TrimRight(check.FieldGet(1)), "A5");
  ExpectEveryRecordKeyedAndFound(check);
}

std::int64_t gWrites = 0;
std::int64_t gKillAtWrite = 0;
void CountWriteAndMaybeDie(const AnsiString&) {
  if (++gWrites == gKillAtWrite) ::raise(SIGKILL);
}

// A pack that fails on a full disk, or is killed at any of its writes, leaves the table as
// it was with its index, or the packed table with an index rebuilt on the next open: never
// a record twice, every key on its own record.
TEST_P(TablesIndex, PackKilledOrOnAFullDiskLeavesTableAndIndexTrue) {
  constexpr int kRecords = 600;
  CreateDbfTable(Table(), 0x03, {{"NAME", 'C', 20}}, {.Overwrite = true});
  {
    std::string bytes = ReadBytes(Table());
    if (!bytes.empty() && bytes.back() == '\x1A') bytes.pop_back();
    std::mt19937 rng(3);
    for (int i = 0; i < kRecords; ++i) {
      bytes += i % 4 == 3 ? '*' : ' ';
      char head[8];
      std::snprintf(head, sizeof head, "%.4d", (i * 7919) % kRecords);  // unique names
      bytes += head;
      for (int j = 4; j < 20; ++j) bytes += static_cast<char>('A' + rng() % 26);
    }
    bytes += '\x1A';
    tables_test::WriteBytes(Table(), bytes);
  }
  std::vector<AnsiString> files;
  {
    DBO_dBHandler h(Table(), false, true);
    files = GetParam().make(h, dir_.Path(),
                            {{"NAME", "NAME", "", false, false}, {"REV", "NAME", "", false, GetParam().descending}});
  }
  std::vector<std::string> originals;
  for (const AnsiString& f : files) originals.push_back(ReadBytes(f));
  const std::string table = ReadBytes(Table());
  std::set<AnsiString> live;
  {
    DBO_dBHandler h(Table(), false, true);
    for (std::int64_t r = 1; r <= kRecords; ++r)
      if (h.GetRecord(r); !h.IsDeleted()) live.insert(TrimRight(h.FieldGet(1)));
  }
  auto restore = [&] {
    tables_test::WriteBytes(Table(), table);
    for (std::size_t i = 0; i < files.size(); ++i) tables_test::WriteBytes(files[i], originals[i]);
  };
  // A pack in another process: killed at its write `killAt` (0: none), on a disk that
  // takes files up to `limit` bytes (0: any); gives the writes it made and whether it ended.
  auto pack = [&](std::int64_t killAt, rlim_t limit, bool& ended) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    const pid_t child = Forked([&] {
      ::close(fds[0]);
      DBO_dBHandler h(Table(), false, true);
      for (const AnsiString& f : files)
        if (h.IndexOpen(f) != 0) throw EDbfError("index not opened");
      std::optional<tables_test::DiskFullAt> full;
      if (limit > 0) full.emplace(limit);
      gWrites = 0;
      gKillAtWrite = killAt;
      SetDiskWriteInterlude(CountWriteAndMaybeDie);
      h.Pack();
      SetDiskWriteInterlude(nullptr);
      if (::write(fds[1], &gWrites, sizeof gWrites) != sizeof gWrites) throw EDbfError("pipe");
    });
    ::close(fds[1]);
    std::int64_t writes = 0;
    ended = ::read(fds[0], &writes, sizeof writes) == sizeof writes;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return writes;
  };
  // The table holds every live record once (and the removed ones only when not packed);
  // the index, opened again, keys every record at its own place.
  auto check = [&] {
    DBO_dBHandler h(Table(), false, true);
    OpenAll(h, files);
    const std::int64_t count = h.RecordCount();
    ASSERT_TRUE(count == kRecords || count == std::ssize(live)) << count;
    std::set<AnsiString> names;
    for (std::int64_t r = 1; r <= count; ++r) {
      h.GetRecord(r);
      names.insert(TrimRight(h.FieldGet(1)));
    }
    EXPECT_EQ(std::ssize(names), count) << "a record twice";
    EXPECT_TRUE(std::includes(names.begin(), names.end(), live.begin(), live.end()));
    ExpectEveryRecordKeyedAndFound(h);
  };
  bool ended = false;
  const std::int64_t writes = pack(0, 0, ended);
  ASSERT_TRUE(ended);
  ASSERT_GT(writes, 8);
  const auto packedTable = static_cast<rlim_t>(ReadBytes(Table()).size());
  rlim_t largestIndex = 0;
  for (const AnsiString& f : files) largestIndex = std::max<rlim_t>(largestIndex, ReadBytes(f).size());
  check();
  for (const std::int64_t at : {std::int64_t{1}, writes / 8, writes / 3, 2 * writes / 3, writes - 1}) {
    SCOPED_TRACE("killed at write " + std::to_string(at) + " of " + std::to_string(writes));
    restore();
    pack(at, 0, ended);
    EXPECT_FALSE(ended);
    check();
  }
  // A full disk while the packed table is written, and while the index is rebuilt.
  std::vector<rlim_t> limits{packedTable / 2};
  if (largestIndex > packedTable + 1024) limits.push_back((packedTable + largestIndex) / 2);
  for (const rlim_t limit : limits) {
    SCOPED_TRACE("files up to " + std::to_string(limit) + " bytes");
    restore();
    pack(0, limit, ended);
    EXPECT_FALSE(ended);
    check();
  }
  EXPECT_EQ(limits.size(), 2u) << "the index is not larger than the table: no full disk during its rebuild";
}

// A reader keeps the pages it read while the file's change counter stays: after another
// process adds keys and moves one, it finds the new keys and no longer the old one.
TEST_P(TablesIndex, PagesKeptInMemoryGiveWayToAnotherProcesssWrites) {
  const std::vector<AnsiString> files = MakeFilled(400, {{"NAME", "NAME", "", false, false}});
  DBO_dBHandler h(Table(), true, true);
  OpenAll(h, files);
  h.SetTagTo("NAME", false);
  h.ExactMatch = true;
  std::vector<AnsiString> names;
  for (std::int64_t r = 1; r <= 400; ++r) {
    h.GetRecord(r);
    names.push_back(TrimRight(h.FieldGet(1)));
  }
  for (int round = 0; round < 2; ++round)  // the second round from memory
    for (std::int64_t r = 1; r <= 400; ++r) ASSERT_TRUE(h.FindKey(names[static_cast<std::size_t>(r - 1)]));
  ExpectExitedWell(Forked([&] {
    DBO_dBHandler w(Table(), true, true);
    for (const AnsiString& f : files)
      if (w.IndexOpen(f) != 0) throw EDbfError("index not opened");
    for (int i = 0; i < 300; ++i) {
      w.BlankRecord();
      w.FieldPut(1, "NEW" + IntToStr(i));
      w.Append();
    }
    w.GetRecord(7);
    w.FieldPut(1, "MOVED");
    w.PutRecord(7);
  }));
  for (int i = 0; i < 300; ++i) {
    EXPECT_TRUE(h.FindKey("NEW" + IntToStr(i))) << i;
    EXPECT_EQ(h.RecNo(), 401 + i);
  }
  EXPECT_TRUE(h.FindKey("MOVED"));
  EXPECT_EQ(h.RecNo(), 7);
  EXPECT_TRUE(std::count(names.begin(), names.end(), names[6]) > 1 || !h.FindKey(names[6]));
}

// Every write to an index file made slow, so that readers in other processes meet writes
// half-done.
void SlowIndexWrites(const AnsiString& name) {
  if (!AnsiSameText(ExtractFileExt(name), ".DBF")) ::usleep(300);
}

// Several processes append, find their own records through the tag and rewrite them on
// one shared table, each reading while others write: no read
// sees a write half-done (a damaged index, or keys missing), and every record is found.
TEST_P(TablesIndex, ReadersAmongManyWritersSeeNoHalfDoneWrite) {
  constexpr int kWriters = 4;
  constexpr int kReaders = 4;
  constexpr int kOps = 120;
  constexpr int kStanding = 100;  // records no one changes, sought by the readers
  CreateTable();
  std::vector<AnsiString> files;
  {
    DBO_dBHandler h(Table(), false, true);
    for (int i = 0; i < kStanding; ++i) {
      h.BlankRecord();
      h.FieldPut(1, "A" + IntToStr(i));
      h.Append();
    }
    files = GetParam().make(h, dir_.Path(), {{"NAME", "NAME", "", false, false}});
  }
  std::vector<pid_t> children;
  for (int c = 0; c < kWriters + kReaders; ++c) {
    children.push_back(Forked([&, c] {
      SetDiskWriteInterlude(SlowIndexWrites);
      LockTiming() = {30000, 2};  // the slow writes hold the locks long
      DBO_dBHandler h(Table(), true, true);
      for (const AnsiString& f : files)
        if (h.IndexOpen(f) != 0) throw EDbfError("index not opened");
      h.SetTagTo("NAME", false);
      h.ExactMatch = true;
      std::mt19937 rng(static_cast<unsigned>(c));
      if (c >= kWriters) {
        for (int k = 0; k < kOps * 8; ++k) {
          const AnsiString name = "A" + IntToStr(static_cast<int>(rng() % kStanding));
          if (!h.FindKey(name) || TrimRight(h.FieldGet(1)) != name) throw EDbfError("not found: " + name);
        }
        return;
      }
      std::vector<AnsiString> own;
      for (int k = 0; k < kOps; ++k) {
        if (own.empty() || k % 3 == 0) {
          own.push_back("P" + IntToStr(c) + "_" + IntToStr(k));
          h.BlankRecord();
          h.FieldPut(1, own.back());
          h.Append();
          continue;
        }
        AnsiString& name = own[rng() % own.size()];
        if (!h.FindKey(name) || TrimRight(h.FieldGet(1)) != name) throw EDbfError("not found: " + name);
        // The key moves: its entry leaves one page for another.
        name[0] = name[0] == 'P' ? 'Q' : 'P';
        h.FieldPut(1, name);
        h.NumberPut(2, k);
        h.PutRecord(h.RecNo());
      }
    }));
  }
  for (const pid_t child : children) ExpectExitedWell(child);
  DBO_dBHandler h(Table(), false, true);
  OpenAll(h, files);
  EXPECT_EQ(h.RecordCount(), kStanding + kWriters * kOps / 3);
  ExpectEveryRecordKeyedAndFound(h);
}

// A file renamed over would stay open in another process as it was, and the keys written
// there would be lost: a rebuild waits until no one else holds the index.
TEST_P(TablesIndex, ReindexIsRefusedWhileAnotherProcessHoldsTheIndex) {
  const TagDef tag{"NAME", "NAME", "", false, false};
  const std::vector<AnsiString> files = MakeFilled(300, {tag});
  DBO_dBHandler h(Table(), true, true);
  OpenAll(h, files);
  const AnsiString name = h.IndexFile(1)->IndexFileName();
  const std::string before = ReadBytes(name);
  {
    tables_test::HeldByOtherProcess other({"S", name});
    ASSERT_TRUE(other.Ready());
    EXPECT_EQ(tables_test::Message([&] { h.Reindex(); }), "File access denied - " + name);
    EXPECT_EQ(ReadBytes(name), before);
    CheckTag(h, tag);
  }
  h.Reindex();
  CheckTag(h, tag);
  // Shared again: another process opens it and adds keys the handler then reads.
  EXPECT_EQ(RunHelper({"indexappend", Table(), name, "Z", "3"}), 0);
  h.SetTagTo("NAME", false);
  EXPECT_TRUE(h.FindKey("Z2"));
  EXPECT_EQ(h.RecNo(), 303);
}

INSTANTIATE_TEST_SUITE_P(Formats, TablesIndex,
                         ::testing::Values(IndexFormat{".CDX", true, true, false, true, MakeCdx},
                                           IndexFormat{".NTX", false, true, false, true, MakeNtx},
                                           IndexFormat{".NDX", false, false, true, false, MakeNdx},
                                           IndexFormat{".MDX", true, true, true, false, MakeMdx}),
                         [](const auto& info) { return std::string(info.param.ext + 1); });

// --- CDX layout ---------------------------------------------------------------------------------

TEST(TablesCdx, LeafLayoutFollowsKeyLengthAndRecordCount) {
  struct Case {
    std::int64_t keyLength, records;
    int bytes, recBits, dupBits;
  };
  for (const Case& c : {Case{10, 65535, 3, 16, 4}, Case{10, 70000, 4, 24, 4}, Case{8, 100, 3, 16, 4},
                        Case{16, 100, 3, 14, 5}, Case{240, 1000, 4, 16, 8}}) {
    const auto l = DBobjCDXTag::LayoutFor(c.keyLength, c.records, true);
    EXPECT_EQ(l.bytes, c.bytes) << c.keyLength << " " << c.records;
    EXPECT_EQ(l.recBits, c.recBits);
    EXPECT_EQ(l.dupBits, c.dupBits);
    EXPECT_EQ(l.trailBits, c.dupBits);
    EXPECT_EQ(l.dupMask, (1 << c.dupBits) - 1);
  }
}

TEST(TablesCdx, NumberKeysKeepTheirOrderPreservingBytes) {
  EXPECT_EQ(SortFormOfDouble(1.0), std::string("\xBF\xF0"));
  EXPECT_EQ(SortFormOfDouble(-1.0), std::string("\x40\x0F\xFF\xFF\xFF\xFF\xFF\xFF"));
  EXPECT_EQ(SortFormOfDouble(0.0), std::string("\x80"));
  EXPECT_LT(SortFormOfDouble(-100.5), SortFormOfDouble(-100));
  EXPECT_LT(SortFormOfDouble(-100), SortFormOfDouble(-1));
  EXPECT_EQ(DoubleOfSortForm(SortFormOfDouble(-100.5)), -100.5);
}

class TablesCdxFile : public ::testing::Test {
 protected:
  AnsiString MakeTable(std::initializer_list<const char*> names) {
    const AnsiString t = dir_.Path() + "/c.dbf";
    CreateDbfTable(t, 0x03, {{"NAME", 'C', 10}, {"CODE", 'N', 5}}, {.Overwrite = true});
    DBO_dBHandler h(t, false, true);
    for (const char* n : names) {
      h.BlankRecord();
      h.FieldPut(1, n);
      h.Append();
    }
    return t;
  }
  TempDir dir_;
};

TEST_F(TablesCdxFile, LeafEntriesShareLeadingBytesAndDropTrailingBlanks) {
  DBO_dBHandler h(MakeTable({"SMITH", "SMITHSON"}), false, true);
  DBobjCDXFile f(&h, "c", true, true);
  DBobjCDXTag* tag = f.AddTag("NAME", "NAME", "", false, false);
  ASSERT_NE(tag, nullptr);
  const std::string bytes = ReadBytes(f.IndexFileName());
  const auto* node = reinterpret_cast<const std::uint8_t*>(bytes.data()) + tag->RootBlock();
  EXPECT_EQ(node[0], 3);  // root leaf
  EXPECT_EQ(node[2], 2);
  EXPECT_EQ(node[23], 3);  // bytes per entry
  // Entry 1: record 2, duplicate count 5, trailing count 2 in the top bits.
  const std::uint32_t e1 = node[27] | (node[28] << 8) | (node[29] << 16);
  EXPECT_EQ(e1 & 0xFFFF, 2u);
  EXPECT_EQ((e1 >> 16) & 0x0F, 5u);
  EXPECT_EQ((e1 >> 20) & 0x0F, 2u);
  // Tails from the end: SMITH (entry 0) last, SON before it.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(node) + 512 - 5, 5), "SMITH");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(node) + 512 - 8, 3), "SON");
  EXPECT_EQ(node[12] | (node[13] << 8), 488 - 6 - 8);
  EXPECT_EQ(f.Directory()->AllKeys().size(), 1u);
  // The table is marked as having its production index.
  EXPECT_EQ(static_cast<std::uint8_t>(ReadBytes(h.FileName())[28]) & 1, 1);
}

TEST_F(TablesCdxFile, TagNamesReplaceOnlyTheirOwnTagAndTheLastOneLeavesAnEmptyFile) {
  DBO_dBHandler h(MakeTable({"B", "A"}), false, true);
  AnsiString name;
  {
    DBobjCDXFile f(&h, "c", true, true);
    name = f.IndexFileName();
    f.AddTag("ABC", "NAME", "", false, false);
    f.AddTag("A", "CODE", "", false, false);
    f.AddTag("A", "NAME", "", false, true);  // replaces A, keeps ABC
    EXPECT_EQ(f.TagCount(), 2);
  }
  {
    DBobjCDXFile f(&h, "c");
    ASSERT_TRUE(f.HeaderValid());
    ASSERT_EQ(f.TagCount(), 2);
    EXPECT_EQ(f.TagByName("a")->KeyExprText(), "NAME");
    EXPECT_TRUE(f.TagBase(0)->Descending() || f.TagBase(1)->Descending());
    EXPECT_TRUE(f.DeleteTag("abc"));
    EXPECT_TRUE(f.DeleteTag("A"));
    EXPECT_FALSE(f.DeleteTag("A"));
  }
  EXPECT_EQ(ReadBytes(name).size(), 1536u);
  DBobjCDXFile f(&h, "c");
  EXPECT_TRUE(f.HeaderValid());
  EXPECT_EQ(f.TagCount(), 0);
}

// A process that has the index file open keeps the tags it read, and would not keep a
// tag added meanwhile by another one; tags change only while nobody else has the file.
TEST_F(TablesCdxFile, TagsChangeOnlyWhileNoOtherProcessHasTheFile) {
  DBO_dBHandler h(MakeTable({"B", "A", "C"}), true, true);
  struct Format {
    const char* ext;
    std::function<std::unique_ptr<DBobjIndexFile>(bool create)> open;
    std::function<bool(DBobjIndexFile&, const char*)> add;
    std::function<bool(DBobjIndexFile&, const char*)> remove;
  };
  const AnsiString base = dir_.Path() + "/c";
  const Format formats[] = {
      {".CDX", [&](bool create) -> std::unique_ptr<DBobjIndexFile> {
         return std::make_unique<DBobjCDXFile>(&h, base, create, create, true, true);
       },
       [](DBobjIndexFile& f, const char* tag) {
         return static_cast<DBobjCDXFile&>(f).AddTag(tag, "NAME", "", false, false) != nullptr;
       },
       [](DBobjIndexFile& f, const char* tag) { return static_cast<DBobjCDXFile&>(f).DeleteTag(tag); }},
      {".MDX", [&](bool create) -> std::unique_ptr<DBobjIndexFile> {
         return std::make_unique<DBobjMDXFile>(&h, base, create, create, true, true);
       },
       [](DBobjIndexFile& f, const char* tag) {
         return static_cast<DBobjMDXFile&>(f).AddTag(tag, "NAME", "", false, false) != nullptr;
       },
       [](DBobjIndexFile& f, const char* tag) { return static_cast<DBobjMDXFile&>(f).DeleteTag(tag); }},
  };
  for (const Format& format : formats) {
    SCOPED_TRACE(format.ext);
    auto f = format.open(true);  // a new file is the maker's alone
    ASSERT_TRUE(format.add(*f, "FIRST"));
    f.reset();
    f = format.open(false);
    const std::string file = SysPath(f->IndexFileName());
    const std::string before = ReadBytes(file);
    {
      HeldByOtherProcess other({"S", file});
      ASSERT_TRUE(other.Ready());
      EXPECT_EQ(Message([&] { format.add(*f, "SECOND"); }), "File access denied - " + f->IndexFileName());
      EXPECT_EQ(Message([&] { format.remove(*f, "FIRST"); }), "File access denied - " + f->IndexFileName());
      EXPECT_EQ(ReadBytes(file), before);
      EXPECT_EQ(f->TagCount(), 1);
    }
    EXPECT_TRUE(format.add(*f, "SECOND"));
    EXPECT_TRUE(format.remove(*f, "FIRST"));
    f.reset();
    f = format.open(false);
    ASSERT_EQ(f->TagCount(), 1);
    EXPECT_NE(f->TagByName("second"), nullptr);
  }
}

TEST_F(TablesCdxFile, AChildLinkBackToTheRootIsRefused) {
  std::vector<std::string> store;
  std::mt19937 rng(5);
  for (int i = 0; i < 3000; ++i) {
    std::string n(10, ' ');
    for (char& c : n) c = static_cast<char>('A' + rng() % 26);
    store.push_back(n);
  }
  const AnsiString t = dir_.Path() + "/c.dbf";
  CreateDbfTable(t, 0x03, {{"NAME", 'C', 10}, {"CODE", 'N', 5}}, {.Overwrite = true});
  AnsiString file;
  std::int64_t root = 0;
  {
    DBO_dBHandler h(t, false, true);
    for (const auto& n : store) {
      h.BlankRecord();
      h.FieldPut(1, n);
      h.Append();
    }
    DBobjCDXFile f(&h, "c", true, true);
    root = f.AddTag("NAME", "NAME", "", false, false)->RootBlock();
    file = f.IndexFileName();
  }
  std::string bytes = ReadBytes(file);
  // Every interior entry below the root is pointed back at the root.
  const std::int64_t keyLength = 10;
  int patched = 0;
  for (std::size_t block = 1024; block + 512 <= bytes.size(); block += 512) {
    auto* node = reinterpret_cast<std::uint8_t*>(bytes.data()) + block;
    if (static_cast<std::int64_t>(block) == root || node[0] != 0) continue;
    const int count = node[2] | (node[3] << 8);
    for (int i = 0; i < count && i < 27; ++i) {
      std::uint8_t* child = node + 12 + i * (keyLength + 8) + keyLength + 4;
      for (int j = 0; j < 4; ++j) child[j] = static_cast<std::uint8_t>(root >> (24 - 8 * j));
      ++patched;
    }
  }
  ASSERT_GT(patched, 0);
  tables_test::WriteBytes(file, bytes);
  EXPECT_FALSE(WalkDamaged(t, {file}));
}

// --- NTX layout --------------------------------------------------------------------------------

TEST(TablesNtx, PageSizesFollowTheKeyLength) {
  EXPECT_EQ(DBobjNTXTag::MaxKeysFor(10), 50);
  EXPECT_EQ(DBobjNTXTag::MaxKeysFor(8), 54);
  EXPECT_EQ(DBobjNTXTag::MaxKeysFor(120), 6);
  EXPECT_EQ(DBobjNTXTag::MaxKeysFor(250), 2);
}

class TablesNtxFile : public ::testing::Test {
 protected:
  AnsiString MakeTable(int nameLength) {
    const AnsiString t = dir_.Path() + "/n.dbf";
    CreateDbfTable(t, 0x03, {{"NAME", 'C', nameLength}, {"CODE", 'N', 4}, {"BORN", 'D'}}, {.Overwrite = true});
    return t;
  }
  TempDir dir_;
};

TEST_F(TablesNtxFile, KeysAreTextsThatSortNumbersAndDates) {
  DBO_dBHandler h(MakeTable(10), false, true);
  for (double v : {1.0, -1.0, -2.0, 0.0, 12.0}) {
    h.BlankRecord();
    h.NumberPut(2, v);
    h.FieldPut(3, v == 0 ? "" : "20240101");
    h.Append();
  }
  DBobjNTXFile code(&h, "code", true, true);
  DBobjNTXTag* tag = code.AddTag("CODE", "", false, false);
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->KeyLength(), 4);
  std::vector<std::string> keys;
  for (const auto& [k, r] : tag->AllKeys()) keys.push_back(k);
  EXPECT_EQ(keys, (std::vector<std::string>{",,,*", ",,,+", "0000", "0001", "0012"}));
  DBobjNTXFile born(&h, "born", true, true);
  const auto dates = born.AddTag("BORN", "", false, false)->AllKeys();
  ASSERT_EQ(dates.size(), 5u);
  EXPECT_EQ(dates.front().first, "00000000");
  EXPECT_EQ(dates.front().second, 4);
  EXPECT_EQ(dates.back().first, "20240101");
  // The header: signature, root, item size, key length, maximum and half page.
  const std::string bytes = ReadBytes(code.IndexFileName());
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  EXPECT_EQ(b[0], 6);
  EXPECT_EQ(b[12], 12);
  EXPECT_EQ(b[14], 4);
  EXPECT_EQ(b[18], DBobjNTXTag::MaxKeysFor(4));
  EXPECT_EQ(b[20], DBobjNTXTag::MaxKeysFor(4) / 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b) + 22), "CODE");
}

TEST_F(TablesNtxFile, DeletingKeysOfInteriorPagesAndEmptiedLeavesKeepsTheOrder) {
  // Long keys make pages of six keys, so deletions empty leaves and hit interior keys.
  DBO_dBHandler h(MakeTable(120), false, true);
  std::mt19937 rng(3);
  std::vector<std::string> names;
  for (int i = 0; i < 400; ++i) {
    std::string n = "K" + std::to_string(rng() % 100000);
    names.push_back(n);
    h.BlankRecord();
    h.FieldPut(1, n);
    h.Append();
  }
  {
    DBobjNTXFile f(&h, "name", true, true);
    f.AddTag("NAME", "", false, false);
  }
  DBO_dBHandler& w = h;
  ASSERT_EQ(w.IndexOpen("name.ntx"), 0);
  auto check = [&] {
    std::vector<std::pair<std::string, std::int64_t>> want;
    for (std::size_t i = 0; i < names.size(); ++i) want.emplace_back(names[i], static_cast<std::int64_t>(i + 1));
    std::sort(want.begin(), want.end());
    auto* tag = static_cast<DBobjIndexTagBase*>(w.IndexFile(1)->Tag(0));
    EXPECT_TRUE(tag->AllKeys() == want);
  };
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 80; ++i) {
      const std::size_t r = rng() % names.size();
      w.GetRecord(static_cast<std::int64_t>(r + 1));
      // Most keys move to the blank name at the front, emptying pages; a few go elsewhere.
      std::string n = rng() % 4 == 0 ? "K" + std::to_string(rng() % 100000) : "";
      w.FieldPut(1, n);
      w.PutRecord(static_cast<std::int64_t>(r + 1));
      names[r] = n;
    }
    check();
  }
}

// --- NDX layout --------------------------------------------------------------------------------

TEST(TablesNdx, PageSizesAndTheEmptyFile) {
  TempDir dir;
  const AnsiString t = dir.Path() + "/d.dbf";
  CreateDbfTable(t, 0x03, {{"A", 'C', 10}, {"B", 'C', 20}, {"N", 'N', 6}, {"D", 'D'}}, {.Overwrite = true});
  DBO_dBHandler h(t, false, true);
  struct Case {
    const char* expr;
    std::int64_t item, keys;
  };
  for (const Case& c : {Case{"A", 20, 25}, Case{"B", 28, 18}, Case{"N", 20, 25}, Case{"D", 16, 31}}) {
    DBobjNDXFile f(&h, c.expr, true, true);
    DBobjNDXTag* tag = f.AddTag(c.expr, false);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->ItemSize(), c.item) << c.expr;
    EXPECT_EQ(tag->MaxKeys(), c.keys) << c.expr;
    // An empty table: the header page and one empty root page.
    EXPECT_EQ(ReadBytes(f.IndexFileName()).size(), 1024u);
  }
}

// --- The next free block of NDX and MDX files --------------------------------------------------

// An independent reader of the NDX and MDX layouts, as a program that trusts the header's
// next free block: walks the first tag from its root through the blocks below that block
// and gives the keys met (trailing blanks cut), in order. `nextFreeBytes` gets the field
// as a byte offset.
std::vector<std::string> WalkBelowNextFree(const std::string& f, bool mdx, std::int64_t& nextFreeBytes) {
  auto at = [&](std::int64_t off, int n) -> std::int64_t {
    if (off < 0 || off + n > static_cast<std::int64_t>(f.size())) return -1;
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(f[static_cast<std::size_t>(off + i)]);
    return static_cast<std::int64_t>(v);
  };
  std::int64_t root, keyLen, item, blockBytes, header = 0, first;
  if (mdx) {
    nextFreeBytes = at(32, 4) * 512;
    blockBytes = at(22, 2);
    header = at(512 + 32, 4) * 512;
    root = at(header, 4) * 512;
    keyLen = at(header + 12, 2);
    item = at(header + 18, 2);
    first = 8;
  } else {
    nextFreeBytes = at(4, 4) * 512;
    blockBytes = 512;
    root = at(0, 4) * 512;
    keyLen = at(12, 2);
    item = at(18, 2);
    first = 4;
  }
  const std::int64_t keyAt = mdx ? 4 : 8;
  std::vector<std::string> keys;
  std::function<void(std::int64_t, int)> walk = [&](std::int64_t block, int depth) {
    if (block <= header || block + blockBytes > nextFreeBytes || depth > 32) return;  // not a live block
    const std::int64_t count = at(block, 4);
    if (count < 0 || first + count * item > blockBytes) return;
    const bool interior = mdx ? first + (count + 1) * item <= blockBytes && at(block + first + count * item, 4) != 0
                              : at(block + first, 4) > 0;
    if (interior && first + (count + 1) * item > blockBytes) return;
    for (std::int64_t i = 0; i < count; ++i) {
      const std::int64_t it = block + first + i * item;
      if (interior) {
        walk(at(it, 4) * 512, depth + 1);
      } else {
        std::string k = f.substr(static_cast<std::size_t>(it + keyAt), static_cast<std::size_t>(keyLen));
        while (!k.empty() && k.back() == ' ') k.pop_back();
        keys.push_back(k);
      }
    }
    if (interior) walk(at(block + first + count * item, 4) * 512, depth + 1);
  };
  walk(root, 0);
  return keys;
}

TEST(TablesIndexNextFree, TheHeaderNamesTheEndOfTheFileAfterEverySplit) {
  for (const bool mdx : {false, true}) {
    SCOPED_TRACE(mdx ? "MDX" : "NDX");
    TempDir dir;
    const AnsiString t = dir.Path() + "/t.dbf";
    CreateDbfTable(t, 0x03, {{"NAME", 'C', 12}}, {.Overwrite = true});
    std::mt19937 rng(5);
    auto name = [&] {
      std::string n;
      for (int i = 0; i < 10; ++i) n += static_cast<char>('A' + rng() % 26);
      return n;
    };
    AnsiString file;
    {
      DBO_dBHandler h(t, false, true);
      for (int i = 0; i < 3000; ++i) {
        h.BlankRecord();
        h.FieldPut(1, name());
        h.Append();
      }
      if (mdx) {
        DBobjMDXFile f(&h, dir.Path() + "/T.MDX", true, true);
        f.AddTag("NAME", "NAME", "", false);
        file = f.IndexFileName();
      } else {
        DBobjNDXFile f(&h, dir.Path() + "/NAME", true, true);
        f.AddTag("NAME", false);
        file = f.IndexFileName();
      }
    }
    DBO_dBHandler h(t, false, true);
    ASSERT_EQ(h.IndexOpen(file), 0);
    auto check = [&](const char* when) {
      SCOPED_TRACE(when);
      h.Flush();
      const std::string bytes = ReadBytes(file);
      std::int64_t nextFree = 0;
      const std::vector<std::string> keys = WalkBelowNextFree(bytes, mdx, nextFree);
      EXPECT_EQ(nextFree, static_cast<std::int64_t>(bytes.size()));
      EXPECT_EQ(static_cast<std::int64_t>(keys.size()), h.RecordCount());
      EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    };
    check("built");
    h.BlankRecord();
    h.FieldPut(1, name());
    h.Append();
    check("one append");
    for (int op = 0; op < 3000; ++op) {
      if (rng() % 2 == 0) {
        h.BlankRecord();
        h.FieldPut(1, name());
        h.Append();
      } else {
        const auto n = static_cast<std::int64_t>(1 + rng() % static_cast<unsigned>(h.RecordCount()));
        h.GetRecord(n);
        h.FieldPut(1, name());
        h.PutRecord(n);
      }
    }
    check("3000 appends and rewrites");
  }
}

// --- Pages kept in memory ------------------------------------------------------------------------

// A seek through pages read before takes them from memory: bytes written over the tag's
// pages from outside (nobody else may write a file open exclusively) do not reach it.
TEST(TablesIndexPages, ASecondSeekReadsThePagesFromMemory) {
  TempDir dir;
  const AnsiString t = dir.Path() + "/t.dbf";
  CreateDbfTable(t, 0x03, {{"NAME", 'C', 12}}, {.Overwrite = true});
  {
    DBO_dBHandler h(t, false, true);
    for (int i = 1; i <= 2000; ++i) {
      h.BlankRecord();
      h.FieldPut(1, "N" + IntToStr(100000 + i));
      h.Append();
    }
    DBobjCDXFile f(&h, dir.Path() + "/T.CDX", true, true);
    f.AddTag("NAME", "NAME", "", false, false);
  }
  DBO_dBHandler h(t, false, true);
  ASSERT_EQ(h.IndexOpen(dir.Path() + "/T.CDX"), 0);
  h.SetTagTo("NAME", false);
  ASSERT_TRUE(h.FindKey("N101000"));
  ASSERT_EQ(h.RecNo(), 1000);
  {
    // Every node of the tag (after the directory and the tag's header) zeroed.
    const std::string path = dir.Path() + "/T.CDX";
    const std::size_t size = ReadBytes(path).size();
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(2560);
    const std::string zeros(size - 2560, '\0');
    f.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  }
  EXPECT_TRUE(h.FindKey("N101000"));
  EXPECT_EQ(h.RecNo(), 1000);
}

// --- MDX layout ---------------------------------------------------------------------------------

TEST(TablesMdx, NumbersArePackedDecimals) {
  struct Case {
    double v;
    std::string bytes;  // the first three bytes
  };
  for (const Case& c : {Case{0.5, "\x34\x05\x50"}, Case{-0.5, "\x34\x85\x50"}, Case{9, "\x35\x05\x90"},
                        Case{10, "\x36\x05\x10"}, Case{123.25, "\x37\x15\x12"}}) {
    const std::string packed = DBobjMDXTag::PackNumber(c.v);
    EXPECT_EQ(packed.substr(0, 3), c.bytes) << c.v;
    EXPECT_EQ(DBobjMDXTag::UnpackNumber(reinterpret_cast<const std::uint8_t*>(packed.data())), c.v);
  }
}

// A descending tag keeps its keys in descending order in its blocks, says so in its header
// (key format byte 8, bit 0x08, as dBase IV writes it) and keeps them so through key
// upkeep and a rebuild.
TEST(TablesMdx, DescendingTagsWalkSeekAndStayDescending) {
  TempDir dir;
  const AnsiString t = dir.Path() + "/m.dbf";
  CreateDbfTable(t, 0x03, {{"A", 'C', 10}, {"N", 'N', 8, 2}}, {.Overwrite = true});
  std::mt19937 rng(11);
  std::vector<std::pair<std::string, double>> rows;
  auto add = [&](DBO_dBHandler& h) {
    std::string a;
    for (int j = 1 + static_cast<int>(rng() % 6); j > 0; --j) a += static_cast<char>('A' + rng() % 6);
    const double n = static_cast<double>(static_cast<int>(rng() % 2001) - 1000) / 4;
    h.BlankRecord();
    h.FieldPut(1, a);
    h.NumberPut(2, n);
    h.Append();
    rows.emplace_back(a, n);
  };
  {
    DBO_dBHandler h(t, false, true);
    for (int i = 0; i < 700; ++i) add(h);  // several levels of 62-key blocks
    DBobjMDXFile f(&h, "m", true, true);
    f.AddTag("AD", "A", "", false, true);
    f.AddTag("ND", "N", "", false, true);
    f.AddTag("AA", "A", "", false, false);
  }
  auto optionsOf = [&](const char* tagName) {
    const std::string bytes = ReadBytes(dir.Path() + "/M.MDX");
    for (int n = 1; n <= bytes[28]; ++n) {
      const char* e = bytes.data() + 512 + 32 * n;
      if (std::string(e + 4) != tagName) continue;
      const std::uint32_t unit = GetLE32(reinterpret_cast<const std::uint8_t*>(e));
      return static_cast<int>(static_cast<std::uint8_t>(bytes[unit * 512 + 8]));
    }
    return -1;
  };
  EXPECT_EQ(optionsOf("AD"), 0x18);
  EXPECT_EQ(optionsOf("ND"), 0x18);
  EXPECT_EQ(optionsOf("AA"), 0x10);

  DBO_dBHandler h(t, false, true);
  ASSERT_EQ(h.IndexOpen("m.mdx"), 0);
  auto walk = [&](const char* tagName, bool forward) {
    h.SetTagTo(tagName, false);
    std::vector<std::int64_t> got;
    for (h.GetRecord(forward ? dbp::First : dbp::Last); !h.Eof() && !h.Bof();
         h.GetRecord(forward ? dbp::Next : dbp::Previous))
      got.push_back(h.RecNo());
    return got;
  };
  auto check = [&] {
    std::vector<std::int64_t> byText(rows.size()), byNumber(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) byText[i] = byNumber[i] = static_cast<std::int64_t>(i + 1);
    auto text = [&](std::int64_t r) { return rows[static_cast<std::size_t>(r - 1)].first; };
    auto number = [&](std::int64_t r) { return rows[static_cast<std::size_t>(r - 1)].second; };
    for (const bool forward : {true, false}) {
      const std::vector<std::int64_t> ad = walk("AD", forward), nd = walk("ND", forward), aa = walk("AA", forward);
      ASSERT_EQ(ad.size(), rows.size());
      ASSERT_EQ(nd.size(), rows.size());
      ASSERT_EQ(aa.size(), rows.size());
      for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        // Forward a descending tag gives the greatest key first; backward the smallest.
        EXPECT_TRUE(forward ? text(ad[i]) >= text(ad[i + 1]) : text(ad[i]) <= text(ad[i + 1])) << i;
        EXPECT_TRUE(forward ? number(nd[i]) >= number(nd[i + 1]) : number(nd[i]) <= number(nd[i + 1])) << i;
        EXPECT_TRUE(forward ? text(aa[i]) <= text(aa[i + 1]) : text(aa[i]) >= text(aa[i + 1])) << i;
      }
    }
    // A partial key finds the greatest key that begins with it; a key that is not there
    // leaves the tag on the next key in its order, the greatest one below it.
    h.SetTagTo("AD", false);
    h.ExactMatch = false;
    ASSERT_TRUE(h.FindKey("C"));
    std::string greatestC;
    for (const auto& r : rows)
      if (r.first[0] == 'C') greatestC = std::max(greatestC, r.first);
    EXPECT_EQ(TrimRight(h.FieldGet(1)), greatestC);
    h.ExactMatch = true;
    EXPECT_FALSE(h.FindKey("CZ"));
    ASSERT_TRUE(h.FindKey(greatestC));
    EXPECT_EQ(TrimRight(h.FieldGet(1)), greatestC);
    h.ExactMatch = false;
    EXPECT_TRUE(h.MasterTag()->SeekKey(greatestC + "A"));
    EXPECT_EQ(h.MasterTag()->CurrentKey(), greatestC);
    h.SetTagTo("ND", false);
    ASSERT_TRUE(h.FindKey(FloatToStr(rows[5].second)));
    EXPECT_EQ(h.NumberGet(2), rows[5].second);
  };
  check();
  for (int i = 0; i < 300; ++i) add(h);
  for (int i = 0; i < 200; ++i) {
    const auto n = static_cast<std::int64_t>(1 + rng() % rows.size());
    h.GetRecord(n);
    std::string a(1 + rng() % 5, 'A');
    for (char& c : a) c = static_cast<char>('A' + rng() % 6);
    h.FieldPut(1, a);
    h.PutRecord(n);
    rows[static_cast<std::size_t>(n - 1)].first = a;
  }
  check();
  h.Reindex();
  check();
  EXPECT_EQ(optionsOf("AD"), 0x18);
}

TEST(TablesMdx, TagTableSizesAndItsLimit) {
  TempDir dir;
  const AnsiString t = dir.Path() + "/m.dbf";
  CreateDbfTable(t, 0x03, {{"A", 'C', 10}, {"N", 'N', 6}, {"D", 'D'}}, {.Overwrite = true});
  DBO_dBHandler h(t, false, true);
  h.BlankRecord();
  h.Append();
  AnsiString file;
  {
    DBobjMDXFile f(&h, "m", true, true);
    file = f.IndexFileName();
    struct Case {
      const char* name;
      const char* expr;
      std::int64_t item, keys;
    };
    for (const Case& c : {Case{"TA", "A", 16, 62}, Case{"SN", "N", 16, 62}, Case{"RD", "D", 12, 83}}) {
      DBobjMDXTag* tag = f.AddTag(c.name, c.expr, "", false);
      ASSERT_NE(tag, nullptr);
      EXPECT_EQ(tag->ItemSize(), c.item) << c.expr;
      EXPECT_EQ(tag->MaxKeys(), c.keys) << c.expr;
    }
    // Tags are listed by name.
    const std::string bytes = ReadBytes(file);
    EXPECT_EQ(bytes[28], 3);
    EXPECT_EQ(std::string(bytes.data() + 512 + 32 + 4), "RD");
    EXPECT_EQ(std::string(bytes.data() + 512 + 64 + 4), "SN");
    EXPECT_EQ(std::string(bytes.data() + 512 + 96 + 4), "TA");
    EXPECT_EQ(bytes[512 + 32 + 17], 2);
    EXPECT_EQ(bytes[512 + 96 + 17], 0);
    for (int i = 3; i < DBobjMDXFile::kMaxTags; ++i) f.AddTag("T" + std::to_string(i), "A", "", false);
    EXPECT_THROW(f.AddTag("ONEMORE", "A", "", false), EDbfError);  // would write over a tag's block
    EXPECT_EQ(f.TagCount(), DBobjMDXFile::kMaxTags);
  }
  DBobjMDXFile again(&h, "m");
  EXPECT_TRUE(again.HeaderValid());
  EXPECT_EQ(again.TagCount(), DBobjMDXFile::kMaxTags);
  EXPECT_EQ(again.TagByName("sn")->KeyExprText(), "N");
}

}  // namespace
