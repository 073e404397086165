#!/bin/sh
# Assembles a sample application image around the launcher and runs it under
# Wine on both roads, showing what a Java runtime would be handed.
set -eu
build=$(cd "${1:-build}" && pwd)
demo="$build/demo"
prefix="$build/wineprefix"
run="$(dirname "$0")/wine-run.sh"

rm -rf "$demo"
mkdir -p "$demo/app" "$demo/runtime"
cp "$build/bin/loftwick-launcher.exe" "$demo/HelloApp.exe"
cp -r "$build/bin/standin-print/bin" "$demo/runtime/"
mkdir -p "$demo/runtime/bin/server"
cp "$build/bin/standin/bin/server/jvm.dll" "$demo/runtime/bin/server/"
cp "$build/bin/standin/bin/splashscreen.dll" "$demo/runtime/bin/"
printf 'not a real jar\n' > "$demo/app/hello.jar"
printf 'not a real jar\n' > "$demo/app/util.jar"
cat > "$demo/app/HelloApp.cfg" <<'CFG'
; The launcher reads app\<its own name>.cfg
[Application]
app.classpath=$APPDIR\hello.jar
app.classpath=$APPDIR\util.jar
app.mainclass=hello.Main

[JavaOptions]
java-options=-Xmx256m
java-options=-Dhello.home=$ROOTDIR

[ArgOptions]
arguments=--greeting
arguments=Hello from $APPDIR
CFG

windir() { printf 'Z:%s' "$1" | tr '/' '\\'; }

echo "== Application image: $demo"
(cd "$demo" && find . -type f | sort | sed 's/^/   /')
echo
echo "== app/HelloApp.cfg"
sed 's/^/   /' "$demo/app/HelloApp.cfg"
echo
echo "== In-process road (PATH already lists the app directory), no arguments:"
WINEPATH="$(windir "$demo/app")" "$run" "$prefix" "$demo/HelloApp.exe"
echo "   exit code: $?"
echo
echo "== Relaunch road (PATH lacks the app directory), with arguments replacing the configured ones:"
"$run" "$prefix" "$demo/HelloApp.exe" one "two words"
echo "   exit code: $?"
echo
echo "== A failure: the configuration file is missing (exit code 1, message on stderr):"
mv "$demo/app/HelloApp.cfg" "$demo/app/HelloApp.cfg.off"
set +e
"$run" "$prefix" "$demo/HelloApp.exe"
echo "   exit code: $?"
set -e
mv "$demo/app/HelloApp.cfg.off" "$demo/app/HelloApp.cfg"
echo
echo "== loftwick-inspect: what the launcher would hand the runtime, without launching:"
set +e
"$run" "$prefix" "$build/bin/loftwick-inspect.exe" "$demo/HelloApp.exe" one
echo "   exit code: $?"
set -e
