#!/usr/bin/env bash
# A scratch PostgreSQL 15 server for the plant database's tests, in a folder
# of their own; no system service is touched.
#
#   pg-test-server.sh start DIR   makes DIR, a cluster in it (initdb), starts
#                                 the server on 127.0.0.1 and a free port, and
#                                 writes DIR/env (sourceable: ODBCINI,
#                                 ODBCSYSINI, PGPASSFILE, NOLPA_PLANT_PORT,
#                                 ...), DIR/odbc.ini with the data sources
#                                 below and DIR/odbcinst.ini with the driver
#   pg-test-server.sh pause DIR   stops the server, keeps its cluster and port
#   pg-test-server.sh resume DIR  starts it again on the same port
#   pg-test-server.sh stop DIR    stops the server and removes DIR
#
# Data sources (unixODBC's user DSNs through $ODBCINI; the password of role
# "nolpa" is in the driver's password file, $PGPASSFILE, never in a DSN; the
# driver's communication log, which Debian's driver entry turns on, off;
# a failed statement rolls back its transaction (Protocol=7.4-1), which
# the program does anyway, so the driver sets no savepoint around each one):
#   plant          database "plant" as role "nolpa"
#   plant-refused  the same server, role "refused", which pg_hba.conf rejects
#   plant-nowhere  a port on which nothing listens
# As root the server runs as the postgres user (runuser); every wait here
# has a deadline.
set -euo pipefail

bin=/usr/lib/postgresql/15/bin
command=${1:-}
dir=${2:-}
[ -n "$command" ] && [ -n "$dir" ] || {
  echo "usage: $0 start|pause|resume|stop DIR" >&2
  exit 2
}

as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# pg_ctl -w waits for the server with its own deadline (-t seconds).
server_start() {
  as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $1 -k $dir/socket" start >/dev/null
}

start() {
  mkdir -p "$dir/socket"
  dir=$(cd "$dir" && pwd)
  local password=nolpa-test-$$-$RANDOM
  printf '%s\n' "$password" >"$dir/password"
  if [ "$(id -u)" -eq 0 ]; then
    chown -R postgres "$dir"
    # The server's user must reach its folder from /.
    local up=$dir
    while [ "$up" != / ]; do
      up=$(dirname "$up")
      chmod o+x "$up" 2>/dev/null || true
    done
  fi
  as_server "$bin/initdb" -D "$dir/data" -U nolpa --pwfile="$dir/password" -E UTF8 \
    --locale=C --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1
  # The rejected role is turned away before any password is asked for.
  as_server sh -c "printf 'host all refused 127.0.0.1/32 reject\n' | cat - '$dir/data/pg_hba.conf' \
    >'$dir/data/pg_hba.new' && mv '$dir/data/pg_hba.new' '$dir/data/pg_hba.conf'"
  local port started=0
  for _ in $(seq 1 20); do
    port=$((20000 + RANDOM % 30000))
    port_free "$port" || continue
    # Another run may take the port between the look and the bind.
    if server_start "$port" 2>>"$dir/start.log"; then
      started=1
      break
    fi
  done
  [ "$started" = 1 ] || {
    echo "the test server did not start: $dir/server.log" >&2
    exit 1
  }
  echo "$port" >"$dir/port"
  as_server "$bin/psql" -h "$dir/socket" -p "$port" -U nolpa -d postgres -q \
    -c "CREATE DATABASE plant" -c "CREATE ROLE refused LOGIN PASSWORD 'refused'" >/dev/null
  umask 077
  printf '127.0.0.1:%s:*:nolpa:%s\n' "$port" "$password" >"$dir/pgpass"
  local nowhere
  for nowhere in $(seq $((port + 1)) $((port + 50))); do port_free "$nowhere" && break; done
  {
    for dsn in plant:nolpa:"$port" plant-refused:refused:"$port" plant-nowhere:nolpa:"$nowhere"; do
      IFS=: read -r name user at <<<"$dsn"
      printf '[%s]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%s\n' "$name" "$at"
      printf 'Database=plant\nUsername=%s\nSSLmode=disable\nCommLog=0\nDebug=0\nProtocol=7.4-1\n\n' "$user"
    done
  } >"$dir/odbc.ini"
  # The driver as Debian registers it (its bare file name: each
  # architecture's unixODBC loads its own), without its communication log.
  printf '[PostgreSQL Unicode]\nDriver=psqlodbcw.so\nCommLog=0\nDebug=0\n' >"$dir/odbcinst.ini"
  {
    printf 'export ODBCINI=%q\n' "$dir/odbc.ini"
    printf 'export ODBCSYSINI=%q\n' "$dir"
    printf 'export PGPASSFILE=%q\n' "$dir/pgpass"
    printf 'export NOLPA_PLANT_SERVER=%q\n' "$dir"
    printf 'export NOLPA_PLANT_PORT=%s\n' "$port"
  } >"$dir/env"
  chmod 644 "$dir/env" "$dir/odbc.ini" "$dir/odbcinst.ini"
  # The tests may run as another user than the server's.
  chmod 755 "$dir"
  [ "$(id -u)" -ne 0 ] || chown root "$dir/pgpass" "$dir/env" "$dir/odbc.ini" "$dir/odbcinst.ini"
}

case "$command" in
  start) start ;;
  pause) as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null ;;
  resume) server_start "$(cat "$dir/port")" ;;
  stop)
    if [ -f "$dir/data/postmaster.pid" ]; then
      as_server "$bin/pg_ctl" -D "$dir/data" -m immediate -w -t 60 stop >/dev/null || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "unknown command: $command" >&2
    exit 2
    ;;
esac
