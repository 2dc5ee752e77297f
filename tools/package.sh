#!/usr/bin/env bash
# Builds Corvalo's Debian package (running the tests, as Debian builds do), checks it with lintian
# and leaves it in dist/. Installs whatever packaging and building need and this machine lacks.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
apt_install() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@" -y -q --no-install-recommends
}

# The packaging tools are the list's last section; python3 checks debian/control against it.
tools=(python3 build-essential $(sed -n '/^# packaging/,/^$/{/^[a-z0-9]/p}' tools/debian-packages.txt))
missing=()
for package in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
as_root apt-get update -q
[ ${#missing[@]} -eq 0 ] || apt_install install "${missing[@]}"

# Build-Depends follows the one package list (the debian_control test flags a stale field).
python3 tools/debian_control.py --write
apt_install build-dep ./

version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b

# dpkg-buildpackage leaves its results beside the source folder.
mkdir -p dist
changes=../corvalo_${version}_${arch}.changes
for file in $(sed -n '/^Files:/,/^[^ ]/{s/^ .* //p}' "$changes") "$changes"; do
    mv -f "../$(basename "$file")" dist/
done
lintian --info dist/corvalo_${version}_${arch}.changes
echo "Built: $(ls dist/*.deb | tr '\n' ' ')"
