#!/usr/bin/env bash
# The run command: installs what is missing, builds, starts the substitute
# driver in live simulation and runs the monitor.
#   ./run.sh                      show it on $DISPLAY; without one, run on a
#                                 virtual display and save a screenshot
#   ./run.sh --screenshot FILE    headless: save the screenshot to FILE and stop
#   ./run.sh -- ARGS              ARGS go to veskora.exe (a settings file path)
#   ./run.sh --x64 ...            the 64-bit build instead of the 32-bit release
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$ROOT"

usage() { sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

shot=""
keep_running=1
want64=0
args=()
while [ $# -gt 0 ]; do
    case $1 in
        --screenshot) [ $# -ge 2 ] || usage; shot=$2; keep_running=0; shift 2 ;;
        --x64) want64=1; shift ;;
        --) shift; args=("$@"); break ;;
        *) usage ;;
    esac
done

scripts/deps.sh
# The substitute driver is a 64-bit driver whichever build runs.
scripts/build.sh x86_64:veskora_driver
[ $want64 = 1 ] || scripts/build.sh "i686:vk_program vk_probe"

shown_on=${DISPLAY:-}
[ $keep_running = 1 ] || shown_on=""
[ -z "$shown_on" ] && unset DISPLAY
source scripts/session.sh
vk_session_begin
trap vk_session_end EXIT
# No scenario values: the driver simulates a live board.
"$VK_WINE" reg delete 'HKLM\System\CurrentControlSet\Services\veskora\Parameters' /va /f >/dev/null 2>&1 || true

arch=x86_64
if [ $want64 = 0 ]; then
    arch=$(vk_monitor_arch)
    if [ "$arch" = x86_64 ]; then
        echo "this machine does not run 32-bit programs natively (under emulation the window"
        echo "takes about half a minute to appear); starting the x86_64 build instead"
    fi
fi
[ "$arch" = i686 ] || scripts/build.sh x86_64:vk_program
exe=build/$arch/bin/veskora.exe
echo "starting the $arch build: $exe"
# Started from its own folder, as a double click starts it: the default
# skin and mask names are relative to the current folder.
cd "build/$arch/bin"
exe=./veskora.exe
if [ -n "$shown_on" ]; then
    "$VK_WINE" "$exe" "${args[@]}"
    exit 0
fi

"$VK_WINE" "$exe" "${args[@]}" &
monitor=$!
trap 'kill $monitor 2>/dev/null; vk_session_end' EXIT

# The window appears once its initialisation (and the first reading) is done.
shown=0
for _ in $(seq 150); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Veskora! for Fintek"' && { shown=1; break; }
    kill -0 $monitor 2>/dev/null || { echo "veskora.exe ended before showing its window" >&2; exit 1; }
    sleep 0.2
done
[ $shown = 1 ] || { echo "veskora.exe showed no window within 30 s" >&2; exit 1; }
sleep 2
[ -n "$shot" ] || shot="$ROOT/build/screenshot.png"
case $shot in /*) ;; *) shot="$ROOT/$shot" ;; esac
import -window root "$shot"
echo "screenshot: $shot"
[ $keep_running = 1 ] || exit 0
echo "veskora.exe is running on display $DISPLAY; press Ctrl+C to stop it."
wait $monitor
