#!/usr/bin/env bash
# Installs whatever tools/debian-packages.txt lists and this machine lacks, then configures and
# builds Corvalo in build/: the targets given (tools/start.sh: the programs and their plugins), or
# everything, tests and benchmarks too. Safe to run again: it only does what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Given targets, only what building and running them needs: no tests, benchmarks or packaging.
only_run=$(($# > 0))
missing=()
section=
while read -r package; do
    case "$package" in
    '#'*) section=$package; continue ;;
    '') continue ;;
    esac
    [[ $only_run = 1 && ($section == "# for the checks"* || $section == "# packaging"*) ]] && continue
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done < tools/debian-packages.txt

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing ${#missing[@]} Debian packages: ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

checks=$([ "$only_run" = 1 ] && echo OFF || echo ON)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALO_BUILD_TESTS=$checks \
    -DCORVALO_BUILD_BENCHMARKS=$checks >/dev/null
cmake --build build -j"$(nproc)" ${1:+--target "$@"}
