#!/bin/sh
# Renders the program's pictures from the SVG sources in this folder.
#
# Needs rsvg-convert (Debian: librsvg2-bin), ImageMagick's convert
# (imagemagick) and python3. The rendered files are committed, so building
# the program never needs these tools; run this after changing an SVG.
#
#   quillon.ico  128 (24-bit colour), 48, 32, 16 (32-bit colour)
#   quillon.png  256 x 256, for the desktop and the window
#   logo.gif     149 x 49, 32-colour palette
#   refresh.png  16 x 16, 16 colours
#   exit.png     16 x 16, 24-bit colour
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Application icon: the detailed drawing for large sizes, the simpler one
# for small sizes.
rsvg-convert -w 256 -h 256 icon.svg -o quillon.png
for size in 128 48; do
    rsvg-convert -w $size -h $size icon.svg -o "$tmp/icon-$size.png"
done
for size in 32 16; do
    rsvg-convert -w $size -h $size icon-small.svg -o "$tmp/icon-$size.png"
done
for size in 128 48 32 16; do
    convert "$tmp/icon-$size.png" -depth 8 "RGBA:$tmp/icon-$size.rgba"
done
python3 make-ico.py quillon.ico \
    "128:24:$tmp/icon-128.rgba" "48:32:$tmp/icon-48.rgba" \
    "32:32:$tmp/icon-32.rgba" "16:32:$tmp/icon-16.rgba"

# Logo: opaque, reduced to a 32-colour palette.
rsvg-convert -w 149 -h 49 logo.svg -o "$tmp/logo.png"
convert "$tmp/logo.png" -background white -alpha remove -alpha off \
    +dither -colors 32 logo.gif

# Button pictures: half-covered edge pixels are blended with a button-face
# grey, the rest of the background is fully transparent (one colour key).
button_picture() {
    rsvg-convert -w 16 -h 16 "$1" -o "$tmp/raw.png"
    convert "$tmp/raw.png" \
        \( +clone -background '#ececec' -alpha remove -alpha off \) \
        \( -clone 0 -alpha extract -threshold 25% \) \
        -delete 0 -alpha off -compose CopyOpacity -composite \
        -background '#ff00ff' -alpha background "$2"
}
button_picture refresh.svg "$tmp/refresh.png"
convert "$tmp/refresh.png" -colors 16 -define png:bit-depth=4 PNG8:refresh.png
button_picture exit.svg "$tmp/exit.png"
convert "$tmp/exit.png" PNG24:exit.png
