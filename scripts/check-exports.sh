#!/usr/bin/env bash
# Proves that a linked executable exports every member function of CSTR and
# INIFILE under its decorated name: each function the string and profile-file
# objects of the core library define must be listed in the export table.
# Usage: check-exports.sh TRIPLET EXECUTABLE CORE_LIBRARY
set -euo pipefail
export LC_ALL=C   # objdump translates its headings in other locales
tools=$1 exe=$2 lib=$3
# 32-bit objects carry one more leading underscore than the export names.
strip=""
[ "$tools" = i686-w64-mingw32 ] && strip='sub(/^_/, "", name);'

exported=$("$tools-objdump" -p "$exe" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} /^$/ {on=0} on && /^[ \t]*\[/ {print $NF}' | sort -u)

members=$("$tools-nm" --defined-only -g "$lib" 2>/dev/null | awk '
    /^$/ {obj=""}
    /:$/ {obj=$0}
    obj ~ /(cstr|inifile)\.cpp\.obj:$/ && $2 == "T" && ($3 ~ /4CSTR/ || $3 ~ /7INIFILE/) {name = $3; '"$strip"' print name}' | sort -u)

count=$(echo "$members" | grep -c . || true)
if [ "$count" -lt 60 ]; then
    echo "only $count CSTR/INIFILE members found in $lib; expected the whole classes" >&2
    exit 1
fi
missing=$(comm -23 <(echo "$members") <(echo "$exported"))
if [ -n "$missing" ]; then
    echo "not exported by $(basename "$exe"):" >&2
    echo "$missing" >&2
    exit 1
fi
echo "$(basename "$exe") exports all $count members of CSTR and INIFILE"
