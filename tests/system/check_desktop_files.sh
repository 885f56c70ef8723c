#!/usr/bin/env bash
# The menu entry passes desktop-file-validate and the AppStream metainfo passes appstreamcli validate (strict:
# nothing above pedantic hints), both without network access.
# Usage: check_desktop_files.sh DESKTOP_FILE METAINFO_FILE
source "$(dirname "$0")/common.sh"
desktop=$1
metainfo=$2

need_tool desktop-file-validate desktop-file-utils
need_tool appstreamcli appstream

if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then
    pass "desktop-file-validate $(basename "$desktop")"
else
    fail "desktop-file-validate $(basename "$desktop"):"
    echo "$out" >&2
fi

if out=$(appstreamcli validate --no-net --strict "$metainfo" 2>&1); then
    pass "appstreamcli validate --no-net --strict $(basename "$metainfo")"
else
    fail "appstreamcli validate $(basename "$metainfo"):"
fi
echo "$out"
finish
