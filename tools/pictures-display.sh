#!/usr/bin/env bash
# The real program on a virtual X display, pictures and captions as people see them. One row each:
#   scale 1.5, 2  the main window's background picture (QT_SCALE_FACTOR) is sharper on screen
#                 than the 100 % picture enlarged to the same size, as the program showed it
#                 before: mean squared gradient of the grey values, printed as the ratio;
#   dark          a dark Plasma scheme (a private kdeglobals, XDG_CURRENT_DESKTOP=KDE) is read
#                 (the keys turn dark) and "OK", "Browse" and "Play" read on their snowflake
#                 faces: enough of each caption (20 pixels) stands out 7:1 from the face's
#                 median colour, which the picture alone never does.
# Usage: tools/pictures-display.sh PROGRAM [openbox|none]
set -euo pipefail
program=$(realpath "$1")
pictures=$(cd "$(dirname "$0")/../assets/pictures" && pwd)
manager=${2:-none}
source "$(dirname "$0")/virtual-display.sh"
privateSession
atExit='[ -z "${KEEP_PICTURES:-}" ] || cp -r "$work" "$KEEP_PICTURES"'
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR XDG_CURRENT_DESKTOP KDE_SESSION_VERSION
# A window that goes while the search looks at it (Qt's short-lived ones) fails that search: again.
window() {
    local found try
    for try in 1 2 3; do
        found=$(timeout 20 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1) &&
            [ -n "$found" ] && echo "$found" && return 0
    done
    return 1
}

startDisplay 2560x1600
[ "$manager" != openbox ] || startOpenbox

mkdir -p "$work/dark/config"
cat >"$work/dark/config/kdeglobals" <<'EOF'
[General]
ColorScheme=BreezeDark
[Colors:Button]
BackgroundNormal=49,54,59
ForegroundNormal=239,240,241
[Colors:Window]
BackgroundNormal=42,46,50
ForegroundNormal=239,240,241
[Colors:View]
BackgroundNormal=27,30,32
ForegroundNormal=239,240,241
[Colors:Selection]
BackgroundNormal=61,174,233
ForegroundNormal=252,252,252
EOF

# Runs the program with the given environment until its main window shows; saves a picture of
# it as $work/NAME-main.png and, with "windows", of the About box and the music manager (opened
# from the menu bar by the keyboard).
run() {
    local name=$1 windows=$2
    shift 2
    env "$@" "$program" >"$work/$name.log" 2>&1 &
    local pid=$!
    local main
    main=$(window '^Corvalo\(Xmas\)$')
    settledShot "$main" "$work/$name-main.png"
    if [ "$windows" = windows ]; then
        local entry shown
        for entry in "About:Right" "Music selection:Right Right"; do
            xdotool windowfocus --sync "$main"
            # F10 opens File with the menu bar following the keyboard.
            xdotool key F10 ${entry#*:} Return
            shown=$(window "^${entry%%:*}\$")
            settledShot "$shown" "$work/$name-${entry%%:*}.png"
        done
    fi
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

run scale1.5 no QT_SCALE_FACTOR=1.5
run scale2 no QT_SCALE_FACTOR=2
run dark windows XDG_CONFIG_HOME="$work/dark/config" XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5

python3 - "$work" "$pictures" <<'EOF'
import subprocess, sys
work, pictures = sys.argv[1:]

def pixels(png, x, y, w, h, resize=None):
    """RGB rows of a crop (of the picture first resized, if asked), through a PPM."""
    args = ["convert", png]
    if resize:
        args += ["-filter", "Triangle", "-resize", "%dx%d!" % resize]
    args += ["-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage"]
    magic, size, _, raw = subprocess.run(args + ["-depth", "8", "ppm:-"], capture_output=True,
                                         check=True).stdout.split(b"\n", 3)
    width, height = map(int, size.split())
    return [[tuple(raw[3 * (r * width + c):3 * (r * width + c) + 3]) for c in range(width)]
            for r in range(height)]

def grey(p):
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]

def energy(rows):
    g = [[grey(p) for p in row] for row in rows]
    total = sum((g[y][x] - g[y][x - 1]) ** 2 + (g[y][x] - g[y - 1][x]) ** 2
                for y in range(1, len(g)) for x in range(1, len(g[0])))
    return total / ((len(g) - 1) * (len(g[0]) - 1))

def luminance(p):
    c = [v / 255 for v in p]
    c = [v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4 for v in c]
    return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]

def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)))
    return (lb + 0.05) / (la + 0.05)

failed = False
# Between the keys' third and fourth columns only the background picture shows: 21 x 145 pixels
# at 100 % from (138, 45) of the client area, below the menu bar. The picture lies at (-16, 0)
# there, stretched to 279 x 201.
for scale in (1.5, 2):
    shot = "%s/scale%g-main.png" % (work, scale)
    height = int(subprocess.run(["identify", "-format", "%h", shot], capture_output=True,
                                text=True, check=True).stdout)
    menu = height - round(243 * scale)
    x, y, w, h = (round(v * scale) for v in (138, 45, 21, 145))
    shown = pixels(shot, x, y + menu, w, h)
    enlarged = pixels(pictures + "/village.jpg", x + round(16 * scale), y, w, h,
                      resize=(round(279 * scale), round(201 * scale)))
    ratio = energy(shown) / energy(enlarged)
    ok = ratio > 1.15
    failed |= not ok
    print("%s  scale %g: the picture on screen is %.2f times as sharp as the 100 %% one enlarged"
          % ("PASS" if ok else "FAIL", scale, ratio))

# A key's face beside its caption ("5" at 840, 1560 twips, under the menu bar): dark when the
# scheme was read.
face = pixels("%s/dark-main.png" % work, 60, 125, 1, 1)[0][0]
ok = luminance(face) < 0.1
failed |= not ok
print("%s  dark: Qt read the scheme (a key's face is %s)" % ("PASS" if ok else "FAIL", face))
for window, caption, rect in (("About", "OK", (277, 168, 84, 23)),
                              ("Music selection", "Browse", (24, 40, 81, 25)),
                              ("Music selection", "Play", (120, 80, 73, 25))):
    x, y, w, h = rect
    rows = pixels("%s/dark-%s.png" % (work, window), x + 3, y + 3, w - 6, h - 6)
    flat = sorted((p for row in rows for p in row), key=luminance)
    median = flat[len(flat) // 2]
    standing = sum(contrast(p, median) >= 7 for p in flat)
    ok = standing >= 20
    failed |= not ok
    print("%s  dark: \"%s\" has %d pixels standing out 7:1 from its face %s"
          % ("PASS" if ok else "FAIL", caption, standing, median))
sys.exit(1 if failed else 0)
EOF
