#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/, and runs each for TESSALY_FUZZ_SECONDS (60 by default), seeded from tests/data.
# An input that makes a target crash, hang or run out of memory is copied to
# tests/data/fuzz-regressions/<target>/ and the script fails: commit that file, tst_fuzzregressions replays it.
# What failed is repeated at the end, with the input in base64 when it is small, so that the last lines of a log say
# it all.
#
# Run by hand, each run mutates from a new random seed and goes on for a time. TESSALY_FUZZ_SEED=N with
# TESSALY_FUZZ_RUNS="profilestring=N resultsfile=M" makes a run that gives the same verdict on every machine: a fixed
# seed and a fixed number of inputs per target (.ci/run uses it, so that a landing never fails on the luck of a run).
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
    local length=(-max_total_time="$seconds") runs
    runs=$(printf '%s\n' ${TESSALY_FUZZ_RUNS:-} | sed -n "s/^$target=//p")
    if [ -n "$runs" ]; then
        length=(-runs="$runs")
        echo "fuzz: $target for $runs inputs, seed ${TESSALY_FUZZ_SEED:-random}"
    else
        echo "fuzz: $target for $seconds s, seed ${TESSALY_FUZZ_SEED:-random}"
    fi
    local seed=()
    if [ -n "${TESSALY_FUZZ_SEED:-}" ]; then
        seed=(-seed="$TESSALY_FUZZ_SEED")
    fi
    local log="$build/fuzz-$target.log" status=0
    "$build/fuzz/fuzz_$target" "${length[@]}" "${seed[@]}" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "$regressions" "$@" 2>&1 | tee "$log" ||
        status=$?
    local found=0 artifact
    for artifact in "$artifacts"*; do
        [ -e "$artifact" ] || continue
        cp "$artifact" "$regressions/"
        echo "fuzz: $target: kept $(basename "$artifact") in tests/data/fuzz-regressions/$target/"
        found=1
    done
    if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
        echo "fuzz: $target FAILED (exit $status)"
        {
            echo "fuzz: $target FAILED (exit $status):"
            grep -E 'check failed|ERROR:|SUMMARY:|runtime error|Test unit written' "$log" | head -20 | sed 's/^/    /'
            for artifact in "$artifacts"*; do
                [ -e "$artifact" ] || continue
                if [ "$(stat -c %s "$artifact")" -le 4096 ]; then
                    echo "    $(basename "$artifact") in base64: $(base64 -w0 "$artifact")"
                fi
            done
        } >>"$build/fuzz-failures.txt"
        return 1
    fi
    echo "fuzz: $target passed"
}

failed=0
rm -f "$build/fuzz-failures.txt"
run_target profilestring "$TESSALY_ROOT/tests/data/urls" || failed=1
run_target resultsfile "$TESSALY_ROOT/tests/data/results" || failed=1
echo "fuzz: total $(( $(date +%s) - started )) s"
if [ "$failed" -ne 0 ]; then
    cat "$build/fuzz-failures.txt"
fi
exit "$failed"
