// The item store under the loads of the program: a flat reference table and a deep
// ration, built inside one update bracket, walked, and deleted. Each should grow
// linearly with the number of items.
#include <benchmark/benchmark.h>

#include <string>

#include "controls/tree/MtTree.h"

namespace {

// A flat list, as a reference table of n rows with 8 column texts each.
void BM_FlatTable(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TCustomMtTree tree;
    tree.Items()->BeginUpdate();
    for (int i = 0; i < n; ++i) {
      TMtTreeItem* item = tree.Items()->AddChild(nullptr, "row");
      for (int c = 0; c < 8; ++c) item->ColumnText().Add("0");
    }
    tree.Items()->EndUpdate();
    benchmark::DoNotOptimize(tree.VisibleRows().size());
    int walked = 0;
    for (TMtTreeItem* item = tree.Items()->GetItem(0); item != nullptr; item = item->GetNext()) ++walked;
    benchmark::DoNotOptimize(walked);
    tree.Items()->BeginUpdate();
    tree.Items()->Clear();
    tree.Items()->EndUpdate();
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_FlatTable)->RangeMultiplier(4)->Range(1 << 12, 300000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// A ration: days x 6 meals x 5 dishes x 10 products, all expanded; every item deleted
// one by one from the last day back, inside one bracket.
void BM_RationShape(benchmark::State& state) {
  const int days = static_cast<int>(state.range(0));
  int items = 0;
  for (auto _ : state) {
    TCustomMtTree tree;
    tree.SetMultiSelect(false);
    tree.Items()->BeginUpdate();
    for (int d = 0; d < days; ++d) {
      TMtTreeItem* day = tree.Items()->AddChild(nullptr, "day");
      for (int m = 0; m < 6; ++m) {
        TMtTreeItem* meal = tree.Items()->AddChild(day, "meal");
        for (int s = 0; s < 5; ++s) {
          TMtTreeItem* dish = tree.Items()->AddChild(meal, "dish");
          for (int p = 0; p < 10; ++p) tree.Items()->AddChild(dish, "product");
        }
      }
    }
    tree.Items()->Root()->Expand(true);
    tree.Items()->EndUpdate();
    items = tree.Items()->Count();
    tree.SetItemFocused(tree.Items()->GetItem(items - 1));
    benchmark::DoNotOptimize(tree.Items()->GetVisItem(items / 2));
    tree.Items()->BeginUpdate();
    while (TMtTreeItem* last = tree.Items()->Root()->GetLastChild()) last->Delete();
    tree.Items()->EndUpdate();
  }
  state.SetComplexityN(items);
}
BENCHMARK(BM_RationShape)->Arg(10)->Arg(25)->Arg(100)->Arg(400)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

}  // namespace
