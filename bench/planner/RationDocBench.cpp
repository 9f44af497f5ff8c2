// A ration document under the load of a long trip: days x 6 meals x 5 dishes x 10
// products added through AddItem, every day summed, then everything deleted. Inside an
// update bracket the cost grows linearly with the number of items.
#include <benchmark/benchmark.h>

#include "BenchFood.h"
#include "planner/ration/RationDoc.h"

namespace {

constexpr int kMeals = 6;
constexpr int kDishes = 5;
constexpr int kProducts = 10;

// Fills the day with its meals, dishes and products.
void FillDay(TRationDocument& doc, TMtTreeItem* day, int& serial) {
  for (int m = 0; m < kMeals; ++m) {
    TMtTreeItem* meal = doc.AddItem(day, "meal", nullptr, fkMeal, m + 1);
    for (int d = 0; d < kDishes; ++d) {
      TMtTreeItem* dish = doc.AddItem(meal, "dish", nullptr, fkDish, d + 1);
      for (int p = 0; p < kProducts; ++p) {
        const TFoodRec food = BenchProduct(serial++);
        doc.AddItem(dish, "product", &food, fkProduct, p + 1);
      }
    }
  }
}

// Adds the days at the end (or each before the first day), sums every day with its
// products redrawn, numbers the days, then deletes the days one by one from the end
// (or the front), as a document that is built, edited and closed.
void RunRation(benchmark::State& state, bool atFront) {
  const int days = static_cast<int>(state.range(0));
  int items = 0;
  for (auto _ : state) {
    TRationDocument doc;
    doc.Mans = 12;
    doc.DocumentReady = 1;
    int serial = 0;
    {
      TMtUpdateBracket bracket(&doc.Tree());
      for (int i = 0; i < days; ++i) {
        TMtTreeItem* first = doc.Items()->Root()->GetFirstChild();
        TMtTreeItem* day = doc.AddItem(atFront ? first : nullptr, "", nullptr, fkDay, 0);
        FillDay(doc, day, serial);
      }
      doc.Days = doc.DayCounter;
      const TMtTreeItem* root = doc.Items()->Root();
      for (int i = 0; i < root->GetChildrenCount(); ++i) doc.SumGroup(root->GetChildren(i), true);
      doc.RenumberDays();
    }
    items = doc.Items()->Count();
    benchmark::DoNotOptimize(doc.DayRecords().size());
    {
      TMtUpdateBracket bracket(&doc.Tree());
      const TMtTreeItem* root = doc.Items()->Root();
      while (TMtTreeItem* day = atFront ? root->GetFirstChild() : root->GetLastChild()) day->Delete();
    }
    if (doc.RecordCount() != 0 || doc.DayCounter != 0) state.SkipWithError("records left behind");
  }
  state.SetComplexityN(items);
  state.counters["items"] = items;
}

void BM_RationBuildSumDelete(benchmark::State& state) { RunRation(state, false); }
BENCHMARK(BM_RationBuildSumDelete)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void BM_RationDaysInsertedFirst(benchmark::State& state) { RunRation(state, true); }
BENCHMARK(BM_RationDaysInsertedFirst)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// The same document built without an update bracket, each day expanded as it is
// filled. Outside a bracket every day added at the top level re-lays out the visible
// rows, so the cost grows with days x rows (the fit is left to the library): this is why
// bulk work goes inside one bracket. Kept to show that cost beside the runs above.
void BM_RationWithoutBracket(benchmark::State& state) {
  const int days = static_cast<int>(state.range(0));
  int items = 0;
  for (auto _ : state) {
    TRationDocument doc;
    int serial = 0;
    for (int i = 0; i < days; ++i) {
      TMtTreeItem* day = doc.AddItem(nullptr, "", nullptr, fkDay, 0);
      FillDay(doc, day, serial);
      day->Expand(true);
      doc.SumGroup(day, false);
    }
    items = doc.Items()->Count();
    doc.Items()->Clear();
  }
  state.SetComplexityN(items);
  state.counters["items"] = items;
}
BENCHMARK(BM_RationWithoutBracket)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

}  // namespace
