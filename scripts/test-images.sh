#!/usr/bin/env bash
# Writes the image tests' files into OUTPUT_DIRECTORY:
#   png/       PngSuite's basic images (from the libpng source package) and,
#              for each, ImageMagick's decoding of it: raw RGB samples of 16
#              bits, big-endian, alpha switched off (NAME.rgb)
#   pngsuite/  all of PngSuite, interlaced and damaged images among them
#   testpngs/  the libpng source's test images, crashers/ among them
#              and two of our own the suite lacks: a colour image one pixel
#              wide (narrow) and a 2-bit grey one of odd width (odd2)
#   skin.jpg, skin.gif  a JPEG and a GIF skin
# Usage: test-images.sh OUTPUT_DIRECTORY LIBPNG_SOURCE_DIRECTORY
set -euo pipefail
out=$1 src=$2
rm -rf "$out/png" "$out/pngsuite" "$out/testpngs"
mkdir -p "$out/png"
convert -size 1x3 xc:'#336699' -fill '#cc2211' -draw 'point 0,1' -fill '#11ee44' \
    -draw 'point 0,2' PNG24:"$out/png/narrow.png"
convert -size 2x5 gradient:white-black -rotate 90 -colorspace Gray -depth 2 \
    -define png:bit-depth=2 -define png:color-type=0 "$out/png/odd2.png"
for f in "$src"/contrib/pngsuite/basn*.png "$out"/png/narrow.png "$out"/png/odd2.png; do
    name=$(basename "$f" .png)
    [ "$(dirname "$f")" = "$out/png" ] || cp "$f" "$out/png/"
    # The samples as stored: no gamma applied (PngSuite files carry gAMA).
    convert "$f" -set colorspace sRGB -alpha off -depth 16 -endian MSB "rgb:$out/png/$name.rgb"
done
cp -r "$src/contrib/pngsuite" "$out/pngsuite"
cp -r "$src/contrib/testpngs" "$out/testpngs"
convert -size 48x32 gradient:'#c02040-#2040c0' -quality 92 "$out/skin.jpg"
convert -size 48x32 gradient:'#20c040-#c0c020' "$out/skin.gif"
