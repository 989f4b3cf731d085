#!/usr/bin/env bash
# Creates the project's Wine prefix (build/wineprefix) and brings its settings
# up to date: Japanese font replacements so that Shift-JIS texts show, no
# Mono/Gecko prompts, and windows that no window manager has to manage (on a
# display without one, Wine otherwise waits 2 s for every window it hides).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

SETTINGS_VERSION=2
READY="$WINEPREFIX/.veskora-ready"

WOW64="$WINEPREFIX/.veskora-wow64"

# A prefix made before Wine's 32-bit half was installed cannot run the
# 32-bit build: make it anew. A prefix made with it is marked, so that a
# machine whose kernel cannot run 32-bit code does not remake it every time.
if [ -f "$WINEPREFIX/system.reg" ] && [ ! -f "$WOW64" ] &&
    [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "prefix: $WINEPREFIX has no 32-bit half; creating it anew"
    "$VK_WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
fi
[ "$(cat "$READY" 2>/dev/null)" = "$SETTINGS_VERSION" ] && exit 0

FONTS=("ＭＳ ゴシック" "ＭＳ Ｐゴシック" "MS Gothic" "MS UI Gothic" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma")

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "prefix: creating $WINEPREFIX"
    "$VK_WINE" wineboot -i >/dev/null 2>&1
    "$VK_WINESERVER" -w
    if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
        touch "$WOW64"
    fi
fi
regfile=$(mktemp --suffix=.reg)
trap 'rm -f "$regfile"' EXIT
{
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for font in "${FONTS[@]}"; do printf '"%s"="IPAGothic"\r\n' "$font"; done
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n'
} | iconv -f UTF-8 -t CP932 >"$regfile"
"$VK_WINE" regedit /S "Z:${regfile//\//\\}" >/dev/null 2>&1
echo "$SETTINGS_VERSION" >"$READY"
