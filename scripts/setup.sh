#!/bin/bash
# Installs what the three builds and their tests need on Debian 12, with apt-get only: the host
# and mingw-w64 compilers, CMake, googletest's sources, wine (32- and 64-bit), the JDK, the X
# tools of the dialog test, valgrind, and clang with its runtime libraries (libFuzzer's among
# them, in libclang-rt-14-dev) for the fuzz targets, and Debian's groovy, the real application
# of the start-up cache's benchmark. Does nothing when every package is already
# installed. Run as root; nothing asks a question.
set -euo pipefail

packages=(
    g++ make cmake
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64
    wine wine64 wine32:i386
    googletest
    openjdk-17-jdk-headless
    xvfb xdotool imagemagick x11-utils
    valgrind
    clang libclang-rt-14-dev
    osslsigncode  # signs a stamped copy in the stamping check
    icoutils  # wrestool reads back the icons launcher-stamp writes
    unzip     # the documentation walks unpack the Windows packages as a user would
    locales
    groovy
)

# Wine takes a program's code page from LANG; the text tests run under 1252 (en_US) and 932
# (ja_JP), whose glibc locales must exist for wine to see them.
make_locales() {
    local name
    for name in en_US ja_JP; do
        locale -a 2>/dev/null | grep -qix "$name.utf-\?8" && continue
        if [ "$(id -u)" -ne 0 ]; then
            echo "setup: the locale $name.UTF-8 is missing; run this script as root to make it" >&2
            return 1
        fi
        localedef -i "$name" -f UTF-8 "$name.UTF-8"
    done
}

installed() {
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    make_locales
    exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing; run this script as root to install them" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails one index now and then ("File has unexpected size"):
# the install below goes on with the lists that did arrive, and fails only if what it needs
# is not in them.
apt-get update -q || echo "setup: apt-get update reported errors; installing from the lists it has" >&2
if ! apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    # The i386 half of a mirror can lag behind the amd64 half (a security update of libc on one
    # side only): wine32 then cannot be installed beside what is there. Everything else still
    # can, and the test command finds that Wine's 32-bit loader does not start and skips the
    # 32-bit Windows programs, saying so, as on a machine that runs 64-bit programs only.
    rest=()
    for package in "${missing[@]}"; do
        [ "$package" = wine32:i386 ] || rest+=("$package")
    done
    [ ${#rest[@]} -ne ${#missing[@]} ] || exit 1
    echo "setup: wine32:i386 cannot be installed from these package lists; installing the rest" >&2
    [ ${#rest[@]} -eq 0 ] || apt-get install -y -q --no-install-recommends "${rest[@]}"
fi
make_locales
