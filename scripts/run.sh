#!/usr/bin/env bash
# Sets up, builds a Release build into build/ and starts the program with its shipped
# reference tables, help and examples (all beside it in build/bin/). Arguments are passed
# to the program: ration files (.tw) to open after start-up.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF
cmake --build "$BUILD" --parallel "$(nproc)"
exec "$BUILD/bin/tarnwick" "$@"
