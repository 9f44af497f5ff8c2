#include "tables/DbfDB.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "platform/core/Files.h"
#include "platform/core/IniFiles.h"
#include "platform/core/SysDirs.h"
#include "tables/db_eror.h"
#include "tables/db_text.h"

namespace {

constexpr const char* kDefaultDirectory = "Default Directory";
constexpr double kMsPerDay = 86400000.0;
constexpr double kDayOneDateTime = -693594.0;  // the date-time of the day before 1 January 0001

[[noreturn]] void RangeCheckError() { throw ERangeError("Range check error"); }

bool IsWriteState(TDataSetState s) { return s == TDataSetState::dsEdit || s == TDataSetState::dsInsert; }

TDbfRecordBuffer& Buf(TRecordBuffer& b) { return static_cast<TDbfRecordBuffer&>(b); }
const TDbfRecordBuffer& Buf(const TRecordBuffer& b) { return static_cast<const TDbfRecordBuffer&>(b); }

// An alias value as a directory: "\" read as "/", one trailing separator dropped.
AnsiString AliasDirectory(std::string_view value) {
  AnsiString dir = NormalizeSeparators(Trim(value));
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The AsString text of a number field made from its stored text without reading the
// number: what FloatToStr writes for the value (integer fields: IntToStr of the value)
// is, for a plain decimal of at most 15 digits, that decimal without the zeros that
// carry nothing. Blanks read as 0. False for every other text, for integer fields whose
// text needs rounding or lies near the end of their range, and for small fractions that
// FloatToStr writes with an exponent: those go the way of the value.
bool PlainNumberText(std::string_view s, bool integer, std::int64_t limit, AnsiString& out) {
  if (s.size() > 31) return false;  // the number reader looks at 31 characters only
  const char* p = s.data();
  const char* const end = p + s.size();
  // Numbers are stored right-aligned: the blanks in front are counted a word at a time.
  if constexpr (std::endian::native == std::endian::little) {
    for (std::uint64_t w; end - p >= 8; p += 8) {
      std::memcpy(&w, p, 8);
      if (const std::uint64_t other = w ^ dbtext::kEightBlanks; other != 0) {
        p += std::countr_zero(other) / 8;
        break;
      }
    }
  }
  while (p < end && *p == ' ') ++p;
  if (p == end) return (void)out.assign(1, '0'), true;
  const bool negative = *p == '-';
  if (negative) ++p;
  const char* wholeBegin = p;
  while (p < end && IsDigit(*p)) ++p;
  const char* wholeEnd = p;
  const char* fractionBegin = p;
  const char* fractionEnd = p;
  if (p < end && *p == '.') {
    fractionBegin = ++p;
    while (p < end && IsDigit(*p)) ++p;
    fractionEnd = p;
  }
  const std::ptrdiff_t digits = (wholeEnd - wholeBegin) + (fractionEnd - fractionBegin);
  if (p != end || digits == 0 || digits > 15) return false;
  while (wholeBegin < wholeEnd && *wholeBegin == '0') ++wholeBegin;
  while (fractionEnd > fractionBegin && fractionEnd[-1] == '0') --fractionEnd;
  const auto wholeDigits = static_cast<std::size_t>(wholeEnd - wholeBegin);
  const auto fractionDigits = static_cast<std::size_t>(fractionEnd - fractionBegin);
  if (integer) {
    if (fractionDigits > 0) return false;
    // Only as many digits as the limit has can reach it.
    if (wholeDigits >= (limit > 99999 ? 10u : 5u)) {
      std::int64_t v = 0;
      for (const char* d = wholeBegin; d < wholeEnd; ++d) v = v * 10 + (*d - '0');
      if (v >= limit) return false;
    }
  } else if (wholeDigits == 0 && fractionDigits > 0 && std::string_view(fractionBegin, fractionDigits).find_first_not_of('0') > 4) {
    return false;  // below 0.0001: written with an exponent
  }
  if (wholeDigits + fractionDigits == 0) return (void)out.assign(1, '0'), true;  // -0 too
  char text[20];
  std::size_t length = 0;
  if (negative) text[length++] = '-';
  if (wholeDigits == 0) text[length++] = '0';
  std::memcpy(text + length, wholeBegin, wholeDigits);
  length += wholeDigits;
  if (fractionDigits > 0) {
    static const char separator = FormatSettings().DecimalSeparator;
    text[length++] = separator;
    std::memcpy(text + length, fractionBegin, fractionDigits);
    length += fractionDigits;
  }
  out.assign(text, length);
  return true;
}

// The text of a string field: without its trailing blanks, translated when asked.
bool StringText(const char* p, std::size_t length, bool translate, AnsiString& out) {
  out.assign(dbtext::TrimmedText(p, length));
  if (translate) cp::OemToAnsiBuf(out.data(), out.size());
  return true;
}

// The short date format writes day, month and year of the stored digits in that order.
const bool kShortDateIsDayMonthYear = FormatSettings().ShortDateFormat == "dd.mm.yyyy";

// The AsString text of a date field from its eight stored bytes: eight digits of a real
// day give the short date text, other digits (blank or zero dates too) the empty text;
// false for anything else, which goes the way of the value.
bool DateText(const char* p, AnsiString& out) {
  if (!kShortDateIsDayMonthYear || !std::all_of(p, p + 8, IsDigit)) return false;
  const auto num = [&](int from, int count) {
    int v = 0;
    for (int k = from; k < from + count; ++k) v = v * 10 + (p[k] - '0');
    return v;
  };
  if (!IsValidDate(num(0, 4), num(4, 2), num(6, 2))) {  // "00000000" too
    out.clear();
    return true;
  }
  const char text[10] = {p[6], p[7], '.', p[4], p[5], '.', p[0], p[1], p[2], p[3]};
  out.assign(text, 10);
  return true;
}

void LoadAliases(TStringList& list) {
  list.Clear();
  list.Add(kDefaultDirectory);
  const AnsiString cfg = IncludeTrailingPathDelimiter(WindowsDirectory()) + "dbtables.cfg";
  if (cfg.size() > 260 || !FileExists(cfg)) return;
  TIniFile ini(cfg);
  TStringList lines;
  ini.ReadSectionValues("Alias", lines);
  for (int i = 0; i < lines.Count(); ++i) {
    const AnsiString& line = lines[i];
    const std::size_t eq = line.find('=');
    if (eq == AnsiString::npos) continue;
    list.Add(AnsiUpperCase(Trim(line.substr(0, eq))) + "=" + AliasDirectory(line.substr(eq + 1)));
  }
}

}  // namespace

TStringList& DbfAliases() {
  static TStringList* aliases = [] {
    static TStringList list;
    LoadAliases(list);
    return &list;
  }();
  return *aliases;
}

void ReloadDbfAliases() { LoadAliases(DbfAliases()); }

// --- The handler of one dataset -----------------------------------------------------------------------

DBFObject::DBFObject(TDbfDataSet& owner, std::string_view fileName, bool shared, bool readWrite)
    : DBO_dBHandler(fileName, shared, readWrite), owner_(owner) {}

void DBFObject::StatusUpdate(std::int32_t stat1, std::int32_t stat2, std::int32_t stat3) {
  if (owner_.OnStatus) owner_.OnStatus(&owner_, stat1, stat2, stat3);
}

bool DBFObject::RecordAccepted() { return owner_.RecordAccepted(); }

int DBFObject::Formula() {
  if (!owner_.OnFormula) return -1;
  char typ = 0;
  bool chg = false, tf = false;
  owner_.OnFormula(&owner_, "", "", "", typ, chg, tf);
  return tf ? 0 : -1;
}

void DBFObject::LoadRecord(const std::vector<char>& image) {
  if (&image != &record_) std::memcpy(record_.data(), image.data(), static_cast<std::size_t>(RecordLength()));
}

void DBFObject::StoreRecord(std::vector<char>& image) const {
  if (&image != &record_) std::memcpy(image.data(), record_.data(), static_cast<std::size_t>(RecordLength()));
}

// --- Properties ----------------------------------------------------------------------------------------

TDbfDataSet::~TDbfDataSet() {
  try {
    if (master_) std::erase(master_->details_, this);
    for (TDbfDataSet* d : details_) {
      d->master_ = nullptr;
      d->masterSource_ = nullptr;
    }
    details_.clear();
    Close();
  } catch (const std::exception& e) {
    HandleApplicationException(e);
  }
}

void TDbfDataSet::SetDatabaseName(std::string_view value) {
  if (value == databaseName_) return;
  CheckInactive();
  databaseName_ = AnsiString(value);
}

void TDbfDataSet::SetTableName(std::string_view value) {
  CheckInactive();
  // The index files belonged to the old table.
  if (value != tableName_ && indexFiles_) indexFiles_->Clear();
  tableName_ = AnsiString(value);
}

AnsiString TDbfDataSet::TableDirectory() const {
  AnsiString dir;
  if (AnsiSameText(databaseName_, kDefaultDirectory)) {
    dir = ProgramDirectory();
  } else {
    dir = databaseName_;
    // A name without a separator may be an alias; a path names its directory itself.
    if (databaseName_.find_first_of("/\\") == AnsiString::npos) {
      const TStringList& aliases = DbfAliases();
      for (int i = 1; i < aliases.Count(); ++i)
        if (AnsiSameText(aliases.Names(i), databaseName_)) {
          dir = aliases.Values(aliases.Names(i));
          break;
        }
    }
    dir = NormalizeSeparators(dir);
  }
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

AnsiString TDbfDataSet::TableFileName() const {
  AnsiString name = NormalizeSeparators(tableName_);
  if (ExtractFileExt(name).empty()) name += ".DBF";
  return name;
}

void TDbfDataSet::SetReadOnly(bool on) {
  readOnly_ = on;
  if (dbf_ && !dbf_->IsReadWrite()) readOnly_ = true;
}

void TDbfDataSet::SetUseDeleted(bool on) {
  useDeleted_ = on;
  if (dbf_) dbf_->ShowDeleted = on;
}

void TDbfDataSet::SetLockProtocol(TdbLokProtocol protocol) {
  lockProtocol_ = protocol;
  if (dbf_) dbf_->SetLockProtocol(protocol);
}

void TDbfDataSet::SetUserID(std::uint32_t id) {
  userId_ = id;
  if (dbf_) dbf_->SetUserID(id);
}

void TDbfDataSet::CheckActive() const {
  if (!dbf_) DatabaseError(dbmsg::DataSetClosed);
}

bool TDbfDataSet::GetCanModify() const { return !readOnly_ && (!dbf_ || dbf_->IsReadWrite()); }

AnsiString TDbfDataSet::Translate(std::string_view src, bool toOem) const {
  if (!TranslateASCII) return AnsiString(src);
  return toOem ? cp::AnsiToOem(src) : cp::OemToAnsi(src);
}

// --- Opening and closing ------------------------------------------------------------------------------

void TDbfDataSet::InternalOpen() {
  if (tableName_.empty()) DatabaseError("Table name missing");
  tableName_ = TableFileName();
  const AnsiString path = TableDirectory() + tableName_;
  if (!FileExists(path)) DatabaseError(Format("Cannot find file %s", {path}));
  dbf_ = std::make_unique<DBFObject>(*this, path, !Exclusive, !readOnly_);
  dbf_->ShowDeleted = useDeleted_;
  dbf_->SetReadAhead(false);
  dbf_->SetLockProtocol(lockProtocol_);
  dbf_->SetUserID(userId_);
  // Texts of the table are compared and folded in its own code page.
  dbf_->Link().OemText = TranslateASCII;
  InternalInitFieldDefs();
  CreateFields();
  places_.assign(1, TFieldPlace{});
  for (std::int64_t n = 1; n <= dbf_->FieldCount(); ++n)
    places_.push_back(
        {dbf_->FieldOffset(n), static_cast<std::size_t>(dbf_->FieldLen(n)), dbf_->FieldType(n), dbf_->IsRawNumber(n)});
  // The record image, the information block and the bookmark within 16 bits.
  if (dbf_->RecordLength() + 8 + kBookmarkSize > 0xFFFF) RangeCheckError();
  OpenIndexFiles(false);
  SelectMasterTag(false);
  ApplyMasterRange();
  InternalFirst();
  // Sequential reads in natural order go through the read-ahead buffer only where nobody
  // else can write meanwhile: a table shared for writing is read from the file, record by
  // record, so that what other users posted is seen and never written back over.
  dbf_->SetReadAhead(!dbf_->MasterTag() && dbf_->ReadAheadSafe());
  editing_ = false;
  if (Filtered()) ApplyFilter();
}

void TDbfDataSet::InternalInitFieldDefs() {
  FieldDefs().Clear();
  std::unique_ptr<DBFObject> probe;
  DBFObject* t = dbf_.get();
  if (!t) {
    probe = std::make_unique<DBFObject>(*this, TableDirectory() + TableFileName(), true, false);
    t = probe.get();
  }
  for (std::int64_t n = 1; n <= t->FieldCount(); ++n) {
    const char type = t->FieldType(n);
    const std::int32_t len = t->FieldLen(n);
    const std::int32_t dec = t->FieldDecimals(n);
    // Names are text of the table's code page, like its values.
    const AnsiString name = FromTable(t->FieldName(n));
    TFieldType ft;
    int size = 0;
    switch (type) {
      case 'B':
        // In 0x30 tables a double, not a memo block: a number field, as other programs
        // show it.
        ft = t->Version() == 0x30 ? TFieldType::ftFloat : TFieldType::ftBlob;
        break;
      case 'G':
        ft = TFieldType::ftBlob;
        break;
      case 'C':
        ft = TFieldType::ftString;
        size = len;
        break;
      case 'D':
        ft = TFieldType::ftDate;
        break;
      case 'F':
      case 'N':
        ft = dec > 0 ? TFieldType::ftFloat : (len < 5 ? TFieldType::ftSmallint : TFieldType::ftInteger);
        break;
      case 'I':
        ft = TFieldType::ftInteger;
        break;
      case 'L':
        ft = TFieldType::ftBoolean;
        break;
      case 'M':
        ft = TFieldType::ftMemo;
        break;
      case 'T':
        ft = TFieldType::ftDateTime;
        break;
      case 'Y':
        ft = TFieldType::ftCurrency;
        break;
      default:
        continue;  // no field of the dataset
    }
    // The definition's number is the table's field number.
    FieldDefs().Add(name, ft, size).FieldNo = static_cast<int>(n);
  }
}

void TDbfDataSet::InternalClose() {
  DestroyFields();
  places_.clear();
  dbf_.reset();
  editMemos_.clear();
  for (TDbfDataSet* d : details_) d->MasterChanged();
  firstPending_ = lastPending_ = editing_ = false;
}

std::unique_ptr<TRecordBuffer> TDbfDataSet::AllocRecordBuffer() {
  auto b = std::make_unique<TDbfRecordBuffer>();
  b->image.assign(static_cast<std::size_t>(dbf_->RecordLength() + 1), ' ');
  b->image.back() = 0x1A;
  return b;
}

// --- Fetching --------------------------------------------------------------------------------------------

void TDbfDataSet::FillBookmark(TDbfRecordBuffer& b, std::int64_t recNo) const {
  b.recNo = static_cast<std::int32_t>(recNo);
  // Written out when asked for: a walk fetches many records and asks for few bookmarks.
  b.bookmarkRecNo = recNo;
  b.bookmarkPending = true;
}

namespace {
// The record number right-aligned in 10 characters (what "%10lld" writes), then 0.
void FormatBookmark(std::array<char, 11>& text, std::int64_t recNo) {
  if (recNo < 0 || recNo > 9999999999LL) {
    std::snprintf(text.data(), text.size(), "%10lld", static_cast<long long>(recNo));
    return;
  }
  text.fill(' ');
  text[10] = 0;
  std::size_t at = 10;
  do {
    text[--at] = static_cast<char>('0' + recNo % 10);
    recNo /= 10;
  } while (recNo > 0);
}
}  // namespace

TGetResult TDbfDataSet::GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) {
  // Engine errors (a table that cannot be read) pass on: a walk that stopped on one would
  // look like the end of the table.
  bool moved = false;
  switch (mode) {
    case TGetMode::gmNext:
      dbf_->GetRecord(firstPending_ ? dbp::First : dbp::Next);
      firstPending_ = false;
      moved = true;
      break;
    case TGetMode::gmPrior:
      dbf_->GetRecord(lastPending_ ? dbp::Last : dbp::Previous);
      lastPending_ = false;
      moved = true;
      break;
    case TGetMode::gmCurrent:
      if (!firstPending_ && !lastPending_) {
        dbf_->GetRecord(dbp::Current);
        moved = true;
      }
      break;
  }
  TGetResult result = dbf_->Eof()                  ? TGetResult::grEOF
                      : dbf_->Bof()                ? TGetResult::grBOF
                      : moved && dbf_->RecNo() > 0 ? TGetResult::grOK
                                                   : TGetResult::grError;
  if (result == TGetResult::grOK) {
    TDbfRecordBuffer& b = Buf(buffer);
    dbf_->StoreRecord(b.image);
    b.flag = TBookmarkFlag::bfCurrent;
    FillBookmark(b, dbf_->RecNo());
  } else if (doCheck && result == TGetResult::grError) {
    DatabaseError("Record request beyond range of table");
  }
  return result;
}

void TDbfDataSet::InternalFirst() {
  firstPending_ = true;
  lastPending_ = false;
}

void TDbfDataSet::InternalLast() {
  dbf_->GetRecord(dbp::Last);
  lastPending_ = true;
  firstPending_ = false;
}

void TDbfDataSet::DoAfterInsert() {
  // The cursor stands after the last record while the new one is being filled in.
  firstPending_ = lastPending_ = false;
  if (dbf_) dbf_->MarkAtEnd();
  TDataSet::DoAfterInsert();
}

void TDbfDataSet::InternalRefresh() {
  // Records other users wrote are read again, not served from the read-ahead buffer.
  if (dbf_->ReadAheadActive()) {
    dbf_->SetReadAhead(false);
    dbf_->SetReadAhead(true);
  }
  dbf_->RefreshHeader();
  if (TRecordBuffer* b = ActiveBuffer()) {
    if (Buf(*b).recNo > 0) dbf_->GetRecord(Buf(*b).recNo);
  }
}

// --- Bookmarks ---------------------------------------------------------------------------------------

TBookmark TDbfDataSet::GetBookmarkData(const TRecordBuffer& buffer) const {
  const TDbfRecordBuffer& b = Buf(buffer);
  if (!b.bookmarkPending) return AnsiString(b.bookmark.data(), kBookmarkSize - 1);
  std::array<char, kBookmarkSize> text{};
  FormatBookmark(text, b.bookmarkRecNo);
  return AnsiString(text.data(), kBookmarkSize - 1);
}

void TDbfDataSet::SetBookmarkData(TRecordBuffer& buffer, const TBookmark& bookmark) {
  Buf(buffer).bookmarkPending = false;
  auto& b = Buf(buffer).bookmark;
  b.fill(0);
  std::memcpy(b.data(), bookmark.data(), std::min<std::size_t>(bookmark.size(), kBookmarkSize - 1));
}

TBookmarkFlag TDbfDataSet::GetBookmarkFlag(const TRecordBuffer& buffer) const { return Buf(buffer).flag; }

void TDbfDataSet::SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) { Buf(buffer).flag = flag; }

int TDbfDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
  // As zero-terminated texts, byte by byte: right-aligned numbers order by value.
  return TDataSet::CompareBookmarks(AnsiString(a.c_str()), AnsiString(b.c_str()));
}

std::int64_t TDbfDataSet::BookmarkRecNo(const TBookmark& bookmark) const {
  std::int32_t n = 0;
  if (!TryStrToInt(Trim(AnsiString(bookmark.c_str())), n)) return -1;
  return n;
}

void TDbfDataSet::InternalGotoBookmark(const TBookmark& bookmark) {
  const std::int64_t n = BookmarkRecNo(bookmark);
  bool ok = n >= 1 && n <= dbf_->RecordCount();
  if (ok) {
    try {
      dbf_->GetRecord(n);
      ok = dbf_->RecNo() == n && !dbf_->Eof() && !dbf_->Bof();
    } catch (const Exception&) {
      ok = false;
    }
  }
  if (!ok) DatabaseError("Bookmark is invalid for table " + tableName_);
  firstPending_ = lastPending_ = false;
}

void TDbfDataSet::InternalSetToRecord(TRecordBuffer& buffer) {
  InternalGotoBookmark(GetBookmarkData(buffer));
}

bool TDbfDataSet::GetCurrentRecord(TDbfRecordBuffer& buffer) {
  TRecordBuffer* active = ActiveBuffer();
  if (!active || State() == TDataSetState::dsInsert || GetBookmarkFlag(*active) != TBookmarkFlag::bfCurrent)
    return false;
  UpdateCursorPos();
  buffer.image.resize(static_cast<std::size_t>(dbf_->RecordLength() + 1));
  dbf_->StoreRecord(buffer.image);
  return true;
}

// --- Counts and positions -------------------------------------------------------------------------------

std::int64_t TDbfDataSet::GetRecordCount() {
  CheckActive();
  if (!ExactCount) return dbf_->RecordCount();
  UpdateCursorPos();
  const std::int64_t remembered = dbf_->RecNo();
  std::int64_t count = 0;
  dbf_->GetRecord(dbp::First);
  while (!dbf_->Eof() && !dbf_->Bof() && dbf_->RecNo() > 0) {
    ++count;
    const std::int64_t before = dbf_->RecNo();
    dbf_->GetRecord(dbp::Next);
    if (dbf_->RecNo() == before && !dbf_->Eof()) break;
  }
  if (remembered > 0 && remembered <= dbf_->RecordCount()) dbf_->GetRecord(remembered);
  CursorMoved();
  return count;
}

std::int64_t TDbfDataSet::GetRecNo() {
  CheckActive();
  TRecordBuffer* b = ActiveBuffer();
  return b ? Buf(*b).recNo : 0;
}

void TDbfDataSet::SetRecNoValue(std::int64_t n) {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(AnsiString(std::to_string(n)));
  Resync(true);
  DoAfterScroll();
}

// --- Editing ---------------------------------------------------------------------------------------------

void TDbfDataSet::InternalInitRecord(TRecordBuffer& buffer) {
  TDbfRecordBuffer& b = Buf(buffer);
  std::vector<char>& own = dbf_->OwnRecord();
  const std::vector<char> current = own;
  dbf_->BlankRecord();
  dbf_->StoreRecord(b.image);
  // Outside edit state the blank record becomes the saved copy as well; the handler's
  // own record stays as it was.
  own = current;
  b.recNo = 0;
  FillBookmark(b, 0);
  editMemos_.clear();
}

namespace {
// Releases the record lock of a post, delete or recall on every path.
struct RecordUnlock {
  DBFObject& table;
  ~RecordUnlock() { table.Unlock(); }
};
}  // namespace

void TDbfDataSet::LockAndReread(std::int64_t recNo) {
  dbf_->RereadRecord(recNo);
  if (!dbf_->LockRecord()) DatabaseError("Record is locked by another user");
  // Under the lock, the record as it stands in the file now: the change starts from what
  // other users posted since the buffer was read.
  dbf_->RereadRecord(recNo);
}

void TDbfDataSet::InternalEdit() {
  TRecordBuffer* b = ActiveBuffer();
  if (!b) return;
  LockAndReread(Buf(*b).recNo);
  dbf_->StoreRecord(Buf(*b).image);
  editMemos_.clear();
  editing_ = true;
}

void TDbfDataSet::InternalPost() {
  TDbfRecordBuffer& b = Buf(*ActiveBuffer());
  dbf_->LoadRecord(b.image);
  if (State() == TDataSetState::dsEdit) {
    // The record stays locked from the edit until a post that succeeds (or a cancel): after
    // a failed post the dataset is still in edit, and another user's change made meanwhile
    // would be written over by the post tried again.
    dbf_->PutRecord(b.recNo);
    dbf_->Unlock();
  } else {
    RecordUnlock unlock{*dbf_};
    dbf_->Append();
  }
  EndEditMemos(true);
  editing_ = firstPending_ = lastPending_ = false;
}

void TDbfDataSet::InternalCancel() {
  if (dbf_) {
    EndEditMemos(false);
    dbf_->Unlock();
  }
  editing_ = false;
}

namespace {
// The memo block a memo field of the handler's record names (0 for a damaged number).
std::uint32_t MemoBlockOf(DBFObject& table, std::int64_t field) {
  try {
    const double block = std::round(table.NumberGet(field));
    return block >= 1 && block <= 4294967295.0 ? static_cast<std::uint32_t>(block) : 0;
  } catch (const EDbfError&) {
    return 0;
  }
}
}  // namespace

void TDbfDataSet::WriteEditMemo(std::int64_t field, const AnsiString& bytes) {
  auto it = std::find_if(editMemos_.begin(), editMemos_.end(), [&](const TEditMemo& m) { return m.field == field; });
  if (it == editMemos_.end()) {
    // The first text of the edit: never written over the record's memo, nor in its blocks.
    const std::uint32_t original = MemoBlockOf(*dbf_, field);
    editMemos_.push_back({field, original, original});
    it = editMemos_.end() - 1;
    if (original != 0) dbf_->NumberPut(field, 0);
  }
  dbf_->MemoWrite(field, bytes.data(), static_cast<std::int64_t>(bytes.size()));
  it->written = MemoBlockOf(*dbf_, field);
}

void TDbfDataSet::EndEditMemos(bool posted) {
  std::vector<TEditMemo> memos;
  memos.swap(editMemos_);
  DBobjMemo* memo = nullptr;
  for (const TEditMemo& m : memos) {
    const std::uint32_t unused = posted ? m.original : m.written;
    if (unused == 0 || m.original == m.written) continue;
    // Blocks left unfreed stay unused: no record lost anything.
    try {
      if (!memo) memo = dbf_->OpenMemo();
      if (memo) memo->FreeMemo(unused);
    } catch (const EDbfError&) {
    }
  }
}

void TDbfDataSet::SetDeletionFlag(std::int64_t recNo, bool deleted) {
  LockAndReread(recNo);
  RecordUnlock unlock{*dbf_};
  dbf_->ShowDeleted = true;
  try {
    if (deleted) dbf_->Delete();
    else dbf_->Undelete();
  } catch (const EDbfError&) {
    dbf_->ShowDeleted = useDeleted_;
    DatabaseError(deleted ? "Cannot delete the record" : "Cannot recall the record");
  }
  dbf_->ShowDeleted = useDeleted_;
}

void TDbfDataSet::InternalDelete() {
  TRecordBuffer* b = ActiveBuffer();
  if (!b) return;
  SetDeletionFlag(Buf(*b).recNo, true);
  // On to the next visible record; from the last one back to the one before.
  dbf_->GetRecord(dbp::Current);
  if (dbf_->Eof()) dbf_->GetRecord(dbp::Previous);
  firstPending_ = lastPending_ = false;
}

void TDbfDataSet::RecallRecord() {
  CheckActive();
  TRecordBuffer* b = ActiveBuffer();
  if (!b) DatabaseError("Cannot recall the record");
  UpdateCursorPos();
  SetDeletionFlag(Buf(*b).recNo, false);
  dbf_->StoreRecord(Buf(*b).image);
}

void TDbfDataSet::Pack() {
  CheckBrowseMode();
  dbf_->AllowReadAhead(false);
  dbf_->Pack();
  firstPending_ = lastPending_ = false;
  CursorMoved();
  Resync(false);
}

// --- Field data ----------------------------------------------------------------------------------------

std::vector<char>* TDbfDataSet::ActiveImage() {
  if (!dbf_) return nullptr;
  switch (State()) {
    case TDataSetState::dsFilter:
      return &dbf_->OwnRecord();
    case TDataSetState::dsCalcFields:
      return nullptr;
    case TDataSetState::dsOldValue:
      if (editing_) return nullptr;
      break;
    default:
      break;
  }
  TRecordBuffer* b = ActiveBuffer();
  return b ? &Buf(*b).image : nullptr;
}

const char* TDbfDataSet::FieldRecord(const TField& field) {
  std::vector<char>* image = ActiveImage();
  return image && field.FieldNo() > 0 ? image->data() : nullptr;
}

bool TDbfDataSet::GetFieldData(const TField& field, Variant& value) {
  // Fields are read in the buffer's own image: no copy into the handler's record.
  const char* rec = FieldRecord(field);
  if (!rec) return false;
  DBFObject& t = *dbf_;
  const std::int64_t n = field.FieldNo();
  switch (field.DataType()) {
    case TFieldType::ftString: {
      AnsiString text;
      t.DisplayTextIn(rec, n, text);
      if (text.empty()) return false;
      value = Variant(std::move(text));
      return true;
    }
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger: {
      const double d = std::nearbyint(t.NumberGetIn(rec, n));
      const double limit = field.DataType() == TFieldType::ftSmallint ? 32768.0 : 2147483648.0;
      if (!(d >= -limit && d < limit)) RangeCheckError();
      value = Variant(static_cast<std::int32_t>(Round(d)));
      return true;
    }
    case TFieldType::ftBoolean:
      value = Variant(t.LogicGetIn(rec, n));
      return true;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
      value = Variant(t.NumberGetIn(rec, n));
      return true;
    case TFieldType::ftDate: {
      const std::string_view stored = t.FieldViewIn(rec, n);
      if (stored.size() == 8) {  // eight digits, the usual case, without copies
        int v[8], k = 0;
        for (; k < 8 && stored[k] >= '0' && stored[k] <= '9'; ++k) v[k] = stored[k] - '0';
        if (k == 8) {
          TDateTime day = 0;
          if (stored == "00000000" ||
              !TryEncodeDate(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7], day))
            return false;
          value = Variant::FromDate(day);
          return true;
        }
      }
      const AnsiString text = TrimRight(stored);
      if (text.size() != 8 || text == "00000000") return false;
      std::int32_t y = 0, m = 0, d = 0;
      if (!TryStrToInt(text.substr(0, 4), y) || !TryStrToInt(text.substr(4, 2), m) ||
          !TryStrToInt(text.substr(6, 2), d))
        return false;
      TDateTime day = 0;
      if (!TryEncodeDate(y, m, d, day)) return false;
      value = Variant::FromDate(day);
      return true;
    }
    case TFieldType::ftDateTime: {
      const double ms = t.NumberGetIn(rec, n);
      if (ms == 0) return false;  // the blank date-time
      value = Variant::FromDate(ms / kMsPerDay + kDayOneDateTime);
      return true;
    }
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
      return t.NumberGetIn(rec, n) != 0;
    default:
      return false;
  }
}

bool TDbfDataSet::GetFieldText(const TField& field, AnsiString& text) {
  const char* rec = FieldRecord(field);
  const auto n = static_cast<std::size_t>(field.FieldNo());
  if (!rec || n >= places_.size()) return false;
  // The field's bytes are read where they lie, as the handler reads them; each kind of
  // field by a short reader of its own.
  const TFieldPlace& place = places_[n];
  const char* p = rec + place.offset;
  switch (field.DataType()) {
    case TFieldType::ftString:
      return place.type == 'C' && StringText(p, place.length, field.Transliterate && TranslateASCII, text);
    case TFieldType::ftSmallint:
      return !place.rawNumber && PlainNumberText(dbtext::TrimmedText(p, place.length), true, 32768, text);
    case TFieldType::ftInteger:
      return !place.rawNumber && PlainNumberText(dbtext::TrimmedText(p, place.length), true, 2147483648, text);
    case TFieldType::ftFloat:
      return !place.rawNumber && PlainNumberText(dbtext::TrimmedText(p, place.length), false, 0, text);
    case TFieldType::ftBoolean:
      // One byte: true when it is one of the true letters (as the handler reads it).
      if (place.length != 1) return false;
      text.assign(kTrueLetters.find(*p) != std::string_view::npos ? "True" : "False");
      return true;
    case TFieldType::ftDate:
      return place.length == 8 && DateText(p, text);
    default:
      return false;
  }
}

void TDbfDataSet::SetFieldData(TField& field, const Variant& value) {
  const TDataSetState st = State();
  if (!IsWriteState(st) && st != TDataSetState::dsFilter && st != TDataSetState::dsNewValue &&
      st != TDataSetState::dsInternalCalc)
    DatabaseError(dbmsg::NotEditing);
  std::vector<char>* image = ActiveImage();
  if (!image || field.FieldNo() <= 0) return;
  DBFObject& t = *dbf_;
  t.LoadRecord(*image);
  const std::int64_t n = field.FieldNo();
  const bool null = value.IsNull() || value.IsEmpty();
  switch (field.DataType()) {
    case TFieldType::ftString:
      t.TextPut(n, null ? AnsiString() : value.AsString());
      break;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
      t.NumberPut(n, null ? 0 : value.AsInteger());
      break;
    case TFieldType::ftBoolean:
      t.LogicPut(n, null ? false : value.AsBoolean());
      break;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
      t.NumberPut(n, null ? 0 : value.AsDouble());
      break;
    case TFieldType::ftDateTime:
      t.NumberPut(n, null ? 0 : std::round((value.AsDate() - kDayOneDateTime) * kMsPerDay));
      break;
    case TFieldType::ftDate: {
      AnsiString text = "        ";
      if (!null) {
        // Only a day of the calendar converts; never an out-of-range double to an integer.
        const double day = std::floor(value.AsDate());
        const AnsiString formatted =
            std::fabs(day) < 1e7 ? FormatDayNumber("yyyymmdd", static_cast<std::int64_t>(day)) : AnsiString();
        if (formatted.size() == 8) text = formatted;
      }
      t.FieldPut(n, text);
      break;
    }
    default:
      return;  // blobs and memos are written through their stream
  }
  t.StoreRecord(*image);
}

// --- Filters ---------------------------------------------------------------------------------------------

bool TDbfDataSet::RecordAccepted() {
  if (!dbf_ || !Filtered() || !OnFilterRecord) return true;
  return FilterRecordAccepted();
}

void TDbfDataSet::ApplyFilter() {
  if (Filter().empty()) {
    dbf_->SetFilterActive(false);
    return;
  }
  dbf_->SetFilterActive(true);
  // The literals of the expression are compared with the table's own bytes.
  dbf_->SetFilter(ToTable(Filter()), (FilterOptions() & foCaseInsensitive) != 0,
                  (FilterOptions() & foNoPartialCompare) == 0);
}

void TDbfDataSet::ReapplyFilter(const std::function<void()>& restore) {
  if (!dbf_ || !Filtered()) return;
  try {
    CheckBrowseMode();
    ApplyFilter();
  } catch (...) {
    // The old text and options go back into force in the handler too, which the
    // refused ones have already replaced there.
    restore();
    try {
      ApplyFilter();
    } catch (...) {
    }
    throw;
  }
  First();
}

void TDbfDataSet::SetFilterText(std::string_view text) {
  const AnsiString old = Filter();
  TDataSet::SetFilterText(text);
  ReapplyFilter([&] { TDataSet::SetFilterText(old); });
}

void TDbfDataSet::SetFilterOptions(TFilterOptions options) {
  const TFilterOptions old = FilterOptions();
  TDataSet::SetFilterOptions(options);
  ReapplyFilter([&] { TDataSet::SetFilterOptions(old); });
}

void TDbfDataSet::SetFiltered(bool on) {
  if (!dbf_) return TDataSet::SetFiltered(on);
  CheckBrowseMode();
  if (on != Filtered()) {
    TDataSet::SetFiltered(on);
    dbf_->SetFilterActive(on);
    if (on) {
      try {
        ApplyFilter();
      } catch (...) {
        TDataSet::SetFiltered(false);
        dbf_->SetFilterActive(false);
        First();
        throw;
      }
    }
  }
  First();
}

// --- Searches ---------------------------------------------------------------------------------------------

std::int64_t TDbfDataSet::SearchRecord(std::string_view text, std::int64_t& fieldNumber,
                                       std::int64_t stopRecord, std::int64_t& foundRecord) {
  CheckBrowseMode();
  DisableControls();
  struct Enable {
    TDataSet& d;
    ~Enable() { d.EnableControls(); }
  } enable{*this};
  DoBeforeScroll();
  UpdateCursorPos();
  const std::int64_t result = dbf_->SearchField(text, fieldNumber, stopRecord, foundRecord);
  CursorMoved();
  if (result != 0) {
    firstPending_ = lastPending_ = false;
    Resync(true);
    DoAfterScroll();
  }
  return result;
}

bool TDbfDataSet::Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) {
  CheckActive();
  if (dbf_->RecordCount() == 0) return false;
  CheckBrowseMode();
  AnsiString text = ToTable(VarToStr(keyValues));
  if (bool found = false; LocateByTag(keyFields, text, options, found)) return found;
  // Only records the dataset shows are searched.
  std::uint16_t flags = dbs::Anchored | dbs::Exact | dbs::KeepState;
  if (options & loPartialKey) {
    flags = dbs::Anchored | dbs::Wildcards | dbs::KeepState;
    text += '*';
  }
  if (options & loCaseInsensitive) flags |= dbs::Caseless;
  std::int64_t fieldNumber = dbf_->FieldNumber(ToTable(keyFields));
  std::int64_t found = 0;
  dbf_->SearchFlags = flags;
  return SearchRecord(text, fieldNumber, 0, found) != 0;
}

Variant TDbfDataSet::Lookup(std::string_view keyFields, const Variant& keyValues,
                            std::string_view resultFields) {
  CheckActive();
  if (dbf_->RecordCount() == 0) return Variant::Null();
  CheckBrowseMode();
  UpdateCursorPos();
  const std::int64_t remembered = dbf_->RecNo();
  const AnsiString text = ToTable(VarToStr(keyValues));
  if (Variant byTag; LookupByTag(keyFields, text, resultFields, byTag)) return byTag;
  std::int64_t fieldNumber = dbf_->FieldNumber(ToTable(keyFields));
  std::int64_t found = 0;
  dbf_->SearchFlags = dbs::Anchored | dbs::Wildcards | dbs::KeepState;
  Variant result = Variant::Null();
  if (dbf_->SearchField(text, fieldNumber, 0, found) != 0) {
    result = Variant(FromTable(dbf_->DisplayTextByName(ToTable(resultFields))));
    if (remembered > 0) dbf_->GetRecord(remembered);
  }
  CursorMoved();
  return result;
}

// --- Blob streams ----------------------------------------------------------------------------------------

std::unique_ptr<TStream> TDbfDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  return std::make_unique<THCBlobStream>(field, mode);
}

THCBlobStream::THCBlobStream(TField& field, TBlobStreamMode mode)
    : field_(field), dataSet_(static_cast<TDbfDataSet&>(field.DataSet())), fieldNo_(field.FieldNo()) {
  if (!dataSet_.ActiveImage()) DatabaseError(dbmsg::NotEditing);
  if (mode != TBlobStreamMode::bmRead) {
    if (field.ReadOnly) DatabaseError(Format(dbmsg::FieldReadOnly, {field.FieldName()}));
    if (!IsWriteState(dataSet_.State())) DatabaseError(dbmsg::NotEditing);
  }
  if (mode == TBlobStreamMode::bmWrite) {
    modified_ = true;
    return;
  }
  DBFObject& t = *dataSet_.dbf_;
  t.LoadRecord(*dataSet_.ActiveImage());
  if (t.MemoSize(fieldNo_) > 0) {
    content_ = t.MemoRead(fieldNo_);
    if (field.Transliterate) content_ = dataSet_.Translate(content_, false);
  }
}

THCBlobStream::~THCBlobStream() {
  if (!modified_ || !IsWriteState(dataSet_.State())) return;
  try {
    std::vector<char>* image = dataSet_.ActiveImage();
    if (!image) return;
    const AnsiString bytes = field_.Transliterate ? dataSet_.Translate(content_, true) : content_;
    DBFObject& t = *dataSet_.dbf_;
    t.LoadRecord(*image);
    // No content is an empty memo (never one zero byte, which every reader would show).
    dataSet_.WriteEditMemo(fieldNo_, bytes);
    t.StoreRecord(*image);
    dataSet_.FieldChanged(field_);
  } catch (const std::exception& e) {
    HandleApplicationException(e);
  }
}

std::int64_t THCBlobStream::Read(void* buffer, std::int64_t count) {
  const std::int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  const std::int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, content_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int64_t THCBlobStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  // A write cuts off what followed; a gap before the position reads as zero bytes.
  content_.resize(static_cast<std::size_t>(position_), '\0');
  content_.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
  position_ = Size();
  modified_ = true;
  return count;
}

std::int64_t THCBlobStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position_;
  if (origin == TSeekOrigin::soEnd) base = Size();
  position_ = std::max<std::int64_t>(0, base + offset);
  return position_;
}

void THCBlobStream::SetSize(std::int64_t size) {
  content_.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, size)), '\0');
  position_ = std::min(position_, Size());
  modified_ = true;
}
