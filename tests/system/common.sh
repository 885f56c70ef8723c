# Helpers for the system tests (sourced). A test exits 0 on success, 77 when skipped, anything else on failure.
set -euo pipefail

TESTS_FAILED=0

fail() {
    echo "FAIL: $*" >&2
    TESTS_FAILED=1
}

pass() {
    echo "PASS: $*"
}

# Skips the test when a tool is missing; under CI a missing tool is a failure, as CI installs them all.
need_tool() {
    local tool=$1 package=$2
    if ! command -v "$tool" >/dev/null 2>&1; then
        if [ "${CI:-}" = "true" ]; then
            echo "FAIL: $tool is missing (Debian package $package; test.sh installs it)" >&2
            exit 1
        fi
        echo "SKIP: $tool is missing (Debian package $package; scripts/deps.sh installs it)"
        exit 77
    fi
}

# A temporary folder removed at exit; readable by every user, so that a program can run from it as nobody.
make_work_dir() {
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-test.XXXXXX")
    chmod 755 "$WORK"
    trap 'rm -rf "$WORK"' EXIT
}

finish() {
    if [ "$TESTS_FAILED" -ne 0 ]; then
        echo "some checks failed" >&2
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# Width and height of a PNG file, read from its IHDR chunk: "W H".
png_size() {
    local bytes
    bytes=$(od -An -tu1 -j16 -N8 "$1" | tr -s ' \n' ' ')
    # shellcheck disable=SC2086
    set -- $bytes
    echo "$((($1 << 24) | ($2 << 16) | ($3 << 8) | $4)) $((($5 << 24) | ($6 << 16) | ($7 << 8) | $8))"
}

# Starts a Tessaly binary headless with the exit hook and checks that it ends by itself with status 0.
# Arguments: description, binary, home folder, favorites folder; further arguments run the binary through a
# command (for instance setpriv to drop to another user).
start_and_quit() {
    local what=$1 binary=$2 home=$3 favorites=$4
    shift 4
    local status=0
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home/runtime" \
        LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen TESSALY_EXIT_AFTER_MS=1500 TESSALY_FAVORITES="$favorites" \
        timeout 120 "$@" "$binary" >"$home/run.log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
        pass "$what starts and quits with status 0"
    else
        fail "$what ended with status $status (124: did not quit by itself)"
        cat "$home/run.log" >&2
    fi
}
