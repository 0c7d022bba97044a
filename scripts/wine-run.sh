#!/usr/bin/env bash
# Runs one Windows program under Wine in the build tree's prefix; ctest uses
# it for every Windows test binary.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
exec wine "$@"
