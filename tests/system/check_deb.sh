#!/usr/bin/env bash
# `cpack -G DEB` makes a package with the right files and Depends that this machine satisfies; unpacked, the
# program starts and quits, and as a user who cannot write /usr/bin it keeps its data in ~/.local/share.
# With TESSALY_DEB_INSTALL=1 or under CI (as root, when no tessaly package is installed yet) the package is
# also installed with dpkg -i, started from /usr/bin and removed again.
# Usage: check_deb.sh BUILD_DIR SOURCE_DIR APP_ID VERSION
source "$(dirname "$0")/common.sh"
build=$1
source_dir=$2
app_id=$3
version=$4

need_tool cpack cmake
need_tool dpkg-deb dpkg
make_work_dir

# In a folder of its own, so that nothing lands in the build tree.
if ! (cd "$WORK" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$WORK/out") >"$WORK/cpack.log" 2>&1; then
    cat "$WORK/cpack.log" >&2
    echo "FAIL: cpack -G DEB failed" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
deb=$WORK/out/tessaly_${version}_${arch}.deb
if [ ! -f "$deb" ]; then
    ls -l "$WORK/out" >&2
    echo "FAIL: no package $(basename "$deb")" >&2
    exit 1
fi
pass "cpack -G DEB made $(basename "$deb") ($(stat -c %s "$deb") bytes)"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "tessaly" ] && pass "Package: tessaly" || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] && pass "Version: $version" || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = "$arch" ] && pass "Architecture: $arch" || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
echo "   Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libglib2.0-0 qt6-translations-l10n; do
    case ", $depends" in
    *", $lib"[\ ,]* | *", $lib") pass "depends on $lib" ;;
    *) fail "Depends lacks $lib" ;;
    esac
done

# Every dependency is installed here in a version that satisfies it, so the package would install.
IFS=',' read -ra clauses <<<"$depends"
for clause in "${clauses[@]}"; do
    satisfied=0
    IFS='|' read -ra alternatives <<<"$clause"
    for alternative in "${alternatives[@]}"; do
        name=$(echo "$alternative" | sed 's/(.*//; s/ //g')
        relation=$(echo "$alternative" | sed -n 's/.*(\s*\([<>=]*\)\s*\([^)]*\)).*/\1 \2/p')
        installed=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null || true)
        [ -n "$installed" ] || installed=$(dpkg-query -W -f='${Version}' "$name:$arch" 2>/dev/null || true)
        [ -n "$installed" ] || continue
        if [ -z "$relation" ]; then
            satisfied=1
        else
            # shellcheck disable=SC2086
            set -- $relation
            op=$1
            case $op in '>=') op=ge ;; '<=') op=le ;; '>>') op=gt ;; '<<') op=lt ;; '=') op=eq ;; esac
            dpkg --compare-versions "$installed" "$op" "$2" && satisfied=1
        fi
    done
    clause=$(echo "$clause" | sed 's/^ *//')
    [ $satisfied -eq 1 ] && pass "dependency satisfied: $clause" || fail "dependency not satisfied here: $clause"
done

listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for file in usr/bin/tessaly usr/share/applications/$app_id.desktop usr/share/metainfo/$app_id.metainfo.xml \
    usr/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/$app_id.png; do
    grep -qx "\./$file" <<<"$listing" && pass "package holds /$file" || fail "package lacks /$file"
done

# Unpacked into a temporary root: the packaged program starts and quits.
root=$WORK/root
dpkg-deb -x "$deb" "$root"
chmod 755 "$root"
cp -r "$source_dir/examples/Favorites" "$WORK/Favorites"
chmod -R a+rX "$WORK/Favorites"
home=$WORK/home
mkdir -p "$home" && mkdir -m 700 "$home/runtime"
start_and_quit "the packaged program" "$root/usr/bin/tessaly" "$home" "$WORK/Favorites"

as_user=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    home=$WORK/home-nobody
    mkdir -p "$home" && chown nobody "$home"
    "${as_user[@]}" mkdir -m 700 "$home/runtime"
    start_and_quit "the packaged program as nobody" "$root/usr/bin/tessaly" "$home" "$WORK/Favorites" "${as_user[@]}"
    [ -d "$home/.local/share/Tessaly" ] && pass "as nobody, the data folder is ~/.local/share/Tessaly" ||
        fail "as nobody, no data folder ~/.local/share/Tessaly"
fi

# A real installation, only where it is safe: as root, asked for, and no tessaly package there already.
if [ "${TESSALY_DEB_INSTALL:-}" = "1" ] || [ "${CI:-}" = "true" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "NOTE: dpkg -i skipped: not root"
    elif dpkg-query -W tessaly >/dev/null 2>&1; then
        echo "NOTE: dpkg -i skipped: a tessaly package is already installed on this machine"
    else
        trap 'dpkg -r tessaly >/dev/null 2>&1 || true; rm -rf "$WORK"' EXIT
        if dpkg -i "$deb" >"$WORK/dpkg.log" 2>&1; then
            pass "dpkg -i installed the package"
            [ "$(dpkg-query -W -f='${Status}' tessaly)" = "install ok installed" ] && pass "dpkg: install ok installed" ||
                fail "dpkg status is '$(dpkg-query -W -f='${Status}' tessaly)'"
            [ "$(command -v tessaly)" = "/usr/bin/tessaly" ] && pass "tessaly is on the PATH" ||
                fail "tessaly is not /usr/bin/tessaly on the PATH"
            if [ ${#as_user[@]} -gt 0 ]; then
                home=$WORK/home-installed
                mkdir -p "$home" && chown nobody "$home"
                "${as_user[@]}" mkdir -m 700 "$home/runtime"
                start_and_quit "the installed package as nobody" /usr/bin/tessaly "$home" "$WORK/Favorites" \
                    "${as_user[@]}"
                [ -d "$home/.local/share/Tessaly" ] && pass "installed under /usr: data in ~/.local/share/Tessaly" ||
                    fail "installed under /usr, yet no data folder ~/.local/share/Tessaly"
            else
                home=$WORK/home-installed
                mkdir -p "$home" && mkdir -m 700 "$home/runtime"
                start_and_quit "the installed package" /usr/bin/tessaly "$home" "$WORK/Favorites"
            fi
        else
            cat "$WORK/dpkg.log" >&2
            fail "dpkg -i failed"
        fi
        if dpkg -r tessaly >"$WORK/dpkg-r.log" 2>&1 && [ ! -e /usr/bin/tessaly ]; then
            pass "dpkg -r removed it again"
        else
            cat "$WORK/dpkg-r.log" >&2
            fail "dpkg -r did not remove the package"
        fi
    fi
else
    echo "NOTE: dpkg -i not tried (set TESSALY_DEB_INSTALL=1 as root to install, start and remove the package)"
fi
finish
