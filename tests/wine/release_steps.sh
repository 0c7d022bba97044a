# Steps the release tests share; sourced with $root (the source tree) and
# $work (the test's folder) set. Every run of ./release or of a Wine program
# has a deadline, so a hang fails the test with its output.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# release_into BUILD OUT [ARGS...]: ./release with WORK/BUILD as its build
# tree, writing WORK/OUT; its output is shown only when it fails.
release_into() {
  local build=$1 out=$2 log=$work/release-$2.log
  shift 2
  if ! timeout -k 10 1200 "$root/release" --build "$work/$build" --out "$work/$out" "$@" \
      >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    fail "./release --build $build --out $out $* failed"
  fi
}

# expect_release_failure BUILD OUT [ARGS...]: as release_into, for a run
# that must fail.
expect_release_failure() {
  local build=$1 out=$2
  shift 2
  rm -rf "${work:?}/$out"
  if timeout -k 10 1200 "$root/release" --build "$work/$build" --out "$work/$out" "$@" \
      >"$work/release-$out.log" 2>&1; then
    fail "./release $* succeeded"
  fi
}

# unpack DIST FOLDER: the archive in DIST unpacked into FOLDER, made afresh.
unpack() {
  rm -rf "$2" && mkdir -p "$2"
  unzip -q "$1"/NOLPAID-*-win32.zip -d "$2"
}

# carries_library PROGRAM LIBRARY: PROGRAM holds LIBRARY's bytes, whole, as
# its resource FILE1 does. Each image starts with the DOS stub's text at the
# same distance from its start, so every such text after the program's own
# is where an embedded image may begin.
carries_library() {
  local stub='This program cannot be run in DOS mode' size own offset
  size=$(stat -c %s "$2")
  own=$(LC_ALL=C grep -m 1 -obUaF "$stub" "$2" | cut -d: -f1)
  for offset in $(LC_ALL=C grep -obUaF "$stub" "$1" | tail -n +2 | cut -d: -f1); do
    if cmp -s -n "$size" -i "$((offset - own)):0" "$1" "$2"; then return 0; fi
  done
  return 1
}
