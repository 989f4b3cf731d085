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
    wine wine64 xvfb xauth x11-utils fonts-ipafont-gothic imagemagick
    googletest cmake ninja-build dpkg-dev g++ locales unzip
)
SRC_LIST=/etc/apt/sources.list.d/veskora-src.sources

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing_packages() {
    local p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

install_packages() {
    local missing
    missing=$(missing_packages)
    [ -z "$missing" ] && return 0
    echo "deps: installing $(echo $missing | tr '\n' ' ')"
    as_root apt-get update -qq
    # shellcheck disable=SC2086
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# Wine's 32-bit half (WoW64): the release build is 32-bit and is tested too.
# /usr/lib/wine/wine64 starts 32-bit programs through it by itself.
install_wine32() {
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' && return 0
    echo "deps: installing wine32:i386"
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
}

japanese_locale() {
    locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$' && return 0
    as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    as_root locale-gen >/dev/null
}

# Debian's libpng1.6 source package, with Debian's patches applied.
libpng_source() {
    local dir
    dir=$(ls -d "$DEPS"/src/libpng1.6-*/ 2>/dev/null | head -n 1 || true)
    if [ -n "$dir" ]; then echo "${dir%/}"; return 0; fi
    if [ ! -f "$SRC_LIST" ]; then
        as_root tee "$SRC_LIST" >/dev/null <<'EOS'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOS
    fi
    as_root apt-get update -qq
    mkdir -p "$DEPS/src"
    (cd "$DEPS/src" && apt-get source --download-only -qq libpng1.6 >/dev/null 2>&1 \
        && dpkg-source -x libpng1.6_*.dsc >/dev/null 2>&1)
    ls -d "$DEPS"/src/libpng1.6-*/ | head -n 1 | sed 's:/$::'
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
    src=$(libpng_source)
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

install_packages
install_wine32
japanese_locale
for arch in "${ARCHES[@]}"; do
    build_libpng "$arch"
    build_googletest "$arch"
done
