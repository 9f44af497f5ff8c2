// rpdump <file.rpf | file.rpp>: prints a report template or a prepared report as text.
#include <cstdio>
#include <string>

#include "platform/core/AnsiText.h"
#include "report/RP_Dump.h"
#include "report/RP_Template.h"

namespace {

bool EndsWithCaseless(const std::string& s, const std::string& ext) {
  if (s.size() < ext.size()) return false;
  for (std::size_t i = 0; i < ext.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - ext.size() + i])) != ext[i]) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rpdump <file.rpf | file.rpp>\n");
    return 2;
  }
  const std::string file = argv[1];
  try {
    const AnsiString name = cp::Utf8To1251(file);
    if (EndsWithCaseless(file, ".rpp")) {
      TrpEMFPages pages;
      pages.LoadFromFile(name);
      std::fputs(rpDumpPrepared(pages).c_str(), stdout);
      return 0;
    }
    TrpPages pages;
    const TrpTemplateLoad r = rpLoadTemplateFile(pages, name);
    std::fputs(rpDumpTemplate(pages).c_str(), stdout);
    if (!r.Ok()) {
      std::fprintf(stderr, "%s\n", cp::Ansi1251ToUtf8(r.Message).c_str());
      return 1;
    }
    return 0;
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), cp::Ansi1251ToUtf8(e.Message()).c_str());
    return 1;
  }
}
