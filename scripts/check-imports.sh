#!/usr/bin/env bash
# Proves that the program needs nothing beside itself: every DLL it imports
# ships with Windows. A library linked as a DLL by mistake (zlib1.dll, a
# compiler runtime) would stop it from starting on a user's machine.
# Usage: check-imports.sh TRIPLET EXECUTABLE
set -euo pipefail
export LC_ALL=C   # objdump translates its headings in other locales
tools=$1 exe=$2
system="advapi32 comctl32 comdlg32 gdi32 kernel32 msvcrt ntdll ole32 oleaut32 shell32 user32 version winmm ws2_32"
imports=$("$tools-objdump" -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
[ -n "$imports" ] || { echo "no imports found in $exe" >&2; exit 1; }
foreign=$(for dll in $imports; do [[ " $system " == *" ${dll%.dll} "* ]] || echo "$dll"; done)
if [ -n "$foreign" ]; then
    echo "$(basename "$exe") needs DLLs that Windows does not have:" >&2
    echo "$foreign" >&2
    exit 1
fi
echo "$(basename "$exe") imports only system DLLs: $(echo $imports)"
