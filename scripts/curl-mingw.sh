#!/usr/bin/env bash
# Builds libcurl for 64-bit Windows with MinGW-w64 from Debian's own curl source package (the version of the
# host's libcurl4-openssl-dev, Debian's patches applied), into a cache folder outside the repository, beside
# the Qt for MinGW:
#
#   scripts/curl-mingw.sh [PREFIX]      (default: ${XDG_CACHE_HOME:-~/.cache}/tessaly/curl-mingw-<version>)
#
# HTTP and HTTPS only, TLS through Windows' own Schannel, names looked up by the threaded resolver, as a DLL
# (libcurl.dll). Does nothing when PREFIX already holds a complete build (.tessaly-complete is written last).
# About 2 minutes on two cores. Prints the prefix on its last line.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=deps.sh
source "$TESSALY_ROOT/scripts/deps.sh"
tessaly_install_deps "${TESSALY_WINDOWS_PACKAGES[@]}"

curl_version=$(dpkg-query -W -f='${Version}' libcurl4-openssl-dev)
prefix=${1:-${TESSALY_CURL_MINGW:-${XDG_CACHE_HOME:-$HOME/.cache}/tessaly/curl-mingw-$curl_version}}
marker="$prefix/.tessaly-complete"
if [ -f "$marker" ]; then
    echo "curl-mingw: libcurl $curl_version for MinGW is ready in $prefix"
    echo "$prefix"
    exit 0
fi

started=$SECONDS
work=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-curl-mingw.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "curl-mingw: fetching Debian's source of curl $curl_version"
tessaly_fetch_debian_source "curl=$curl_version" "$work"
# Unpacked with Debian's patches (its security fixes among them).
dpkg-source --no-check -x "$work"/curl_*.dsc "$work/src" >/dev/null

echo "curl-mingw: configuring"
cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TESSALY_ROOT/cmake/mingw-w64-posix.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=ON -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
    -DHTTP_ONLY=ON -DCURL_DISABLE_LDAP=ON \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_GSSAPI=OFF \
    -DENABLE_THREADED_RESOLVER=ON -DENABLE_ARES=OFF \
    -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF \
    >"$work/configure.log" 2>&1 || {
    tail -50 "$work/configure.log" >&2
    exit 1
}
# The program refuses a libcurl whose look-ups would block; so does this build.
grep -Eq '^#define USE_THREADS_(WIN32|POSIX) 1' "$work/build/lib/curl_config.h" || {
    echo "curl-mingw: the configured libcurl has no threaded resolver" >&2
    exit 1
}

echo "curl-mingw: building"
cmake --build "$work/build" >"$work/build.log" 2>&1 || {
    grep -B5 -A20 'FAILED' "$work/build.log" | head -80 >&2
    exit 1
}
rm -rf "$prefix"
cmake --install "$work/build" >/dev/null
echo "built $(date -u +%FT%TZ) from curl $curl_version in $((SECONDS - started)) s" >"$marker"
echo "curl-mingw: libcurl $curl_version for MinGW built in $((SECONDS - started)) s into $prefix"
echo "$prefix"
