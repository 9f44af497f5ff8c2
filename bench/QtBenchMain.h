// The main of the benchmarks that need Qt widgets: the application lives in main, on the
// offscreen platform unless another is set, and whatever the benchmarks made with it (forms,
// trees, windows) is freed through AtQtBenchExit before the application goes, so that no
// widget outlives Qt at exit.
#pragma once

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <functional>
#include <vector>

#include "platform/gui/Application.h"

namespace qtbench {

inline std::vector<std::function<void()>>& ExitHooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}

// Runs `free` after the benchmarks, while the application still exists (last added first).
inline void AtQtBenchExit(std::function<void()> free) { ExitHooks().push_back(std::move(free)); }

inline int Main(int argc, char** argv, const std::function<void()>& init = {}) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int code = 0;
  {
    TQtApplication app(argc, argv);
    Application().Initialize();
    if (init) init();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) code = 1;
    else benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto& hooks = ExitHooks();
    while (!hooks.empty()) {
      auto free = std::move(hooks.back());
      hooks.pop_back();
      free();
    }
  }
  return code;
}

}  // namespace qtbench

// Defines main() for a benchmark program on Qt widgets.
#define TARNWICK_QT_BENCHMARK_MAIN(...) \
  int main(int argc, char** argv) { return qtbench::Main(argc, argv __VA_OPT__(, ) __VA_ARGS__); }
