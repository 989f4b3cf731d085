#!/usr/bin/env bash
# Creates the project's Wine prefix (build/wineprefix) and brings its settings
# up to date: Japanese font replacements so that Shift-JIS texts show, Wine's
# own Marlett font for the caption buttons, no Mono/Gecko prompts, no
# debugger that waits on a crash, and windows that no window manager has to
# manage (on a display without one, Wine otherwise waits 2 s for every window
# it hides).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

SETTINGS_VERSION=3
READY="$WINEPREFIX/.veskora-ready"
WOW64_DLL="$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll"

# A prefix made while no 32-bit program could run has no 32-bit half: make
# it anew as soon as one can run (natively or under emulation). Where none
# can, the prefix is kept as it is.
if [ -f "$WINEPREFIX/system.reg" ] && [ ! -f "$WOW64_DLL" ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "prefix: $WINEPREFIX has no 32-bit half; creating it anew"
    "$VK_WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
fi
[ "$(cat "$READY" 2>/dev/null)" = "$SETTINGS_VERSION" ] && exit 0

FONTS=("ＭＳ ゴシック" "ＭＳ Ｐゴシック" "MS Gothic" "MS UI Gothic" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma")
AEDEBUG='Microsoft\Windows NT\CurrentVersion\AeDebug'

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "prefix: creating $WINEPREFIX"
    "$VK_WINE" wineboot -i >/dev/null 2>&1
    "$VK_WINESERVER" -w
fi
# Debian's Wine looks for its own fonts under a path it cannot resolve
# (<data dir>\..\fonts), so the Marlett font of fonts-wine, which draws the
# caption buttons, is never found; every font in the prefix's Fonts folder is.
cp -f /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
regfile=$(mktemp --suffix=.reg)
trap 'rm -f "$regfile"' EXIT
{
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for font in "${FONTS[@]}"; do printf '"%s"="IPAGothic"\r\n' "$font"; done
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n'
    # A crash ends the process at once: an empty debugger command cannot be
    # started, where a missing one would start winedbg and wait on it.
    for view in '' 'Wow6432Node\'; do
        printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\%s%s]\r\n"Auto"="1"\r\n"Debugger"=""\r\n' "$view" "$AEDEBUG"
    done
} | iconv -f UTF-8 -t CP932 >"$regfile"
"$VK_WINE" regedit /S "Z:${regfile//\//\\}" >/dev/null 2>&1
echo "$SETTINGS_VERSION" >"$READY"
