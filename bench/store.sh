#!/usr/bin/env bash
# The store window, pressed for on the splash card as a user would, on a virtual X display without
# a window manager: the time from the click until the store window is mapped, and the memory
# (proportional set size) of the program with every process it started, settled before the click,
# with the store open, and after the store window was closed (bench/store_probe.cpp).
#   bash bench/store.sh [runs] [--compare PROGRAM] [--settle MS]
# --compare adds another build of Corvalo (say, a copy of build/src/corvalo and what lies beside
# it from before a change), run interleaved with this one. Each run has a home of its own; what
# it left there is counted. Medians of the runs (5 unless given).
set -euo pipefail
runs=5
settle=3000
compare=
while [ $# -gt 0 ]; do
    case $1 in
    --compare) compare=$(realpath "${2:?--compare needs a program}"); shift ;;
    --settle) settle=${2:?--settle needs milliseconds}; shift ;;
    *[!0-9]* | '') echo "usage: bash bench/store.sh [runs] [--compare PROGRAM] [--settle MS]" >&2; exit 2 ;;
    *) runs=$1 ;;
    esac
    shift
done
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || { echo "configure first: bash tools/setup.sh" >&2; exit 1; }
cmake --build build --target corvalo corvalo-store store_probe >/dev/null
probe=$PWD/build/bench/store_probe

source tools/virtual-display.sh
privateSession
scratch=$work
# No reset when the last client leaves, so a run never meets the server mid-reset.
startDisplay 1280x1024 -noreset
unset QTWEBENGINE_DISABLE_SANDBOX QTWEBENGINE_CHROMIUM_FLAGS

programs=("$PWD/build/src/corvalo")
[ -z "$compare" ] || programs+=("$compare")
for run in $(seq "$runs"); do
    for i in "${!programs[@]}"; do
        home=$scratch/home-$run-$i
        mkdir -p "$home/run" && chmod 700 "$home/run"
        if ! HOME=$home XDG_RUNTIME_DIR=$home/run "$probe" "$settle" "${programs[$i]}" \
            >>"$scratch/$i" 2>"$scratch/err"; then
            echo "${programs[$i]}, run $run:" >&2
            tail -3 "$scratch/err" >&2
            exit 1
        fi
        echo "$(find "$home" -mindepth 1 -not -path "$home/run*" | wc -l)" >>"$scratch/files-$i"
    done
done

median() { # column of a results file
    awk -v c="$1" '{print $c}' "$2" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'
}
printf "%-44s %12s %12s %12s %12s %8s\n" "" "click-shown" "PSS before" "store open" "closed" "files"
for i in "${!programs[@]}"; do
    printf "%-44s %9.0f ms %8.1f MiB %8.1f MiB %8.1f MiB %8d\n" "${programs[$i]}" \
        "$(echo "$(median 1 "$scratch/$i") / 1000" | bc -l)" \
        "$(echo "$(median 2 "$scratch/$i") / 1024" | bc -l)" \
        "$(echo "$(median 3 "$scratch/$i") / 1024" | bc -l)" \
        "$(echo "$(median 4 "$scratch/$i") / 1024" | bc -l)" \
        "$(sort -n "$scratch/files-$i" | tail -1)"
done
echo "medians of $runs interleaved runs, each settled ${settle} ms; files: most left in a run's home"
echo "all runs (click us, PSS KiB before, open, closed):"
for i in "${!programs[@]}"; do echo "${programs[$i]}:"; sed 's/^/  /' "$scratch/$i"; done
