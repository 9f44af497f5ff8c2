#include "tables/db_indx.h"

#include <map>
#include <mutex>

#include "platform/core/SysUtils.h"

namespace {

struct FormatList {
  std::mutex cs;
  std::map<AnsiString, TdbIndexFactory> byExtension;  // upper-cased, with the dot
};

FormatList& Formats() {
  static FormatList list;
  return list;
}

}  // namespace

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
