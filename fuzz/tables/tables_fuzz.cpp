// libFuzzer target: arbitrary bytes as a dBase table with a memo file; every record
// and field is read, and a record with memos is appended.
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "tables/TableWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/tarnwick-fuzz-XXXXXX";
    return std::string(::mkdtemp(tmpl));
  }();
  tables_walk::WalkTableBytes(dir, data, size);
  return 0;
}
