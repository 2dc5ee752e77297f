#!/usr/bin/env bash
# Start-up time to the main window and resident memory, measured on a virtual X display.
#   bash bench/startup.sh [runs]
# Time runs from launch until the window "Corvalo(Xmas)" is mapped; memory is VmRSS one second
# later. The "eager web engine" rows preload Qt WebEngine's libraries, which is what linking the
# store window into the program would make the loader do at every start.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
program=build/src/corvalo
[ -x "$program" ] || { echo "build first: bash tools/setup.sh" >&2; exit 1; }

# A display number of its own, reported by Xvfb once it accepts connections.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$displayfile")

webengine=$(ldconfig -p | awk '/libQt6WebEngine(Core|Widgets)\.so\.6 /{print $NF}' | sort | tr '\n' ':')

measure() { # label, extra environment...
    local label=$1
    shift
    local times=() rss=()
    for _ in $(seq "$runs"); do
        local start end pid
        start=$(date +%s%N)
        env "$@" "$program" >/dev/null 2>/tmp/corvalo-startup.err &
        pid=$!
        for _ in $(seq 6000); do
            xdotool search --onlyvisible --name 'Corvalo\(Xmas\)' >/dev/null 2>&1 && break
            sleep 0.005
        done
        end=$(date +%s%N)
        sleep 1
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "$label: the program ended by itself:" >&2
            tail -3 /tmp/corvalo-startup.err >&2
            wait "$pid" 2>/dev/null || true
            continue
        fi
        times+=($(((end - start) / 1000000)))
        rss+=($(awk '/VmRSS/{print $2}' "/proc/$pid/status"))
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    done
    local t m
    t=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
    m=$(printf '%s\n' "${rss[@]}" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
    printf '%-28s median start-up %5d ms   median RSS %6d KiB   (%d runs)\n' "$label" "$t" "$m" "$runs"
}

measure "as built"
measure "eager web engine" LD_PRELOAD="${webengine%:}"
