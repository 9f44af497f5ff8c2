#include "tables/db_memo.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/core/Files.h"
#include "tables/db_eror.h"
#include "tables/db_tool.h"

std::uint32_t GetLE32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void PutLE32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t GetLE16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void PutLE16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
std::uint32_t GetBE32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
void PutBE32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
}
std::uint16_t GetBE16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
void PutBE16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

namespace {
constexpr std::int64_t kPiece = 32768;      // transfers of memo text
constexpr std::int64_t kHeaderBytes = 32;   // the part of block 0 that these classes use
constexpr std::int64_t kMaxBlockSize = 1 << 20;
// A dBase III memo without an end mark is read up to this many bytes.
constexpr std::int64_t kMaxUnmarkedMemo = 65519;
// The largest gap between the end of a memo file and its next-free block that a repair
// fills: more than any memo of these tables, far less than a damaged header may claim.
constexpr std::int64_t kMaxRepairGap = std::int64_t{64} << 20;

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

}  // namespace

// --- DBobjMemo: dBase III form ----------------------------------------------------------

const char* DBobjMemo::ExtensionOf(std::uint8_t version) {
  return version == 0xF5 || version == 0x30 ? ".FPT" : ".DBT";
}

AnsiString DBobjMemo::MemoFileName(std::string_view tableName, std::uint8_t version) {
  return ChangeFileExt(Trim(tableName), ExtensionOf(version));
}

DBobjMemo::DBobjMemo(DBO_DiskFile* owner, std::uint8_t version, std::string_view tableName, bool shared,
                     bool readWrite, bool ownName)
    : DBO_DiskFile(ownName ? AnsiString(tableName) : MemoFileName(tableName, version), shared, readWrite),
      owner_(owner),
      version_(version) {
  if (!Existed()) {
    SetDbfLastError(dbe::FileNotFound);
    Error(dbe::FileNotFound, dbe::SubMemoMissing, FileName());
    return;
  }
  Open();
}

void DBobjMemo::Error(std::int32_t code, std::int32_t subCode, const AnsiString& info) {
  if (owner_)
    owner_->Error(code, subCode, info);
  else
    DBO_DiskFile::Error(code, subCode, info);
}

void DBobjMemo::FormatError() {
  formatError_ = true;
  Error(dbe::BadMemo, dbe::SubMemoBlock, FileName());
}

std::int64_t DBobjMemo::BlockOffset(std::int64_t block) const { return CheckedMul(block, blockSize_); }

std::int64_t DBobjMemo::FileBlocks() { return FileSize() / blockSize_; }

void DBobjMemo::ReadHeader() {
  work_.fill(0);
  ReadAt(0, work_.data(), kHeaderBytes);  // a shorter file reads as zeros
}

void DBobjMemo::WriteHeaderBytes(std::int64_t count) { WriteMeta(0, work_.data(), count); }

void DBobjMemo::WriteMeta(std::int64_t offset, const void* buffer, std::int64_t count) {
  if (journal_) {
    Undo u{offset, std::vector<std::uint8_t>(static_cast<std::size_t>(count), 0)};
    const std::int64_t got = ReadAt(offset, u.bytes.data(), count);
    u.bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    undo_.push_back(std::move(u));
  }
  WriteAt(offset, buffer, count);
}

void DBobjMemo::RollBack() {
  // Bytes that were there before: rewriting them never needs new space.
  for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
    if (it->bytes.empty()) continue;
    try {
      DBO_DiskFile::WriteAt(it->offset, it->bytes.data(), std::ssize(it->bytes));
    } catch (...) {
    }
  }
  undo_.clear();
  // Data written past the old end goes too: the end of the file is part of the
  // bookkeeping (the dBase IV form counts its blocks by the file size).
  try {
    if (sizeBefore_ >= 0 && FileSize() > sizeBefore_) ShrinkTo(sizeBefore_);
  } catch (...) {
  }
  countedBlock_ = 0;  // the block count of the memo is not known any more
}

void DBobjMemo::SetLockProtocol(TdbLokProtocol protocol) {
  protocol_ = protocol;
  lockValues_ = LockValuesOf(protocol);
}

void DBobjMemo::EndMark(char* buffer) {
  buffer[0] = 0x1A;
  buffer[1] = 0x1A;
}

std::int64_t DBobjMemo::ReadMemoLength() { return 0; }

std::int64_t DBobjMemo::MemoSize(std::uint32_t block) {
  if (block == 0) return 0;
  const std::int64_t offset = BlockOffset(block), size = FileSize();
  if (offset >= size || offset < kHeaderBytes) {
    FormatError();
    return 0;
  }
  const int header = BlockHeaderSize();
  if (header == 0) {
    // The text runs to its first end mark; without one, to the end of the file but at
    // most 65 519 bytes.
    std::vector<char> buf(static_cast<std::size_t>(std::min(kPiece, size - offset)));
    std::int64_t length = 0;
    while (offset + length < size) {
      std::int64_t n = ReadAt(offset + length, buf.data(), std::min<std::int64_t>(kPiece, size - offset - length));
      if (n <= 0) break;
      if (const void* end = std::memchr(buf.data(), 0x1A, static_cast<std::size_t>(n)))
        return length + (static_cast<const char*>(end) - buf.data());
      length += n;
    }
    return std::min(length, kMaxUnmarkedMemo);
  }
  work_.fill(0);
  if (ReadAt(offset, work_.data(), kHeaderBytes) < header) {
    FormatError();
    return 0;
  }
  std::int64_t length = ReadMemoLength();
  if (length < header || length > size - offset) {
    FormatError();
    return 0;
  }
  return length - header;
}

std::int64_t DBobjMemo::ReadMemo(void* buffer, std::uint32_t block, std::int64_t wanted) {
  if (wanted <= 0) return 0;
  currentBlock_ = block;
  if (block == 0) {
    static_cast<char*>(buffer)[0] = 0;
    return 0;
  }
  if (blockSize_ <= 0) {  // a FoxPro header stating blocks of 0 bytes: no memo can be found
    FormatError();
    return 0;
  }
  const int header = BlockHeaderSize();
  std::int64_t length = std::min(wanted, MemoSize(block));
  blockCount_ = CeilDiv(length + header, blockSize_);
  countedBlock_ = block;
  const std::int64_t start = BlockOffset(block) + header;
  for (std::int64_t done = 0; done < length;) {
    std::int64_t n = std::min(kPiece, length - done);
    std::int64_t got = ReadAt(start + done, static_cast<char*>(buffer) + done, n);
    if (got < n) {
      length = done + got;
      break;
    }
    done += n;
  }
  return length;
}

AnsiString DBobjMemo::ReadMemo(std::uint32_t block) {
  AnsiString text(static_cast<std::size_t>(MemoSize(block)), '\0');
  currentBlock_ = block;
  if (!text.empty()) text.resize(static_cast<std::size_t>(ReadMemo(text.data(), block, std::ssize(text))));
  return text;
}

std::uint32_t DBobjMemo::WriteMemo(const void* buffer, std::uint32_t block, std::int64_t length) {
  if (length < 0) RaiseRangeError();
  if (length == 0 && block == 0) return 0;
  MemoLockGuard guard(*this);
  LockForChange(guard);
  if (IsShared() && !guard.Locked()) return block;  // an error procedure that returns
  return DoWrite(buffer, block, length);
}

void DBobjMemo::FreeMemo(std::uint32_t block) {
  if (block == 0) return;
  MemoLockGuard guard(*this);
  LockForChange(guard);
  if (IsShared() && !guard.Locked()) return;
  FreeBlocks(block);
  Flush();
}

void DBobjMemo::LockForChange(MemoLockGuard& guard) {
  if (!IsShared()) return;
  const std::uint32_t m = lockValues_.recordBase;
  bool locked = false;
  switch (protocol_) {
    case TdbLokProtocol::DB4Lock:
      locked = LockRegionRetrying(m - 1, 2);
      break;
    case TdbLokProtocol::ClipLock:
      locked = LockRegionRetrying(m, 1);
      break;
    default:
      locked = LockRegionRetrying(m - 1, 1);
      break;
  }
  if (!locked) {
    std::int32_t code = ErrorCode() ? ErrorCode() : dbe::LockViolation;
    SetDbfLastError(code);
    Error(code, dbe::SubMemoLock, FileName());
    return;
  }
  guard.SetLocked();
}

std::uint32_t DBobjMemo::DoWrite(const void* buffer, std::uint32_t block, std::int64_t length) {
  if (blockSize_ <= 0) {  // blocks of 0 bytes hold nothing
    FormatError();
    return block;
  }
  // The bookkeeping that the allocation writes is journaled and rolled back when the
  // text cannot be written (a full disk): the header never points past data that is not
  // there, and a freed old memo is live again, as the field still names it.
  undo_.clear();
  sizeBefore_ = FileSize();
  journal_ = true;
  std::uint32_t start = 0;
  try {
    currentBlock_ = block;
    formatError_ = false;
    AllocateBlocks(length);
    if (formatError_) {  // nothing is written over a damaged file
      journal_ = false;
      RollBack();
      return 0;
    }
    journal_ = false;
    start = WriteBlocks(buffer, length);
  } catch (...) {
    journal_ = false;
    RollBack();
    throw;
  }
  if (ErrorCode() != 0) {  // an error procedure that returns
    RollBack();
    return block;
  }
  undo_.clear();
  return start;
}

std::uint32_t DBobjMemo::WriteBlocks(const void* buffer, std::int64_t length) {
  const std::uint32_t start = currentBlock_;
  const int header = BlockHeaderSize();
  const std::int64_t offset = BlockOffset(start);
  const std::int64_t used = header + length;
  std::int64_t rest = blockSize_ - used % blockSize_;
  // The end mark of the dBase III form needs two bytes, which may reach into the next
  // block (the allocation counts them).
  if (header == 0 && rest < 2) rest += blockSize_;
  CheckOffset32(CheckedAdd(offset, used + rest - 1));
  if (header > 0) WriteAt(offset, blockHeader_.data(), header);
  if (ErrorCode() != 0) return start;
  for (std::int64_t done = 0; done < length;) {
    std::int64_t n = std::min(kPiece, length - done);
    WriteAt(offset + header + done, static_cast<const char*>(buffer) + done, n);
    if (ErrorCode() != 0) return start;
    done += n;
  }
  std::vector<char> fill(static_cast<std::size_t>(std::max(rest, std::int64_t{2})), '\0');
  EndMark(fill.data());
  WriteAt(offset + used, fill.data(), rest);
  return start;
}

void DBobjMemo::AllocateBlocks(std::int64_t length) { AllocateAtEnd(CeilDiv(length + 2, blockSize_), false); }

void DBobjMemo::AllocateAtEnd(std::int64_t needed, bool bigEndian) {
  // A memo that fits its old blocks is rewritten in place; any other goes to the end
  // of the used area, whose next-free block the header holds. Old blocks are not reused.
  const std::int64_t known = currentBlock_ == countedBlock_ ? blockCount_ : 0;
  if (currentBlock_ == 0 || known < needed) {
    ReadHeader();
    std::uint32_t next = bigEndian ? GetBE32(work_.data()) : GetLE32(work_.data());
    if (!NextFreeValid(next)) {
      FormatError();
      return;
    }
    // Blocks are only ever added at the end: a next-free inside the file (a stale or
    // damaged header) would put the memo over live ones, so the end of the file wins.
    next = static_cast<std::uint32_t>(std::max<std::int64_t>(next, CeilDiv(FileSize(), blockSize_)));
    const auto newNext = static_cast<std::uint32_t>(CheckOffset32(CheckedAdd(next, needed)));
    bigEndian ? PutBE32(work_.data(), newNext) : PutLE32(work_.data(), newNext);
    WriteHeaderBytes(bigEndian ? 8 : kHeaderBytes);
    currentBlock_ = next;
  }
  blockCount_ = needed;
  countedBlock_ = currentBlock_;
}

void DBobjMemo::FreeBlocks(std::uint32_t) {}

bool DBobjMemo::NextFreeValid(std::int64_t next) {
  // After the header and not beyond the end of the file (whose last block may be short).
  if (next <= 0 || BlockOffset(next) < kHeaderBytes) return false;
  return next <= CeilDiv(FileSize(), blockSize_) || ExtendToBlock(next);
}

bool DBobjMemo::ExtendToBlock(std::int64_t next) {
  // Past the end: what a write that failed on a full disk left behind, when the gap is
  // no larger than one memo could be; the file is extended to it.
  const std::int64_t size = FileSize();
  const std::int64_t end = BlockOffset(next);
  if (end <= size) return true;
  if (!IsReadWrite() || end - size > kMaxRepairGap || end > 0xFFFFFFFFLL) return false;
  const char zero = 0;
  WriteAt(end - 1, &zero, 1);
  return ErrorCode() == 0;
}

AnsiString DBobjMemo::OwnMemoName(std::string_view newTableName) const {
  return ChangeFileExt(Trim(newTableName), ExtractFileExt(FileName()));
}

bool DBobjMemo::RenameMemo(std::string_view newTableName) {
  if (!Rename(OwnMemoName(newTableName))) return false;
  ReadHeader();
  std::fill(work_.begin() + 8, work_.begin() + 17, 0);
  AnsiString name = AnsiUpperCase(ExtractNameNoExt(newTableName)).substr(0, 8);
  std::memcpy(work_.data() + 8, name.data(), name.size());
  WriteHeaderBytes(kHeaderBytes);
  return true;
}

// --- DBobjMemo4: dBase IV form --------------------------------------------------------------

DBobjMemo4::DBobjMemo4(DBO_DiskFile* owner, std::uint8_t version, std::string_view tableName, bool shared,
                       bool readWrite, bool ownName)
    : DBobjMemo(owner, version, tableName, shared, readWrite, ownName) {
  if (IsClosed()) return;
  ReadHeader();
  std::int64_t size = GetLE32(work_.data() + 20);
  if (size < kHeaderBytes || size > kMaxBlockSize) {
    FormatError();
    return;
  }
  blockSize_ = size;
  if (IsReadWrite() && FileSize() < blockSize_) {
    std::vector<char> block(static_cast<std::size_t>(blockSize_), '\0');
    std::memcpy(block.data(), work_.data(), kHeaderBytes);
    WriteAt(0, block.data(), blockSize_);
  }
}

std::int64_t DBobjMemo4::ReadMemoLength() {
  if (GetLE16(work_.data()) != 0xFFFF) {
    FormatError();
    return 0;
  }
  return GetLE32(work_.data() + 4);
}

void DBobjMemo4::FreeBlocks(std::uint32_t block) {
  std::uint8_t head[8] = {};
  const std::int64_t end = FileBlocks();
  if (block == 0 || block >= end || ReadAt(BlockOffset(block), head, 8) < 8) {
    FormatError();
    return;
  }
  // Only a live memo is freed: a damaged header or a run freed twice would put a
  // bogus run into the chain.
  const std::uint32_t stored = GetLE32(head + 4);
  const std::int64_t blocks = CeilDiv(stored, blockSize_);
  if (head[0] != 0xFF || head[1] != 0xFF || head[2] != 0x08 || head[3] != 0x00 || stored < 8 ||
      block + blocks > end) {
    FormatError();
    return;
  }
  ReadHeader();
  PutLE32(head, GetLE32(work_.data()));
  PutLE32(head + 4, static_cast<std::uint32_t>(blocks));
  WriteMeta(BlockOffset(block), head, 8);
  PutLE32(work_.data(), block);
  PutLE32(work_.data() + 4, 0);
  WriteHeaderBytes(8);
}

void DBobjMemo4::AllocateBlocks(std::int64_t length) {
  const std::int64_t needed = (length + 8) / blockSize_ + 1;
  if (currentBlock_ > 0) FreeBlocks(currentBlock_);
  ReadHeader();
  std::int64_t end = FileBlocks();
  if (end == 0) {
    end = 1;
    WriteHeaderBytes(kHeaderBytes);
  }
  std::int64_t previous = 0, candidate = GetLE32(work_.data()), link = 0;
  bool found = false;
  // Each step moves to another run inside the file, so the walk ends within `end` steps.
  for (std::int64_t steps = 0; candidate != end; ++steps) {
    if (candidate > end && ExtendToBlock(candidate)) end = FileBlocks();  // the end a failed write left
    if (candidate == end) break;
    std::uint8_t run[8];
    if (candidate < 1 || candidate > end || steps > end || ReadAt(BlockOffset(candidate), run, 8) < 8) {
      FormatError();
      return;
    }
    const std::int64_t next = GetLE32(run), runLength = GetLE32(run + 4);
    // A live memo's block header is no free run (a damaged chain pointing into the used
    // blocks): its stored length would pass for a run, and the new memo overwrite it.
    const bool liveMemo = run[0] == 0xFF && run[1] == 0xFF && run[2] == 0x08 && run[3] == 0x00 && next > end;
    if (runLength < 1 || candidate + runLength > end || liveMemo) {
      FormatError();
      return;
    }
    if (runLength < needed) {
      previous = candidate;
      candidate = next;
      continue;
    }
    if (runLength == needed) {
      link = next;
    } else {
      link = candidate + needed;
      PutLE32(run + 4, static_cast<std::uint32_t>(runLength - needed));
      WriteMeta(BlockOffset(link), run, 8);
    }
    found = true;
    break;
  }
  if (!found) {
    candidate = end;
    link = CheckOffset32(CheckedAdd(end, needed));
  }
  std::uint8_t word[4];
  PutLE32(word, static_cast<std::uint32_t>(link));
  WriteMeta(BlockOffset(previous), word, 4);
  currentBlock_ = CheckOffset32(candidate);
  blockCount_ = needed;
  countedBlock_ = currentBlock_;
  blockHeader_ = {0xFF, 0xFF, 0x08, 0x00, 0, 0, 0, 0};
  PutLE32(blockHeader_.data() + 4, static_cast<std::uint32_t>(CheckOffset32(length + 8)));
}

// --- DBobjFXMemo20: FoxPro form ---------------------------------------------------------------

DBobjFXMemo20::DBobjFXMemo20(DBO_DiskFile* owner, std::uint8_t version, std::string_view tableName, bool shared,
                             bool readWrite, bool ownName)
    : DBobjMemo(owner, version, tableName, shared, readWrite, ownName) {
  if (IsClosed()) return;
  ReadHeader();
  // As stored, as other dBase readers take it, small sizes too; 0 opens, but no memo can
  // be read or written in blocks of 0 bytes.
  blockSize_ = GetBE16(work_.data() + 6);
}

std::int64_t DBobjFXMemo20::ReadMemoLength() {
  const std::uint32_t type = GetBE32(work_.data());
  if (type > 1) {
    FormatError();
    return 0;
  }
  return 8 + static_cast<std::int64_t>(GetBE32(work_.data() + 4));
}

void DBobjFXMemo20::AllocateBlocks(std::int64_t length) {
  AllocateAtEnd((length + 8) / blockSize_ + 1, true);
  PutBE32(blockHeader_.data(), 1);
  PutBE32(blockHeader_.data() + 4, static_cast<std::uint32_t>(CheckOffset32(length)));
}

bool DBobjFXMemo20::RenameMemo(std::string_view newTableName) {
  return Rename(OwnMemoName(newTableName));
}

std::unique_ptr<DBobjMemo> MakeMemo(DBO_DiskFile* owner, std::uint8_t version, std::string_view name, bool shared,
                                    bool readWrite, bool ownName) {
  if (version == 0x83) return std::make_unique<DBobjMemo>(owner, version, name, shared, readWrite, ownName);
  if (version == 0x8B) return std::make_unique<DBobjMemo4>(owner, version, name, shared, readWrite, ownName);
  return std::make_unique<DBobjFXMemo20>(owner, version, name, shared, readWrite, ownName);
}
