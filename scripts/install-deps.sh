#!/bin/sh
# Installs what the build and the tests need on a Debian machine (with
# "fuzz", what make fuzz needs too): the toolchains, Wine, the package
# builders and their checkers, a desktop's pieces for Xvfb (zenity,
# xdg-utils), the signing tools (osslsigncode, a softhsm2 token and its
# PKCS#11 engine, gnupg), the repository tools (apt-ftparchive,
# createrepo_c, dnf, sqv), and the libraries the Java runtime's desktop
# module needs, which the test package depends on.
# Idempotent: a machine that has everything pays one dpkg query and nothing more.
set -eu

PACKAGES="
  g++
  g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64
  cmake
  ninja-build
  make
  wine
  wine64
  googletest
  zlib1g-dev
  libtomlplusplus-dev
  libz-mingw-w64-dev
  openjdk-17-jdk-headless
  python3-pefile
  osslsigncode
  softhsm2
  libengine-pkcs11-openssl
  gnupg
  gpgv
  apt-utils
  createrepo-c
  dnf
  sqv
  wixl
  msitools
  zip
  openssl
  tmux
  xvfb
  xdotool
  locales
  dpkg-dev
  rpm
  rpmlint
  lintian
  cpio
  desktop-file-utils
  shared-mime-info
  hicolor-icon-theme
  xdg-utils
  libfile-mimeinfo-perl
  x11-utils
  zenity
  fonts-dejavu-core
  libx11-6
  libxext6
  libxi6
  libxrender1
  libxtst6
  libasound2
  libfreetype6
  libfontconfig1
  liblcms2-2
  libjpeg62-turbo
  libpng16-16
  libgif7
  libharfbuzz0b
"

# make fuzz builds with clang and its sanitizer and libFuzzer runtimes.
if [ "${1:-}" = fuzz ]; then
    PACKAGES="$PACKAGES clang libclang-rt-14-dev"
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

SUDO=""
if [ "$(id -u)" != 0 ]; then
    SUDO="sudo"
fi

if [ -n "$missing" ]; then
    echo "install-deps: installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update
    # shellcheck disable=SC2086
    $SUDO apt-get install -y --no-install-recommends $missing
fi

# Wine takes the ANSI code page from the Unix locale, and file names need a
# locale that exists: the code page tests run under these three.
LOCALES="en_US.UTF-8 ru_RU.UTF-8 ja_J""P.UTF-8"
generate=""
for l in $LOCALES; do
    short=$(echo "$l" | sed 's/UTF-8/utf8/')
    if ! locale -a 2>/dev/null | grep -qx "$short"; then
        generate="$generate $l"
    fi
done
if [ -n "$generate" ]; then
    echo "install-deps: generating locales:$generate"
    for l in $generate; do
        if ! grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null; then
            echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
        fi
    done
    $SUDO locale-gen >/dev/null
fi
