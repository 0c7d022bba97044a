#!/usr/bin/env bash
# Fails when one of the given Windows binaries imports the system's printing, ODBC,
# setup or configuration-manager library by name: those are loaded at run
# time from the system folder, since an import by name is looked for in the
# program's own folder first.
set -euo pipefail
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
status=0
for binary in "$@"; do
  names=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
  if [ -z "$names" ]; then
    echo "$binary: no import table read" >&2
    status=1
    continue
  fi
  for library in winspool.drv setupapi.dll cfgmgr32.dll odbc32.dll; do
    if grep -qx "$library" <<<"$names"; then
      echo "$binary imports $library by name" >&2
      status=1
    fi
  done
  echo "$(basename "$binary"): $(echo $names)"
done
exit "$status"
