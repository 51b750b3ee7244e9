#!/usr/bin/env bash
# The Windows side: cross-builds the core, sorvanel-cli.exe and the core tests with MinGW-w64
# (preset windows-cli, folder build-win), runs the tests under wine without a display, then
# cleans the same songs with sorvanel-cli.exe under wine and with the native tool and compares
# the folders byte for byte (backups included), the printed log and the exit statuses.
# Usage: scripts/windows-check.sh [NATIVE_CLI]   (default build/src/cli/sorvanel-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=$(realpath "${1:-build/src/cli/sorvanel-cli}")

echo "== Windows cross-build"
cmake --preset windows-cli >/dev/null
cmake --build build-win
exe=$root/build-win/src/cli/sorvanel-cli.exe

echo "== Core tests under wine"
export WINEPREFIX=$root/build-win/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8
mkdir -p "$WINEPREFIX"
# A running wine server first, its output discarded: otherwise every test start waits for it.
wineserver -p >/dev/null 2>&1 || true # (already running: fine)
wineboot -i >/dev/null 2>&1
ctest --preset windows-cli -j2

echo "== sorvanel-cli.exe cleans as the native tool does"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for side in native win; do
    mkdir -p "$work/$side/songs" "$work/$side/named"
    cp tests/data/*.mid "$work/$side/songs/"
    cp tests/data/format1.mid "$work/$side/songs/Grüße.mid"
    cp tests/data/format0.mid "$work/$side/songs/.hidden.mid"
    printf 'MThd\0\0\0\6' >"$work/$side/songs/broken.mid"
    : >"$work/$side/songs/empty.mid"
    cp tests/data/format1.mid "$work/$side/named/Grüße.mid"
    cp tests/data/format0.mid "$work/$side/named/a.mid"
    mkdir "$work/$side/named/a.mid.bak"
done
# Each run: its arguments. The second run meets the first one's backups.
runs=(
    "clean --option DeleteSysExEvents=1 --option DeleteAllControlEvents=1 --option ExceptControlEvents=0 songs"
    "clean --option InsertMidiReset=1 --option EndOfFile=1 songs"
    "clean --option DeleteSysExEvents=1 named/Grüße.mid"
    "clean --option DeleteAllControlEvents=1 --option ExceptControlEvents=0 named/a.mid"
    "check songs/format1.mid songs/broken.mid"
)
failed=0
for run in "${runs[@]}"; do
    read -ra arguments <<<"$run"
    set +e
    (cd "$work/native" && "$native" "${arguments[@]}" >../native.out 2>/dev/null)
    native_status=$?
    (cd "$work/win" && wine "$exe" "${arguments[@]}" >../win.out 2>/dev/null)
    win_status=$?
    set -e
    if [ "$native_status" != "$win_status" ] || ! cmp -s "$work/native.out" "$work/win.out" \
        || ! diff -r "$work/native" "$work/win" --exclude='*.out' >/dev/null; then
        echo "DIFFERS: $run (exit $native_status native, $win_status under wine)"
        diff "$work/native.out" "$work/win.out" || true
        diff -r "$work/native" "$work/win" --exclude='*.out' || true
        failed=1
    else
        echo "same: $run (exit $win_status, $(wc -l <"$work/win.out") lines printed)"
    fi
done
echo "files compared: $(find "$work/win" -type f | wc -l)"
[ "$failed" -eq 0 ] || exit 1
echo "== The Windows tool cleans as the native one (${#runs[@]} runs)"
