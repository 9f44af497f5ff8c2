// Opening the 14-day, 6-person example in the program's main window up to the first
// paint of its ration window (offscreen): read, sums, totals, widgets filled, painted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMdiArea>
#include <QPixmap>
#include <filesystem>
#include <memory>

#include "QtBenchMain.h"
#include "examples/ExampleBuild.h"
#include "planner/app/Globals.h"
#include "planner/app/ProgramVersion.h"
#include "planner/gui/MainForm.h"
#include "platform/core/Files.h"
#include "platform/core/Registry.h"
#include "platform/core/VersionResources.h"
#include "platform/gui/Application.h"
#include "refdata/RefBuild.h"

namespace {

struct TSetup {
  std::string root;
  std::unique_ptr<TSettingsStore> store;
  std::unique_ptr<TdmGlobals> globals;
  std::unique_ptr<TMainForm> form;

  TSetup() {
    root = std::filesystem::temp_directory_path() / ("tarnwick-bench-" + std::to_string(::getpid()));
    const AnsiString bin = root + "/bin/";
    refdata::BuildRefDir(TARNWICK_DATA_DIR, bin + "Ref");
    examples::BuildExamples(TARNWICK_DATA_DIR, bin + "Examples");
    SaveFileAtomically(bin + "tarnwick", [](TStream& s) { s.WriteString("x"); });
    SetFileVersionBlock(bin + "tarnwick", std::string(ProgramVersionBlock()));
    store = std::make_unique<TSettingsStore>(root + "/settings.ini");
    TGlobalsEnvironment env;
    env.Store = store.get();
    env.ProgramFile = bin + "tarnwick";
    env.UserDataDir = root + "/user/";
    env.IsWritable = [](std::string_view) { return true; };
    globals = std::make_unique<TdmGlobals>(env);
    globals->dmGlobalsCreate();
    form = std::make_unique<TMainForm>(*globals, AnsiString(TARNWICK_DATA_DIR) + "/help/help.txt");
    form->resize(1280, 900);
    form->show();
  }
  ~TSetup() {
    form.reset();
    globals.reset();
    std::filesystem::remove_all(root);
  }
};

// Made on first use; freed before the application at exit.
TSetup& Setup() {
  static std::unique_ptr<TSetup> setup;
  if (!setup) {
    setup = std::make_unique<TSetup>();
    qtbench::AtQtBenchExit([] { setup.reset(); });
  }
  return *setup;
}

void BM_OpenToFirstPaint(benchmark::State& state) {
  TSetup& setup = Setup();
  const AnsiString file = setup.root + "/bin/Examples/mountain-14.tw";
  for (auto _ : state) {
    TRaskladForm* f = setup.form->OpenRation(file);
    f->ShowTab(0);
    QPixmap shot = setup.form->grab();
    benchmark::DoNotOptimize(shot);
    state.PauseTiming();
    setup.form->Client()->closeAllSubWindows();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenToFirstPaint)->Unit(benchmark::kMillisecond);

}  // namespace

TARNWICK_QT_BENCHMARK_MAIN()
