#!/usr/bin/env bash
# Builds the Debian package from a configured build folder (default: build), checks it with
# lintian, unpacks it into a throw-away root and checks that it holds exactly what the install
# target installs, with the same contents (the executables are compared by name only: the
# package strips them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

cmake --build "$build"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/package/sorvanel_*.deb)
echo "Package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

lintian --fail-on error "$deb" || {
    echo "lintian reports errors" >&2
    exit 1
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/package"
DESTDIR="$scratch/install" cmake --install "$build" --prefix /usr >/dev/null

list() { (cd "$1" && find . ! -type d | LC_ALL=C sort); }
if ! diff <(list "$scratch/install") <(list "$scratch/package"); then
    echo "The package does not hold what the install target installs" >&2
    exit 1
fi
while read -r file; do
    if [ -L "$scratch/install/$file" ]; then
        [ "$(readlink "$scratch/install/$file")" = "$(readlink "$scratch/package/$file")" ]
    elif ! file -b "$scratch/install/$file" | grep -q '^ELF'; then
        cmp "$scratch/install/$file" "$scratch/package/$file"
    fi
done < <(list "$scratch/install")

desktop="$scratch/package/usr/share/applications/org.tarnwick.Sorvanel.desktop"
grep -qx 'Exec=/usr/bin/Sorvanel' "$desktop"
grep -qx 'Path=/usr/share/sorvanel' "$desktop"
desktop-file-validate "$desktop"
appstreamcli validate --no-net \
    "$scratch/package/usr/share/metainfo/org.tarnwick.Sorvanel.metainfo.xml"
[ "$(readlink "$scratch/package/usr/bin/sorvanel")" = Sorvanel ]
[ -f "$scratch/package/usr/share/bash-completion/completions/sorvanel-cli" ]
dpkg-deb --field "$deb" Recommends | grep -q qt6-translations-l10n
echo "The package holds the $(list "$scratch/package" | wc -l) installed files"
