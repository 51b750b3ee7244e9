#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs. With --program only what building and
# running the program needs (scripts/run.sh); without it everything for building, testing,
# fuzzing and packaging as well.
# Idempotent: when everything is there already it only checks and returns.
set -euo pipefail

packages=(
    g++ cmake ninja-build
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
    fonts-liberation fonts-dejavu-core
)
if [ "${1:-}" != "--program" ]; then
    packages+=(
        clang libclang-rt-14-dev clang-format git
        libgtest-dev libgmock-dev libbenchmark-dev
        xvfb xauth openbox imagemagick xdotool
        dpkg-dev file lintian desktop-file-utils appstream
        g++-mingw-w64-x86-64-posix wine wine64
    )
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
