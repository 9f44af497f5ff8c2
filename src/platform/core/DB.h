// The class library's dataset framework, kept lean: datasets with their states, field
// definitions and field objects, navigation with Bof and Eof, editing, bookmarks,
// filters, Locate and Lookup, and the Before and After events. A concrete dataset
// supplies the record-buffer protocol (the Internal... operations, GetRecord, the
// bookmark and field data operations); the framework keeps one active record buffer,
// one buffer to fetch into and one copy for Cancel.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Variant.h"

// Dataset misuse and dataset failures, with the class library's texts.
TW_DECLARE_EXCEPTION(EDatabaseError, Exception)
[[noreturn]] void DatabaseError(AnsiString message);

// The application's handler for exceptions that cannot be raised to a caller (a failure
// inside a destructor). The program installs one that shows the message; without one
// the message goes to the standard error stream.
using TApplicationExceptionHandler = std::function<void(const std::exception& e)>;
void SetApplicationExceptionHandler(TApplicationExceptionHandler handler);
void HandleApplicationException(const std::exception& e);

namespace dbmsg {
inline constexpr const char* DataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* DataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* DataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* DataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* NotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* FieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* FieldNotFound = "Field '%s' not found";
inline constexpr const char* InvalidIntegerValue = "'%s' is not a valid integer value for field '%s'";
inline constexpr const char* InvalidFloatValue = "'%s' is not a valid floating point value for field '%s'";
inline constexpr const char* InvalidDateValue = "'%s' is not a valid date and time for field '%s'";
inline constexpr const char* InvalidBoolValue = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char* FieldRangeError =
    "%s is not a valid value for field '%s'. The allowed range is %d to %d";
}  // namespace dbmsg

enum class TDataSetState {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsBlockRead,
  dsInternalCalc
};

enum class TFieldType {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint
};

enum class TGetMode { gmCurrent, gmNext, gmPrior };
enum class TGetResult { grOK, grBOF, grEOF, grError };
enum class TBookmarkFlag : std::uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum class TDataAction { daFail, daAbort, daRetry };

// Option sets as bit masks.
using TLocateOptions = unsigned;
inline constexpr TLocateOptions loCaseInsensitive = 1;
inline constexpr TLocateOptions loPartialKey = 2;
using TFilterOptions = unsigned;
inline constexpr TFilterOptions foCaseInsensitive = 1;
inline constexpr TFilterOptions foNoPartialCompare = 2;

// A bookmark: the dataset's bytes for one record; empty is no bookmark.
using TBookmark = AnsiString;

class TDataSet;
class TField;

using TDataSetNotifyEvent = std::function<void(TDataSet& dataSet)>;
using TFilterRecordEvent = std::function<void(TDataSet& dataSet, bool& accept)>;
using TDataSetErrorEvent =
    std::function<void(TDataSet& dataSet, const EDatabaseError& e, TDataAction& action)>;
using TFieldNotifyEvent = std::function<void(TField& field)>;
using TFieldGetTextEvent = std::function<void(TField& field, AnsiString& text, bool displayText)>;

struct TFieldDef {
  AnsiString Name;
  TFieldType DataType = TFieldType::ftUnknown;
  int Size = 0;
  int FieldNo = 0;  // 1-based
  bool Required = false;
};

class TFieldDefs {
 public:
  void Clear() { items_.clear(); }
  TFieldDef& Add(std::string_view name, TFieldType type, int size = 0, bool required = false);
  int Count() const { return static_cast<int>(items_.size()); }
  const TFieldDef& operator[](int i) const { return items_.at(static_cast<std::size_t>(i)); }
  int IndexOf(std::string_view name) const;  // caseless, -1 when missing
  const std::vector<TFieldDef>& Items() const { return items_; }

 private:
  std::vector<TFieldDef> items_;
};

// Whether values of the type live in a blob (read and written through a blob stream).
bool IsBlobType(TFieldType t);

// One column of the open dataset. Values come and go through the dataset's
// GetFieldData and SetFieldData in the type's own kind of Variant (String, Integer,
// Double, Boolean, Date), Null for no value; string texts pass the dataset's Translate
// when Transliterate is on.
class TField : public TObject {
 public:
  TField(TDataSet& dataSet, const TFieldDef& def, int index);

  TDataSet& DataSet() const { return dataSet_; }
  const AnsiString& FieldName() const { return name_; }
  TFieldType DataType() const { return type_; }
  int Size() const { return size_; }
  int FieldNo() const { return fieldNo_; }
  int Index() const { return index_; }
  bool IsBlob() const { return IsBlobType(type_); }

  bool IsNull() const;
  Variant Value() const;
  void SetValue(const Variant& v);
  void Clear() { SetValue(Variant::Null()); }
  AnsiString AsString() const;
  // The AsString text of a value of this field (Null and Empty give the empty text).
  AnsiString TextOfValue(const Variant& v) const;
  void SetAsString(std::string_view s);
  std::int32_t AsInteger() const;
  void SetAsInteger(std::int32_t v);
  double AsFloat() const;
  void SetAsFloat(double v);
  bool AsBoolean() const;
  void SetAsBoolean(bool v);
  TDateTime AsDateTime() const;
  void SetAsDateTime(TDateTime v);
  // The text for display: OnGetText when assigned, else AsString.
  AnsiString DisplayText() const;

  bool ReadOnly = false;
  bool Transliterate = false;  // on for string and memo fields
  TFieldNotifyEvent OnValidate;
  TFieldNotifyEvent OnChange;
  TFieldGetTextEvent OnGetText;

 private:
  Variant GetData() const;
  void SetData(const Variant& native);
  [[noreturn]] void ConvertError(const char* fmt, std::string_view text) const;
  std::int32_t TextToInteger(std::string_view s) const;
  double TextToFloat(std::string_view s) const;
  bool TextToBoolean(std::string_view s) const;
  TDateTime TextToDateTime(std::string_view s) const;

  TDataSet& dataSet_;
  AnsiString name_;
  TFieldType type_;
  int size_;
  int fieldNo_;
  int index_;
};

// What a concrete dataset keeps per buffered record.
struct TRecordBuffer {
  virtual ~TRecordBuffer() = default;
  virtual void CopyFrom(const TRecordBuffer& other) = 0;
};

class TDataSet : public TObject, public TFreeNotifier {
 public:
  TDataSet() = default;
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;
  // A concrete dataset closes itself in its own destructor.
  ~TDataSet() override = default;

  AnsiString Name;

  // Opening and closing.
  void Open();
  void Close();
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void SetActive(bool on) { on ? Open() : Close(); }
  TDataSetState State() const { return state_; }
  virtual void CheckActive() const;
  void CheckInactive() const;
  // Posts a modified record, cancels an unmodified one.
  void CheckBrowseMode();

  // Fields.
  TFieldDefs& FieldDefs() { return fieldDefs_; }
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField& Fields(int i) const { return *fields_.at(static_cast<std::size_t>(i)); }
  TField* FindField(std::string_view name) const;
  TField& FieldByName(std::string_view name) const;
  std::vector<AnsiString> GetFieldNames() const;

  // Navigation.
  void First();
  void Last();
  void Next();
  void Prior();
  std::int64_t MoveBy(std::int64_t distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const;
  void Refresh();

  // Editing.
  void Append();
  void Insert() { Append(); }
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  bool Modified() const { return modified_; }
  bool CanModify() const { return GetCanModify(); }

  // Counts and positions.
  std::int64_t RecordCount() { return GetRecordCount(); }
  std::int64_t RecNo() { return GetRecNo(); }
  void SetRecNo(std::int64_t n) { SetRecNoValue(n); }

  // Bookmarks: empty when there is no current record.
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b) const;
  bool BookmarkValid(const TBookmark& bookmark);

  // Filtering: the expression (as the concrete dataset understands it) and the event.
  const AnsiString& Filter() const { return filterText_; }
  void SetFilter(std::string_view text) { SetFilterText(text); }
  bool Filtered() const { return filtered_; }
  void SetFilteredOn(bool on) { SetFiltered(on); }
  TFilterOptions FilterOptions() const { return filterOptions_; }
  void SetFilterOptionsValue(TFilterOptions options) { SetFilterOptions(options); }

  // Searching by one key field. The framework's own search walks the records.
  virtual bool Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options);
  virtual Variant Lookup(std::string_view keyFields, const Variant& keyValues, std::string_view resultFields);

  virtual std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode);
  // Text between the dataset's storage and the program (to the storage when toOem).
  virtual AnsiString Translate(std::string_view src, bool /*toOem*/) const { return AnsiString(src); }

  // Field values: false when the field has no value. Used by TField.
  virtual bool GetFieldData(const TField& field, Variant& value) = 0;
  // The field's AsString text made straight from the stored bytes, for the fields and
  // values a dataset can do that for; false leaves it to the conversion of the value.
  // Used by TField::AsString, which asks it for every field but blobs.
  virtual bool GetFieldText(const TField& /*field*/, AnsiString& /*text*/) { return false; }
  virtual void SetFieldData(TField& field, const Variant& value) = 0;

  void DisableControls() { ++disableCount_; }
  void EnableControls() {
    if (disableCount_ > 0) --disableCount_;
  }
  bool ControlsDisabled() const { return disableCount_ > 0; }

  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnNewRecord, OnCalcFields;
  TFilterRecordEvent OnFilterRecord;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

 protected:
  // The record-buffer protocol of a concrete dataset.
  virtual std::unique_ptr<TRecordBuffer> AllocRecordBuffer() = 0;
  virtual TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) = 0;
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalInitRecord(TRecordBuffer& buffer) = 0;
  virtual void InternalEdit() {}
  virtual void InternalPost() = 0;
  virtual void InternalCancel() {}
  virtual void InternalDelete() = 0;
  virtual void InternalRefresh() {}
  virtual void InternalHandleException() {}
  virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
  virtual void InternalSetToRecord(TRecordBuffer& buffer) = 0;
  virtual TBookmark GetBookmarkData(const TRecordBuffer& buffer) const = 0;
  virtual void SetBookmarkData(TRecordBuffer& buffer, const TBookmark& bookmark) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const = 0;
  virtual void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) = 0;
  virtual std::int64_t GetRecordCount();
  virtual std::int64_t GetRecNo();
  virtual void SetRecNoValue(std::int64_t n);
  virtual bool GetCanModify() const { return true; }
  virtual bool IsSequenced() const { return true; }
  virtual void SetFiltered(bool on) { filtered_ = on; }
  virtual void SetFilterText(std::string_view text) { filterText_ = AnsiString(text); }
  virtual void SetFilterOptions(TFilterOptions options) { filterOptions_ = options; }
  virtual void DoAfterInsert() { Fire(AfterInsert); }
  virtual void DoBeforeScroll() { Fire(BeforeScroll); }
  virtual void DoAfterScroll() { Fire(AfterScroll); }

  // For concrete datasets.
  void CreateFields();
  void DestroyFields() { fields_.clear(); }
  // The buffer whose fields are read and written in browse, edit and insert states;
  // null on an empty dataset in browse state.
  TRecordBuffer* ActiveBuffer() const {
    if (!Active()) return nullptr;
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return active_.get();
    return hasRecord_ ? active_.get() : nullptr;
  }
  // OnFilterRecord for the record at hand, in filter state; true without a handler.
  bool FilterRecordAccepted();
  // Re-reads the cursor's record after the cursor moved by itself (exact: the record
  // must be there).
  void Resync(bool exact);
  // Moves the cursor to the active record when it was left elsewhere.
  void UpdateCursorPos();
  void CursorMoved() { cursorSynced_ = false; }
  void SetState(TDataSetState state) { state_ = state; }
  void MarkModified() { modified_ = true; }
  void Fire(const TDataSetNotifyEvent& e) {
    if (e) e(*this);
  }
  // The field was set: the record is modified and the field's change event fires.
  void FieldChanged(TField& field);
  friend class TField;

 private:
  bool Fetch(TGetMode mode);
  void InitRecord(TRecordBuffer& buffer);
  void CheckOperation(void (TDataSet::*op)(), const TDataSetErrorEvent& onError);
  void ClearBuffers();

  TDataSetState state_ = TDataSetState::dsInactive;
  TFieldDefs fieldDefs_;
  std::vector<std::unique_ptr<TField>> fields_;
  std::unique_ptr<TRecordBuffer> active_, fetch_, saved_;
  bool hasRecord_ = false;
  bool savedHasRecord_ = false;
  bool savedBof_ = false, savedEof_ = false;
  bool bof_ = true, eof_ = true;
  bool modified_ = false;
  bool cursorSynced_ = false;
  int disableCount_ = 0;
  AnsiString filterText_;
  bool filtered_ = false;
  TFilterOptions filterOptions_ = 0;
};

// Links a data consumer (the report engine's dataset wrapper) to a dataset.
class TDataSource : public TObject, public TFreeNotifier {
 public:
  TDataSet* DataSet = nullptr;
  bool Enabled = true;
};
