// Reads arbitrary bytes as an item stream into a tree, with a load event that reads a
// byte per item and cell styles read by event when the input asks for them; whatever
// reads back, also from a damaged stream, must keep the store consistent and write and
// read again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "controls/tree/MtTree.h"

namespace {

void Hook(TCustomMtTree& tree) {
  tree.OnItemLoad = [](TObject*, TStream& s, TMtTreeItem* item) {
    item->Data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(s.ReadByte()));
  };
  tree.OnItemSave = [](TObject*, TStream& s, TMtTreeItem* item) {
    s.WriteByte(static_cast<std::uint8_t>(reinterpret_cast<std::uintptr_t>(item->Data)));
  };
  tree.OnCellStyleLoad = [](TObject*, TStream& s, TMtCellStyle* style) { style->UserValue = s.ReadInt32(); };
}

int Reachable(const TMtTreeItem* item) {
  int count = 0;
  std::vector<const TMtTreeItem*> pending{item};
  while (!pending.empty()) {
    const TMtTreeItem* p = pending.back();
    pending.pop_back();
    for (int i = 0; i < p->GetChildrenCount(); ++i) {
      ++count;
      pending.push_back(p->GetChildren(i));
    }
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TCustomMtTree tree;
  Hook(tree);
  TMemoryStream in(std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    tree.Items()->LoadFromStream(in);
  } catch (const EReadError&) {
  }
  if (tree.Items()->Count() != Reachable(tree.Items()->Root())) std::abort();
  if (tree.IsUpdating() || tree.SelectedCount() != 0) std::abort();
  (void)tree.VisibleRows();

  TMemoryStream out;
  tree.Items()->SaveToStream(out);
  TCustomMtTree again;
  Hook(again);
  out.SetPosition(0);
  again.Items()->LoadFromStream(out);
  TMemoryStream out2;
  again.Items()->SaveToStream(out2);
  if (out.Bytes() != out2.Bytes() || again.Items()->Count() != tree.Items()->Count()) std::abort();
  return 0;
}
