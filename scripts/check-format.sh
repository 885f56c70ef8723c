#!/usr/bin/env bash
# Fails when a C++ file of the project differs from what .clang-format makes of it, and names the files.
#   scripts/check-format.sh          check
#   scripts/check-format.sh --fix    format them in place
# Uses Debian's clang-format-14, the version the code was formatted with (others may break lines otherwise).
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TESSALY_ROOT"
formatter=$(command -v clang-format-14 || true)
if [ -z "$formatter" ]; then
    echo "check-format: clang-format-14 is missing (Debian package clang-format-14; test.sh installs it)" >&2
    exit 1
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
    mapfile -t files < <(find src tests bench tools fuzz -name '*.cpp' -o -name '*.h' | sort)
fi
if [ "${1:-}" = "--fix" ]; then
    "$formatter" -i "${files[@]}"
    exit 0
fi
unformatted=()
for file in "${files[@]}"; do
    if ! "$formatter" --dry-run -Werror "$file" >/dev/null 2>&1; then
        unformatted+=("$file")
    fi
done
if [ ${#unformatted[@]} -gt 0 ]; then
    echo "check-format: not formatted as .clang-format says (scripts/check-format.sh --fix formats them):" >&2
    printf '    %s\n' "${unformatted[@]}" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files formatted as .clang-format says"
