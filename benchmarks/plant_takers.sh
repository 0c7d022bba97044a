#!/usr/bin/env bash
# Eight stations taking codes from one pool of the plant's database at once:
# a scratch PostgreSQL 15 server on loopback (scripts/pg-test-server.sh),
# the schema and a counter pool made by nolpaidc's db commands, then eight
# plant_taker processes of 100 codes each (reserved in one committed
# transaction, then recorded written: as a station does). Prints the codes
# a second the eight took together, the median of 3 runs.
#   plant_takers.sh BUILD-DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
server=$(mktemp -d /tmp/nolpa-bench-plant-XXXXXX)
trap '"$root/scripts/pg-test-server.sh" stop "$server"' EXIT
"$root/scripts/pg-test-server.sh" start "$server"
source "$server/env"
psql=/usr/lib/postgresql/15/bin/psql
rates=()
for run in 1 2 3; do
  db=bench$run
  "$psql" -h 127.0.0.1 -p "$NOLPA_PLANT_PORT" -U nolpa -d plant -q -c "CREATE DATABASE $db"
  "$build/nolpaidc" db init --db "DSN=plant;Database=$db" >/dev/null
  "$build/nolpaidc" db pool add line --first L-000000 --db "DSN=plant;Database=$db" >/dev/null
  t0=$(date +%s%N)
  pids=()
  for s in 1 2 3 4 5 6 7 8; do
    timeout 300 "$build/plant_taker" "DSN=plant;Database=$db" line "station-$s" 100 >/dev/null &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
  t1=$(date +%s%N)
  taken=$("$psql" -h 127.0.0.1 -p "$NOLPA_PLANT_PORT" -U nolpa -d "$db" -tA \
    -c "SELECT COUNT(*) FROM nolpa_codes WHERE outcome = 'written'")
  [ "$taken" = 800 ] || { echo "plant_takers: $taken codes of 800 written" >&2; exit 1; }
  rates+=($(awk -v n="$taken" -v ns=$((t1 - t0)) 'BEGIN { printf "%.0f", n / (ns / 1e9) }'))
done
printf '%s\n' "${rates[@]}" | sort -n | sed -n 2p | awk '{ print "figure plant_codes_per_s " $1 }'
