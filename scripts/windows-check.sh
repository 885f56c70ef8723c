#!/usr/bin/env bash
# Cross-compiles the Qt-free Windows platform layer (registry reader, code page) with MinGW-w64 and runs its
# check program under Wine in a fresh Wine prefix, against the "Favorites" value that Wine's registry holds.
#
#   scripts/windows-check.sh [--install] [BUILD_DIR]
#
# --install   install g++-mingw-w64-x86-64 and wine64 first when they are missing (Debian packages)
# BUILD_DIR   where the Windows build goes (default: build/windows under the repository)
#
# Exit codes: 0 every check passed; 77 skipped because MinGW-w64 or Wine is missing (never under CI=true,
# where a missing tool is a failure); anything else a failure.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")/.." && pwd)

install=0
if [ "${1:-}" = "--install" ]; then
    install=1
    shift
fi
build_dir=${1:-$TESSALY_ROOT/build/windows}

find_wine() {
    WINE=$(command -v wine64 || command -v wine || true)
    if [ -z "$WINE" ] && [ -x /usr/lib/wine/wine64 ]; then
        WINE=/usr/lib/wine/wine64 # Debian's wine64 package alone has no wrapper in /usr/bin
    fi
    WINESERVER=$(command -v wineserver || true)
    if [ -z "$WINESERVER" ] && [ -x /usr/lib/wine/wineserver ]; then
        WINESERVER=/usr/lib/wine/wineserver
    fi
}

missing_tools() {
    find_wine
    local missing=()
    command -v x86_64-w64-mingw32-g++ >/dev/null || missing+=("g++-mingw-w64-x86-64")
    [ -n "$WINE" ] && [ -n "$WINESERVER" ] || missing+=("wine64")
    echo "${missing[@]}"
}

missing=$(missing_tools)
if [ -n "$missing" ] && [ $install -eq 1 ]; then
    # shellcheck source=deps.sh
    source "$TESSALY_ROOT/scripts/deps.sh"
    # shellcheck disable=SC2086
    tessaly_install_deps $missing
    missing=$(missing_tools)
fi
if [ -n "$missing" ]; then
    if [ "${CI:-}" = "true" ]; then
        echo "FAIL: the Windows check needs the Debian packages: $missing (test.sh installs them)" >&2
        exit 1
    fi
    echo "SKIP: the Windows check needs the Debian packages: $missing (run scripts/windows-check.sh --install)"
    exit 77
fi
find_wine

echo "== cross-compiling with $(x86_64-w64-mingw32-g++ --version | head -1)"
start=$SECONDS
cmake -S "$TESSALY_ROOT/tests/windows" -B "$build_dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TESSALY_ROOT/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir"
echo "   built in $((SECONDS - start)) s"

# The Qt-using Windows files cannot be linked here (Debian has no Qt for MinGW), but they are compiled for
# syntax and types against the host's Qt headers, so a slip in them shows up before a Windows build does.
qt_headers=$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || true)
if [ -n "$qt_headers" ] && [ -d "$qt_headers/QtCore" ]; then
    echo "== syntax check of the Qt-using Windows files (host Qt headers)"
    while IFS= read -r file; do
        echo "   ${file#"$TESSALY_ROOT"/}"
        x86_64-w64-mingw32-g++ -std=c++17 -fsyntax-only -Wall -Wextra -Werror -DUNICODE -D_UNICODE \
            -I"$TESSALY_ROOT/src" -isystem "$qt_headers" -isystem "$qt_headers/QtCore" -isystem "$qt_headers/QtGui" \
            -isystem "$qt_headers/QtNetwork" -isystem "$qt_headers/QtWidgets" "$file"
    done < <(find "$TESSALY_ROOT/src" -name '*_win.cpp' | sort)
else
    echo "== no host Qt headers: syntax check of the Qt-using Windows files skipped"
fi

# A fresh prefix in a temporary folder; no Mono or Gecko (their installers would want the network).
work=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-wine.XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "== creating the Wine prefix $WINEPREFIX"
start=$SECONDS
# shellcheck source=wine-prefix.sh
source "$TESSALY_ROOT/scripts/wine-prefix.sh"
tessaly_make_wine_prefix "$WINE" "$WINESERVER" "$work/wineboot.log" || exit 1
echo "   wineboot took $((SECONDS - start)) s"

shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
"$WINE" reg query "$shell_folders" /v Favorites >"$work/reg.txt" 2>/dev/null || true
expected=$(tr -d '\r' <"$work/reg.txt" | sed -n 's/^ *Favorites  *REG_[A-Z_]*  *//p' | head -1)
echo "   reg query: Favorites = \"$expected\""
if [ -z "$expected" ]; then
    echo "FAIL: Wine's registry holds no Favorites shell folder" >&2
    cat "$work/reg.txt" >&2
    exit 1
fi

status=0
# Once in the default ANSI code page, once in the Chinese one (936), as on the Windows the program is for.
for locale in C.UTF-8 zh_CN.UTF-8; do
    echo "== check_platform_win.exe under LC_ALL=$locale"
    LC_ALL=$locale "$WINE" "$build_dir/check_platform_win.exe" "$expected" || status=1
    "$WINESERVER" -w
done
exit $status
