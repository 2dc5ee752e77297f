#!/bin/bash
# Rasterise assets/src/*.svg into the committed files under assets/pictures/.
# Needs only Debian's librsvg2-bin, imagemagick and python3.
# Usage: bash assets/render.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
src=$here/src
out=$here/pictures
tools=$here/tools
# /usr/local/bin may shadow these with stand-ins, so use the Debian ones.
IM=/usr/bin/convert
PY=/usr/bin/python3

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

# svg NAME WIDTH HEIGHT [extra rsvg-convert args] -> $tmp/NAME.png
svg() {
    local name=$1 w=$2 h=$3
    shift 3
    rsvg-convert -w "$w" -h "$h" "$@" -o "$tmp/$name.png" "$src/$name.svg"
}

svg icon 32 32
$PY "$tools/pack.py" ico8 "$tmp/icon.png" "$out/icon.ico"

for entry in snowflakes:200:200:bmp8 winter:300:200:bmp24 santa:218:221:bmp24 halloween:320:320:bmp24; do
    IFS=: read -r name w h kind <<<"$entry"
    svg "$name" "$w" "$h"
    $PY "$tools/pack.py" "$kind" "$tmp/$name.png" "$out/$name.bmp"
done

# -strip drops the timestamps ImageMagick would otherwise embed; the density
# is given after it so the JFIF header still carries 300 dpi.
svg village 200 195
$IM "$tmp/village.png" -background white -alpha remove -alpha off -strip \
    -interlace Plane -sampling-factor 2x2 -quality 78 \
    -units PixelsPerInch -density 300 "$out/village.jpg"

svg starsky 146 140
$IM "$tmp/starsky.png" -background black -alpha remove -alpha off -strip \
    -interlace None -quality 88 "$out/starsky.jpg"

# Frame 2 is the same drawing with the lights recoloured by a stylesheet.
# Both frames are mapped onto one palette built from the pair, so the GIF has
# a single global table and no per-frame tables.
svg tree 100 100
mv "$tmp/tree.png" "$tmp/tree1.png"
svg tree 100 100 -s "$src/tree-frame2.css"
mv "$tmp/tree.png" "$tmp/tree2.png"
$IM "$tmp/tree1.png" "$tmp/tree2.png" -alpha off +append +dither -colors 256 -unique-colors "$tmp/treepal.png"
$IM "$tmp/tree1.png" "$tmp/tree2.png" -alpha off +dither -remap "$tmp/treepal.png" \
    -strip -delay 70 -loop 0 "$out/tree.gif"

$PY "$tools/check_pictures.py" "$out"
