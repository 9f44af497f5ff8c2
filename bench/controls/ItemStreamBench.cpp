// The item stream of a 20,000-item ration tree: 6 column texts per item and a 64-byte
// record per item from the save event, as a ration document embeds it.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "controls/tree/MtTree.h"

namespace {

constexpr int kItems = 20000;

void Hook(TCustomMtTree& tree) {
  tree.OnItemSave = [](TObject*, TStream& s, TMtTreeItem*) {
    static const std::string record(64, '\x11');
    s.WriteString(record);
  };
  tree.OnItemLoad = [](TObject*, TStream& s, TMtTreeItem* item) {
    char record[64];
    s.ReadBuffer(record, sizeof record);
    item->Data = nullptr;
  };
}

// Days of 6 meals of 5 dishes of 10 products, cut off at kItems items.
std::unique_ptr<TCustomMtTree> RationTree() {
  auto tree = std::make_unique<TCustomMtTree>();
  Hook(*tree);
  TMtTreeItems& items = *tree->Items();
  TMtUpdateBracket bracket(tree.get());
  auto add = [&](TMtTreeItem* parent, const char* text) {
    TMtTreeItem* item = items.AddChild(parent, text);
    for (int c = 0; c < 6; ++c) item->ColumnText().Add("123.45");
    return item;
  };
  while (items.Count() < kItems) {
    TMtTreeItem* day = add(nullptr, "day");
    for (int m = 0; m < 6 && items.Count() < kItems; ++m) {
      TMtTreeItem* meal = add(day, "meal");
      for (int d = 0; d < 5 && items.Count() < kItems; ++d) {
        TMtTreeItem* dish = add(meal, "dish");
        for (int p = 0; p < 10 && items.Count() < kItems; ++p) add(dish, "product name");
      }
    }
  }
  items.Root()->Expand(true);
  return tree;
}

void BM_ItemStreamWrite(benchmark::State& state) {
  auto tree = RationTree();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    TMemoryStream s;
    tree->Items()->SaveToStream(s);
    bytes = s.Size();
    benchmark::DoNotOptimize(s.Memory());
  }
  state.counters["items"] = tree->Items()->Count();
  state.counters["stream_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ItemStreamWrite)->Unit(benchmark::kMillisecond);

void BM_ItemStreamRead(benchmark::State& state) {
  TMemoryStream s;
  RationTree()->Items()->SaveToStream(s);
  int count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto tree = std::make_unique<TCustomMtTree>();
    Hook(*tree);
    s.SetPosition(0);
    state.ResumeTiming();
    tree->Items()->LoadFromStream(s);
    state.PauseTiming();
    count = tree->Items()->Count();
    tree.reset();
    state.ResumeTiming();
  }
  if (count != kItems) state.SkipWithError("wrong item count");
  state.counters["items"] = count;
  state.SetBytesProcessed(state.iterations() * s.Size());
}
BENCHMARK(BM_ItemStreamRead)->Unit(benchmark::kMillisecond);

}  // namespace
