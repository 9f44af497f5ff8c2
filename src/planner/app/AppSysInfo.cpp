#include "planner/app/AppSysInfo.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/core/SysUtils.h"

namespace {

std::string ReadTextFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// A shell-style value: double or single quotes removed, backslash escapes resolved.
std::string Unquote(std::string_view v) {
  v = TrimView(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) ++i;
    out += v[i];
  }
  return out;
}

template <typename F>
void ForEachLine(std::string_view text, F f) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    f(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

}  // namespace

AnsiString ParseOsRelease(std::string_view Text) {
  std::string pretty, name, version;
  ForEachLine(Text, [&](std::string_view line) {
    line = TrimView(line);
    if (line.empty() || line.front() == '#') return;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return;
    const std::string_view key = line.substr(0, eq);
    if (key == "PRETTY_NAME") pretty = Unquote(line.substr(eq + 1));
    else if (key == "NAME") name = Unquote(line.substr(eq + 1));
    else if (key == "VERSION_ID") version = Unquote(line.substr(eq + 1));
  });
  // The file is UTF-8; the program's texts are 1251.
  if (!pretty.empty()) return cp::Utf8To1251(pretty);
  if (!name.empty()) return cp::Utf8To1251(version.empty() ? name : name + " " + version);
  return {};
}

TMemoryStatus ParseMemInfo(std::string_view Text) {
  TMemoryStatus m;
  std::int64_t memFree = -1, memAvailable = -1;
  ForEachLine(Text, [&](std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string_view key = line.substr(0, colon);
    const std::string_view rest = TrimView(line.substr(colon + 1));
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), v);
    if (ec != std::errc() || v < 0) return;
    (void)end;
    if (key == "MemTotal") m.TotalPhys = v;
    else if (key == "MemFree") memFree = v;
    else if (key == "MemAvailable") memAvailable = v;
    else if (key == "SwapTotal") m.TotalVirtual = v;
    else if (key == "SwapFree") m.AvailVirtual = v;
  });
  m.AvailPhys = memAvailable >= 0 ? memAvailable : memFree >= 0 ? memFree : 0;
  return m;
}

TSystemVersion GetSystemVersion() {
  TSystemVersion v;
  v.Version = "?";
  utsname u{};
  if (uname(&u) == 0) {
    v.Name = u.sysname;
    v.Version = u.release;
    v.Build = ParseKernelBuild(u.version);
    v.Machine = u.machine;
  }
  AnsiString distribution = ParseOsRelease(ReadTextFile("/etc/os-release"));
  if (distribution.empty()) distribution = ParseOsRelease(ReadTextFile("/usr/lib/os-release"));
  if (!distribution.empty()) v.Name = distribution;
  return v;
}

TMemoryStatus GetMemoryStatus() {
  TMemoryStatus m = ParseMemInfo(ReadTextFile("/proc/meminfo"));
  if (m.TotalPhys > 0) return m;
  struct sysinfo si {};
  if (sysinfo(&si) == 0) {
    const std::int64_t unit = si.mem_unit != 0 ? si.mem_unit : 1;
    auto kb = [unit](unsigned long v) {
      return static_cast<std::int64_t>(Round(static_cast<double>(v) * unit / 1024));
    };
    m.TotalPhys = kb(si.totalram);
    m.AvailPhys = kb(si.freeram);
    m.TotalVirtual = kb(si.totalswap);
    m.AvailVirtual = kb(si.freeswap);
  }
  return m;
}

AnsiString MemoryText(const TMemoryStatus& Memory) {
  const std::int64_t percent =
      Memory.TotalPhys > 0 ? Round(static_cast<double>(Memory.AvailPhys) / Memory.TotalPhys * 100) : 0;
  return Format("%d K; %d K free (%d", {Memory.TotalPhys, Memory.AvailPhys, percent}) + "%)";
}

int ParseKernelBuild(std::string_view Text) {
  if (Text.empty() || Text.front() != '#') return 0;
  int build = 0;
  const auto [end, ec] = std::from_chars(Text.data() + 1, Text.data() + Text.size(), build);
  (void)end;
  return ec == std::errc() && build > 0 ? build : 0;
}

AnsiString VersionText(const TSystemVersion& Version) {
  AnsiString s = Format("%s build %d", {Version.Version, Version.Build});
  if (!Version.Machine.empty()) s += ", " + Version.Machine;
  return s;
}
