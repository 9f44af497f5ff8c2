// File names and whole-file operations. Names inside the program are 1251 strings
// with "/" (a "\" read from documents or settings is accepted); they become UTF-8
// only when handed to the system.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/core/AnsiText.h"

class TStream;

// 1251 name -> system path (bytes), "\" turned into "/".
std::string SysPath(std::string_view name);
// System path -> 1251 name. A name is bytes to the system, and most are UTF-8 that code
// page 1251 holds. What it cannot hold (other scripts, bytes that are no UTF-8) keeps its
// bytes: each byte becomes kRawPathByte and two upper-case hex digits, which SysPath turns
// back into that byte. So every name the system holds comes back to the very same file.
AnsiString AnsiPath(std::string_view sysPath);
// 0x98 is unassigned in code page 1251: no text typed or read as 1251 holds it.
inline constexpr char kRawPathByte = '\x98';
// The byte escaped at name[at] (kRawPathByte and two upper-case hex digits), or -1 when
// no escape stands there.
int RawPathByteAt(std::string_view name, std::size_t at);

// The name of the existing file meant by `name`: the name itself when it exists,
// else the entry whose name differs only in case, component by component (tables
// copied from elsewhere are often upper-case). Components that do not exist are kept as
// given, after the existing part they lie under: a new file keeps its own name in the
// directory that is there, and an open of a missing file fails with the name given.
AnsiString ResolveExistingPath(std::string_view name);

bool FileExists(std::string_view name);       // case-insensitive as above
bool DirectoryExists(std::string_view name);
bool ForceDirectories(std::string_view name);
bool DeleteFile(std::string_view name);
// Renames without ever replacing an existing target; false when the target exists
// or the rename fails.
bool RenameFile(std::string_view oldName, std::string_view newName);
bool CopyFile(std::string_view from, std::string_view to);

AnsiString ExtractFilePath(std::string_view name);  // with the trailing "/"
AnsiString ExtractFileName(std::string_view name);
AnsiString ExtractFileExt(std::string_view name);   // with the dot
AnsiString ChangeFileExt(std::string_view name, std::string_view ext);
AnsiString IncludeTrailingPathDelimiter(std::string_view name);
AnsiString NormalizeSeparators(std::string_view name);  // "\" -> "/"
// The absolute name of a file named relative to the working directory (the command
// line), with "/" and without "." and ".." steps; an empty name stays empty.
AnsiString ExpandFileName(std::string_view name);

// What files held, to tell whether somebody changed them since they were read: their
// total length and a hash of their bytes and lengths.
struct TFileStamp {
  std::int64_t Size = -1;  // -1: no stamp taken
  std::uint64_t Hash = 0;
  bool Taken() const { return Size >= 0; }
  bool operator==(const TFileStamp&) const = default;
};
// The stamp of the files in their order (a missing file counts as empty).
TFileStamp StampOfFiles(const std::vector<AnsiString>& files);
// The stamp StampOfFiles gives a single file holding these bytes.
TFileStamp StampOfBytes(const void* data, std::int64_t size);

// The file a save of `name` replaces: the name itself, or for a symbolic link the file
// it leads to (links followed to the end; a link to a missing file gives that file).
// Replacing the link by a regular file would split the users who share the file
// through it. Links are followed only where the system's protection of links would
// follow them (MayFollowLink); a save of one it would not replaces the link itself.
AnsiString SaveTargetOf(std::string_view name);
// Whether the symbolic link at sysLink (system path) may be followed: it is the user's,
// or its folder is not both sticky and writable by all (a shared folder such as the
// temporary folder, where anybody may put a link to another user's file), or the
// folder's owner owns the link. False for anything that is not a link.
bool MayFollowLink(const std::string& sysLink);

// The lock every copy of the program takes to save a file: whoever holds it may compare
// the file with what it read and replace it, knowing nobody replaces it meanwhile. It is
// an exclusive lock on a hidden lock file beside the target (".~lock.<name>"), made for
// the time of the save and removed with the lock (a lock file left by a killed program
// is taken over). The lock waits while another copy saves, up to kSaveLockWaitMs.
inline constexpr int kSaveLockWaitMs = 15000;
class TFileSaveLock {
 public:
  // EFCreateError when the lock file cannot be made or the lock not had in time. With
  // `optional` (readers), a folder where no file can be made (read-only) gives a lock
  // that is not held instead: nobody can save there either.
  explicit TFileSaveLock(std::string_view fileName, bool optional = false);
  ~TFileSaveLock();
  TFileSaveLock(const TFileSaveLock&) = delete;
  TFileSaveLock& operator=(const TFileSaveLock&) = delete;

  bool Held() const { return fd_ >= 0; }
  const AnsiString& Target() const { return target_; }  // SaveTargetOf(fileName)

 private:
  AnsiString target_;
  std::string sysLock_;
  int fd_ = -1;
};

// Saves a file atomically: `write` fills a temporary file in the target's directory,
// which is flushed to the disk and renamed over the target. When anything fails, the
// temporary file is removed, the old target stays as it was, and the exception
// passes on. The first form takes the file's save lock for the time of the save; the
// second saves the target of a lock the caller holds (to compare before saving).
void SaveFileAtomically(std::string_view fileName, const std::function<void(TStream&)>& write);
void SaveFileAtomically(const TFileSaveLock& lock, const std::function<void(TStream&)>& write);
// The same for a writer that makes the file itself from its name (a library writing to a
// file name): `fill` gets the temporary file's system path. When it returns false, the
// temporary file is removed and the target stays as it was; so is the result.
bool SaveFileAtomicallyByName(const TFileSaveLock& lock, const std::function<bool(const std::string& sysTemp)>& fill);

// Working files and directories of our own naming (`prefix` + a 6-character mkstemp
// suffix) in a directory (system path) that killed saves left behind: those older than a
// minute that nobody holds are removed. A holder keeps its own with HoldWorkDirectory
// (directories; the descriptor is to be closed by it) or, for the temporary files of
// SaveFileAtomically, by the save itself.
void RemoveStaleWorkFiles(const std::string& sysDir, std::string_view prefix, bool directories);
// The temporary files of SaveFileAtomically that killed saves left in the directory dir
// (a program name) for targets with one of these extensions ("<name><ext>.tmpXXXXXX",
// the extension in any case), as above: older than a minute and held by nobody.
void RemoveStaleSaveFiles(std::string_view dir, const std::vector<std::string_view>& exts);
int HoldWorkDirectory(const std::string& sysDir);
// Flushes the directory entry of a file (after a rename) to the disk.
void SyncDirectoryOf(const std::string& sysPath);
// Gives a finished temporary file (system path) the permissions of the file it is about
// to replace, with its owner and group as far as the user may give them, or those of a
// newly created file (0666 less the umask) when there is none.
void TakeTargetFileMode(const std::string& sysTemp, const std::string& sysTarget);
