#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/, and runs each for TESSALY_FUZZ_SECONDS (60 by default), seeded from tests/data.
# An input that makes a target crash, hang or run out of memory is copied to
# tests/data/fuzz-regressions/<target>/ and the script fails: commit that file, tst_fuzzregressions replays it.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$TESSALY_ROOT/scripts/deps.sh"
# clang and its runtime libraries (libFuzzer, the sanitizers) are needed only here.
tessaly_install_deps clang libclang-rt-14-dev

seconds=${TESSALY_FUZZ_SECONDS:-60}
build="$TESSALY_ROOT/build-fuzz"
started=$(date +%s)
cmake -S "$TESSALY_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DTESSALY_FUZZ=ON
cmake --build "$build" --target fuzz_profilestring fuzz_resultsfile
echo "fuzz: build took $(( $(date +%s) - started )) s"

# LeakSanitizer is left on: these targets run only project code and QtCore.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

run_target() {
    local target=$1
    shift
    local corpus="$build/corpus/$target" artifacts="$build/artifacts/$target/"
    local regressions="$TESSALY_ROOT/tests/data/fuzz-regressions/$target"
    mkdir -p "$corpus" "$artifacts" "$regressions"
    rm -f "$artifacts"*
    echo "fuzz: $target for $seconds s"
    local status=0
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "$regressions" "$@" || status=$?
    local found=0 artifact
    for artifact in "$artifacts"*; do
        [ -e "$artifact" ] || continue
        cp "$artifact" "$regressions/"
        echo "fuzz: $target: kept $(basename "$artifact") in tests/data/fuzz-regressions/$target/"
        found=1
    done
    if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
        echo "fuzz: $target FAILED (exit $status)"
        return 1
    fi
    echo "fuzz: $target passed"
}

failed=0
run_target profilestring "$TESSALY_ROOT/tests/data/urls" || failed=1
run_target resultsfile "$TESSALY_ROOT/tests/data/results" || failed=1
echo "fuzz: total $(( $(date +%s) - started )) s"
exit "$failed"
