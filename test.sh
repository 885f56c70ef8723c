#!/usr/bin/env bash
# Installs what is missing (for the tests also MinGW-w64 and Wine, unless TESSALY_WINDOWS_CHECK=0), checks the
# code's formatting, builds, and runs every test headless. Exits non-zero on any failure.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$TESSALY_ROOT/scripts/deps.sh"
tessaly_install_deps "${TESSALY_TEST_PACKAGES[@]}"

# The code stays as .clang-format lays it out: checked first, before minutes of building.
"$TESSALY_ROOT/scripts/check-format.sh"

tessaly_build "$TESSALY_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd "$TESSALY_ROOT/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600
