#!/usr/bin/env bash
# Sets up, builds and starts Corvalo. Without a display it runs Corvalo on a virtual X display,
# saves a screenshot, and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what it runs: the program, its media plugin and the store program; tools/check.sh builds
# the tests and benchmarks.
bash tools/setup.sh corvalo corvalo_media corvalo-store

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/corvalo
fi

shot="$PWD/corvalo-screenshot.png"
echo "No display found: starting Corvalo on a virtual X display (Xvfb)."
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
[ -s "$displayfile" ] || { echo "The virtual X display did not start." >&2; exit 1; }
export DISPLAY=:$(cat "$displayfile")
build/src/corvalo &
app=$!
if ! timeout 60 xdotool search --sync --onlyvisible --name 'Corvalo\(Xmas\)' >/dev/null; then
    echo "Corvalo's window did not appear within a minute." >&2
    exit 1
fi
sleep 1 # let the first frame paint
import -window root "$shot"
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
echo "Corvalo started; screenshot of the screen saved to $shot"
