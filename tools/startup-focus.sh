#!/usr/bin/env bash
# Starts the real program on a virtual X display, with the openbox window manager or with none,
# and uses it from the keyboard as a person would, one scenario after the other in one run:
#   focus   the calculator has the keyboard at start: "123" typed at once lands in the display
#           (read back through Ctrl+C, which copies the whole display) and the splash card stays
#   equals  "=" pressed from the keyboard (Tab to it, Space) leaves the focus in the display
#   keypad  on a German layout the numeric keypad's decimal key types ".": 1, that key, 5 is 1.5
#   menu    after Alt, Right moves the highlight drawn on the screen from "File" onto "About",
#           and Return opens the About box
#   f10     F10 opens File with "Exit" chosen: Return ends the program
#   atspi   the accessibility tree as a screen reader reads it (tools/atspi-tree.py); the program
#           then runs with accessibility on, under a D-Bus session of its own
# Usage: tools/startup-focus.sh PROGRAM openbox|none [SCENARIO...]   (default: all but atspi)
set -euo pipefail
program=$1
manager=${2:-openbox}
shift $(($# < 2 ? $# : 2))
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(focus equals keypad menu f10)
tools=$(cd "$(dirname "$0")" && pwd)

source "$tools/virtual-display.sh"
[[ " ${scenarios[*]} " != *" atspi "* ]] || ownDbusSession "$0" "$program" "$manager" "${scenarios[@]}"
privateSession
export QT_QPA_PLATFORM=xcb

fail() {
    echo "FAIL ($manager, $scenario): $*" >&2
    exit 1
}
# The display's text, through Ctrl+C, must come to read $1.
clipboardIs() { [ "$(xclip -o -selection clipboard 2>/dev/null)" = "$1" ]; }
expectDisplay() {
    xdotool key ctrl+c
    waitFor 10 clipboardIs "$1" ||
        fail "the display holds '$(xclip -o -selection clipboard 2>&1)', not $1"
}
visibleWindows() { xdotool search --onlyvisible --class corvalo | wc -l; }
# Prints the x-range ("first last") of the menu bar's pixels that differ from $work/bar.ppm, the
# menu bar as it was with nothing chosen; a filled highlight changes most of its item's pixels.
changedRange() {
    import -window root -crop "${barWidth}x${barHeight}+${barX}+${barY}" +repage -depth 8 "$work/now.ppm"
    /usr/bin/python3 - "$work/bar.ppm" "$work/now.ppm" "$barHeight" <<'EOF'
import sys
def pixels(path):
    data = open(path, "rb").read()
    fields = data.split(maxsplit=4)  # P6, width, height, maximum, pixels
    return int(fields[1]), fields[4]
width, before = pixels(sys.argv[1])
_, after = pixels(sys.argv[2])
columns = [x for x in range(width)
           if sum(before[3 * (y * width + x):3 * (y * width + x) + 3] !=
                  after[3 * (y * width + x):3 * (y * width + x) + 3]
                  for y in range(int(sys.argv[3]))) > int(sys.argv[3]) // 2]
print(f"{columns[0]} {columns[-1]}" if len(columns) > 8 else "none")
EOF
}
# Waits for the highlighted range to move from $1, and prints where it is then.
highlightMovedFrom() {
    local deadline=$((SECONDS + 10)) range
    while ((SECONDS < deadline)); do
        range=$(changedRange)
        if [ "$range" != none ] && [ "$range" != "$1" ]; then
            echo "$range"
            return
        fi
        sleep 0.05
    done
    echo none
}

startDisplay 1024x768
[ "$manager" != openbox ] || startOpenbox

if [ -n "${CORVALO_OWN_DBUS:-}" ]; then
    # The accessibility bus first, so the program finds it at start.
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
fi
"$program" >"$work/program.log" 2>&1 &
programPid=$!
pids+=($programPid)
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Corvalo\(Xmas\)$' | head -1)
focusIsMain() { [ "$(xdotool getwindowfocus)" = "$main" ]; }
scenario=start
waitFor 20 focusIsMain ||
    fail "the keyboard focus is on window $(xdotool getwindowfocus), not on the calculator ($main)"

for scenario in "${scenarios[@]}"; do
    case $scenario in
    focus)
        xdotool type --delay 20 123
        expectDisplay 123
        xdotool search --onlyvisible --class corvalo | grep -qvx "$main" || fail "the splash card closed"
        ;;
    equals)
        # Escape is "C". Tab order from the display: / * - + Sqrt % =. Its result 5 is replaced
        # by the number typed next; Ctrl+C copies only from the display.
        xdotool key Escape type 5
        xdotool key --delay 20 Tab Tab Tab Tab Tab Tab Tab space
        xdotool type 9
        expectDisplay 9
        ;;
    keypad)
        setxkbmap -layout de
        xdotool key Num_Lock Escape type 1
        xdotool key 91 # the keypad's decimal key, KP_Separator (",") on this layout with Num Lock
        xdotool type 5
        expectDisplay 1.5
        xdotool key Num_Lock
        setxkbmap -layout us
        ;;
    menu)
        # Where the window's top strip, its menu bar, lies on the screen (xwininfo, as xdotool
        # counts a window manager's frame twice).
        barX=$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {print $NF}')
        barY=$(xwininfo -id "$main" | awk '/Absolute upper-left Y/ {print $NF}')
        barWidth=$(xwininfo -id "$main" | awk '/Width:/ {print $NF}') barHeight=18
        xdotool key Escape
        import -window root -crop "${barWidth}x${barHeight}+${barX}+${barY}" +repage -depth 8 "$work/bar.ppm"
        xdotool key alt
        file=$(highlightMovedFrom none)
        [ "$file" != none ] || fail "after Alt no menu-bar item is drawn highlighted"
        xdotool key Right
        about=$(highlightMovedFrom "$file")
        [ "$about" != none ] && ((${about% *} > ${file#* })) ||
            fail "after Alt, Right the highlight is at '$about', not right of File's ($file)"
        xdotool key Return
        waitFor 10 xdotool search --onlyvisible --name '^About$' || fail "Return did not open About"
        ;;
    f10)
        if ! focusIsMain; then
            xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
        fi
        waitFor 10 focusIsMain || fail "the calculator does not take the keyboard back"
        before=$(visibleWindows)
        xdotool key F10
        waitFor 10 test "$(visibleWindows)" -gt "$before" || fail "F10 opened no menu"
        xdotool key Return
        waitFor 10 sh -c "! kill -0 $programPid" || fail "F10, Return did not end the program"
        ;;
    atspi)
        /usr/bin/python3 "$tools/atspi-tree.py" || fail "see above"
        ;;
    *)
        fail "no such scenario"
        ;;
    esac
    echo "PASS ($manager): $scenario"
done
