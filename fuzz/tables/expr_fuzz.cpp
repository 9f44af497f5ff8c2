// libFuzzer target: arbitrary bytes as a table expression, compiled and evaluated on
// every record of a small table, then used as a filter and as a search text.
#include <cstdint>
#include <memory>
#include <string>

#include "../FuzzWorkDir.h"
#include "tables/ExpressionWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static DBO_dBHandler* table = [] {
    static auto owned =
        std::make_unique<DBO_dBHandler>(expression_walk::CreateSmallTable(fuzz_support::WorkDir()), false, true);
    return owned.get();
  }();
  expression_walk::WalkExpression(*table, std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
