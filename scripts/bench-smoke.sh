#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs each once, briefly, so that a benchmark that
# aborts or crashes is noticed. The figures of such a run mean nothing; run a benchmark
# by hand for its figures. Sizes of a million records are left out here for time.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD=${BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON -DTARNWICK_TESTS=OFF \
  ${CMAKE_LAUNCHER_ARGS:-} >/dev/null || exit 1
cmake --build "$BUILD" --parallel "$(nproc)" || exit 1
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
failed=()
while IFS= read -r bench; do
  start=$SECONDS
  if timeout 600 "$bench" --benchmark_min_time=0.01 --benchmark_filter='-/1000000' >"$bench.smoke.log" 2>&1; then
    echo "benchmark ok   ($((SECONDS - start)) s): ${bench#"$BUILD"/}"
  else
    echo "benchmark FAILED (exit $?): ${bench#"$BUILD"/}; its output:"
    tail -n 30 "$bench.smoke.log"
    failed+=("$bench")
  fi
done < <(find "$BUILD/bench" -type f -executable -name 'bench_*' | sort)
if [ ${#failed[@]} -ne 0 ]; then
  echo "${#failed[@]} benchmark(s) failed" >&2
  exit 1
fi
