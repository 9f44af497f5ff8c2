// Arbitrary bytes as one table of a reference directory, loaded into the pick-list and
// the reference editor (see RefTablesHarness.h). A broken promise stops the run.
//
// With TW_REF_FUZZ_SEEDS set to a directory, the sound tables are written there first,
// one starting input per table.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "RefTablesHarness.h"

namespace {

const ref_fuzz::TRefDirFuzz& Fuzz() {
  static const ref_fuzz::TRefDirFuzz fuzz(fuzz_support::WorkDir());
  return fuzz;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seeds = std::getenv("TW_REF_FUZZ_SEEDS")) {
    std::filesystem::create_directories(seeds);
    for (int t = 0; t < ref_fuzz::kTableCount; ++t)
      fuzz_support::WriteWholeFile(std::string(seeds) + "/" + ref_fuzz::kTables[t] + ".bin", Fuzz().Seed(t));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ref_fuzz::TFault fault = Fuzz().Run(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!fault.empty()) {
    std::fprintf(stderr, "RefTablesFuzz: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
