#!/usr/bin/env bash
# What the Wine scripts that show windows share (windows-smoke.sh, windows-installer-test.sh): the Chinese locale,
# a virtual X screen, the wait for a window and a click on a button of the program's toolbar. Sourced, not run;
# needs localedef (locales), Xvfb and xdotool.

# tessaly_make_zh_locale DIR: generates the locale zh_CN.UTF-8 into DIR, so that the system's locales stay as they
# are; a program started with LOCPATH=DIR LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 runs in it. Wine takes its ANSI code
# page from it: 936.
tessaly_make_zh_locale() {
    local dir=$1
    mkdir -p "$dir"
    localedef -i zh_CN -f UTF-8 "$dir/zh_CN.UTF-8" 2>/dev/null || [ -f "$dir/zh_CN.UTF-8/LC_CTYPE" ]
}

# tessaly_start_xvfb WORK: starts a private X screen (1280x900) on a free display number, without access control
# (nobody else knows its number); exports DISPLAY and sets tessaly_xvfb_pid, for the caller to end. Its log is
# WORK/xvfb.log. Fails, showing the log, when the screen did not come up within 5 s.
tessaly_start_xvfb() {
    local work=$1
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp -ac >"$work/xvfb.log" 2>&1 &
    tessaly_xvfb_pid=$!
    exec 3>&-
    for _ in $(seq 50); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    if [ ! -s "$work/display" ]; then
        cat "$work/xvfb.log" >&2
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$(head -1 "$work/display")"
}

# wait_for_window PATTERN: prints the id of the first visible window whose name matches the pattern (a regular
# expression, as xdotool takes it), once there is one; nothing when none came within 30 s.
wait_for_window() {
    local pattern=$1 found=
    for _ in $(seq 60); do
        found=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1 || true)
        [ -n "$found" ] && break
        sleep 0.5
    done
    echo "$found"
}

# tessaly_click_toolbar WINDOW N: clicks button N (1-based) of the toolbar of Tessaly's main window, in coordinates
# of the window (its client area: without a window manager the X window has no frame). The toolbar fills the top
# 40 pixels; its icon-only buttons are 38 pixels wide (the 32-pixel icon and the windowsvista style's margins),
# side by side from x = 4 (measured on the screenshot).
tessaly_click_toolbar() {
    local window=$1 n=$2
    local left=4 width=38 middle=20
    xdotool mousemove --window "$window" $((left + (n - 1) * width + width / 2)) "$middle" click 1
}

# tessaly_click_until WINDOW N TEST...: clicks toolbar button N, one of the commands that change data, until the
# command TEST succeeds (tried every half second; status 1 when it has not within 30 s). While the program reads or
# changes the favorites (the load at start-up, the last command's work, a box it asks on the way, the reload after
# it) these commands are greyed or the window takes no clicks, and a click does nothing: it is made again after 5 s
# without the effect. What a click that was taken does shows well within that, and a click made while it works finds
# the commands greyed.
tessaly_click_until() {
    local window=$1 n=$2
    shift 2
    for _ in $(seq 6); do
        tessaly_click_toolbar "$window" "$n"
        for _ in $(seq 10); do
            "$@" && return 0
            sleep 0.5
        done
    done
    return 1
}

# tessaly_build_wine_probe OUT: cross-compiles tests/windows/wine_probe.cpp (the texts of native windows, the
# clipboard, a stand-in for another program's uninstaller) into the Windows program OUT, unless OUT is newer than the
# source. Needs the MinGW-w64 compiler of TESSALY_WINDOWS_PACKAGES.
tessaly_build_wine_probe() {
    local out=$1 source=$TESSALY_ROOT/tests/windows/wine_probe.cpp
    [ "$out" -nt "$source" ] && return 0
    mkdir -p "$(dirname "$out")"
    x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -Wextra -Werror -municode -static -o "$out.new" "$source" &&
        mv "$out.new" "$out"
}
