#!/usr/bin/env bash
# Run as root inside a brand-new Debian 12 holding this tree with the built package in dist/
# (bash tools/package.sh): installs the package with apt, uses it on a virtual display (the main
# window; the store window from the splash's store button, in the store program, which survives
# nothing it should not; a MIDI file through the music manager; a WAV, an MP3 and a MIDI file each
# in a fresh start, with the memory they add), then purges it and looks for anything left behind.
set -uo pipefail
cd /root/corvalo
deb=$(ls dist/corvalo_*_amd64.deb)
step() { echo; echo "=== $*"; }
fail=0
bad() { echo "FAIL: $*"; fail=1; }

step "apt-get install $deb (no recommends)"
apt-get update -q >/dev/null
before=$(dpkg-query -W | wc -l)
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "./$deb" > /tmp/apt-install.log 2>&1 || { tail -30 /tmp/apt-install.log; exit 1; }
after=$(dpkg-query -W | wc -l)
echo "packages: $before before, $after after ($((after - before)) pulled in)"
grep -E "^Need to get|^After this operation" /tmp/apt-install.log
dpkg -L corvalo | sort > /tmp/corvalo-files.txt
cat /tmp/corvalo-files.txt | grep -v "^/usr/share/doc\|/$" | grep -E "bin/|corvalo/|\.desktop|metainfo|man1|scalable|256x256"
[ -r /var/cache/corvalo/gstreamer-registry.bin ] && ls -l /var/cache/corvalo/gstreamer-registry.bin ||
    bad "the package made no registry of GStreamer's plugins that users may read"

step "ldd: every library found"
for f in /usr/bin/corvalo /usr/lib/x86_64-linux-gnu/corvalo/*.so /usr/lib/x86_64-linux-gnu/corvalo/corvalo-store; do
    ldd "$f" | grep "not found" && bad "$f misses a library"
done
echo "ldd ok"

step "test tools (not dependencies): xvfb xdotool"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends xvfb xdotool > /tmp/apt-tools.log 2>&1 || tail /tmp/apt-tools.log

step "start corvalo on Xvfb"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>/tmp/display >/tmp/xvfb.log 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s /tmp/display ] && break; sleep 0.1; done
export DISPLAY=:$(cat /tmp/display)
export GST_DEBUG=2,fluiddec:6 GST_DEBUG_FILE=/tmp/gst.log GST_DEBUG_NO_COLOR=1
corvalo > /tmp/corvalo.log 2>&1 &
app=$!
if main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Corvalo\(Xmas\)$' | head -1); then
    echo "main window shows: $(xdotool getwindowgeometry "$main" | tr '\n' ' ')"
else
    bad "main window did not show"
fi

step "store window from the splash's store button, in a program of its own"
# The calculator's store program (no procps in a bare Debian); a zombie counts as ended.
storeProgram() {
    for p in /proc/[0-9]*; do
        [ "$(cat "$p/comm" 2>/dev/null)" = corvalo-store ] && grep -q "^PPid:\s*$app$" "$p/status" &&
            basename "$p"
    done
}
alive() { [ -n "$1" ] && [ -e "/proc/$1" ] && ! grep -q '^State:\s*Z' "/proc/$1/status" 2>/dev/null; }
errorBox() { xdotool search --onlyvisible --name '^Error$' 2>/dev/null | head -1; }
# The store window, looked up again after a moment: Qt maps a first window that it builds anew
# once the web view needs OpenGL, and a search that meets it going fails.
storeWindow() {
    local w=""
    for _ in $(seq 300); do
        w=$(xdotool search --onlyvisible --name '^Snowdrift Gift Store$' 2>/dev/null | head -1)
        [ -n "$w" ] && break
        sleep 0.3
    done
    [ -n "$w" ] || return 1
    sleep 1
    xdotool search --onlyvisible --name '^Snowdrift Gift Store$' 2>/dev/null | head -1
}
splash=""
for w in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    xdotool getwindowgeometry "$w" | grep -q "Geometry: 492x283" && splash=$w
done
if [ -n "$splash" ]; then
    # the button: frame at 8,8, button at 112,8 inside it, 249 x 25
    xdotool mousemove --window "$splash" 244 28 click 1
    if store=$(storeWindow); then
        echo "store window shows: $(xdotool getwindowgeometry "$store" | tr '\n' ' ')"
        first=$(storeProgram)
        echo "store program: pid $first, $(readlink "/proc/$first/exe")"
        [ "$(readlink "/proc/$first/exe")" = /usr/lib/x86_64-linux-gnu/corvalo/corvalo-store ] ||
            bad "store program not from the private folder"
        grep -q 'libQt6WebEngine' /proc/$app/maps && bad "the calculator loaded Qt WebEngine"
        kill -9 "$first"
        sleep 2
        alive "$app" || bad "the calculator went with the killed store program"
        [ -n "$(errorBox)" ] && bad "an Error box after the open store window was killed"
        xdotool mousemove --window "$splash" 244 28 click 1
        if store=$(storeWindow); then
            echo "after kill -9 of the store program, the next press shows a new one (pid $(storeProgram))"
        else
            bad "no store window after the store program was killed"
        fi
        xdotool windowmove "$store" 640 0 # off the calculator's menu bar
    else
        bad "store window did not open"
    fi
else
    bad "no splash window found"
fi

step "a MIDI file plays through the music manager"
printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0MTrk\x00\x00\x00\x4f\x00\xc0\x00' > /tmp/tune.mid
for n in 3c 40 43 48 4c 48 43 40; do printf "\x00\x90\x$n\x64\x81\x70\x80\x$n\x00" >> /tmp/tune.mid; done
printf '\x00\xff\x2f\x00' >> /tmp/tune.mid
eval "$(xdotool getwindowgeometry --shell "$main")"
mx=$X my=$Y
music=""
for dx in $(seq 44 6 240); do # past "File", whose menu would drop down
    xdotool mousemove $((mx + dx)) $((my + 10)) click 1
    music=$(xdotool search --onlyvisible --name '^Music selection$' 2>/dev/null | head -1)
    [ -n "$music" ] && break
done
if [ -n "$music" ]; then
    echo "music manager opened from the menu bar (x offset $dx)"
    xdotool mousemove --window "$music" 140 53 click 1
    xdotool type --delay 20 /tmp/tune.mid
    xdotool mousemove --window "$music" 156 92 click 1
    for _ in $(seq 100); do grep -q "loaded soundfont" /tmp/gst.log 2>/dev/null && break; sleep 0.2; done
    grep -o "loaded soundfont.*" /tmp/gst.log | head -3
    grep -o '/usr/lib/[^ ]*fluidsynth[^ ]*\.so' /proc/$app/maps | sort -u
    grep -q "loaded soundfont" /tmp/gst.log || bad "no sound font loaded"
    grep -q '/usr/lib/x86_64-linux-gnu/corvalo/libcorvalo_media.so' /proc/$app/maps ||
        bad "media plugin not from the private folder"
    xdotool search --onlyvisible --name '^Error$' >/dev/null 2>&1 && bad "an Error box opened"
else
    bad "music manager did not open"
fi

step "WAV, MP3 and MIDI from the music manager, each in a program of its own: the strip moves, the memory added"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends gstreamer1.0-tools \
    imagemagick x11-utils > /tmp/apt-gst.log 2>&1 || tail /tmp/apt-gst.log
tone() { gst-launch-1.0 -q audiotestsrc num-buffers=860 ! audioconvert ! "$@"; } # 20 s
tone wavenc ! filesink location=/tmp/tone.wav
tone lamemp3enc ! filesink location=/tmp/tone.mp3
# 64 quarter notes at 120 beats a minute: 32 s of MIDI.
{
    printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0MTrk\x00\x00\x02\x47\x00\xc0\x00'
    for _ in $(seq 8); do
        for n in 3c 40 43 48 4c 48 43 40; do printf "\x00\x90\x$n\x64\x83\x60\x80\x$n\x00"; done
    done
    printf '\x00\xff\x2f\x00'
} >/tmp/long.mid
# The last picture of the player strip along the main window's bottom edge differs from the one
# before: its position moves.
stripShot() {
    local x y h
    x=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $NF}')
    y=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $NF}')
    h=$(xwininfo -id "$1" | awk '/Height:/ {print $NF}')
    import -window root -crop "249x43+$x+$((y + h - 43))" +repage "$2.ppm" 2>/dev/null
}
playFresh() {
    local file=$1 pid play music before after
    corvalo > /tmp/play.log 2>&1 &
    pid=$!
    play=$(timeout 60 xdotool search --sync --onlyvisible --all --pid "$pid" --name '^Corvalo\(Xmas\)$' | head -1)
    xdotool windowfocus --sync "$play"
    xdotool key F10 Right Right Return # Music Manager
    music=$(timeout 20 xdotool search --sync --onlyvisible --all --pid "$pid" --name '^Music selection$' | head -1)
    [ -n "$music" ] || { bad "$file: the music manager did not open"; kill "$pid"; return; }
    xdotool windowfocus --sync "$music"
    xdotool key Tab # from Browse to the file name
    xdotool type --delay 10 "$file"
    sleep 2 # the program at rest before the first Play
    before=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
    xdotool key Tab space # Play
    sleep 5 # as the memory figures are taken: five seconds into the first Play
    after=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
    stripShot "$play" /tmp/strip1
    sleep 1.5
    stripShot "$play" /tmp/strip2
    cmp -s /tmp/strip1.ppm /tmp/strip2.ppm && bad "$file: the player strip does not move"
    [ -n "$(errorBox)" ] && bad "$file: an Error box opened"
    grep -q '/usr/lib/x86_64-linux-gnu/corvalo/libcorvalo_media.so' "/proc/$pid/maps" ||
        bad "$file: media plugin not from the private folder"
    grep -E -o 'lib(vulkan|LLVM|gstgl|gstvulkan)[^ ]*' "/proc/$pid/maps" | sort -u | grep . &&
        bad "$file: a graphics library came with the sound"
    echo "$file plays: RSS $((before / 1024)) MiB before the first Play, +$(((after - before) / 1024)) MiB five seconds into it"
    kill "$pid"
    wait "$pid" 2>/dev/null
}
for file in /tmp/tone.wav /tmp/tone.mp3 /tmp/long.mid; do playFresh "$file"; done

step "the store window closed through its frame (openbox) ends the store program"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends openbox > /tmp/apt-openbox.log 2>&1 || tail /tmp/apt-openbox.log
openbox --sm-disable > /tmp/openbox.log 2>&1 &
wm=$!
for _ in $(seq 100); do xdotool get_num_desktops >/dev/null 2>&1 && break; sleep 0.1; done
store=$(storeWindow)
last=$(storeProgram)
if [ -n "$store" ] && [ -n "$last" ]; then
    xdotool windowactivate --sync "$store" key alt+F4 2>/dev/null
    for _ in $(seq 100); do alive "$last" || break; sleep 0.1; done
    alive "$last" && bad "the store program outlived its window" || echo "store program ended"
    alive "$app" || bad "the calculator ended with the store window"
else
    bad "no store window or program left to close"
fi
xdotool mousemove --window "$splash" 244 28 click 1
storeWindow >/dev/null || bad "store window did not open again"
last=$(storeProgram)

step "kill -9 of the calculator: the store program ends by itself"
kill -9 "$app" 2>/dev/null; wait "$app" 2>/dev/null
for _ in $(seq 100); do alive "$last" || break; sleep 0.1; done
alive "$last" && bad "the store program outlived the calculator" || echo "store program ended"

step "as a normal user: sounds, playerctl and the store leave nothing in the home or XDG_RUNTIME_DIR"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends playerctl dbus-daemon \
    procps > /tmp/apt-user.log 2>&1 || tail /tmp/apt-user.log
useradd -m newcomer
run=/tmp/newcomer-run
install -d -m 700 -o newcomer "$run"
chmod a+r /tmp/tone.wav /tmp/tone.mp3 /tmp/long.mid
cp tools/verify-as-user.sh /tmp/
(cd /tmp && runuser -u newcomer -- env -i PATH=/usr/bin:/bin HOME=/home/newcomer XDG_RUNTIME_DIR=$run \
    DISPLAY="$DISPLAY" LANG=C.UTF-8 dbus-run-session -- bash /tmp/verify-as-user.sh) || fail=1

kill "$wm" "$xvfb" 2>/dev/null

step "corvalo's own output"
grep -v -i "^$" /tmp/corvalo.log | head -20
grep -q "without Chromium's sandbox" /tmp/corvalo.log || bad "as root, the store did not say it runs without the sandbox"

step "apt-get purge corvalo: no file left"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q corvalo > /tmp/apt-purge.log 2>&1 || tail /tmp/apt-purge.log
left=0
while read -r f; do
    if [ -e "$f" ] && [ ! -d "$f" ]; then echo "left: $f"; left=1; fi
    if [ -d "$f" ] && case "$f" in *corvalo*) true ;; *) false ;; esac; then echo "left dir: $f"; left=1; fi
done < /tmp/corvalo-files.txt
find / -xdev \( -path /proc -o -path /root/corvalo -o -path /var/lib/dpkg -o -path /var/cache/apt -o -path /var/log -o -path /tmp \) -prune -o -iname '*corvalo*' -print | grep -v "^/root/corvalo" && left=1
[ $left -eq 0 ] && echo "nothing of corvalo left" || bad "files left after purge"
echo
[ $fail -eq 0 ] && echo "VERIFY: all passed" || echo "VERIFY: some checks failed"
exit $fail
