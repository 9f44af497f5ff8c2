// Reads arbitrary bytes as a ration document of any version. A failed read must leave
// an empty tree; a document that reads must write and read back. The first reading of
// its own output may still change it (sums of version-2 documents are recomputed, days
// move to the top level); after that, writing and reading change nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "planner/ration/RationFile.h"

namespace {

TRationLoadResult Read(TRationDocument& doc, std::string_view bytes) {
  TMemoryStream in(bytes);
  return ReadRation(doc, in, TRationLimits{});
}

std::string Written(const TRationDocument& doc) {
  TMemoryStream out;
  WriteRation(doc, out);
  return out.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TRationDocument doc;
  const TRationLoadResult r = Read(doc, std::string_view(reinterpret_cast<const char*>(data), size));
  if (r != rlOk) {
    if (doc.Items()->Count() != 0 || doc.RecordCount() != 0 || doc.DayCounter != 0) std::abort();
    return 0;
  }
  // Walk what the window would show.
  for (int i = 0; i < doc.Items()->Count(); ++i) {
    const TMtTreeItem* item = doc.Items()->GetItem(i);
    for (int c = 0; c < item->ColumnText().Count(); ++c) (void)item->ColumnText()[c].size();
  }
  (void)doc.DayRecords().size();
  TRationDocument again;
  if (Read(again, Written(doc)) != rlOk) std::abort();
  const std::string twice = Written(again);
  TRationDocument third;
  if (Read(third, twice) != rlOk) std::abort();
  if (Written(third) != twice) std::abort();
  return 0;
}
