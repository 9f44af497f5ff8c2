// Arbitrary bytes as the ini files the program reads: the settings store, "params.ini"
// and "dbtables.cfg" (see IniFilesHarness.h). A broken promise stops the run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "IniFilesHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ini_fuzz::TFault fault =
      ini_fuzz::RunOne(fuzz_support::WorkDir(), std::string_view(reinterpret_cast<const char*>(data), size));
  if (!fault.empty()) {
    std::fprintf(stderr, "IniFilesFuzz: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
