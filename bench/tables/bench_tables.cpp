// Scanning a table of 1 000 000 records of 10 fields, reading every field as text: the
// table handler, the dataset (every field AsString), and beside them the least any
// reader must do (a reference loop that reads the file in 64 KB blocks and copies every
// field's trimmed text into a reused string). Compare the scans as ratios to the
// reference of the same run: the machine's absolute speed drifts. Each scan reports the
// peak of the heap it used (peak_heap_KB). Also: filtering the table with a
// two-condition expression.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "platform/core/Files.h"
#include "tables/DbfDB.h"
#include "tables/db_DBF.h"
#include "tables/db_create.h"
#include "tables/db_dbsy.h"

// --- Heap use: the bytes live and their peak since the last reset -------------------------

namespace {
std::atomic<std::int64_t> gLive{0};
std::atomic<std::int64_t> gPeak{0};

void* Allocate(std::size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (!p) throw std::bad_alloc();
  const std::int64_t live = gLive += static_cast<std::int64_t>(malloc_usable_size(p));
  std::int64_t peak = gPeak.load();
  while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
  }
  return p;
}
void Release(void* p) {
  if (!p) return;
  gLive -= static_cast<std::int64_t>(malloc_usable_size(p));
  std::free(p);
}
}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

constexpr std::int64_t kRecords = 1000000;

// The heap peak of one scan, above what was live when it started.
class HeapPeak {
 public:
  HeapPeak() : base_(gLive.load()) { gPeak = base_; }
  std::int64_t Bytes() const { return gPeak.load() - base_; }

 private:
  std::int64_t base_;
};

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
    headerLength_ = t.HeaderLength();
    recordLength_ = t.RecordLength();
    for (std::int64_t n = 1; n <= t.FieldCount(); ++n) fields_.push_back({t.FieldOffset(n), t.FieldLen(n)});
  }
  ~GeneratedTable() { std::filesystem::remove_all(dir_); }
  const AnsiString& Name() const { return name_; }
  AnsiString Dir() const { return AnsiPath(dir_); }
  std::string SysName() const { return dir_ + "/scan.dbf"; }

  struct Field {
    std::int64_t offset, length;
  };
  std::int64_t headerLength_ = 0, recordLength_ = 0;
  std::vector<Field> fields_;

 private:
  std::string dir_;
  AnsiString name_;
};

const GeneratedTable& Table() {
  static GeneratedTable table;
  return table;
}

void Report(benchmark::State& state, std::int64_t records, std::int64_t heapPeak) {
  state.SetItemsProcessed(records);
  state.counters["peak_heap_KB"] = static_cast<double>(heapPeak) / 1024.0;
}

// The least a reader does: 64 KB blocks, every field trimmed and copied into one string.
void BM_ReferenceLoop64K(benchmark::State& state) {
  const GeneratedTable& table = Table();
  std::int64_t records = 0, heap = 0;
  for (auto _ : state) {
    HeapPeak peak;
    std::vector<char> buf(1 << 16);
    std::string text;
    std::size_t chars = 0;
    const int fd = ::open(table.SysName().c_str(), O_RDONLY);
    const std::int64_t perBlock = static_cast<std::int64_t>(buf.size()) / table.recordLength_;
    for (std::int64_t first = 0; first < kRecords; first += perBlock) {
      const std::int64_t count = std::min(perBlock, kRecords - first);
      const ssize_t got = ::pread(fd, buf.data(), static_cast<std::size_t>(count * table.recordLength_),
                                  table.headerLength_ + first * table.recordLength_);
      if (got != count * table.recordLength_) state.SkipWithError("short read");
      for (std::int64_t r = 0; r < count; ++r) {
        const char* rec = buf.data() + r * table.recordLength_;
        for (const auto& f : table.fields_) {
          const char* b = rec + f.offset;
          const char* e = b + f.length;
          while (b < e && static_cast<unsigned char>(*b) <= ' ') ++b;
          while (e > b && static_cast<unsigned char>(e[-1]) <= ' ') --e;
          text.assign(b, static_cast<std::size_t>(e - b));
          chars += text.size();
        }
        ++records;
      }
    }
    ::close(fd);
    benchmark::DoNotOptimize(chars);
    heap = peak.Bytes();
  }
  Report(state, records, heap);
}
BENCHMARK(BM_ReferenceLoop64K)->Unit(benchmark::kMillisecond);

// The handler: by arg 0 an exclusive read-only open (read ahead in blocks), 1 shared for
// writing (one read per record, so that what other users post is seen). Display texts
// go into a reused string.
void BM_HandlerScanEveryFieldAsText(benchmark::State& state) {
  const GeneratedTable& table = Table();
  const bool shared = state.range(0) != 0;
  std::int64_t records = 0, heap = 0;
  for (auto _ : state) {
    HeapPeak peak;
    DBO_dBHandler t(table.Name(), shared, shared);
    AnsiString text;
    std::size_t chars = 0;
    for (t.GetRecord(dbp::First); !t.Eof(); t.GetRecord(dbp::Next)) {
      for (std::int64_t n = 1; n <= t.FieldCount(); ++n) {
        t.DisplayTextTo(n, text);
        chars += text.size();
      }
      ++records;
    }
    benchmark::DoNotOptimize(chars);
    heap = peak.Bytes();
  }
  Report(state, records, heap);
}
BENCHMARK(BM_HandlerScanEveryFieldAsText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The walk alone: positioning and reading every record, no field touched.
void BM_HandlerWalkOnly(benchmark::State& state) {
  const GeneratedTable& table = Table();
  std::int64_t records = 0;
  for (auto _ : state) {
    DBO_dBHandler t(table.Name(), false, false);
    for (t.GetRecord(dbp::First); !t.Eof(); t.GetRecord(dbp::Next)) ++records;
  }
  state.SetItemsProcessed(records);
}
BENCHMARK(BM_HandlerWalkOnly)->Unit(benchmark::kMillisecond);

// The same through DisplayText, a new string per field.
void BM_HandlerScanDisplayText(benchmark::State& state) {
  const GeneratedTable& table = Table();
  std::int64_t records = 0, heap = 0;
  for (auto _ : state) {
    HeapPeak peak;
    DBO_dBHandler t(table.Name(), false, false);
    std::size_t chars = 0;
    for (t.GetRecord(dbp::First); !t.Eof(); t.GetRecord(dbp::Next)) {
      for (std::int64_t n = 1; n <= t.FieldCount(); ++n) chars += t.DisplayText(n).size();
      ++records;
    }
    benchmark::DoNotOptimize(chars);
    heap = peak.Bytes();
  }
  Report(state, records, heap);
}
BENCHMARK(BM_HandlerScanDisplayText)->Unit(benchmark::kMillisecond);

// The dataset: every field AsString, by arg 0 opened read-only (read ahead), 1 shared
// for writing (record by record).
void BM_DataSetScanEveryFieldAsString(benchmark::State& state) {
  const GeneratedTable& table = Table();
  std::int64_t records = 0, heap = 0;
  for (auto _ : state) {
    HeapPeak peak;
    TDbfDataSet ds;
    ds.SetDatabaseName(table.Dir());
    ds.SetTableName("scan");
    ds.SetReadOnly(state.range(0) == 0);
    ds.Open();
    std::vector<TField*> fields;
    for (int i = 0; i < ds.FieldCount(); ++i) fields.push_back(&ds.Fields(i));
    std::size_t chars = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) {
      for (TField* f : fields) chars += f->AsString().size();
      ++records;
    }
    benchmark::DoNotOptimize(chars);
    heap = peak.Bytes();
  }
  Report(state, records, heap);
}
BENCHMARK(BM_DataSetScanEveryFieldAsString)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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

// Appends of 100 000 records to a table opened for the process alone, then a rewrite of
// each: the upkeep of every write (the record count, the header) without an index.
void BM_AppendAndRewriteExclusive(benchmark::State& state) {
  char tmpl[] = "/tmp/tarnwick-bench-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  const AnsiString name = AnsiPath(dir + "/append.dbf");
  constexpr std::int64_t kAppended = 100000;
  for (auto _ : state) {
    CreateDbfTable(name, 0x03, {{"CODE", 'N', 8, 0}, {"NAME", 'C', 40}}, {.Overwrite = true});
    DBO_dBaseFld t(name, false, true);
    for (std::int64_t i = 0; i < kAppended; ++i) {
      t.BlankRecord();
      t.NumberPut(1, static_cast<double>(i));
      t.Append();
    }
    for (std::int64_t r = 1; r <= kAppended; ++r) {
      t.GetRecord(r);
      t.NumberPut(1, static_cast<double>(-r));
      t.PutRecord(r);
    }
  }
  std::filesystem::remove_all(dir);
  state.SetItemsProcessed(state.iterations() * kAppended * 2);
}
BENCHMARK(BM_AppendAndRewriteExclusive)->Unit(benchmark::kMillisecond);

}  // namespace
