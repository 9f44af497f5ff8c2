// Sorting a flat reference table by a numeric column: n rows under one parent, sorted
// back and forth by two columns of random numbers, so that every sort starts from an
// order unrelated to its key. Then the re-sort of a list that is already in order, as
// the automatic sort after one text change does it.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "controls/tree/MtTree.h"

namespace {

void Fill(TCustomMtTree& tree, int n) {
  tree.HeaderSections()->AddSection()->SetFieldType(sftText);
  tree.HeaderSections()->AddSection()->SetFieldType(sftNumber);
  tree.HeaderSections()->AddSection()->SetFieldType(sftNumber);
  std::mt19937 random(1);
  tree.Items()->BeginUpdate();
  for (int i = 0; i < n; ++i) {
    TMtTreeItem* item = tree.Items()->AddChild(nullptr, "row");
    item->ColumnText().Add(std::to_string(random() % 1000000));
    item->ColumnText().Add(std::to_string(random() % 1000000));
  }
  tree.Items()->EndUpdate();
}

void BM_SortNumberColumn(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TCustomMtTree tree;
  Fill(tree, n);
  int section = 1;
  for (auto _ : state) {
    tree.SortSection = section;
    tree.SortAll(false);
    section = 3 - section;
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_SortNumberColumn)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oNLogN)
    ->Unit(benchmark::kMillisecond);

void BM_ResortSortedList(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TCustomMtTree tree;
  Fill(tree, n);
  tree.SortSection = 1;
  tree.SortAll(false);
  for (auto _ : state) tree.SortAll(false);
  state.SetComplexityN(n);
}
BENCHMARK(BM_ResortSortedList)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace
