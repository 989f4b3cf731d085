#!/usr/bin/env bash
# The quick loop: builds one target's test program for one group and runs it
# in the test session (Wine prefix, display, substitute driver), with a
# GoogleTest filter.
#   scripts/t.sh [ARCH] [GROUP] [FILTER]
#     ARCH    x86_64 (default) or i686
#     GROUP   foundation, sensors, app, display (default), dialogs or fuzz
#     FILTER  a --gtest_filter pattern, '*' unless given
# e.g. scripts/t.sh x86_64 display 'SkinTest.*'
# Run ./test.sh once first: it installs and builds what this loop takes as
# given. The i686 program runs under emulation (for the time of the run)
# where this machine does not run 32-bit programs natively.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

usage() { sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
arch=${1:-x86_64}
group=${2:-display}
filter=${3:-*}
case $arch in x86_64 | i686) ;; *) usage ;; esac
case $group in foundation | sensors | app | display | dialogs | fuzz) ;; *) usage ;; esac
[ -d build/deps/$arch ] || { echo "t.sh: run ./test.sh once first" >&2; exit 2; }

VK_ROOT=$ROOT
source scripts/emulation.sh
cleanup() {
    if declare -F vk_session_end >/dev/null; then vk_session_end; fi
    vk_emulation_end
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

scripts/build.sh x86_64:veskora_driver "$arch:vk_tests_$group"
vk_emulation_sweep
if [ "$arch" = i686 ] && ! vk_runs32_natively; then
    vk_emulation_begin || { echo "t.sh: $VK_EMULATION_WHY" >&2; exit 1; }
fi
source scripts/session.sh
vk_session_begin
cd "build/$arch"
"$VK_WINE" "bin/vk_tests_$group.exe" --gtest_filter="$filter" </dev/null
