#!/usr/bin/env bash
# Takes the README's pictures again, from the running monitor on the
# substitute driver's live simulation and a virtual display:
#   docs/screenshot.png  the window with the default skin (as a PNG) and the bitmap mask
#   docs/alarm.png       an alarm: the CPU temperature over its bound, with the log on
#   docs/settings.png    four pages of the settings dialog
#   docs/graphs.png      the graph layout after half a minute of readings
# The monitor is the build ./run.sh starts; its files live in /tmp/vk.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

TITLE='Veskora! for Fintek'
DIALOG='設定画面'
ID_SETTINGS=0x8040
PAGES=(1 2 3 4)  # チップ, ラベル, カラー/フォント, スキン/マスク
FILES=/tmp/vk
WIN_FILES='Z:\tmp\vk'

scripts/deps.sh
scripts/build.sh x86_64:veskora_driver x86_64:vk_drive "i686:vk_program vk_probe"
unset DISPLAY
source scripts/session.sh
vk_session_begin
VK_ROOT=$ROOT
source scripts/drive.sh
trap 'stop_monitor; vk_session_end' EXIT
"$VK_WINE" reg delete 'HKLM\System\CurrentControlSet\Services\veskora\Parameters' /va /f >/dev/null 2>&1 || true
arch=$(vk_monitor_arch)
[ "$arch" = i686 ] || scripts/build.sh x86_64:vk_program
bin="$ROOT/build/$arch/bin"

crlf() { sed 's/$/\r/'; }
rm -rf "$FILES"
mkdir -p "$FILES"
convert "$bin/VKS_DEF.BMP" "$FILES/skin.png"
printf '[Config]\nFileName=%s\\s.vkt\n' "$WIN_FILES" | crlf >"$FILES/s.vkc"
printf '[Skin]\nEnable=1\nFileName=%s\\skin.png\n[Mask]\nMode=4\n' "$WIN_FILES" | crlf >"$FILES/s.vkt"
printf '[Config]\nFileName=%s\\a.vkt\n[Alarm]\nEnable=1\nTemp0Max=30\nCount=1\n[Log]\nEnable=1\n' "$WIN_FILES" |
    crlf >"$FILES/a.vkc"
printf '[Config]\nFileName=%s\\g.vkt\n' "$WIN_FILES" | crlf >"$FILES/g.vkc"
printf '[Global]\nTimer=1\n[Layout]\nEnable=1\nFileName=VKL_GRAPH.VKL\n' | crlf >"$FILES/g.vkt"

# Starts the monitor on a settings file, from its own folder as a double
# click does, and waits for its first readings.
start_monitor() {
    (cd "$bin" && exec "$VK_WINE" ./veskora.exe "$WIN_FILES\\$1") </dev/null >/dev/null 2>&1 &
    monitor=$!
    drive rect "$TITLE" 0 >/dev/null
    sleep 3
}

shoot() { # window title, margin, file
    shoot_window "$@"
    echo "pictures: $3"
}

echo "pictures: the $arch build"
start_monitor s.vkc
shoot "$TITLE" 10 docs/screenshot.png
drive command "$TITLE" "$ID_SETTINGS"
pages=()
for page in "${PAGES[@]}"; do
    drive tab "$DIALOG" "$page"
    sleep 1
    shoot "$DIALOG" 0 "$FILES/page$page.png"
    pages+=("$FILES/page$page.png")
done
convert \( "${pages[0]}" "${pages[1]}" +append \) \( "${pages[2]}" "${pages[3]}" +append \) -append \
    docs/settings.png
echo "pictures: docs/settings.png"
stop_monitor

start_monitor a.vkc
shoot "$TITLE" 0 docs/alarm.png
stop_monitor

start_monitor g.vkc
sleep 30
shoot "$TITLE" 0 docs/graphs.png
stop_monitor
