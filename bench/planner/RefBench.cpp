// A reference table of n rows (folders of 50 rows each) loaded into a tree through the
// default columns, and written back whole (backup, working copy, replace). Both should
// grow linearly with the number of rows.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "planner/reference/Ref.h"
#include "platform/core/Files.h"
#include "refdata/RefBuild.h"
#include "refdata/RefSource.h"
#include "test_support/TempDir.h"

namespace {

// "products" with n rows in folders of 50.
AnsiString MakeProducts(const TempDir& dir, int n) {
  std::string text =
      "CODE:N10|OWNER:N10|FLAGS:N5|NAME:C60|CAL:N6|ALBA:N8.2|ALBV:N8.2|FATA:N8.2|FATV:N8.2|CARB:N8.2|VEIGHT:N6\n";
  int folder = 0;
  for (int i = 0; i < n; ++i) {
    if (i % 50 == 0) {
      folder = 1000000 + i;
      text += std::to_string(folder) + "|0|1|Folder " + std::to_string(i) + "|||||||\n";
    }
    text += std::to_string(i + 1) + "|" + std::to_string(folder) + "|0|Product " + std::to_string(i) + "|" +
            std::to_string(100 + i % 300) + "|1.50|2.25|0.50|3.00|" + std::to_string(10 + i % 60) + ".00|" +
            std::to_string(20 + i % 80) + "\n";
  }
  refdata::WriteRefTable(refdata::TRefSource::Parse(text, "products"), dir.Path() + "/products.DBF");
  return dir.Path() + "/products";
}

void Sections(TCustomMtTree& tree) {
  const std::pair<const char*, TFieldTypes> fields[] = {
      {"NAME", sftText},     {"CAL", sftNumber},    {"ALBA", sftFloating}, {"ALBV", sftFloating},
      {"FATA", sftFloating}, {"FATV", sftFloating}, {"CARB", sftFloating}, {"VEIGHT", sftNumber}};
  for (const auto& [name, type] : fields) {
    TMtHeaderSection* s = tree.HeaderSections()->AddSection();
    s->SetFieldName(name);
    s->SetFieldType(type);
  }
}

// A tree with the products' sections over a fresh table of n rows.
struct TBenchRef {
  explicit TBenchRef(int n) : ref(InitTree(tree), MakeProducts(dir, n)) {}
  static TCustomMtTree& InitTree(TCustomMtTree& tree) {
    Sections(tree);
    return tree;
  }
  TempDir dir;
  TCustomMtTree tree;
  TRef ref;
};

void BM_RefLoad(benchmark::State& state) {
  TBenchRef b(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    b.ref.Load();
    benchmark::DoNotOptimize(b.ref.ItemList().size());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RefLoad)->RangeMultiplier(4)->Range(256, 16384)->Complexity(benchmark::oN);

void BM_RefSave(benchmark::State& state) {
  TBenchRef b(static_cast<int>(state.range(0)));
  b.ref.Load();
  for (auto _ : state) b.ref.Save();
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RefSave)->RangeMultiplier(4)->Range(256, 16384)->Complexity(benchmark::oN);

}  // namespace
