// Arbitrary bytes as the help file "help.txt", read and rendered as the help window
// does (see HelpPagesHarness.h). A broken promise stops the run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "HelpPagesHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const help_fuzz::TFault fault =
      help_fuzz::RunOne(fuzz_support::WorkDir(), std::string_view(reinterpret_cast<const char*>(data), size));
  if (!fault.empty()) {
    std::fprintf(stderr, "HelpPagesFuzz: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
