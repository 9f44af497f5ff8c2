// Reads arbitrary bytes as a program's version block.
#include <cstddef>
#include <cstdint>
#include <string>

#include "controls/misc/VerInfo.h"
#include "platform/core/VersionResources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const AnsiString name = "/fuzz/program";
  SetFileVersionBlock(name, std::string(reinterpret_cast<const char*>(data), size));
  TVersionInfo info(name);
  (void)info.GetCompanyName();
  (void)info.GetFileVersion();
  (void)info.GetLegalCopyright();
  (void)info.GetProductName();
  (void)info.GetTranslationString();
  (void)info.GetFixedFileInfo();
  SetFileVersionBlock(name, {});
  return 0;
}
