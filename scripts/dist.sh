#!/bin/sh
# Writes the release archives a user downloads:
#   DIST/loftwick-VERSION-windows-x64.zip   the launchers, loftwick-inspect.exe,
#                                           loftwick-pack.exe, README, LICENSE
#   DIST/loftwick-VERSION-linux-x64.tar.gz  the native loftwick-pack beside the
#                                           launchers it uses, README, LICENSE
# Both carry the Windows launchers and the Linux one: either tool packs for
# either system.
# Usage: dist.sh BUILD_DIR [DIST_DIR]
set -eu
build=$(cd "${1:-build}" && pwd)
dist=${2:-$build/dist}
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(loftwick VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
launchers=""
for f in loftwick-launcher.exe loftwick-launcher-console.exe; do
    [ -f "$build/bin/$f" ] && launchers="$launchers $f"
done

rm -rf "$dist"
stage="$dist/stage"
win="$stage/loftwick-$version-windows-x64"
linux="$stage/loftwick-$version-linux-x64"
mkdir -p "$win" "$linux"
for f in $launchers loftwick-inspect.exe loftwick-pack.exe; do
    cp "$build/bin/$f" "$win/"
done
for f in $launchers; do
    cp "$build/bin/$f" "$linux/"
done
cp "$build/host/bin/loftwick-pack" "$build/host/bin/loftwick-inspect" "$linux/"
for d in "$win" "$linux"; do
    cp "$build/host/bin/loftwick-launcher" "$d/"
    strip "$d/loftwick-launcher" 2>/dev/null || true
done
strip "$linux/loftwick-pack" "$linux/loftwick-inspect" 2>/dev/null || true
# Each archive's README tells what that archive holds, nothing of building.
cp "$root/dist/README-windows-x64.md" "$win/README.md"
cp "$root/dist/README-linux-x64.md" "$linux/README.md"
for d in "$win" "$linux"; do
    cp "$root/LICENSE" "$d/"
done
(cd "$stage" && /usr/bin/python3 -m zipfile -c "$dist/loftwick-$version-windows-x64.zip" \
    "loftwick-$version-windows-x64")
tar -C "$stage" -czf "$dist/loftwick-$version-linux-x64.tar.gz" "loftwick-$version-linux-x64"
rm -rf "$stage"
ls -l "$dist"
