#!/usr/bin/env bash
# Builds Tessaly for 64-bit Windows on Debian 12 and checks it under Wine:
#
#   scripts/build-windows.sh [--no-smoke]
#
# 1. installs the Debian packages it needs (scripts/deps.sh, TESSALY_WINDOWS_PACKAGES);
# 2. builds Qt 6.4.2 for MinGW-w64 into its cache folder, unless it is already there (scripts/qt-mingw.sh,
#    about 20 minutes once per machine);
# 3. builds libcurl for MinGW-w64 (Schannel, threaded resolver) into its cache folder beside Qt's, unless it is
#    already there (scripts/curl-mingw.sh, a few minutes once per machine and curl version);
# 4. draws the program icon with the host build's tools/tessaly_icons (in build/, configured when missing);
# 5. cross-builds tessaly.exe against that Qt and libcurl in build-windows/build;
# 6. lays out build-windows/Tessaly/ (the program, the Qt, libcurl and MinGW runtime DLLs, the platform, style and
#    TLS plugins and Qt's Chinese translation), strips it, checks that every DLL it imports is there or is part of
#    Windows, and zips it as build-windows/tessaly-<version>-windows-x64.zip (the portable copy);
# 7. builds the installer build-windows/tessaly-<version>-setup.exe from the same folder (scripts/make-installer.sh);
# 8. runs the smoke test scripts/windows-smoke.sh on that folder and the installer's test
#    scripts/windows-installer-test.sh on the installer (not with --no-smoke).
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")/.." && pwd)
smoke=1
if [ "${1:-}" = "--no-smoke" ]; then
    smoke=0
fi

out=$TESSALY_ROOT/build-windows
cross_build=$out/build
dist=$out/Tessaly
host_build=${TESSALY_HOST_BUILD:-$TESSALY_ROOT/build}
mingw=x86_64-w64-mingw32
gcc_runtime=/usr/lib/gcc/$mingw/12-posix
translations=/usr/share/qt6/translations

# shellcheck source=deps.sh
source "$TESSALY_ROOT/scripts/deps.sh"
tessaly_install_deps "${TESSALY_WINDOWS_PACKAGES[@]}"

# The Qt build's progress is shown on stderr as it comes; its last line names the prefix. (tee -a: a plain tee
# would reopen stderr truncated, and wipe a log file that stdout and stderr share.)
qt_prefix=$("$TESSALY_ROOT/scripts/qt-mingw.sh" | tee -a /dev/stderr | tail -1)
if [ ! -f "$qt_prefix/.tessaly-complete" ] || [ ! -x "$qt_prefix/bin/qt-cmake" ]; then
    echo "build-windows: no complete Qt for MinGW in '$qt_prefix'" >&2
    exit 1
fi

curl_prefix=$("$TESSALY_ROOT/scripts/curl-mingw.sh" | tee -a /dev/stderr | tail -1)
if [ ! -f "$curl_prefix/.tessaly-complete" ] || [ ! -f "$curl_prefix/lib/cmake/CURL/CURLConfig.cmake" ]; then
    echo "build-windows: no complete libcurl for MinGW in '$curl_prefix'" >&2
    exit 1
fi

echo "build-windows: drawing the icon with the host build in $host_build"
started=$SECONDS
if [ ! -f "$host_build/CMakeCache.txt" ]; then
    cmake -S "$TESSALY_ROOT" -B "$host_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$host_build" --target tessaly_icon_files
icon=$host_build/tools/icons/tessaly.ico
[ -s "$icon" ] || { echo "build-windows: the host build drew no $icon" >&2; exit 1; }
echo "build-windows: icon ready in $((SECONDS - started)) s"

echo "build-windows: cross-building tessaly.exe against $qt_prefix and $curl_prefix"
started=$SECONDS
mkdir -p "$out"
# qt-cmake loads Qt's toolchain file, which chain-loads the MinGW toolchain file kept inside the Qt prefix.
"$qt_prefix/bin/qt-cmake" -S "$TESSALY_ROOT" -B "$cross_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF -DTESSALY_BENCH=OFF -DTESSALY_WINDOWS_ICON="$icon" -DCURL_DIR="$curl_prefix/lib/cmake/CURL" \
    >"$out/configure.log" 2>&1 || {
    cat "$out/configure.log" >&2
    exit 1
}
# When the chain-loaded toolchain file is missing, CMake only warns and configures with the host compiler.
compiler=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$cross_build"/CMakeFiles/*/CMakeCXXCompiler.cmake)
case "$compiler" in
    *"$mingw-g++-posix") ;;
    *) echo "build-windows: configured with '$compiler' instead of $mingw-g++-posix" >&2; exit 1 ;;
esac
cmake --build "$cross_build" --target tessaly
build_seconds=$((SECONDS - started))
echo "build-windows: tessaly.exe built in $build_seconds s"

echo "build-windows: laying out $dist"
rm -rf "$dist"
mkdir -p "$dist/platforms" "$dist/styles" "$dist/tls" "$dist/translations"
cp "$cross_build/src/tessaly.exe" "$dist/"
cp "$qt_prefix"/bin/Qt6{Core,Gui,Widgets,Network}.dll "$dist/"
cp "$curl_prefix"/bin/libcurl*.dll "$dist/"
cp "$qt_prefix/plugins/platforms/qwindows.dll" "$dist/platforms/"
cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$dist/styles/"
cp "$qt_prefix/plugins/tls/qschannelbackend.dll" "$dist/tls/"
# The runtime of the posix thread model, matching the compiler; libstdc++ and libgcc import libwinpthread.
cp "$gcc_runtime/libstdc++-6.dll" "$gcc_runtime/libgcc_s_seh-1.dll" "/usr/$mingw/lib/libwinpthread-1.dll" "$dist/"
# Qt's own texts (the buttons of message boxes and dialogs) in Chinese; the program looks for them here first.
cp "$translations/qtbase_zh_CN.qm" "$dist/translations/"
cp "$TESSALY_ROOT/LICENSE" "$dist/LICENSE.txt"
find "$dist" \( -name '*.exe' -o -name '*.dll' \) -exec "$mingw-strip" --strip-unneeded {} +

# Every DLL that the program and its plugins import must be in the folder or come with Windows.
missing=0
while IFS= read -r binary; do
    while IFS= read -r dll; do
        if [ -e "$dist/$dll" ]; then
            continue
        fi
        case "$dll" in
            Qt6*.dll | lib*.dll)
                echo "build-windows: ${binary#"$dist"/} imports $dll, which is not in the folder" >&2
                missing=1
                ;;
        esac
    done < <("$mingw-objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
done < <(find "$dist" \( -name '*.exe' -o -name '*.dll' \))
[ $missing -eq 0 ] || exit 1

version=$(sed -n 's/^project(Tessaly VERSION \([0-9.]*\).*/\1/p' "$TESSALY_ROOT/CMakeLists.txt")
zip_file=$out/tessaly-$version-windows-x64.zip
rm -f "$out"/tessaly-*-windows-x64.zip
(cd "$out" && zip -qr -9 "$zip_file" Tessaly)
echo "build-windows: $(du -sk "$dist" | cut -f1) KiB in $dist, zipped $(du -k "$zip_file" | cut -f1) KiB: $zip_file"

echo "build-windows: building the installer"
started=$SECONDS
installer=$out/tessaly-$version-setup.exe
rm -f "$out"/tessaly-*-setup.exe
"$TESSALY_ROOT/scripts/make-installer.sh" "$dist" "$version" "$icon" "$installer"
echo "build-windows: installer $(du -k "$installer" | cut -f1) KiB in $((SECONDS - started)) s: $installer"

if [ $smoke -eq 1 ]; then
    status=0
    "$TESSALY_ROOT/scripts/windows-smoke.sh" "$dist" || status=1
    TESSALY_HOST_BUILD=$host_build "$TESSALY_ROOT/scripts/windows-installer-test.sh" "$installer" || status=1
    exit $status
fi
