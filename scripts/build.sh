#!/usr/bin/env bash
# Configures (once) and builds the given targets: build/<arch>, output in
# build/<arch>/bin. Default: both targets. ARCH:TARGET builds only that
# target of the tree (e.g. x86_64:veskora_driver).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
items=("$@")
[ ${#items[@]} -gt 0 ] || items=(x86_64 i686)
for item in "${items[@]}"; do
    arch=${item%%:*}
    target=""
    [ "$item" = "$arch" ] || target=${item#*:}
    dir="$ROOT/build/$arch"
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" >/dev/null
    fi
    # shellcheck disable=SC2086
    ninja -C "$dir" $target
done
