#!/usr/bin/env bash
# Saves a picture of the main window in each skin, at 100 % and at 200 % scale, from the skin
# chooser's test: FOLDER/100/Winter.png, FOLDER/200/Halloween.png and so on.
# Usage: tools/skin-screenshots.sh [FOLDER] (default: build/skin-screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$(realpath -m "${1:-build/skin-screenshots}")
test=build/tests/skins/skinchooser_test
[ -x "$test" ] || { echo "Build first: $test is missing." >&2; exit 1; }
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
for scale in 1 2; do
    out=$folder/${scale}00
    mkdir -p "$out"
    HOME=$home QT_QPA_PLATFORM=offscreen:configfile=$PWD/tests/support/screen.json QT_SCALE_FACTOR=$scale CORVALO_SKIN_SCREENSHOTS=$out \
        "$test" set >/dev/null
    ls "$out"/*.png
done
