#include "platform/core/DB.h"

#include <cmath>
#include <cstdio>
#include <utility>

void DatabaseError(AnsiString message) { throw EDatabaseError(std::move(message)); }

namespace {
TApplicationExceptionHandler& ExceptionHandler() {
  static TApplicationExceptionHandler handler;
  return handler;
}
}  // namespace

void SetApplicationExceptionHandler(TApplicationExceptionHandler handler) {
  ExceptionHandler() = std::move(handler);
}

void HandleApplicationException(const std::exception& e) {
  if (ExceptionHandler())
    ExceptionHandler()(e);
  else
    std::fprintf(stderr, "%s\n", e.what());
}

// --- Field definitions -----------------------------------------------------------------------------

TFieldDef& TFieldDefs::Add(std::string_view name, TFieldType type, int size, bool required) {
  TFieldDef d;
  d.Name = AnsiString(name);
  d.DataType = type;
  d.Size = size;
  d.FieldNo = Count() + 1;
  d.Required = required;
  items_.push_back(std::move(d));
  return items_.back();
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(items_[static_cast<std::size_t>(i)].Name, name)) return i;
  return -1;
}

bool IsBlobType(TFieldType t) {
  switch (t) {
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftParadoxOle:
    case TFieldType::ftDBaseOle:
    case TFieldType::ftTypedBinary:
      return true;
    default:
      return false;
  }
}

namespace {

bool IsIntegerType(TFieldType t) {
  return t == TFieldType::ftSmallint || t == TFieldType::ftInteger || t == TFieldType::ftWord ||
         t == TFieldType::ftAutoInc;
}

bool IsFloatType(TFieldType t) {
  return t == TFieldType::ftFloat || t == TFieldType::ftCurrency || t == TFieldType::ftBCD;
}

bool IsDateType(TFieldType t) {
  return t == TFieldType::ftDate || t == TFieldType::ftTime || t == TFieldType::ftDateTime;
}

bool IsTextType(TFieldType t) {
  return t == TFieldType::ftString || t == TFieldType::ftFixedChar || t == TFieldType::ftWideString;
}

}  // namespace

// --- Fields -----------------------------------------------------------------------------------------

TField::TField(TDataSet& dataSet, const TFieldDef& def, int index)
    : dataSet_(dataSet),
      name_(def.Name),
      type_(def.DataType),
      size_(def.Size),
      fieldNo_(def.FieldNo),
      index_(index) {
  Transliterate = IsTextType(type_) || type_ == TFieldType::ftMemo;
}

Variant TField::GetData() const {
  Variant v;
  if (!dataSet_.GetFieldData(*this, v)) return Variant::Null();
  if (IsBlob()) {
    // The content comes through the blob stream, which translates it itself.
    std::unique_ptr<TStream> s =
        dataSet_.CreateBlobStream(const_cast<TField&>(*this), TBlobStreamMode::bmRead);
    AnsiString text(static_cast<std::size_t>(s->Size()), '\0');
    const std::int64_t n = s->Read(text.data(), static_cast<std::int64_t>(text.size()));
    text.resize(static_cast<std::size_t>(n));
    return Variant(std::move(text));
  }
  if (IsTextType(type_) && Transliterate && v.IsString())
    return Variant(dataSet_.Translate(v.AsString(), false));
  return v;
}

void TField::SetData(const Variant& native) {
  const TDataSetState st = dataSet_.State();
  if (st != TDataSetState::dsEdit && st != TDataSetState::dsInsert && st != TDataSetState::dsCalcFields &&
      st != TDataSetState::dsFilter && st != TDataSetState::dsNewValue && st != TDataSetState::dsInternalCalc)
    DatabaseError(dbmsg::NotEditing);
  if (ReadOnly && st != TDataSetState::dsFilter) DatabaseError(Format(dbmsg::FieldReadOnly, {name_}));
  if (OnValidate) OnValidate(*this);
  if (IsBlob()) {
    std::unique_ptr<TStream> s = dataSet_.CreateBlobStream(*this, TBlobStreamMode::bmWrite);
    const AnsiString text = native.IsNull() ? AnsiString() : native.AsString();
    s->Write(text.data(), static_cast<std::int64_t>(text.size()));
    return;  // the stream reports the change when it is done
  }
  if (IsTextType(type_) && Transliterate && native.IsString())
    dataSet_.SetFieldData(*this, Variant(dataSet_.Translate(native.AsString(), true)));
  else
    dataSet_.SetFieldData(*this, native);
  if (st != TDataSetState::dsCalcFields && st != TDataSetState::dsFilter && st != TDataSetState::dsNewValue)
    dataSet_.FieldChanged(*this);
}

void TField::ConvertError(const char* fmt, std::string_view text) const {
  DatabaseError(Format(fmt, {AnsiString(text), name_}));
}

bool TField::IsNull() const {
  Variant v;
  return !dataSet_.GetFieldData(*this, v);
}

Variant TField::Value() const { return GetData(); }

void TField::SetValue(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return SetData(Variant::Null());
  if (IsTextType(type_) || IsBlob()) return SetData(Variant(v.AsString()));
  if (IsIntegerType(type_)) {
    if (v.IsString()) return SetAsString(v.AsString());
    const std::int32_t i = v.AsInteger();
    if (type_ == TFieldType::ftSmallint && (i < -32768 || i > 32767))
      DatabaseError(Format(dbmsg::FieldRangeError, {IntToStr(i), name_, -32768, 32767}));
    if (type_ == TFieldType::ftWord && (i < 0 || i > 65535))
      DatabaseError(Format(dbmsg::FieldRangeError, {IntToStr(i), name_, 0, 65535}));
    return SetData(Variant(i));
  }
  if (IsFloatType(type_)) return v.IsString() ? SetAsString(v.AsString()) : SetData(Variant(v.AsDouble()));
  if (type_ == TFieldType::ftBoolean)
    return v.IsString() ? SetAsString(v.AsString()) : SetData(Variant(v.AsBoolean()));
  if (IsDateType(type_))
    return v.IsString() ? SetAsString(v.AsString()) : SetData(Variant::FromDate(v.AsDate()));
  SetData(v);
}

AnsiString TField::AsString() const {
  AnsiString text;
  if (IsBlob() || !dataSet_.GetFieldText(*this, text)) text = TextOfValue(GetData());
  return text;
}

AnsiString TField::TextOfValue(const Variant& v) const {
  if (v.IsNull() || v.IsEmpty()) return {};
  // The day a moment lies on: the continuous scale counts a time before 1899 upwards too.
  if (type_ == TFieldType::ftDate) return DateToStr(Trunc(std::floor(v.AsDate())));
  if (type_ == TFieldType::ftBoolean) return v.AsBoolean() ? "True" : "False";
  if (IsFloatType(type_)) return FloatToStr(v.AsDouble());
  return v.AsString();
}

std::int32_t TField::TextToInteger(std::string_view s) const {
  std::int32_t i = 0;
  if (!TryStrToInt(Trim(s), i)) ConvertError(dbmsg::InvalidIntegerValue, s);
  return i;
}

double TField::TextToFloat(std::string_view s) const {
  double d = 0;
  if (!TryStrToFloat(Trim(s), d)) ConvertError(dbmsg::InvalidFloatValue, s);
  return d;
}

bool TField::TextToBoolean(std::string_view s) const {
  const AnsiString u = AnsiUpperCase(Trim(s));
  if (u == "TRUE" || u == "T" || u == "YES" || u == "Y" || u == "1") return true;
  if (u == "FALSE" || u == "F" || u == "NO" || u == "N" || u == "0" || u.empty()) return false;
  ConvertError(dbmsg::InvalidBoolValue, s);
}

TDateTime TField::TextToDateTime(std::string_view s) const {
  TDateTime d = 0;
  if (!TryStrToDateTime(s, d)) ConvertError(dbmsg::InvalidDateValue, s);
  return d;
}

void TField::SetAsString(std::string_view s) {
  if (IsTextType(type_) || IsBlob()) return SetData(Variant(s));
  if (s.empty()) return SetData(Variant::Null());
  if (IsIntegerType(type_)) return SetValue(Variant(TextToInteger(s)));
  if (IsFloatType(type_)) return SetData(Variant(TextToFloat(s)));
  if (type_ == TFieldType::ftBoolean) return SetData(Variant(TextToBoolean(s)));
  if (IsDateType(type_)) return SetData(Variant::FromDate(TextToDateTime(s)));
  SetData(Variant(s));
}

std::int32_t TField::AsInteger() const {
  const Variant v = GetData();
  if (v.IsNull()) return 0;
  return v.IsString() ? TextToInteger(v.AsString()) : v.AsInteger();
}

void TField::SetAsInteger(std::int32_t v) {
  if (IsTextType(type_)) return SetData(Variant(IntToStr(v)));
  SetValue(Variant(v));
}

double TField::AsFloat() const {
  const Variant v = GetData();
  if (v.IsNull()) return 0;
  return v.IsString() ? TextToFloat(v.AsString()) : v.AsDouble();
}

void TField::SetAsFloat(double v) {
  if (IsTextType(type_)) return SetData(Variant(FloatToStr(v)));
  SetValue(Variant(v));
}

bool TField::AsBoolean() const {
  const Variant v = GetData();
  if (v.IsNull()) return false;
  return v.IsString() ? TextToBoolean(v.AsString()) : v.AsBoolean();
}

void TField::SetAsBoolean(bool v) {
  if (IsTextType(type_)) return SetData(Variant(AnsiString(v ? "True" : "False")));
  SetValue(Variant(v));
}

TDateTime TField::AsDateTime() const {
  const Variant v = GetData();
  if (v.IsNull()) return 0;
  return v.IsString() ? TextToDateTime(v.AsString()) : v.AsDate();
}

void TField::SetAsDateTime(TDateTime v) {
  if (IsTextType(type_)) return SetData(Variant(Variant::FromDate(v).AsString()));
  SetValue(Variant::FromDate(v));
}

AnsiString TField::DisplayText() const {
  AnsiString text;
  if (OnGetText) {
    OnGetText(const_cast<TField&>(*this), text, true);
    return text;
  }
  return AsString();
}

// --- Dataset: opening and closing -------------------------------------------------------------------

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError(dbmsg::DataSetClosed);
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError(dbmsg::DataSetOpen);
}

void TDataSet::Open() {
  if (Active()) return;
  Fire(BeforeOpen);
  try {
    InternalOpen();
    active_ = AllocRecordBuffer();
    fetch_ = AllocRecordBuffer();
    saved_ = AllocRecordBuffer();
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    hasRecord_ = Fetch(TGetMode::gmNext);
    bof_ = true;
    eof_ = !hasRecord_;
  } catch (...) {
    state_ = TDataSetState::dsInactive;
    if (IsCursorOpen()) InternalClose();
    DestroyFields();
    ClearBuffers();
    throw;
  }
  Fire(AfterOpen);
  if (hasRecord_) DoAfterScroll();
}

void TDataSet::Close() {
  if (!Active()) return;
  Fire(BeforeClose);
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) InternalCancel();
  state_ = TDataSetState::dsInactive;
  try {
    InternalClose();
  } catch (...) {
    DestroyFields();
    ClearBuffers();
    throw;
  }
  DestroyFields();
  ClearBuffers();
  Fire(AfterClose);
}

void TDataSet::ClearBuffers() {
  active_.reset();
  fetch_.reset();
  saved_.reset();
  hasRecord_ = false;
  bof_ = eof_ = true;
  modified_ = false;
  cursorSynced_ = false;
}

void TDataSet::CreateFields() {
  fields_.clear();
  for (int i = 0; i < fieldDefs_.Count(); ++i)
    fields_.push_back(std::make_unique<TField>(*this, fieldDefs_[i], i));
}

TField* TDataSet::FindField(std::string_view name) const {
  for (const auto& f : fields_)
    if (AnsiSameText(f->FieldName(), name)) return f.get();
  return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) const {
  TField* f = FindField(name);
  if (!f) DatabaseError(Format(dbmsg::FieldNotFound, {AnsiString(name)}));
  return *f;
}

std::vector<AnsiString> TDataSet::GetFieldNames() const {
  std::vector<AnsiString> names;
  if (Active()) {
    for (const auto& f : fields_) names.push_back(f->FieldName());
  } else {
    for (const auto& d : fieldDefs_.Items()) names.push_back(d.Name);
  }
  return names;
}

bool TDataSet::IsEmpty() const {
  CheckActive();
  return !hasRecord_ && state_ != TDataSetState::dsInsert;
}

// --- Navigation ---------------------------------------------------------------------------------------

bool TDataSet::Fetch(TGetMode mode) {
  const bool ok = GetRecord(*fetch_, mode, false) == TGetResult::grOK;
  if (ok) {
    std::swap(active_, fetch_);
    hasRecord_ = true;
  }
  cursorSynced_ = ok;
  return ok;
}

void TDataSet::UpdateCursorPos() {
  if (!cursorSynced_ && hasRecord_) InternalSetToRecord(*active_);
  cursorSynced_ = true;
}

void TDataSet::Resync(bool exact) {
  if (Fetch(TGetMode::gmCurrent)) {
    bof_ = eof_ = false;
    return;
  }
  if (exact) DatabaseError("Record not found or changed by another user");
  if (Fetch(TGetMode::gmNext) || Fetch(TGetMode::gmPrior)) {
    bof_ = eof_ = false;
    return;
  }
  hasRecord_ = false;
  bof_ = eof_ = true;
}

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalFirst();
  hasRecord_ = Fetch(TGetMode::gmNext);
  bof_ = true;
  eof_ = !hasRecord_;
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalLast();
  hasRecord_ = Fetch(TGetMode::gmPrior);
  eof_ = true;
  bof_ = !hasRecord_;
  DoAfterScroll();
}

std::int64_t TDataSet::MoveBy(std::int64_t distance) {
  CheckBrowseMode();
  std::int64_t moved = 0;
  if ((distance > 0 && eof_) || (distance < 0 && bof_) || distance == 0) return 0;
  DoBeforeScroll();
  bof_ = eof_ = false;
  UpdateCursorPos();
  while (distance != 0) {
    const bool forward = distance > 0;
    if (!Fetch(forward ? TGetMode::gmNext : TGetMode::gmPrior)) {
      (forward ? eof_ : bof_) = true;
      break;
    }
    moved += forward ? 1 : -1;
    distance += forward ? -1 : 1;
  }
  DoAfterScroll();
  return moved;
}

void TDataSet::Next() { MoveBy(1); }

void TDataSet::Prior() { MoveBy(-1); }

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  InternalRefresh();
  Resync(false);
}

// --- Editing -----------------------------------------------------------------------------------------

void TDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    if (modified_)
      Post();
    else
      Cancel();
  }
}

void TDataSet::InitRecord(TRecordBuffer& buffer) {
  InternalInitRecord(buffer);
  SetBookmarkFlag(buffer, TBookmarkFlag::bfInserted);
}

void TDataSet::Append() {
  CheckBrowseMode();
  if (!GetCanModify()) DatabaseError(dbmsg::DataSetReadOnly);
  Fire(BeforeInsert);
  DoBeforeScroll();
  saved_->CopyFrom(*active_);
  savedHasRecord_ = hasRecord_;
  savedBof_ = bof_;
  savedEof_ = eof_;
  InitRecord(*active_);
  SetBookmarkFlag(*active_, TBookmarkFlag::bfEOF);
  state_ = TDataSetState::dsInsert;
  bof_ = false;
  eof_ = true;
  cursorSynced_ = false;
  try {
    Fire(OnNewRecord);
  } catch (...) {
    Cancel();
    throw;
  }
  modified_ = false;
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Edit() {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
  CheckActive();
  if (!hasRecord_) return Append();
  CheckBrowseMode();
  if (!GetCanModify()) DatabaseError(dbmsg::DataSetReadOnly);
  Fire(BeforeEdit);
  UpdateCursorPos();
  CheckOperation(&TDataSet::InternalEdit, OnEditError);
  saved_->CopyFrom(*active_);
  savedHasRecord_ = hasRecord_;
  savedBof_ = bof_;
  savedEof_ = eof_;
  state_ = TDataSetState::dsEdit;
  modified_ = false;
  Fire(AfterEdit);
}

void TDataSet::CheckOperation(void (TDataSet::*op)(), const TDataSetErrorEvent& onError) {
  for (;;) {
    try {
      (this->*op)();
      return;
    } catch (const EDatabaseError& e) {
      TDataAction action = TDataAction::daFail;
      if (onError) onError(*this, e, action);
      if (action == TDataAction::daFail) throw;
      if (action == TDataAction::daAbort) throw EAbort();
    }
  }
}

void TDataSet::Post() {
  CheckActive();
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  Fire(BeforePost);
  CheckOperation(&TDataSet::InternalPost, OnPostError);
  state_ = TDataSetState::dsBrowse;
  modified_ = false;
  Resync(false);
  Fire(AfterPost);
}

void TDataSet::Cancel() {
  CheckActive();
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  Fire(BeforeCancel);
  InternalCancel();
  std::swap(active_, saved_);
  hasRecord_ = savedHasRecord_;
  bof_ = savedBof_;
  eof_ = savedEof_;
  state_ = TDataSetState::dsBrowse;
  modified_ = false;
  cursorSynced_ = false;
  Fire(AfterCancel);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert) return Cancel();
  if (!hasRecord_) DatabaseError(dbmsg::DataSetEmpty);
  if (state_ == TDataSetState::dsEdit) Cancel();  // releases the record for the delete
  Fire(BeforeDelete);
  DoBeforeScroll();
  UpdateCursorPos();
  CheckOperation(&TDataSet::InternalDelete, OnDeleteError);
  Resync(false);
  Fire(AfterDelete);
  DoAfterScroll();
}

void TDataSet::FieldChanged(TField& field) {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) modified_ = true;
  if (field.OnChange) field.OnChange(field);
}

bool TDataSet::FilterRecordAccepted() {
  if (!OnFilterRecord) return true;
  const TDataSetState saved = state_;
  state_ = TDataSetState::dsFilter;
  bool accept = true;
  try {
    OnFilterRecord(*this, accept);
  } catch (...) {
    state_ = saved;
    throw;
  }
  state_ = saved;
  return accept;
}

// --- Counts, bookmarks, searches -------------------------------------------------------------------

std::int64_t TDataSet::GetRecordCount() { return -1; }

std::int64_t TDataSet::GetRecNo() { return -1; }

void TDataSet::SetRecNoValue(std::int64_t) {}

TBookmark TDataSet::GetBookmark() {
  CheckActive();
  if (!hasRecord_ || state_ == TDataSetState::dsInsert ||
      GetBookmarkFlag(*active_) != TBookmarkFlag::bfCurrent)
    return {};
  return GetBookmarkData(*active_);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark);
  Resync(true);
  DoAfterScroll();
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (bookmark.empty() || !Active()) return false;
  try {
    UpdateCursorPos();
    InternalGotoBookmark(bookmark);
  } catch (const Exception&) {
    cursorSynced_ = false;
    return false;
  }
  cursorSynced_ = false;
  return true;
}

namespace {

bool KeyMatches(const TField& field, const Variant& key, TLocateOptions options) {
  if (key.IsNull() || key.IsEmpty()) return field.IsNull();
  if (IsTextType(field.DataType()) || (options & (loCaseInsensitive | loPartialKey)) != 0) {
    AnsiString text = field.AsString();
    AnsiString wanted = VarToStr(key);
    if (options & loCaseInsensitive) {
      text = AnsiUpperCase(text);
      wanted = AnsiUpperCase(wanted);
    }
    if (options & loPartialKey) return text.compare(0, wanted.size(), wanted) == 0;
    return text == wanted;
  }
  if (field.IsNull()) return false;
  try {
    return Variant::Compare(field.Value(), key) == TVariantRelationship::vrEqual;
  } catch (const EVariantError&) {
    return false;
  }
}

}  // namespace

bool TDataSet::Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) {
  CheckBrowseMode();
  TField& field = FieldByName(keyFields);
  const TBookmark start = GetBookmark();
  DisableControls();
  bool found = false;
  try {
    for (First(); !Eof(); Next())
      if (KeyMatches(field, keyValues, options)) {
        found = true;
        break;
      }
    if (!found && !start.empty()) GotoBookmark(start);
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
  return found;
}

Variant TDataSet::Lookup(std::string_view keyFields, const Variant& keyValues,
                         std::string_view resultFields) {
  CheckBrowseMode();
  TField& result = FieldByName(resultFields);
  const TBookmark start = GetBookmark();
  Variant value = Variant::Null();
  if (Locate(keyFields, keyValues, 0)) value = result.Value();
  if (!start.empty()) GotoBookmark(start);
  return value;
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField& field, TBlobStreamMode) {
  // Datasets without blobs hand out an empty stream.
  (void)field;
  return std::make_unique<TMemoryStream>();
}
