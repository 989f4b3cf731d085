#!/usr/bin/env bash
# Runs veskora.exe at Timer = 1 for a while (default 60 s) against the
# substitute driver's live simulation and prints the CPU time it used, as a
# share of one core, with and without Wine's own processes (wineserver,
# winedevice and the other Wine system processes), and its resident memory.
# Usage: bench/monitor_load.sh [--x64] [SECONDS]   (after ./test.sh has built
# both targets). The 32-bit release build is measured unless --x64 is given
# or this machine cannot run 32-bit programs.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=i686
if [ "${1:-}" = --x64 ]; then arch=x86_64; shift; fi
seconds=${1:-60}
cd "$ROOT"
source scripts/session.sh
vk_session_begin
[ $arch = x86_64 ] || vk_can_run32 || arch=x86_64
echo "measuring the $arch build"
"$VK_WINE" reg delete 'HKLM\System\CurrentControlSet\Services\veskora\Parameters' /va /f >/dev/null 2>&1 || true

work=$(mktemp -d)
trap 'kill $monitor 2>/dev/null || true; rm -rf "$work"; vk_session_end' EXIT
settings=$("$VK_WINE" winepath -w "$work/load.vkc" 2>/dev/null)
theme=$("$VK_WINE" winepath -w "$work/load.vkt" 2>/dev/null)
printf '[Config]\r\nFileName=%s\r\n' "$theme" >"$work/load.vkc"
printf '[Global]\r\nTimer=1\r\n' >"$work/load.vkt"

"$VK_WINE" "build/$arch/bin/veskora.exe" "$settings" &
monitor=$!
sleep 5   # start-up and the first readings are not part of the steady load

# Linux processes of this Wine session: the monitor and Wine's own.
veskora_pid() { pgrep -f 'veskora\.exe' | head -n 1; }
wine_pids() {
    local p
    for p in $(pgrep -f '/usr/lib/wine/|\\windows\\system32\\'); do
        [ "$p" = "$(veskora_pid)" ] || echo "$p"
    done
}
ticks() { # pids...: user + system clock ticks
    local total=0 p
    for p in "$@"; do
        [ -r "/proc/$p/stat" ] || continue
        total=$((total + $(awk '{print $14 + $15}' "/proc/$p/stat")))
    done
    echo $total
}

pid=$(veskora_pid)
others=$(wine_pids)
hz=$(getconf CLK_TCK)
own0=$(ticks "$pid"); wine0=$(ticks $others)
sleep "$seconds"
own1=$(ticks "$pid"); wine1=$(ticks $others)
rss=$(awk '/VmRSS/ {print $2, $3}' "/proc/$pid/status")

awk -v o=$((own1 - own0)) -v w=$((wine1 - wine0)) -v hz="$hz" -v s="$seconds" -v rss="$rss" 'BEGIN {
    printf "Monitor at Timer = 1 over %d s:\n", s
    printf "  CPU, veskora.exe alone:          %.2f %% of one core\n", 100 * o / hz / s
    printf "  CPU, with Wine'"'"'s own processes:  %.2f %% of one core\n", 100 * (o + w) / hz / s
    printf "  resident memory of veskora.exe:  %s\n", rss
}'
