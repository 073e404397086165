#!/bin/sh
# End-to-end checks that need a terminal or a display: the trace console and
# Ctrl+C on the console launcher (under tmux, since a pipe loses console
# output and has no control events) and the error message box (under Xvfb).
# Prints "N passed, N failed".
set -u
build=$(cd "${1:-build}" && pwd)
prefix="$build/wineprefix"
work="$build/gui-tests"
rm -rf "$work"
mkdir -p "$work/img/app" "$work/img/runtime"
cp "$build/bin/loftwick-launcher.exe" "$work/img/MyApp.exe"
cp "$build/bin/loftwick-launcher-console.exe" "$work/img/MyApp.com"
cp -r "$build/bin/standin/bin" "$work/img/runtime/"
printf '[Application]\napp.mainclass=hello.Main\n[ArgOptions]\narguments=first\n' \
    > "$work/img/app/MyApp.cfg"

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$(dirname "$0")/wine-run.sh" "$prefix" cmd.exe /c exit >/dev/null 2>&1 || true

passed=0
failed=0
check() {
    if [ "$2" = ok ]; then
        passed=$((passed + 1)); echo "PASS: $1"
    else
        failed=$((failed + 1)); echo "FAIL: $1"; [ -n "${3:-}" ] && printf '%s\n' "$3"
    fi
}

# --- Trace output on the console, captured from a tmux pane.
session="loftwick-gui-$$"
screen="$work/screen.txt"
tmux kill-session -t "$session" 2>/dev/null
tmux new-session -d -s "$session" -x 250 -y 50 \
    "env -u DISPLAY WINEPREFIX='$prefix' WINEDEBUG=-all STANDIN_RECORD='Z:$work/record.txt' \
     LOFTWICK_DEBUG=true wine '$work/img/MyApp.exe'; echo EXIT=\$?; sleep 30"
for _ in $(seq 1 60); do
    tmux capture-pane -p -S -200 -t "$session" > "$screen" 2>/dev/null
    grep -q 'EXIT=' "$screen" && break
    sleep 0.5
done
tmux kill-session -t "$session" 2>/dev/null
body=$(cat "$screen")
if grep -q 'EXIT=0' "$screen" \
   && grep -q '\[TRACE\] app.cpp:[0-9]*: Entering app::launch$' "$screen" \
   && grep -q 'Launcher config file path: "' "$screen" \
   && grep -q 'jli arg\[0\]: \[' "$screen" \
   && grep -q 'jli arg\[3\]: \[first\]' "$screen"; then
    check "LOFTWICK_DEBUG=true writes trace records and jli args to the console" ok
else
    check "LOFTWICK_DEBUG=true writes trace records and jli args to the console" bad "$body"
fi

# --- Ctrl+C in a terminal, relaunch road (PATH lacks the app directory):
# the application (the stand-in) gets the event and decides; the waiting
# parent outlives it and returns the application's exit code, 130.
rm -f "$work/record.txt"
tmux new-session -d -s "$session" -x 200 -y 40 \
    "env -u DISPLAY WINEPREFIX='$prefix' WINEDEBUG=-all STANDIN_RECORD='Z:$work/record.txt' \
     STANDIN_WAIT_CTRL=1 wine '$work/img/MyApp.com'; echo EXIT=\$?; sleep 30"
for _ in $(seq 1 60); do
    tmux capture-pane -p -t "$session" > "$screen" 2>/dev/null
    grep -q 'waiting for a control event' "$screen" && break
    sleep 0.5
done
tmux send-keys -t "$session" C-c
for _ in $(seq 1 60); do
    tmux capture-pane -p -t "$session" > "$screen" 2>/dev/null
    grep -q 'EXIT=' "$screen" && break
    sleep 0.5
done
tmux kill-session -t "$session" 2>/dev/null
if grep -q 'EXIT=130' "$screen" && grep -q '^ctrl=0$' "$work/record.txt" \
   && [ "$(grep -c '^pid=' "$work/record.txt")" = 1 ] \
   && grep -q '^PATH=.*;Z:.*img.app$' "$work/record.txt"; then
    check "Ctrl+C reaches the relaunched application; the console launcher returns its code" ok
else
    check "Ctrl+C reaches the relaunched application; the console launcher returns its code" bad \
        "$(cat "$screen" "$work/record.txt" 2>&1)"
fi

# --- The error message box as a user sees it.
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    # Xvfb picks a free display itself and writes its number.
    Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 1 40); do
        [ -s "$work/display" ] && break
        sleep 0.25
    done
    display=":$(head -1 "$work/display")"
    # Wine's desktop process keeps the display it started with: start anew.
    wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
    rm -f "$work/img/app/MyApp.cfg"
    DISPLAY="$display" wine "$work/img/MyApp.exe" > "$work/box.out" 2> "$work/box.err" &
    launcher=$!
    window=""
    for _ in $(seq 1 60); do
        window=$(DISPLAY="$display" xdotool search --name '^MyApp\.exe$' 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.5
    done
    if [ -n "$window" ]; then
        check "a failure shows a message box titled MyApp.exe" ok
        DISPLAY="$display" wine "$build/bin/loftwick-box-reader.exe" MyApp.exe \
            > "$work/box.text" 2>/dev/null
        expected="Error opening \"Z:$(echo "$work/img/app/MyApp.cfg" | tr '/' '\\')\" file: No such file or directory"
        if [ "$(tr -d '\r' < "$work/box.text")" = "$expected" ]; then
            check "the box holds the plain error message" ok
        else
            check "the box holds the plain error message" bad "got: $(cat "$work/box.text") want: $expected"
        fi
        DISPLAY="$display" xdotool windowactivate --sync "$window" key Return 2>/dev/null \
            || DISPLAY="$display" xdotool key Return
    else
        check "a failure shows a message box titled MyApp.exe" bad
    fi
    code=""
    for _ in $(seq 1 40); do
        if ! kill -0 "$launcher" 2>/dev/null; then
            wait "$launcher"; code=$?; break
        fi
        sleep 0.5
    done
    [ -z "$code" ] && kill "$launcher" 2>/dev/null
    if [ "$code" = 1 ] && grep -q 'Error opening ".*MyApp.cfg" file: ' "$work/box.err"; then
        check "closing the box ends the launcher with exit code 1" ok
    else
        check "closing the box ends the launcher with exit code 1" bad "code=$code $(cat "$work/box.err")"
    fi
    wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
