#include "tables/db_disk.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/core/Files.h"
#include "tables/db_eror.h"
#include "tables/db_tool.h"

// One open descriptor, shared by every object of the process on the same file.
struct TdbSharedHandle {
  struct Held {
    const DBO_DiskFile* owner;
    std::uint64_t start;
    std::uint64_t length;
  };
  int fd = -1;
  // An exclusive open of a read-only descriptor holds the share sentinel through a
  // second, writable descriptor: a read lock would not keep other processes out.
  int sentinelFd = -1;
  bool writable = false;
  std::recursive_mutex cs;
  std::vector<Held> held;  // regions locked through this descriptor, by object
  std::atomic<std::uint64_t> writes = 0;  // writes through the descriptor, by any object
};

// --- Lock protocols -------------------------------------------------------------------

TdbLockValues LockValuesOf(TdbLokProtocol protocol) {
  switch (protocol) {
    case TdbLokProtocol::DB4Lock:
      return {0x40000000u, 0xEFFFFFFFu, 0xB0000000u};
    case TdbLokProtocol::ClipLock:
      return {1000000000u, 1000000000u, 1000000000u};
    case TdbLokProtocol::Default:
    case TdbLokProtocol::FoxLock:
    default:
      return {0x40000000u, 0x7FFFFFFEu, 0x3FFFFFFFu};
  }
}

TdbLockTiming& LockTiming() {
  static TdbLockTiming timing;
  return timing;
}

namespace {
thread_local std::int32_t tLastError = 0;

int SetLock(int fd, short type, std::uint64_t start, std::uint64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(start);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;
  return ::fcntl(fd, F_OFD_SETLK, &fl);
}

// Reads or writes count bytes at offset, up to the end of the file for a read; the
// bytes moved, with the error code of a failure in `error`.
std::int64_t Transfer(int fd, char* p, std::int64_t count, std::int64_t offset, bool write, std::int32_t& error) {
  std::int64_t done = 0;
  while (done < count) {
    const auto rest = static_cast<std::size_t>(count - done);
    const ssize_t n = write ? ::pwrite(fd, p + done, rest, offset + done) : ::pread(fd, p + done, rest, offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = ErrnoToDbfError(errno);
      break;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

bool IsLockRefusal(int err) { return err == EAGAIN || err == EACCES; }

// Takes the share-mode sentinel of a newly opened descriptor: 0 or an error code.
std::int32_t TakeShareSentinel(int fd, bool exclusive) {
  if (SetLock(fd, exclusive ? F_WRLCK : F_RDLCK, DBO_DiskFile::kShareSentinel, 1) == 0) return 0;
  int err = errno;
  return IsLockRefusal(err) ? dbe::SharingViolation : ErrnoToDbfError(err);
}

// The sentinel of an exclusive open whose own descriptor is read-only: a write lock
// through a second descriptor opened for writing, kept in `sentinelFd`. A file that
// nobody may open for writing cannot be written by others either; there the read lock
// of the own descriptor is all that can be had.
std::int32_t TakeExclusiveSentinelReadOnly(const std::string& path, int fd, int& sentinelFd) {
  const int w = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (w < 0) {
    if (errno != EACCES && errno != EROFS && errno != EPERM) return ErrnoToDbfError(errno);
    return TakeShareSentinel(fd, false);
  }
  if (std::int32_t code = TakeShareSentinel(w, true); code != 0) {
    ::close(w);
    return code;
  }
  sentinelFd = w;
  return 0;
}
// True when the name still leads to the file open on fd.
bool SameFile(int fd, const std::string& path) {
  struct stat opened, named;
  if (::fstat(fd, &opened) != 0 || ::stat(path.c_str(), &named) != 0) return false;
  return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// How often Open takes a file that was replaced under it again before it keeps what it has.
constexpr int kReplacedRetries = 100;

void (*&OpenInterlude())(const AnsiString&) {
  static void (*hook)(const AnsiString&) = nullptr;
  return hook;
}
void (*&WriteInterlude())(const AnsiString&) {
  static void (*hook)(const AnsiString&) = nullptr;
  return hook;
}
}  // namespace

void SetDiskOpenInterlude(void (*hook)(const AnsiString& fileName)) { OpenInterlude() = hook; }
void SetDiskWriteInterlude(void (*hook)(const AnsiString& fileName)) { WriteInterlude() = hook; }

std::int32_t DbfLastError() { return tLastError; }
void SetDbfLastError(std::int32_t code) { tLastError = code; }

std::int32_t ErrnoToDbfError(int err) {
  switch (err) {
    case 0:
      return 0;
    case ENOENT:
      return dbe::FileNotFound;
    case ENOTDIR:
      return dbe::PathNotFound;
    case EMFILE:
    case ENFILE:
      return dbe::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EBADF:
      return dbe::AccessDenied;
    case EEXIST:
      return dbe::AlreadyExists;
    case EROFS:
      return dbe::WriteProtected;
    case EAGAIN:
      return dbe::LockViolation;
    case ENOMEM:
      return 8;
    case ENOSPC:
    case EFBIG:  // the file cannot grow: to the user the same as a full disk
      return dbe::DiskFull;
    case EINVAL:
      return 87;
    case ENAMETOOLONG:
      return 206;
    case EIO:
      return 1117;
    default:
      return err;
  }
}

AnsiString ExpandTableFileName(std::string_view name) {
  AnsiString n = NormalizeSeparators(name);
  if (n.empty()) return n;
  if (n[0] != '/') {
    char buf[4096];
    AnsiString cwd = ::getcwd(buf, sizeof buf) ? AnsiPath(buf) : AnsiString(".");
    n = cwd + "/" + n;
  }
  // Drop "." and resolve ".." lexically.
  std::vector<AnsiString> parts;
  std::size_t i = 1;
  while (i <= n.size()) {
    std::size_t slash = n.find('/', i);
    if (slash == AnsiString::npos) slash = n.size();
    AnsiString part = n.substr(i, slash - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = slash + 1;
  }
  AnsiString out;
  for (const auto& p : parts) out += "/" + p;
  if (out.empty()) out = "/";
  return ResolveExistingPath(out);
}

// --- Open-file list ------------------------------------------------------------------------

DBobjFileColl& OpenFiles() {
  // Lives to the end of the process, so that files closed by other static objects
  // still find it; held locks are released when the process finishes.
  static DBobjFileColl* list = [] {
    auto* l = new DBobjFileColl;
    std::atexit([] { OpenFiles().ReleaseLocks(); });
    return l;
  }();
  return *list;
}

void DBobjFileColl::ReleaseLocks() {
  std::vector<DBO_DiskFile*> files;
  {
    std::lock_guard<std::mutex> g(cs_);
    files = files_;
  }
  for (DBO_DiskFile* f : files)
    if (f->lockCount_ > 0) f->ReleaseHeldLock();
}

DBO_DiskFile* DBobjFileColl::Find(const AnsiString& key, const DBO_DiskFile* except) {
  std::lock_guard<std::mutex> g(cs_);
  for (DBO_DiskFile* f : files_)
    if (f != except && f->key_ == key) return f;
  return nullptr;
}

void DBobjFileColl::Add(DBO_DiskFile* file) {
  std::lock_guard<std::mutex> g(cs_);
  for (DBO_DiskFile* f : files_)
    if (f == file) return;
  files_.push_back(file);
}

void DBobjFileColl::Remove(DBO_DiskFile* file) {
  std::lock_guard<std::mutex> g(cs_);
  std::erase(files_, file);
}

std::int64_t DBobjFileColl::Count() {
  std::lock_guard<std::mutex> g(cs_);
  return static_cast<std::int64_t>(files_.size());
}

// --- DBO_DiskFile --------------------------------------------------------------------------

DBO_DiskFile::DBO_DiskFile(std::string_view name, bool shared, bool readWrite)
    : shared_(shared), readWrite_(readWrite) {
  SetName(name);
  struct stat st;
  existed_ = !name_.empty() && ::stat(SysPath(name_).c_str(), &st) == 0;
}

DBO_DiskFile::~DBO_DiskFile() {
  try {
    DBO_DiskFile::Close();
  } catch (...) {
  }
}

void DBO_DiskFile::SetName(std::string_view name) {
  name_ = ExpandTableFileName(name);
  key_ = AnsiUpperCase(name_);
}

void DBO_DiskFile::CheckError(std::int32_t code, std::int32_t subCode) {
  if (code == 0) return;
  SetDbfLastError(code);
  Error(code, subCode, name_);
}

void DBO_DiskFile::Error(std::int32_t code, std::int32_t subCode, const AnsiString& info) {
  DbfError(code, subCode, info);
}

TdbReplacementFile::TdbReplacementFile(std::string_view name, AnsiString replaces)
    : DBO_DiskFile(name, false, true), replaces_(std::move(replaces)) {}

void TdbReplacementFile::Error(std::int32_t code, std::int32_t subCode, const AnsiString&) {
  DBO_DiskFile::Error(code, subCode, replaces_);
}

void DBO_DiskFile::StatusUpdate(std::int32_t, std::int32_t, std::int32_t) {}

void DBO_DiskFile::Open() {
  error_ = 0;
  if (!closed_) return;
  SetName(name_);
  if (DBO_DiskFile* other = OpenFiles().Find(key_, this); other && other->handle_) {
    handle_ = other->handle_;
    shared_ = other->shared_;
  } else {
    const std::string path = SysPath(name_);
    // Another process may put a new file in place of this one (a save through a
    // working copy renames it over) between the opening and the sentinel: the sentinel
    // would then guard a file nobody sees any more, and what is written to it would be
    // lost. Once the sentinel is held the name must still lead to the opened file;
    // otherwise the new file is opened.
    for (int attempt = 0;; ++attempt) {
      int fd = ::open(path.c_str(), (readWrite_ ? O_RDWR : O_RDONLY) | O_CLOEXEC);
      int sentinelFd = -1;
      if (fd < 0) {
        error_ = ErrnoToDbfError(errno);
        break;
      }
      if (OpenInterlude()) OpenInterlude()(name_);
      if (std::int32_t code = !shared_ && !readWrite_ ? TakeExclusiveSentinelReadOnly(path, fd, sentinelFd)
                                                       : TakeShareSentinel(fd, !shared_);
          code != 0) {
        error_ = code;
        ::close(fd);
        break;
      }
      if (attempt < kReplacedRetries && (!SameFile(fd, path) || (sentinelFd >= 0 && !SameFile(sentinelFd, path)))) {
        if (sentinelFd >= 0) ::close(sentinelFd);
        ::close(fd);
        continue;
      }
      handle_ = std::make_shared<TdbSharedHandle>();
      handle_->fd = fd;
      handle_->sentinelFd = sentinelFd;
      handle_->writable = readWrite_;
      break;
    }
  }
  if (error_ == 0) {
    position_ = 0;
    ownWrites_ = 0;
    seenWrites_ = handle_->writes;
    OpenFiles().Add(this);
    closed_ = false;
  }
  CheckError(error_, dbe::SubOpen);
}

void DBO_DiskFile::ReleaseHeldLock() {
  if (lockCount_ <= 0) return;
  lockCount_ = 1;
  Unlock();
}

bool DBO_DiskFile::Close() {
  if (closed_) return true;
  std::shared_ptr<TdbSharedHandle> h = handle_;
  {
    std::lock_guard<std::recursive_mutex> g(h->cs);
    ReleaseHeldLock();
    error_ = 0;
    OpenFiles().Remove(this);
    if (OpenFiles().Find(key_)) {
      if (written_) ::fsync(h->fd);
    } else if (h->fd >= 0) {
      ::close(h->fd);
      h->fd = -1;
      if (h->sentinelFd >= 0) ::close(h->sentinelFd);
      h->sentinelFd = -1;
    }
    closed_ = true;
    written_ = false;
    lockCount_ = 0;
  }
  handle_.reset();
  return true;
}

std::int64_t DBO_DiskFile::FileSize() {
  error_ = 0;
  std::int64_t size = 0;
  if (closed_) {
    error_ = dbe::NotOpen;
  } else {
    std::lock_guard<std::recursive_mutex> g(handle_->cs);
    struct stat st;
    if (::fstat(handle_->fd, &st) != 0)
      error_ = ErrnoToDbfError(errno);
    else
      size = st.st_size;
  }
  CheckError(error_, dbe::SubSize);
  return size;
}

void DBO_DiskFile::Flush() {
  error_ = 0;
  if (closed_) return;
  {
    std::lock_guard<std::recursive_mutex> g(handle_->cs);
    if (::fsync(handle_->fd) != 0 && errno != EINVAL) error_ = ErrnoToDbfError(errno);
  }
  written_ = false;
  CheckError(error_, dbe::SubFlush);
}

std::int64_t DBO_DiskFile::ReadAt(std::int64_t offset, void* buffer, std::int64_t count) {
  if (offset < 0 || count < 0) RaiseRangeError();
  error_ = 0;
  transferred_ = 0;
  std::int64_t done = 0;
  if (closed_) {
    error_ = dbe::NotOpen;
  } else {
    std::lock_guard<std::recursive_mutex> g(handle_->cs);
    done = Transfer(handle_->fd, static_cast<char*>(buffer), count, offset, false, error_);
    if (error_ == 0) {
      position_ = offset + done;
      transferred_ = done;
    }
  }
  CheckError(error_, dbe::SubRead);
  if (error_ == 0 && done < count) error_ = dbe::ShortRead;
  return done;
}

void DBO_DiskFile::WriteAt(std::int64_t offset, const void* buffer, std::int64_t count) {
  if (offset < 0 || count < 0) RaiseRangeError();
  if (WriteInterlude()) WriteInterlude()(name_);
  error_ = 0;
  transferred_ = 0;
  if (closed_) {
    error_ = dbe::NotOpen;
  } else {
    std::lock_guard<std::recursive_mutex> g(handle_->cs);
    CountWrite();
    const std::int64_t done =
        Transfer(handle_->fd, static_cast<char*>(const_cast<void*>(buffer)), count, offset, true, error_);
    if (error_ == 0) {
      position_ = offset + done;
      transferred_ = done;
      written_ = true;
    }
  }
  CheckError(error_, dbe::SubWrite);
}

void DBO_DiskFile::Truncate(std::int64_t offset) {
  if (offset < 0) RaiseRangeError();
  error_ = 0;
  bool wholeFileLocked = lockCount_ > 0 && lockOffset_ == 0 && lockLength_ == 0x7FFFFFFFu;
  if (closed_) {
    error_ = dbe::NotOpen;
  } else if (!readWrite_ || (shared_ && !wholeFileLocked)) {
    error_ = dbe::AccessDenied;
  } else {
    std::lock_guard<std::recursive_mutex> g(handle_->cs);
    CountWrite();
    if (::ftruncate(handle_->fd, offset) != 0) error_ = ErrnoToDbfError(errno);
  }
  CheckError(error_, dbe::SubTruncate);
}

void DBO_DiskFile::ShrinkTo(std::int64_t size) {
  error_ = 0;
  if (closed_ || !readWrite_ || size < 0) {
    error_ = closed_ ? dbe::NotOpen : dbe::AccessDenied;
    return;
  }
  std::lock_guard<std::recursive_mutex> g(handle_->cs);
  CountWrite();
  if (::ftruncate(handle_->fd, size) != 0) error_ = ErrnoToDbfError(errno);
}

void DBO_DiskFile::CountWrite() {
  // The writes of others are those of the descriptor less this object's own.
  ++ownWrites_;
  ++handle_->writes;
}

bool DBO_DiskFile::TakeWritesOfOthers() { return OthersWroteSince(seenWrites_); }

bool DBO_DiskFile::OthersWroteSince(std::uint64_t& mark) {
  if (closed_) return false;
  const std::uint64_t others = handle_->writes - ownWrites_;
  const bool changed = mark != others;
  mark = others;
  return changed;
}

bool DBO_DiskFile::LockFile() { return shared_ ? LockRegion(0, 0x7FFFFFFFu) : true; }

bool DBO_DiskFile::LockRegion(std::uint32_t offset, std::uint32_t length) {
  error_ = 0;
  if (!shared_) {
    ++lockCount_;
    lockOffset_ = offset;
    lockLength_ = length;
    return true;
  }
  if (lockCount_ > 0) {
    if (offset == lockOffset_ && length == lockLength_) {
      ++lockCount_;
      return true;
    }
    error_ = dbe::LockViolation;
    SetDbfLastError(error_);
    return false;
  }
  if (!TakeRegion(offset, length, false)) return false;
  lockOffset_ = offset;
  lockLength_ = length;
  lockCount_ = 1;
  return true;
}

bool DBO_DiskFile::TakeRegion(std::uint32_t offset, std::uint32_t length, bool besideOwn) {
  if (closed_ || length == 0) {
    error_ = closed_ ? dbe::NotOpen : 87;
    SetDbfLastError(error_);
    return false;
  }
  std::lock_guard<std::recursive_mutex> g(handle_->cs);
  const std::uint64_t start = offset, end = start + length;
  for (const auto& h : handle_->held) {
    if ((besideOwn || h.owner != this) && start < h.start + h.length && h.start < end) {
      error_ = dbe::LockViolation;
      SetDbfLastError(error_);
      return false;
    }
  }
  if (SetLock(handle_->fd, handle_->writable ? F_WRLCK : F_RDLCK, start, length) != 0) {
    int err = errno;
    error_ = IsLockRefusal(err) ? dbe::LockViolation : ErrnoToDbfError(err);
    SetDbfLastError(error_);
    return false;
  }
  handle_->held.push_back({this, start, length});
  return true;
}

bool DBO_DiskFile::LockBeside(std::uint32_t offset, std::uint32_t length) {
  error_ = 0;
  return !shared_ || TakeRegion(offset, length, true);
}

void DBO_DiskFile::UnlockBeside(std::uint32_t offset, std::uint32_t length) {
  if (!shared_ || closed_ || !handle_) return;
  std::lock_guard<std::recursive_mutex> g(handle_->cs);
  const std::uint64_t start = offset;
  const auto it = std::find_if(handle_->held.begin(), handle_->held.end(), [&](const TdbSharedHandle::Held& h) {
    return h.owner == this && h.start == start && h.length == length;
  });
  if (it == handle_->held.end()) return;
  SetLock(handle_->fd, F_UNLCK, start, length);
  handle_->held.erase(it);
}

bool DBO_DiskFile::LockRegionRetrying(std::uint32_t offset, std::uint32_t length) {
  const TdbLockTiming& t = LockTiming();
  int attempts = t.intervalMs > 0 ? std::max(1, t.timeoutMs / t.intervalMs) : 1;
  for (int i = 0; i < attempts; ++i) {
    if (LockRegion(offset, length)) return true;
    if (error_ != dbe::LockViolation) return false;
    if (i + 1 < attempts) std::this_thread::sleep_for(std::chrono::milliseconds(t.intervalMs));
  }
  return false;
}

bool DBO_DiskFile::TakeExclusiveUse() {
  if (closed_ || OpenFiles().Find(key_, this)) return false;
  if (!shared_) return true;
  std::lock_guard<std::recursive_mutex> g(handle_->cs);
  return handle_->writable && SetLock(handle_->fd, F_WRLCK, kShareSentinel, 1) == 0;
}

void DBO_DiskFile::EndExclusiveUse() {
  if (closed_ || !shared_) return;
  std::lock_guard<std::recursive_mutex> g(handle_->cs);
  SetLock(handle_->fd, F_RDLCK, kShareSentinel, 1);
}

bool DBO_DiskFile::Unlock() {
  error_ = 0;
  if (lockCount_ <= 0) return true;
  if (shared_ && lockCount_ == 1 && handle_) {
    std::lock_guard<std::recursive_mutex> g(handle_->cs);
    if (SetLock(handle_->fd, F_UNLCK, lockOffset_, lockLength_) != 0) {
      error_ = ErrnoToDbfError(errno);
      SetDbfLastError(error_);
    } else {
      std::erase_if(handle_->held, [this](const TdbSharedHandle::Held& h) { return h.owner == this; });
    }
  }
  if (error_ == 0) --lockCount_;
  return error_ == 0;
}

bool DBO_DiskFile::Rename(std::string_view newName) {
  AnsiString target = ExpandTableFileName(newName);
  bool wasOpen = !closed_;
  DBO_DiskFile::Close();
  error_ = 0;
  if (OpenFiles().Find(key_)) {
    error_ = dbe::SharingViolation;  // another object of the process still holds the file
  } else {
    std::string from = SysPath(name_), to = SysPath(target);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
      int err = errno;
      if (err == EINVAL || err == ENOSYS) {
        // File systems without the no-replace flag: a hard link never replaces either.
        if (::link(from.c_str(), to.c_str()) != 0)
          err = errno;
        else
          err = ::unlink(from.c_str()) == 0 ? 0 : errno;
      }
      error_ = ErrnoToDbfError(err);
    }
    if (error_ == 0) SetName(target);
  }
  std::int32_t code = error_;
  if (wasOpen) DBO_DiskFile::Open();
  error_ = code;
  CheckError(error_, dbe::SubRename);
  return error_ == 0;
}

void DBO_DiskFile::CreateNew() {
  error_ = 0;
  if (OpenFiles().Find(key_)) {
    error_ = dbe::InvalidAccess;
  } else {
    int fd = ::open(SysPath(name_).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      error_ = ErrnoToDbfError(errno);
    } else {
      // Never empty a file that another process holds open.
      error_ = TakeShareSentinel(fd, true);
      if (error_ == 0 && ::ftruncate(fd, 0) != 0) error_ = ErrnoToDbfError(errno);
      ::close(fd);
    }
  }
  if (error_ == 0) {
    existed_ = true;
    Open();
  }
  CheckError(error_, dbe::SubCreate);
}
