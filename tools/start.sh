#!/usr/bin/env bash
# Sets up, builds and starts Corvalo. Without a display it runs Corvalo on a virtual X display,
# saves a screenshot, and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what it runs: the program, its media plugin and the store program; tools/check.sh builds
# the tests and benchmarks.
bash tools/setup.sh corvalo corvalo_media corvalo-store

# What the run leaves behind is taken away however it ends.
xvfb="" ownRuntime="" displayfile=""
leave() {
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$ownRuntime" "$displayfile"
}
trap leave EXIT
# A plain terminal (root's, say) may have no runtime folder: Corvalo then gets a private one for
# the run, rather than Qt warning and making one of its own under /tmp.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    ownRuntime=$(mktemp -d)
    export XDG_RUNTIME_DIR=$ownRuntime
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    build/src/corvalo
    exit
fi

shot="$PWD/corvalo-screenshot.png"
echo "No display found: starting Corvalo on a virtual X display (Xvfb)."
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
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
