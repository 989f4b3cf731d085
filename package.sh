#!/usr/bin/env bash
# The release package: builds what is missing (the 32-bit release build) and
# writes build/veskora-<version>-x86.zip with the program, the files it looks
# for beside itself and a README.txt in Japanese (Shift-JIS, CRLF). No test
# program, benchmark or substitute driver goes in.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$ROOT"

scripts/deps.sh
scripts/build.sh i686:vk_program

tree=build/i686
version=$(tr -d '[:space:]' <"$tree/package.version")
name=veskora-$version-x86
stage=build/package/$name
zip=$ROOT/build/$name.zip

rm -rf "$stage" "$zip"
mkdir -p "$stage"
while IFS= read -r file; do
    [ -n "$file" ] || continue
    cp "$file" "$stage/"
done <"$tree/package.list"
sed "s/@VERSION@/$version/" resources/package/README.txt | iconv -f UTF-8 -t CP932 \
    | sed 's/$/\r/' >"$stage/README.txt"

(cd build/package && cmake -E tar cf "$zip" --format=zip "$name")
unzip -l "$zip"
echo "package: $zip"
