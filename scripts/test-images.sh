#!/usr/bin/env bash
# Writes the image tests' files into OUTPUT_DIRECTORY:
#   png/       PngSuite's basic images (from the libpng source package) and,
#              for each, ImageMagick's decoding of it: raw RGB samples of 16
#              bits, big-endian, alpha switched off (NAME.rgb)
#   testpngs/  the libpng source's test images, crashers/ among them
#   skin.jpg, skin.gif, wide1.png  a JPEG and a GIF skin, a PNG of width 1
# Usage: test-images.sh OUTPUT_DIRECTORY LIBPNG_SOURCE_DIRECTORY
set -euo pipefail
out=$1 src=$2
rm -rf "$out/png" "$out/testpngs"
mkdir -p "$out/png"
for f in "$src"/contrib/pngsuite/basn*.png; do
    name=$(basename "$f" .png)
    cp "$f" "$out/png/"
    # The samples as stored: no gamma applied (PngSuite files carry gAMA).
    convert "$f" -set colorspace sRGB -alpha off -depth 16 -endian MSB "rgb:$out/png/$name.rgb"
done
cp -r "$src/contrib/testpngs" "$out/testpngs"
convert -size 48x32 gradient:'#c02040-#2040c0' -quality 92 "$out/skin.jpg"
convert -size 48x32 gradient:'#20c040-#c0c020' "$out/skin.gif"
convert -size 1x3 xc:'#336699' PNG24:"$out/wide1.png"
