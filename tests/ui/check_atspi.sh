#!/usr/bin/env bash
# The main window as a screen reader sees it, through the accessibility bus (AT-SPI): the program runs on a
# virtual X screen (Xvfb) in a D-Bus session of its own, and tests/ui/atspi_mainwindow.py reads it with pyatspi.
# Usage: check_atspi.sh <tessaly binary>
# Exit 0: passed; 77: skipped, because Xvfb, D-Bus, the AT-SPI bus or pyatspi is missing (under CI=true that is a
# failure: test.sh installs them); anything else: failed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../system/common.sh"
binary=$1

need_tool Xvfb xvfb
need_tool dbus-run-session dbus-daemon
skip_or_fail() {
    if [ "${CI:-}" = "true" ]; then
        echo "FAIL: $1" >&2
        exit 1
    fi
    echo "SKIP: $1"
    exit 77
}
[ -x /usr/libexec/at-spi-bus-launcher ] || skip_or_fail "the AT-SPI bus is missing (Debian package at-spi2-core)"
# Debian's pyatspi is for the system's Python, whatever python3 comes first on the PATH.
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip_or_fail "pyatspi is missing (Debian package python3-pyatspi)"

make_work_dir
mkdir -p "$WORK/program" "$WORK/runtime" "$WORK/Favorites/链接"
chmod 700 "$WORK/runtime"
# A copy of its own: the program keeps its results file beside itself.
cp "$binary" "$WORK/program/tessaly"
printf '[InternetShortcut]\r\nURL=ftp://127.0.0.1/a\r\n' > "$WORK/Favorites/a.url"
printf '[InternetShortcut]\r\nURL=ftp://127.0.0.1/b\r\n' > "$WORK/Favorites/链接/b.url"

# In a sanitized build: libxkbcommon-x11, which Qt's X11 platform loads, copies X atom names with strndup() from
# buffers that end without a NUL, which strict_string_checks reports though strndup() reads no further than asked.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"

status=0
HOME="$WORK" XDG_RUNTIME_DIR="$WORK/runtime" CI="${CI:-}" \
    timeout 180 dbus-run-session -- /usr/bin/python3 "$here/atspi_mainwindow.py" "$WORK/program/tessaly" \
    "$WORK/Favorites" || status=$?
exit "$status"
