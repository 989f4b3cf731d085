#!/usr/bin/env bash
# Configures (once) and builds the given targets: build/<arch>, output in
# build/<arch>/bin. Default: both targets.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(x86_64 i686)
for arch in "${arches[@]}"; do
    dir="$ROOT/build/$arch"
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" >/dev/null
    fi
    ninja -C "$dir"
done
