#!/usr/bin/env bash
# NOLPAIDC-sim.exe under Wine reaches the plant's database, a real
# PostgreSQL server, through Wine's odbc32 and the host's 32-bit unixODBC:
# db init (twice: nothing changes), a pool with a Japanese name (the W calls
# carry it), db pools, and two bad sources refused with their exit codes.
#   plant_db_test.sh NOLPAIDC-sim.exe SERVER-DIR
set -euo pipefail
exe=$1
server=$2
source "$(dirname "$0")/../../scripts/wine-env.sh"
source "$server/env"
database=wine_$$
psql=/usr/lib/postgresql/15/bin/psql
"$psql" -h 127.0.0.1 -p "$NOLPA_PLANT_PORT" -U nolpa -d plant -q -c "CREATE DATABASE $database"
source=DSN=plant\;Database=$database
failures=0

# expect EXIT TEXT -- ARGUMENTS: runs the program; its exit code must be
# EXIT and its output (both streams) must hold TEXT.
expect() {
  local code=$1 text=$2
  shift 3
  local out status=0
  out=$(timeout 120 wine "$exe" "$@" 2>&1) || status=$?
  if [ "$status" != "$code" ] || ! grep -qF -- "$text" <<<"$out"; then
    echo "FAILED: $* -> $status (expected $code and \"$text\"):" >&2
    echo "$out" >&2
    failures=$((failures + 1))
  else
    echo "ok: $* -> $status"
  fi
}

expect 0 "schema version 1 (it was 0)" -- db init --db "$source"
expect 0 "nothing changed" -- db init --db "$source"
expect 0 "Pool ライン3 added: counting up from LINE3-0100." -- \
  db pool add ライン3 --first LINE3-0100 --db "$source"
expect 0 "ライン3  counter  LINE3-0100  9900  0" -- db pools --db "$source"
expect 0 '"name":"ライン3","kind":"counter"' -- db pools --json --db "$source"
expect 7 "does not go on the command line" -- db pools --db "$source;PWD=secret"
expect 8 "There is no ODBC data source DSN=no-such-source" -- db pools --db DSN=no-such-source

"$psql" -h 127.0.0.1 -p "$NOLPA_PLANT_PORT" -U nolpa -d plant -q \
  -c "DROP DATABASE $database WITH (FORCE)" || true
[ "$failures" = 0 ] || {
  echo "$failures check(s) failed" >&2
  exit 1
}
