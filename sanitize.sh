#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer (gcc) in build-asan/ and runs
# every test of the program's code there headless (the packaging checks, labelled "packaging", are left to
# ./test.sh). Exits non-zero on any failure or sanitizer report.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$TESSALY_ROOT/scripts/deps.sh"
tessaly_install_deps

started=$(date +%s)
# -O1, as AddressSanitizer's documentation suggests for a reasonable speed; quicker to build than -O2. Line
# tables only (-g1) are enough for the reports' file:line and build a fifth faster than full debug info.
# Benchmarks measure speed, which a sanitized build cannot tell: not built here.
tessaly_build "$TESSALY_ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" \
    -DTESSALY_SANITIZE=ON -DTESSALY_BENCH=OFF
echo "sanitize: build took $(( $(date +%s) - started )) s"

# Leaks are looked for too. The suite runs clean with one suppression, a leak of GLib's own when a move into the
# Trash fails (tests/data/lsan-suppressions.txt says which and why; so does docs/reliability.md).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:check_initialization_order=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$TESSALY_ROOT/tests/data/lsan-suppressions.txt}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
cd "$TESSALY_ROOT/build-asan"
tests_started=$(date +%s)
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 --label-exclude packaging
echo "sanitize: tests took $(( $(date +%s) - tests_started )) s, total $(( $(date +%s) - started )) s"
