// The build pass: rows x 6 memo columns (a group every 20 rows, a SUM in the group
// footer and in the summary) into prepared pages, at two sizes to show the growth; in
// one pass (up to 100,000 rows) and in two (the first one counting the pages for
// TOTALPAGES).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "report/RP_Builder.h"
#include "report/RP_Class.h"

namespace {

void BuildRows(benchmark::State& state, bool twoPasses) {
  const int rows = static_cast<int>(state.range(0));
  TrpReport report;
  TrpTemplateBuilder b(report.Pages);
  b.Page(9, rpPortrait, 40);
  report.Pages.DoublePass = twoPasses;
  b.Band(btGroupHeader, 0, 20).FormatStr = "[G]";
  b.Memo("Группа [G]", 40, 0, 300, 18);
  b.Band(btMasterData, 30, 20).FormatStr = "Rows";
  const char* columns[] = {"[N]", "[NAME]", "[QTY #N2.2]", "[G]", "[N] * 2", "[QTY] + 1"};
  for (int c = 0; c < 6; ++c) b.Memo(columns[c], 40 + c * 110, 30, 100, 18);
  b.Band(btGroupFooter, 60, 20);
  b.Memo("Итого [SUM([QTY]) #N2.2]", 40, 60, 300, 18);
  b.Band(btReportSummary, 90, 20);
  b.Memo("Всего [SUM([QTY]) #N2.2]", 40, 90, 300, 18);
  int at = 0;
  TrpUserDataset data;
  data.Name = "Rows";
  data.OnFirst = [&](TObject*) { at = 0; };
  data.OnNext = [&](TObject*) { ++at; };
  data.OnPrior = [&](TObject*) { --at; };
  data.OnCheckEOF = [&](TObject*, bool& eof) { eof = at >= rows; };
  report.AddDataset(data);
  const std::vector<AnsiString> names = {"крупа", "сахар", "сухари", "сыр"};
  report.OnGetValue = [&](const AnsiString& name, Variant& value) {
    if (name == "N") value = Variant(at + 1);
    else if (name == "G") value = Variant(at / 20);
    else if (name == "QTY") value = Variant(0.25 * (at % 7));
    else if (name == "NAME") value = Variant(names[static_cast<std::size_t>(at) % names.size()]);
  };
  int pages = 0;
  for (auto _ : state) {
    if (!report.PrepareReport()) state.SkipWithError("build failed");
    pages = report.EMFPages.GetCount();
  }
  state.counters["pages"] = pages;
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  state.SetComplexityN(rows);
}

}  // namespace

BENCHMARK_CAPTURE(BuildRows, one_pass, false)
    ->Arg(2500)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(BuildRows, two_passes, true)
    ->Arg(2500)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);


