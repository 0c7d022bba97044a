#!/usr/bin/env bash
# Fails, naming the file and the include, when a folder of the simulator
# includes one it may not: each layer sees only those below it, and the USB
# tree and the host reach the world above them through sim/world.h only
# (docs/ARCHITECTURE.md, "The simulator's folders").
set -euo pipefail
cd "$(dirname "$0")/.."

# folder: what its files may include, beside their own folder
declare -A allowed=(
  [sim/core]=''
  [sim/printers]='sim/core/'
  [sim/usb]='sim/core/ sim/printers/ sim/world.h'
  [sim/host]='sim/core/ sim/printers/ sim/world.h'
  [sim]='sim/core/ sim/printers/ sim/usb/ sim/host/'
)
bad=0
while IFS= read -r file; do
  folder=$(dirname "$file")
  [ -v "allowed[$folder]" ] || continue
  while IFS= read -r included; do
    ok=0
    [ "$(dirname "$included")" = "$folder" ] && ok=1
    for prefix in ${allowed[$folder]}; do
      case $included in "$prefix"*) [[ $prefix == */ || $included == "$prefix" ]] && ok=1 ;; esac
    done
    if [ $ok = 0 ]; then
      echo "layer: $file includes $included" >&2
      bad=1
    fi
  done < <(sed -n 's/^#include "\(sim\/[^"]*\)".*/\1/p' "$file")
done < <(git ls-files 'sim/*.h' 'sim/*.cpp')
[ $bad = 0 ] || { echo "layers: a simulator folder includes one above it" >&2; exit 1; }
echo "layers: the simulator's folders include only those below them"
