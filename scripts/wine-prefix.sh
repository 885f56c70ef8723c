#!/usr/bin/env bash
# What the two Wine scripts (windows-check.sh, windows-smoke.sh) share: making a fresh Wine prefix.
# Sourced, not run.

# tessaly_make_wine_prefix WINE WINESERVER LOG: makes the prefix $WINEPREFIX and waits until Wine is done with it.
# WINE may be a shell function. Once in a while the first start of a new prefix fails ("could not load
# kernel32.dll"), more often on a busy machine; a second try in a new prefix has always worked. Fails, showing
# the log, when the second try fails too.
tessaly_make_wine_prefix() {
    local wine=$1 wineserver=$2 log=$3 attempt
    for attempt in 1 2; do
        if DISPLAY='' "$wine" wineboot -i >"$log" 2>&1; then
            "$wineserver" -w
            return 0
        fi
        "$wineserver" -k 2>/dev/null || true
        [ "$attempt" -eq 2 ] && break
        echo "   wineboot failed; once more in a new prefix"
        rm -rf "$WINEPREFIX"
    done
    cat "$log" >&2
    return 1
}
