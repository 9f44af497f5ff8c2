#include "controls/misc/FileUtil.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/core/Files.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

AnsiString Append(std::string_view text, std::string_view name, bool multipleDirs) {
  if (multipleDirs && !text.empty()) return AnsiString(text) + ";" + AnsiString(name);
  return AnsiString(name);
}

}  // namespace

AnsiString RemoveBackSlash(std::string_view path) {
  if (path.size() <= 1) return AnsiString(path);
  const bool letter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
  if (path.size() == 3 && letter && path[1] == ':' && IsSeparator(path[2])) return AnsiString(path);
  if (IsSeparator(path.back())) return AnsiString(path.substr(0, path.size() - 1));
  return AnsiString(path);
}

bool DirExists(std::string_view path) {
  if (path.empty()) return false;
  struct stat st {};
  return ::stat(SysPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// The last component of `path` as the file system names it; empty when it does not exist.
AnsiString NameOnDisk(std::string_view path) {
  if (path.empty() || IsSeparator(path.back())) return AnsiString();
  const AnsiString found = ResolveExistingPath(path);
  struct stat st {};
  if (::stat(SysPath(found).c_str(), &st) != 0) return AnsiString();
  return ExtractFileName(found);
}

AnsiString PathAsOnDisk(std::string_view path) {
  AnsiString tail;
  std::string_view head = path;
  for (std::size_t slash = head.find_last_of("/\\"); slash != std::string_view::npos;
       slash = head.find_last_of("/\\")) {
    tail = head[slash] + NameOnDisk(head) + tail;
    head = head.substr(0, slash);
  }
  return AnsiString(head) + tail;
}

}  // namespace

AnsiString ShortToLongPath(std::string_view path) { return PathAsOnDisk(path); }
AnsiString LongToShortPath(std::string_view path) { return PathAsOnDisk(path); }

bool FolderOkEnabled(std::string_view path) { return DirExists(path); }

AnsiString DirectoryDialogStart(std::string_view text, std::string_view initialDir) {
  AnsiString name(text);
  if (name.empty()) name = initialDir.empty() ? AnsiString("/") : AnsiString(initialDir);
  if (!DirExists(name)) name = "/";
  return name;
}

AnsiString TextWithChosenDir(std::string_view text, std::string_view name, bool multipleDirs) {
  return Append(text, name, multipleDirs);
}

AnsiString AcceptDroppedPath(std::string_view name) {
  if (!name.empty() && !DirExists(name) && FileExists(name)) return ExtractFilePath(NormalizeSeparators(name));
  return AnsiString(name);
}

AnsiString ExtractToken(AnsiString& text, std::string_view delimiters) {
  const std::size_t at = text.find_first_of(delimiters);
  AnsiString token = text.substr(0, at);
  text = at == AnsiString::npos ? AnsiString() : text.substr(at + 1);
  return token;
}

AnsiString ConvertDirText(std::string_view text, bool multipleDirs, AnsiString (*convert)(std::string_view)) {
  if (!multipleDirs) return convert(text);
  AnsiString out, rest(text);
  while (!rest.empty()) {
    const AnsiString c = convert(ExtractToken(rest, ";"));
    if (c.empty()) continue;
    if (!out.empty()) out += ';';
    out += c;
  }
  return out;
}

int FolderImageIndex(std::string_view path) {
  if (!DirExists(path)) return -1;
  const AnsiString p = RemoveBackSlash(path);
  if (p == "/" || p == "\\") return 2;
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0' && p == RemoveBackSlash(AnsiPath(home))) return 1;
  return 0;
}
