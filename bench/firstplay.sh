#!/usr/bin/env bash
# The first Play of a WAV and of a MIDI file (20 s each) through the media plugin, on a virtual X
# display beside the calculator's main window (bench/firstplay.cpp), interleaved runs:
#   bash bench/firstplay.sh [runs] [--compare BUILD] [--kinds "wav mid mp3"]
# For each plugin and kind: the medians of the resident size before the plugin is loaded, its
# growth until 5 s after Play, the time from load()+play() until the position moves, and the
# number of libraries Play mapped; then, from the last run, the graphics libraries among them and
# what grew most. --compare adds another build tree's probe and plugin (say, one of the code
# before a change), run in turn with this build's. GStreamer's registry is the one beside the
# plugin; GST_REGISTRY=/proc/self/none/registry.bin measures a start without one.
set -euo pipefail
runs=5
compare=
kinds="wav mid"
while [ $# -gt 0 ]; do
    case $1 in
    --compare) compare=$(realpath "${2:?--compare needs a build folder}"); shift ;;
    --kinds) kinds=${2:?--kinds needs a list}; shift ;;
    *[!0-9]* | '') echo "usage: bash bench/firstplay.sh [runs] [--compare BUILD] [--kinds LIST]" >&2; exit 2 ;;
    *) runs=$1 ;;
    esac
    shift
done
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || { echo "configure first: bash tools/setup.sh" >&2; exit 1; }
cmake --build build --target firstplay corvalo_media >/dev/null
builds=("$PWD/build")
[ -n "$compare" ] && builds+=("$compare")
plugins=("${builds[@]/%//src/libcorvalo_media.so}")

source tools/virtual-display.sh
privateSession
scratch=$work
# No reset when the last client leaves, so a run never meets the server mid-reset.
startDisplay 1024x768 -noreset

for run in $(seq "$runs"); do
    for kind in $kinds; do
        for i in "${!plugins[@]}"; do
            if ! "${builds[$i]}/bench/firstplay" "${plugins[$i]}" "$kind" 5 >"$scratch/last-$i-$kind" \
                2>"$scratch/err"; then
                echo "${plugins[$i]} $kind, run $run:" >&2
                tail -3 "$scratch/err" >&2
                exit 1
            fi
            head -1 "$scratch/last-$i-$kind" >>"$scratch/$i-$kind"
        done
    done
done

median() { # column of a results file
    awk -v c="$1" '{print $c}' "$2" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'
}
printf "%-5s %-44s %10s %10s %12s %9s\n" "" "plugin" "RSS before" "growth" "to moving" "libraries"
for kind in $kinds; do
    for i in "${!plugins[@]}"; do
        results=$scratch/$i-$kind
        paste -d' ' <(median 1 "$results") <(awk '{print $2 - $1}' "$results" | sort -n |
            awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}') <(median 3 "$results") \
            <(median 4 "$results") |
            awk -v kind="$kind" -v plugin="${builds[$i]}" '{
                printf "%-5s %-44s %6.1f MiB %6.1f MiB %9.1f ms %9d\n", kind, plugin,
                    $1 / 1024, $2 / 1024, $3, $4 }'
    done
done
echo "medians of $runs interleaved runs"
for kind in $kinds; do
    for i in "${!plugins[@]}"; do
        last=$scratch/last-$i-$kind
        echo
        echo "$kind, ${plugins[$i]}, last run: graphics libraries mapped by Play:"
        grep -E 'vulkan|LLVM|libz3|libgstgl|gstopengl|libEGL|libGL|libdrm|libgbm|libva|vdpau|OpenCL' \
            "$last" | sed 's/^ */  /' || echo "  none"
        echo "  most growth (KiB):"
        sed -n '2,9s/^ */    /p' "$last"
    done
done
