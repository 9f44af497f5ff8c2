// libFuzzer target: arbitrary bytes as a dBase table with a memo file; every record
// and field is read, and a record with memos is appended.
#include <cstdint>
#include <string>

#include "../FuzzWorkDir.h"
#include "tables/TableWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tables_walk::WalkTableBytes(fuzz_support::WorkDir(), data, size);
  return 0;
}
