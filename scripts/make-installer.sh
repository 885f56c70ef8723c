#!/usr/bin/env bash
# Builds the Windows installer of a laid-out program folder with makensis (Debian's nsis) and
# packaging/windows/tessaly.nsi:
#
#   scripts/make-installer.sh PROGRAM_DIR VERSION ICON OUTFILE [COMPRESSOR]
#
# PROGRAM_DIR  the program as the portable zip holds it (build-windows/Tessaly, made by scripts/build-windows.sh)
# VERSION      three numbers, as in CMakeLists.txt
# ICON         the program's .ico
# OUTFILE      the installer to write (tessaly-<version>-setup.exe)
# COMPRESSOR   makensis's SetCompressor arguments (default "/SOLID lzma", the smallest)
#
# The lists of the files to install and to remove again are made from PROGRAM_DIR beside OUTFILE, so that the
# uninstaller removes exactly what its installer put there and nothing of the user's. Warnings fail the build.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -lt 4 ]; then
    sed -n '2,/^set -euo/p' "$0" | sed '$d' >&2
    exit 2
fi
program=$(realpath "$1")
version=$2
icon=$(realpath "$3")
outfile=$(realpath -m "$4")
compressor=${5:-/SOLID lzma}
[ -f "$program/tessaly.exe" ] || { echo "make-installer: no tessaly.exe in $program" >&2; exit 2; }
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "make-installer: version '$version' is not X.Y.Z" >&2; exit 2; }

if grep -q '[$"`]' < <(cd "$program" && find . -mindepth 1); then
    echo "make-installer: a file name in $program holds a character that makensis would read as its own" >&2
    exit 1
fi

lists=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-installer.XXXXXX")
trap 'rm -rf "$lists"' EXIT

# Folders first, parents before children, for SetOutPath; for the uninstaller children before parents, so that
# each RMDir (which removes only an empty folder) finds its subfolders gone.
windows_path() { printf '%s' "$1" | tr / '\\'; }
{
    echo "SetOutPath \"\$INSTDIR\""
    while IFS= read -r -d '' file; do
        echo "File \"$program/$file\""
    done < <(cd "$program" && find . -maxdepth 1 -type f -printf '%P\0' | sort -z)
    while IFS= read -r -d '' folder; do
        echo "SetOutPath \"\$INSTDIR\\$(windows_path "$folder")\""
        while IFS= read -r -d '' file; do
            echo "File \"$program/$folder/$file\""
        done < <(cd "$program/$folder" && find . -maxdepth 1 -type f -printf '%P\0' | sort -z)
    done < <(cd "$program" && find . -mindepth 1 -type d -printf '%P\0' | sort -z)
} >"$lists/install.nsh"
{
    while IFS= read -r -d '' file; do
        echo "Delete \"\$INSTDIR\\$(windows_path "$file")\""
    done < <(cd "$program" && find . -type f -printf '%P\0' | sort -z)
    while IFS= read -r -d '' folder; do
        echo "RMDir \"\$INSTDIR\\$(windows_path "$folder")\""
    done < <(cd "$program" && find . -mindepth 1 -type d -printf '%P\0' | sort -rz)
} >"$lists/uninstall.nsh"

mkdir -p "$(dirname "$outfile")"
makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DPROGRAM_DIR="$program" \
    -DINSTALL_FILES="$lists/install.nsh" -DUNINSTALL_FILES="$lists/uninstall.nsh" -DICON="$icon" \
    -DOUTFILE="$outfile" -DCOMPRESSOR="$compressor" "$TESSALY_ROOT/packaging/windows/tessaly.nsi"
