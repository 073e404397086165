#!/bin/sh
# Installs what the build and the tests need on a Debian machine.
# Idempotent: a machine that has everything pays one dpkg query and nothing more.
set -eu

PACKAGES="
  g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64
  cmake
  ninja-build
  make
  wine
  wine64
  googletest
  tmux
  xvfb
  xdotool
  locales
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "install-deps: installing:$missing"
SUDO=""
if [ "$(id -u)" != 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
