// Index files: building a tag over 1 000 000 records (CDX and NTX) against the system's
// sort of the same keys, FindKey per second in a CDX tag, 1 000 Locate calls on an
// indexed field of 100 000 and 1 000 000 records through the tag against the sequential
// search, and a walk of 100 000 records in the tag's order.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/core/Files.h"
#include "tables/DbfDB.h"
#include "tables/db_cdx.h"
#include "tables/db_create.h"
#include "tables/db_ntx.h"

namespace {

class BenchTable {
 public:
  explicit BenchTable(std::int64_t records) : records_(records) {
    char tmpl[] = "/tmp/tarnwick-bench-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    name_ = AnsiPath(dir_ + "/items.dbf");
    CreateDbfTable(name_, 0x03, {{"CODE", 'N', 8}, {"NAME", 'C', 20}});
    DBO_dBaseFld t(name_, false, true);
    std::mt19937 rng(1);
    for (std::int64_t i = 1; i <= records; ++i) {
      t.BlankRecord();
      t.NumberPut(1, static_cast<double>(i));
      std::string n(12, ' ');
      for (char& c : n) c = static_cast<char>('A' + rng() % 26);
      t.FieldPut(2, n);
      t.Append();
    }
  }
  ~BenchTable() { std::filesystem::remove_all(dir_); }
  const AnsiString& Name() const { return name_; }
  AnsiString Dir() const { return AnsiPath(dir_); }
  std::int64_t Records() const { return records_; }

 private:
  std::string dir_;
  AnsiString name_;
  std::int64_t records_;
};

const BenchTable& Million() {
  static BenchTable t(1000000);
  return t;
}

const BenchTable& Hundred() {
  static BenchTable t(100000);
  return t;
}

void BM_BuildCdxTagOverAMillionRecords(benchmark::State& state) {
  DBO_dBHandler h(Million().Name(), false, true);
  for (auto _ : state) {
    DBobjCDXFile f(&h, "build", true, true);
    f.AddTag("NAME", "NAME", "", false, false);
    benchmark::DoNotOptimize(f.TagBase(0)->RootBlock());
  }
  state.SetItemsProcessed(state.iterations() * Million().Records());
}
BENCHMARK(BM_BuildCdxTagOverAMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_BuildNtxTagOverAMillionRecords(benchmark::State& state) {
  DBO_dBHandler h(Million().Name(), false, true);
  for (auto _ : state) {
    DBobjNTXFile f(&h, "build", true, true);
    f.AddTag("NAME", "", false, false);
    benchmark::DoNotOptimize(f.TagBase(0)->RootBlock());
  }
  state.SetItemsProcessed(state.iterations() * Million().Records());
}
BENCHMARK(BM_BuildNtxTagOverAMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(1);

// Opened exclusively (0) or shared (1).
void BM_FindKeyInACdxTag(benchmark::State& state) {
  {
    DBO_dBHandler b(Million().Name(), false, true);
    DBobjCDXFile f(&b, "find", true, true);
    f.AddTag("CODE", "CODE", "", false, false);
  }
  DBO_dBHandler h(Million().Name(), state.range(0) != 0, true);
  h.IndexOpen("find.cdx");
  h.SetTagTo("CODE", false);
  std::mt19937 rng(2);
  std::int64_t found = 0;
  for (auto _ : state) {
    const std::int64_t code = 1 + static_cast<std::int64_t>(rng() % Million().Records());
    found += h.FindKey(std::to_string(code)) && h.RecNo() == code;
  }
  if (found != static_cast<std::int64_t>(state.iterations())) state.SkipWithError("a key was not found");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindKeyInACdxTag)->Arg(0)->Arg(1);

const BenchTable& TableOf(std::int64_t records) { return records >= 1000000 ? Million() : Hundred(); }

// 1 000 Locate calls on CODE over the records of the table (100 000 or 1 000 000) through
// the tag when `indexed`, else by the sequential search; in the dataset's default (shared)
// open, or opened exclusively when the second argument is 1.
void Locates(benchmark::State& state, bool indexed) {
  const BenchTable& table = TableOf(state.range(0));
  if (indexed) {
    DBO_dBHandler h(table.Name(), false, true);
    DBobjCDXFile f(&h, "items", true, true);
    f.AddTag("CODE", "CODE", "", false, false);
  }
  TDbfDataSet ds;
  ds.SetDatabaseName(table.Dir());
  ds.SetTableName("items");
  ds.Exclusive = state.range(1) != 0;
  if (indexed) ds.IndexFiles().Add("items.cdx");
  ds.Open();
  for (auto _ : state) {
    int found = 0;
    for (int i = 0; i < 1000; ++i) {
      const std::int64_t code = 1 + (static_cast<std::int64_t>(i) * 7919) % table.Records();
      found += ds.Locate("CODE", Variant(static_cast<int>(code)), {}) && ds.FieldByName("CODE").AsInteger() == code;
    }
    if (found != 1000) state.SkipWithError("a record was not found");
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_ThousandLocatesThroughATag(benchmark::State& state) { Locates(state, true); }
BENCHMARK(BM_ThousandLocatesThroughATag)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Args({1000000, 0})
    ->Unit(benchmark::kMillisecond);

void BM_ThousandLocatesSequential(benchmark::State& state) { Locates(state, false); }
BENCHMARK(BM_ThousandLocatesSequential)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Args({1000000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The system's sort over the keys of the CDX build above (the NAME of a million records,
// one per line), for the build's measure.
void BM_SortOfTheSameKeysAsTheBuild(benchmark::State& state) {
  const std::string dir = std::string(Million().Dir());
  const std::string in = dir + "/keys.txt", out = dir + "/sorted.txt";
  {
    DBO_dBaseFld t(Million().Name(), false, false);
    std::string text;
    for (t.GetRecord(dbp::First); !t.Eof(); t.GetRecord(dbp::Next)) text += TrimRight(t.FieldGet(2)) + "\n";
    std::ofstream(in, std::ios::binary) << text;
  }
  const std::string command = "LC_ALL=C sort -o '" + out + "' '" + in + "'";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("sort failed");
  state.SetItemsProcessed(state.iterations() * Million().Records());
}
BENCHMARK(BM_SortOfTheSameKeysAsTheBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

// Every record of 100 000 in the order of a tag: each step reads the record through the
// table's read-ahead buffer, which the walk switches off and on again.
void BM_WalkAHundredThousandRecordsThroughATag(benchmark::State& state) {
  const AnsiString index = Hundred().Dir() + "/walk.cdx";
  DBO_dBHandler h(Hundred().Name(), false, true);
  {
    DBobjCDXFile f(&h, index, true, true);
    f.AddTag("NAME", "NAME", "", false, false);
  }
  h.IndexOpen(index);
  h.SetTagTo("NAME", false);
  for (auto _ : state) {
    std::int64_t n = 0;
    for (h.GetRecord(dbp::First); !h.Eof(); h.GetRecord(dbp::Next)) ++n;
    if (n != Hundred().Records()) state.SkipWithError("records missing from the walk");
  }
  state.SetItemsProcessed(state.iterations() * Hundred().Records());
}
BENCHMARK(BM_WalkAHundredThousandRecordsThroughATag)->Unit(benchmark::kMillisecond);

}  // namespace
