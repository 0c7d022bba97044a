#!/usr/bin/env bash
# The release tried as a plant would, under Wine, in a fresh prefix of this
# test's own (the other Wine tests' prefix is never touched):
# - msiexec /i ... /qn installs the archive's files into the 32-bit program
#   files folder, one Start menu entry and one entry in the installed
#   programs; from a command prompt NOLPAIDC.exe is found on the PATH and
#   says the release's version; on a machine without printers "list" ends
#   with 0 ("No printers."), "check" and the window program's /c with 1;
# - the next version (built here with ./release --version) installed over it
#   replaces it in place: still one entry, its own product code, the new
#   programs, and the files the user made there kept;
# - msiexec /x ... /qn removes every file, the shortcut, the PATH entry and
#   the entry, and keeps the user's audit log and INI file;
# - the archive unpacked into a folder runs the same way.
#   installer_test.sh SOURCE WORK   (WORK/dist-a made by release_package_test.sh)
set -euo pipefail
root=$(realpath "$1") work=$(realpath "$2")
source "$root/tests/wine/release_steps.sh"

current_msi=$(ls "$work"/dist-a/NOLPAID-*.msi) || fail "no release in $work/dist-a"
version=$(basename "$current_msi" .msi)
version=${version#NOLPAID-}
IFS=. read -r major minor build <<<"$version"
next=$major.$minor.$((build + 1))
release_into tree dist-next --version "$next"
next_msi=$work/dist-next/NOLPAID-$next.msi

export WINEPREFIX=$work/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
trap 'timeout 30 wineserver -k >/dev/null 2>&1 || true' EXIT
timeout 30 wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
timeout -k 10 300 wineboot -i >/dev/null 2>&1 || fail "wineboot did not make the prefix"

# run SECONDS PROGRAM ARGS...: a Windows program with a deadline; its output
# (CR removed) in $out, its exit code in $status.
run() {
  local seconds=$1
  shift
  status=0
  out=$(timeout -k 10 "$seconds" wine "$@" 2>&1 | tr -d '\r') || status=$?
}
# expect WHAT STATUS [TEXT]: the last run ended with STATUS and printed TEXT.
expect() {
  [ "$status" = "$2" ] || fail "$1: exit code $status, expected $2; output: $out"
  if [ $# -ge 3 ] && ! grep -qxF "$3" <<<"$out"; then fail "$1: \"$3\" not in: $out"; fi
}
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
installed_entries() {
  timeout -k 10 60 wine uninstaller --list 2>/dev/null | tr -d '\r' |
    grep -F 'VARDU NOLPA Identifier Utility' || true
}
files_in() { (cd "$1" && find . -type f -printf '%P\n' | sort); }
shortcuts() {
  find "$WINEPREFIX/drive_c" -name 'NOLPA Identifier Utility.lnk' -path '*Start Menu/Programs*'
}
system_path() {
  timeout -k 10 60 wine reg query \
    'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH 2>/dev/null |
    tr -d '\r'
}

folder="$WINEPREFIX/drive_c/Program Files/NOLPA Identifier Utility"
windows_folder='C:\Program Files\NOLPA Identifier Utility'
unpack "$work/dist-a" "$work/unpacked-a"
archive_files=$(files_in "$work/unpacked-a")
display=$(printf '%d.%02d' "$major" "$minor")
# Under Wine every process may stop the spooler; a code no printer has.
code=LINE3-0042

# Install.
run 300 msiexec /i "Z:$current_msi" /qn /l*v "Z:$work/install.log"
expect "msiexec /i" 0
[ "$(files_in "$folder")" = "$archive_files" ] || fail "installed files: $(files_in "$folder")"
[ "$(shortcuts | wc -l)" = 1 ] || fail "Start menu entries: $(shortcuts)"
[ "$(installed_entries)" = "$(product_code "$current_msi")|||VARDU NOLPA Identifier Utility" ] ||
  fail "installed programs: $(installed_entries)"
run 60 cmd /c "NOLPAIDC.exe --version"
expect "NOLPAIDC.exe --version from a prompt" 0 "NOLPAIDC $display ($version)"
run 120 cmd /c "NOLPAIDC.exe list"
expect "NOLPAIDC.exe list" 0 "No printers."
run 120 "$windows_folder\\NOLPAIDC.exe" check "$code"
expect "NOLPAIDC.exe check" 1
run 120 "$windows_folder\\NOLPAID.exe" /c "$code"
expect "NOLPAID.exe /c" 1

# What the user makes beside the programs: an INI file naming an audit log,
# and the log.
printf '[Audit]\r\nLog=line3.log\r\n' >"$folder/NOLPAID.ini"
printf '{"program":"NOLPAIDC","newIdCode":"LINE3-0041"}\n' >"$folder/line3.log"
user_files=$(printf '%s\n' NOLPAID.ini line3.log)

# Upgrade in place. (Wine's installer leaves an empty element in PATH where
# it took the old entry out, and Wine's cmd stops its search there, so the
# new program is run by its path; Windows takes out the separator too.)
run 300 msiexec /i "Z:$next_msi" /qn /l*v "Z:$work/upgrade.log"
expect "msiexec /i (the next version)" 0
[ "$(installed_entries)" = "$(product_code "$next_msi")|||VARDU NOLPA Identifier Utility" ] ||
  fail "installed programs after the upgrade: $(installed_entries)"
[ "$(files_in "$folder")" = "$(sort <<<"$archive_files"$'\n'"$user_files")" ] ||
  fail "files after the upgrade: $(files_in "$folder")"
run 60 "$windows_folder\\NOLPAIDC.exe" --version
expect "the upgraded NOLPAIDC.exe --version" 0 "NOLPAIDC $display ($next)"
[ "$(system_path | grep -oF "$windows_folder" | wc -l)" = 1 ] ||
  fail "PATH after the upgrade: $(system_path)"
[ "$(shortcuts | wc -l)" = 1 ] || fail "Start menu entries after the upgrade: $(shortcuts)"

# Removal.
run 300 msiexec /x "Z:$next_msi" /qn /l*v "Z:$work/remove.log"
expect "msiexec /x" 0
[ -z "$(installed_entries)" ] || fail "still installed: $(installed_entries)"
[ "$(files_in "$folder")" = "$user_files" ] || fail "left after removal: $(files_in "$folder")"
[ -z "$(shortcuts)" ] || fail "Start menu entry left: $(shortcuts)"
if system_path | grep -F "$windows_folder" >/dev/null; then fail "PATH after removal: $(system_path)"; fi

# The archive unpacked into a folder of its own.
unpack "$work/dist-a" "$WINEPREFIX/drive_c/NOLPA"
run 60 'C:\NOLPA\NOLPAIDC.exe' --version
expect "the unpacked NOLPAIDC.exe --version" 0 "NOLPAIDC $display ($version)"
run 120 'C:\NOLPA\NOLPAIDC.exe' list
expect "the unpacked NOLPAIDC.exe list" 0 "No printers."
run 120 'C:\NOLPA\NOLPAID.exe' /c "$code"
expect "the unpacked NOLPAID.exe /c" 1
timeout -k 10 60 wineserver -w || true
echo "installer: $version installed, upgraded to $next in place, removed; the archive runs"
