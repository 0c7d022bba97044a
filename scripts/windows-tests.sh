#!/usr/bin/env bash
# Builds the MinGW tree and runs its tests under Wine on a virtual display.
# Exits non-zero when the build or a test fails; ctest's summary comes last.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2

# Make the prefix (once) before any test's clock starts.
source scripts/wine-env.sh

# The Wine processes end before the display does, so none of them complains
# about a lost X connection after ctest's summary.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  status=0
  ctest --test-dir "$1" --output-on-failure || status=$?
  wineserver -w
  exit $status' run-tests "$build"
