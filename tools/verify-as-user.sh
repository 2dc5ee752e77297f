#!/usr/bin/env bash
# Run by tools/verify-package.sh as a normal user with a home and runtime folder of their own, on
# the virtual display DISPLAY with openbox, inside a D-Bus session of its own: the installed Corvalo
# plays a WAV, an MP3 and a MIDI file, answers playerctl, opens, closes, loses (kill -9) and reopens
# the store window, and is left with File > Exit while the store is open. Then neither the home
# nor XDG_RUNTIME_DIR may hold anything new. Prints "FAIL: ..." for each fault; exits 1 on any.
set -uo pipefail
fail=0
bad() { echo "FAIL: $*"; fail=1; }
waitFor() { # seconds command...
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do ((SECONDS < deadline)) || return 1; sleep 0.1; done
}
snapshot() { find "$HOME" "$XDG_RUNTIME_DIR" -mindepth 1 -not -path "$XDG_RUNTIME_DIR/bus*" | sort; }
before=$(snapshot)

corvalo >"$XDG_RUNTIME_DIR/../corvalo-user.log" 2>&1 &
app=$!
main=$(timeout 60 xdotool search --sync --onlyvisible --all --pid "$app" --name '^Corvalo\(Xmas\)$' | head -1)
[ -n "$main" ] || { echo "FAIL: the main window did not show"; exit 1; }

play() { # file: through the music manager, from its menu entry
    local music= try
    for try in 1 2 3 4 5; do # the first keys may come before the menu bar takes them
        xdotool windowactivate --sync "$main" key F10 Right Right Return
        music=$(timeout 4 xdotool search --sync --onlyvisible --all --pid "$app" \
            --name '^Music selection$' | head -1)
        [ -n "$music" ] && break
        xdotool key Escape Escape
    done
    [ -n "$music" ] || { bad "$1: the music manager did not open"; return 1; }
    xdotool mousemove --window "$music" 140 53 click 1 key ctrl+a
    xdotool type --delay 10 "$1"
    xdotool mousemove --window "$music" 156 92 click 1
}
status() { [ "$(playerctl -p corvalo status 2>/dev/null)" = "$1" ]; }
for file in /tmp/tone.mp3 /tmp/long.mid /tmp/tone.wav; do
    play "$file" && waitFor 20 status Playing || bad "$file: playerctl does not see it playing"
done
playerctl -l | grep -qx corvalo || bad "playerctl -l does not list corvalo"
playerctl -p corvalo play-pause; waitFor 5 status Paused || bad "play-pause did not pause"
playerctl -p corvalo play-pause; waitFor 5 status Playing || bad "play-pause did not resume"
title=$(playerctl -p corvalo metadata xesam:title)
[ "$title" = tone.wav ] || bad "metadata title is '$title'"
echo "playerctl: listed, paused and resumed; title '$title'"
playerctl -p corvalo stop; waitFor 5 status Stopped || bad "stop did not stop"

storeProgram() { pgrep -u "$(id -u)" -x corvalo-store; }
noStoreProgram() { ! storeProgram; }
storeWindow() {
    waitFor 30 storeProgram || return 1
    timeout 90 xdotool search --sync --onlyvisible --all --pid "$(storeProgram)" \
        --name '^Snowdrift Gift Store$' | head -1
}
splash=$(for w in $(xdotool search --onlyvisible --all --pid "$app" --name ''); do
    xdotool getwindowgeometry "$w" | grep -q "Geometry: 492x283" && echo "$w"; done | head -1)
openStore() { xdotool mousemove --window "$splash" 244 28 click 1; storeWindow; }
if [ -n "$splash" ] && store=$(openStore) && [ -n "$store" ]; then
    xdotool windowactivate --sync "$store" key alt+F4
    waitFor 20 noStoreProgram || bad "the store program outlived its window"
    store=$(openStore) && kill -9 "$(storeProgram)"
    waitFor 20 noStoreProgram || bad "the killed store program is still there"
    store=$(openStore) || bad "the store did not open again after a kill"
    echo "store: opened, closed, killed and opened again"
else
    bad "the store did not open from the splash"
fi

xdotool windowactivate --sync "$main" key F10 Return
start=$(date +%s%N)
waitFor 10 sh -c "! kill -0 $app" || bad "the program did not end after Exit"
echo "File > Exit with the store open: ended after $((($(date +%s%N) - start) / 1000000)) ms"
waitFor 20 noStoreProgram || bad "the store program outlived the calculator"

new=$(comm -13 <(echo "$before") <(snapshot))
[ -z "$new" ] && echo "nothing new in the home or XDG_RUNTIME_DIR" ||
    bad "new in the home or XDG_RUNTIME_DIR: $(echo $new)"
exit $fail
