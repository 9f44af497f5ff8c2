// Reads arbitrary bytes as a section stream; whatever reads back must write and read
// again to the same sections.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "controls/tree/MtHeaderSections.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMtHeaderSections sections;
  TMemoryStream in(std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    sections.ReadData(in);
  } catch (const EReadError&) {
  }
  // Every section that was read, also from a damaged stream, must survive a round trip.
  TMemoryStream out;
  sections.WriteData(out);
  TMtHeaderSections again;
  out.SetPosition(0);
  again.ReadData(out);
  TMemoryStream out2;
  again.WriteData(out2);
  if (out.Bytes() != out2.Bytes()) std::abort();
  // Walk what the header would ask.
  for (int i = 0; i < again.GetCount(); ++i) {
    TMtHeaderSection* s = again.GetSectionByPos(i);
    (void)s->Visible();
    (void)s->GetRight();
    (void)again.PrevVisibleSection(s);
  }
  (void)again.LastVisibleSection();
  return 0;
}
