// Walks over index files whose trees are not what they claim: interior pages that lead to
// the same child several times (no cycle, yet a walk that multiplies its keys) and an
// index with more keys than its table has records are damaged (2112) in every format,
// found while walking rather than after fanOut^levels times the keys.
#include <gtest/gtest.h>

#include <functional>

#include "TablesTestSupport.h"
#include "tables/DbfDB.h"
#include "tables/IndexShapes.h"
#include "test_support/TempDir.h"

namespace {

using tables_test::Message;

const char* const kFormats[] = {".CDX", ".NTX", ".NDX", ".MDX"};

// Walks the table's one tag from its first key forward (from its last backward) to the
// edge; the keys met (at most `cap`, so that a walk that multiplies still ends).
std::int64_t WalkTag(DBO_dBHandler& h, bool back, std::int64_t cap = 1000000) {
  DBobjIndexTag* tag = h.TagByNumber(1);
  std::int64_t keys = 0;
  for (std::int64_t r = tag->KeyRead(back ? dbp::Last : dbp::First); r != 0 && keys < cap;
       r = tag->KeyRead(back ? dbp::Previous : dbp::Next))
    ++keys;
  return keys;
}

struct Shape {
  const char* what;
  int records;     // records the index is built over
  int cutTo;       // records the table keeps (0: all)
  int levels;      // interior pages stacked over the root, each leading fanOut times below
  int fanOut;
  bool damaged;
};

// Sound trees walk their keys once each way; a tree of 4 levels of 4 shared children over
// 30 records (7,680 keys for 30 records before) and 60 keys of a table cut to 30 records
// are refused with 2112.
const Shape kShapes[] = {
    {"sound", 30, 0, 0, 0, false},
    {"one level of a single child", 30, 0, 1, 1, false},
    {"two entries leading to one leaf", 30, 0, 1, 2, true},
    {"four levels of four shared children", 30, 0, 4, 4, true},
    {"eight levels of two shared children", 30, 0, 8, 2, true},
    {"more keys than records", 60, 30, 0, 0, true},
};

TEST(TablesIndexWalk, SharedChildrenAndMoreKeysThanRecordsAreDamagedInEveryFormat) {
  for (const char* ext : kFormats) {
    for (const Shape& s : kShapes) {
      SCOPED_TRACE(std::string(ext) + " " + s.what);
      TempDir dir;
      const AnsiString table = index_shapes::WriteTable(dir.Path(), s.records);
      const index_shapes::IndexLayout layout = index_shapes::WriteIndex(table, dir.Path(), ext);
      if (s.levels > 0) index_shapes::StackSharedChildren(layout, s.levels, s.fanOut);
      if (s.cutTo > 0) index_shapes::CutTable(table, s.cutTo);
      const int records = s.cutTo > 0 ? s.cutTo : s.records;
      // NTX interior pages hold keys of their own, which the walk meets too.
      const std::int64_t interiorKeys = ext == std::string(".NTX") ? std::int64_t{s.levels} * (s.fanOut - 1) : 0;
      for (bool back : {false, true}) {
        SCOPED_TRACE(back ? "backward" : "forward");
        DBO_dBHandler h(table, false, true);
        ASSERT_EQ(h.IndexOpen(layout.path), 0);
        std::int64_t keys = -1;
        const std::string message = Message([&] { keys = WalkTag(h, back); });
        if (s.damaged) {
          EXPECT_NE(message.find("2112"), std::string::npos) << message << " after " << keys << " keys";
        } else {
          EXPECT_EQ(message, "<no EDbfError>");
          EXPECT_EQ(keys, records + (s.fanOut == 1 ? 0 : interiorKeys));
        }
      }
    }
  }
}

// The handler's scan of a table (the way every list and report reads it) ends with the
// error instead of showing the same records again and again.
TEST(TablesIndexWalk, AScanThroughSharedChildrenEndsWithTheDamagedIndexError) {
  for (const char* ext : kFormats) {
    SCOPED_TRACE(ext);
    TempDir dir;
    const AnsiString table = index_shapes::WriteTable(dir.Path(), 30);
    const index_shapes::IndexLayout layout = index_shapes::WriteIndex(table, dir.Path(), ext);
    index_shapes::StackSharedChildren(layout, 4, 4);
    DBO_dBHandler h(table, false, true);
    ASSERT_EQ(h.IndexOpen(layout.path), 0);
    ASSERT_EQ(h.SetTagTo(h.TagByNumber(1)->TagName(), false), 1);
    int rows = 0;
    const std::string message = Message([&] {
      for (h.GetRecord(dbp::First); !h.Eof() && rows < 100000; h.GetRecord(dbp::Next)) ++rows;
    });
    EXPECT_NE(message.find("2112"), std::string::npos) << message << " after " << rows << " rows";
    EXPECT_LE(rows, 31);
  }
}

// The dataset the program reads tables through, over an index of four levels of four
// shared children (7,680 keys for 30 records): every way it walks the tag (forward,
// backward, a search, a key range, a filter, a count) ends with the error or with at
// most the table's records, never with the multiplied keys.
TEST(TablesIndexWalk, TheDataSetsWalksOverSharedChildrenEndWithTheDamagedIndexError) {
  struct Way {
    const char* what;
    std::function<std::int64_t(TDbfDataSet&)> walk;  // the rows met
  };
  const auto rows = [](TDbfDataSet& ds, bool back) {
    std::int64_t n = 0;
    for (back ? ds.Last() : ds.First(); !(back ? ds.Bof() : ds.Eof()) && n < 100000; back ? ds.Prior() : ds.Next()) ++n;
    return n;
  };
  const Way ways[] = {
      {"forward", [&](TDbfDataSet& ds) { return rows(ds, false); }},
      {"backward", [&](TDbfDataSet& ds) { return rows(ds, true); }},
      {"search", [](TDbfDataSet& ds) { return std::int64_t{ds.Locate("NAME", Variant("K029"), 0) ? 1 : 0}; }},
      {"search of a missing key", [](TDbfDataSet& ds) { return std::int64_t{ds.Locate("NAME", Variant("K5"), loPartialKey) ? 1 : 0}; }},
      {"key range",
       [&](TDbfDataSet& ds) {
         ds.SetRange("K001", "K028");
         return rows(ds, false);
       }},
      {"filter",
       [&](TDbfDataSet& ds) {
         ds.SetFilter("NAME = 'K007'");
         ds.SetFilteredOn(true);
         return rows(ds, false);
       }},
      {"count", [](TDbfDataSet& ds) { return ds.RecordCount(); }},
  };
  for (const char* ext : kFormats) {
    for (const Way& way : ways) {
      SCOPED_TRACE(std::string(ext) + " " + way.what);
      TempDir dir;
      const AnsiString table = index_shapes::WriteTable(dir.Path(), 30);
      const index_shapes::IndexLayout layout = index_shapes::WriteIndex(table, dir.Path(), ext);
      index_shapes::StackSharedChildren(layout, 4, 4);
      std::int64_t met = -1;
      const std::string message = Message([&] {
        TDbfDataSet ds;
        ds.SetDatabaseName(dir.Path());
        ds.SetTableName("T");
        ds.IndexFiles().Add(ExtractFileName(layout.path));
        ds.SetIndexName("NAME");
        ds.Open();
        met = way.walk(ds);
      });
      if (message.find("2112") == std::string::npos) {
        EXPECT_LE(met, 30) << message;
      }
    }
  }
}

// Turning round, and asking again at an edge, are no second visit: a sound tree walks on.
TEST(TablesIndexWalk, TurningRoundAndStepsAtTheEdgesAreNoDamage) {
  for (const char* ext : kFormats) {
    SCOPED_TRACE(ext);
    TempDir dir;
    const AnsiString table = index_shapes::WriteTable(dir.Path(), 400);
    const index_shapes::IndexLayout layout = index_shapes::WriteIndex(table, dir.Path(), ext);
    DBO_dBHandler h(table, false, true);
    ASSERT_EQ(h.IndexOpen(layout.path), 0);
    DBobjIndexTag* tag = h.TagByNumber(1);
    // Keys in record order: three steps forward, two back, over the whole tree.
    std::int64_t at = tag->KeyRead(dbp::First);
    ASSERT_EQ(at, 1);
    for (int i = 0; at < 400; ++i) {
      const bool forward = i % 5 < 3;
      at += forward ? 1 : -1;
      ASSERT_EQ(tag->KeyRead(forward ? dbp::Next : dbp::Previous), at) << i;
    }
    EXPECT_EQ(tag->KeyRead(dbp::Last), 400);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(tag->KeyRead(dbp::Next), 0);
    EXPECT_EQ(tag->KeyRead(dbp::Previous), 400);
    EXPECT_EQ(WalkTag(h, false), 400);
    EXPECT_EQ(WalkTag(h, true), 400);
  }
}

}  // namespace
