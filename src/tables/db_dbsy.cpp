#include "tables/db_dbsy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/core/Files.h"
#include "tables/db_eror.h"
#include "tables/db_ixbase.h"
#include "tables/db_memo.h"

namespace {

constexpr std::int32_t kIndexHeaderInvalid = 2112;
constexpr std::int32_t kSubPackShared = 2105;
constexpr std::size_t kMaxSearchText = 255;
constexpr std::size_t kMaxIndexList = 259;

// Runs an action when the scope is left, also by an exception. An action that fails
// raises its error, unless another one is leaving the scope: that one passes on.
template <class F>
class OnExit {
 public:
  explicit OnExit(F f) : f_(std::move(f)), pending_(std::uncaught_exceptions()) {}
  ~OnExit() noexcept(false) {
    if (std::uncaught_exceptions() == pending_) {
      f_();
      return;
    }
    try {
      f_();
    } catch (...) {
    }
  }
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;

 private:
  F f_;
  int pending_;
};

// The name part of a path (after the last "/", "\" or ":").
std::string_view NamePart(std::string_view path) {
  const std::size_t p = path.find_last_of("/\\:");
  return p == std::string_view::npos ? path : path.substr(p + 1);
}

// The C-field text rule of SearchField: the 1-based position of the match, 0 for none.
struct TextRule {
  AnsiString text;
  std::vector<bool> single;  // "?" positions
  bool caseless = false;
  bool exact = false;
  bool anywhere = true;
  bool followed = true;
  bool oem = true;
};

std::int64_t MatchFieldText(AnsiString field, const TextRule& r) {
  if (field.size() < r.text.size()) return 0;
  if (r.caseless) ExpUpper(field, r.oem);
  for (std::size_t i = 0; i < r.single.size() && i < field.size(); ++i)
    if (r.single[i]) field[i] = '?';
  if (r.exact) {
    while (field.size() > r.text.size() && field.back() == ' ') field.pop_back();
    return field == r.text ? 1 : 0;
  }
  if (!r.followed) {
    // The match must reach the end of the field: it is the text's last occurrence.
    StrTrimRight(field);
    if (field.size() < r.text.size()) return 0;
    const std::size_t pos = field.size() - r.text.size();
    if ((pos > 0 && !r.anywhere) || field.compare(pos, r.text.size(), r.text) != 0) return 0;
    return static_cast<std::int64_t>(pos) + 1;
  }
  const std::size_t pos = field.find(r.text);
  if (pos == AnsiString::npos || (pos > 0 && !r.anywhere)) return 0;
  return static_cast<std::int64_t>(pos) + 1;
}

}  // namespace

DBO_dBHandler::DBO_dBHandler(std::string_view fileName, bool shared, bool readWrite)
    : DBO_dBaseFld(fileName, shared, readWrite) {
  // Sequential reads in blocks wherever nobody else can write meanwhile.
  if (ReadAheadSafe()) SetReadAhead(true);
}

DBO_dBHandler::~DBO_dBHandler() {
  filterSet_.reset();
  filterExp_.reset();
  masterTag_ = nullptr;
  for (auto& slot : slots_) slot.reset();
  readAheadActive_ = false;
}

// --- Navigation ----------------------------------------------------------------------------

bool DBO_dBHandler::Visible() { return (!IsDeleted() || ShowDeleted) && RecordAccepted(); }

std::int64_t DBO_dBHandler::FromFilterSet(std::int64_t code) {
  const std::int64_t high = std::min(filterSet_->Highest(), RecordCount());
  const std::int64_t current = RecNo();
  switch (code) {
    case dbp::First:
    case dbp::Last: {
      const bool up = code == dbp::First;
      for (std::int64_t n = up ? 1 : high; n >= 1 && n <= high; n += up ? 1 : -1)
        if (filterSet_->TestBit(n)) return n;
      SetEdges(true, true);  // nothing in the set
      return 0;
    }
    case dbp::Next:
      for (std::int64_t n = std::max<std::int64_t>(current + 1, 1); n <= high; ++n)
        if (filterSet_->TestBit(n)) return n;
      SetEdges(false, true);
      return 0;
    default:  // previous
      for (std::int64_t n = std::min(current - 1, high); n >= 1; --n)
        if (filterSet_->TestBit(n)) return n;
      SetEdges(true, false);
      return 0;
  }
}

void DBO_dBHandler::GetRecord(std::int64_t code) {
  // A walk from an end of a table that others may write starts from the file.
  if (IsShared() && (code == dbp::First || code == dbp::Last)) readAheadFirst_ = readAheadPast_ = -1;
  if (TableState != kStateNormal) return DBO_dBaseFld::GetRecord(code);
  SetEdges(false, false);
  std::int64_t direction = 0;
  if (code == dbp::First || code == dbp::Current)
    direction = dbp::Next;
  else if (code == dbp::Last)
    direction = dbp::Previous;
  else if (code == dbp::Next || code == dbp::Previous)
    direction = code;
  // In record order without index files nothing is switched that would need restoring.
  if (!masterTag_ && !HasIndex()) return Walk(code, direction);
  const bool readAhead = readAheadActive_;
  // Under ClipLock a walk through the master tag holds the index locks; they nest, so a
  // caller that holds them already (FindKey) keeps them.
  const bool clipLocked = LockProtocol() == TdbLokProtocol::ClipLock && masterTag_ && HasIndex();
  if (clipLocked && !LockIndexes()) return Error(dbe::LockViolation, dbe::SubRead, FileName());
  OnExit restore([&] {
    if (readAheadActive_ != readAhead) SetReadAhead(readAhead);
    if (clipLocked) UnlockIndexes();
  });
  Walk(code, direction);
}

void DBO_dBHandler::Walk(std::int64_t code, std::int64_t direction) {
  std::int64_t step = code;
  std::int64_t before = RecNo();
  for (;;) {
    if (masterTag_ && direction != 0) {
      if (readAheadActive_) SetReadAhead(false);
      std::int64_t rec = masterTag_->KeyRead(step);
      while (rec > 0 && filterInForce_ && !filterSet_->TestBit(rec)) rec = masterTag_->KeyRead(direction);
      if (rec <= 0) {
        SetEdges(masterTag_->Bof(), masterTag_->Eof());
        return;
      }
      DBO_dBaseFld::GetRecord(rec);
    } else if (filterInForce_ && step < 0 && step != dbp::Current) {
      const std::int64_t rec = FromFilterSet(step);
      if (rec == 0) return;
      DBO_dBaseFld::GetRecord(rec);
    } else {
      DBO_dBaseFld::GetRecord(step);
      // Positioned by record number: the master tag follows to the record's key.
      if (step > 0 && masterTag_ && !Eof() && RecNo() == step) masterTag_->KeySync(step);
    }
    if (Bof() || Eof() || direction == 0 || Visible()) return;
    // An error procedure that returns leaves the record where it was: no endless stepping.
    if (step == direction && RecNo() == before) return;
    before = RecNo();
    step = direction;
  }
}

void DBO_dBHandler::Skip(std::int64_t n) {
  if (n == 0) return GetRecord(dbp::Current);
  const bool forward = n > 0;
  if (!filterRequested_ && ShowDeleted) {
    // Nothing can be refused: one stride.
    bool ranOut = false;
    std::int64_t target;
    if (masterTag_) {
      target = 0;
      for (std::int64_t i = 0; i < (forward ? n : -n); ++i) {
        const std::int64_t rec = masterTag_->KeyRead(forward ? dbp::Next : dbp::Previous);
        if (rec <= 0) {
          ranOut = true;
          target = masterTag_->KeyRead(forward ? dbp::Last : dbp::First);
          break;
        }
        target = rec;
      }
    } else {
      const std::int64_t wanted = RecNo() + n;
      target = std::clamp<std::int64_t>(wanted, 1, std::max<std::int64_t>(RecordCount(), 1));
      ranOut = wanted != target;
    }
    if (target > 0 && target <= RecordCount()) DBO_dBaseFld::GetRecord(target);
    if (ranOut || RecordCount() == 0) SetEdges(Bof() || !forward, Eof() || forward);
    return;
  }
  for (std::int64_t i = 0; i < (forward ? n : -n); ++i) {
    GetRecord(forward ? dbp::Next : dbp::Previous);
    if (Eof() || Bof()) break;
  }
}

void DBO_dBHandler::ClipUnlock() {
  if (LockProtocol() == TdbLokProtocol::ClipLock && HasIndex()) UnlockIndexes();
}

bool DBO_dBHandler::FindKey(std::string_view text) {
  found_ = false;
  if (RecordCount() == 0) return false;
  // The seek and the read of the key found are made under one lock of a shared index:
  // one check for other processes' writes, and no write between them.
  const bool lock = LockProtocol() == TdbLokProtocol::ClipLock || (IsShared() && HasIndex());
  if (lock && !LockIndexes()) return false;
  OnExit unlock([this, lock] {
    if (lock) UnlockIndexes();
  });
  auto atEnd = [this] {
    GetRecord(dbp::Last);
    SetEdges(Bof(), true);
  };
  if (!masterTag_) {
    atEnd();
    return false;
  }
  const std::string_view key = text.substr(0, 256);
  if (!masterTag_->SeekKey(key)) {
    atEnd();
    return false;
  }
  const std::int64_t rec = masterTag_->KeyRead(dbp::Current);
  if (rec > 0) DBO_dBaseFld::GetRecord(rec);
  while (!Eof() && rec > 0 && !Visible()) {
    Skip(1);
    if (Eof()) break;
  }
  if (!Eof()) {
    // Equal over the text's length; a longer key (beyond its blanks) only with exact match off.
    found_ = masterTag_->KeyMatches(key, ExactMatch);
  }
  if (!found_) atEnd();
  return found_;
}

std::int64_t DBO_dBHandler::FindNear(std::string_view tagName, std::string_view text) {
  const AnsiString name = Trim(tagName);
  for (const auto& file : slots_) {
    if (!file) continue;
    for (std::int64_t i = 0; i < file->TagCount(); ++i) {
      DBobjIndexTag* tag = file->Tag(i);
      if (!AnsiSameText(tag->TagName(), name)) continue;
      if (LockProtocol() == TdbLokProtocol::ClipLock && !LockIndexes()) return -1;
      OnExit unlock([this] { ClipUnlock(); });
      return tag->FindExact(text);
    }
  }
  return -1;
}

void DBO_dBHandler::FirstInRange() {
  GetRecord(dbp::First);
  if (Bof()) BlankRecord();
}

void DBO_dBHandler::SetRange(std::string_view low, std::string_view high, bool lowSet, bool highSet) {
  if (!masterTag_) return;
  masterTag_->SetKeyRange(low, high, lowSet, highSet);
  FirstInRange();
}

void DBO_dBHandler::SetEmptyRange() {
  if (!masterTag_) return;
  masterTag_->SetEmptyKeyRange();
  FirstInRange();
}

// --- Index files -------------------------------------------------------------------------------

bool DBO_dBHandler::LockIndexes() {
  std::vector<DBobjIndexFile*> locked;
  auto release = [&] {
    for (auto it = locked.rbegin(); it != locked.rend(); ++it) (*it)->UnlockIndex();
  };
  try {
    for (const auto& file : slots_) {
      if (!file) continue;
      if (!file->LockIndex()) {
        release();
        SetDbfLastError(dbe::LockViolation);
        return false;
      }
      locked.push_back(file.get());
    }
  } catch (...) {
    release();
    throw;
  }
  return true;
}

void DBO_dBHandler::UnlockIndexes() {
  for (const auto& file : slots_)
    if (file) file->UnlockIndex();
}

DBobjIndexFile* DBO_dBHandler::IndexFile(int slot) const {
  return slot >= 1 && slot <= kMaxIndexFiles ? slots_[static_cast<std::size_t>(slot - 1)].get() : nullptr;
}

int DBO_dBHandler::IndexOpen(std::string_view fileName) {
  AnsiString name = NormalizeSeparators(Trim(fileName));
  const std::size_t slash = name.find_last_of('/');
  const AnsiString dir = slash == AnsiString::npos ? ExtractFilePath(FileName()) : name.substr(0, slash + 1);
  AnsiString part = AnsiUpperCase(slash == AnsiString::npos ? name : name.substr(slash + 1));
  part = AddDefaultExt(part, ".NDX");
  name = dir + part;
  for (const auto& file : slots_)
    if (file && AnsiSameText(NamePart(file->IndexFileName()), part)) return -1;
  std::unique_ptr<DBobjIndexFile> file;
  if (const TdbIndexFactory* factory = FindIndexFormat(ExtractFileExt(part))) file = (*factory)(*this, name);
  if (file && file->HeaderValid()) {
    // Left stale by a pack that did not end: rebuilt before its keys are used.
    if (IndexMarkedStale(file->IndexFileName())) RebuildIndexFile(*file);
    for (auto& slot : slots_) {
      if (slot) continue;
      file->SetLockProtocol(LockProtocol());
      slot = std::move(file);
      return 0;
    }
    RaiseRangeError();  // all 63 slots taken
  }
  file.reset();
  const std::int32_t code = FileExists(name) ? kIndexHeaderInvalid : dbe::FileNotFound;
  SetDbfLastError(code);
  Error(code, dbe::NoSubCode, name);
  return code;
}

int DBO_dBHandler::OpenIndexList(std::string_view list, std::string_view tagName) {
  CloseIndexes();
  AnsiString text(list.substr(0, std::min(list.size(), kMaxIndexList)));
  while (!text.empty() && (text.back() == ' ' || text.back() == ',' || text.back() == ';')) text.pop_back();
  std::vector<AnsiString> names;
  AnsiString current;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ' ' || c == ',' || c == ';')) {
      if (!current.empty()) names.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) names.push_back(current);
  if (names.empty()) return 1;
  for (const AnsiString& n : names)
    if (const int r = IndexOpen(n); r != 0) return r;
  SetTagTo(tagName, true);
  return 0;
}

void DBO_dBHandler::DropMasterTag() {
  if (masterTag_) {
    masterTag_->ClearRange();
    masterTag_->ResetPages(0);
  }
  masterTag_ = nullptr;
  masterTagName_.clear();
}

void DBO_dBHandler::CloseIndexes() {
  masterTag_ = nullptr;
  masterTagName_.clear();
  for (auto& slot : slots_) slot.reset();
}

int DBO_dBHandler::SetTagTo(std::string_view tagName, bool stay) {
  const AnsiString name = AnsiUpperCase(Trim(tagName));
  if (name.empty()) {
    DropMasterTag();
    SetReadAhead(true);
    if (!stay) GetRecord(dbp::First);
    return 0;
  }
  for (int slot = 1; slot <= kMaxIndexFiles; ++slot) {
    DBobjIndexFile* file = IndexFile(slot);
    if (!file) continue;
    for (std::int64_t i = 0; i < file->TagCount(); ++i) {
      DBobjIndexTag* tag = file->Tag(i);
      if (!AnsiSameText(tag->TagName(), name)) continue;
      DropMasterTag();
      SetReadAhead(false);
      masterTagName_ = name.substr(0, 15);
      masterTag_ = tag;
      tag->ResetPages(1);
      GetRecord(stay && RecNo() > 0 ? RecNo() : dbp::First);
      return slot;
    }
  }
  throw EDbfError(Format("Cannot find index tag %s", {AnsiString(tagName)}));
}

DBobjIndexTag* DBO_dBHandler::TagByNumber(std::int64_t n) const {
  if (n <= 0) return nullptr;
  for (const auto& file : slots_) {
    if (!file) continue;
    if (n <= file->TagCount()) return file->Tag(n - 1);
    n -= file->TagCount();
  }
  return nullptr;
}

int DBO_dBHandler::IndexSlotOf(std::string_view fileName) const {
  const std::string_view part = NamePart(fileName);
  for (int slot = kMaxIndexFiles; slot >= 1; --slot)
    if (DBobjIndexFile* f = IndexFile(slot); f && AnsiSameText(NamePart(f->IndexFileName()), part))
      return slot;
  return 0;
}

void DBO_dBHandler::Reindex() {
  for (const auto& file : slots_)
    if (file) RebuildIndexFile(*file);
  if (masterTag_) masterTag_->KeyRead(dbp::First);
  GetRecord(dbp::First);
}

// --- Writes and their upkeep ----------------------------------------------------------------------

void DBO_dBHandler::Append() {
  if (!LockIndexes()) return Error(dbe::LockViolation, dbe::SubWrite, FileName());
  OnExit unlock([this] { UnlockIndexes(); });
  DBO_dBaseFld::Append();
}

void DBO_dBHandler::PutRecord(std::int64_t n) {
  if (n <= 0 || n > RecordCount()) return Append();
  if (!LockIndexes()) return Error(dbe::LockViolation, dbe::SubWrite, FileName());
  OnExit unlock([this] { UnlockIndexes(); });
  DBO_dBaseFld::PutRecord(n);
}

void DBO_dBHandler::UpdateFilterBit(std::int64_t recNo) {
  if (!filterSet_ || !filterExp_ || !filterExp_->HasTree() || recNo <= 0) return;
  bool accepted = false;
  try {
    TdbExpValue v;
    accepted = filterExp_->EvaluateToBuffer(v) == ek::Logical && v.logical;
  } catch (const EDbfExpression&) {
    accepted = false;  // a record whose values the expression cannot take is outside the filter
  } catch (const EDbfError&) {
    accepted = false;  // nor one whose field text is no value: the record is written already
  } catch (const EConvertError&) {
    accepted = false;  // nor one whose text CTOD cannot read as a date
  }
  if (accepted)
    filterSet_->ChangeBit(recNo, 1);
  else if (filterSet_->TestBit(recNo))
    filterSet_->ChangeBit(recNo, 0);
}

void DBO_dBHandler::Notify(int code, std::int64_t value) {
  DBO_dBaseFld::Notify(code, value);
  if (code == dbn::AfterWrite) {
    // An append reports record 0: the new record is the current one.
    const std::int64_t recNo = value > 0 ? value : RecNo();
    // The keys of every index file, or (should one fail) of none: the table then takes
    // its write back too.
    for (const auto& file : slots_)
      if (file) file->BeginUpdate();
    try {
      for (const auto& file : slots_)
        if (file) file->Updated(value <= 0, recNo);
    } catch (...) {
      for (const auto& file : slots_)
        if (file) file->RollbackUpdate();
      throw;
    }
    for (const auto& file : slots_)
      if (file) file->EndUpdate();
    UpdateFilterBit(recNo);
    if (masterTag_) masterTag_->ResetPages(1);
  } else if (code == dbn::AfterFlush) {
    for (const auto& file : slots_)
      if (file) file->FlushIndex();
  }
}

void DBO_dBHandler::SetLockProtocol(TdbLokProtocol protocol) {
  DBO_dBaseFld::SetLockProtocol(protocol);
  for (const auto& file : slots_)
    if (file) file->SetLockProtocol(protocol);
}

bool DBO_dBHandler::Rename(std::string_view newName) {
  const AnsiString oldStem = AnsiUpperCase(ExtractNameNoExt(FileName()));
  if (!DBO_dBaseFld::Rename(newName)) return false;
  const AnsiString newBase = FileName().substr(0, FileName().size() - ExtractFileExt(FileName()).size());
  bool ok = true;
  for (const auto& file : slots_) {
    if (!file || AnsiUpperCase(ExtractNameNoExt(file->IndexFileName())) != oldStem) continue;
    ok = file->RenameIndex(newBase + ExtractFileExt(file->IndexFileName())) && ok;
  }
  return ok;
}

// --- Filter -----------------------------------------------------------------------------------------

void DBO_dBHandler::SetFilter(std::string_view text, bool caseless, bool partialCompare) {
  filterInForce_ = false;
  if (!filterSet_) filterSet_ = std::make_unique<TdbHugeSet>();
  if (!filterExp_) filterExp_ = std::make_unique<TdbExpHandler>(&Link());
  if (!filterCompiled_ || text != filterText_ || caseless != filterCaseless_ ||
      partialCompare != filterPartial_) {
    filterCompiled_ = false;
    filterText_ = text;
    filterCaseless_ = caseless;
    filterPartial_ = partialCompare;
    filterSet_->ClearAll();
    filterExp_->CaseFold = caseless;
    filterExp_->Wildcards = partialCompare;
    // A filter that cannot be compiled, or evaluated on some record, leaves no tree: a
    // half-filled set is never put in force.
    try {
      filterExp_->SetExpression(text);
      TdbExpValue v;
      if (filterExp_->HasTree() && filterExp_->EvaluateToBuffer(v) != ek::Logical)
        throw EDbfError("Filter expression must return boolean result");
      if (filterExp_->HasTree()) EvaluateFilterSet();
    } catch (...) {
      filterExp_->SetExpression("");
      filterSet_->ClearAll();
      throw;
    }
    filterCompiled_ = true;
  }
  filterInForce_ = filterRequested_ && filterExp_->HasTree();
}

void DBO_dBHandler::EvaluateFilterSet() {
  const std::int64_t current = RecNo();
  DBobjIndexTag* tag = masterTag_;
  const bool readAhead = readAheadActive_;
  const int state = TableState;
  OnExit restore([&] {
    masterTag_ = tag;
    TableState = state;
    if (readAheadActive_ != readAhead) SetReadAhead(readAhead);
    if (current > 0 && current <= RecordCount()) DBO_dBaseFld::GetRecord(current);
  });
  masterTag_ = nullptr;
  TableState = kStateNormal;
  SetReadAhead(true);
  TdbExpValue v;
  for (GetRecord(dbp::First); !Eof() && RecNo() > 0; GetRecord(dbp::Next)) {
    if (filterExp_->EvaluateToBuffer(v) == ek::Logical && v.logical) filterSet_->ChangeBit(RecNo(), 1);
  }
}

void DBO_dBHandler::SetFilterActive(bool on) {
  filterRequested_ = on;
  filterInForce_ = on && filterExp_ && filterExp_->HasTree();
}

// --- Search -----------------------------------------------------------------------------------------

std::int64_t DBO_dBHandler::SearchField(std::string_view text, std::int64_t& fieldNumber,
                                        std::int64_t stopRecord, std::int64_t& foundRecord) {
  if (fieldNumber < 0 || fieldNumber > FieldCount() || text.empty()) return 0;
  const std::uint16_t flags = SearchFlags;
  TextRule rule;
  rule.oem = Link().OemText;
  rule.caseless = (flags & dbs::Caseless) != 0;
  rule.exact = (flags & dbs::Exact) != 0;
  rule.text.assign(text.substr(0, std::min(text.size(), kMaxSearchText)));
  if (rule.caseless) ExpUpper(rule.text, rule.oem);
  if (flags & dbs::Wildcards) {
    rule.anywhere = rule.followed = false;
    if (!rule.text.empty() && rule.text.front() == '*') {
      rule.text.erase(0, 1);
      rule.anywhere = true;
      rule.exact = false;
    }
    if (!rule.text.empty() && rule.text.back() == '*') {
      rule.text.pop_back();
      rule.followed = true;
      rule.exact = false;
    }
    if (!rule.anywhere && rule.text.find('?') != AnsiString::npos) {
      rule.single.resize(rule.text.size());
      for (std::size_t i = 0; i < rule.text.size(); ++i) rule.single[i] = rule.text[i] == '?';
      rule.exact = false;
    }
  } else {
    rule.anywhere = (flags & dbs::Anchored) == 0;
    rule.followed = !rule.exact;
  }
  if (rule.text.empty()) return 0;

  // Dates and numbers are read from the text once, on first need.
  bool dateRead = false, dateValid = false, numberValid = false;
  std::int32_t date = 0;
  double number = 0;
  numberValid = TryStrToFloat(Trim(text), number);
  const bool logical = kTrueLetters.find(text[0]) != std::string_view::npos;

  auto match = [&](std::int64_t f, bool allFields) -> std::int64_t {
    switch (FieldType(f)) {
      case 'C':
        return MatchFieldText(FieldGet(f), rule);
      case 'D':
        if (!dateRead) {
          dateRead = true;
          try {
            date = DBFDate().TextToJulian(text);
            dateValid = date != 0;
          } catch (const EConvertError&) {
            dateValid = false;
          }
        }
        return dateValid && DateGet(f) == date ? 1 : 0;
      case 'N':
      case 'F':
        return numberValid && NumberGet(f) == number ? 1 : 0;
      case 'L':
        return !allFields && LogicGet(f) == logical ? 1 : 0;
      default:
        return 0;
    }
  };

  StatusUpdate(-1, dbk::Search, static_cast<std::int32_t>(std::min<std::int64_t>(RecordCount(), INT32_MAX)));
  const std::int64_t remembered = RecNo();
  const int state = TableState;
  DBobjIndexTag* tag = masterTag_;
  const bool readAhead = readAheadActive_;
  std::int64_t code = 0, visited = 0;
  {
    OnExit restore([&] {
      TableState = state;
      masterTag_ = tag;
      if (readAheadActive_ != readAhead) SetReadAhead(readAhead);
    });
    if (!(flags & dbs::KeepState)) TableState = kStateIndexing;
    if (!(flags & dbs::KeepTag)) masterTag_ = nullptr;
    if (!masterTag_) SetReadAhead(true);
    if (foundRecord > 0 && foundRecord <= RecordCount()) {
      GetRecord(foundRecord);
      Skip(1);
    } else {
      GetRecord(dbp::First);
    }
    const std::int64_t first = fieldNumber == 0 ? 1 : fieldNumber;
    const std::int64_t last = fieldNumber == 0 ? FieldCount() : fieldNumber;
    while (!Eof() && RecNo() > 0 && (stopRecord == 0 || RecNo() <= stopRecord) && code == 0) {
      for (std::int64_t f = first; f <= last && code == 0; ++f) {
        code = match(f, fieldNumber == 0);
        if (code != 0) fieldNumber = f;
      }
      if (code != 0) break;
      ++visited;
      StatusUpdate(dbk::Search, static_cast<std::int32_t>(std::min<std::int64_t>(visited, INT32_MAX)), 0);
      const std::int64_t before = RecNo();
      GetRecord(dbp::Next);
      if (RecNo() == before && !Eof()) break;
    }
  }
  if (code != 0) {
    foundRecord = RecNo();
    GetRecord(foundRecord);
  } else if (remembered > 0 && remembered <= RecordCount()) {
    GetRecord(remembered);
  }
  StatusUpdate(0, static_cast<std::int32_t>(std::min<std::int64_t>(visited, INT32_MAX)), 0);
  return code;
}

// --- Pack ---------------------------------------------------------------------------------------------

namespace {

// A new file beside `sysTarget` ("<name>.pkXXXXXX"), after those that killed packs left.
std::string NewFileBeside(const std::string& sysTarget, const AnsiString& name) {
  const std::size_t slash = sysTarget.find_last_of('/');
  RemoveStaleWorkFiles(slash == std::string::npos ? std::string() : sysTarget.substr(0, slash),
                       (slash == std::string::npos ? sysTarget : sysTarget.substr(slash + 1)) + ".pk", false);
  std::string sysNew = sysTarget + ".pkXXXXXX";
  const int fd = ::mkstemp(sysNew.data());
  if (fd < 0) {
    const std::int32_t code = ErrnoToDbfError(errno);
    SetDbfLastError(code);
    StandardDbfError(code, dbe::SubCreate, name);
  }
  ::close(fd);
  return sysNew;
}

void RenameOver(const std::string& sysFrom, const std::string& sysTo, const AnsiString& name) {
  if (::rename(sysFrom.c_str(), sysTo.c_str()) != 0) {
    const std::int32_t code = ErrnoToDbfError(errno);
    SetDbfLastError(code);
    StandardDbfError(code, dbe::SubRename, name);
  }
  SyncDirectoryOf(sysTo);
}

// The memo block numbers in the memo fields of the current record (a damaged number none).
void AddMemoBlocks(DBO_dBHandler& table, std::vector<std::uint32_t>& blocks) {
  for (std::int64_t f = 1; f <= table.FieldCount(); ++f) {
    const char type = table.FieldType(f);
    if (type != 'B' && type != 'G' && type != 'M') continue;
    try {
      const double block = std::round(table.NumberGet(f));
      if (block >= 1 && block <= 4294967295.0) blocks.push_back(static_cast<std::uint32_t>(block));
    } catch (const EDbfError&) {
    }
  }
}

}  // namespace

void DBO_dBHandler::Pack() {
  if (IsShared()) {
    SetDbfLastError(dbe::AccessDenied);
    return Error(dbe::AccessDenied, kSubPackShared, FileName());
  }
  // Another object of the process on the table (another dataset) shares its descriptor:
  // after the packed table replaced the file, it would go on reading and writing the old
  // one, and its writes be lost; its record numbers would no longer fit either.
  if (OpenFiles().Find(Key(), this)) {
    SetDbfLastError(dbe::SharingViolation);
    throw EDbfError(Ansi("Таблицу нельзя сжать, пока она открыта в программе ещё раз: ") + FileName());
  }
  RefreshHeader();  // the records another object of the process appended before it closed
  DBobjIndexTag* tag = masterTag_;
  const bool readAhead = readAheadActive_;
  const std::int64_t count = RecordCount();
  std::int64_t kept = 0;
  // The packed table is written beside the old one and renamed over it, so that a failure
  // or a crash leaves either the old table or the packed one, never records moved half-way.
  // A table reached through a link is packed where the link leads (as a save would follow
  // it), with the old file's permissions, owner and group.
  std::vector<std::uint32_t> freed, keptMemos;  // memo blocks of removed and of kept records
  std::vector<std::int64_t> moves;              // the old number of each kept record
  const AnsiString name = FileName();
  const std::string sysTarget = SysPath(SaveTargetOf(name));
  std::string sysNew;
  bool replaced = false;
  {
    OnExit restore([&] {
      masterTag_ = tag;
      if (readAheadActive_ != readAhead) SetReadAhead(readAhead);
      if (!replaced && !sysNew.empty()) {
        ::unlink(sysNew.c_str());
        for (const auto& file : slots_)
          if (file) ClearIndexStale(file->IndexFileName());
      }
    });
    const bool memo = HasMemoFile() && OpenMemo();
    masterTag_ = nullptr;
    SetReadAhead(false);
    SetReadAhead(true);
    StatusUpdate(-1, dbk::Pack, static_cast<std::int32_t>(std::min<std::int64_t>(count, INT32_MAX)));
    std::string out;
    std::unique_ptr<DBO_DiskFile> packed;
    std::int64_t written = HeaderLength();
    auto flushOut = [&] {
      if (out.empty()) return;
      packed->WriteAt(written, out.data(), std::ssize(out));
      written += std::ssize(out);
      out.clear();
    };
    for (std::int64_t i = 1; i <= count; ++i) {
      ReadAt(RecordOffset(i), RecordBuffer(), RecordLength());
      if (ErrorCode() != 0) {
        SetDbfLastError(ErrorCode());
        return Error(ErrorCode(), dbe::SubRecord, FileName());
      }
      SetCurrent(i);
      if (!IsDeleted()) {
        ++kept;
        moves.push_back(i);
        if (packed) out.append(RecordBuffer(), static_cast<std::size_t>(RecordLength()));
        if (memo) AddMemoBlocks(*this, keptMemos);
      } else {
        if (!packed) {
          // The first removed record: the records before it go into the new file as they are.
          sysNew = NewFileBeside(sysTarget, name);
          packed = std::make_unique<TdbReplacementFile>(AnsiPath(sysNew), name);
          packed->Open();
          std::string head(static_cast<std::size_t>(HeaderLength()), '\0');
          if (DBO_DiskFile::ReadAt(0, head.data(), HeaderLength()) != HeaderLength())
            StandardDbfError(dbe::ShortRead, dbe::SubHeader, name);
          std::memcpy(head.data(), Header().data(), 32);
          packed->WriteAt(0, head.data(), HeaderLength());
          const std::int64_t prefix = RecordOffset(i);
          while (written < prefix) {
            out.resize(static_cast<std::size_t>(std::min<std::int64_t>(prefix - written, 1 << 20)));
            if (DBO_DiskFile::ReadAt(written, out.data(), std::ssize(out)) != std::ssize(out))
              StandardDbfError(dbe::ShortRead, dbe::SubRecord, name);
            flushOut();
          }
        }
        if (memo) AddMemoBlocks(*this, freed);
      }
      if (out.size() >= 1 << 20) flushOut();
      StatusUpdate(dbk::Pack, static_cast<std::int32_t>(std::min<std::int64_t>(i, INT32_MAX)), 0);
    }
    if (packed) {
      flushOut();
      const char eof = 0x1A;
      packed->WriteAt(written, &eof, 1);
      std::uint8_t n[4];
      PutLE32(n, CheckOffset32(kept));
      packed->WriteAt(4, n, 4);
      packed->Flush();
      packed->Close();
      packed.reset();
      TakeTargetFileMode(sysNew, sysTarget);
      // From here on the indexes may not match the table until they are rebuilt.
      for (const auto& file : slots_) {
        if (!file) continue;
        MarkIndexStale(file->IndexFileName());
        if (!IndexMarkedStale(file->IndexFileName())) return;
      }
      RenameOver(sysNew, sysTarget, name);
      replaced = true;
      ReopenReplaced();
      SetReadAhead(true);  // what it held came from the old file
      // The memos of the removed records are freed in the memo file itself, now that no
      // record of the table names them (a crash before the end leaves blocks unused, never
      // a live memo freed). A memo that a kept record names as well (a copied record), or
      // that cannot be freed (a damaged block), keeps its blocks. Only forms with a free
      // chain change anything here: the others never reuse blocks.
      std::sort(keptMemos.begin(), keptMemos.end());
      std::sort(freed.begin(), freed.end());
      freed.erase(std::unique(freed.begin(), freed.end()), freed.end());
      if (!freed.empty()) {
        try {
          DBobjMemo* live = OpenMemo();
          for (std::uint32_t block : freed) {
            if (std::binary_search(keptMemos.begin(), keptMemos.end(), block)) continue;
            try {
              live->FreeBlocks(block);
            } catch (const EDbfError&) {
            }
          }
          live->Flush();
        } catch (const EDbfError&) {
          // Blocks left unfreed stay unused: the packed table lost nothing.
        }
      }
      if (filterSet_) {
        for (std::int64_t k = 1; k <= kept; ++k)
          filterSet_->ChangeBit(k, filterSet_->TestBit(moves[static_cast<std::size_t>(k - 1)]) ? 1 : 0);
        for (std::int64_t k = kept + 1; k <= count; ++k)
          if (filterSet_->TestBit(k)) filterSet_->ChangeBit(k, 0);
      }
    }
    MarkHeaderChanged();
    WriteHeader();
    StatusUpdate(0, 0, 0);
  }
  if (kept < count) {
    // Each index rebuilt beside itself; its mark goes once it is whole. One that cannot be
    // rebuilt is closed (its mark stays, so that the next open rebuilds it).
    for (auto& file : slots_) {
      if (!file) continue;
      try {
        RebuildIndexFile(*file);
      } catch (...) {
        DropIndexFile(file);
        throw;
      }
    }
  }
  if (masterTag_) masterTag_->KeyRead(dbp::First);
  GetRecord(dbp::First);
}

void DBO_dBHandler::RebuildIndexFile(DBobjIndexFile& file) {
  const int state = TableState;
  DBobjIndexTag* tag = masterTag_;
  const bool readAhead = readAheadActive_;
  {
    OnExit restore([&] {
      TableState = state;
      masterTag_ = tag;
      if (readAheadActive_ != readAhead) SetReadAhead(readAhead);
    });
    TableState = kStateIndexing;
    masterTag_ = nullptr;
    SetReadAhead(true);
    file.Reindex();
  }
  ClearIndexStale(file.IndexFileName());
}

void DBO_dBHandler::DropIndexFile(std::unique_ptr<DBobjIndexFile>& file) {
  for (std::int64_t i = 0; i < file->TagCount(); ++i)
    if (file->Tag(i) == masterTag_) DropMasterTag();
  file.reset();
}

// --- Read-ahead -----------------------------------------------------------------------------------------

void DBO_dBHandler::RereadRecord(std::int64_t n) {
  readAheadFirst_ = readAheadPast_ = -1;
  DBO_dBaseFld::GetRecord(n);
}

void DBO_dBHandler::AllowReadAhead(bool on) {
  if (!on) SetReadAhead(false);
  readAheadAllowed_ = on;
}

void DBO_dBHandler::SetReadAhead(bool on) {
  if (!readAheadAllowed_) return;
  readAheadFirst_ = readAheadPast_ = -1;
  readAheadFollows_ = -1;
  // On: 32 KB rounded down to whole records (one record at least), holding nothing yet;
  // off: the buffer freed.
  const std::int64_t length = std::max<std::int64_t>(RecordLength(), 1);
  const std::int64_t size = on ? std::max(length, kReadAheadBytes / length * length) : 0;
  if (size != readAheadSize_) {
    readAhead_ = size > 0 ? std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(size)) : nullptr;
    readAheadSize_ = size;
  }
  readAheadActive_ = on;
}

std::int64_t DBO_dBHandler::ReadAt(std::int64_t offset, void* buffer, std::int64_t count) {
  if (!readAheadActive_ || offset < HeaderLength() || count > readAheadSize_)
    return DBO_dBaseFld::ReadAt(offset, buffer, count);
  if (offset < 0 || count < 0) RaiseRangeError();
  // What another object of the process wrote (they share the descriptor) is read anew.
  if (TakeWritesOfOthers()) readAheadFirst_ = readAheadPast_ = -1;
  if (readAheadFirst_ < 0 || offset < readAheadFirst_ || offset + count > readAheadPast_) {
    const bool continues = readAheadFirst_ >= 0 && offset >= readAheadFirst_ && offset <= readAheadPast_;
    if (offset != readAheadFollows_ && !continues) {
      // A read that does not follow the one before is no scan (yet): only its bytes.
      readAheadFollows_ = offset + count;
      return DBO_dBaseFld::ReadAt(offset, buffer, count);
    }
    readAheadFirst_ = readAheadPast_ = -1;
    const std::int64_t n = DBO_dBaseFld::ReadAt(offset, readAhead_.get(), readAheadSize_);
    if (ErrorCode() != 0 && ErrorCode() != dbe::ShortRead) return 0;
    readAheadFirst_ = offset;
    readAheadPast_ = offset + n;
  }
  const std::int64_t available = std::clamp<std::int64_t>(readAheadPast_ - offset, 0, count);
  if (available > 0)
    std::memcpy(buffer, readAhead_.get() + (offset - readAheadFirst_), static_cast<std::size_t>(available));
  SetErrorCode(available < count ? dbe::ShortRead : 0);
  return available;
}

void DBO_dBHandler::WriteAt(std::int64_t offset, const void* buffer, std::int64_t count) {
  DBO_dBaseFld::WriteAt(offset, buffer, count);
  if (!readAheadActive_ || readAheadFirst_ < 0 || ErrorCode() != 0) return;
  const std::int64_t from = std::max(offset, readAheadFirst_);
  const std::int64_t to = std::min(offset + count, readAheadPast_);
  if (from < to)
    std::memcpy(readAhead_.get() + (from - readAheadFirst_),
                static_cast<const char*>(buffer) + (from - offset), static_cast<std::size_t>(to - from));
}

void DBO_dBHandler::Truncate(std::int64_t offset) {
  readAheadFirst_ = readAheadPast_ = -1;
  DBO_dBaseFld::Truncate(offset);
}
