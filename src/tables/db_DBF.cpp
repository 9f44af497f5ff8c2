#include "tables/db_DBF.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/core/DateTime.h"
#include "platform/core/FlagScope.h"
#include "tables/db_eror.h"
#include "tables/db_tool.h"

namespace {

bool KnownVersion(std::uint8_t v) { return v == 0x03 || v == 0x30 || v == 0x83 || v == 0x8B || v == 0xF5; }

// The smallest header of a version: the header, the terminator and, for 0x30, the trailer.
std::int64_t MinimalHeader(std::uint8_t version) { return version == 0x30 ? 296 : 33; }

// Width of the types that version-0x30 tables store as raw numbers; 0 for text types.
std::int32_t RawWidth(std::uint8_t version, char type) {
  if (version != 0x30) return 0;
  switch (type) {
    case 'B':
    case 'T':
    case 'Y':
      return 8;
    case 'G':
    case 'I':
    case 'M':
      return 4;
    default:
      return 0;
  }
}

// Releases a lock taken for one operation on every path out of it.
class UnlockGuard {
 public:
  explicit UnlockGuard(DBO_DiskFile& f, bool locked) : file_(f), locked_(locked) {}
  ~UnlockGuard() {
    if (locked_) file_.Unlock();
  }

 private:
  DBO_DiskFile& file_;
  bool locked_;
};

}  // namespace

DBO_dBaseDBF::DBO_dBaseDBF(std::string_view fileName, bool shared, bool readWrite)
    : DBO_DiskFile(AddDefaultExt(Trim(fileName), ".DBF"), shared, readWrite) {
  SetLockProtocol(TdbLokProtocol::Default);
  SetCollation(0, nullptr, 0);
  Open();
  ReadAndCheckHeader();
  record_.assign(static_cast<std::size_t>(recordLength_ + 1), ' ');
  record_.back() = 0x1A;
  saved_.assign(static_cast<std::size_t>(recordLength_ + 1), ' ');
  changes_.assign(fields_.size() + 1, 0);
  current_ = 0;
  eof_ = false;
  bof_ = true;
  headerDirty_ = false;
  RefreshHeader();
  openToAnnounce_ = true;  // passed to the handler of the finished object (Announce)
}

DBO_dBaseDBF::~DBO_dBaseDBF() {
  try {
    DBO_dBaseDBF::Close();
  } catch (...) {
  }
}

void DBO_dBaseDBF::RaiseHeaderError(std::int32_t code) {
  if (code == 0) code = dbe::BadHeader;
  SetDbfLastError(code);
  Error(code, dbe::SubHeader, FileName());
}

void DBO_dBaseDBF::ReadAndCheckHeader() {
  // Until the header has passed every check, the table has no fields and a record of one byte.
  headerLength_ = 0;
  recordLength_ = 1;
  recordCount_ = 0;
  fields_.clear();
  if (IsClosed()) return;
  ReadAt(0, header_.data(), 32);
  if (ErrorCode() != 0) return RaiseHeaderError(ErrorCode());
  const std::uint8_t version = header_[0];
  if (!KnownVersion(version)) return RaiseHeaderError();
  const std::int64_t headerLength = GetLE16(header_.data() + 8), recordLength = GetLE16(header_.data() + 10);
  const std::int64_t size = FileSize();
  // No division by zero, no negative field count, no header beyond the file.
  if (recordLength == 0 || headerLength < MinimalHeader(version) || headerLength > size) return RaiseHeaderError();
  std::int64_t count = (headerLength - MinimalHeader(version)) / 32;
  if (count > kMaxFields) return RaiseHeaderError();
  // The descriptors and their terminator, which must stand where the header length
  // puts it: a header whose length, descriptors and record length disagree is refused,
  // never shown with misplaced fields. Other programs may pad the header after the
  // terminator with zero bytes (a FoxPro table with the 263-byte area of the 0x30
  // layout): the descriptors then end earlier, and the padding must be all zeros, which
  // a header length pointing into the records never is (every record starts with a
  // blank or "*").
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(headerLength - 32));
  ReadAt(32, raw.data(), headerLength - 32);
  if (ErrorCode() != 0) return RaiseHeaderError(ErrorCode());
  if (raw[static_cast<std::size_t>(count * 32)] != 0x0D && version != 0x30) {
    std::int64_t end = 0;
    while (end < count && raw[static_cast<std::size_t>(end * 32)] != 0x0D) ++end;
    if (end == count || std::any_of(raw.begin() + end * 32 + 1, raw.end(), [](std::uint8_t b) { return b != 0; }))
      return RaiseHeaderError();
    count = end;
  }
  if (raw[static_cast<std::size_t>(count * 32)] != 0x0D) return RaiseHeaderError();
  std::vector<TdbFieldDesc> fields;
  std::int64_t offset = 1;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint8_t* d = raw.data() + i * 32;
    if (d[0] == 0x0D || d[0] == 0) return RaiseHeaderError();  // fewer descriptors than the length says
    TdbFieldDesc f;
    std::memcpy(f.raw.data(), d, 32);
    std::size_t nameLength = 0;
    while (nameLength < 11 && d[nameLength] != 0) ++nameLength;
    f.name.assign(reinterpret_cast<const char*>(d), nameLength);
    f.type = static_cast<char>(d[11]);
    f.length = d[16] + (f.type == 'C' ? 256 * d[17] : 0);
    f.decimals = f.type == 'C' ? 0 : d[17];
    f.offset = offset;
    f.number = static_cast<std::int32_t>(i + 1);
    f.rawNumber = RawWidth(version, f.type) > 0;
    PutLE32(f.raw.data() + 12, static_cast<std::uint32_t>(offset));
    PutLE16(f.raw.data() + 26, static_cast<std::uint16_t>(f.number));
    offset += f.length;
    // Every field lies within the record; raw numbers have their full width.
    if (offset > recordLength || f.length < RawWidth(version, f.type)) return RaiseHeaderError();
    fields.push_back(std::move(f));
  }
  if (offset != recordLength) return RaiseHeaderError();  // the fields fill the record exactly
  headerLength_ = headerLength;
  recordLength_ = recordLength;
  stamp_ = GetLE32(header_.data() + 16);
  fields_ = std::move(fields);
  recordCount_ = CountFromSize();
}

std::int64_t DBO_dBaseDBF::CountFromSize() {
  if (headerLength_ == 0) return 0;
  const std::int64_t size = FileSize();
  return size < headerLength_ ? 0 : (size - headerLength_) / recordLength_;
}

std::int64_t DBO_dBaseDBF::RecordOffset(std::int64_t n) const {
  const std::int64_t offset = CheckedAdd(headerLength_, CheckedMul(n - 1, recordLength_));
  CheckOffset32(CheckedAdd(offset, recordLength_));
  return offset;
}

bool DBO_dBaseDBF::HasMemoFile() const {
  switch (header_[0]) {
    case 0x83:
    case 0x8B:
    case 0xF5:
      return true;
    case 0x30:
      // The flag, or a memo or general field: other programs write such tables without
      // the flag, and their memos must not read as empty.
      return (header_[28] & 0x02) != 0 ||
             std::any_of(fields_.begin(), fields_.end(), [](const TdbFieldDesc& f) { return f.type == 'M' || f.type == 'G'; });
    default:
      return false;
  }
}

DBobjMemo* DBO_dBaseDBF::OpenMemo() {
  if (memo_) return memo_.get();
  if (!HasMemoFile() || IsClosed()) return nullptr;
  std::unique_ptr<DBobjMemo> memo = MakeMemo(this, Version(), FileName(), IsShared(), IsReadWrite());
  if (memo->IsClosed()) return nullptr;
  memo->SetLockProtocol(protocol_);
  memo_ = std::move(memo);
  return memo_.get();
}

void DBO_dBaseDBF::SetCollation(std::int32_t a, const std::uint8_t* table, std::int32_t b) {
  collationA_ = a;
  collationTable_ = table;
  collationB_ = b;
}

void DBO_dBaseDBF::SetLockProtocol(TdbLokProtocol protocol) {
  protocol_ = protocol;
  lockValues_ = LockValuesOf(protocol);
  if (memo_) memo_->SetLockProtocol(protocol);
}

void DBO_dBaseDBF::Announce(int code, std::int64_t value) {
  if (openToAnnounce_) {
    openToAnnounce_ = false;
    Notify(dbn::Opened, 0);
  }
  Notify(code, value);
}

void DBO_dBaseDBF::Notify(int code, std::int64_t) {
  if (code == dbn::FieldStored) recordChanged_ = true;
  if (code == dbn::AfterRead || code == dbn::AfterWrite) recordChanged_ = false;
}

void DBO_dBaseDBF::RefreshHeader() {
  if (!IsShared()) {
    // Nobody outside the process writes; another object of the process on the same file,
    // which shares its descriptor, may have appended (counted only then: the size costs a
    // system call on every write).
    changedByOther_ = false;
    if (OthersWroteSince(countedWrites_)) recordCount_ = CountFromSize();
    return;
  }
  std::array<std::uint8_t, 32> h{};
  ReadAt(0, h.data(), 32);
  const std::int64_t count = CountFromSize();
  const std::uint32_t stamp = GetLE32(h.data() + 16);
  if (count != recordCount_ || stamp != stamp_) changedByOther_ = true;
  recordCount_ = count;
  stamp_ = stamp;
}

void DBO_dBaseDBF::WriteHeader() {
  if (!IsReadWrite() || !headerDirty_ || tableLockHeld_ || IsClosed()) return;
  const TTimeParts t = NowTimeParts();
  const std::uint32_t stamp =
      static_cast<std::uint32_t>(((t.Hour * 64 + t.Minute) * 64 + t.Second) * 1024 + t.MSec);
  TDateParts d;
  TryDecodeDate(TodayDayNumber(), d);
  header_[1] = static_cast<std::uint8_t>(d.Year % 100);
  header_[2] = static_cast<std::uint8_t>(d.Month);
  header_[3] = static_cast<std::uint8_t>(d.Day);
  PutLE32(header_.data() + 4, CheckOffset32(recordCount_));
  PutLE32(header_.data() + 16, stamp);
  PutLE32(header_.data() + 20, userId_);
  header_[28] &= 0x07;
  if (!IsShared() || countGuarded_) {
    WriteAt(0, header_.data(), 32);
  } else {
    // Another user may have appended since this one last counted, and other programs
    // read the count from the header: it is left as that user's append wrote it.
    WriteAt(0, header_.data(), 4);
    if (ErrorCode() == 0) WriteAt(16, header_.data() + 16, 16);
  }
  stamp_ = stamp;
  headerDirty_ = false;
}

void DBO_dBaseDBF::GetRecord(std::int64_t code) {
  if (recordCount_ == 0) {
    RefreshHeader();
    if (recordCount_ == 0) {
      eof_ = bof_ = true;
      return;
    }
  }
  if (code == 0) return;
  eof_ = bof_ = false;
  std::int64_t target;
  switch (code) {
    case dbp::Current:
      target = current_;
      break;
    case dbp::Last:
      target = recordCount_;
      break;
    case dbp::First:
      target = 1;
      break;
    case dbp::Previous:
      target = current_ - 1;
      break;
    case dbp::Next:
      target = current_ + 1;
      break;
    default:
      if (code < 0) {
        SetDbfLastError(dbe::BeyondEof);
        return Error(dbe::BeyondEof, dbe::SubRecord, FileName());
      }
      target = code;
  }
  if (target < 1) {  // a step back from the first record (or from none)
    bof_ = true;
    return;
  }
  if (target > recordCount_) {
    RefreshHeader();
    if (target > recordCount_) {
      if (target == recordCount_ + 1) {
        eof_ = true;
        return;
      }
      SetDbfLastError(dbe::BeyondEof);
      return Error(dbe::BeyondEof, dbe::SubRecord, FileName());
    }
  }
  Announce(dbn::BeforeRead, code);
  ReadAt(RecordOffset(target), record_.data(), recordLength_);
  if (ErrorCode() != 0) {
    SetDbfLastError(ErrorCode());
    return Error(ErrorCode(), dbe::SubRecord, FileName());
  }
  current_ = target;
  Announce(dbn::AfterRead, target);
  // The copy serves the index upkeep of a rewrite: a table open for reading needs none.
  if (IsReadWrite()) saved_ = record_;
}

void DBO_dBaseDBF::Append() {
  // A refused append lock stops the append: two processes would otherwise write their
  // records at the same offset.
  bool locked = false;
  // A lock this object holds (a record it edits) is no other user's: the append byte is
  // then taken beside it.
  const std::uint32_t appendByte = lockValues_.recordBase;
  const bool beside = IsShared() && LockCount() > 0 && !(LockOffset() == appendByte && LockLength() == 1);
  if (!tableLockHeld_) {
    const TdbLockTiming& t = LockTiming();
    const int attempts = IsShared() && t.intervalMs > 0 ? std::max(1, t.timeoutMs / t.intervalMs) : 1;
    for (int i = 0; i < attempts && !locked; ++i) {
      locked = beside ? LockBeside(appendByte, 1) : LockAppend();
      if (!locked && ErrorCode() == dbe::LockViolation && i + 1 < attempts)
        std::this_thread::sleep_for(std::chrono::milliseconds(t.intervalMs));
      else if (!locked)
        break;
    }
    if (!locked) {
      SetDbfLastError(dbe::LockViolation);
      return Error(dbe::LockViolation, dbe::SubWrite, FileName());
    }
  }
  UnlockGuard guard(*this, locked && !beside);
  struct BesideGuard {
    DBO_DiskFile& file;
    bool held;
    std::uint32_t offset;
    ~BesideGuard() {
      if (held) file.UnlockBeside(offset, 1);
    }
  } besideGuard{*this, locked && beside, appendByte};
  TRestore<bool> counting(countGuarded_, true);
  Announce(dbn::BeforeWrite, 0);
  const bool headerDirty = headerDirty_;
  headerDirty_ = true;
  RefreshHeader();
  record_[0] = ' ';
  const std::int64_t count = CheckedAdd(recordCount_, 1);
  const std::int64_t offset = RecordOffset(count);
  CheckOffset32(CheckedAdd(offset, recordLength_ + 1));
  WriteUndo undo = KeepForUndo(offset, recordLength_ + 1, true);
  undo.headerDirty = headerDirty;
  try {
    WriteAt(offset, record_.data(), recordLength_ + 1);
    if (ErrorCode() != 0) return TakeBack(undo);
    recordCount_ = count;
    current_ = count;
    WriteHeader();
    eof_ = bof_ = false;
    Announce(dbn::AfterWrite, 0);
  } catch (...) {
    TakeBack(undo);
    throw;
  }
  saved_ = record_;
}

void DBO_dBaseDBF::PutRecord(std::int64_t n) {
  Announce(dbn::BeforeWrite, n);
  if (n <= 0 || n > recordCount_) return Append();
  WriteUndo undo = KeepForUndo(RecordOffset(n), recordLength_, false);
  headerDirty_ = true;
  try {
    WriteAt(RecordOffset(n), record_.data(), recordLength_);
    if (ErrorCode() != 0) return TakeBack(undo);
    current_ = n;
    recordWritten_ = true;
    RefreshHeader();
    WriteHeader();
    Announce(dbn::AfterWrite, n);
  } catch (...) {
    TakeBack(undo);
    throw;
  }
  saved_ = record_;
}

DBO_dBaseDBF::WriteUndo DBO_dBaseDBF::KeepForUndo(std::int64_t offset, std::int64_t length, bool append) {
  WriteUndo u;
  u.offset = offset;
  u.append = append;
  u.size = DBO_DiskFile::FileSize();
  u.bytes.resize(static_cast<std::size_t>(std::clamp<std::int64_t>(u.size - offset, 0, length)));
  u.bytes.resize(static_cast<std::size_t>(
      std::max<std::int64_t>(DBO_DiskFile::ReadAt(offset, u.bytes.data(), std::ssize(u.bytes)), 0)));
  if (append) {
    u.diskHeader.resize(32);
    u.diskHeader.resize(static_cast<std::size_t>(std::max<std::int64_t>(DBO_DiskFile::ReadAt(0, u.diskHeader.data(), 32), 0)));
  }
  u.header = header_;
  u.count = recordCount_;
  u.current = current_;
  u.stamp = stamp_;
  u.headerDirty = headerDirty_;
  u.eof = eof_;
  u.bof = bof_;
  u.written = recordWritten_;
  return u;
}

void DBO_dBaseDBF::TakeBack(const WriteUndo& u) {
  // Best effort: the failure that led here is the one to report.
  const std::int32_t code = ErrorCode();
  try {
    if (!u.bytes.empty()) WriteAt(u.offset, u.bytes.data(), std::ssize(u.bytes));
    if (u.append) {
      // Only an append, which holds the append lock, may cut the file back.
      if (!u.diskHeader.empty()) WriteAt(0, u.diskHeader.data(), std::ssize(u.diskHeader));
      if (DBO_DiskFile::FileSize() > u.size) ShrinkTo(u.size);
    }
  } catch (const EDbfError&) {
  }
  header_ = u.header;
  recordCount_ = u.count;
  current_ = u.current;
  stamp_ = u.stamp;
  headerDirty_ = u.headerDirty;
  eof_ = u.eof;
  bof_ = u.bof;
  recordWritten_ = u.written;
  SetErrorCode(code);
}

bool DBO_dBaseDBF::LockAppend() {
  if (tableLockHeld_) return true;
  return LockRegion(lockValues_.recordBase, 1);
}

bool DBO_dBaseDBF::LockTable() {
  if (tableLockHeld_) return true;
  if (!LockRegion(lockValues_.tableOffset, lockValues_.tableLength)) return false;
  tableLockHeld_ = true;
  RefreshHeader();
  return true;
}

bool DBO_dBaseDBF::LockAll() {
  if (tableLockHeld_) return true;
  if (!LockRegion(0, lockValues_.tableLength)) return false;
  tableLockHeld_ = true;
  RefreshHeader();
  return true;
}

bool DBO_dBaseDBF::LockRecord() {
  if (tableLockHeld_) return true;
  const std::int64_t r = current_;
  if (r <= 0) {
    SetErrorCode(dbe::BeyondEof);
    return false;
  }
  const std::int64_t base = lockValues_.recordBase;
  std::int64_t offset;
  switch (protocol_) {
    case TdbLokProtocol::DB4Lock:
      offset = base - r - 1;
      break;
    case TdbLokProtocol::ClipLock:
      offset = CheckedAdd(base, r);
      break;
    default:
      offset = HasIndex() ? base - r : CheckedAdd(0x40000000LL, RecordOffset(r));
      break;
  }
  return LockRegion(CheckOffset32(offset), 1);
}

bool DBO_dBaseDBF::UnlockTable() {
  const bool wasHeld = tableLockHeld_;
  if (wasHeld && LockCount() == 1) {
    // The header that waited for the end of the table lock, written while the lock still
    // keeps other users' appends out, so that its count is true.
    tableLockHeld_ = false;
    try {
      TRestore<bool> counting(countGuarded_, true);
      RefreshHeader();
      WriteHeader();
    } catch (...) {
      Unlock();
      throw;
    }
    return Unlock();
  }
  const bool ok = Unlock();
  tableLockHeld_ = wasHeld && LockCount() > 0;
  return ok;
}

bool DBO_dBaseDBF::Close() {
  if (IsClosed()) return true;
  if (headerDirty_) {
    // A table lock still held keeps other users' appends out until the file is closed.
    TRestore<bool> counting(countGuarded_, tableLockHeld_);
    tableLockHeld_ = false;
    RefreshHeader();
    WriteHeader();
  }
  memo_.reset();
  return DBO_DiskFile::Close();
}

void DBO_dBaseDBF::ReopenReplaced() {
  memo_.reset();
  DBO_DiskFile::Close();
  DBO_DiskFile::Open();
  ReadAndCheckHeader();
  current_ = 0;
  eof_ = false;
  bof_ = true;
  headerDirty_ = false;
  RefreshHeader();
}

void DBO_dBaseDBF::Flush() {
  DBO_DiskFile::Flush();
  if (memo_) memo_->Flush();
  Announce(dbn::AfterFlush, current_);
}

bool DBO_dBaseDBF::Rename(std::string_view newName) {
  AnsiString target = AddDefaultExt(Trim(newName), ".DBF");
  DBobjMemo* memo = HasMemoFile() ? OpenMemo() : nullptr;
  if (!DBO_DiskFile::Rename(target)) return false;
  return memo ? memo->RenameMemo(FileName()) : true;
}
