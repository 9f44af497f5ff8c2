// The dataset over a table of 100 000 records: a walk reading four fields by name, and
// 1 000 Locate calls on CODE (a sequential search each, no index).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "tables/DbfDB.h"
#include "tables/db_DBF.h"
#include "tables/db_create.h"

namespace {

constexpr std::int64_t kRecords = 100000;
constexpr int kLocates = 1000;

class ProductsTable {
 public:
  ProductsTable() {
    char tmpl[] = "/tmp/tarnwick-bench-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    const AnsiString name = AnsiPath(dir_ + "/products.dbf");
    CreateDbfTable(name, 0x03,
                   {{"CODE", 'N', 6},
                    {"OWNER", 'N', 6},
                    {"FLAGS", 'N', 3},
                    {"NAME", 'C', 40},
                    {"CAL", 'N', 8, 2},
                    {"ALB", 'N', 8, 2},
                    {"FAT", 'N', 8, 2},
                    {"CARB", 'N', 8, 2}});
    DBO_dBaseFld t(name, false, true);
    const AnsiString stem = cp::AnsiToOem(Ansi("Продукт номер "));
    for (std::int64_t i = 1; i <= kRecords; ++i) {
      t.BlankRecord();
      t.NumberPut(1, static_cast<double>(i));
      t.NumberPut(2, static_cast<double>(i / 100));
      t.NumberPut(3, static_cast<double>(i % 2));
      t.FieldPut(4, stem + std::to_string(i));
      t.NumberPut(5, (i % 9000) / 10.0);
      t.NumberPut(6, (i % 700) / 10.0);
      t.NumberPut(7, (i % 600) / 10.0);
      t.NumberPut(8, (i % 500) / 10.0);
      t.Append();
    }
  }
  ~ProductsTable() { std::filesystem::remove_all(dir_); }
  AnsiString Dir() const { return AnsiPath(dir_); }

 private:
  std::string dir_;
};

const ProductsTable& Table() {
  static ProductsTable table;
  return table;
}

void Open(TDbfDataSet& ds) {
  ds.SetDatabaseName(Table().Dir());
  ds.SetTableName("products");
  ds.Open();
}

void BM_DataSetWalkFourFieldsByName(benchmark::State& state) {
  TDbfDataSet ds;
  Open(ds);
  for (auto _ : state) {
    std::int64_t codes = 0;
    double sum = 0;
    std::size_t names = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) {
      codes += ds.FieldByName("CODE").AsInteger();
      names += ds.FieldByName("NAME").AsString().size();
      sum += ds.FieldByName("CAL").AsFloat() + ds.FieldByName("CARB").AsFloat();
    }
    if (codes != kRecords * (kRecords + 1) / 2) state.SkipWithError("wrong walk");
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(names);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DataSetWalkFourFieldsByName)->Unit(benchmark::kMillisecond);

void BM_DataSetLocateByCode(benchmark::State& state) {
  TDbfDataSet ds;
  Open(ds);
  for (auto _ : state) {
    for (int i = 0; i < kLocates; ++i) {
      const std::int32_t code = static_cast<std::int32_t>((i * 7919LL) % kRecords + 1);
      if (!ds.Locate("CODE", Variant(code), 0) || ds.FieldByName("CODE").AsInteger() != code) {
        state.SkipWithError("not found");
        return;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kLocates);
}
BENCHMARK(BM_DataSetLocateByCode)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
