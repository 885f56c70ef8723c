#!/usr/bin/env bash
# `cmake --install` into a temporary root puts every file in its place, the installed tree validates, and the
# installed program starts and quits; run from a folder it cannot write, it uses the user's data folder.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR APP_ID VERSION
source "$(dirname "$0")/common.sh"
build=$1
source_dir=$2
app_id=$3
version=$4
make_work_dir
root=$WORK/root

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$WORK/install.log" 2>&1; then
    cat "$WORK/install.log" >&2
    echo "FAIL: cmake --install failed" >&2
    exit 1
fi

expected=$(
    cat <<LIST | sort
usr/bin/tessaly
usr/share/applications/$app_id.desktop
usr/share/metainfo/$app_id.metainfo.xml
usr/share/icons/hicolor/16x16/apps/$app_id.png
usr/share/icons/hicolor/32x32/apps/$app_id.png
usr/share/icons/hicolor/48x48/apps/$app_id.png
usr/share/icons/hicolor/256x256/apps/$app_id.png
usr/share/doc/tessaly/LICENSE
usr/share/doc/tessaly/README.md
LIST
)
actual=$(cd "$root" && find . -type f | sed 's#^\./##' | sort)
if [ "$actual" = "$expected" ]; then
    pass "installed files are exactly the expected ones"
else
    fail "installed files differ (< expected, > installed):"
    diff <(echo "$expected") <(echo "$actual") >&2 || true
fi

[ -x "$root/usr/bin/tessaly" ] && pass "usr/bin/tessaly is executable" || fail "usr/bin/tessaly is not executable"

for side in 16 32 48 256; do
    icon=$root/usr/share/icons/hicolor/${side}x${side}/apps/$app_id.png
    if [ -f "$icon" ] && [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] &&
        [ "$(png_size "$icon")" = "$side $side" ]; then
        pass "icon ${side}x${side} is a PNG of $side x $side pixels"
    else
        fail "icon ${side}x${side} is missing or not a $side x $side PNG"
    fi
done

desktop=$root/usr/share/applications/$app_id.desktop
entry() { sed -n "s/^$1=//p" "$desktop" | head -1; }
[ "$(entry Exec)" = "tessaly" ] && pass "Exec=tessaly" || fail "Exec is '$(entry Exec)'"
[ "$(entry Icon)" = "$app_id" ] && pass "Icon names the installed icon" || fail "Icon is '$(entry Icon)'"
case ";$(entry Categories)" in
*";Network;"*) pass "category Network" ;;
*) fail "Categories '$(entry Categories)' lack Network" ;;
esac
[ -n "$(entry 'Name\[zh_CN\]')" ] && pass "Chinese name: $(entry 'Name\[zh_CN\]')" || fail "no Name[zh_CN]"
[ -n "$(entry 'Comment\[zh_CN\]')" ] && pass "Chinese comment: $(entry 'Comment\[zh_CN\]')" ||
    fail "no Comment[zh_CN]"

metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
grep -q "<id>$app_id</id>" "$metainfo" && pass "metainfo id is $app_id" || fail "metainfo id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" &&
    pass "metainfo launches $app_id.desktop" || fail "metainfo launchable is not $app_id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" && pass "metainfo names release $version" ||
    fail "metainfo lacks release $version"
cmp -s "$source_dir/LICENSE" "$root/usr/share/doc/tessaly/LICENSE" && pass "LICENSE installed" ||
    fail "LICENSE differs"

if command -v appstreamcli >/dev/null; then
    if appstreamcli validate-tree --no-net --strict "$root/usr" >"$WORK/tree.log" 2>&1; then
        pass "appstreamcli validate-tree on the installed tree"
    else
        fail "appstreamcli validate-tree:"
        cat "$WORK/tree.log" >&2
    fi
fi

# The installed program, started headless on a copy of the demo favorites.
cp -r "$source_dir/examples/Favorites" "$WORK/Favorites"
chmod -R a+rX "$WORK/Favorites"
home=$WORK/home-writable
mkdir -p "$home" && mkdir -m 700 "$home/runtime"
start_and_quit "the installed program (writable folder)" "$root/usr/bin/tessaly" "$home" "$WORK/Favorites"
# Its own folder is writable here: the user's data folder is left alone.
[ ! -e "$home/.local/share/Tessaly" ] && pass "writable program folder: no user data folder made" ||
    fail "writable program folder, yet the user's data folder was made"

home=$WORK/home-readonly
mkdir -p "$home"
if [ "$(id -u)" -eq 0 ]; then
    # The superuser may write anywhere: drop to nobody, for whom the root-owned tree is read-only.
    need_tool setpriv util-linux
    chown nobody "$home"
    setpriv --reuid=nobody --regid=nogroup --clear-groups mkdir -m 700 "$home/runtime"
    start_and_quit "the installed program as nobody (read-only folder)" "$root/usr/bin/tessaly" "$home" \
        "$WORK/Favorites" setpriv --reuid=nobody --regid=nogroup --clear-groups
else
    chmod a-w "$root/usr/bin"
    mkdir -m 700 "$home/runtime"
    start_and_quit "the installed program (read-only folder)" "$root/usr/bin/tessaly" "$home" "$WORK/Favorites"
    chmod u+w "$root/usr/bin"
fi
[ -d "$home/.local/share/Tessaly" ] && pass "read-only program folder: the user's data folder was made" ||
    fail "read-only program folder, yet no user data folder ~/.local/share/Tessaly"
finish
