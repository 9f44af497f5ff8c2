// Report datasets: the range rules over a user dataset and over a framework dataset,
// the user dataset's events in their order, closed, empty and missing datasets, and the
// database helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "RowDataSet.h"
#include "report/RP_DBSet.h"
#include "report/RP_DSet.h"

namespace {

using rptest::Numbers;
using rptest::TRowDataSet;

// Rows N = 1..n, open and standing on N = current.
std::unique_ptr<TRowDataSet> NumbersAt(int n, int current) {
  auto table = Numbers(n);
  table->Open();
  table->MoveBy(current - 1);
  return table;
}

// Runs the build's protocol (Activate, First, then Eof and Next in turn, Deactivate)
// and lists what `current` gives at every record; "..." when no end came within
// `limit` records. The record number must count the records from 0.
template <class Current>
std::string Walk(TrpDataset& ds, Current current, int limit = 12) {
  std::string out;
  ds.Activate();
  ds.First();
  int n = 0;
  for (; !ds.Eof() && n < limit; ++n) {
    EXPECT_EQ(ds.RecNo(), n);
    if (!out.empty()) out += ' ';
    out += current();
    ds.Next();
  }
  if (n == limit) out += " ...";
  ds.Deactivate();
  return out;
}

const char* RangeText(TRangeBegin b) { return b == TRangeBegin::rbFirst ? "rbFirst" : "rbCurrent"; }
const char* RangeText(TRangeEnd e) {
  return e == TRangeEnd::reLast ? "reLast" : e == TRangeEnd::reCurrent ? "reCurrent" : "reCount";
}

constexpr auto rbFirst = TRangeBegin::rbFirst;
constexpr auto rbCurrent = TRangeBegin::rbCurrent;
constexpr auto reLast = TRangeEnd::reLast;
constexpr auto reCurrent = TRangeEnd::reCurrent;
constexpr auto reCount = TRangeEnd::reCount;

// ---------------------------------------------------------------------------------
// User datasets

// How the test's OnCheckEOF answers over a source of four rows: not at all, keeping an
// end already given, or overwriting it with its own answer.
enum class EofHandler { None, Keeps, Overwrites };

struct UserRangeCase {
  TRangeBegin begin;
  TRangeEnd end;
  int count;
  EofHandler handler;
  const char* rows;  // the source cursor at every record
  int onNext;        // OnNext calls
};

void PrintTo(const UserRangeCase& c, std::ostream* os) {
  *os << RangeText(c.begin) << ' ' << RangeText(c.end) << ' ' << c.count << " handler "
      << static_cast<int>(c.handler);
}

class UserRange : public ::testing::TestWithParam<UserRangeCase> {};

TEST_P(UserRange, WalksTheRangeItsRulesGive) {
  const UserRangeCase& c = GetParam();
  TrpUserDataset ds;
  ds.RangeBegin = c.begin;
  ds.RangeEnd = c.end;
  ds.RangeEndCount = c.count;
  int cursor = -100, nexts = 0;
  ds.OnFirst = [&](TObject* sender) {
    EXPECT_EQ(sender, &ds);
    cursor = 0;
  };
  ds.OnNext = [&](TObject*) {
    ++cursor;
    ++nexts;
  };
  if (c.handler == EofHandler::Keeps) ds.OnCheckEOF = [&](TObject*, bool& eof) { eof = eof || cursor >= 4; };
  if (c.handler == EofHandler::Overwrites) ds.OnCheckEOF = [&](TObject*, bool& eof) { eof = cursor >= 4; };
  EXPECT_EQ(Walk(ds, [&] { return std::to_string(cursor); }), c.rows);
  EXPECT_EQ(nexts, c.onNext);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UserRange,
    ::testing::Values(
        // The end comes from OnCheckEOF alone; without it the range never ends.
        UserRangeCase{rbFirst, reLast, 0, EofHandler::None, "0 1 2 3 4 5 6 7 8 9 10 11 ...", 12},
        UserRangeCase{rbFirst, reLast, 0, EofHandler::Keeps, "0 1 2 3", 4},
        UserRangeCase{rbFirst, reLast, 0, EofHandler::Overwrites, "0 1 2 3", 4},
        // A user dataset has no remembered record: rbCurrent and reCurrent change nothing.
        UserRangeCase{rbCurrent, reLast, 0, EofHandler::Keeps, "0 1 2 3", 4},
        UserRangeCase{rbFirst, reCurrent, 0, EofHandler::Keeps, "0 1 2 3", 4},
        UserRangeCase{rbCurrent, reCurrent, 0, EofHandler::None, "0 1 2 3 4 5 6 7 8 9 10 11 ...", 12},
        // Counted ranges: the last Next does not reach OnNext.
        UserRangeCase{rbFirst, reCount, 3, EofHandler::None, "0 1 2", 2},
        UserRangeCase{rbCurrent, reCount, 3, EofHandler::None, "0 1 2", 2},
        UserRangeCase{rbFirst, reCount, 1, EofHandler::None, "0", 0},
        UserRangeCase{rbFirst, reCount, 0, EofHandler::None, "", 0},
        UserRangeCase{rbFirst, reCount, -2, EofHandler::None, "", 0},
        UserRangeCase{rbFirst, reCount, 10, EofHandler::None, "0 1 2 3 4 5 6 7 8 9", 9},
        UserRangeCase{rbFirst, reCount, 10, EofHandler::Keeps, "0 1 2 3", 4},
        UserRangeCase{rbFirst, reCount, 2, EofHandler::Keeps, "0 1", 1},
        // OnCheckEOF has the last word either way: it may go on past an exhausted count
        // (OnNext no longer fires there, the handler walks on by itself).
        UserRangeCase{rbFirst, reCount, 2, EofHandler::Overwrites, "0 1 1 1 1 1 1 1 1 1 1 1 ...", 1},
        UserRangeCase{rbFirst, reCount, 0, EofHandler::Overwrites, "0 0 0 0 0 0 0 0 0 0 0 0 ...", 0}));

TEST(UserDataset, EventsComeInTheOrderOfTheWalk) {
  // The planner's description part: a first row with the cursor at -1, then one row per
  // line; the handler gives its own answer for the end.
  const int lines = 2;
  std::vector<std::string> log;
  int cursor = 0;
  TrpUserDataset ds;
  ds.OnFirst = [&](TObject*) {
    cursor = -1;
    log.push_back("first");
  };
  ds.OnNext = [&](TObject*) {
    ++cursor;
    log.push_back("next");
  };
  ds.OnCheckEOF = [&](TObject*, bool& eof) {
    log.push_back("eof?" + std::to_string(eof));
    eof = cursor > lines - 1;
  };
  ds.OnPrior = [&](TObject*) { log.push_back("prior"); };
  EXPECT_EQ(Walk(ds, [&] { return std::to_string(cursor); }), "-1 0 1");
  EXPECT_EQ(log,
            (std::vector<std::string>{"first", "eof?0", "next", "eof?0", "next", "eof?0", "next", "eof?0"}));

  // Prior counts back and fires OnPrior; First starts the count again.
  log.clear();
  ds.Prior();
  EXPECT_EQ(ds.RecNo(), 2);
  ds.First();
  EXPECT_EQ(ds.RecNo(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"prior", "first"}));
}

TEST(UserDataset, AnEmptySourceEndsAtOnceAndWithoutEventsNothingMoves) {
  TrpUserDataset empty;
  int firsts = 0;
  empty.OnFirst = [&](TObject*) { ++firsts; };
  empty.OnCheckEOF = [](TObject*, bool& eof) { eof = true; };
  EXPECT_EQ(Walk(empty, [] { return std::string("row"); }), "");
  EXPECT_EQ(firsts, 1);

  // No events at all: only the counter moves, and a counted range still ends.
  TrpUserDataset bare;
  bare.RangeEnd = reCount;
  bare.RangeEndCount = 2;
  EXPECT_EQ(Walk(bare, [&] { return std::to_string(bare.RecNo()); }), "0 1");
}

// ---------------------------------------------------------------------------------
// Framework datasets

struct DBRangeCase {
  TRangeBegin begin;
  TRangeEnd end;
  int count;
  int current;       // N of the record current at activation
  const char* rows;  // N at every record
  int after;         // N of the record current after Deactivate
};

void PrintTo(const DBRangeCase& c, std::ostream* os) {
  *os << RangeText(c.begin) << ' ' << RangeText(c.end) << ' ' << c.count << " from N=" << c.current;
}

class DBRange : public ::testing::TestWithParam<DBRangeCase> {};

TEST_P(DBRange, WalksTheRangeAndLeavesTheDatasetWhereTheRulesSay) {
  const DBRangeCase& c = GetParam();
  auto table = NumbersAt(5, c.current);
  TrpDBDataSet ds;
  ds.SetDataSet(table.get());
  ds.RangeBegin = c.begin;
  ds.RangeEnd = c.end;
  ds.RangeEndCount = c.count;
  int nexts = 0;
  ds.OnNext = [&](TObject*) { ++nexts; };
  const std::string rows = Walk(ds, [&] { return table->FieldByName("N").AsString(); });
  EXPECT_EQ(rows, c.rows);
  EXPECT_TRUE(table->Active());
  EXPECT_EQ(table->FieldByName("N").AsInteger(), c.after);
  // OnNext fires once per record after the first, and for the step past the last
  // record unless a counted range stopped it.
  if (c.end == reCount && !rows.empty()) {
    const int visited = static_cast<int>(std::count(rows.begin(), rows.end(), ' ')) + 1;
    EXPECT_EQ(nexts, c.count > visited ? visited : visited - 1);
  }

  // The same range over an empty dataset yields nothing and fails nowhere.
  auto empty = Numbers(0);
  ds.SetDataSet(empty.get());
  EXPECT_EQ(Walk(ds, [] { return std::string("row"); }), "");
  EXPECT_TRUE(empty->Active());
}

INSTANTIATE_TEST_SUITE_P(
    Table, DBRange,
    ::testing::Values(
        DBRangeCase{rbFirst, reLast, 0, 3, "1 2 3 4 5", 5},
        // From the first record up to the remembered one, inclusive.
        DBRangeCase{rbFirst, reCurrent, 0, 3, "1 2 3", 3},
        DBRangeCase{rbFirst, reCurrent, 0, 1, "1", 1},
        DBRangeCase{rbFirst, reCurrent, 0, 5, "1 2 3 4 5", 5},
        DBRangeCase{rbFirst, reCount, 0, 3, "", 1},
        DBRangeCase{rbFirst, reCount, 1, 3, "1", 2},
        DBRangeCase{rbFirst, reCount, 2, 3, "1 2", 3},
        DBRangeCase{rbFirst, reCount, 10, 3, "1 2 3 4 5", 5},
        DBRangeCase{rbCurrent, reLast, 0, 3, "3 4 5", 3},
        DBRangeCase{rbCurrent, reLast, 0, 5, "5", 5},
        DBRangeCase{rbCurrent, reCurrent, 0, 3, "3", 3},
        DBRangeCase{rbCurrent, reCurrent, 0, 1, "1", 1},
        DBRangeCase{rbCurrent, reCount, 0, 3, "", 3},
        DBRangeCase{rbCurrent, reCount, 1, 3, "3", 3},
        DBRangeCase{rbCurrent, reCount, 2, 3, "3 4", 3},
        DBRangeCase{rbCurrent, reCount, 10, 3, "3 4 5", 3},
        DBRangeCase{rbCurrent, reCount, 3, 4, "4 5", 4}));

// Logs the dataset's own opening and closing beside the report dataset's events.
struct OpenCloseLog {
  std::vector<std::string> log;
  void Attach(TDataSet& table, TrpDBDataSet& ds) {
    table.AfterOpen = [this](TDataSet&) { log.push_back("open"); };
    table.BeforeClose = [this](TDataSet&) { log.push_back("close"); };
    ds.OnOpen = [this](TObject*) { log.push_back("OnOpen"); };
    ds.OnClose = [this](TObject*) { log.push_back("OnClose"); };
  }
};

TEST(DBDataSet, OpensAndClosesTheDatasetAsItsFlagsSay) {
  struct Case {
    bool open, close;
    std::vector<std::string> log;
    bool activeAfter;
  };
  const Case cases[] = {
      {true, false, {"open", "OnOpen", "OnClose"}, true},
      {true, true, {"open", "OnOpen", "OnClose", "close"}, false},
  };
  for (const Case& c : cases) {
    OpenCloseLog log;  // outlives the table, which closes itself when freed
    auto table = Numbers(3);
    TrpDBDataSet ds;
    ds.SetDataSet(table.get());
    ds.OpenDataSource = c.open;
    ds.CloseDataSource = c.close;
    log.Attach(*table, ds);
    EXPECT_EQ(Walk(ds, [&] { return table->FieldByName("N").AsString(); }), "1 2 3");
    EXPECT_EQ(log.log, c.log);
    EXPECT_EQ(table->Active(), c.activeAfter);
  }
}

TEST(DBDataSet, AClosedDatasetThatItMayNotOpen) {
  auto table = Numbers(3);
  TrpDBDataSet ds;
  ds.SetDataSet(table.get());
  ds.OpenDataSource = false;
  try {
    ds.Activate();
    FAIL() << "activated over a closed dataset";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), dbmsg::DataSetClosed);
  }
  ds.Deactivate();  // the build's clean-up after the failure
  EXPECT_FALSE(table->Active());

  // Its OnOpen handler may open it itself.
  ds.OnOpen = [&](TObject*) { table->Open(); };
  EXPECT_EQ(Walk(ds, [&] { return table->FieldByName("N").AsString(); }), "1 2 3");
}

TEST(DBDataSet, ADatasetClosedDuringTheWalkEndsIt) {
  for (TRangeBegin begin : {rbFirst, rbCurrent})
    for (TRangeEnd end : {reLast, reCurrent}) {
      auto table = Numbers(4);
      TrpDBDataSet ds;
      ds.SetDataSet(table.get());
      ds.RangeBegin = begin;
      ds.RangeEnd = end;
      ds.CloseDataSource = true;
      ds.Activate();
      ds.First();
      ASSERT_FALSE(ds.Eof());
      table->Close();
      EXPECT_TRUE(ds.Eof());
      EXPECT_NO_THROW(ds.Deactivate());
      EXPECT_FALSE(table->Active());
    }
}

TEST(DBDataSet, DeactivateSkipsTheReturnToARecordThatIsGone) {
  auto table = NumbersAt(4, 2);
  TrpDBDataSet ds;
  ds.SetDataSet(table.get());
  ds.RangeBegin = rbCurrent;
  ds.Activate();
  ds.First();
  ds.Next();
  table->gone.insert(1);
  EXPECT_NO_THROW(ds.Deactivate());
  EXPECT_EQ(table->FieldByName("N").AsInteger(), 3);

  // While it is there, Deactivate returns to it from anywhere, the end included.
  table->gone.clear();
  table->First();
  table->MoveBy(1);
  EXPECT_EQ(Walk(ds, [&] { return table->FieldByName("N").AsString(); }), "2 3 4");
  EXPECT_EQ(table->FieldByName("N").AsInteger(), 2);
}

TEST(DBDataSet, WithoutADatasetItSaysWhichReportDatasetLacksOne) {
  TrpDBDataSet ds;
  ds.Name = "dsOrders";
  try {
    ds.Activate();
    FAIL() << "activated without a dataset";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Unable to open dataset dsOrders");
  }
  EXPECT_THROW(ds.First(), EDatabaseError);
  EXPECT_THROW(ds.Eof(), EDatabaseError);
  // Nothing to close: the clean-up after the failure does not fail again.
  ds.CloseDataSource = true;
  EXPECT_NO_THROW(ds.Deactivate());

  // A data source without a dataset is no dataset either.
  TDataSource source;
  ds.SetDataSource(&source);
  EXPECT_THROW(ds.Activate(), EDatabaseError);
}

TEST(DBDataSet, DataSetAndDataSourceReplaceEachOtherAndAreDroppedWhenFreed) {
  auto a = Numbers(2);
  auto b = Numbers(3);
  TDataSource source;
  source.DataSet = b.get();
  TrpDBDataSet ds;
  ds.SetDataSet(a.get());
  ds.SetDataSource(&source);
  EXPECT_EQ(ds.DataSet(), nullptr);
  EXPECT_EQ(&ds.GetDataSet(), b.get());
  EXPECT_EQ(Walk(ds, [&] { return b->FieldByName("N").AsString(); }), "1 2 3");

  ds.SetDataSource(nullptr);  // no source: DataSet stays as it is (none)
  EXPECT_EQ(ds.DataSet(), nullptr);
  ds.SetDataSource(&source);
  ds.SetDataSet(a.get());
  EXPECT_EQ(ds.DataSource(), nullptr);
  EXPECT_EQ(&ds.GetDataSet(), a.get());

  ds.Notification(b.get());  // not linked: nothing changes
  EXPECT_EQ(ds.DataSet(), a.get());
  ds.Notification(a.get());
  EXPECT_EQ(ds.DataSet(), nullptr);
  ds.SetDataSource(&source);
  ds.Notification(&source);
  EXPECT_EQ(ds.DataSource(), nullptr);
  EXPECT_THROW(ds.GetDataSet(), EDatabaseError);
}

TEST(DBDataSet, FreedLinksAreDroppedWithoutBeingToldByHand) {
  TrpDBDataSet ds;
  auto a = Numbers(2);
  ds.SetDataSet(a.get());
  a.reset();  // the dataset goes first
  EXPECT_EQ(ds.DataSet(), nullptr);
  EXPECT_THROW(ds.Activate(), EDatabaseError);

  auto b = Numbers(3);
  {
    TDataSource source;
    source.DataSet = b.get();
    ds.SetDataSource(&source);
    EXPECT_EQ(&ds.GetDataSet(), b.get());
  }  // the data source goes
  EXPECT_EQ(ds.DataSource(), nullptr);
  EXPECT_THROW(ds.GetDataSet(), EDatabaseError);

  TDataSource source;
  source.DataSet = b.get();
  ds.SetDataSource(&source);
  b.reset();  // the data source's dataset goes: neither keeps naming it
  EXPECT_EQ(source.DataSet, nullptr);
  EXPECT_EQ(ds.DataSource(), &source);
  EXPECT_THROW(ds.GetDataSet(), EDatabaseError);

  // A dataset given to the source later is watched from the activation on.
  auto c = Numbers(1);
  source.DataSet = c.get();
  ds.Activate();
  ds.Deactivate();
  c.reset();
  EXPECT_EQ(source.DataSet, nullptr);

  // The report dataset that goes first leaves nothing behind that could call it.
  auto d = Numbers(1);
  {
    TrpDBDataSet brief;
    brief.SetDataSet(d.get());
  }
  d.reset();
}

TEST(DBDataSet, GroupStepsBackAndOnAgainOverACurrentEndedRange) {
  // A group change steps back to the last record of the old group and on again; the
  // range still ends with the remembered record.
  auto table = NumbersAt(4, 3);
  TrpDBDataSet ds;
  ds.SetDataSet(table.get());
  ds.RangeEnd = reCurrent;
  std::string rows;
  ds.Activate();
  ds.First();
  for (int guard = 0; !ds.Eof() && guard < 10; ++guard) {
    rows += table->FieldByName("N").AsString();
    ds.Next();
    if (!ds.Eof()) {
      ds.Prior();
      ds.Next();
    }
  }
  ds.Deactivate();
  EXPECT_EQ(rows, "123");
}

// ---------------------------------------------------------------------------------
// Helpers

TEST(DBHelpers, FieldValuesWithNullReplacedByKind) {
  struct Kind {
    TFieldType type;
    Variant value;   // stored
    Variant result;  // read through rpFieldValue
  };
  const Kind kinds[] = {
      {TFieldType::ftSmallint, Variant::Null(), Variant(0)},
      {TFieldType::ftInteger, Variant::Null(), Variant(0)},
      {TFieldType::ftWord, Variant::Null(), Variant(0)},
      {TFieldType::ftFloat, Variant::Null(), Variant(0)},
      {TFieldType::ftCurrency, Variant::Null(), Variant(0)},
      {TFieldType::ftDate, Variant::Null(), Variant(0)},
      {TFieldType::ftDateTime, Variant::Null(), Variant(0)},
      {TFieldType::ftString, Variant::Null(), Variant("")},
      {TFieldType::ftBoolean, Variant::Null(), Variant(false)},
      {TFieldType::ftTime, Variant::Null(), Variant::Null()},
      {TFieldType::ftAutoInc, Variant::Null(), Variant::Null()},
      {TFieldType::ftMemo, Variant::Null(), Variant::Null()},
      {TFieldType::ftInteger, Variant(42), Variant(42)},
      {TFieldType::ftString, Variant("abc"), Variant("abc")},
      {TFieldType::ftFloat, Variant(2.5), Variant(2.5)},
      {TFieldType::ftBoolean, Variant(true), Variant(true)},
      {TFieldType::ftLargeint, Variant(12345), Variant("12345")},
  };
  std::vector<TFieldDef> defs;
  std::vector<Variant> row;
  for (const Kind& k : kinds) {
    defs.push_back({"F" + std::to_string(defs.size()), k.type});
    row.push_back(k.value);
  }
  TRowDataSet table(defs, {row});
  table.blobs = {""};
  table.Open();
  for (std::size_t i = 0; i < std::size(kinds); ++i) {
    const Variant v = rpFieldValue(table.Fields(static_cast<int>(i)));
    EXPECT_TRUE(v.Identical(kinds[i].result)) << "field " << i << ": " << VarToStr(v);
  }
  // A get-text handler gives the display text, Null or not.
  table.Fields(0).OnGetText = [](TField&, AnsiString& text, bool) { text = "shown"; };
  EXPECT_TRUE(rpFieldValue(table.Fields(0)).Identical(Variant("shown")));
}

TEST(DBHelpers, FieldNamesBlobsAndBookmarks) {
  const Variant null = Variant::Null();
  TRowDataSet table(
      {{"Code", TFieldType::ftInteger}, {"Note", TFieldType::ftMemo}, {"Pic", TFieldType::ftGraphic}},
      {{Variant(1), null, null}, {Variant(2), null, null}});
  table.blobs = {"first", AnsiString("\0second", 7)};

  TStringList names;
  names.Add("stale");
  rpDataSetFieldNames(nullptr, names);
  EXPECT_EQ(names.Count(), 0);
  EXPECT_EQ(rpCheckFieldName(nullptr, "Code"), "");
  table.Open();
  table.Close();  // closed after its first opening: the field definitions answer
  rpDataSetFieldNames(&table, names);
  EXPECT_EQ(names.Lines(), (std::vector<AnsiString>{"Code", "Note", "Pic"}));
  table.Open();
  EXPECT_EQ(rpCheckFieldName(&table, "NOTE"), "NOTE");
  EXPECT_EQ(rpCheckFieldName(&table, "Notes"), "");
  EXPECT_FALSE(rpIsBlobField(table.Fields(0)));
  EXPECT_TRUE(rpIsBlobField(table.Fields(1)));
  EXPECT_TRUE(rpIsBlobField(table.Fields(2)));

  const TBookmark first = rpBookmarkGet(table);
  table.Next();
  TMemoryStream target;
  rpBlobToObject(table.Fields(1), target);
  EXPECT_EQ(target.Position(), 0);
  EXPECT_EQ(target.Bytes(), std::string("\0second", 7));

  TBookmark second = rpBookmarkGet(table);
  EXPECT_FALSE(rpBookmarksEqual(table, first, second));
  rpBookmarkGoto(table, first);
  EXPECT_TRUE(rpBookmarksEqual(table, first, rpBookmarkGet(table)));
  EXPECT_EQ(table.Fields(0).AsInteger(), 1);
  rpBookmarkFree(second);
  EXPECT_TRUE(second.empty());

  // Objects other than streams: lines get the text, a blob target the field itself,
  // anything else is refused.
  table.Next();
  TStringList lines;
  table.blobs[1] = "one\r\ntwo";
  table.Refresh();
  rpBlobToObject(table.Fields(1), static_cast<TObject&>(lines));
  EXPECT_EQ(lines.Lines(), (std::vector<AnsiString>{"one", "two"}));
  struct Picture : TObject, TrpBlobTarget {
    AnsiString from;
    void AssignBlobField(TField& field) override { from = field.FieldName(); }
  } picture;
  rpBlobToObject(table.Fields(2), static_cast<TObject&>(picture));
  EXPECT_EQ(picture.from, "Pic");
  TObject other;
  EXPECT_THROW(rpBlobToObject(table.Fields(1), other), EConvertError);
  TMemoryStream bytes;
  rpBlobToObject(table.Fields(1), static_cast<TObject&>(bytes));
  EXPECT_EQ(bytes.Bytes(), "one\r\ntwo");
}

TEST(DBHelpers, FieldValueOpensAnInactiveDataset) {
  auto table = Numbers(3);
  ASSERT_FALSE(table->Active());
  EXPECT_TRUE(rpFieldValue(*table, "n").Identical(Variant(1)));
  EXPECT_TRUE(table->Active());
  table->Next();
  EXPECT_TRUE(rpFieldValue(*table, "N").Identical(Variant(2)));  // an open one stays where it is
  EXPECT_THROW(rpFieldValue(*table, "missing"), EDatabaseError);
}

}  // namespace

namespace {

// A form or module of the test: its components by name.
struct TestDirectory : TObject, TrpComponentDirectory {
  std::vector<std::pair<AnsiString, TObject*>> items;
  bool broken = false;
  TObject* FindComponent(std::string_view name) const override {
    if (broken) throw Exception("lookup failed");
    for (const auto& [n, c] : items)
      if (AnsiSameText(n, name)) return c;
    return nullptr;
  }
};

class ComponentPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    for (TRowDataSet* ds : {&local, &orders, &items}) ds->Open();
    module.items = {{"Items", &items}};
    mainForm.items = {{"Orders", &orders}, {"Module", &module}};
    owner.items = {{"Local", &local}, {"NotADataSet", &userDataset}};
    brokenForm.broken = true;
    rpSetGlobalComponentLookup([this](std::string_view name) -> TObject* {
      if (AnsiSameText(name, "Main")) return &mainForm;
      if (AnsiSameText(name, "Broken")) return &brokenForm;
      return nullptr;
    });
  }
  void TearDown() override { rpSetGlobalComponentLookup(nullptr); }

  TRowDataSet local{{{"Code", TFieldType::ftInteger}, {"Odd.Name", TFieldType::ftString}}, {}};
  TRowDataSet orders{{{"Sum", TFieldType::ftFloat}}, {}};
  TRowDataSet items{{{"Qty", TFieldType::ftInteger}}, {}};
  TrpUserDataset userDataset;
  TestDirectory module, mainForm, brokenForm, owner;
};

TEST_F(ComponentPaths, FindsComponentsUnderTheOwnerOrThroughTheForms) {
  const std::pair<const char*, TObject*> cases[] = {
      {"Local", &local},
      {"LOCAL", &local},
      {"Absent", nullptr},
      {"Main.Orders", &orders},
      {"main.ORDERS", &orders},
      {"Main.Module", &module},
      {"Main.Module.Items", &items},
      {"Main.Absent", nullptr},
      {"Nowhere.Orders", nullptr},
      {"Main.Orders.Sum", nullptr},  // a dataset holds no components
      {"Main.Module.Items.Qty", nullptr},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(rpFindComponentPath(&owner, path), expected) << path;
  EXPECT_EQ(rpFindComponentPath(nullptr, "Local"), nullptr);
  EXPECT_EQ(rpFindComponentPath(nullptr, "Main.Orders"), &orders);

  try {
    rpFindComponentPath(&owner, "Broken.Orders");
    FAIL() << "no error from a failing lookup";
  } catch (const EClassNotFound& e) {
    EXPECT_STREQ(e.what(), "Missing Broken.Orders");
  }
}

TEST_F(ComponentPaths, ResolvesDatasetFieldReferences) {
  struct Case {
    const char* text;
    TDataSet* given;
    TDataSet* dataSet;
    const char* field;
  };
  const Case cases[] = {
      {"Code", &local, &local, "Code"},
      {"CODE", &local, &local, "CODE"},
      {"\"Code\"", &local, &local, "Code"},
      {"Absent", &local, &local, ""},
      {"Code", nullptr, nullptr, ""},
      {"\"Odd.Name\"", &local, &local, "Odd.Name"},
      {"Local.Code", nullptr, &local, "Code"},
      {"Local.\"Odd.Name\"", nullptr, &local, "Odd.Name"},
      {"Local.\"\"", nullptr, &local, ""},
      {"Local.Sum", nullptr, &local, ""},
      {"Main.Orders.Sum", &local, &orders, "Sum"},
      {"Main.Orders.\"Sum\"", nullptr, &orders, "Sum"},
      {"Main.Module.Items.Qty", nullptr, &items, "Qty"},
      {"Absent.Code", &local, nullptr, ""},
      {"NotADataSet.Code", nullptr, nullptr, ""},
      {"Main.Module.Items.Qty.More", &local, nullptr, ""},
  };
  for (const Case& c : cases) {
    TDataSet* dataSet = c.given;
    AnsiString field = "stale";
    rpResolveDataSetField(c.text, &owner, dataSet, field);
    EXPECT_EQ(dataSet, c.dataSet) << c.text;
    EXPECT_EQ(field, c.field) << c.text;
  }
}

}  // namespace
