#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase: Core, Gui, Widgets, Network and their Windows plugins) for 64-bit Windows with
# MinGW-w64, from Debian's own source package, into a cache folder outside the repository:
#
#   scripts/qt-mingw.sh [PREFIX]        (default: ${XDG_CACHE_HOME:-~/.cache}/tessaly/qt6-mingw-6.4.2)
#
# Does nothing when PREFIX already holds a complete build (the file .tessaly-complete is written last).
# About 20 minutes on two cores; the source (46 MB) is fetched through a private apt configuration so that
# the system's own stays as it is. Prints the prefix on its last line.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")/.." && pwd)
QT_VERSION=6.4.2
QT_DEBIAN_VERSION=6.4.2+dfsg-10
prefix=${1:-${TESSALY_QT_MINGW:-${XDG_CACHE_HOME:-$HOME/.cache}/tessaly/qt6-mingw-$QT_VERSION}}
marker="$prefix/.tessaly-complete"

if [ -f "$marker" ]; then
    echo "qt-mingw: Qt $QT_VERSION for MinGW is ready in $prefix"
    echo "$prefix"
    exit 0
fi

# shellcheck source=deps.sh
source "$TESSALY_ROOT/scripts/deps.sh"
# The host's moc, rcc and uic must be the same Qt version as the target's; dpkg-dev unpacks the source.
tessaly_install_deps "${TESSALY_WINDOWS_PACKAGES[@]}"
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev)
case "$host_qt" in
    "$QT_VERSION"+*) ;;
    *) echo "qt-mingw: the host Qt is $host_qt; the Windows build needs the host tools of Qt $QT_VERSION" >&2; exit 1 ;;
esac

started=$SECONDS
work=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-qt-mingw.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "qt-mingw: fetching Debian's source of qt6-base $QT_DEBIAN_VERSION"
tessaly_fetch_debian_source "qt6-base=$QT_DEBIAN_VERSION" "$work"
tar -C "$work" -xf "$work/qt6-base_${QT_VERSION}+dfsg.orig.tar.xz"
source_dir="$work/qtbase-everywhere-src-$QT_VERSION"

# The toolchain file lives inside the prefix: the installed qt.toolchain.cmake loads it from the absolute
# path it had here.
rm -rf "$prefix"
mkdir -p "$prefix"
cp "$TESSALY_ROOT/cmake/mingw-w64-posix.cmake" "$prefix/mingw-w64-posix.cmake"

echo "qt-mingw: configuring"
# Only what Tessaly uses; bundled third-party libraries so that the program ships no other DLLs; TLS through
# Windows' own Schannel. tabletevent is off because Debian's tarball lacks wintab.h; INPUT_opengl=no also
# turns off dynamic OpenGL, which FEATURE_opengl=OFF alone leaves on.
cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-posix.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_sql=OFF -DFEATURE_testlib=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_schannel=ON -DFEATURE_openssl=OFF >"$work/configure.log" 2>&1 || {
    tail -50 "$work/configure.log" >&2
    exit 1
}

echo "qt-mingw: building (about 18 minutes on two cores)"
# Every configured target: the install needs them all, and GUI programs need Qt6EntryPoint.
cmake --build "$work/build" >"$work/build.log" 2>&1 || {
    grep -B5 -A20 'FAILED' "$work/build.log" | head -80 >&2
    exit 1
}
cmake --install "$work/build" >/dev/null
echo "built $(date -u +%FT%TZ) from qt6-base $QT_DEBIAN_VERSION in $((SECONDS - started)) s" >"$marker"
echo "qt-mingw: Qt $QT_VERSION for MinGW built in $((SECONDS - started)) s into $prefix"
echo "$prefix"
