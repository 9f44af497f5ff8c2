// The dataset framework over a small in-memory dataset of the test's own: navigation
// with Bof and Eof, editing, bookmarks, the filter event, Locate and Lookup, field
// conversions and the events.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/DB.h"

namespace {

struct Row {
  std::vector<Variant> values;
  bool deleted = false;
};

struct MemBuffer : TRecordBuffer {
  std::vector<Variant> values;
  std::int64_t recNo = 0;
  TBookmarkFlag flag = TBookmarkFlag::bfCurrent;
  void CopyFrom(const TRecordBuffer& other) override { *this = static_cast<const MemBuffer&>(other); }
};

// Rows in a vector; the cursor is a 1-based row number, 0 before the first row and
// count + 1 after the last. Deleted rows and rows the filter event refuses are skipped.
class TMemDataSet : public TDataSet {
 public:
  explicit TMemDataSet(std::vector<TFieldDef> defs) : defs_(std::move(defs)) {}
  ~TMemDataSet() override { Close(); }

  std::vector<Row> rows;
  int getRecordCalls = 0;

  bool GetFieldData(const TField& field, Variant& value) override {
    const std::vector<Variant>* values = nullptr;
    if (State() == TDataSetState::dsFilter)
      values = &rows[static_cast<std::size_t>(probe_ - 1)].values;
    else if (auto* b = static_cast<MemBuffer*>(ActiveBuffer()))
      values = &b->values;
    if (!values) return false;
    value = (*values)[static_cast<std::size_t>(field.Index())];
    return !value.IsNull();
  }
  void SetFieldData(TField& field, const Variant& value) override {
    static_cast<MemBuffer*>(ActiveBuffer())->values[static_cast<std::size_t>(field.Index())] = value;
  }

 protected:
  std::unique_ptr<TRecordBuffer> AllocRecordBuffer() override {
    auto b = std::make_unique<MemBuffer>();
    b->values.assign(defs_.size(), Variant::Null());
    return b;
  }
  bool Visible(std::int64_t n) {
    if (rows[static_cast<std::size_t>(n - 1)].deleted) return false;
    probe_ = n;
    return !Filtered() || FilterRecordAccepted();
  }
  TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool) override {
    ++getRecordCalls;
    const auto count = static_cast<std::int64_t>(rows.size());
    std::int64_t n = cursor_;
    if (mode == TGetMode::gmCurrent) {
      if (n < 1 || n > count || !Visible(n)) return TGetResult::grError;
    } else {
      const std::int64_t step = mode == TGetMode::gmNext ? 1 : -1;
      do n += step;
      while (n >= 1 && n <= count && !Visible(n));
      if (n < 1 || n > count) {
        cursor_ = n < 1 ? 0 : count + 1;
        return n < 1 ? TGetResult::grBOF : TGetResult::grEOF;
      }
    }
    cursor_ = n;
    auto& b = static_cast<MemBuffer&>(buffer);
    b.values = rows[static_cast<std::size_t>(n - 1)].values;
    b.recNo = n;
    b.flag = TBookmarkFlag::bfCurrent;
    return TGetResult::grOK;
  }
  void InternalOpen() override {
    InternalInitFieldDefs();
    CreateFields();
    cursor_ = 0;
  }
  void InternalClose() override { open_ = false; }
  bool IsCursorOpen() const override { return open_; }
  void InternalInitFieldDefs() override {
    FieldDefs().Clear();
    for (const auto& d : defs_) FieldDefs().Add(d.Name, d.DataType, d.Size);
    open_ = true;
  }
  void InternalFirst() override { cursor_ = 0; }
  void InternalLast() override { cursor_ = static_cast<std::int64_t>(rows.size()) + 1; }
  void InternalInitRecord(TRecordBuffer& buffer) override {
    static_cast<MemBuffer&>(buffer).values.assign(defs_.size(), Variant::Null());
  }
  void InternalPost() override {
    auto* b = static_cast<MemBuffer*>(ActiveBuffer());
    if (State() == TDataSetState::dsEdit) {
      rows[static_cast<std::size_t>(b->recNo - 1)].values = b->values;
      cursor_ = b->recNo;
    } else {
      rows.push_back({b->values, false});
      cursor_ = static_cast<std::int64_t>(rows.size());
    }
  }
  void InternalDelete() override {
    rows[static_cast<std::size_t>(cursor_ - 1)].deleted = true;
    // Onto the next visible row, or the previous one at the end.
    TMemDataSet::GetRecord(*scratch(), TGetMode::gmNext, false);
    if (cursor_ > static_cast<std::int64_t>(rows.size()))
      TMemDataSet::GetRecord(*scratch(), TGetMode::gmPrior, false);
  }
  void InternalGotoBookmark(const TBookmark& bookmark) override {
    const std::int64_t n = std::stoll(bookmark);
    if (n < 1 || n > static_cast<std::int64_t>(rows.size())) DatabaseError("bad bookmark");
    cursor_ = n;
  }
  void InternalSetToRecord(TRecordBuffer& buffer) override {
    cursor_ = static_cast<MemBuffer&>(buffer).recNo;
  }
  TBookmark GetBookmarkData(const TRecordBuffer& buffer) const override {
    char text[16];
    std::snprintf(text, sizeof text, "%6lld",
                  static_cast<long long>(static_cast<const MemBuffer&>(buffer).recNo));
    return text;
  }
  void SetBookmarkData(TRecordBuffer& buffer, const TBookmark& bookmark) override {
    static_cast<MemBuffer&>(buffer).recNo = std::stoll(bookmark);
  }
  TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const override {
    return static_cast<const MemBuffer&>(buffer).flag;
  }
  void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) override {
    static_cast<MemBuffer&>(buffer).flag = flag;
  }
  std::int64_t GetRecNo() override {
    auto* b = static_cast<MemBuffer*>(ActiveBuffer());
    return b ? b->recNo : 0;
  }

 private:
  MemBuffer* scratch() {
    if (!scratch_) scratch_ = std::make_unique<MemBuffer>();
    return scratch_.get();
  }
  std::vector<TFieldDef> defs_;
  std::unique_ptr<MemBuffer> scratch_;
  std::int64_t cursor_ = 0;
  std::int64_t probe_ = 0;
  bool open_ = false;
};

std::vector<TFieldDef> Defs() {
  return {{"CODE", TFieldType::ftInteger, 0, 1},
          {"NAME", TFieldType::ftString, 20, 2},
          {"VEIGHT", TFieldType::ftFloat, 0, 3},
          {"DAY", TFieldType::ftDate, 0, 4},
          {"OK", TFieldType::ftBoolean, 0, 5}};
}

struct Sample : TMemDataSet {
  Sample() : TMemDataSet(Defs()) {
    rows = {{{Variant(10), Variant("Rice"), Variant(1.5), Variant::FromDate(40000), Variant(true)}},
            {{Variant(20), Variant("rye bread"), Variant(2.0), Variant::Null(), Variant(false)}},
            {{Variant(30), Variant("Raisins"), Variant::Null(), Variant::Null(), Variant::Null()}},
            {{Variant(40), Variant("Tea"), Variant(0.25), Variant::Null(), Variant(true)}}};
  }
};

std::vector<std::int32_t> Codes(TDataSet& ds) {
  std::vector<std::int32_t> codes;
  for (ds.First(); !ds.Eof(); ds.Next()) codes.push_back(ds.FieldByName("code").AsInteger());
  return codes;
}

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const EDatabaseError& e) {
    return e.Message();
  }
  return "<no EDatabaseError>";
}

TEST(DataSet, WalksForwardAndBackWithBofAndEof) {
  Sample ds;
  EXPECT_EQ(Message([&] { ds.First(); }), "Cannot perform this operation on a closed dataset");
  ds.Open();
  EXPECT_TRUE(ds.Bof());
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{10, 20, 30, 40}));
  EXPECT_TRUE(ds.Eof());
  // Eof keeps the last record; a further Next does not move.
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 40);
  const int calls = ds.getRecordCalls;
  ds.Next();
  EXPECT_EQ(ds.getRecordCalls, calls);
  ds.Prior();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 30);
  EXPECT_FALSE(ds.Eof());
  ds.Last();
  EXPECT_TRUE(ds.Eof());
  std::vector<std::int32_t> back;
  for (; !ds.Bof(); ds.Prior()) back.push_back(ds.FieldByName("CODE").AsInteger());
  EXPECT_EQ(back, (std::vector<std::int32_t>{40, 30, 20, 10}));
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 10);
  EXPECT_EQ(ds.MoveBy(10), 3);
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(Message([&] { ds.FieldByName("NOPE"); }), "Field 'NOPE' not found");
  EXPECT_EQ(ds.FindField("nope"), nullptr);
  ds.Close();
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.FieldCount(), 0);
}

TEST(DataSet, EmptyDatasetHasBothEdgesAndNoValues) {
  TMemDataSet ds(Defs());
  ds.Open();
  EXPECT_TRUE(ds.Bof());
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.FieldByName("NAME").IsNull());
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "");
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 0);
  EXPECT_EQ(ds.GetBookmark(), "");
  EXPECT_EQ(Message([&] { ds.Delete(); }), "Cannot perform this operation on an empty dataset");
}

TEST(DataSet, FieldConversionsByType) {
  Sample ds;
  ds.Open();
  TField& code = ds.FieldByName("CODE");
  TField& name = ds.FieldByName("NAME");
  TField& veight = ds.FieldByName("VEIGHT");
  TField& day = ds.FieldByName("DAY");
  TField& ok = ds.FieldByName("OK");
  EXPECT_EQ(code.AsString(), "10");
  EXPECT_DOUBLE_EQ(code.AsFloat(), 10.0);
  EXPECT_EQ(veight.AsString(), "1.5");
  EXPECT_EQ(veight.AsInteger(), 2);  // halves to even
  EXPECT_EQ(day.AsString(), "06.07.2009");
  EXPECT_EQ(ok.AsString(), "True");
  EXPECT_TRUE(ok.AsBoolean());
  EXPECT_EQ(code.Value().VarType(), varInteger);
  EXPECT_EQ(day.Value().VarType(), varDate);
  EXPECT_EQ(Message([&] { code.SetAsInteger(1); }), "Dataset not in edit or insert mode");

  ds.Edit();
  code.SetAsString("77");
  veight.SetAsString("3,25");  // a comma reads as the decimal separator
  day.SetAsString("01.02.2003");
  ok.SetAsString("False");
  name.SetAsInteger(5);
  EXPECT_EQ(code.AsInteger(), 77);
  EXPECT_DOUBLE_EQ(veight.AsFloat(), 3.25);
  EXPECT_EQ(day.AsString(), "01.02.2003");
  EXPECT_FALSE(ok.AsBoolean());
  EXPECT_EQ(name.AsString(), "5");
  EXPECT_EQ(Message([&] { code.SetAsString("7x"); }), "'7x' is not a valid integer value for field 'CODE'");
  EXPECT_EQ(Message([&] { veight.SetAsString("abc"); }),
            "'abc' is not a valid floating point value for field 'VEIGHT'");
  code.SetAsString("");
  EXPECT_TRUE(code.IsNull());
  code.SetAsFloat(2.5);
  EXPECT_EQ(code.AsInteger(), 2);
  code.ReadOnly = true;
  EXPECT_EQ(Message([&] { code.SetAsInteger(3); }), "Field 'CODE' cannot be modified");
  ds.Post();
  EXPECT_EQ(ds.rows[0].values[1].AsString(), "5");
  EXPECT_EQ(ds.rows[0].values[0].AsInteger(), 2);
}

TEST(DataSet, AppendPostCancelAndDelete) {
  Sample ds;
  std::vector<std::string> events;
  auto log = [&](const char* e) { return [&events, e](TDataSet&) { events.push_back(e); }; };
  ds.BeforeInsert = log("BeforeInsert");
  ds.OnNewRecord = log("OnNewRecord");
  ds.AfterInsert = log("AfterInsert");
  ds.BeforePost = log("BeforePost");
  ds.AfterPost = log("AfterPost");
  ds.BeforeCancel = log("BeforeCancel");
  ds.AfterCancel = log("AfterCancel");
  ds.BeforeDelete = log("BeforeDelete");
  ds.AfterDelete = log("AfterDelete");
  ds.Open();
  ds.Next();  // on 20
  ds.Append();
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  EXPECT_TRUE(ds.FieldByName("CODE").IsNull());
  ds.FieldByName("CODE").SetAsInteger(50);
  ds.FieldByName("NAME").SetAsString("Salt");
  EXPECT_TRUE(ds.Modified());
  ds.Post();
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "Salt");  // the new record is current
  EXPECT_EQ(ds.RecNo(), 5);

  // An unmodified append is dropped by the next move; a cancel brings the old record back.
  ds.First();
  ds.Append();
  ds.Next();  // cancels the append, back on 10, then moves on
  EXPECT_EQ(ds.rows.size(), 5u);
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 20);
  ds.Edit();
  ds.FieldByName("CODE").SetAsInteger(21);
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 20);
  EXPECT_EQ(ds.rows[1].values[0].AsInteger(), 20);
  // A modified append is posted by the next move.
  ds.Append();
  ds.FieldByName("CODE").SetAsInteger(60);
  ds.First();
  EXPECT_EQ(ds.rows.size(), 6u);

  // Deleting moves on to the next record, and from the last record back to the new last.
  ds.Delete();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 20);
  ds.Last();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 60);
  ds.Delete();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 50);
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{20, 30, 40, 50}));
  while (!ds.IsEmpty()) ds.Delete();
  EXPECT_TRUE(ds.Bof() && ds.Eof());
  EXPECT_EQ(events.front(), "BeforeInsert");
  EXPECT_EQ(std::count(events.begin(), events.end(), "AfterPost"), 2);
  EXPECT_EQ(std::count(events.begin(), events.end(), "AfterCancel"), 2);
  EXPECT_EQ(std::count(events.begin(), events.end(), "AfterDelete"), 6);
}

TEST(DataSet, ErrorEventsCanRetryOrAbort) {
  Sample ds;
  ds.Open();
  ds.Edit();
  int calls = 0;
  ds.BeforePost = [&](TDataSet&) {
    if (++calls == 1) DatabaseError("not yet");
  };
  EXPECT_EQ(Message([&] { ds.Post(); }), "not yet");
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  ds.Post();
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
}

TEST(DataSet, BookmarksReturnAndOrder) {
  Sample ds;
  ds.Open();
  ds.Next();
  ds.Next();
  const TBookmark b30 = ds.GetBookmark();
  ds.First();
  const TBookmark b10 = ds.GetBookmark();
  EXPECT_EQ(ds.CompareBookmarks(b10, b30), -1);
  EXPECT_EQ(ds.CompareBookmarks(b30, b10), 1);
  EXPECT_EQ(ds.CompareBookmarks(b30, b30), 0);
  EXPECT_EQ(ds.CompareBookmarks("", b10), -1);
  EXPECT_EQ(ds.CompareBookmarks("", ""), 0);
  ds.GotoBookmark(b30);
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 30);
  ds.Next();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 40);
  EXPECT_TRUE(ds.BookmarkValid(b10));
  EXPECT_FALSE(ds.BookmarkValid("    99"));
  // Checking a bookmark leaves the dataset where it was.
  ds.Prior();
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 30);
  EXPECT_EQ(Message([&] { ds.GotoBookmark("    99"); }), "bad bookmark");
}

TEST(DataSet, FilterEventHidesRecordsAndReadsFieldsOfTheRecordAtHand) {
  Sample ds;
  ds.OnFilterRecord = [](TDataSet& d, bool& accept) {
    EXPECT_EQ(d.State(), TDataSetState::dsFilter);
    accept = d.FieldByName("CODE").AsInteger() % 20 == 0;
  };
  ds.Open();
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{10, 20, 30, 40}));
  ds.SetFilteredOn(true);
  EXPECT_EQ(Codes(ds), (std::vector<std::int32_t>{20, 40}));
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
}

TEST(DataSet, LocateAndLookupWithOptions) {
  struct Case {
    const char* field;
    Variant key;
    TLocateOptions options;
    std::int32_t found;  // 0: not found
  };
  const Case cases[] = {
      {"CODE", Variant(30), 0, 30},
      {"CODE", Variant("40"), 0, 40},
      {"CODE", Variant(35), 0, 0},
      {"NAME", Variant("Rice"), 0, 10},
      {"NAME", Variant("rice"), 0, 0},
      {"NAME", Variant("rice"), loCaseInsensitive, 10},
      {"NAME", Variant("Ra"), 0, 0},
      {"NAME", Variant("Ra"), loPartialKey, 30},
      {"NAME", Variant("RY"), loPartialKey | loCaseInsensitive, 20},
      {"VEIGHT", Variant::Null(), 0, 30},
      {"VEIGHT", Variant(0.25), 0, 40},
  };
  Sample ds;
  ds.Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + VarToStr(c.key));
    ds.Next();  // somewhere else than the first record
    const std::int32_t before = ds.FieldByName("CODE").AsInteger();
    const bool found = ds.Locate(c.field, c.key, c.options);
    EXPECT_EQ(found, c.found != 0);
    EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), found ? c.found : before);
  }
  ds.First();
  EXPECT_EQ(ds.Lookup("CODE", Variant(20), "NAME").AsString(), "rye bread");
  EXPECT_TRUE(ds.Lookup("CODE", Variant(21), "NAME").IsNull());
  EXPECT_EQ(ds.FieldByName("CODE").AsInteger(), 10);
}

}  // namespace
