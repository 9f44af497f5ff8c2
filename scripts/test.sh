#!/usr/bin/env bash
# Sets up, builds (AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
scripts/check-gui-path.sh
BUILD=${BUILD_DIR:-build-test}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DTARNWICK_SANITIZE=ON -DTARNWICK_BENCH=OFF
cmake --build "$BUILD" --parallel "$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$BUILD" --output-on-failure --parallel "$(nproc)" --timeout 600
# Every benchmark, built for speed, runs once briefly: one that aborts or crashes fails.
scripts/bench-smoke.sh
