#!/bin/sh
# Runs a Windows program under Wine in a prefix of the build tree.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made once (the first start costs seconds) and a wineserver
# is kept alive between the many short test starts.
set -eu
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
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
exec wine "$@"
