#!/usr/bin/env bash
# From `playerctl play-pause` to the strip showing the new state, with a WAV playing through the
# media plugin, on a virtual X display and a session bus of its own (bench/mediacontrols.cpp).
#   bash bench/mediacontrols.sh [runs]
# Prints the medians in milliseconds from playerctl's start: until the player changed state, until
# the strip's play button was painted, and until playerctl ended.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/virtual-display.sh
ownDbusSession bench/mediacontrols.sh "$@"
[ -f build/build.ninja ] || { echo "configure first: bash tools/setup.sh" >&2; exit 1; }
cmake --build build --target mediacontrols corvalo_media >/dev/null
privateSession
startDisplay 1024x768
read -r runs state painted exited < <(build/bench/mediacontrols "$PWD/build/src" "${1:-21}")
echo "playerctl play-pause, $runs runs, medians: player changed ${state} ms," \
    "strip painted ${painted} ms, playerctl ended ${exited} ms"
