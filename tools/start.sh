#!/usr/bin/env bash
# Sets up, builds and starts Corvalo. Without a display it runs Corvalo on a virtual X display,
# saves a screenshot, and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/corvalo
fi

shot="$PWD/corvalo-screenshot.png"
echo "No display found: starting Corvalo on a virtual X display (Xvfb)."
Xvfb :77 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=:77
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
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
