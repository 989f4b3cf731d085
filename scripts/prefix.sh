#!/usr/bin/env bash
# Creates the project's Wine prefix (build/wineprefix) once: Japanese font
# replacements so that Shift-JIS texts show, and no Mono/Gecko prompts.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

READY="$WINEPREFIX/.veskora-ready"
[ -f "$READY" ] && exit 0

FONTS=("ＭＳ ゴシック" "ＭＳ Ｐゴシック" "MS Gothic" "MS UI Gothic" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma")

echo "prefix: creating $WINEPREFIX"
"$VK_WINE" wineboot -i >/dev/null 2>&1
"$VK_WINESERVER" -w
for font in "${FONTS[@]}"; do
    "$VK_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d IPAGothic /f >/dev/null 2>&1
done
"$VK_WINESERVER" -w
touch "$READY"
