# Sourced by the scripts that try the real program on a virtual X display (startup-focus.sh,
# desktop-check.sh, pictures-display.sh): a private home, a virtual X server, openbox on request,
# and waiting on conditions rather than for fixed times.
#
#   ownDbusSession SCRIPT ARGS...  runs the script again on a D-Bus session of its own, whose
#                                  sockets (and the accessibility bus it starts) lie in folders of
#                                  that run's own, then exits with its status; does nothing inside
#   privateSession                 $work (removed at exit, after "$atExit" if set), HOME, runtime
#                                  and config folders within it; processes added to pids end then
#   startDisplay WxH [OPTION...]   a virtual X server of that size as DISPLAY
#   startOpenbox                   the openbox window manager on it
#   waitFor SECONDS COMMAND...     polls the command until it succeeds
#   settledShot WINDOW FILE        a picture of the window once two in a row are the same
#   benchArgs DEFAULT USAGE ARGS...  for a benchmark that compares build trees: $count, a whole
#                                  number (DEFAULT unless ARGS start with one), and $builds,
#                                  build/ then the other build folders ARGS name

ownDbusSession() {
    [ -z "${CORVALO_OWN_DBUS:-}" ] || return 0
    CORVALO_OWN_DBUS=$(mktemp -d)
    chmod 700 "$CORVALO_OWN_DBUS"
    export CORVALO_OWN_DBUS HOME=$CORVALO_OWN_DBUS XDG_RUNTIME_DIR=$CORVALO_OWN_DBUS
    local status=0
    dbus-run-session -- bash "$@" || status=$?
    rm -rf "$CORVALO_OWN_DBUS"
    exit $status
}

privateSession() {
    work=$(mktemp -d)
    pids=()
    trap 'endSession' EXIT
    export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/home/.config
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY
}

endSession() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    [ -z "${atExit:-}" ] || eval "$atExit"
    rm -rf "$work"
}

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

startDisplay() {
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp "${@:2}" 3>"$work/display" >/dev/null 2>&1 &
    pids+=($!)
    waitFor 30 test -s "$work/display" || return 1
    export DISPLAY=:$(cat "$work/display")
}

startOpenbox() {
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    pids+=($!)
    waitFor 30 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        { cat "$work/openbox.log" >&2; return 1; }
}

settledShot() {
    local before="$work/settling-before.ppm" now="$work/settling-now.ppm"
    rm -f "$before"
    settled() {
        import -window "$1" "$now" 2>/dev/null || return 1
        cmp -s "$now" "$before" && return 0
        mv "$now" "$before"
        return 1
    }
    waitFor 10 settled "$1" && convert "$now" "$2"
}

benchArgs() {
    count=$1
    local usage=$2 build
    shift 2
    if [[ ${1:-} =~ ^[0-9]+$ ]]; then count=$1; shift; fi
    builds=("$PWD/build")
    for build in "$@"; do
        [ -d "$build" ] || { echo "usage: $usage" >&2; exit 2; }
        builds+=("$(realpath "$build")")
    done
}
