#include "platform/core/StagingDir.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/core/Files.h"
#include "platform/core/SysUtils.h"

TStagingDir::TStagingDir(const AnsiString& dir, std::string_view prefix) {
  // Working directories of the same naming that killed runs left behind go first.
  const AnsiString parent = IncludeTrailingPathDelimiter(dir);
  RemoveStaleWorkFiles(SysPath(parent.size() > 1 ? parent.substr(0, parent.size() - 1) : parent), SysPath(prefix),
                       true);
  std::string tmpl = SysPath(parent + AnsiString(prefix) + "XXXXXX");
  if (!::mkdtemp(tmpl.data()))
    throw EInOutError(Format(Ansi("Не удается создать временный каталог в %s: %s"), {dir, std::strerror(errno)}));
  path_ = tmpl;
  hold_ = HoldWorkDirectory(path_);
}

TStagingDir::~TStagingDir() {
  std::error_code ec;
  if (!keep_) std::filesystem::remove_all(path_, ec);
  if (hold_ >= 0) ::close(hold_);
}

AnsiString TStagingDir::Path() const { return AnsiPath(path_); }

void MoveFileIntoPlace(const AnsiString& from, const AnsiString& to) {
  if (::rename(SysPath(from).c_str(), SysPath(to).c_str()) != 0)
    throw EInOutError(Format(Ansi("Не удается записать файл %s: %s"), {to, std::strerror(errno)}));
  SyncDirectoryOf(SysPath(to));
}
