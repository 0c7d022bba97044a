#!/usr/bin/env bash
# Fails, naming each file, when a C++ source of the project differs from the
# layout .clang-format gives it. Mend with: clang-format-14 -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."

format=clang-format-14
count=$(git ls-files '*.cpp' '*.h' | wc -l)
# Each difference is reported as FILE:LINE:COLUMN: error: ...
bad=$(git ls-files -z '*.cpp' '*.h' |
      xargs -0 "$format" --dry-run --Werror 2>&1 |
      grep -oE '^[^:]+:[0-9]+:[0-9]+: error' | cut -d: -f1 | sort -u || true)
if [ -n "$bad" ]; then
  sed 's/^/not formatted: /' <<<"$bad" >&2
  echo "format: $(grep -c . <<<"$bad") of $count files differ; mend with: $format -i FILE..." >&2
  exit 1
fi
echo "format: $count files, all formatted"
