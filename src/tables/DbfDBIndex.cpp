// The dataset's index features: the index files and master tag, key ranges, master-detail
// links, the tag lists, and Locate and Lookup through a tag on the key field.
#include <algorithm>

#include "platform/core/Files.h"
#include "tables/DbfDB.h"

TStringList& TDbfDataSet::IndexFiles() {
  if (!indexFiles_) {
    indexFiles_ = std::make_unique<TStringList>();
    indexFiles_->OnChange = [this](TObject*) { IndexFilesChanged(); };
  }
  return *indexFiles_;
}

void TDbfDataSet::OpenIndexFiles(bool openRaises) {
  if (dbf_) OpenIndexFiles(*dbf_, openRaises);
}

void TDbfDataSet::OpenIndexFiles(DBFObject& table, bool openRaises) {
  if (!indexFiles_ || indexFiles_->Count() == 0) return;
  table.CloseIndexes();
  for (int i = 0; i < indexFiles_->Count(); ++i) {
    AnsiString name = NormalizeSeparators(Trim((*indexFiles_)[i]));
    if (name.empty()) continue;
    name = AddDefaultExt(name, ".NDX");
    if (name.find('/') == AnsiString::npos) name = TableDirectory() + name;
    const AnsiString full = ExpandTableFileName(name);
    if (!FileExists(full)) DatabaseError(Format("Cannot find file %s", {full}));
    if (table.IndexSlotOf(full) != 0) {
      if (openRaises) DatabaseError(Format("Index file %s already open", {full}));
      continue;
    }
    if (table.IndexOpen(full) != 0) DatabaseError(Format("Error getting %s", {full}));
  }
}

void TDbfDataSet::SelectMasterTag(bool stay) {
  if (!dbf_) return;
  if (indexName_.empty()) {
    dbf_->SetTagTo("", stay);
    return;
  }
  dbf_->SetTagTo(indexName_, stay);
}

void TDbfDataSet::IndexFilesChanged() {
  if (!dbf_) {
    // Closed: the table is opened for a check of the entries (a table that does not open
    // is left to Open), so that a wrong entry is reported now.
    std::unique_ptr<DBFObject> probe;
    try {
      if (tableName_.empty()) return;
      probe = std::make_unique<DBFObject>(*this, TableDirectory() + TableFileName(), true, false);
    } catch (const std::exception&) {
      return;
    }
    probe->CloseIndexes();
    if (indexFiles_->Count() == 0)
      indexName_.clear();
    else
      OpenIndexFiles(*probe, true);
    return;
  }
  CheckBrowseMode();
  UpdateCursorPos();
  dbf_->CloseIndexes();
  if (indexFiles_->Count() == 0) {
    indexName_.clear();
  } else {
    OpenIndexFiles(true);
  }
  SelectMasterTag(true);
  ApplyMasterRange();
  CursorMoved();
  if (!(dbf_->Bof() && dbf_->Eof())) Resync(false);
}

void TDbfDataSet::SetIndexName(std::string_view name) {
  indexName_ = Trim(name);
  if (!dbf_) return;
  CheckBrowseMode();
  UpdateCursorPos();
  SelectMasterTag(true);
  ApplyMasterRange();
  CursorMoved();
  if (!(dbf_->Bof() && dbf_->Eof())) {
    try {
      Resync(true);
    } catch (const EDatabaseError&) {
    }
  }
  DoAfterScroll();
}

void TDbfDataSet::SetRange(std::string_view low, std::string_view high) {
  CheckActive();
  CheckBrowseMode();
  dbf_->SetRange(ToTable(low.substr(0, std::min<std::size_t>(low.size(), 255))),
                 ToTable(high.substr(0, std::min<std::size_t>(high.size(), 255))), true, true);
  First();
}

void TDbfDataSet::SetEmptyRange() {
  CheckActive();
  CheckBrowseMode();
  dbf_->SetEmptyRange();
  First();
}

void TDbfDataSet::SetMasterSource(TDataSource* source) {
  if (source == masterSource_) return;
  // A master that is this dataset, or that follows it through its own masters, would
  // make every change go round for ever.
  for (TDataSource* s = source; s; ) {
    auto* d = dynamic_cast<TDbfDataSet*>(s->DataSet);
    if (!d) break;
    if (d == this) DatabaseError("Circular datalinks are not allowed");
    s = d->masterSource_;
  }
  if (master_) std::erase(master_->details_, this);
  master_ = nullptr;
  masterSource_ = source;
  if (masterSource_) master_ = dynamic_cast<TDbfDataSet*>(masterSource_->DataSet);
  if (master_) master_->details_.push_back(this);
  if (Active()) MasterChanged();
}

void TDbfDataSet::ApplyMasterRange() {
  if (!dbf_ || !master_) return;
  TDataSet& master = *master_;
  if (!master.Active()) {
    dbf_->SetRange("", "", true, true);
  } else if (master.Eof()) {  // at its end (or empty): no detail rows
    dbf_->SetEmptyRange();
  } else {
    const AnsiString v = ToTable(master.FieldByName(MasterFields).AsString());
    dbf_->SetRange(v, v, true, true);
  }
}

void TDbfDataSet::MasterChanged() {
  if (!Active() || !master_) return;
  CheckBrowseMode();
  ApplyMasterRange();
  First();
}

void TDbfDataSet::DoAfterScroll() {
  TDataSet::DoAfterScroll();
  for (TDbfDataSet* d : details_) d->MasterChanged();
}

std::int64_t TDbfDataSet::TagCount() const {
  std::int64_t n = 0;
  if (dbf_)
    while (dbf_->TagByNumber(n + 1)) ++n;
  return n;
}

AnsiString TDbfDataSet::TagName(std::int64_t n) const {
  DBobjIndexTag* t = dbf_ ? dbf_->TagByNumber(n) : nullptr;
  return t ? t->TagName() : AnsiString();
}

AnsiString TDbfDataSet::TagKeyExpr(std::int64_t n) const {
  DBobjIndexTag* t = dbf_ ? dbf_->TagByNumber(n) : nullptr;
  return t ? t->KeyExprText() : AnsiString();
}

AnsiString TDbfDataSet::TagForExpr(std::int64_t n) const {
  DBobjIndexTag* t = dbf_ ? dbf_->TagByNumber(n) : nullptr;
  return t ? t->ForExprText() : AnsiString();
}

DBobjIndexTag* TDbfDataSet::TagOfField(std::string_view field) const {
  if (!dbf_) return nullptr;
  const AnsiString name = Trim(ToTable(field));
  for (std::int64_t n = 1;; ++n) {
    DBobjIndexTag* t = dbf_->TagByNumber(n);
    if (!t) return nullptr;
    if (!t->HasFor() && !t->CollatedKeys() && AnsiSameText(Trim(t->KeyExprText()), name)) return t;
  }
}

bool TDbfDataSet::FindThroughTag(DBobjIndexTag* tag, const AnsiString& text, bool exact,
                                 const std::function<void()>& onFound) {
  const AnsiString master = dbf_->MasterTagName();
  const bool exactBefore = dbf_->ExactMatch;
  struct Restore {
    TDbfDataSet* d;
    const AnsiString& master;
    bool exact;
    ~Restore() {
      try {
        d->dbf_->ExactMatch = exact;
        d->dbf_->SetTagTo(master, true);
      } catch (...) {
      }
    }
  } restore{this, master, exactBefore};
  dbf_->SetTagTo(tag->TagName(), true);
  dbf_->ExactMatch = exact;
  const bool found = dbf_->FindKey(text);
  if (found && onFound) onFound();
  return found;
}

bool TDbfDataSet::LocateByTag(std::string_view field, const AnsiString& text, TLocateOptions options,
                              bool& found) {
  // Keys are compared as stored: a caseless search cannot go through a tag.
  DBobjIndexTag* tag = (options & loCaseInsensitive) ? nullptr : TagOfField(field);
  if (!tag) return false;
  UpdateCursorPos();
  const std::int64_t remembered = dbf_->RecNo();
  DoBeforeScroll();
  CursorMoved();
  found = FindThroughTag(tag, text, !(options & loPartialKey), {});
  if (found) {
    Resync(true);
    DoAfterScroll();
  } else if (remembered > 0 && remembered <= dbf_->RecordCount()) {
    dbf_->GetRecord(remembered);
  }
  return true;
}

bool TDbfDataSet::LookupByTag(std::string_view field, const AnsiString& text, std::string_view resultFields,
                              Variant& result) {
  DBobjIndexTag* tag = TagOfField(field);
  if (!tag) return false;
  UpdateCursorPos();
  const std::int64_t remembered = dbf_->RecNo();
  result = Variant::Null();
  FindThroughTag(tag, text, false,
                 [&] { result = Variant(FromTable(dbf_->DisplayTextByName(ToTable(resultFields)))); });
  if (remembered > 0 && remembered <= dbf_->RecordCount()) dbf_->GetRecord(remembered);
  CursorMoved();
  return true;
}
