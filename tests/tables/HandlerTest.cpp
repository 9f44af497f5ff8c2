// The table handler: navigation over deleted and filtered records, Skip, the filter
// set and its upkeep, SearchField, Pack, and the index list through a test format.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <map>

#include "TablesTestSupport.h"
#include "platform/core/Files.h"
#include "tables/db_cdx.h"
#include "tables/db_create.h"
#include "tables/db_dbsy.h"
#include "tables/db_memo.h"

namespace {

using tables_test::DiskFullAt;
using tables_test::Message;
using tables_test::ReadBytes;

using Progress = std::array<std::int32_t, 3>;

class RecordingHandler : public DBO_dBHandler {
 public:
  using DBO_dBHandler::DBO_dBHandler;
  void StatusUpdate(std::int32_t a, std::int32_t b, std::int32_t c) override {
    progress.push_back({a, b, c});
  }
  std::vector<Progress> progress;
};

// --- A test index format: keys kept in memory, one tag per file ---------------------------------

struct FakeIndexState {
  int lockCalls = 0;
  bool locked = false;
  bool refuseLock = false;
  bool throwOnLock = false;
  std::vector<std::pair<bool, std::int64_t>> updates;
};

class FakeTag : public DBobjIndexTag {
 public:
  explicit FakeTag(AnsiString name) : name_(std::move(name)) {}
  AnsiString TagName() const override { return name_; }
  std::int64_t KeyRead(std::int64_t code) override {
    bof_ = eof_ = false;
    const std::vector<std::pair<AnsiString, std::int64_t>> shown = InRange();
    const std::int64_t n = std::ssize(shown);
    if (code == dbp::First) pos_ = 0;
    if (code == dbp::Last) pos_ = n - 1;
    if (code == dbp::Next) ++pos_;
    if (code == dbp::Previous) --pos_;
    if (pos_ < 0 || n == 0) {
      pos_ = -1;
      bof_ = true;
      return 0;
    }
    if (pos_ >= n) {
      pos_ = n;
      eof_ = true;
      return 0;
    }
    return shown[static_cast<std::size_t>(pos_)].second;
  }
  std::vector<std::pair<AnsiString, std::int64_t>> InRange() const {
    std::vector<std::pair<AnsiString, std::int64_t>> out;
    for (const auto& k : keys)
      if (!empty_ && (!lowSet_ || k.first >= low_) && (!highSet_ || k.first <= high_)) out.push_back(k);
    return out;
  }
  void SetKeyRange(std::string_view low, std::string_view high, bool lowSet, bool highSet) override {
    low_ = low;
    high_ = high;
    lowSet_ = lowSet;
    highSet_ = highSet;
    empty_ = false;
  }
  void SetEmptyKeyRange() override { empty_ = true; }
  bool Bof() const override { return bof_; }
  bool Eof() const override { return eof_; }
  bool SeekKey(std::string_view key) override {
    auto it = std::lower_bound(keys.begin(), keys.end(), std::make_pair(AnsiString(key), std::int64_t{0}));
    pos_ = it - keys.begin();
    return it != keys.end();
  }
  AnsiString CurrentKey() const override {
    return pos_ >= 0 && pos_ < std::ssize(keys) ? keys[static_cast<std::size_t>(pos_)].first : AnsiString();
  }
  std::int64_t FindExact(std::string_view key) override {
    for (const auto& k : keys)
      if (k.first == key) return k.second;
    return 0;
  }
  void ResetPages(int) override {}
  void ClearRange() override { lowSet_ = highSet_ = empty_ = false; }

  std::vector<std::pair<AnsiString, std::int64_t>> keys;  // sorted

 private:
  AnsiString name_;
  std::int64_t pos_ = -1;
  bool bof_ = false, eof_ = false;
  AnsiString low_, high_;
  bool lowSet_ = false, highSet_ = false, empty_ = false;
};

std::map<AnsiString, FakeIndexState>& FakeStates() {
  static std::map<AnsiString, FakeIndexState> states;
  return states;
}

class FakeIndexFile : public DBobjIndexFile {
 public:
  FakeIndexFile(DBO_dBHandler& table, AnsiString name)
      : table_(table),
        name_(std::move(name)),
        tag_(ExtractNameNoExt(name_)),
        state_(FakeStates()[ExtractFileName(name_)]) {}
  AnsiString IndexFileName() const override { return name_; }
  bool HeaderValid() const override { return true; }
  bool LockIndex() override {
    ++state_.lockCalls;
    if (state_.throwOnLock) throw EDbfError("Error 33 in Lock of " + name_);
    if (state_.refuseLock) return false;
    state_.locked = true;
    return true;
  }
  bool UnlockIndex() override {
    state_.locked = false;
    return true;
  }
  void Updated(bool append, std::int64_t recNo) override { state_.updates.emplace_back(append, recNo); }
  void Reindex() override {
    // Keys of the first field of every record that is not deleted.
    tag_.keys.clear();
    for (table_.GetRecord(dbp::First); !table_.Eof() && table_.RecNo() > 0; table_.GetRecord(dbp::Next))
      if (!table_.IsDeleted()) tag_.keys.emplace_back(TrimRight(table_.FieldGet(1)), table_.RecNo());
    std::sort(tag_.keys.begin(), tag_.keys.end());
  }
  void FlushIndex() override {}
  void SetLockProtocol(TdbLokProtocol) override {}
  bool RenameIndex(std::string_view newName) override {
    name_ = newName;
    return true;
  }
  std::int64_t TagCount() const override { return 1; }
  DBobjIndexTag* Tag(std::int64_t) override { return &tag_; }
  FakeTag& TheTag() { return tag_; }

 private:
  DBO_dBHandler& table_;
  AnsiString name_;
  FakeTag tag_;
  FakeIndexState& state_;
};

class TablesHandler : public ::testing::Test {
 protected:
  TablesHandler() {
    FakeStates().clear();
    RegisterIndexFormat(".TST",
                        [](DBO_dBHandler& t, const AnsiString& name) -> std::unique_ptr<DBobjIndexFile> {
                          return std::make_unique<FakeIndexFile>(t, name);
                        });
  }
  ~TablesHandler() override { RegisterIndexFormat(".TST", {}); }

  // A table of NAME C(10), CODE N(5), BORN D, OK L with one record per name; the records
  // whose numbers are listed are deleted.
  AnsiString Make(const std::vector<const char*>& names, std::initializer_list<std::int64_t> deleted = {},
                  const char* file = "h.dbf") {
    AnsiString name = dir_.Path() + "/" + file;
    CreateDbfTable(name, 0x03, {{"NAME", 'C', 10}, {"CODE", 'N', 5}, {"BORN", 'D'}, {"OK", 'L'}},
                   {.Overwrite = true});
    DBO_dBaseFld t(name, false, true);
    for (std::size_t i = 0; i < names.size(); ++i) {
      t.BlankRecord();
      t.FieldPut(1, names[i]);
      t.NumberPut(2, static_cast<double>(i + 1));
      t.DatePut(3, static_cast<std::int32_t>(2451545 + i));
      t.LogicPut(4, i % 2 == 0);
      t.Append();
    }
    for (std::int64_t r : deleted) {
      t.GetRecord(r);
      t.Delete();
    }
    return name;
  }

  // The record numbers met walking forward (or backward) from first (last).
  static std::vector<std::int64_t> Walk(DBO_dBHandler& h, bool backward = false) {
    std::vector<std::int64_t> out;
    for (h.GetRecord(backward ? dbp::Last : dbp::First); !h.Eof() && !h.Bof();
         h.GetRecord(backward ? dbp::Previous : dbp::Next))
      out.push_back(h.RecNo());
    return out;
  }

  TempDir dir_;
  using V = std::vector<std::int64_t>;
};

TEST_F(TablesHandler, NavigationHidesDeletedRecordsUnlessShown) {
  DBO_dBHandler h(Make({"A", "B", "C", "D", "E"}, {1, 3, 5}), false, true);
  EXPECT_EQ(Walk(h), (V{2, 4}));
  EXPECT_EQ(Walk(h, true), (V{4, 2}));
  h.GetRecord(dbp::Last);
  EXPECT_EQ(h.RecNo(), 4);
  h.GetRecord(3);  // a record number is read whatever it holds
  EXPECT_TRUE(h.IsDeleted());
  h.GetRecord(dbp::Current);  // a re-read goes on to the next visible record
  EXPECT_EQ(h.RecNo(), 4);
  h.ShowDeleted = true;
  EXPECT_EQ(Walk(h), (V{1, 2, 3, 4, 5}));

  DBO_dBHandler all(Make({"A", "B"}, {1, 2}, "all.dbf"), false, true);
  all.GetRecord(dbp::First);
  EXPECT_TRUE(all.Eof());
  all.GetRecord(dbp::Last);
  EXPECT_TRUE(all.Bof());
}

TEST_F(TablesHandler, SkipSingleStrideAndSteps) {
  for (bool showDeleted : {true, false}) {
    SCOPED_TRACE(showDeleted);
    DBO_dBHandler h(Make({"A", "B", "C"}), false, true);
    h.ShowDeleted = showDeleted;
    h.GetRecord(dbp::First);
    h.Skip(5);
    EXPECT_EQ(h.RecNo(), 3);
    EXPECT_TRUE(h.Eof());
    EXPECT_EQ(TrimRight(h.FieldGet(1)), "C");
    h.Skip(-1);
    EXPECT_EQ(h.RecNo(), 2);
    EXPECT_FALSE(h.Eof());
    h.Skip(-7);
    EXPECT_EQ(h.RecNo(), 1);
    EXPECT_TRUE(h.Bof());
    h.Skip(2);
    EXPECT_EQ(h.RecNo(), 3);
    EXPECT_FALSE(h.Eof());
  }
  DBO_dBHandler h(Make({"A", "B", "C", "D", "E", "F"}, {2, 3}, "s.dbf"), false, true);
  h.GetRecord(dbp::First);
  h.Skip(2);  // over the deleted 2 and 3
  EXPECT_EQ(h.RecNo(), 5);
  h.SetFilter("CODE # 5", false, true);
  h.SetFilterActive(true);
  h.GetRecord(dbp::First);
  h.Skip(2);
  EXPECT_EQ(h.RecNo(), 6);
  h.Skip(1);
  EXPECT_TRUE(h.Eof());
}

TEST_F(TablesHandler, FilterEdges) {
  RecordingHandler h(Make({"ANNA", "BORIS", "ALLA", "DMITRY", "ANTON"}, {5}), false, true);
  h.SetFilter("NAME = 'A*'", false, true);
  EXPECT_FALSE(h.FilterInForce());  // not requested yet
  h.SetFilterActive(true);
  EXPECT_TRUE(h.FilterInForce());
  EXPECT_EQ(Walk(h), (V{1, 3}));  // the deleted ANTON stays out
  EXPECT_EQ(Walk(h, true), (V{3, 1}));

  // Next from the last record of the set: the end, with the record buffer as it was.
  h.GetRecord(dbp::Last);
  h.GetRecord(dbp::Next);
  EXPECT_TRUE(h.Eof());
  EXPECT_EQ(h.RecNo(), 3);
  EXPECT_EQ(TrimRight(h.FieldGet(1)), "ALLA");

  // Caseless, and without partial compare the "*" is an ordinary character.
  h.SetFilter("NAME = 'a*'", true, true);
  EXPECT_EQ(Walk(h), (V{1, 3}));
  h.SetFilter("NAME = 'A*'", false, false);
  EXPECT_EQ(Walk(h), V{});

  // Nothing matches: first and last set both flags.
  h.SetFilter("CODE > 100", false, true);
  h.GetRecord(dbp::First);
  EXPECT_TRUE(h.Bof() && h.Eof());
  h.GetRecord(dbp::Last);
  EXPECT_TRUE(h.Bof() && h.Eof());

  // The same text and options again do not visit the table: a change made behind the
  // handler's back stays unseen until the options change.
  h.SetFilter("CODE < 3", false, true);
  EXPECT_EQ(Walk(h), (V{1, 2}));
  {
    DBO_dBaseFld other(h.FileName(), false, true);
    other.GetRecord(4);
    other.NumberPut(2, 1);
    other.PutRecord(4);
  }
  h.SetFilter("CODE < 3", false, true);
  EXPECT_EQ(Walk(h), (V{1, 2}));
  h.SetFilter("CODE < 3", true, true);
  EXPECT_EQ(Walk(h), (V{1, 2, 4}));

  // The set follows rewrites and appends.
  h.GetRecord(2);
  h.NumberPut(2, 50);
  h.PutRecord(2);
  h.BlankRecord();
  h.FieldPut(1, "NEW");
  h.NumberPut(2, 0);
  h.Append();
  EXPECT_EQ(Walk(h), (V{1, 4, 6}));

  // Switched off, every visible record again.
  h.SetFilterActive(false);
  EXPECT_EQ(Walk(h), (V{1, 2, 3, 4, 6}));

  EXPECT_EQ(Message([&] { h.SetFilter("NAME", false, true); }),
            "Filter expression must return boolean result");
  EXPECT_THROW(h.SetFilter("CODE = ", false, true), EDbfExpression);
  h.SetFilterActive(true);
  EXPECT_FALSE(h.FilterInForce());
  EXPECT_EQ(Walk(h), (V{1, 2, 3, 4, 6}));
}

TEST_F(TablesHandler, AFilterThatFailsOnARecordIsNotLeftHalfEvaluated) {
  DBO_dBHandler h(Make({"A", "B", "C", "D"}), false, true);
  h.GetRecord(3);
  h.FieldPut(2, "abc");  // no number: the filter cannot be evaluated on record 3
  h.PutRecord(3);
  h.GetRecord(1);
  EXPECT_THROW(h.SetFilter("CODE > 0", false, true), EDbfError);
  h.SetFilterActive(true);
  EXPECT_FALSE(h.FilterInForce());
  EXPECT_EQ(Walk(h), (V{1, 2, 3, 4}));
  // Once the record is mended the same filter is evaluated again, not taken as known.
  h.GetRecord(3);
  h.FieldPut(2, "7");
  h.PutRecord(3);
  h.SetFilter("CODE > 0", false, true);
  EXPECT_TRUE(h.FilterInForce());
  EXPECT_EQ(Walk(h), (V{1, 2, 3, 4}));
  h.SetFilter("CODE > 3", false, true);
  EXPECT_EQ(Walk(h), (V{3, 4}));

  // A written record that the filter cannot take is written, reported so, and left out.
  h.GetRecord(4);
  h.FieldPut(2, "xyz");
  EXPECT_NO_THROW(h.PutRecord(4));
  h.BlankRecord();
  h.FieldPut(2, "?");
  EXPECT_NO_THROW(h.Append());
  EXPECT_EQ(h.RecordCount(), 5);
  EXPECT_EQ(Walk(h), (V{3}));
  h.SetFilterActive(false);
  h.GetRecord(4);
  EXPECT_EQ(h.FieldGet(2), "  xyz");
}

// A table whose reads of one record fail from its n-th read on (a disk that went bad).
class FailingReads : public DBO_dBHandler {
 public:
  using DBO_dBHandler::DBO_dBHandler;
  std::int64_t ReadAt(std::int64_t offset, void* buffer, std::int64_t count) override {
    if (offset == failOffset && ++reads >= failFrom) throw EDbfError("Disk read error - test");
    return DBO_dBHandler::ReadAt(offset, buffer, count);
  }
  std::int64_t failOffset = -1;
  int failFrom = 0;
  int reads = 0;
};

TEST_F(TablesHandler, AFailureWhileRestoringThePositionIsReportedNotFatal) {
  FailingReads h(Make({"A", "B", "C"}), false, true);
  h.GetRecord(2);
  // The filter's walk reads record 2 once; going back to it afterwards fails.
  h.failOffset = h.HeaderLength() + h.RecordLength();
  h.failFrom = 2;
  EXPECT_EQ(Message([&] { h.SetFilter("CODE > 1", false, true); }), "Disk read error - test");
  h.failOffset = -1;
  h.SetFilterActive(true);
  EXPECT_FALSE(h.FilterInForce());
  h.SetFilter("CODE > 1", false, true);
  EXPECT_EQ(Walk(h), (V{2, 3}));

  // Failing while the walk's own error leaves: that first error is the one reported.
  h.GetRecord(3);
  h.FieldPut(2, "abc");
  h.PutRecord(3);
  h.GetRecord(2);
  h.reads = 0;
  h.failOffset = h.HeaderLength() + h.RecordLength();
  EXPECT_EQ(Message([&] { h.SetFilter("CODE > 2", false, true); }).substr(0, 32),
            "dBase field is of incorrect type");
  h.failOffset = -1;
}

TEST_F(TablesHandler, SearchFieldTextRule) {
  struct Case {
    const char* field;
    const char* text;
    std::uint16_t flags;
    std::int64_t code;
  };
  const Case cases[] = {
      {"xABy", "ab", dbs::Caseless, 2},
      {"xABy", "ab", dbs::Caseless | dbs::Anchored, 0},
      {"xABy", "ab", 0, 0},
      {"xABy", "AB", 0, 2},
      {"xABy", "AB", dbs::Exact, 0},
      {"xABy", "xABy", dbs::Exact, 1},
      {"xABy", "xAB", dbs::Exact, 0},
      {"ABCD", "ABC", 0, 1},
      {"ABCD", "*CD", dbs::Wildcards, 3},
      {"BAB", "*B", dbs::Wildcards, 3},  // the end, not the first occurrence
      {"ABXAB", "*AB", dbs::Wildcards | dbs::Caseless, 4},
      {"ABXABY", "*AB", dbs::Wildcards, 0},
      {"ABCD", "*BC", dbs::Wildcards, 0},
      {"ABCD", "*BC*", dbs::Wildcards, 2},
      {"ABCD", "AB*", dbs::Wildcards, 1},
      {"ABCD", "BC*", dbs::Wildcards, 0},
      {"ABCD", "A?CD", dbs::Wildcards, 1},
      {"ABCD", "A?C*", dbs::Wildcards, 1},
      {"ABCD", "A?X*", dbs::Wildcards, 0},
      {"ABCD", "ABCD", dbs::Wildcards, 1},
      {"ABCD", "ABCDEFGHIJKL", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " / " + c.text + " / " + std::to_string(c.flags));
    DBO_dBHandler h(Make({"other", c.field}), false, true);
    h.SearchFlags = c.flags;
    std::int64_t field = 1, found = 0;
    EXPECT_EQ(h.SearchField(c.text, field, 0, found), c.code);
    EXPECT_EQ(found, c.code ? 2 : 0);
  }
  // Caseless folding in the table's code page (866).
  DBO_dBHandler h(Make({"A", cp::Utf8To866("хлебЖ").c_str()}, {}, "ru.dbf"), false, true);
  h.SearchFlags = dbs::Caseless;
  std::int64_t field = 1, found = 0;
  EXPECT_EQ(h.SearchField(cp::Utf8To866("ЛЕБж"), field, 0, found), 2);
}

TEST_F(TablesHandler, SearchFieldTypesProgressAndContinuation) {
  RecordingHandler h(Make({"A", "B", "C", "D"}, {2}), false, true);
  h.GetRecord(4);
  std::int64_t field = 2, found = 0;
  EXPECT_EQ(h.SearchField("2", field, 0, found), 1);  // deleted records are searched too
  EXPECT_EQ(found, 2);
  EXPECT_EQ(h.RecNo(), 2);
  EXPECT_EQ(h.TableState, DBO_dBHandler::kStateNormal);
  ASSERT_GE(h.progress.size(), 2u);
  EXPECT_EQ(h.progress.front(), (Progress{-1, dbk::Search, 4}));
  EXPECT_EQ(h.progress.back(), (Progress{0, 1, 0}));

  field = 3;
  found = 0;
  EXPECT_EQ(h.SearchField("20000103", field, 0, found), 1);  // D: julian 2451547
  EXPECT_EQ(found, 3);
  field = 3;
  found = 0;
  EXPECT_EQ(h.SearchField("no date", field, 0, found), 0);
  field = 4;
  found = 0;
  EXPECT_EQ(h.SearchField("F", field, 0, found), 1);
  EXPECT_EQ(found, 2);
  // From after the last find, up to a stop record; every field.
  field = 4;
  EXPECT_EQ(h.SearchField("F", field, 0, found), 1);
  EXPECT_EQ(found, 4);
  h.GetRecord(1);
  field = 0;
  found = 0;
  EXPECT_EQ(h.SearchField("C", field, 2, found), 0);
  EXPECT_EQ(h.RecNo(), 1);  // not found: back on the remembered record
  field = 0;
  EXPECT_EQ(h.SearchField("C", field, 0, found), 1);
  EXPECT_EQ(field, 1);
  EXPECT_EQ(found, 3);
  // Nothing to search.
  field = 9;
  EXPECT_EQ(h.SearchField("A", field, 0, found), 0);
  field = 1;
  EXPECT_EQ(h.SearchField("", field, 0, found), 0);
}

TEST_F(TablesHandler, PackKeepsTheOrderAndCutsTheFile) {
  const AnsiString name = Make({"R1", "R2", "R3", "R4", "R5", "R6", "R7", "R8", "R9", "R10"}, {2, 5, 10});
  {
    RecordingHandler h(name, false, true);
    ASSERT_EQ(h.IndexOpen("h.tst"), 0);
    h.IndexFile(1)->Reindex();
    const std::int64_t header = h.HeaderLength(), length = h.RecordLength();
    h.Pack();
    EXPECT_EQ(h.RecordCount(), 7);
    EXPECT_EQ(h.RecNo(), 1);
    std::vector<AnsiString> names;
    for (h.GetRecord(dbp::First); !h.Eof(); h.GetRecord(dbp::Next)) names.push_back(TrimRight(h.FieldGet(1)));
    EXPECT_EQ(names, (std::vector<AnsiString>{"R1", "R3", "R4", "R6", "R7", "R8", "R9"}));
    const std::string bytes = ReadBytes(dir_.SysPath() + "/h.dbf");
    EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), header + 7 * length + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(h.progress.front(), (Progress{-1, dbk::Pack, 10}));
    EXPECT_EQ(h.progress[10], (Progress{dbk::Pack, 10, 0}));
    EXPECT_EQ(h.progress[11], (Progress{0, 0, 0}));
    // The index was rebuilt over the packed records.
    auto& tag = static_cast<FakeIndexFile*>(h.IndexFile(1))->TheTag();
    ASSERT_EQ(tag.keys.size(), 7u);
    EXPECT_EQ(tag.keys.back(), (std::pair<AnsiString, std::int64_t>{"R9", 7}));
  }
  DBO_dBaseFld again(name, false, false);
  EXPECT_EQ(again.RecordCount(), 7);
  EXPECT_EQ(GetLE32(again.Header().data() + 4), 7u);

  // A table without deleted records keeps its size; a shared one is refused untouched.
  const AnsiString full = Make({"A", "B"}, {}, "full.dbf");
  const std::string before = ReadBytes(dir_.SysPath() + "/full.dbf");
  {
    DBO_dBHandler h(full, false, true);
    h.Pack();
    EXPECT_EQ(h.RecordCount(), 2);
  }
  EXPECT_EQ(ReadBytes(dir_.SysPath() + "/full.dbf").size(), before.size());
  const AnsiString shared = Make({"A", "B"}, {1}, "shared.dbf");
  const std::string sharedBefore = ReadBytes(dir_.SysPath() + "/shared.dbf");
  {
    DBO_dBHandler h(shared, true, true);
    EXPECT_EQ(Message([&] { h.Pack(); }), "File access denied - " + h.FileName());
    EXPECT_EQ(h.RecordCount(), 2);
  }
  EXPECT_EQ(ReadBytes(dir_.SysPath() + "/shared.dbf"), sharedBefore);
}

TEST_F(TablesHandler, PackRenumbersTheFilterSet) {
  // The records move down over the deleted ones; the filter must follow them.
  DBO_dBHandler h(Make({"A", "B", "C", "D", "E"}, {1, 2}), false, true);
  h.SetFilter("CODE >= 4", false, true);
  h.SetFilterActive(true);
  auto names = [&] {
    std::vector<AnsiString> out;
    for (h.GetRecord(dbp::First); !h.Eof() && !h.Bof(); h.GetRecord(dbp::Next))
      out.push_back(TrimRight(h.FieldGet(1)));
    return out;
  };
  EXPECT_EQ(names(), (std::vector<AnsiString>{"D", "E"}));
  h.Pack();
  ASSERT_EQ(h.RecordCount(), 3);
  EXPECT_EQ(names(), (std::vector<AnsiString>{"D", "E"}));
  EXPECT_EQ(Walk(h), (V{2, 3}));
  // The set goes on following writes after the pack.
  h.GetRecord(1);
  h.NumberPut(2, 9);
  h.PutRecord(1);
  EXPECT_EQ(names(), (std::vector<AnsiString>{"C", "D", "E"}));
}

TEST_F(TablesHandler, PackFreesTheMemosOfDeletedRecords) {
  const AnsiString name = dir_.Path() + "/m.dbf";
  CreateDbfTable(name, 0x8B, {{"NAME", 'C', 8}, {"NOTE", 'M'}});
  {
    DBO_dBHandler h(name, false, true);
    for (const char* text : {"first memo", "second memo", "third memo"}) {
      h.BlankRecord();
      h.FieldPut(1, text);
      h.MemoWrite(2, text, static_cast<std::int64_t>(std::strlen(text)));
      h.Append();
    }
    h.GetRecord(2);
    h.Delete();
    const std::uint32_t freed = static_cast<std::uint32_t>(h.NumberGet(2));
    h.Pack();
    EXPECT_EQ(h.RecordCount(), 2);
    h.GetRecord(2);
    EXPECT_EQ(h.MemoRead(2), "third memo");
    // A new memo reuses the freed blocks.
    h.BlankRecord();
    h.MemoWrite(2, "new", 3);
    EXPECT_EQ(static_cast<std::uint32_t>(h.NumberGet(2)), freed);
  }
}

TEST_F(TablesHandler, PackGoesOnPastAMemoThatCannotBeFreed) {
  // Two deleted records share one memo (a copied record): the second cannot be freed
  // again. The pack must still finish, never leaving a live record twice in the table.
  const AnsiString name = dir_.Path() + "/twice.dbf";
  CreateDbfTable(name, 0x8B, {{"NAME", 'C', 8}, {"NOTE", 'M'}});
  DBO_dBHandler h(name, false, true);
  AnsiString shared;
  for (const char* text : {"A", "B", "C", "D", "E", "F", "G"}) {
    h.BlankRecord();
    h.FieldPut(1, text);
    if (std::string_view(text) == "B") {
      h.MemoWrite(2, "memo of B", 9);
      shared = h.FieldGet(2);
    }
    if (std::string_view(text) == "D") h.FieldPut(2, shared);
    if (std::string_view(text) == "F") h.FieldPut(2, "garbage");  // no block number at all
    h.Append();
  }
  for (std::int64_t r : {2, 4, 6}) {
    h.GetRecord(r);
    h.Delete();
  }
  h.Pack();
  std::vector<AnsiString> names;
  for (h.GetRecord(dbp::First); !h.Eof(); h.GetRecord(dbp::Next)) names.push_back(TrimRight(h.FieldGet(1)));
  EXPECT_EQ(names, (std::vector<AnsiString>{"A", "C", "E", "G"}));
  EXPECT_EQ(h.RecordCount(), 4);
}

// --- Pack and Reindex keep the files ----------------------------------------------------

// A table NAME C(8), NOTE M (memo form by `version`) with one record per name, each with a
// memo of `memoLength` bytes that begins with the name; the records listed are deleted.
AnsiString MakeMemoTable(const AnsiString& name, std::uint8_t version, const std::vector<const char*>& names,
                         std::initializer_list<std::int64_t> deleted, std::int64_t memoLength = 20) {
  CreateDbfTable(name, version, {{"NAME", 'C', 8}, {"NOTE", 'M'}}, {.Overwrite = true});
  DBO_dBHandler t(name, false, true);
  for (const char* n : names) {
    t.BlankRecord();
    t.FieldPut(1, n);
    const std::string memo = (n + std::string(static_cast<std::size_t>(memoLength), '.')).substr(0, memoLength);
    t.MemoWrite(2, memo.data(), std::ssize(memo));
    t.Append();
  }
  for (std::int64_t r : deleted) {
    t.GetRecord(r);
    t.Delete();
  }
  return name;
}

// The names of the records in NAME order, each with the first character of its memo.
std::vector<AnsiString> NamesAndMemos(const AnsiString& table, const char* index) {
  DBO_dBHandler h(table, false, false);
  EXPECT_EQ(h.IndexOpen(index), 0);
  h.SetTagTo("NAME", false);
  std::vector<AnsiString> out;
  for (h.GetRecord(dbp::First); !h.Eof(); h.GetRecord(dbp::Next))
    out.push_back(TrimRight(h.FieldGet(1)) + h.MemoRead(2).substr(0, 1));
  return out;
}

std::vector<std::string> FilesIn(const std::string& sysDir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(sysDir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// Pack and Reindex replace the table and its index by new files: those keep the old files'
// permissions (and owner and group, which the superuser may give), and a table reached
// through links is packed where the links lead, the links staying links.
TEST_F(TablesHandler, PackAndReindexKeepPermissionsOwnersAndLinks) {
  const bool root = ::geteuid() == 0;
  for (const bool throughLinks : {false, true}) {
    SCOPED_TRACE(throughLinks ? "through links" : "in place");
    TempDir real, links;
    const AnsiString table = MakeMemoTable(real.Path() + "/t.dbf", 0x8B, {"E", "B", "D", "A", "C"}, {2, 3});
    {
      DBO_dBHandler h(table, false, true);
      DBobjCDXFile index(&h, "t.cdx", true, true);
      index.AddTag("NAME", "NAME", "", false, false);
    }
    const std::vector<std::string> files = FilesIn(real.SysPath());
    ASSERT_EQ(files.size(), 3u);
    for (const std::string& f : files) {
      const std::string path = real.SysPath() + "/" + f;
      ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
      if (root) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
      }
      if (throughLinks) std::filesystem::create_symlink(path, links.SysPath() + "/" + f);
    }
    {
      DBO_dBHandler h(throughLinks ? links.Path() + "/t.dbf" : table, false, true);
      ASSERT_EQ(h.IndexOpen("t.cdx"), 0);
      h.Pack();
      EXPECT_EQ(h.RecordCount(), 3);
      h.Reindex();
    }
    EXPECT_EQ(FilesIn(real.SysPath()), files);
    for (const std::string& f : files) {
      SCOPED_TRACE(f);
      struct stat st;
      ASSERT_EQ(::stat((real.SysPath() + "/" + f).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0664u);
      if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
      }
      if (throughLinks) {
        EXPECT_TRUE(std::filesystem::is_symlink(links.SysPath() + "/" + f));
      }
    }
    EXPECT_EQ(NamesAndMemos(table, "t.cdx"), (std::vector<AnsiString>{"AA", "CC", "EE"}));
  }
}

// Somebody else's link in a shared sticky folder is not followed by a pack (nor by a
// save): the file it leads to stays as it was, and the link's place gets the packed table.
TEST_F(TablesHandler, PackFollowsNoLinkOfAnotherUserInASharedStickyFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "a link of another user can only be made by the superuser";
  const AnsiString victim = Make({"A", "B", "C"}, {2}, "victim.dbf");
  const std::string before = ReadBytes(SysPath(victim));
  const std::string shared = dir_.SysPath() + "/shared", link = shared + "/t.dbf";
  ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
  std::filesystem::create_symlink(SysPath(victim), link);
  ASSERT_EQ(::lchown(link.c_str(), 4321, 4321), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  try {
    DBO_dBHandler h(AnsiPath(link), false, true);
    h.Pack();
    EXPECT_EQ(h.RecordCount(), 2);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
  } catch (const EDbfError& e) {
    // A system that protects such links refuses the open itself.
    EXPECT_EQ(DbfLastError(), dbe::AccessDenied) << e.Message();
  }
  EXPECT_EQ(ReadBytes(SysPath(victim)), before);
}

// The memo forms without a free chain free nothing in a pack, and the one with it frees in
// place: no form needs room for a copy of its memo file, which stays the same file. A memo
// that a kept record names too (a copied record) is not freed with the removed record.
TEST_F(TablesHandler, PackCopiesNoMemoFileAndFreesNoMemoStillInUse) {
  for (const std::uint8_t version : {std::uint8_t{0x83}, std::uint8_t{0xF5}, std::uint8_t{0x8B}}) {
    SCOPED_TRACE(static_cast<int>(version));
    const AnsiString table =
        MakeMemoTable(dir_.Path() + "/m.dbf", version, {"A", "B", "C", "D", "E", "F"}, {2, 4}, 3000);
    {
      // F's memo is B's too.
      DBO_dBHandler h(table, false, true);
      h.GetRecord(2);
      const AnsiString block = h.FieldGet(2);
      h.GetRecord(6);
      h.FieldPut(2, block);
      h.PutRecord(6);
    }
    const AnsiString memoName = ResolveExistingPath(DBobjMemo::MemoFileName(table, version));
    struct stat old;
    ASSERT_EQ(::stat(SysPath(memoName).c_str(), &old), 0);
    const auto tableSize = static_cast<rlim_t>(ReadBytes(SysPath(table)).size());
    ASSERT_LT(tableSize * 2, static_cast<rlim_t>(old.st_size));
    {
      DBO_dBHandler h(table, false, true);
      {
        // Files may grow up to the table's size, far from the memo file's.
        DiskFullAt full(tableSize);
        h.Pack();
      }
      ASSERT_EQ(h.RecordCount(), 4);
      // A new memo takes freed blocks where the form reuses them, never those of F.
      h.GetRecord(1);
      const std::string text(3000, 'N');
      h.MemoWrite(2, text.data(), std::ssize(text));
      h.PutRecord(1);
      std::vector<AnsiString> memos;
      for (h.GetRecord(dbp::First); !h.Eof(); h.GetRecord(dbp::Next))
        memos.push_back(TrimRight(h.FieldGet(1)) + h.MemoRead(2).substr(0, 1));
      EXPECT_EQ(memos, (std::vector<AnsiString>{"AN", "CC", "EE", "FB"}));
    }
    struct stat now;
    ASSERT_EQ(::stat(SysPath(memoName).c_str(), &now), 0);
    EXPECT_EQ(now.st_ino, old.st_ino);
    EXPECT_EQ(FilesIn(dir_.SysPath()).size(), 2u);
    std::filesystem::remove(SysPath(memoName));
  }
}

// A pack or a rebuild that fails on a full disk names the file the user knows, not the new
// file written beside it.
TEST_F(TablesHandler, FailuresOfPackAndReindexNameTheTableAndTheIndex) {
  std::vector<const char*> names(400, "NAME");
  const AnsiString table = Make(names, {1});
  {
    DBO_dBHandler h(table, false, true);
    DBobjCDXFile index(&h, "h.cdx", true, true);
    index.AddTag("NAME", "NAME", "", false, false);
    index.AddTag("CODE", "CODE", "", false, false);
  }
  const auto indexSize = static_cast<rlim_t>(ReadBytes(dir_.SysPath() + "/H.CDX").size());
  struct Case {
    const char* what;
    rlim_t limit;
    bool pack;
    const char* file;
  };
  for (const Case c : {Case{"pack", 1024, true, "h.dbf"}, Case{"reindex", indexSize / 2, false, "H.CDX"}}) {
    SCOPED_TRACE(c.what);
    DBO_dBHandler h(table, false, true);
    ASSERT_EQ(h.IndexOpen("h.cdx"), 0);
    DiskFullAt full(c.limit);
    EXPECT_EQ(Message([&] { c.pack ? h.Pack() : h.Reindex(); }), "Disk is full - " + dir_.Path() + "/" + c.file);
  }
  EXPECT_EQ(FilesIn(dir_.SysPath()), (std::vector<std::string>{"H.CDX", "h.dbf"}));
}

TEST_F(TablesHandler, IndexListAndMasterTag) {
  DBO_dBHandler h(Make({"ABC", "XYZ", "ABD", "AB"}, {3}), false, true);
  EXPECT_EQ(Message([&] { h.IndexOpen("orders"); }), "File not found - " + dir_.Path() + "/ORDERS.NDX");
  EXPECT_EQ(h.IndexOpen("names.tst"), 0);
  EXPECT_EQ(h.IndexOpen("NAMES.TST"), -1);
  EXPECT_EQ(h.OpenIndexList("\"names.tst\", codes.tst;", ""), 0);
  EXPECT_EQ(h.IndexSlotOf("/x/codes.tst"), 2);
  EXPECT_EQ(h.IndexSlotOf("none.tst"), 0);
  EXPECT_TRUE(h.HasIndex());
  EXPECT_EQ(h.TagByNumber(2)->TagName(), "CODES");
  EXPECT_EQ(h.TagByNumber(3), nullptr);
  EXPECT_EQ(h.TagByNumber(0), nullptr);
  EXPECT_EQ(Message([&] { h.SetTagTo("nosuch", false); }), "Cannot find index tag nosuch");

  // Without a master tag FindKey leaves the table at its end.
  EXPECT_FALSE(h.FindKey("AB"));
  EXPECT_TRUE(h.Eof());

  h.IndexFile(1)->Reindex();
  EXPECT_EQ(h.SetTagTo(" names ", false), 1);
  EXPECT_EQ(h.MasterTagName(), "NAMES");
  EXPECT_EQ(Walk(h), (V{4, 1, 2}));  // AB, ABC, XYZ in key order
  EXPECT_EQ(Walk(h, true), (V{2, 1, 4}));
  h.ExactMatch = false;
  EXPECT_TRUE(h.FindKey("ABC"));
  EXPECT_EQ(h.RecNo(), 1);
  EXPECT_TRUE(h.FindKey("XY"));  // a partial key
  EXPECT_EQ(h.RecNo(), 2);
  h.ExactMatch = true;
  EXPECT_FALSE(h.FindKey("XY"));
  EXPECT_TRUE(h.Eof());
  EXPECT_TRUE(h.FindKey("AB"));
  EXPECT_EQ(h.RecNo(), 4);
  EXPECT_EQ(h.FindNear("names", "XYZ"), 2);
  EXPECT_EQ(h.FindNear("names", "XY"), 0);
  EXPECT_EQ(h.FindNear("nosuch", "XYZ"), -1);
  h.SetRange("ABC", "", true, false);
  EXPECT_EQ(h.RecNo(), 1);
  EXPECT_EQ(Walk(h), (V{1, 2}));
  h.SetEmptyRange();
  EXPECT_TRUE(h.Bof());
  EXPECT_EQ(TrimRight(h.FieldGet(1)), "");  // the record buffer blanked
  EXPECT_EQ(h.SetTagTo("", true), 0);
  EXPECT_EQ(h.MasterTag(), nullptr);
  EXPECT_EQ(Walk(h), (V{1, 2, 4}));
  h.SetEmptyRange();  // nothing without a master tag
  EXPECT_EQ(Walk(h), (V{1, 2, 4}));
}

TEST_F(TablesHandler, LockIndexesLeavesNoLockHeldWhenItFails) {
  DBO_dBHandler h(Make({"A"}), false, true);
  ASSERT_EQ(h.OpenIndexList("a.tst b.tst c.tst", ""), 0);
  FakeIndexState &a = FakeStates()["A.TST"], &b = FakeStates()["B.TST"], &c = FakeStates()["C.TST"];

  EXPECT_TRUE(h.LockIndexes());
  EXPECT_TRUE(a.locked && b.locked && c.locked);
  h.UnlockIndexes();
  EXPECT_FALSE(a.locked || b.locked || c.locked);

  b.refuseLock = true;
  SetDbfLastError(0);
  EXPECT_FALSE(h.LockIndexes());
  EXPECT_FALSE(a.locked || b.locked || c.locked);
  EXPECT_EQ(c.lockCalls, 1);  // the files after the refusal are not tried
  EXPECT_EQ(DbfLastError(), dbe::LockViolation);

  b.refuseLock = false;
  c.throwOnLock = true;
  EXPECT_THROW(h.LockIndexes(), EDbfError);
  EXPECT_FALSE(a.locked || b.locked || c.locked);

  // An append whose index locks fail writes nothing and says so.
  h.BlankRecord();
  h.FieldPut(1, "NEW");
  EXPECT_THROW(h.Append(), EDbfError);
  EXPECT_EQ(h.RecordCount(), 1);
  c.throwOnLock = false;
  c.refuseLock = true;
  EXPECT_EQ(Message([&] { h.Append(); }), "Record locked by another user - " + h.FileName());
  EXPECT_EQ(h.RecordCount(), 1);
  EXPECT_FALSE(a.locked || b.locked || c.locked);

  // A successful append and rewrite update every index with the real record number.
  c.refuseLock = false;
  h.Append();
  h.GetRecord(1);
  h.PutRecord(1);
  EXPECT_EQ(a.updates, (std::vector<std::pair<bool, std::int64_t>>{{true, 2}, {false, 1}}));
  EXPECT_FALSE(a.locked || b.locked || c.locked);
}

TEST_F(TablesHandler, RenameTakesTheIndexFilesNamedLikeTheTable) {
  DBO_dBHandler h(Make({"A"}), false, true);
  ASSERT_EQ(h.OpenIndexList("h.tst other.tst", ""), 0);
  ASSERT_TRUE(h.Rename(dir_.Path() + "/renamed.dbf"));
  EXPECT_EQ(ExtractFileName(h.FileName()), "renamed.dbf");
  EXPECT_EQ(ExtractFileName(h.IndexFile(1)->IndexFileName()), "renamed.TST");
  EXPECT_EQ(ExtractFileName(h.IndexFile(2)->IndexFileName()), "OTHER.TST");
}

TEST_F(TablesHandler, ReadAheadServesSequentialReads) {
  std::vector<const char*> names(3000, "same");
  names[2999] = "last";
  DBO_dBHandler h(Make(names), false, true);
  h.SetReadAhead(true);
  EXPECT_TRUE(h.ReadAheadActive());
  std::int64_t count = 0;
  for (h.GetRecord(dbp::First); !h.Eof(); h.GetRecord(dbp::Next)) ++count;
  EXPECT_EQ(count, 3000);
  EXPECT_EQ(TrimRight(h.FieldGet(1)), "last");
  // A write lands in the buffer as well as in the file.
  h.GetRecord(5);
  h.FieldPut(1, "changed");
  h.PutRecord(5);
  h.GetRecord(6);
  h.GetRecord(5);
  EXPECT_EQ(TrimRight(h.FieldGet(1)), "changed");
  h.AllowReadAhead(false);
  EXPECT_FALSE(h.ReadAheadActive());
  h.SetReadAhead(true);
  EXPECT_FALSE(h.ReadAheadActive());
}

// The read-ahead buffer holds 32,768 bytes rounded down to whole records (one record at
// least) and is freed when read-ahead is switched off.
TEST(TablesHandlerReadAhead, TheBufferIsThirtyTwoKilobytesOfWholeRecordsAndGoesWhenOff) {
  struct Case {
    std::int32_t fieldLength;  // the record is one byte longer (the deletion flag)
    std::int64_t bytes;
  };
  for (const Case c : {Case{9, 32760}, Case{99, 32700}, Case{32767, 32768}, Case{40000, 40001}}) {
    SCOPED_TRACE(c.fieldLength);
    TempDir dir;
    const AnsiString name = dir.Path() + "/r.dbf";
    CreateDbfTable(name, 0x03, {{"TEXT", 'C', c.fieldLength}});
    DBO_dBHandler h(name, false, true);
    h.SetReadAhead(false);
    EXPECT_EQ(h.ReadAheadBytes(), 0);
    h.SetReadAhead(true);
    EXPECT_EQ(h.ReadAheadBytes(), c.bytes);
    h.SetReadAhead(false);
    EXPECT_EQ(h.ReadAheadBytes(), 0);
    h.SetReadAhead(true);
    h.AllowReadAhead(false);
    EXPECT_EQ(h.ReadAheadBytes(), 0);
  }
}

}  // namespace
