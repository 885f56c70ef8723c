#!/usr/bin/env bash
# tst_datafolder skips its read-only folder case for the superuser, who may write anywhere. As root, this runs
# the same test binary as nobody, where the case does run and must pass.
# Usage: check_datafolder_unprivileged.sh TST_DATAFOLDER_BINARY
source "$(dirname "$0")/common.sh"
binary=$1

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: not root; tst_datafolder itself runs the read-only case for this user"
    exit 77
fi
need_tool setpriv util-linux
make_work_dir
# A copy in a folder that nobody can reach (the build tree may not be).
cp "$binary" "$WORK/tst_datafolder"
chmod 755 "$WORK/tst_datafolder"
mkdir -m 1777 "$WORK/tmp"
status=0
(cd "$WORK/tmp" && env -i PATH=/usr/bin:/bin HOME="$WORK/tmp" TMPDIR="$WORK/tmp" LANG=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen setpriv --reuid=nobody --regid=nogroup --clear-groups "$WORK/tst_datafolder") \
    >"$WORK/out.txt" 2>&1 || status=$?
cat "$WORK/out.txt"
[ $status -eq 0 ] && pass "tst_datafolder passes as nobody" || fail "tst_datafolder as nobody: status $status"
grep -q '^PASS   : TestDataFolder::readOnlyFolderUsesUserFolder()' "$WORK/out.txt" &&
    pass "the read-only folder case ran and passed" || fail "the read-only folder case did not pass"
finish
