#!/usr/bin/env bash
# From File > Exit to the end of the program while its player waits on files whose reads never
# return, as on a network share that stopped answering (bench/hangingshare.py, a FUSE file system;
# needs python3-fusepy and /dev/fuse), on a virtual X display without a window manager:
#   bash bench/exit.sh [runs, default 3] [BUILD...]
# Each run plays ten files of the share, then a good one, through the music manager, and chooses
# File > Exit. It prints whether the good file played and how long the program took to end (at
# most 20 s; past that it is killed). Other build trees named run their program in turn.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/virtual-display.sh
benchArgs 3 "bash bench/exit.sh [runs] [BUILD...]" "$@"
runs=$count
cmake --build build --target corvalo corvalo_media >/dev/null

privateSession
startDisplay 1024x768
mkdir -p "$work/files" "$work/share"
/usr/bin/python3 - "$work/files" <<'PY'
import struct, sys, wave
for name in [f"stuck{i}.wav" for i in range(10)] + ["good.wav"]:
    with wave.open(f"{sys.argv[1]}/{name}", "wb") as w:
        w.setnchannels(1); w.setsampwidth(2); w.setframerate(22050)
        w.writeframes(b"".join(struct.pack("<h", (i % 50) * 400) for i in range(22050 * 5)))
PY
mountpoint -q /sys/fs/fuse/connections || mount -t fusectl none /sys/fs/fuse/connections 2>/dev/null || true
# A share of its own for each program; its stuck reads keep it from ending when asked.
share=
mountShare() {
    /usr/bin/python3 bench/hangingshare.py "$work/files" "$work/share" &
    share=$!
    waitFor 10 test -e "$work/share/good.wav"
}
unmountShare() {
    # Reads still waiting end with an error once the connection is aborted.
    local connection
    connection=$(mountpoint -d "$work/share" 2>/dev/null | cut -d: -f2) &&
        echo 1 >"/sys/fs/fuse/connections/$connection/abort" 2>/dev/null
    fusermount -u -z "$work/share" 2>/dev/null || true
    kill -9 "$share" 2>/dev/null || true
    wait "$share" 2>/dev/null || true
}
atExit=unmountShare

playThrough() { # main-window MUSIC-FILE
    local manager= try
    for try in 1 2 3 4 5; do
        xdotool windowfocus --sync "$1" key F10 Right Right Return
        manager=$(timeout 3 xdotool search --sync --onlyvisible --name '^Music selection$') && break
        xdotool key Escape Escape
    done
    manager=$(head -1 <<<"$manager")
    # The file box at (120, 40) and Play at (120, 80), as the window is laid out.
    xdotool mousemove --sync --window "$manager" 140 50 click 1 key ctrl+a
    xdotool type --delay 0 "$2"
    xdotool mousemove --sync --window "$manager" 140 90 click 1
}
opened() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q "$2"; }

for run in $(seq "$runs"); do
    for build in "${builds[@]}"; do
        mountShare
        "$build/src/corvalo" >"$work/log" 2>&1 &
        pid=$!
        main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Corvalo\(Xmas\)$' | head -1)
        for i in $(seq 0 9); do
            playThrough "$main" "$work/share/stuck$i.wav"
            waitFor 20 opened "$pid" "share/stuck$i.wav" || break
        done
        echo "$build: files of the share opened: $(ls -l "/proc/$pid/fd" | grep -c share/stuck)"
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
        unmountShare
        echo "$build: good file played: $played; ended ${ended} ms after Exit"
    done
done
