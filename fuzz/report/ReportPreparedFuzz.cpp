// libFuzzer target: arbitrary bytes through the prepared-report reader.
#include <cstddef>
#include <cstdint>

#include "ReportFilesHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  report_fuzz::RunPrepared(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
