#include "platform/core/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/core/Classes.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The length of the well-formed UTF-8 sequence at s[i] (shortest form, no surrogates,
// at most U+10FFFF) and its code point; 0 when there is none.
std::size_t Utf8Sequence(std::string_view s, std::size_t i, char32_t& u) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  std::size_t len;
  if (b0 >= 0xC2 && b0 <= 0xDF) len = 2, u = b0 & 0x1F;
  else if (b0 >= 0xE0 && b0 <= 0xEF) len = 3, u = b0 & 0x0F;
  else if (b0 >= 0xF0 && b0 <= 0xF4) len = 4, u = b0 & 0x07;
  else return 0;
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    u = (u << 6) | (b & 0x3F);
  }
  const char32_t least = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
  if (u < least || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

namespace {

// 1251 name as a UTF-8 system path: the raw bytes of names given back, "\\" as "/".
std::string WithRawBytes(std::string_view name) {
  std::string r;
  r.reserve(name.size() * 2);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (const int raw = RawPathByteAt(name, i); raw >= 0) {
      r += static_cast<char>(raw);
      i += 2;
    } else {
      cp::AppendUtf8(r, c == '\\' ? U'/' : cp::Ansi1251ToUnicode(static_cast<unsigned char>(c)));
    }
  }
  return r;
}

}  // namespace

int RawPathByteAt(std::string_view name, std::size_t at) {
  if (at + 2 >= name.size() || name[at] != kRawPathByte) return -1;
  const int hi = HexDigit(name[at + 1]), lo = HexDigit(name[at + 2]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

std::string SysPath(std::string_view name) { return WithRawBytes(name); }

AnsiString AnsiPath(std::string_view sysPath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  AnsiString r;
  r.reserve(sysPath.size());
  for (std::size_t i = 0; i < sysPath.size();) {
    const auto b = static_cast<unsigned char>(sysPath[i]);
    if (b < 0x80) {
      r += static_cast<char>(b);
      ++i;
      continue;
    }
    char32_t u = 0;
    std::size_t len = Utf8Sequence(sysPath, i, u);
    if (len > 0) {
      const unsigned char c = cp::UnicodeTo1251(u, 0);
      if (c >= 0x80 && c != static_cast<unsigned char>(kRawPathByte) && cp::Ansi1251ToUnicode(c) == u) {
        r += static_cast<char>(c);
        i += len;
        continue;
      }
    } else {
      len = 1;
    }
    for (std::size_t k = 0; k < len; ++k, ++i) {
      const auto raw = static_cast<unsigned char>(sysPath[i]);
      r += kRawPathByte;
      r += kHex[raw >> 4];
      r += kHex[raw & 15];
    }
  }
  return r;
}

AnsiString NormalizeSeparators(std::string_view name) {
  AnsiString r(name);
  for (auto& c : r)
    if (c == '\\') c = '/';
  return r;
}

AnsiString ExpandFileName(std::string_view name) {
  if (name.empty()) return AnsiString();
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(SysPath(name), ec);
  if (ec) return NormalizeSeparators(name);
  return AnsiPath(p.lexically_normal().string());
}

namespace {
bool SysExists(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0;
}
}  // namespace

AnsiString ResolveExistingPath(std::string_view name) {
  AnsiString n = NormalizeSeparators(name);
  if (n.empty() || SysExists(SysPath(n))) return n;
  // Walk the components, replacing each missing one by its caseless twin.
  AnsiString done = n[0] == '/' ? "/" : "";
  std::size_t i = n[0] == '/' ? 1 : 0;
  while (i <= n.size()) {
    std::size_t slash = n.find('/', i);
    if (slash == AnsiString::npos) slash = n.size();
    AnsiString part = n.substr(i, slash - i);
    if (!part.empty()) {
      AnsiString candidate = done + part;
      if (!SysExists(SysPath(candidate))) {
        std::string dir = done.empty() ? "." : SysPath(done);
        DIR* d = ::opendir(dir.c_str());
        bool found = false;
        if (d) {
          while (dirent* e = ::readdir(d)) {
            AnsiString entry = AnsiPath(e->d_name);
            if (AnsiSameText(entry, part)) {
              candidate = done + entry;
              found = true;
              break;
            }
          }
          ::closedir(d);
        }
        // The rest does not exist (yet): keep it as given under the part that does, so a new
        // file lands in the existing directory whatever case the name gave it.
        if (!found) return done + n.substr(i);
      }
      done = candidate;
      if (slash < n.size()) done += '/';
    }
    i = slash + 1;
  }
  return done;
}

bool FileExists(std::string_view name) {
  struct stat st;
  return ::stat(SysPath(ResolveExistingPath(name)).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(std::string_view name) {
  struct stat st;
  return ::stat(SysPath(ResolveExistingPath(name)).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(std::string_view name) {
  std::string p = SysPath(name);
  while (!p.empty() && p.back() == '/') p.pop_back();
  if (p.empty()) return true;
  for (std::size_t i = 1; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '/') {
      std::string part = p.substr(0, i);
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(std::string_view name) { return ::unlink(SysPath(ResolveExistingPath(name)).c_str()) == 0; }

bool RenameFile(std::string_view oldName, std::string_view newName) {
  std::string from = SysPath(ResolveExistingPath(oldName)), to = SysPath(newName);
  // link + unlink never replaces an existing target, unlike rename().
  if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0;
  if (errno == EEXIST) return false;
  if (SysExists(to)) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;  // file systems without hard links
}

bool CopyFile(std::string_view from, std::string_view to) {
  try {
    TFileStream src(AnsiString(from), fmOpenRead);
    SaveFileAtomically(to, [&](TStream& dst) { dst.CopyFrom(src, 0); });
    return true;
  } catch (const Exception&) {
    return false;
  }
}

AnsiString ExtractFilePath(std::string_view name) {
  auto p = name.find_last_of("/\\");
  return p == std::string_view::npos ? AnsiString() : AnsiString(name.substr(0, p + 1));
}
AnsiString ExtractFileName(std::string_view name) {
  auto p = name.find_last_of("/\\");
  return AnsiString(p == std::string_view::npos ? name : name.substr(p + 1));
}
AnsiString ExtractFileExt(std::string_view name) {
  auto p = name.find_last_of("./\\");
  return p == std::string_view::npos || name[p] != '.' ? AnsiString() : AnsiString(name.substr(p));
}
AnsiString ChangeFileExt(std::string_view name, std::string_view ext) {
  auto p = name.find_last_of("./\\");
  std::string_view base = p == std::string_view::npos || name[p] != '.' ? name : name.substr(0, p);
  return AnsiString(base) + AnsiString(ext);
}
AnsiString IncludeTrailingPathDelimiter(std::string_view name) {
  AnsiString r = NormalizeSeparators(name);
  if (r.empty() || r.back() != '/') r += '/';
  return r;
}

namespace {

// Leftovers of saves that were killed are older than this and held by nobody.
constexpr time_t kStaleAfterSeconds = 60;

// Holds a working file or directory against the clean-up of other saves: a write lock
// on a file (an open-file-description lock, which other descriptors of this process
// respect too), an exclusive flock on a directory. False when another holder has it.
bool TakeWorkLock(int fd, bool directory) {
  if (directory) return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool IsMkTempSuffix(std::string_view s) {
  if (s.size() != 6) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  return true;
}

}  // namespace

namespace {

// Removes the entries of sysDir whose names `ours` accepts, as RemoveStaleWorkFiles.
void RemoveStale(const std::string& sysDir, const std::function<bool(std::string_view)>& ours, bool directories) {
  DIR* d = ::opendir(sysDir.empty() ? "." : sysDir.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  const time_t now = ::time(nullptr);
  while (dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (!ours(name)) continue;
    const std::string path = (sysDir.empty() ? std::string(".") : sysDir) + "/" + std::string(name);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || (directories ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))) continue;
    if (now - st.st_mtime < kStaleAfterSeconds) continue;  // may be a save that is just starting
    stale.push_back(path);
  }
  ::closedir(d);
  for (const std::string& path : stale) {
    const int fd = ::open(path.c_str(), (directories ? O_RDONLY | O_DIRECTORY : O_RDWR) | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    if (TakeWorkLock(fd, directories)) {
      std::error_code ec;
      if (directories)
        std::filesystem::remove_all(path, ec);
      else
        ::unlink(path.c_str());
    }
    ::close(fd);
  }
}

}  // namespace

void RemoveStaleWorkFiles(const std::string& sysDir, std::string_view prefix, bool directories) {
  RemoveStale(
      sysDir,
      [prefix](std::string_view name) {
        return name.size() == prefix.size() + 6 && name.substr(0, prefix.size()) == prefix &&
               IsMkTempSuffix(name.substr(prefix.size()));
      },
      directories);
}

void RemoveStaleSaveFiles(std::string_view dir, const std::vector<std::string_view>& exts) {
  constexpr std::string_view kTmp = ".tmp";
  RemoveStale(
      SysPath(dir),
      [&exts, kTmp](std::string_view name) {
        // "<name><ext>.tmpXXXXXX", the extension in any case.
        if (name.size() < kTmp.size() + 6 || !IsMkTempSuffix(name.substr(name.size() - 6))) return false;
        const std::string_view target = name.substr(0, name.size() - 6);
        if (target.substr(target.size() - kTmp.size()) != kTmp) return false;
        const std::string_view base = target.substr(0, target.size() - kTmp.size());
        for (std::string_view ext : exts)
          if (base.size() > ext.size() && AnsiSameText(base.substr(base.size() - ext.size()), ext)) return true;
        return false;
      },
      false);
}

void SyncDirectoryOf(const std::string& sysPath) {
  const std::size_t slash = sysPath.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : sysPath.substr(0, slash));
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

int HoldWorkDirectory(const std::string& sysDir) {
  const int fd = ::open(sysDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) TakeWorkLock(fd, true);
  return fd;
}

void TakeTargetFileMode(const std::string& sysTemp, const std::string& sysTarget) {
  // Keep the permissions of the file we replace, and its owner and group as far as the
  // user may give them (the group when the user belongs to it, the owner only to the
  // superuser), so that those who share the file keep their access. A new file, or one
  // in the place of a link not to be followed, gets the usual permissions.
  struct stat st;
  mode_t mode = 0666;
  if (::lstat(sysTarget.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    mode = st.st_mode & 07777;
    if (::chown(sysTemp.c_str(), st.st_uid, st.st_gid) != 0 &&
        ::chown(sysTemp.c_str(), static_cast<uid_t>(-1), st.st_gid) != 0) {
      // Neither is the user's to give: the new file stays the user's own.
    }
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  ::chmod(sysTemp.c_str(), mode);
}

bool MayFollowLink(const std::string& sysLink) {
  struct stat link;
  if (::lstat(sysLink.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return false;
  if (link.st_uid == ::geteuid()) return true;
  const std::size_t slash = sysLink.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : sysLink.substr(0, slash));
  struct stat folder;
  if (::stat(dir.c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || folder.st_uid == link.st_uid;
}

AnsiString SaveTargetOf(std::string_view name) {
  std::string sys = SysPath(ResolveExistingPath(name));
  // Links followed as the system does, up to its own limit of steps; a link that others
  // put into a shared sticky folder (such as the temporary folder) is not followed.
  for (int step = 0; step < 40; ++step) {
    struct stat st;
    if (::lstat(sys.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || !MayFollowLink(sys)) break;
    std::string to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = ::readlink(sys.c_str(), to.data(), to.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= to.size()) break;
    to.resize(static_cast<std::size_t>(n));
    if (to[0] != '/') {
      const std::size_t slash = sys.find_last_of('/');
      to = (slash == std::string::npos ? std::string() : sys.substr(0, slash + 1)) + to;
    }
    sys = std::move(to);
  }
  return AnsiPath(sys);
}

TFileSaveLock::TFileSaveLock(std::string_view fileName, bool optional) : target_(SaveTargetOf(fileName)) {
  const std::string sysTarget = SysPath(target_);
  const std::size_t slash = sysTarget.find_last_of('/');
  sysLock_ = (slash == std::string::npos ? std::string() : sysTarget.substr(0, slash + 1)) + ".~lock." +
             (slash == std::string::npos ? sysTarget : sysTarget.substr(slash + 1));
  const auto failed = [&](int err) {
    return EFCreateError("Cannot lock file \"" + target_ + "\" for saving. " +
                             (err == EWOULDBLOCK ? "Another program is saving it." : std::strerror(err)),
                         err);
  };
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    // Opened without waiting: a pipe put at the lock's name would wait for a writer.
    const int fd = ::open(sysLock_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
      const int err = errno;
      if (optional && (err == EACCES || err == EROFS || err == EPERM)) return;
      throw failed(err);
    }
    struct stat kind;
    if (::fstat(fd, &kind) != 0 || !S_ISREG(kind.st_mode)) {
      ::close(fd);
      throw EFCreateError("Cannot lock file \"" + target_ + "\" for saving. Its lock file is not a regular file.",
                          EINVAL);
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      if (err == EINTR) continue;
      if (err != EWOULDBLOCK ||
          std::chrono::steady_clock::now() - start > std::chrono::milliseconds(kSaveLockWaitMs)) {
        ::close(fd);
        throw failed(err);
      }
      ::usleep(1000);
    }
    // The holder before us may have removed the lock file after its save: ours is then
    // a lock on nothing, and the file at the name (if any) is the one to lock.
    struct stat held, named;
    if (::fstat(fd, &held) == 0 && ::stat(sysLock_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      fd_ = fd;
      return;
    }
    ::close(fd);
  }
}

TFileSaveLock::~TFileSaveLock() {
  if (fd_ < 0) return;
  // Removed while held: whoever waits for it then finds the name gone or new and locks again.
  ::unlink(sysLock_.c_str());
  ::close(fd_);
}

void SaveFileAtomically(std::string_view fileName, const std::function<void(TStream&)>& write) {
  const TFileSaveLock lock(fileName);
  SaveFileAtomically(lock, write);
}

void SaveFileAtomically(const TFileSaveLock& lock, const std::function<void(TStream&)>& write) {
  SaveFileAtomicallyByName(lock, [&](const std::string& sysTemp) {
    TFileStream out(AnsiPath(sysTemp), fmOpenReadWrite);
    write(out);
    out.Flush();
    return true;
  });
}

bool SaveFileAtomicallyByName(const TFileSaveLock& lock, const std::function<bool(const std::string& sysTemp)>& fill) {
  const AnsiString& target = lock.Target();
  std::string sysTarget = SysPath(target);
  // Temporary files of this target that a killed save left behind go first.
  const std::size_t slash = sysTarget.find_last_of('/');
  RemoveStaleWorkFiles(slash == std::string::npos ? std::string() : sysTarget.substr(0, slash),
                       (slash == std::string::npos ? sysTarget : sysTarget.substr(slash + 1)) + ".tmp", false);
  std::string tmpl = sysTarget + ".tmpXXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) {
    const int err = errno;
    throw EFCreateError("Cannot create file \"" + target + "\". " + std::strerror(err), err);
  }
  // Held (and so never taken for a leftover) until it is renamed or removed.
  TakeWorkLock(fd, false);
  struct CloseHold {
    int fd;
    ~CloseHold() { ::close(fd); }
  } hold{fd};
  try {
    if (!fill(tmpl)) {
      ::unlink(tmpl.c_str());
      return false;
    }
    TakeTargetFileMode(tmpl, sysTarget);
    if (::rename(tmpl.c_str(), sysTarget.c_str()) != 0) {
      const int err = errno;
      throw EWriteError("Cannot write file \"" + target + "\". " + std::strerror(err), err);
    }
    // The new directory entry reaches the disk too: after a power cut the file is the new one.
    SyncDirectoryOf(sysTarget);
  } catch (...) {
    ::unlink(tmpl.c_str());
    throw;
  }
  return true;
}

// --- File stamps ---------------------------------------------------------------------

namespace {

// FNV-1a over the bytes of every file, each followed by its length.
class TStampHasher {
 public:
  void Bytes(const char* p, std::int64_t n) {
    for (std::int64_t i = 0; i < n; ++i) Mix(static_cast<unsigned char>(p[i]));
    fileSize_ += n;
  }
  void EndFile() {
    for (int i = 0; i < 8; ++i) Mix(static_cast<unsigned char>(static_cast<std::uint64_t>(fileSize_) >> (8 * i)));
    stamp_.Size += fileSize_;
    fileSize_ = 0;
  }
  const TFileStamp& Stamp() const { return stamp_; }

 private:
  void Mix(unsigned char byte) { stamp_.Hash = (stamp_.Hash ^ byte) * 1099511628211ULL; }
  TFileStamp stamp_{0, 14695981039346656037ULL};
  std::int64_t fileSize_ = 0;
};

}  // namespace

TFileStamp StampOfFiles(const std::vector<AnsiString>& files) {
  TStampHasher hasher;
  std::vector<char> buffer(1 << 16);
  for (const AnsiString& f : files) {
    std::ifstream in(SysPath(f), std::ios::binary);
    while (in) {
      in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      hasher.Bytes(buffer.data(), in.gcount());
    }
    hasher.EndFile();
  }
  return hasher.Stamp();
}

TFileStamp StampOfBytes(const void* data, std::int64_t size) {
  TStampHasher hasher;
  hasher.Bytes(static_cast<const char*>(data), size);
  hasher.EndFile();
  return hasher.Stamp();
}
