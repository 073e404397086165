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

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# Runs the real-runtime image once under the display, closing every message
# box as it appears. Sets: code, boxes (count), titles, texts.
run_counting_boxes() {
    display=$1 road=$2 behaviour=$3
    path_add=""
    [ "$road" = in-process ] && path_add=$(winpath "$work/real/app")
    DISPLAY="$display" STANDIN_JVM="$behaviour" WINEPATH="$path_add" \
        STANDIN_RECORD="$(winpath "$work/real/record.txt")" \
        wine "$work/real/MyApp.exe" > "$work/real.out" 2> "$work/real.err" &
    launcher=$!
    boxes=0 titles="" texts="" code=""
    for _ in $(seq 1 240); do
        window=$(DISPLAY="$display" xdotool search --onlyvisible --name \
                 '^(Java Virtual Machine Launcher|MyApp\.exe)$' 2>/dev/null | head -1)
        if [ -n "$window" ]; then
            boxes=$((boxes + 1))
            title=$(DISPLAY="$display" xdotool getwindowname "$window")
            titles="$titles[$title]"
            texts="$texts[$(DISPLAY="$display" wine "$build/bin/loftwick-box-reader.exe" "$title" \
                            2>/dev/null | tr -d '\r')]"
            DISPLAY="$display" xdotool windowfocus "$window" key Return 2>/dev/null
            while DISPLAY="$display" xdotool search --onlyvisible --name "^$title\$" \
                  2>/dev/null | grep -qx "$window"; do
                sleep 0.2
            done
        elif ! kill -0 "$launcher" 2>/dev/null; then
            wait "$launcher"; code=$?; break
        fi
        sleep 0.25
    done
    [ -z "$code" ] && kill "$launcher" 2>/dev/null
}

real_runtime_boxes() {
    mkdir -p "$work/real/app"
    cp "$build/bin/loftwick-launcher.exe" "$work/real/MyApp.exe"
    printf 'PK\003\004 not a zip' > "$work/real/app/bad.jar"
    runtime=$(winpath "$build/real-runtime")
    for road in in-process relaunch; do
        for failure in "corrupt jar" no-vm no-main throw; do
            behaviour=$failure
            main='app.mainclass=hello.Main'
            if [ "$failure" = "corrupt jar" ]; then
                behaviour="" main='app.mainjar=$APPDIR\bad.jar'
            fi
            printf '[Application]\n%s\napp.runtime=%s\n' "$main" "$runtime" \
                > "$work/real/app/MyApp.cfg"
            run_counting_boxes "$1" "$road" "$behaviour"
            # The runtime reports a main class it cannot load twice itself,
            # and an exception pending after main not at all.
            runtime_box="[Java Virtual Machine Launcher]"
            case $failure in
                no-main) want_boxes=2 want_titles="$runtime_box$runtime_box" ;;
                throw) want_boxes=1 want_titles="[MyApp.exe]" ;;
                *) want_boxes=1 want_titles=$runtime_box ;;
            esac
            name="real runtime, $road, $failure: $want_titles and exit code 1"
            if [ "$boxes" = "$want_boxes" ] && [ "$titles" = "$want_titles" ] \
               && [ "$code" = 1 ]; then
                check "$name" ok
            else
                check "$name" bad "boxes=$boxes titles=$titles texts=$texts code=$code"
            fi
            if [ "$failure" = throw ] && [ "$texts" != "[Failed to launch JVM]" ]; then
                check "real runtime, $road: the launcher's box says the launch failed" bad "$texts"
            fi
            if [ "$failure" = "corrupt jar" ]; then
                want="[Error: Invalid or corrupt jarfile $(winpath "$work/real/app/bad.jar")]"
                if [ "$texts" = "$want" ]; then
                    check "real runtime, $road: the box holds the runtime's text" ok
                else
                    check "real runtime, $road: the box holds the runtime's text" bad \
                        "got $texts want $want"
                fi
            fi
        done
        printf '[Application]\napp.mainclass=hello.Main\napp.runtime=%s\n' "$runtime" \
            > "$work/real/app/MyApp.cfg"
        run_counting_boxes "$1" "$road" "exit:4"
        if [ "$boxes" = 0 ] && [ "$code" = 4 ]; then
            check "real runtime, $road: System.exit(4) is exit code 4 and no box" ok
        else
            check "real runtime, $road: System.exit(4) is exit code 4 and no box" bad \
                "boxes=$boxes titles=$titles code=$code"
        fi
    done
    # A crash ends the child with a Windows status; wine reports its low byte.
    run_counting_boxes "$1" relaunch "exit:0xC0000005"
    if [ "$boxes" = 1 ] && [ "$titles" = "[MyApp.exe]" ] \
       && [ "$texts" = "[Child process exited with code 0xC0000005]" ] && [ "$code" = 5 ]; then
        check "real runtime, relaunch: a crashed child gets one box naming its status" ok
    else
        check "real runtime, relaunch: a crashed child gets one box naming its status" bad \
            "boxes=$boxes titles=$titles texts=$texts code=$code"
    fi
}

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

    # --- With the real runtime library: one box for one failure, on both
    # roads, holding the runtime's own text; an application's exit code
    # passes through silently; a crashed child gets one box with its code.
    if [ -f "$build/real-runtime/bin/server/jvm.dll" ]; then
        real_runtime_boxes "$display"
    else
        echo "SKIP: no real runtime in $build/real-runtime (../shared/runtime is absent)"
    fi
    wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
