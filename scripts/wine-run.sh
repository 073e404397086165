#!/bin/sh
# Runs a Windows program under Wine in a prefix of the build tree.
# Usage: wine-run.sh [--gtest] PREFIX PROGRAM [ARGS...]
# The prefix is made once (the first start costs seconds) and a wineserver
# is kept alive between the many short test starts.
#
# --gtest (how CTest runs every test executable): the run passes only when
# Wine exits 0 and the output ends in GoogleTest's own summary with every
# listed test passed or skipped, no "[  FAILED  ]" and no Wine crash report.
# A crashed test executable can leave wine with status 0.
set -eu
gtest=""
if [ "$1" = --gtest ]; then
    gtest=1
    shift
fi
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Without a display MessageBoxW returns at once instead of waiting for a click.
unset DISPLAY WAYLAND_DISPLAY

exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
fi
if wineserver -p30 </dev/null >/dev/null 2>&1; then
    # A new server: start Wine's own services now, away from the caller's
    # pipes, or they hold them open for as long as the server lives.
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
fi
flock -u 9
exec 9>&-
if [ -z "$gtest" ]; then
    exec wine "$@"
fi

out=$(mktemp)
trap 'rm -f "$out" "$out.status"' EXIT
{ rc=0; wine "$@" 2>&1 || rc=$?; echo "$rc" > "$out.status"; } | tee "$out"
status=$(cat "$out.status")
expected=$(wine "$@" --gtest_list_tests 2>/dev/null | grep -c '^  ' || true)
# Under load a Wine start now and then loses its output: the listing is asked once more.
if [ "$expected" = 0 ]; then
    expected=$(wine "$@" --gtest_list_tests 2>/dev/null | grep -c '^  ' || true)
fi
count() { sed -n "s/^\[$1\] \([0-9]*\) tests\{0,1\}[ .,].*/\1/p" "$out" | tail -1; }
ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$out" | tail -1)
passed=$(count '  PASSED  ')
skipped=$(count '  SKIPPED ')

fail() {
    echo "wine-run: $*" >&2
    exit 1
}
[ "$status" = 0 ] || fail "exit status $status"
! grep -q '^\[  FAILED  \]' "$out" || fail "a test failed"
! grep -qE 'Unhandled (exception|page fault)|starting debugger' "$out" || fail "the program crashed"
[ -n "$ran" ] && [ -n "$passed" ] || fail "no complete GoogleTest summary (a crash?)"
[ "$ran" = "$expected" ] || fail "$ran tests ran, $expected are listed"
[ "$((passed + ${skipped:-0}))" = "$ran" ] || fail "$passed passed and ${skipped:-0} skipped of $ran"
