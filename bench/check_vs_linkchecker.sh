#!/bin/sh
# Times Tessaly's checker and linkchecker(1) over the same loopback links at the same parallelism.
#
#   bench/check_vs_linkchecker.sh [build-folder] [rows]
#
# bench_check --serve serves the links on 127.0.0.2..9 and a page listing them, /links.html, on
# 127.0.0.1. linkchecker gets the page with recursion level 1 (the page's links are checked, nothing
# behind them), robots.txt off and external links on (the links are on other loopback addresses than
# the page). Every address is on loopback and proxies are switched off, so nothing leaves the machine.
# Tessaly waits one 40 ms tick before every row, so its rate is capped at 25 rows/s per channel;
# linkchecker has no such pause.
set -eu

BUILD=${1:-build}
ROWS=${2:-1000}
BENCH="$BUILD/bench/bench_check"

if ! command -v linkchecker >/dev/null 2>&1; then
    echo "linkchecker is not installed (apt-get install linkchecker); nothing to compare"
    exit 0
fi
if [ ! -x "$BENCH" ]; then
    echo "$BENCH not found: build the project first" >&2
    exit 1
fi

unset http_proxy https_proxy ftp_proxy all_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY ALL_PROXY
export no_proxy="127.0.0.1,127.0.0.2,127.0.0.3,127.0.0.4,127.0.0.5,127.0.0.6,127.0.0.7,127.0.0.8,127.0.0.9"

WORK=$(mktemp -d)
SERVER_PID=
cleanup() {
    if [ -n "$SERVER_PID" ]; then
        kill "$SERVER_PID" 2>/dev/null || true
        wait "$SERVER_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

"$BENCH" --serve "$ROWS" >"$WORK/server.out" 2>&1 &
SERVER_PID=$!
PORT=
for _ in $(seq 50); do
    PORT=$(awk '/^PORT /{print $2}' "$WORK/server.out")
    [ -n "$PORT" ] && break
    sleep 0.1
done
if [ -z "$PORT" ]; then
    echo "the server did not start:" >&2
    cat "$WORK/server.out" >&2
    exit 1
fi

now() { date +%s.%N; }

printf '%-8s %-12s %-12s %s\n' threads tessaly linkchecker "linkchecker summary"
for N in 1 10 40; do
    t0=$(now)
    "$BENCH" --client "$PORT" "$N" "$ROWS" >"$WORK/ours.out"
    t1=$(now)
    linkchecker --threads "$N" --no-robots --check-extern --recursion-level 1 --timeout 40 \
        --no-status --output text "http://127.0.0.1:$PORT/links.html" >"$WORK/lc.out" 2>&1 || true
    t2=$(now)
    summary=$(grep -m1 "links in" "$WORK/lc.out" || echo "no summary")
    printf '%-8s %-12s %-12s %s\n' "$N" "$(echo "$t1 - $t0" | bc | xargs printf '%.2f s')" \
        "$(echo "$t2 - $t1" | bc | xargs printf '%.2f s')" "$summary"
    sed 's/^/         /' "$WORK/ours.out"
done
