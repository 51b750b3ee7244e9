#!/usr/bin/env bash
# The window program for Windows, built and tried here (not part of CI nor of scripts/test.sh).
#
# 1. Builds Qt for MinGW-w64 once from Debian's qt6-base source package (Core, Gui, Widgets,
#    Network, Test; release, shared) and keeps it under the user's cache folder:
#      ${XDG_CACHE_HOME:-~/.cache}/sorvanel-qt-mingw/<version>/prefix
#    The next run reuses it. The first takes about 45 minutes on two cores.
# 2. Cross-builds Sorvanel.exe and all tests against it (preset windows-gui, folder
#    build-win-gui) and runs the tests under wine without a display (offscreen platform).
# 3. Starts Sorvanel.exe once under wine on its own X display (Xvfb and openbox) with a fresh
#    wine prefix, so that the language chooser shows; takes a screenshot of it, then reads the
#    settings the run left in the registry.
#
# Usage: scripts/windows-qt.sh [--qt-only]
#   SORVANEL_QT_JOBS    parallel compile jobs for Qt (default 2)
#   SORVANEL_DISPLAY    X display number for the screenshot (default 87)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

qt_version=6.4.2
cache=${XDG_CACHE_HOME:-$HOME/.cache}/sorvanel-qt-mingw/$qt_version
prefix=$cache/prefix
jobs=${SORVANEL_QT_JOBS:-2}

# --- What the steps need: Debian's own Qt of the same version for the host tools (moc, rcc,
# uic), the cross compiler, wine, and X for the screenshot.
needed=(dpkg-dev qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix wine wine64
        libgtest-dev xvfb openbox imagemagick xdotool x11-utils qt6-translations-l10n)
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
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
case $host_version in
    "$qt_version"+*) ;;
    *) echo "Debian's qt6-base-dev is $host_version, the cross build needs $qt_version" >&2
       exit 1 ;;
esac

build_qt() {
    local apt_dir=$cache/apt source=$cache/src/qtbase build=$cache/build
    if [ ! -f "$source/CMakeLists.txt" ]; then
        echo "== Fetching Debian's qt6-base source package"
        # A private source list and private list/cache folders: the system's apt setup stays
        # as it is.
        mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$cache/src"
        local mirror
        # Debian 12's default layout has only sources.list.d/*.sources; look in whichever of
        # the three exist, and fall back to the main mirror when none names one.
        local lists=()
        for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
                    /etc/apt/sources.list.d/*.sources; do
            if [ -f "$list" ]; then lists+=("$list"); fi
        done
        mirror=$( { [ ${#lists[@]} -eq 0 ] \
                      || grep -hoE 'https?://[^ ]+/debian/?( |$)' "${lists[@]}" || true; } \
                  | head -n1 | tr -d ' ')
        echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
            "${mirror:-http://deb.debian.org/debian} bookworm main" >"$apt_dir/sources.list"
        local apt=(apt-get -q -o "Dir::Etc::SourceList=$apt_dir/sources.list"
                   -o Dir::Etc::SourceParts=/dev/null -o "Dir::State::Lists=$apt_dir/lists"
                   -o "Dir::Cache=$apt_dir" -o APT::Sandbox::User=root)
        "${apt[@]}" update >/dev/null
        (cd "$cache/src" && "${apt[@]}" source --download-only "qt6-base=$qt_version+dfsg-10" \
            >/dev/null 2>&1 || "${apt[@]}" source --download-only qt6-base >/dev/null)
        rm -rf "$source"
        (cd "$cache/src" && dpkg-source -x qt6-base_"$qt_version"*.dsc qtbase >/dev/null)
    fi

    echo "== Building Qt $qt_version for MinGW-w64 (log: $build/build.log)"
    mkdir -p "$build"
    # Only what the program and its tests use. Features that Debian's trimmed copy cannot build
    # for Windows are switched off rather than patched: tablet input (its header is not in the
    # package) and OpenGL (the window draws with the raster engine only), including the choice
    # of OpenGL at run time, which the Windows platform plugin would still compile without it.
    # Bundled third-party code throughout, so that the DLLs need nothing from the system.
    # The compiler's own runtime goes into each DLL; only the threads library stays a DLL
    # (copied beside Qt's below).
    cmake -G Ninja -S "$source" -B "$build" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_SHARED_LINKER_FLAGS="-static-libgcc -static-libstdc++" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
        -DFEATURE_dbus=OFF -DFEATURE_xml=OFF -DFEATURE_direct2d=ON \
        -DFEATURE_openssl=OFF -DINPUT_openssl=no -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF \
        -DFEATURE_system_libb2=OFF \
        >"$build/configure.log" 2>&1 || { tail -n 40 "$build/configure.log" >&2; exit 1; }
    local start=$SECONDS
    nice -n 10 cmake --build "$build" --parallel "$jobs" >"$build/build.log" 2>&1 \
        || { grep -B2 -A20 -m3 'error' "$build/build.log" >&2; exit 1; }
    cmake --install "$build" >"$build/install.log" 2>&1
    echo "$qt_version built in $(((SECONDS - start) / 60)) minutes" >"$prefix/BUILT"
    cat "$prefix/BUILT"
}

if [ -f "$prefix/BUILT" ]; then
    echo "== Qt for MinGW-w64: $(cat "$prefix/BUILT") (cached in $prefix)"
else
    build_qt
fi
# The compiler's run-time DLLs beside Qt's: the plugins and the threads library use them.
cp -u /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll \
    /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libstdc++-6.dll \
    /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libgcc_s_seh-1.dll "$prefix/bin/"
# Qt's German texts, which the source package does not build: Debian's of the same version.
mkdir -p "$prefix/translations"
cp -u /usr/share/qt6/translations/qtbase_de.qm "$prefix/translations/"
[ "${1:-}" = --qt-only ] && exit 0

echo "== Sorvanel.exe and the tests, cross-built against it (build-win-gui)"
cmake --preset windows-gui -DSORVANEL_QT_MINGW="$prefix" >/dev/null
nice cmake --build build-win-gui
program_folder=$(dirname "$(find "$root/build-win-gui" -maxdepth 3 -name Sorvanel.exe | head -n1)")

# Wine finds Qt's DLLs on its own PATH (WINEPATH); Qt finds its plugins beside its DLLs.
# Variables named QT_* are hidden from the Windows side; WINEQT_* arrive there as QT_*.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
export WINEPATH="Z:${prefix//\//\\}\\bin"
start_wine() {
    mkdir -p "$WINEPREFIX"
    # A running wine server first, its output discarded: otherwise every start waits for it.
    wineserver -p >/dev/null 2>&1 || true
    wineboot -i >/dev/null 2>&1
}

echo "== All tests under wine, without a display"
export WINEPREFIX=$root/build-win-gui/wine
start_wine
WINEQT_QPA_PLATFORM=offscreen ctest --preset windows-gui -j2 --timeout 300 \
    | tee "$root/build-win-gui/tests.log" | grep -E 'tests passed|Failed|Timeout|Not Run|\*\*\*' \
    || true
wineserver -k || true

echo "== Sorvanel.exe on an X display of its own, first start in a fresh wine prefix"
display=:${SORVANEL_DISPLAY:-87}
shots=$root/build-win-gui/screenshots
run=$(mktemp -d)
mkdir -p "$shots"
export WINEPREFIX=$run/wine DISPLAY=$display
pids=()
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$run"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 2
openbox >/dev/null 2>&1 &
pids+=($!)
start_wine
(cd "$program_folder" && exec wine Sorvanel.exe >/dev/null 2>&1) &
program=$!
pids+=("$program")
# The language chooser is the only window of a first start.
for _ in $(seq 60); do
    xdotool search --onlyvisible --class 'sorvanel.exe' >/dev/null 2>&1 && break
    sleep 1
done
sleep 3
import -window root "$shots/language-chooser.png"
echo "screenshot: $shots/language-chooser.png"
# Down chooses English, Enter takes it; the main window follows. Escape ends the program,
# which then keeps its settings.
xdotool key Down
sleep 1
xdotool key Return
sleep 5
import -window root "$shots/main-window.png"
echo "screenshot: $shots/main-window.png"
xdotool key Escape
for _ in $(seq 30); do
    kill -0 "$program" 2>/dev/null || break
    sleep 1
done
echo "== The settings the run left in the registry"
wine reg query 'HKCU\Software\Tarnwick' /s 2>/dev/null | tr -d '\r' | grep -v '^$' || true
