// A read-only framework dataset over rows held by the test, for the report tests that
// walk database datasets. A row can be taken away ("gone") while the dataset is open,
// as another user's delete would.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/DB.h"

namespace rptest {

struct RowBuffer : TRecordBuffer {
  int row = -1;
  TBookmarkFlag flag = TBookmarkFlag::bfCurrent;
  void CopyFrom(const TRecordBuffer& other) override { *this = static_cast<const RowBuffer&>(other); }
};

class TRowDataSet : public TDataSet {
 public:
  TRowDataSet(std::vector<TFieldDef> defs, std::vector<std::vector<Variant>> rows)
      : defs_(std::move(defs)), rows_(std::move(rows)) {}
  ~TRowDataSet() override { Close(); }

  std::set<int> gone;
  std::vector<AnsiString> blobs;  // per row: the bytes of every blob field

  bool GetFieldData(const TField& field, Variant& value) override {
    auto* b = static_cast<RowBuffer*>(ActiveBuffer());
    if (!b) return false;
    value = rows_[static_cast<std::size_t>(b->row)][static_cast<std::size_t>(field.Index())];
    return !value.IsNull();
  }
  void SetFieldData(TField&, const Variant&) override { DatabaseError(dbmsg::DataSetReadOnly); }
  std::unique_ptr<TStream> CreateBlobStream(TField&, TBlobStreamMode) override {
    auto* b = static_cast<RowBuffer*>(ActiveBuffer());
    return std::make_unique<TMemoryStream>(b ? blobs.at(static_cast<std::size_t>(b->row)) : AnsiString());
  }
  // The row the dataset stands on (0-based), -1 for none.
  int Row() const {
    auto* b = static_cast<RowBuffer*>(ActiveBuffer());
    return b ? b->row : -1;
  }

 protected:
  int Count() const { return static_cast<int>(rows_.size()); }
  bool Present(int r) const { return r >= 0 && r < Count() && gone.count(r) == 0; }

  std::unique_ptr<TRecordBuffer> AllocRecordBuffer() override { return std::make_unique<RowBuffer>(); }
  TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool) override {
    int r = cursor_;
    if (mode == TGetMode::gmCurrent) {
      if (!Present(r)) return TGetResult::grError;
    } else {
      const int step = mode == TGetMode::gmNext ? 1 : -1;
      do r += step;
      while (r >= 0 && r < Count() && !Present(r));
      if (r < 0 || r >= Count()) {
        cursor_ = r < 0 ? -1 : Count();
        return r < 0 ? TGetResult::grBOF : TGetResult::grEOF;
      }
    }
    cursor_ = r;
    static_cast<RowBuffer&>(buffer).row = r;
    static_cast<RowBuffer&>(buffer).flag = TBookmarkFlag::bfCurrent;
    return TGetResult::grOK;
  }
  void InternalOpen() override {
    InternalInitFieldDefs();
    CreateFields();
    cursor_ = -1;
    open_ = true;
  }
  void InternalClose() override { open_ = false; }
  bool IsCursorOpen() const override { return open_; }
  void InternalInitFieldDefs() override {
    FieldDefs().Clear();
    for (const auto& d : defs_) FieldDefs().Add(d.Name, d.DataType, d.Size);
  }
  void InternalFirst() override { cursor_ = -1; }
  void InternalLast() override { cursor_ = Count(); }
  void InternalInitRecord(TRecordBuffer&) override {}
  void InternalPost() override {}
  void InternalDelete() override {}
  void InternalGotoBookmark(const TBookmark& bookmark) override {
    const int r = std::stoi(bookmark);
    if (!Present(r)) DatabaseError("Record not found");
    cursor_ = r;
  }
  void InternalSetToRecord(TRecordBuffer& buffer) override { cursor_ = static_cast<RowBuffer&>(buffer).row; }
  TBookmark GetBookmarkData(const TRecordBuffer& buffer) const override {
    return std::to_string(static_cast<const RowBuffer&>(buffer).row);
  }
  void SetBookmarkData(TRecordBuffer& buffer, const TBookmark& bookmark) override {
    static_cast<RowBuffer&>(buffer).row = std::stoi(bookmark);
  }
  TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const override {
    return static_cast<const RowBuffer&>(buffer).flag;
  }
  void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) override {
    static_cast<RowBuffer&>(buffer).flag = flag;
  }

 private:
  std::vector<TFieldDef> defs_;
  std::vector<std::vector<Variant>> rows_;
  int cursor_ = -1;
  bool open_ = false;
};

// Rows N = 1..n and, with a prefix, T = prefix + N.
inline std::unique_ptr<TRowDataSet> Numbers(int n, const char* prefix = nullptr) {
  std::vector<TFieldDef> defs{{"N", TFieldType::ftInteger}};
  if (prefix) defs.push_back({"T", TFieldType::ftString, 10});
  std::vector<std::vector<Variant>> rows;
  for (int i = 1; i <= n; ++i) {
    rows.push_back({Variant(i)});
    if (prefix) rows.back().push_back(Variant(prefix + std::to_string(i)));
  }
  return std::make_unique<TRowDataSet>(std::move(defs), std::move(rows));
}

}  // namespace rptest
