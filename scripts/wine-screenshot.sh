#!/usr/bin/env bash
# Runs a program on a Wine virtual desktop (so its window has a title bar)
# on the current, virtual, display; saves a screenshot once its main window
# is up and closes it. Ends with the program's exit code.
# Usage: wine-screenshot.sh PROGRAM SCREENSHOT [ARGUMENTS...]
# With NOLPA_SCREENSHOT_LIST=1 (./run --screenshot) the product list is
# dropped down first and the picture cut to the window.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
program=$1 screenshot=$2
shift 2
name=$(basename "${program//\\//}")
desktop=/desktop=NOLPA,800x600

# cmd keeps the program's exit code, which explorer does not pass on. The
# space before ">" keeps a one-digit code from reading as a handle number.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '@start "" /wait %%*\r\n@echo %%errorlevel%% > "Z:%s\\exit-code"\r\n' "${work//\//\\}" >"$work/launch.bat"
wine explorer "$desktop" cmd /c "Z:${work//\//\\}\\launch.bat" "$program" "$@" &
desktop_pid=$!

# The window must be on the screen: a command-line run keeps it hidden (its
# X window exists but is never mapped) and ends by itself.
shown() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null |
              awk '/"VARDU NOLPA Identifier Utility/ { print $1 }'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
  done
  return 1
}
window=
for _ in $(seq 1 120); do
  if shown; then window=1; break; fi
  kill -0 "$desktop_pid" 2>/dev/null || break
  sleep 0.25
done
# Until the screen stays the same for half a second (a Find, the list
# opening), at most 30 s.
settle() {
  local before after
  before=$(import -window root rgb:- | md5sum)
  for _ in $(seq 1 60); do
    sleep 0.5
    after=$(import -window root rgb:- | md5sum)
    [ "$after" = "$before" ] && return 0
    before=$after
  done
}

if [ -n "$window" ]; then
  sleep 2  # the first Find
  if [ "${NOLPA_SCREENSHOT_LIST:-0}" = 1 ]; then
    settle
    # Alt+Down on the product list, which has the focus; the pointer is moved
    # off the list so that the selected printer stays highlighted.
    xdotool mousemove 0 0 key alt+Down
    settle
  fi
  import -window root "$screenshot"
  if [ "${NOLPA_SCREENSHOT_LIST:-0}" = 1 ]; then
    # The desktop around the window is one colour.
    # No time stamps in the file: a picture made again of the same window has
    # the same bytes.
    convert "$screenshot" -trim +repage -strip "$screenshot"
  fi
  echo "screenshot: $screenshot"
  # Closing from inside the same desktop, where the program's windows are.
  wine explorer "$desktop" taskkill /IM "$name" >/dev/null 2>&1 || true
fi
wait "$desktop_pid" || true
wineserver -w
code=$(tr -dc '0-9-' <"$work/exit-code" 2>/dev/null || true)
echo "exit code: ${code:-unknown}"
[ -n "$code" ] && exit $(( code & 255 ))
exit 1
