#include "tables/db_indx.h"

#include <map>
#include <mutex>

#include "platform/core/SysUtils.h"
#include "tables/db_ixbase.h"

namespace {

struct FormatList {
  std::mutex cs;
  std::map<AnsiString, TdbIndexFactory> byExtension;  // upper-cased, with the dot
};

FormatList& Formats() {
  static FormatList list;
  static const bool builtIn = [] {
    RegisterBuiltinIndexFormats(
        [](std::string_view ext, TdbIndexFactory f) { list.byExtension[UpperCase(ext)] = std::move(f); });
    return true;
  }();
  (void)builtIn;
  return list;
}

}  // namespace

bool DBobjIndexTag::KeyMatches(std::string_view text, bool exact) const {
  const AnsiString current = CurrentKey();
  return std::string_view(current).substr(0, text.size()) == text &&
         (!exact || TrimRight(current).size() <= text.size());
}

bool DBobjIndexFile::NameMatches(std::string_view path) const {
  const std::size_t p = path.find_last_of("/\\:");
  std::string_view part = p == std::string_view::npos ? path : path.substr(p + 1);
  part = part.substr(0, std::min<std::size_t>(part.size(), 259));
  const AnsiString own = IndexFileName();
  const std::size_t q = own.find_last_of("/\\:");
  return AnsiSameText(q == AnsiString::npos ? own : own.substr(q + 1), part);
}

DBobjIndexTag* DBobjIndexFile::TagByName(std::string_view name) {
  for (std::int64_t i = 0; i < TagCount(); ++i)
    if (DBobjIndexTag* tag = Tag(i); tag && AnsiSameText(tag->TagName(), name)) return tag;
  return nullptr;
}

void RegisterIndexFormat(std::string_view extension, TdbIndexFactory factory) {
  FormatList& f = Formats();
  std::lock_guard<std::mutex> g(f.cs);
  if (factory)
    f.byExtension[UpperCase(extension)] = std::move(factory);
  else
    f.byExtension.erase(UpperCase(extension));
}

const TdbIndexFactory* FindIndexFormat(std::string_view extension) {
  FormatList& f = Formats();
  std::lock_guard<std::mutex> g(f.cs);
  auto it = f.byExtension.find(UpperCase(extension));
  return it == f.byExtension.end() ? nullptr : &it->second;
}
