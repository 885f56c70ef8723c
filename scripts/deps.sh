#!/usr/bin/env bash
# Installs the Debian packages Tessaly needs to build, test and run, when any is missing.
# Sourced by run.sh and test.sh; does nothing on a machine that has them all.
set -euo pipefail

TESSALY_PACKAGES=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev libcurl4-openssl-dev libglib2.0-dev
    qt6-translations-l10n
    fonts-noto-cjk
    util-linux
    desktop-file-utils appstream dpkg-dev
)

# Only for the tests (test.sh): the format check (clang-format-14), the accessibility check, which runs the
# program on a virtual X screen in a D-Bus session of its own and reads it through the AT-SPI bus with pyatspi, and
# the real proxies the checker is tested through (each started by the test in a network namespace of its own).
TESSALY_TEST_PACKAGES=(clang-format-14 xvfb dbus-daemon at-spi2-core python3-pyatspi tinyproxy privoxy squid)
# The Windows check cross-compiles with MinGW-w64 and runs under Wine.
# TESSALY_WINDOWS_CHECK=0 leaves them out (the check is then skipped, except under CI where it fails).
if [ "${TESSALY_WINDOWS_CHECK:-1}" != "0" ]; then
    TESSALY_TEST_PACKAGES+=(g++-mingw-w64-x86-64 wine64)
fi

# For the Windows program (scripts/qt-mingw.sh, scripts/build-windows.sh, scripts/windows-smoke.sh): the posix
# MinGW-w64 compilers, the host Qt tools of the same version, Qt's Chinese translation, Wine on a virtual X
# screen, and what the smoke test drives and photographs the window with, reads the clipboard with (xclip), generates
# its Chinese locale with, locks a folder with (chattr) and serves its loopback web page with (python3); makensis for
# the installer.
TESSALY_WINDOWS_PACKAGES=(
    cmake ninja-build dpkg-dev xz-utils
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine64 xvfb xauth xdotool xclip x11-utils imagemagick fonts-noto-cjk locales zip e2fsprogs python3
    nsis
)

tessaly_install_deps() {
    local missing=()
    local pkg
    for pkg in "${TESSALY_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Downloads the Debian source package PACKAGE=VERSION into DIR through an apt configuration of its own (the deb-src
# twin of the machine's sources), so that the system's apt setup stays as it is.
tessaly_fetch_debian_source() {
    local package=$1 dir=$2
    local apt_dir="$dir/apt"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$apt_dir/parts/debian-src.sources"
    else
        cat >"$apt_dir/parts/debian-src.sources" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    fi
    local apt_options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/parts"
        -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
    apt-get "${apt_options[@]}" -qq update
    (cd "$dir" && apt-get "${apt_options[@]}" source --download-only "$package" >/dev/null)
}

tessaly_build() {
    local dir=$1
    shift
    cmake -S "$TESSALY_ROOT" -B "$dir" -G Ninja "$@"
    cmake --build "$dir"
}
