#!/usr/bin/env bash
# Runs veskora.exe at Timer = 1 and the floor program (bench/floor_bench.cpp:
# the same outer work each second, nothing else) side by side against the
# substitute driver's live simulation, and prints for each the CPU time
# used as a share of one core, their ratio, resident and private memory
# (private: Private_Clean + Private_Dirty of /proc/PID/smaps; of that, the
# anonymous pages, without the pages of files that only this process maps,
# such as a font, which Windows counts as mapped rather than private) and
# the differences, and how the monitor's private memory moved from the
# first minute to the end of the run. An emulated program's memory is its
# own address space (below 4 GB), without the emulator's.
# Usage: bench/monitor_load.sh [--x64] [--device-floor] [--graphs] [--export] [SECONDS]
# (default 120; after ./test.sh has built both targets). The 32-bit release
# build is measured unless --x64 is given or this machine cannot run 32-bit
# programs; where it runs them only under emulation, the run is emulated
# (and says so), the emulator's work in the CPU figures. --device-floor gives
# the floor program the device traffic of a reading as well (its
# --device): the ratio is then what the monitor costs beyond the requests
# that every reading makes. --graphs runs the monitor
# with the graph layout (VKL_GRAPH.VKL), the history window open and three
# icons in the notification area; --export with its HTTP endpoint on
# loopback, scraped with curl every 5 seconds, and the time of each scrape
# summed up at the end.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=i686
floor_args=()
graphs=0
scrape=0
while [ $# -gt 0 ]; do
    case "$1" in
    --x64) arch=x86_64 ;;
    --device-floor) floor_args=(--device) ;;
    --graphs) graphs=1 ;;
    --export) scrape=1 ;;
    -*) echo "usage: bench/monitor_load.sh [--x64] [--device-floor] [--graphs] [--export] [SECONDS]" >&2; exit 2 ;;
    *) break ;;
    esac
    shift
done
seconds=${1:-120}
cd "$ROOT"
VK_ROOT=$ROOT
source scripts/emulation.sh
label=$arch
guest=0  # 1: count only the emulated program's own address space
if [ $arch = i686 ] && ! vk_runs32_natively; then
    vk_emulation_sweep
    if vk_emulation_begin; then
        label="i686 (emulated)"
        guest=1
    else
        echo "monitor_load: no 32-bit emulation ($VK_EMULATION_WHY)" >&2
        arch=x86_64
    fi
    trap vk_emulation_end EXIT
fi
source scripts/session.sh
vk_session_begin
[ $arch = x86_64 ] || vk_can_run32 || arch=x86_64
[ $arch = i686 ] || { label=x86_64; guest=0; }
echo "measuring the $label build over $seconds s${floor_args:+, the floor with the device traffic}"
"$VK_WINE" reg delete 'HKLM\System\CurrentControlSet\Services\veskora\Parameters' /va /f >/dev/null 2>&1 || true

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; vk_session_end; vk_emulation_end' EXIT
settings=$("$VK_WINE" winepath -w "$work/load.vkc" 2>/dev/null)
theme=$("$VK_WINE" winepath -w "$work/load.vkt" 2>/dev/null)
printf '[Config]\r\nFileName=%s\r\n' "$theme" >"$work/load.vkc"
[ $graphs = 0 ] || printf '[Tray]\r\nEnable=1\r\nRows=0,3,c\r\n' >>"$work/load.vkc"
port=$((20000 + $$ % 20000))
[ $scrape = 0 ] || printf '[Export]\r\nHttp=1\r\nPort=%d\r\n' $port >>"$work/load.vkc"
# Top left, away from the pointer (which rests in the middle of the screen):
# a pointer over a window costs its own polling under Wine.
printf '[Global]\r\nTimer=1\r\nX=0\r\nY=0\r\n' >"$work/load.vkt"
[ $graphs = 0 ] || printf '[Layout]\r\nEnable=1\r\nFileName=VKL_GRAPH.VKL\r\n' >>"$work/load.vkt"

# Both start in the program's folder, as a user's shortcut starts the
# monitor: its default skin and mask are found there.
cd "build/$arch/bin"
"$VK_WINE" veskora.exe "$settings" & pids+=($!)
"$VK_WINE" vk_bench_floor.exe ${floor_args[@]+"${floor_args[@]}"} & pids+=($!)
source "$ROOT/scripts/drive.sh"
MONITOR='Veskora! for Fintek'  # the monitor window's title
# Up to three minutes, ten seconds a try; with a command id, the monitor
# is sent that command before each look (sent again, the history window's
# command finds the window open and only brings it forward).
window_up() { # title [command]
    local _
    for _ in $(seq 18); do
        [ -z "${2:-}" ] || drive command "$MONITOR" "$2" >/dev/null || true
        drive rect "$1" 0 >/dev/null && return 0
    done
    return 1
}
# Start-up and the first readings are not part of the steady load: the run
# begins 5 s after the windows are there (an emulated monitor takes from
# half a minute to over a minute to get there).
for title in "$MONITOR" floor; do
    window_up "$title" || { echo "monitor_load: the window \"$title\" never appeared" >&2; exit 1; }
done
if [ $graphs = 1 ] && ! window_up '履歴グラフ' 0x8080; then
    echo "monitor_load: the history window never opened" >&2
    exit 1
fi
sleep 5
# A scrape every 5 seconds, each one's time in milliseconds in a file.
scrape_loop() {
    while sleep 5; do
        curl -s -o /dev/null -w '%{http_code} %{time_total}\n' "http://127.0.0.1:$port/metrics" >>"$work/scrapes" || true
    done
}
if [ $scrape = 1 ]; then
    scrape_loop & pids+=($!)
fi

# The Windows processes themselves, not the launchers that started them:
# their command lines begin with the program (with its Windows path in a
# 32-bit process), or under emulation with the emulator and Wine's loader.
pid_of() { pgrep -f "^([^ ]*qemu-i386 [^ ]+ )?([A-Z]:.*\\\\)?$1( |$)" | head -n 1 || true; }
monitor=$(pid_of 'veskora\.exe')
floor=$(pid_of 'vk_bench_floor\.exe')
[ -n "$monitor" ] && [ -n "$floor" ] || { echo "a program did not start" >&2; exit 1; }
# CPU time of a process in microseconds, its ended threads included: the
# kernel's own clock of the process, exact to the nanosecond, read through
# perl; the clock ticks of /proc/PID/stat (10 ms steps) where perl cannot
# read it. One way for the whole run, chosen here: the two count alike only
# to a tick. Empty when the process has gone.
exact_clock() {
    perl -MTime::HiRes=clock_gettime -e 'my $t = clock_gettime(-8 * $ARGV[0] - 6);
        exit 1 if $t < 0; printf "%.0f\n", $t * 1e6' "$1" 2>/dev/null
}
tick_clock() {
    awk -v hz="$(getconf CLK_TCK)" '{printf "%.0f\n", ($14 + $15) * 1e6 / hz}' "/proc/$1/stat" 2>/dev/null
}
clock=tick_clock
exact_clock $$ >/dev/null && clock=exact_clock
cpu_us() { $clock "$1" || true; }
# Wine's own processes (wineserver, winedevice and the rest) serve both
# programs: their time is printed beside, not shared out. The two emulated
# programs' command lines name Wine's loader too; they are not counted.
wine_us() {
    local total=0 p v
    for p in $(pgrep -f '/usr/lib/wine/|\\windows\\system32\\'); do
        [ "$p" != "$monitor" ] && [ "$p" != "$floor" ] || continue
        v=$(cpu_us "$p")
        [ -n "$v" ] && total=$((total + v))
    done
    echo $total
}
# Resident, private and anonymous private memory in kB, counted over the
# process's mappings; under emulation only those of the program's own
# address space (a start address of at most 8 hex digits). Empty, like the
# clocks, when the process has gone.
memory_kb() {
    awk -v guest=$guest '/^[0-9a-f]+-[0-9a-f]+ / {split($1, r, "-"); keep = !guest || length(r[1]) <= 8}
        keep && /^Rss:/ {rss += $2}
        keep && /^Private_(Clean|Dirty):/ {private += $2}
        keep && /^Anonymous:/ {anonymous += $2}
        END {if (NR) print rss + 0, private + 0, anonymous + 0}' "/proc/$1/smaps" 2>/dev/null || true
}

m0=$(cpu_us "$monitor"); f0=$(cpu_us "$floor"); w0=$(wine_us)
minute=$(( seconds > 55 ? 55 : seconds ))   # the first minute of the run, start-up included
sleep "$minute"
early=$(memory_kb "$monitor" | cut -d' ' -f2)
sleep $(( seconds - minute ))
m1=$(cpu_us "$monitor"); f1=$(cpu_us "$floor"); w1=$(wine_us)
read -r mr mp ma <<<"$(memory_kb "$monitor")" || true
read -r fr fp fa <<<"$(memory_kb "$floor")" || true
for figure in "$m0" "$m1" "$f0" "$f1" "$early" "$mr" "$fr" "$mp" "$fp" "$ma" "$fa"; do
    if [ -z "$figure" ]; then
        echo "monitor_load: the monitor or the floor program ended during the run" >&2
        exit 1
    fi
done

awk -v m=$((m1 - m0)) -v f=$((f1 - f0)) -v w=$((w1 - w0)) -v s="$seconds" \
    -v mr="$mr" -v fr="$fr" -v mp="$mp" -v fp="$fp" -v ma="$ma" -v fa="$fa" -v early="$early" 'BEGIN {
    mc = 100 * m / 1e6 / s; fc = 100 * f / 1e6 / s
    printf "CPU, share of one core:   monitor %.3f %%   floor %.3f %%   ratio %s\n", mc, fc,
           (f > 0 ? sprintf("%.3f", m / f) : "n/a (floor used no measurable time)")
    printf "CPU of Wine'"'"'s own processes, serving both: %.3f %% of one core\n", 100 * w / 1e6 / s
    printf "resident memory:          monitor %d kB   floor %d kB   difference %d kB\n", mr, fr, mr - fr
    printf "private memory:           monitor %d kB   floor %d kB   difference %d kB\n", mp, fp, mp - fp
    printf "  of it anonymous:        monitor %d kB   floor %d kB   difference %d kB\n", ma, fa, ma - fa
    printf "monitor private memory:   %d kB at 1 min, %d kB at the end (%+d kB)\n", early, mp, mp - early
}'
if [ $scrape = 1 ] && [ -s "$work/scrapes" ]; then
    failed=$(grep -vc '^200 ' "$work/scrapes" || true)
    grep '^200 ' "$work/scrapes" | cut -d' ' -f2 | sort -n | awk -v failed="$failed" '{t[NR] = $1 * 1000} END {
        printf "scrapes of /metrics: %d answered (%d not), median %.2f ms, 99th percentile %.2f ms\n", NR,
               failed, t[int((NR + 1) / 2)], t[int(NR * 0.99 + 0.999)]
    }'
fi
