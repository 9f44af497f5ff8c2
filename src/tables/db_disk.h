// Files of the table engine on Linux: positional reads and writes, one byte-range
// lock at a time per object, and the process's open-file list, through which objects
// on the same file share one descriptor.
//
// Locks are open-file-description locks (F_OFD_SETLK) taken without waiting. Share
// modes at open are emulated by a lock on one sentinel byte far above every protocol
// offset: a shared open holds it for reading, an exclusive one for writing, so an
// exclusive open is refused with 32 while another process holds the file and the
// other way round, whatever the access mode of either. Objects that share a descriptor see each other's regions through
// the descriptor's own bookkeeping, since the system does not make them conflict.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/core/AnsiText.h"

// Lock protocols of tables, memo and index files.
enum class TdbLokProtocol : int { Default = 0, DB4Lock = 1, ClipLock = 2, FoxLock = 3 };

struct TdbLockValues {
  std::uint32_t tableOffset;
  std::uint32_t recordBase;
  std::uint32_t tableLength;
};
TdbLockValues LockValuesOf(TdbLokProtocol protocol);

// Engine-wide retry rule of the lock attempts of memo, append and index locks.
struct TdbLockTiming {
  int timeoutMs = 2000;
  int intervalMs = 50;
};
TdbLockTiming& LockTiming();

// The last error of the engine's file calls (the system's last-error value).
std::int32_t DbfLastError();
void SetDbfLastError(std::int32_t code);
// errno -> the error numbers of the engine's messages.
std::int32_t ErrnoToDbfError(int err);

// The full name of a file: "\" read as "/", relative names expanded against the
// current directory, and an existing file found by its real, case-resolved name.
AnsiString ExpandTableFileName(std::string_view name);

struct TdbSharedHandle;

// For tests: called by DBO_DiskFile::Open between opening a file and taking its share
// sentinel, so that another process's doings can be put into that moment. nullptr: none.
void SetDiskOpenInterlude(void (*hook)(const AnsiString& fileName));
// For tests: called by DBO_DiskFile::WriteAt before every write (to stop a process at a
// chosen write, or to slow writers down). nullptr: none.
void SetDiskWriteInterlude(void (*hook)(const AnsiString& fileName));

class DBO_DiskFile {
 public:
  // The offset of the share-mode sentinel byte.
  static constexpr std::int64_t kShareSentinel = std::int64_t{1} << 40;

  DBO_DiskFile(std::string_view name, bool shared, bool readWrite);
  virtual ~DBO_DiskFile();
  DBO_DiskFile(const DBO_DiskFile&) = delete;
  DBO_DiskFile& operator=(const DBO_DiskFile&) = delete;

  virtual bool Close();
  virtual void Error(std::int32_t code, std::int32_t subCode, const AnsiString& info);
  virtual std::int64_t FileSize();
  virtual void Flush();
  virtual bool LockFile();
  virtual bool LockRegion(std::uint32_t offset, std::uint32_t length);
  virtual std::int64_t ReadAt(std::int64_t offset, void* buffer, std::int64_t count);
  virtual bool Rename(std::string_view newName);
  virtual void Open();
  virtual void CreateNew();
  virtual void StatusUpdate(std::int32_t stat1, std::int32_t stat2, std::int32_t stat3);
  virtual void Truncate(std::int64_t offset);
  virtual bool Unlock();
  virtual void WriteAt(std::int64_t offset, const void* buffer, std::int64_t count);

  // A code other than 0 becomes the last error and goes to Error with the file name.
  void CheckError(std::int32_t code, std::int32_t subCode);

  const AnsiString& FileName() const { return name_; }  // real name, for messages
  const AnsiString& Key() const { return key_; }        // upper-cased, for the open-file list
  bool IsShared() const { return shared_; }
  bool IsReadWrite() const { return readWrite_; }
  bool Existed() const { return existed_; }
  bool IsClosed() const { return closed_; }
  std::int32_t ErrorCode() const { return error_; }
  void SetErrorCode(std::int32_t code) { error_ = code; }
  std::int64_t BytesTransferred() const { return transferred_; }
  std::int64_t Position() const { return position_; }
  int LockCount() const { return lockCount_; }
  std::uint32_t LockOffset() const { return lockOffset_; }
  std::uint32_t LockLength() const { return lockLength_; }
  bool Written() const { return written_; }

  // Cuts the file back to a size it had, without the exclusive-use check of Truncate:
  // for a writer that takes back its own growth under its write lock. Failures are
  // kept in the error code, never raised.
  void ShrinkTo(std::int64_t size);

  // Takes the region with the engine-wide retries (LockTiming); false when still refused.
  bool LockRegionRetrying(std::uint32_t offset, std::uint32_t length);

  // A second region beside the one this object holds (an append byte taken while a record
  // of the object is locked), one level, released with UnlockBeside: false (33) when any
  // of it is held by another object or process. Unshared: true at once.
  bool LockBeside(std::uint32_t offset, std::uint32_t length);
  void UnlockBeside(std::uint32_t offset, std::uint32_t length);
  // Whether another object of the process wrote to the file (through the descriptor they
  // share) since this one last asked or opened it; from now on those writes count as seen.
  bool TakeWritesOfOthers();
  // The same against a mark of the caller's own: whether another object of the process
  // wrote since the mark was last moved here (for a mark never moved: since the file was
  // opened, or before); the mark then moves on. No system call.
  bool OthersWroteSince(std::uint64_t& mark);

  // For a rebuild that replaces the file: true when no other object of the process and
  // no other process has the file open; until EndExclusiveUse (or the close) others are
  // then kept out as by an exclusive open.
  bool TakeExclusiveUse();
  void EndExclusiveUse();

 private:
  friend class DBobjFileColl;
  void SetName(std::string_view name);
  void ReleaseHeldLock();
  // Locks a region through the shared descriptor (none of it held by another object, nor
  // with `besideOwn` by this one) and lists it as this object's.
  bool TakeRegion(std::uint32_t offset, std::uint32_t length, bool besideOwn);
  void CountWrite();  // under the descriptor's section

  AnsiString name_;
  AnsiString key_;
  std::shared_ptr<TdbSharedHandle> handle_;
  bool closed_ = true;
  bool shared_;
  bool readWrite_;
  bool existed_ = false;
  std::int32_t error_ = 0;
  std::int64_t transferred_ = 0;
  std::int64_t position_ = 0;
  int lockCount_ = 0;
  std::uint32_t lockOffset_ = 0;
  std::uint32_t lockLength_ = 0;
  bool written_ = false;
  std::uint64_t ownWrites_ = 0;   // this object's writes through the descriptor
  std::uint64_t seenWrites_ = 0;  // the writes of others as TakeWritesOfOthers last saw them
};

// A new file that is to replace another (the packed table, a rebuilt index, written
// beside the file they replace): opened unshared for writing, its failures reported under
// the name of the file it replaces, the one the user knows.
class TdbReplacementFile : public DBO_DiskFile {
 public:
  TdbReplacementFile(std::string_view name, AnsiString replaces);
  void Error(std::int32_t code, std::int32_t subCode, const AnsiString& info) override;

 private:
  AnsiString replaces_;
};

// The process's list of open engine files.
class DBobjFileColl {
 public:
  // Releases every lock still held by a listed file (at the end of the process).
  void ReleaseLocks();
  DBO_DiskFile* Find(const AnsiString& key, const DBO_DiskFile* except = nullptr);
  void Add(DBO_DiskFile* file);
  void Remove(DBO_DiskFile* file);
  std::int64_t Count();

 private:
  std::mutex cs_;
  std::vector<DBO_DiskFile*> files_;
};
DBobjFileColl& OpenFiles();
