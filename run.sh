#!/usr/bin/env bash
# Installs what is missing, builds, and opens Tessaly on a fresh copy of the demo favorites.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$TESSALY_ROOT/scripts/deps.sh"
tessaly_install_deps

# Only the program: the tests and benchmarks are test.sh's to build.
cmake -S "$TESSALY_ROOT" -B "$TESSALY_ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$TESSALY_ROOT/build" --target tessaly

# The demo works on a copy, so that deleting and restoring never touch the examples themselves.
demo="$TESSALY_ROOT/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
cp -r "$TESSALY_ROOT/examples/Favorites" "$demo/Favorites"
# The results file beside the program names the copy's folders.
sed "s#@FAVORITES@#$demo/Favorites#g" "$TESSALY_ROOT/examples/data.txt.in" > "$TESSALY_ROOT/build/src/data.txt"
rm -rf "$TESSALY_ROOT/build/src/data"

export TESSALY_FAVORITES="$demo/Favorites"
exec "$TESSALY_ROOT/build/src/tessaly" "$@"
