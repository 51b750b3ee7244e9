#!/usr/bin/env bash
# The Windows packages, made and tried here (not part of CI nor of scripts/test.sh: the Qt build
# behind them takes about 45 minutes once per machine).
#
# 1. scripts/windows-qt.sh: Qt for MinGW-w64 (built once, then cached), Sorvanel.exe and all
#    tests cross-built against it (preset windows-gui, folder build-win-gui), every test
#    program under wine.
# 2. cpack: a portable ZIP and an NSIS installer in build-win-gui/package. The ZIP must hold
#    exactly what the install target installs, and every DLL that one of its programs or
#    plugins imports must be in it or be one of Windows' own.
# 3. In a fresh wine prefix on an X display of its own (Xvfb with openbox): the installer runs
#    silently; the Start-menu entry starts the installed Sorvanel.exe, which shows the language
#    chooser (screenshot), then cleans a folder through the window, driven by keys as a person
#    would (screenshots), with the same bytes as the native tool; the installed
#    sorvanel-cli.exe cleans as the native tool does; the uninstaller removes the program
#    folder, the Start-menu entries and its registry entries.
#
# Usage: scripts/windows-package.sh [NATIVE_CLI]   (default build/src/cli/sorvanel-cli)
#   SORVANEL_DISPLAY    X display number (default 88)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=$(realpath "${1:-build/src/cli/sorvanel-cli}")
[ -x "$native" ] || { echo "No native tool at $native (build it first)" >&2; exit 1; }

needed=(nsis qt6-translations-l10n unzip)
missing=()
for package in "${needed[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' \
        || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "== Installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

scripts/windows-qt.sh
build=$root/build-win-gui
grep -q '100% tests passed' "$build/tests.log" \
    || { echo "Not every test passes under wine (see $build/tests.log)" >&2; exit 1; }

echo "== The packages (cpack)"
rm -rf "$build/package"
(cd "$build" && cpack >/dev/null)
zip=$build/package/Sorvanel-1.0.0-win64.zip
installer=$build/package/Sorvanel-1.0.0-win64.exe
ls -l "$zip" "$installer" | awk '{print $5, $9}'

work=$(mktemp -d)
display=:${SORVANEL_DISPLAY:-88}
pids=()
cleanup() {
    WINEPREFIX=$work/wine wineserver -k >/dev/null 2>&1 || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

echo "== The ZIP holds what the install target installs"
unzip -q "$zip" -d "$work/zip"
packaged=$work/zip/Sorvanel-1.0.0-win64
DESTDIR="$work/install" cmake --install "$build" --prefix /Sorvanel >/dev/null
list() { (cd "$1" && find . ! -type d | LC_ALL=C sort); }
if ! diff <(list "$work/install/Sorvanel") <(list "$packaged"); then
    echo "The ZIP does not hold what the install target installs" >&2
    exit 1
fi
list "$packaged" | sed 's/^\.\//  /'

export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset WINEPATH
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 || true
wineboot -i >/dev/null 2>&1

echo "== Every DLL the packaged files import is packaged or Windows' own"
system32=$WINEPREFIX/drive_c/windows/system32
unresolved=0
while read -r file; do
    while read -r dll; do
        # api-ms-win-* and ext-ms-* name sets of Windows' own functions, not files.
        case ${dll,,} in api-ms-win-* | ext-ms-*) continue ;; esac
        if [ -z "$(find "$packaged" -maxdepth 1 -iname "$dll")" ] \
            && [ -z "$(find "$system32" -maxdepth 1 -iname "$dll")" ]; then
            echo "$file imports $dll, which is neither packaged nor a system DLL" >&2
            unresolved=1
        fi
    done < <(x86_64-w64-mingw32-objdump -p "$packaged/$file" | sed -n 's/^\s*DLL Name: //p')
done < <(cd "$packaged" && find . -iname '*.exe' -o -iname '*.dll')
[ "$unresolved" -eq 0 ]

echo "== Silent install in a fresh wine prefix"
wine "$installer" /S
program_dir="$WINEPREFIX/drive_c/Program Files/Sorvanel"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Sorvanel"
diff <(list "$work/install/Sorvanel") <(list "$program_dir" | grep -vx './Uninstall.exe')
ls "$start_menu"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sorvanel Setup'
wine reg query "$uninstall_key" >/dev/null 2>&1

# The songs both tools clean, and the options the window finds stored (the clean options
# dialog opens with them; Enter confirms).
for side in native window cli; do
    mkdir -p "$work/$side/songs"
    cp tests/data/*.mid "$work/$side/songs/"
    cp tests/data/format1.mid "$work/$side/songs/Grüße.mid"
done
options=(DeleteSysExEvents=1 DeleteAllControlEvents=1 ExceptControlEvents=0)
arguments=(clean)
for option in "${options[@]}"; do arguments+=(--option "$option"); done
arguments+=(songs)
native_status=0
(cd "$work/native" && "$native" "${arguments[@]}" >../native.out 2>/dev/null) || native_status=$?
ln -s "$work/window/songs" "$WINEPREFIX/drive_c/songs"
settings='HKCU\Software\Tarnwick\Sorvanel\Settings'
wine reg add "$settings" /v Folder /t REG_SZ /d 'C:\songs' /f >/dev/null
for option in "${options[@]}"; do
    wine reg add "$settings" /v "${option%=*}" /t REG_DWORD /d "${option#*=}" /f >/dev/null
done

echo "== The installed Sorvanel.exe, started from the Start menu, on display $display"
shots=$build/screenshots
mkdir -p "$shots"
export DISPLAY=$display
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 2
openbox >/dev/null 2>&1 &
pids+=($!)
window_up() {
    for _ in $(seq 60); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
        sleep 1
    done
    echo "No window \"$1\" within a minute" >&2
    return 1
}
shot() {
    sleep 2
    import -window root "$shots/$1.png"
    echo "screenshot: $shots/$1.png"
}
wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Sorvanel\Sorvanel.lnk'
window_up 'Choose Language'
shot package-language-chooser
# English; the main window follows.
xdotool key Down
sleep 1
xdotool key Return
window_up 'Sorvanel'
# Ctrl+O: the folder chooser opens on the stored folder, Enter takes it.
xdotool key ctrl+o
window_up 'Select Folder'
xdotool key Return
sleep 3
shot package-main-window
# From the file list: Tab to "Select All" and press it (the list takes the focus back), two
# Tabs to "Clean" and press it; Enter confirms the options, Enter closes the log.
xdotool key Tab space
sleep 1
xdotool key Tab Tab space
window_up 'Clean'
xdotool key Return
window_up 'Protokoll'
shot package-log
xdotool key Return
sleep 1
xdotool key Escape
for _ in $(seq 30); do
    xdotool search --name 'Sorvanel' >/dev/null 2>&1 || break
    sleep 1
done
if diff -r "$work/native/songs" "$work/window/songs" >/dev/null; then
    echo "The window cleaned $(ls "$work/window/songs" | wc -l) files as the native tool does"
else
    diff -r "$work/native/songs" "$work/window/songs" || true
    echo "The window's result differs from the native tool's" >&2
    exit 1
fi

echo "== The installed sorvanel-cli.exe"
cli_status=0
(cd "$work/cli" && wine "$program_dir/sorvanel-cli.exe" "${arguments[@]}" >../cli.out 2>/dev/null) \
    || cli_status=$?
[ "$native_status" = "$cli_status" ] \
    || { echo "Exit status $cli_status, the native tool's $native_status" >&2; exit 1; }
cmp "$work/native.out" "$work/cli.out"
diff -r "$work/native/songs" "$work/cli/songs"
echo "sorvanel-cli.exe printed and wrote the native tool's bytes"

echo "== The uninstaller"
wine "$program_dir/Uninstall.exe" /S
for _ in $(seq 30); do
    [ -e "$program_dir" ] || break
    sleep 1
done
leftovers=0
for gone in "$program_dir" "$start_menu"; do
    if [ -e "$gone" ]; then
        echo "Left behind: $gone" >&2
        leftovers=1
    fi
done
for key in "$uninstall_key" 'HKLM\Software\Tarnwick\Sorvanel Setup'; do
    if wine reg query "$key" >/dev/null 2>&1; then
        echo "Left behind: $key" >&2
        leftovers=1
    fi
done
[ "$leftovers" -eq 0 ]
# The user's own settings stay, as on Linux.
wine reg query "$settings" /v Language >/dev/null 2>&1
echo "== The packages install, run and uninstall under wine"
