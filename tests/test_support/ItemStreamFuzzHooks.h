// The item-stream fuzz target's tree events, shared with the test that replays the inputs
// it found: a byte per item kept in Data, an int32 per cell style read by event.
#pragma once

#include <cstdint>

#include "controls/tree/MtTree.h"

inline void ItemStreamFuzzHooks(TCustomMtTree& tree) {
  tree.OnItemLoad = [](TObject*, TStream& s, TMtTreeItem* item) {
    item->Data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(s.ReadByte()));
  };
  tree.OnItemSave = [](TObject*, TStream& s, TMtTreeItem* item) {
    s.WriteByte(static_cast<std::uint8_t>(reinterpret_cast<std::uintptr_t>(item->Data)));
  };
  tree.OnCellStyleLoad = [](TObject*, TStream& s, TMtCellStyle* style) { style->UserValue = s.ReadInt32(); };
}
