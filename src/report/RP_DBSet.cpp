#include "report/RP_DBSet.h"

#include <typeinfo>
#include <vector>

#include "platform/core/AnsiText.h"
#include "report/RP_Utils.h"

// ---------------------------------------------------------------------------------
// TrpDBDataSet

TrpDBDataSet::~TrpDBDataSet() { Unwatch(); }

void TrpDBDataSet::SetDataSet(TDataSet* dataSet) {
  dataSet_ = dataSet;
  dataSource_ = nullptr;
  WatchLinks();
}

void TrpDBDataSet::SetDataSource(TDataSource* dataSource) {
  dataSource_ = dataSource;
  if (dataSource) dataSet_ = nullptr;
  WatchLinks();
}

void TrpDBDataSet::Unwatch() {
  for (TFreeNotifier* n : watched_) n->RemoveFreeNotification(this);
  watched_.clear();
}

void TrpDBDataSet::WatchLinks() {
  Unwatch();
  auto watch = [this](TFreeNotifier* n, TObject* object) {
    if (!n) return;
    watched_.push_back(n);
    n->FreeNotification(this, [this, n, object] {
      std::erase(watched_, n);
      Notification(object);
    });
  };
  watch(dataSet_, dataSet_);
  watch(dataSource_, dataSource_);
  if (dataSource_ && dataSource_->DataSet && dataSource_->DataSet != dataSet_)
    watch(dataSource_->DataSet, dataSource_->DataSet);
}

TDataSet* TrpDBDataSet::LinkedDataSet() const {
  if (dataSource_ && dataSource_->DataSet) return dataSource_->DataSet;
  return dataSet_;
}

TDataSet& TrpDBDataSet::GetDataSet() const {
  TDataSet* ds = LinkedDataSet();
  if (!ds) DatabaseError("Unable to open dataset " + Name);
  return *ds;
}

void TrpDBDataSet::Notification(const TObject* removed) {
  if (!removed) return;
  if (removed == dataSet_) dataSet_ = nullptr;
  if (removed == dataSource_) dataSource_ = nullptr;
  // The data source would still name a freed dataset.
  if (dataSource_ && dataSource_->DataSet == removed) dataSource_->DataSet = nullptr;
}

void TrpDBDataSet::OpenSource() {
  if (OpenDataSource) GetDataSet().Open();
  if (OnOpen) OnOpen(this);
}

void TrpDBDataSet::CloseSource() {
  if (OnClose) OnClose(this);
  // Nothing is linked any more (the dataset was freed): there is nothing to close.
  if (CloseDataSource)
    if (TDataSet* ds = LinkedDataSet()) ds->Close();
}

void TrpDBDataSet::Activate() {
  WatchLinks();  // the data source may name another dataset by now
  OpenSource();
  bookmark_ = rpBookmarkGet(GetDataSet());
  reached_ = false;
}

void TrpDBDataSet::Deactivate() {
  TBookmark bookmark = std::move(bookmark_);
  rpBookmarkFree(bookmark_);
  try {
    // Back to the remembered record, unless the dataset was closed or the record is gone.
    TDataSet* ds = LinkedDataSet();
    if (!bookmark.empty() && (RangeBegin == TRangeBegin::rbCurrent || RangeEnd == TRangeEnd::reCurrent) &&
        ds && ds->Active() && ds->BookmarkValid(bookmark))
      rpBookmarkGoto(*ds, bookmark);
  } catch (...) {
    // The dataset is closed all the same; the first failure is the one reported.
    try {
      CloseSource();
    } catch (...) {
    }
    throw;
  }
  CloseSource();
}

void TrpDBDataSet::First() {
  TDataSet& ds = GetDataSet();
  if (RangeBegin == TRangeBegin::rbFirst)
    ds.First();
  else
    rpBookmarkGoto(ds, bookmark_);
  reached_ = false;
  TrpDataset::First();
}

void TrpDBDataSet::Next() {
  TDataSet& ds = GetDataSet();
  reached_ = false;
  // The range ends with the remembered record: on it, Next only marks the end. Before
  // it (a range from the first record), the walk goes on towards it.
  if (RangeEnd == TRangeEnd::reCurrent && rpBookmarksEqual(ds, rpBookmarkGet(ds), bookmark_)) {
    reached_ = true;
    return;
  }
  ds.Next();
  TrpDataset::Next();
}

void TrpDBDataSet::Prior() {
  GetDataSet().Prior();
  TrpDataset::Prior();
}

bool TrpDBDataSet::Eof() {
  const bool rangeEnd = TrpDataset::Eof();
  TDataSet& ds = GetDataSet();
  // A dataset closed under the walk has no further records.
  return rangeEnd || !ds.Active() || ds.Eof() || reached_;
}

// ---------------------------------------------------------------------------------
// Helpers

bool rpIsBlobField(const TField& field) { return IsBlobType(field.DataType()); }

void rpBlobToObject(TField& field, TStream& target) {
  std::unique_ptr<TStream> blob = field.DataSet().CreateBlobStream(field, TBlobStreamMode::bmRead);
  blob->SetPosition(0);
  target.CopyFrom(*blob, 0);
  target.SetPosition(0);
}

void rpBlobToObject(TField& field, TObject& target) {
  if (auto* stream = dynamic_cast<TStream*>(&target)) {
    rpBlobToObject(field, *stream);
  } else if (auto* lines = dynamic_cast<TStringList*>(&target)) {
    TMemoryStream bytes;
    rpBlobToObject(field, bytes);
    lines->LoadFromStream(bytes);
  } else if (auto* blobTarget = dynamic_cast<TrpBlobTarget*>(&target)) {
    blobTarget->AssignBlobField(field);
  } else {
    throw EConvertError("Cannot assign a " + AnsiString(field.IsBlob() ? "TBlobField" : "TField") + " to a " +
                        AnsiString(typeid(target).name()));
  }
}

void rpDataSetFieldNames(const TDataSet* dataSet, TStringList& list) {
  list.Clear();
  if (!dataSet) return;
  try {
    for (const AnsiString& name : dataSet->GetFieldNames()) list.Add(name);
  } catch (const std::exception&) {
    // A dataset that cannot list its fields offers none.
  }
}

TBookmark rpBookmarkGet(TDataSet& dataSet) { return dataSet.GetBookmark(); }

void rpBookmarkGoto(TDataSet& dataSet, const TBookmark& bookmark) { dataSet.GotoBookmark(bookmark); }

void rpBookmarkFree(TBookmark& bookmark) { bookmark.clear(); }

bool rpBookmarksEqual(const TDataSet& dataSet, const TBookmark& a, const TBookmark& b) {
  return dataSet.CompareBookmarks(a, b) == 0;
}

Variant rpFieldValue(const TField& field) {
  Variant v;
  if (field.OnGetText)
    v = Variant(field.DisplayText());
  else if (field.DataType() == TFieldType::ftLargeint)
    v = Variant(field.AsString());
  else
    v = field.Value();
  if (!v.IsNull() && !v.IsEmpty()) return v;
  switch (field.DataType()) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftDate:
    case TFieldType::ftDateTime:
      return Variant(0);
    case TFieldType::ftString:
      return Variant(AnsiString());
    case TFieldType::ftBoolean:
      return Variant(false);
    default:
      return Variant::Null();
  }
}

Variant rpFieldValue(TDataSet& dataSet, std::string_view fieldName) {
  if (!dataSet.Active()) dataSet.Open();
  return rpFieldValue(dataSet.FieldByName(fieldName));
}

AnsiString rpCheckFieldName(const TDataSet* dataSet, std::string_view name) {
  if (!dataSet) return {};
  for (const AnsiString& field : dataSet->GetFieldNames())
    if (AnsiSameText(field, name)) return AnsiString(name);
  return {};
}

// ---------------------------------------------------------------------------------
// Components by name

namespace {

std::function<TObject*(std::string_view)>& GlobalLookup() {
  static std::function<TObject*(std::string_view)> lookup;
  return lookup;
}

std::vector<std::string_view> SplitAtDots(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    if (start < text.size() && text[start] == '"') break;  // a quoted part takes the rest
    const std::size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) break;
    parts.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

TObject* FindIn(const TObject* owner, std::string_view name) {
  const auto* directory = dynamic_cast<const TrpComponentDirectory*>(owner);
  return directory ? directory->FindComponent(name) : nullptr;
}

}  // namespace

void rpSetGlobalComponentLookup(std::function<TObject*(std::string_view name)> lookup) {
  GlobalLookup() = std::move(lookup);
}

TObject* rpFindGlobalComponent(std::string_view name) {
  const auto& lookup = GlobalLookup();
  return lookup ? lookup(name) : nullptr;
}

TObject* rpFindComponentPath(const TrpComponentDirectory* root, std::string_view path) {
  try {
    const std::vector<std::string_view> parts = SplitAtDots(path);
    if (parts.size() == 1) return root ? root->FindComponent(path) : nullptr;
    if (parts.size() > 3) return nullptr;
    TObject* found = rpFindGlobalComponent(parts[0]);
    for (std::size_t i = 1; found && i < parts.size(); ++i) found = FindIn(found, parts[i]);
    return found;
  } catch (const std::exception&) {
    throw EClassNotFound("Missing " + AnsiString(path));
  }
}

void rpResolveDataSetField(std::string_view text, const TrpComponentDirectory* owner, TDataSet*& dataSet,
                           AnsiString& fieldName) {
  fieldName.clear();
  const std::vector<std::string_view> parts = SplitAtDots(text);
  if (parts.size() > 4) {
    dataSet = nullptr;
    return;
  }
  if (parts.size() > 1) {
    // Everything before the field names the dataset.
    const std::string_view path =
        text.substr(0, static_cast<std::size_t>(parts.back().data() - text.data()) - 1);
    dataSet = dynamic_cast<TDataSet*>(rpFindComponentPath(owner, path));
  }
  fieldName = rpCheckFieldName(dataSet, rpUnquoteDouble(parts.back()));
}
