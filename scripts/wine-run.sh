#!/usr/bin/env bash
# Runs one GoogleTest binary for Windows under Wine in the build tree's
# prefix; ctest uses it for every Windows test binary. A test binary that
# crashes under Wine can still end with exit code 0, so the run passes only
# when the binary also printed GoogleTest's closing "[  PASSED  ]" line.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
wine "$@" 2>&1 | tee "$out" || status=$?
if [ "$status" -eq 0 ] && ! grep -q '^\[  PASSED  \]' "$out"; then
  echo "wine-run: the test binary ended without GoogleTest's closing PASSED line" >&2
  status=1
fi
exit "$status"
