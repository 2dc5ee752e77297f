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

# The window icon: its 32 x 32 entry is the 256-colour picture, with a 1-bit mask cut where the
# reindeer is at least half covered and the colours quantised without looking at coverage (so
# the soft edges keep their own colour); the larger entries keep full alpha for high-DPI task
# bars (ImageMagick stores the 256 x 256 one as PNG).
for n in 48 64 128 256; do svg icon "$n" "$n" && mv "$tmp/icon.png" "$tmp/icon$n.png"; done
svg icon 32 32
$IM \( "$tmp/icon.png" \( +clone -alpha off +dither -colors 255 \) \( -clone 0 -alpha extract -threshold 50% \) \
    -delete 0 -alpha off -compose CopyOpacity -composite -background black -alpha background \
    -type PaletteAlpha \) "$tmp"/icon{48,64,128,256}.png -depth 8 "ICO:$out/icon.ico"

# The themed icons for the desktop's menu, from the same drawing.
mkdir -p "$out/hicolor"
for n in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$n" -h "$n" -o "$out/hicolor/icon-$n.png" "$src/icon.svg"
done

# Windows bitmaps with the 40-byte header at 72 dpi, rows bottom-up; -depth 8 rounds the
# quantised palette before the writer sees it, and -compress None keeps the 8-bit one from RLE.
bmp() {
    local name=$1
    shift
    $IM "$tmp/$name.png" -background white -alpha remove -alpha off "$@" -depth 8 -compress None \
        -units PixelsPerCentimeter -density 28.35 "BMP3:$out/$name.bmp"
}
svg snowflakes 200 200
bmp snowflakes -dither FloydSteinberg -colors 256 -type Palette
for entry in winter:300:200 santa:218:221 halloween:320:320; do
    IFS=: read -r name w h <<<"$entry"
    svg "$name" "$w" "$h"
    bmp "$name" -type TrueColor
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

# Renderings for screens of higher pixel ratios, read only when a screen asks for one: NAME@2x and
# NAME@3x beside each picture above, from the same drawing at twice and three times the size and
# through the same steps, as PNG or, for the JPEG and photograph-like ones, baseline JPEG (quick
# to decode); the GIF gives its first frame, the one the windows show. Ratios in between (1.25,
# 1.5) are served from the next rendering up, scaled down by the program.
# pngOut FILE KIND SOURCE [options]: without the timestamps ImageMagick would embed.
pngOut() {
    local target=$1 kind=$2 source=$3
    shift 3
    $IM "$source" "$@" -strip -define png:exclude-chunks=date,time "$kind:$target"
}
for n in 2 3; do
    at=@${n}x
    svg snowflakes $((200 * n)) $((200 * n))
    pngOut "$out/snowflakes$at.png" PNG8 "$tmp/snowflakes.png" -background white -alpha remove \
        -alpha off -dither FloydSteinberg -colors 256 -type Palette -depth 8
    for entry in santa:218:221 halloween:320:320; do
        IFS=: read -r name w h <<<"$entry"
        svg "$name" $((w * n)) $((h * n))
        pngOut "$out/$name$at.png" PNG24 "$tmp/$name.png" -background white -alpha remove -alpha off
    done
    # The photograph-like winter picture takes a third of the room as a JPEG.
    svg winter $((300 * n)) $((200 * n))
    $IM "$tmp/winter.png" -background white -alpha remove -alpha off -strip -interlace None \
        -sampling-factor 2x2 -quality 88 "$out/winter$at.jpg"
    svg village $((200 * n)) $((195 * n))
    $IM "$tmp/village.png" -background white -alpha remove -alpha off -strip -interlace None \
        -sampling-factor 2x2 -quality 85 "$out/village$at.jpg"
    svg starsky $((146 * n)) $((140 * n))
    $IM "$tmp/starsky.png" -background black -alpha remove -alpha off -strip -interlace None \
        -quality 88 "$out/starsky$at.jpg"
    svg tree $((100 * n)) $((100 * n))
    pngOut "$out/tree$at.png" PNG8 "$tmp/tree.png" -alpha off +dither -colors 256 -depth 8
done

# The player strip's icons, 14 x 14 as the strip shows them, with full alpha, at each ratio.
for name in play pause stop volume muted; do
    for n in 1 2 3; do
        at=$([ "$n" = 1 ] || echo "@${n}x")
        rsvg-convert -w $((14 * n)) -h $((14 * n)) -o "$out/player-$name$at.png" "$src/player-$name.svg"
    done
done

$PY "$tools/check_pictures.py" "$out"
