#!/usr/bin/env bash
# From File > Exit to the end of the program while its player waits on files whose reads never
# return, as on a network share that stopped answering (bench/hangingshare.py, a FUSE file system;
# needs python3-fusepy and /dev/fuse), on a virtual X display without a window manager:
#   bash bench/exit.sh [runs, default 3] [--compare BUILD]
# Each run plays a file of the share, then a good one, through the music manager, and chooses
# File > Exit. It prints whether the good file played and how long the program took to end (at
# most 20 s; past that it is killed). --compare runs another build tree's program in turn.
set -euo pipefail
runs=3
builds=()
while [ $# -gt 0 ]; do
    case $1 in
    --compare) builds+=("$(realpath "${2:?--compare needs a build folder}")"); shift ;;
    *[!0-9]* | '') echo "usage: bash bench/exit.sh [runs] [--compare BUILD]" >&2; exit 2 ;;
    *) runs=$1 ;;
    esac
    shift
done
cd "$(dirname "$0")/.."
cmake --build build --target corvalo corvalo_media >/dev/null
builds=("$PWD/build" "${builds[@]}")

source tools/virtual-display.sh
privateSession
startDisplay 1024x768
mkdir -p "$work/files" "$work/share"
/usr/bin/python3 - "$work/files" <<'PY'
import struct, sys, wave
for name in ("stuck.wav", "good.wav"):
    with wave.open(f"{sys.argv[1]}/{name}", "wb") as w:
        w.setnchannels(1); w.setsampwidth(2); w.setframerate(22050)
        w.writeframes(b"".join(struct.pack("<h", (i % 50) * 400) for i in range(22050 * 5)))
PY
/usr/bin/python3 bench/hangingshare.py "$work/files" "$work/share" &
# Its stuck reads keep it from ending when asked.
atExit="fusermount -u -z '$work/share' 2>/dev/null || true; kill -9 $! 2>/dev/null || true"
waitFor 10 test -e "$work/share/stuck.wav"

playThrough() { # main-window MUSIC-FILE
    local manager
    xdotool windowfocus --sync "$1" key F10 Right Right Return
    manager=$(xdotool search --sync --onlyvisible --name '^Music selection$' | head -1)
    # The file box at (120, 40) and Play at (120, 80), as the window is laid out.
    xdotool mousemove --sync --window "$manager" 140 50 click 1 key ctrl+a
    xdotool type --delay 0 "$2"
    xdotool mousemove --sync --window "$manager" 140 90 click 1
}
opened() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q "$2"; }

for run in $(seq "$runs"); do
    for build in "${builds[@]}"; do
        "$build/src/corvalo" >"$work/log" 2>&1 &
        pid=$!
        main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Corvalo\(Xmas\)$' | head -1)
        playThrough "$main" "$work/share/stuck.wav"
        waitFor 20 opened "$pid" share/stuck.wav || { import -window root /tmp/exit-fail.png; exit 1; }
        playThrough "$main" "$work/files/good.wav"
        played=no
        waitFor 10 opened "$pid" files/good.wav && played=yes
        xdotool windowfocus --sync "$main" key F10
        start=$(date +%s%N)
        xdotool key Return
        ended=">20000"
        if waitFor 20 sh -c "! kill -0 $pid"; then
            ended=$((($(date +%s%N) - start) / 1000000))
        else
            kill -9 "$pid"
        fi
        wait "$pid" 2>/dev/null || true
        echo "$build: good file played: $played; ended ${ended} ms after Exit"
    done
done
