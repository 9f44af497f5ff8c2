// libFuzzer target: arbitrary text through the report expression parser and the
// script compiler and interpreter (see ReportScriptHarness.h).
#include <cstddef>
#include <cstdint>

#include "ReportScriptHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  report_fuzz::RunOne(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
