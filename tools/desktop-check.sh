#!/usr/bin/env bash
# Runs the real program on one of the desktops below and checks what a new user there would see.
# Usage: tools/desktop-check.sh PROGRAM ROW
#
#   row         server  screen     scale  manager  what is checked
#   designed    x11     1024x768   1      openbox  the splash at its designed place
#   small       x11     1280x720   1      openbox  every window shown wholly on the screen
#   scaled-150  x11     1920x1080  1.5    none     the same at 150 %
#   scaled-200  x11     2560x1440  2      openbox  the same at 200 %
#   wayland     weston  1280x720   1      -        no X server for Corvalo: it runs on Wayland, typed
#                                                  keys reach the display, the splash shows and
#                                                  closes on a click, and every window opens
#
# The Wayland row runs weston in a virtual X display (its X11 back end), which gives it a
# keyboard and a mouse to drive; Corvalo itself sees no X display, only weston's socket.
set -euo pipefail
program=$(realpath "$1")
row=$2
case $row in
designed) server=x11 screen=1024x768 scale=1 manager=openbox ;;
small) server=x11 screen=1280x720 scale=1 manager=openbox ;;
scaled-150) server=x11 screen=1920x1080 scale=1.5 manager=none ;;
scaled-200) server=x11 screen=2560x1440 scale=2 manager=openbox ;;
wayland) server=weston screen=1280x720 scale=1 manager=none ;;
*) echo "no row $row" >&2; exit 2 ;;
esac
width=${screen%x*} height=${screen#*x}
tools=$(cd "$(dirname "$0")" && pwd)

source "$tools/virtual-display.sh"
# On Wayland the windows are opened and read over AT-SPI, on a D-Bus session of the run's own.
[ "$server" != weston ] || ownDbusSession "$0" "$program" "$row"
privateSession
unset QT_QPA_PLATFORM

fail() {
    echo "FAIL ($row): $*" >&2
    [ -s "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}
startDisplay "$screen" || fail "no virtual display"
[ "$manager" != openbox ] || startOpenbox || fail "openbox did not start"

# A window's frame on the screen, window manager's border and title included: x y width height.
frameOf() {
    local id=$1 x y w h l=0 r=0 t=0 b=0
    eval "$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {print "x=" $4}
        /Absolute upper-left Y/ {print "y=" $4} /Width:/ {print "w=" $2} /Height:/ {print "h=" $2}')"
    local extents
    extents=$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ' ')
    [ -n "$extents" ] && IFS=, read -r l r t b <<<"$extents"
    echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

checkPlacement() {
    QT_SCALE_FACTOR=$scale "$program" >"$work/program.log" 2>&1 &
    pids+=($!)
    local main="" splash=""
    main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Corvalo\(Xmas\)$' | head -1) || true
    # The splash has no title: it is the other window of Corvalo's on the screen.
    otherShown() { splash=$(xdotool search --onlyvisible --class corvalo | grep -vx "$main" | head -1); }
    waitFor 30 otherShown || true
    [ -n "$main" ] && [ -n "$splash" ] || fail "the main window and the splash did not both show"
    # The frame's extents come once the window manager has framed the window.
    [ "$manager" = none ] || waitFor 10 sh -c "xprop -id $main _NET_FRAME_EXTENTS | grep -q ="
    local id x y w h
    for id in $main $splash; do
        read -r x y w h < <(frameOf "$id")
        ((x >= 0 && y >= 0 && x + w <= width && y + h <= height)) ||
            fail "window $id at ${w}x$h+$x+$y sticks out of the ${screen} screen"
    done
    # What the window manager is told: the splash is an ordinary window, kept above none and out
    # of the task bar, under the main window shown after it; the main window cannot grow, so no
    # desktop offers to maximise it.
    local hints
    hints=$(xprop -id "$splash" WM_TRANSIENT_FOR _NET_WM_WINDOW_TYPE _NET_WM_STATE)
    grep -q "WM_TRANSIENT_FOR:  not found" <<<"$hints" && grep -q SKIP_TASKBAR <<<"$hints" &&
        ! grep -qE "TYPE_(UTILITY|SPLASH|DIALOG)" <<<"$hints" || fail "the splash's hints: $hints"
    hints=$(xprop -id "$main" WM_NORMAL_HINTS)
    [ "$(sed -n 's/.*minimum size: //p' <<<"$hints")" = "$(sed -n 's/.*maximum size: //p' <<<"$hints")" ] ||
        fail "the main window can grow: $hints"
    [ "$manager" = none ] || xprop -root _NET_CLIENT_LIST_STACKING | grep -qi "$(printf '0x%x.*0x%x' "$splash" "$main")" ||
        fail "the splash is not under the main window: $(xprop -root _NET_CLIENT_LIST_STACKING)"
    read -r x y w h < <(frameOf "$splash")
    # Designed at 259, 449 (logical pixels); moved, if at all, only up to the screen's bottom.
    local designedX designedY
    designedX=$(awk -v s="$scale" 'BEGIN { printf "%d", 259 * s + 0.5 }')
    designedY=$(awk -v s="$scale" 'BEGIN { printf "%d", 449 * s + 0.5 }')
    if ((designedY + h <= height)); then
        ((x == designedX && y == designedY)) || fail "the splash is at $x,$y, not its place $designedX,$designedY"
    else
        # Just enough: less than one logical pixel left below it.
        local gap=$((height - y - h))
        ((x == designedX && gap >= 0)) && awk -v g="$gap" -v s="$scale" 'BEGIN { exit !(g < s) }' ||
            fail "the splash is at $x,$y; it should have moved up just enough, to $designedX,$((height - h))"
    fi
    echo "PASS ($row): main window and splash wholly on the $screen screen at $scale, splash at $x,$y"
}

# A picture of the screen; the box around the pixels of one colour in it (WxH+X+Y), how many
# there are, and the colour of one pixel.
shoot() { import -window root "$work/shot.png" 2>/dev/null; }
boxOfColour() {
    convert "$work/shot.png" -alpha off -fill black +opaque "$1" -fill white -opaque "$1" \
        -format '%@' info: 2>/dev/null
}
countOfColour() {
    convert "$work/shot.png" -alpha off -fill black +opaque "$1" -fill white -opaque "$1" \
        -format '%[fx:int(mean*w*h)]' info: 2>/dev/null
}
pixelAt() { convert "$work/shot.png" -format "%[hex:p{$1,$2}]" info: 2>/dev/null; }

# Weston's X11 back end moves its pointer by as much as the X pointer moved, not to where it is:
# a move across the whole screen to its corner pins it at 0,0, and a move to x,y then brings it
# there.
clickAt() {
    xdotool mousemove --sync "$((width - 1))" "$((height - 1))"
    xdotool mousemove --sync 0 0
    xdotool mousemove --sync "$1" "$2" click 1
}

checkWayland() {
    command -v weston >/dev/null || fail "weston is not installed"
    # No on-screen keyboard popping up over the windows when a text box takes the focus, and no
    # panel with launchers to click by mistake.
    printf '[core]\nidle-time=0\n[input-method]\npath=\n[shell]\npanel-position=none\n' \
        >"$work/weston.ini"
    weston --config="$work/weston.ini" --backend=x11-backend.so --socket=corvalo-test \
        --width="$width" --height="$height" >"$work/weston.log" 2>&1 &
    pids+=($!)
    waitFor 30 test -S "$XDG_RUNTIME_DIR/corvalo-test" || fail "weston did not start"
    local compositor
    compositor=$(timeout 30 xdotool search --sync --class weston | head -1)
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null
    env -u DISPLAY WAYLAND_DISPLAY=corvalo-test QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" \
        >"$work/program.log" 2>&1 &
    pids+=($!)
    # The splash's own surface is a strip of this dark blue around its frame: nearly all of it on
    # the screen, with a little more in its starry picture.
    local box=""
    splashShown() { shoot && (($(countOfColour '#000040') > 5000)) && box=$(boxOfColour '#000040'); }
    waitFor 30 splashShown || fail "no splash on the Wayland screen"
    [ "${box%%+*}" = 492x283 ] || fail "the dark blue on the screen spans $box, not the splash's 492x283"
    # The calculator, by its display's red-brown box.
    local displayBox=""
    calculatorShown() {
        shoot && (($(countOfColour '#804040') > 4000)) && displayBox=$(boxOfColour '#804040')
    }
    waitFor 30 calculatorShown || fail "no calculator on the Wayland screen"
    [ "${displayBox%%+*}" = 229x21 ] || fail "the red-brown on the screen spans $displayBox, not the display's field, 229x21"
    grep -q 'qt.qpa.xcb' "$work/program.log" && fail "Corvalo tried X11 with no X server given"

    # Where the compositor puts the focus at start is its own choice: a click on the display
    # gives the calculator the keyboard, as a user would.
    local display=${displayBox#*+}
    xdotool windowfocus --sync "$compositor"
    clickAt "$((${display%+*} + 20))" "$((${display#*+} + 10))"
    xdotool type --delay 30 123
    xdotool key ctrl+c
    clipboardIs123() { [ "$(WAYLAND_DISPLAY=corvalo-test timeout 5 wl-paste -n)" = 123 ]; }
    waitFor 10 clipboardIs123 ||
        fail "typed 123, the display holds '$(WAYLAND_DISPLAY=corvalo-test timeout 5 wl-paste -n 2>&1)'"

    # A click on the card's own surface, in a corner of its strip the other windows leave free,
    # closes it.
    local origin=${box#*+} corner="" point
    local x=${origin%+*} y=${origin#*+}
    shoot
    for point in "$((x + 3)) $((y + 3))" "$((x + 488)) $((y + 3))" "$((x + 3)) $((y + 279))" \
        "$((x + 488)) $((y + 279))"; do
        [ "$(pixelAt ${point% *} ${point#* })" = 000040 ] && { corner=$point; break; }
    done
    [ -n "$corner" ] || fail "every corner of the splash at $x,$y is covered"
    clickAt ${corner% *} ${corner#* }
    splashGone() { shoot && (($(countOfColour '#000040') < 5000)); }
    waitFor 10 splashGone || fail "the splash at $x,$y did not close on a click at $corner"

    # Every other window opens too, from the "?" key and the menu bar.
    /usr/bin/python3 "$tools/atspi-tree.py" --splash-closed >"$work/atspi.log" 2>&1 ||
        fail "the windows over AT-SPI: $(grep FAIL "$work/atspi.log")"
    echo "PASS ($row): on Wayland Corvalo took typed keys, its splash closed on a click, and all" \
        "its windows opened"
}

if [ "$server" = weston ]; then checkWayland; else checkPlacement; fi
