#!/usr/bin/env bash
# Installs everything the build needs on a Debian 12 machine and builds the
# cross-compiled libraries (libpng, GoogleTest) for both targets into
# build/deps/<arch>. Safe to run again: whatever is already there is skipped.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DEPS=$ROOT/build/deps
ARCHES=(x86_64 i686)
PACKAGES=(
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 libz-mingw-w64-dev
    wine wine64 fonts-wine xvfb xauth x11-utils fonts-ipafont-gothic imagemagick
    googletest cmake ninja-build dpkg-dev g++ locales unzip
    prometheus curl
)
source "$ROOT/scripts/apt.sh"

# Wine's 32-bit half (WoW64): the release build is 32-bit and is tested too.
# /usr/lib/wine/wine64 starts 32-bit programs through it by itself.
install_wine32() {
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' && return 0
    dpkg --print-foreign-architectures | grep -qx i386 || vk_as_root dpkg --add-architecture i386
    vk_install_packages wine32:i386
}

japanese_locale() {
    locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$' && return 0
    vk_as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    vk_as_root locale-gen >/dev/null
}

cmake_install() { # source dir, build dir, arch, extra args...
    local src=$1 bld=$2 arch=$3
    shift 3
    cmake -S "$src" -B "$bld" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS/$arch" "$@" >/dev/null
    ninja -C "$bld" install >/dev/null
}

build_libpng() {
    local arch=$1 src
    [ -f "$DEPS/$arch/lib/libpng16.a" ] && return 0
    src=$(vk_unpacked_source libpng1.6 "$DEPS/src")
    echo "deps: libpng for $arch"
    cmake_install "$src" "$DEPS/build/libpng-$arch" "$arch" \
        -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
}

build_googletest() {
    local arch=$1
    [ -f "$DEPS/$arch/lib/libgtest.a" ] && return 0
    echo "deps: GoogleTest for $arch"
    cmake_install /usr/src/googletest "$DEPS/build/googletest-$arch" "$arch" \
        -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF
}

vk_install_packages "${PACKAGES[@]}"
install_wine32
japanese_locale
for arch in "${ARCHES[@]}"; do
    build_libpng "$arch"
    build_googletest "$arch"
done
