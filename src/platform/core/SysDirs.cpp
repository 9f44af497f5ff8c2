#include "platform/core/SysDirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/core/Files.h"

namespace {

// $HOME, or the password database's home when the variable is missing.
std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

// $<variable>/tarnwick/, or ~/<fallback>/tarnwick/. XDG asks to ignore relative values.
AnsiString XdgDirectory(const char* variable, const char* fallback) {
  std::string base;
  if (const char* v = std::getenv(variable); v && v[0] == '/') base = v;
  else base = HomeDirectory() + "/" + fallback;
  return IncludeTrailingPathDelimiter(AnsiPath(base)) + "tarnwick/";
}

}  // namespace

AnsiString ProgramFileName() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return AnsiString();
  buf.resize(static_cast<std::size_t>(n));
  return AnsiPath(buf);
}

AnsiString ProgramDirectory() { return ExtractFilePath(ProgramFileName()); }

AnsiString ConfigDirectory() { return XdgDirectory("XDG_CONFIG_HOME", ".config"); }

AnsiString UserDataDirectory() { return XdgDirectory("XDG_DATA_HOME", ".local/share"); }

bool IsDirectoryWritable(std::string_view dir) {
  if (dir.empty() || !DirectoryExists(dir)) return false;
  return ::access(SysPath(ResolveExistingPath(dir)).c_str(), W_OK | X_OK) == 0;
}
