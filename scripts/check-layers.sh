#!/usr/bin/env bash
# Keeps the program's layers: a file may include headers of its own layer
# and of the layers below it, never of one above. Bottom to top:
#   driver/protocol.h   the driver's records, shared with the substitute driver
#   foundation/ resources/
#   sensors/
#   app/
#   display/
#   dialogs/
#   window/             the main window, its commands and the creation loop
# Usage: check-layers.sh [SOURCE_ROOT]; prints every include that points up.
set -euo pipefail
root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
cd "$root"

rank() {
    case $1 in
        driver) echo 0 ;;
        foundation | resources) echo 1 ;;
        sensors) echo 2 ;;
        app) echo 3 ;;
        display) echo 4 ;;
        dialogs) echo 5 ;;
        window) echo 6 ;;
        *) echo "" ;;
    esac
}

bad=0
checked=0
while IFS= read -r file; do
    own=$(rank "${file%%/*}")
    checked=$((checked + 1))
    while IFS=: read -r line header; do
        target=$(rank "${header%%/*}")
        [ -n "$target" ] || continue
        if [ "$target" -gt "$own" ]; then
            echo "$file:$line includes $header, a layer above its own" >&2
            bad=1
        fi
    done < <(grep -n '^#include "' "$file" | sed -E 's/^([0-9]+):#include "([^"]+)".*/\1:\2/')
done < <(find foundation sensors app display dialogs window -name '*.cpp' -o -name '*.h' 2>/dev/null | sort)
[ $checked -gt 0 ] || { echo "no source file found under $root" >&2; exit 1; }
[ $bad -eq 0 ] || exit 1
echo "$checked files: every include points to its own layer or one below"
