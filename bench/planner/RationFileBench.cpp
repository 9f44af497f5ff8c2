// Loading and saving a ration document of about 20,000 items: 80 days, each with 4
// meals of 5 dishes of 11 products (19,600 items). Version 3 from memory and from a
// file (saved atomically, with and without the backup), version 2 through the item
// stream, version 1 with its products put into every day.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchFood.h"
#include "planner/ration/RationFile.h"
#include "platform/core/Files.h"

namespace {

constexpr int kDays = 80;
constexpr int kMeals = 4;
constexpr int kDishes = 5;
constexpr int kProducts = 11;

class NoMessages : public IRationFileMessages {
 public:
  void ShowError(const AnsiString&) override { std::abort(); }
  bool Confirm(const AnsiString&) override { std::abort(); }
};

void BuildDocument(TRationDocument& doc) {
  doc.Header.Title = "Benchmark";
  doc.Mans = 6;
  doc.SetRationType(rtDayMenu);
  TMtUpdateBracket bracket(&doc.Tree());
  int serial = 0;
  for (int d = 0; d < kDays; ++d) {
    TMtTreeItem* day = doc.AddItem(nullptr, "", nullptr, fkDay, 0);
    for (int m = 0; m < kMeals; ++m) {
      TMtTreeItem* meal = doc.AddItem(day, "meal", nullptr, fkMeal, m + 1);
      for (int k = 0; k < kDishes; ++k) {
        TMtTreeItem* dish = doc.AddItem(meal, "dish", nullptr, fkDish, k + 1);
        for (int p = 0; p < kProducts; ++p) {
          const TFoodRec food = BenchProduct(serial++);
          TMtTreeItem* item = doc.AddItem(dish, "product name", &food, fkProduct, p + 1);
          if (p == 0) item->ColumnText().SetString(rcComment, "a comment\r\nof two lines");
        }
      }
    }
    doc.SumGroup(day, true);
  }
  doc.Days = doc.DayCounter;
}

std::string V3Bytes() {
  TRationDocument doc;
  BuildDocument(doc);
  TMemoryStream s;
  WriteRation(doc, s);
  return s.Bytes();
}

// The same document as version 2: the header of version 3 with version 2 (what an
// empty document with this header writes, less its item count), then the tree's item
// stream with the records.
std::string V2Bytes() {
  TRationDocument doc;
  BuildDocument(doc);
  TRationDocument empty;
  empty.Header = doc.Header;
  empty.Mans = doc.Mans;
  empty.Days = doc.Days;
  empty.SetRationType(doc.RationType());
  TMemoryStream head;
  WriteRation(empty, head);
  std::string bytes = head.Bytes();
  bytes.resize(bytes.size() - 4);
  bytes[4] = 2;
  TMemoryStream items;
  doc.Tree().OnItemSave = [](TObject*, TStream& s, TMtTreeItem* item) { tvEatMenuItemSave(s, item); };
  doc.Items()->SaveToStream(items);
  return bytes + items.Bytes();
}

// 99 days and 199 products (19,800 items) in version 1.
std::string V1Bytes() {
  auto i32 = [](std::int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto ext = [](double v) {
    // v = m * 2^e for the small positive values used here.
    int e;
    const double m = std::frexp(v, &e);
    const auto mant = static_cast<std::uint64_t>(std::ldexp(m, 64));
    std::string b(reinterpret_cast<const char*>(&mant), 8);
    const std::uint16_t se = static_cast<std::uint16_t>(e - 1 + 16383);
    return b + std::string(reinterpret_cast<const char*>(&se), 2);
  };
  std::string f = "TWCK" + i32(1) + '\x05' + "Title" + '\x06' + "Author";
  std::string a(87, '\0'), b(87, '\0');
  b.replace(53, 4, i32(3100));
  b.replace(57, 10, ext(150));
  b.replace(67, 10, ext(180));
  b.replace(77, 10, ext(690));
  f += a + b + i32(99) + i32(6) + i32(0);
  std::string header(20, '\0');
  header.replace(16, 4, i32(199));
  f += header;
  for (int i = 0; i < 199; ++i) {
    std::string r(111, '\0');
    r.replace(0, 4, i32(i + 1));
    r[12] = 12;
    r.replace(13, 12, "product name");
    const TFoodRec food = BenchProduct(i);
    r.replace(53, 10, ext(food.AlbV));
    r.replace(63, 10, ext(food.AlbA));
    r.replace(73, 10, ext(food.FatV + 1));
    r.replace(83, 10, ext(food.FatA + 1));
    r.replace(93, 10, ext(food.Carb));
    r.replace(103, 4, i32(food.Cal));
    r.replace(107, 4, i32(food.Veight));
    f += r;
  }
  return f;
}

void ReadBytes(benchmark::State& state, const std::string& bytes) {
  int items = 0;
  for (auto _ : state) {
    TRationDocument doc;
    TMemoryStream s(bytes);
    if (ReadRation(doc, s, TRationLimits{}) != rlOk) state.SkipWithError("not read");
    items = doc.Items()->Count();
  }
  state.counters["items"] = items;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}

void BM_ReadV3(benchmark::State& state) { ReadBytes(state, V3Bytes()); }
BENCHMARK(BM_ReadV3)->Unit(benchmark::kMillisecond);

void BM_ReadV2(benchmark::State& state) { ReadBytes(state, V2Bytes()); }
BENCHMARK(BM_ReadV2)->Unit(benchmark::kMillisecond);

void BM_ReadV1(benchmark::State& state) { ReadBytes(state, V1Bytes()); }
BENCHMARK(BM_ReadV1)->Unit(benchmark::kMillisecond);

void BM_WriteV3(benchmark::State& state) {
  TRationDocument doc;
  BuildDocument(doc);
  for (auto _ : state) {
    TMemoryStream s;
    WriteRation(doc, s);
    benchmark::DoNotOptimize(s.Size());
  }
  state.counters["items"] = doc.Items()->Count();
}
BENCHMARK(BM_WriteV3)->Unit(benchmark::kMillisecond);

// A directory of its own under the system's temporary directory.
class BenchDir {
 public:
  BenchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    path_ = tmpl;
  }
  ~BenchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  AnsiString File(const char* name) const { return AnsiPath(path_ + "/" + name); }

 private:
  std::string path_;
};

// Saving to a file: written atomically (and flushed to the disk), with or without the
// backup copy of the previous file.
void BM_SaveFile(benchmark::State& state) {
  const bool backup = state.range(0) != 0;
  BenchDir dir;
  const AnsiString name = dir.File("trip.tw");
  TRationDocument doc;
  BuildDocument(doc);
  NoMessages messages;
  for (auto _ : state) {
    if (!SaveRationToFile(doc, name, backup, messages)) state.SkipWithError("not saved");
  }
  state.counters["items"] = doc.Items()->Count();
}
BENCHMARK(BM_SaveFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LoadFile(benchmark::State& state) {
  BenchDir dir;
  const AnsiString name = dir.File("trip.tw");
  NoMessages messages;
  {
    TRationDocument doc;
    BuildDocument(doc);
    SaveRationToFile(doc, name, false, messages);
  }
  int items = 0;
  for (auto _ : state) {
    TRationDocument doc;
    LoadRationFromFile(doc, name, TRationLimits{}, messages);
    items = doc.Items()->Count();
  }
  state.counters["items"] = items;
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond);

}  // namespace
