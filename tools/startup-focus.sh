#!/usr/bin/env bash
# Starts the real program on a virtual X display, with the openbox window manager or with none,
# types "123" as soon as the calculator has the keyboard, and checks that the display holds 123
# (read back through Ctrl+C, which copies the whole display) and that the splash card stayed.
# Usage: tools/startup-focus.sh PROGRAM openbox|none
set -euo pipefail
program=$1
manager=${2:-openbox}

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
# A private home: whatever the program or the toolkit might write lands here.
export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

# Polls a command until it succeeds, for at most $1 seconds.
waitFor() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            echo "timed out waiting for: $*" >&2
            return 1
        fi
        sleep 0.05
    done
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
waitFor 30 test -s "$work/display"
export DISPLAY=:$(cat "$work/display")

if [ "$manager" = openbox ]; then
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    pids+=($!)
    waitFor 30 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        { cat "$work/openbox.log" >&2; exit 1; }
fi

"$program" >"$work/program.log" 2>&1 &
pids+=($!)
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Corvalo\(Xmas\)$' | head -1)
focusIsMain() { [ "$(xdotool getwindowfocus)" = "$main" ]; }
if ! waitFor 20 focusIsMain; then
    echo "FAIL ($manager): the keyboard focus is on window $(xdotool getwindowfocus), not on the calculator ($main)" >&2
    exit 1
fi
xdotool type --delay 20 123
xdotool key ctrl+c
clipboardIs123() { [ "$(xclip -o -selection clipboard)" = 123 ]; }
if ! waitFor 10 clipboardIs123; then
    echo "FAIL ($manager): the display holds '$(xclip -o -selection clipboard 2>&1)', not 123" >&2
    exit 1
fi
if ! xdotool search --onlyvisible --class corvalo | grep -qvx "$main"; then
    echo "FAIL ($manager): the splash card closed" >&2
    exit 1
fi
echo "PASS ($manager): the calculator had the focus at start and shows 123"
