#!/usr/bin/env bash
# info_options.sh PROGRAM "NAME VERSION": --version and --help answer on
# standard output with status 0, even without a display; an unknown option
# ends with status 2 and the usage on standard error only.
set -u
program=$1 version_line=$2
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
failures=0

# matches FILE PATTERN: an empty pattern wants an empty file.
matches() {
  if [ -z "$2" ]; then [ ! -s "$1" ]; else grep -Eq -- "$2" "$1"; fi
}

# expect WHAT STATUS STDOUT-PATTERN STDERR-PATTERN COMMAND...
expect() {
  local what=$1 status=$2 out_pattern=$3 err_pattern=$4
  shift 4
  "$@" >"$out" 2>"$err"
  local got=$?
  if [ "$got" -ne "$status" ] || ! matches "$out" "$out_pattern" || ! matches "$err" "$err_pattern"; then
    echo "FAIL $what: status $got (want $status)"
    echo "  stdout: $(head -c 300 "$out")"
    echo "  stderr: $(head -c 300 "$err")"
    failures=$((failures + 1))
  fi
}

headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
expect "--version" 0 "^${version_line//./\\.}\$" "" "${headless[@]}" "$program" --version
[ "$(wc -l <"$out")" -eq 1 ] || { echo "FAIL --version: more than one line"; failures=$((failures + 1)); }
expect "--help" 0 '^usage: ' "" "${headless[@]}" "$program" --help
expect "unknown option" 2 "" '^usage: ' env QT_QPA_PLATFORM=offscreen "$program" --no-such-option
exit $((failures > 0))
