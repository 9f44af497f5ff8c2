// Printing the 14-day example: the composite of every section built from the shipped
// templates, and the same with every page drawn as the preview draws it (zoom 1).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "QtBenchMain.h"
#include "examples/ExampleBuild.h"
#include "planner/ration/RationPrint.h"
#include "refdata/RefSource.h"
#include "report/gui/RP_QtPrint.h"
#include "rptemplates/RationTemplates.h"

namespace {

struct TExample {
  TRationDocument doc;
  TRationViews views{doc};
  TRationPrint print{doc, views};
  TPrnSections sections;
  AnsiString ref;

  TExample() {
    const AnsiString dir = TARNWICK_DATA_DIR;
    examples::BuildExample(doc, refdata::ReadWholeFile(dir + "/examples/mountain-14.txt"), "mountain-14.txt", dir);
    doc.SetRecalcFlags();
    print.RefreshViews();
    ref = (std::filesystem::temp_directory_path() / "tarnwick-bench-templates").string();
    std::filesystem::create_directories(ref.c_str());
    rptemplates::WriteTemplates(ref);
    sections.SetState(sections.FindByKey("Gen"), TPrnCheck::Checked);
    sections.SetState(sections.FindByKey("Eat"), TPrnCheck::Checked);
  }
};

TExample& Example() {
  static TExample e;
  return e;
}

void BM_BuildAllSections(benchmark::State& state) {
  TExample& e = Example();
  for (auto _ : state) {
    e.print.Assemble(e.ref, e.sections);
    if (!e.print.Prepare()) state.SkipWithError("build failed");
    benchmark::DoNotOptimize(e.print.rpCompRpt.EMFPages.GetCount());
    e.print.Clear();
  }
}
BENCHMARK(BM_BuildAllSections)->Unit(benchmark::kMillisecond);

void BM_BuildAndPreviewAllSections(benchmark::State& state) {
  TExample& e = Example();
  for (auto _ : state) {
    e.print.Assemble(e.ref, e.sections);
    if (!e.print.Prepare()) state.SkipWithError("build failed");
    for (int i = 0; i < e.print.rpCompRpt.EMFPages.GetCount(); ++i)
      benchmark::DoNotOptimize(rpRenderPreparedPage(e.print.rpCompRpt.EMFPages, i, 1.0));
    state.counters["pages"] = e.print.rpCompRpt.EMFPages.GetCount();
    e.print.Clear();
  }
}
BENCHMARK(BM_BuildAndPreviewAllSections)->Unit(benchmark::kMillisecond);

}  // namespace

TARNWICK_QT_BENCHMARK_MAIN(rpInitQtPrinting)
