// Files made beside their final place and moved there in one step: a temporary directory
// inside the target's directory (same file system, so a rename moves a file from it), and
// the rename that replaces the target.
#pragma once

#include <string>

#include "platform/core/AnsiText.h"

// A new temporary directory inside `dir`, named `prefix` + a unique suffix; removed with
// its contents when the object goes. EInOutError when it cannot be made. Directories of
// the same naming that killed runs left behind (older than a minute, held by nobody) are
// removed first; this one is held while the object lives.
class TStagingDir {
 public:
  TStagingDir(const AnsiString& dir, std::string_view prefix);
  ~TStagingDir();
  TStagingDir(const TStagingDir&) = delete;
  TStagingDir& operator=(const TStagingDir&) = delete;

  AnsiString Path() const;  // without the trailing "/"
  AnsiString File(const AnsiString& name) const { return Path() + "/" + name; }
  // Leaves the directory in place when the object goes (it is then somebody else's to
  // remove); it stays held until then.
  void Keep() { keep_ = true; }

 private:
  std::string path_;
  int hold_ = -1;
  bool keep_ = false;
};

// Moves a finished file over the target in one step (an existing target is replaced);
// EInOutError "Не удается записать файл <to>: <reason>" when the rename fails.
void MoveFileIntoPlace(const AnsiString& from, const AnsiString& to);
