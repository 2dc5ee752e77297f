#!/usr/bin/env bash
# Memory and threads over many plays of short files (bench/plays.cpp) on a virtual X display:
#   bash bench/plays.sh [plays, default 60] [BUILD...]
# Other build trees named run their probe and plugin (say, one of the code before a change) in
# turn with this one's.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/virtual-display.sh
benchArgs 60 "bash bench/plays.sh [plays] [BUILD...]" "$@"
plays=$count
cmake --build build --target plays corvalo_media >/dev/null

privateSession
startDisplay 1024x768 -noreset
for build in "${builds[@]}"; do
    echo "$build: plays, resident KiB, threads"
    "$build/bench/plays" "$build/src/libcorvalo_media.so" "$plays" 2>"$work/err" ||
        { tail -3 "$work/err" >&2; exit 1; }
done
