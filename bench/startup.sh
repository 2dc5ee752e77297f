#!/usr/bin/env bash
# Start-up of Corvalo beside the floor, a bare Qt window with a line edit and 25 push buttons
# (bench/floor.cpp), on a virtual X display, interleaved: floor, Corvalo, floor, Corvalo...
#   bash bench/startup.sh [runs] [--variants] [--compare PROGRAM]
# For each: the time from launch until its first window is mapped and until its main window is
# mapped (the floor has one window), resident memory half a second after the main window maps,
# the shared libraries loaded when the first window maps, and the processor time used until the
# main window maps (steadier than the times on a busy machine); medians of the runs (9 unless
# given), and Corvalo's figures as ratios of the floor's from the same run. Times come from the
# X server's map events (bench/startup_probe.cpp). --variants adds rows to the same run: the floor
# with GStreamer preloaded (what linking the media stack into the program would cost), Corvalo
# with Qt WebEngine preloaded (what linking the store window into the program would cost), and
# Corvalo with no icon themes to search (what the style's first look-up of a themed icon costs).
# --compare adds another build of Corvalo (say, a copy of build/src/corvalo from before a change).
set -euo pipefail
runs=9
variants=false
compare=
while [ $# -gt 0 ]; do
    case $1 in
    --variants) variants=true ;;
    --compare) compare=$(realpath "${2:?--compare needs a program}"); shift ;;
    *[!0-9]* | '') echo "usage: bash bench/startup.sh [runs] [--variants] [--compare PROGRAM]" >&2; exit 2 ;;
    *) runs=$1 ;;
    esac
    shift
done
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || { echo "configure first: bash tools/setup.sh" >&2; exit 1; }
cmake --build build --target corvalo startup_floor startup_probe >/dev/null
probe=build/bench/startup_probe

source tools/virtual-display.sh
privateSession
scratch=$work
# No reset when the last client leaves, so a run never meets the server mid-reset.
startDisplay 1024x768 -noreset

preloaded() { ldconfig -p | awk -v re="$1" '$1 ~ re {print $NF}' | sort -u | paste -sd: -; }

labels=("floor" "Corvalo")
commands=("Floor build/bench/startup_floor" "Corvalo(Xmas) build/src/corvalo")
environments=("" "")
if $variants; then
    mkdir "$scratch/empty"
    labels+=("floor + GStreamer" "Corvalo + Qt WebEngine" "Corvalo, no icon themes")
    commands+=("${commands[0]}" "${commands[1]}" "${commands[1]}")
    environments+=("LD_PRELOAD=$(preloaded '^libgstreamer-1\.0\.so\.0$')"
        "LD_PRELOAD=$(preloaded '^libQt6WebEngine(Core|Widgets)\.so\.6$')"
        "XDG_DATA_DIRS=$scratch/empty")
fi
if [ -n "$compare" ]; then
    labels+=("$compare")
    commands+=("Corvalo(Xmas) $compare")
    environments+=("")
fi

for run in $(seq "$runs"); do
    for i in "${!labels[@]}"; do
        read -r title program <<<"${commands[$i]}"
        read -ra variables <<<"${environments[$i]}"
        if ! env "${variables[@]}" "$probe" "$title" "$program" >>"$scratch/$i" 2>"$scratch/err"; then
            echo "${labels[$i]}, run $run:" >&2
            tail -3 "$scratch/err" >&2
            exit 1
        fi
    done
done

median() { # column of a results file
    awk -v c="$1" '{print $c}' "$2" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'
}
for i in "${!labels[@]}"; do
    paste -d' ' <(median 1 "$scratch/$i") <(median 2 "$scratch/$i") <(median 3 "$scratch/$i") \
        <(median 4 "$scratch/$i") <(median 5 "$scratch/$i")
done | awk -v labels="$(printf '%s\n' "${labels[@]}")" '
    BEGIN {
        split(labels, label, "\n")
        printf "%-28s %12s %12s %12s %10s %12s\n", "", "first window", "main window", "RSS",
            "libraries", "CPU to main"
    }
    {
        printf "%-28s %9.1f ms %9.1f ms %8.1f MiB %10d %9.1f ms\n", label[NR], $1 / 1000, $2 / 1000,
            $3 / 1024, $4, $5 / 1000
        if (NR == 1)
            split($0, floor, " ")
        else
            printf "%-28s %11.2fx %11.2fx %11.2fx %9.2fx %11.2fx\n", "  ratio to the floor",
                $1 / floor[1], $2 / floor[2], $3 / floor[3], $4 / floor[4], $5 / floor[5]
    }'
echo "medians of $runs interleaved runs"
