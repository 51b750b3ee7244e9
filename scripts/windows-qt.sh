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
        libgtest-dev xvfb openbox imagemagick xauth)
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
        mirror=$(grep -hoE 'https?://[^ ]+/debian/?( |$)' /etc/apt/sources.list \
                     /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
                     2>/dev/null | head -n1 | tr -d ' ')
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
    # package) and OpenGL (the window draws with the raster engine only).
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
        -DFEATURE_opengl=OFF -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
        -DFEATURE_dbus=OFF -DFEATURE_xml=OFF -DFEATURE_direct2d=OFF \
        -DFEATURE_openssl=OFF -DINPUT_openssl=no -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF \
        -DFEATURE_system_libb2=OFF \
        >"$build/configure.log" 2>&1 || { tail -n 40 "$build/configure.log" >&2; exit 1; }
    [ -n "${SORVANEL_QT_CONFIGURE_ONLY:-}" ] && exit 0
    local start=$SECONDS
    nice -n 10 cmake --build "$build" --parallel "$jobs" >"$build/build.log" 2>&1 \
        || { grep -B2 -A20 -m3 'error' "$build/build.log" >&2; exit 1; }
    cmake --install "$build" >"$build/install.log" 2>&1
    cp /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$prefix/bin/"
    echo "$qt_version built in $(((SECONDS - start) / 60)) minutes" >"$prefix/BUILT"
    cat "$prefix/BUILT"
}

if [ -f "$prefix/BUILT" ]; then
    echo "== Qt for MinGW-w64: $(cat "$prefix/BUILT") (cached in $prefix)"
else
    build_qt
fi
[ "${1:-}" = --qt-only ] && exit 0
