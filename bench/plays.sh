#!/usr/bin/env bash
# Memory and threads over many plays of short files (bench/plays.cpp) on a virtual X display:
#   bash bench/plays.sh [plays, default 60] [BUILD...]
# Other build trees named run their probe and plugin (say, one of the code before a change) in
# turn with this one's.
set -euo pipefail
plays=${1:-60}
[[ $plays =~ ^[0-9]+$ ]] || { echo "usage: bash $0 [plays, default 60] [BUILD...]" >&2; exit 2; }
shift $(($# > 0))
builds=()
for build in "$@"; do builds+=("$(realpath "$build")"); done
cd "$(dirname "$0")/.."
cmake --build build --target plays corvalo_media >/dev/null
builds=("$PWD/build" "${builds[@]}")

source tools/virtual-display.sh
privateSession
startDisplay 1024x768 -noreset
for build in "${builds[@]}"; do
    echo "$build: plays, resident KiB, threads"
    "$build/bench/plays" "$build/src/libcorvalo_media.so" "$plays" 2>"$work/err" ||
        { tail -3 "$work/err" >&2; exit 1; }
done
