// Scanning a table of 1 000 000 records of 10 fields, reading every field as text,
// next to simply reading the file's bytes; filtering the same table with a
// two-condition expression.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/Files.h"
#include "tables/db_DBF.h"
#include "tables/db_create.h"
#include "tables/db_dbsy.h"

namespace {

constexpr std::int64_t kRecords = 1000000;

// The generated table, made once per run and removed at exit.
class GeneratedTable {
 public:
  GeneratedTable() {
    char tmpl[] = "/tmp/tarnwick-bench-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    name_ = AnsiPath(dir_ + "/scan.dbf");
    CreateDbfTable(name_, 0x03,
                   {{"CODE", 'N', 8, 0}, {"OWNER", 'N', 8, 0}, {"NAME", 'C', 40}, {"CAL", 'N', 6, 0},
                    {"ALBA", 'N', 8, 2}, {"FATA", 'N', 8, 2}, {"CARB", 'N', 8, 2}, {"BORN", 'D'},
                    {"OK", 'L'}, {"NOTE", 'C', 20}});
    DBO_dBaseFld t(name_, false, true);
    for (std::int64_t i = 0; i < kRecords; ++i) {
      t.BlankRecord();
      t.NumberPut(1, static_cast<double>(i));
      t.NumberPut(2, static_cast<double>(i / 10));
      t.FieldPut(3, "Product number " + std::to_string(i));
      t.NumberPut(4, static_cast<double>(i % 900));
      t.NumberPut(5, (i % 1000) / 10.0);
      t.NumberPut(6, (i % 700) / 10.0);
      t.NumberPut(7, (i % 500) / 10.0);
      t.DatePut(8, static_cast<std::int32_t>(2444240 + i % 10000));
      t.LogicPut(9, i % 2 == 0);
      t.FieldPut(10, "note");
      t.Append();
    }
  }
  ~GeneratedTable() { std::filesystem::remove_all(dir_); }
  const AnsiString& Name() const { return name_; }
  std::string SysName() const { return dir_ + "/scan.dbf"; }

 private:
  std::string dir_;
  AnsiString name_;
};

const GeneratedTable& Table() {
  static GeneratedTable table;
  return table;
}

void BM_ScanEveryFieldAsText(benchmark::State& state) {
  const GeneratedTable& table = Table();
  std::int64_t records = 0;
  for (auto _ : state) {
    DBO_dBaseFld t(table.Name(), false, false);
    std::size_t chars = 0;
    for (t.GetRecord(dbp::First); !t.Eof(); t.GetRecord(dbp::Next)) {
      for (std::int64_t n = 1; n <= t.FieldCount(); ++n) chars += t.DisplayText(n).size();
      ++records;
    }
    benchmark::DoNotOptimize(chars);
  }
  state.SetItemsProcessed(records);
}
BENCHMARK(BM_ScanEveryFieldAsText)->Unit(benchmark::kMillisecond);

void BM_ReadTheFileBytes(benchmark::State& state) {
  const GeneratedTable& table = Table();
  std::vector<char> buf(1 << 16);
  std::int64_t bytes = 0;
  for (auto _ : state) {
    int fd = ::open(table.SysName().c_str(), O_RDONLY);
    std::int64_t sum = 0;
    for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0;) {
      sum += buf[0];
      bytes += n;
    }
    ::close(fd);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(bytes);
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(kRecords) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadTheFileBytes)->Unit(benchmark::kMillisecond);

// The table handler evaluates the filter once over every record into its record set.
void BM_FilterTwoConditions(benchmark::State& state) {
  const GeneratedTable& table = Table();
  std::int64_t records = 0, matched = 0;
  for (auto _ : state) {
    DBO_dBHandler t(table.Name(), false, false);
    t.SetFilter("CAL > 450 .AND. NAME = 'Product number 1*'", false, true);
    records += t.RecordCount();
    state.PauseTiming();
    t.SetFilterActive(true);
    matched = 0;
    for (t.GetRecord(dbp::First); !t.Eof(); t.GetRecord(dbp::Next)) ++matched;
    state.ResumeTiming();
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  state.counters["matched"] = static_cast<double>(matched);
}
BENCHMARK(BM_FilterTwoConditions)->Unit(benchmark::kMillisecond);

}  // namespace
