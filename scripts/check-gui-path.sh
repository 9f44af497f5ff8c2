#!/usr/bin/env bash
# Configures a copy of the sources checked out under a folder named "gui", as a user's
# checkout may be (~/gui/tarnwick): the CMake files pick their sources by the path inside
# the project, never by the absolute path. Configure only: a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
copy="$work/gui/tarnwick"
mkdir -p "$copy"
tar --exclude='./build*' --exclude='./.git' --exclude='./out' -cf - . | tar -xf - -C "$copy"
if ! cmake -S "$copy" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_BENCH=ON \
    >"$work/configure.log" 2>&1; then
  cat "$work/configure.log" >&2
  echo "Configuring a checkout under a folder named \"gui\" failed." >&2
  exit 1
fi
echo "A checkout under a folder named \"gui\" configures."
