#!/usr/bin/env bash
# Takes the README's pictures again, from the running monitor on the
# substitute driver's live simulation and a virtual display:
#   docs/screenshot.png  the window with the default skin (as a PNG) and the bitmap mask
#   docs/alarm.png       an alarm: the CPU temperature over its bound, with the log on
#   docs/settings.png    four pages of the settings dialog
#   docs/graphs.png      the graph layout after half a minute of readings
#   docs/history.png     the history window over a two-minute ring, most of it filled
#   docs/tray.png        three icons in the notification area of Wine's own
#                        desktop (the CPU temperature, the CPU fan, the hottest
#                        core), the taskbar's corner at three times its size
# The monitor is the build ./run.sh starts; its files live in /tmp/vk.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

TITLE='Veskora! for Fintek'
DIALOG='設定画面'
ID_SETTINGS=0x8040
ID_HISTORY=0x8080
HISTORY='履歴グラフ'
DESKTOP=800x600  # Wine's desktop with a taskbar, at the top left of the display
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
printf '[Config]\nFileName=%s\\g.vkt\n[History]\nMinutes=2\n' "$WIN_FILES" | crlf >"$FILES/g.vkc"
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
drive command "$TITLE" "$ID_HISTORY"
sleep 60
shoot "$HISTORY" 0 docs/history.png
stop_monitor

# Last: the desktop stays until the session ends. Its windows are out of
# the driver's reach (another desktop), so the picture waits and crops.
printf '[Config]\nFileName=%s\\t.vkt\n[Tray]\nEnable=1\nRows=0,3,c\n' "$WIN_FILES" | crlf >"$FILES/t.vkc"
printf '[Global]\nTimer=1\n' | crlf >"$FILES/t.vkt"
program=$("$VK_WINE" winepath -w "$bin/veskora.exe" 2>/dev/null | tr -d '\r')
(cd "$bin" && exec "$VK_WINE" explorer "/desktop=shell,$DESKTOP" "$program" "$WIN_FILES\\t.vkc") \
    </dev/null >/dev/null 2>&1 &
sleep 15
import -window root -crop "$DESKTOP+0+0" +repage "$FILES/desktop.png"
convert "$FILES/desktop.png" -gravity southeast -crop 240x28+0+0 +repage -scale 300% docs/tray.png
echo "pictures: docs/tray.png"
