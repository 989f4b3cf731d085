#!/usr/bin/env bash
# Compares what two builds of the monitor show and write, for a change that
# must not change either: each is started on the same settings files over
# the same fixed readings of the substitute driver, and their windows, the
# settings dialog's pages and their readings logs (without the time column)
# must be the same to the byte.
#   scripts/same-output.sh BIN_A BIN_B
# BIN_x is a folder holding a veskora.exe (i686) and its default files, e.g.
# build/i686/bin of this tree and of an older checkout built the same way.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
[ $# -eq 2 ] || { sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
A=$(cd "$1" && pwd)
B=$(cd "$2" && pwd)

TITLE='Veskora! for Fintek'
DIALOG='設定画面'
ID_SETTINGS=0x8040
PAGES=(0 1 2 3 4 5 6)
FILES=/tmp/vk-same
WIN_FILES='Z:\tmp\vk-same'
KEY='HKLM\System\CurrentControlSet\Services\veskora\Parameters'
# The sensor block: nine voltages, three temperatures, four fan counts (the
# fourth absent), four duties (the fourth absent), little-endian words.
BLOCK=ce00960070007f00770088004500ce00c2002c002800220015038104dc05ff0fb4006400e6008000

scripts/build.sh x86_64:veskora_driver x86_64:vk_drive
unset DISPLAY
source scripts/session.sh
vk_session_begin
VK_ROOT=$ROOT
source scripts/drive.sh
cleanup() {
    stop_monitor
    "$VK_WINE" reg delete "$KEY" /va /f >/dev/null 2>&1 || true
    vk_session_end
}
trap cleanup EXIT
crlf() { sed 's/$/\r/'; }

"$VK_WINE" reg add "$KEY" /v Block /t REG_BINARY /d "$BLOCK" /f >/dev/null
"$VK_WINE" reg add "$KEY" /v Dts /t REG_DWORD /d 20 /f >/dev/null

# Runs one build on one settings file; its pictures and log go to OUT.
run() { # bin, settings name, out
    local bin=$1 name=$2 out=$3
    rm -rf "$FILES/files"
    mkdir -p "$out" "$FILES/files"
    cp "$FILES"/*.vk? "$FILES/files/"
    convert "$bin/VKS_DEF.BMP" "$FILES/files/skin.png"
    (cd "$bin" && exec "$VK_WINE" ./veskora.exe "$WIN_FILES\\files\\$name") </dev/null >/dev/null 2>&1 &
    monitor=$!
    drive rect "$TITLE" 0 >/dev/null
    sleep 4
    shoot_window "$TITLE" 0 "$out/window.png"
    drive command "$TITLE" "$ID_SETTINGS"
    for page in "${PAGES[@]}"; do
        drive tab "$DIALOG" "$page"
        sleep 1
        shoot_window "$DIALOG" 0 "$out/page$page.png"
    done
    stop_monitor
    for log in "$FILES"/files/*.CSV; do
        [ -e "$log" ] && cut -d, -f2- "$log" >"$out/$(basename "$log").columns"
    done
    return 0
}

rm -rf "$FILES"
mkdir -p "$FILES"
printf '[Config]\nFileName=%s\\files\\plain.vkt\n' "$WIN_FILES" | crlf >"$FILES/plain.vkc"
printf '[Config]\nFileName=%s\\files\\skin.vkt\nDebug=1\n' "$WIN_FILES" | crlf >"$FILES/skin.vkc"
printf '[Skin]\nEnable=1\nFileName=%s\\files\\skin.png\n[Mask]\nMode=4\n' "$WIN_FILES" | crlf >"$FILES/skin.vkt"
printf '[Config]\nFileName=%s\\files\\alarm.vkt\n[Alarm]\nEnable=1\nTemp0Max=30\nIn1Min=1.3\nCount=1\n[Log]\nEnable=1\nFileName=%s\\files\\LOG.CSV\n[CoreTemp]\nEnable=1\n' \
    "$WIN_FILES" "$WIN_FILES" | crlf >"$FILES/alarm.vkc"
printf '[Labels]\nLine=0\n[Layout]\nEnable=1\n' | crlf >"$FILES/alarm.vkt"

status=0
for name in plain.vkc skin.vkc alarm.vkc; do
    run "$A" "$name" "$FILES/a/$name"
    run "$B" "$name" "$FILES/b/$name"
    for file in "$FILES/a/$name"/*; do
        other="$FILES/b/$name/$(basename "$file")"
        if cmp -s "$file" "$other"; then
            echo "same: $name $(basename "$file")"
        else
            echo "DIFFERENT: $name $(basename "$file")"
            status=1
        fi
    done
done
exit $status
