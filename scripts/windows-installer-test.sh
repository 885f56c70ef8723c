#!/usr/bin/env bash
# Test of the Windows installer under Wine on a virtual X screen, as a Chinese Windows user installs, upgrades and
# removes Tessaly:
#
#   scripts/windows-installer-test.sh [--screenshot FILE] [INSTALLER]
#
# INSTALLER     the installer to test (default: build-windows/tessaly-<version>-setup.exe, made by
#               scripts/build-windows.sh from build-windows/Tessaly)
# --screenshot  where the picture of the installer's first page goes (default: build-windows/windows-installer.png;
#               the README's docs/windows-installer.png is taken with --screenshot docs/windows-installer.png)
#
# In a fresh 64-bit Wine prefix in the Chinese ANSI code page (936), without Mono or Gecko, with Wine's menu
# builder off and HOME a folder of the test (nothing is written into the real home):
#  1. the installer opens its first page in Chinese (the screenshot);
#  2. an older version, built here with scripts/make-installer.sh from the same program folder plus a file of its
#     own, installs silently (/S) without any prompt: its files in %LOCALAPPDATA%\Programs\Tessaly beside the
#     marker tessaly.installed and uninstall.exe, the Start-menu shortcut to tessaly.exe, the entry under
#     HKCU\...\Uninstall\Tessaly;
#  3. Tessaly started through that shortcut shows its window and saves data.txt (保存检测结果) in
#     %APPDATA%\Tessaly, nothing in its install folder; while it runs, the installer and the uninstaller refuse
#     (exit status 2) and change nothing;
#  4. the version under test installs over it silently with /DESKTOP: exactly its own files are there, the older
#     version's own file and folder are gone, the entry says the new version, the desktop shortcut is there, and
#     the user's data.txt and backup are untouched;
#  5. its uninstaller, run silently (it returns at once; the test waits for Wine to be idle), removes the program's
#     files, shortcuts and entry: nothing of the program is left in the profile or in HKCU\Software, and the
#     user's data is as it was;
#  6. installed silently into a folder that holds another program (/D=C:\常用工具, with that program's own
#     uninstall.exe, a stand-in that notes each run), Tessaly goes into C:\常用工具\Tessaly and the other program's
#     uninstall.exe is not run and none of its files is replaced or deleted; a folder whose Tessaly folder holds
#     something too is refused (status 4) and stays as it was;
#  7. installed silently into new nested folders (/D=C:\我的 程序\收藏夹 工具), the install in C:\常用工具\Tessaly goes and
#     leaves the other program as it was; uninstalled, both folders the install made are gone.
#
# The licence page is read too (tests/windows/wine_probe.cpp lists its controls): the button it names in brackets is
# the one it shows.
#
# The work folder is build-windows/installer-test. Exit status 0 when every check passed.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")/.." && pwd)

screenshot=$TESSALY_ROOT/build-windows/windows-installer.png
if [ "${1:-}" = "--screenshot" ]; then
    screenshot=$(realpath -m "$2")
    shift 2
fi
version=$(sed -n 's/^project(Tessaly VERSION \([0-9.]*\).*/\1/p' "$TESSALY_ROOT/CMakeLists.txt")
installer=$(realpath "${1:-$TESSALY_ROOT/build-windows/tessaly-$version-setup.exe}")
program=$TESSALY_ROOT/build-windows/Tessaly
icon=${TESSALY_HOST_BUILD:-$TESSALY_ROOT/build}/tools/icons/tessaly.ico
for needed in "$installer" "$program/tessaly.exe" "$icon"; do
    [ -f "$needed" ] || { echo "windows-installer-test: no $needed (run scripts/build-windows.sh)" >&2; exit 2; }
done

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
work=${TESSALY_INSTALLER_TEST_DIR:-$TESSALY_ROOT/build-windows/installer-test}
old_version=0.0.1
main_window='^Tessaly\(2005版\)$'

failures=0
# Indented, to stand under the FAIL line it explains; never fails itself (diff and ls do when they have news).
show() { sed 's/^/   /' || true; }
pass() { echo "PASS $*"; }
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

started=$SECONDS
rm -rf "$work"
mkdir -p "$work/home"

# shellcheck source=wine-desktop.sh
source "$TESSALY_ROOT/scripts/wine-desktop.sh"
# shellcheck source=wine-prefix.sh
source "$TESSALY_ROOT/scripts/wine-prefix.sh"
tessaly_make_zh_locale "$work/locale"
wine() { env LOCPATH="$work/locale" LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 "$WINE" "$@"; }
# Wine links the profile's Desktop and Documents into HOME, and its menu builder would write .desktop files there.
export HOME=$work/home WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Waits until every Wine process has ended (the uninstaller's copy of itself among them); after 60 s ends them
# and fails.
wine_idle() {
    timeout 60 "$WINESERVER" -w && return 0
    "$WINESERVER" -k 2>/dev/null || true
    return 1
}

xvfb_pid=
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
tessaly_start_xvfb "$work" || exit 1
xvfb_pid=$tessaly_xvfb_pid

echo "== Wine prefix $WINEPREFIX (zh_CN.UTF-8, DISPLAY=$DISPLAY, HOME=$HOME)"
tessaly_make_wine_prefix wine "$WINESERVER" "$work/wineboot.log" || exit 1
drive_c=$WINEPREFIX/drive_c
# A folder named by an environment variable of the prefix (%APPDATA%), and a Windows path as a Linux one.
windows_folder() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
unix_path() { wine winepath -u "$1" 2>/dev/null | tr -d '\r' | sed 's:/$::'; }
profile=$(unix_path "$(windows_folder USERPROFILE)")
appdata=$(unix_path "$(windows_folder APPDATA)")
install_dir_win="$(windows_folder LOCALAPPDATA)\Programs\Tessaly"
install_dir=$(unix_path "$install_dir_win")
[ -d "$profile" ] && [ -d "$appdata" ] && [ -n "$install_dir" ] ||
    { echo "windows-installer-test: no profile folders ($profile, $appdata, $install_dir)" >&2; exit 1; }
start_menu_link="$appdata/Microsoft/Windows/Start Menu/Programs/Tessaly.lnk"
desktop_link=$profile/Desktop/Tessaly.lnk
data_dir=$appdata/Tessaly
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly'

# A Favorites folder of one favorite, named in the registry as on Windows; the program only lists it.
mkdir -p "$drive_c/收藏夹"
printf '[InternetShortcut]\r\nURL=http://127.0.0.1:9/\r\n' >"$drive_c/收藏夹/示例.url"
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v Favorites /t REG_SZ \
    /d 'C:\收藏夹' /f >/dev/null 2>&1
expected_data=$(printf 'C:\\收藏夹|示例.url||||\r\n' | iconv -f UTF-8 -t GBK | od -An -tx1)

# What xdotool cannot tell: the texts of native controls, the clipboard; and a stand-in for another program.
probe=$TESSALY_ROOT/build-windows/wine_probe.exe
tessaly_build_wine_probe "$probe" || { echo "windows-installer-test: cannot build $probe" >&2; exit 1; }

# --- 1. The first page --------------------------------------------------------------------------------------
echo "== the installer's first page"
wine "$installer" >"$work/setup-window.log" 2>&1 &
setup_pid=$!
page=$(wait_for_window '^Tessaly [0-9.]+ 安装')
if [ -n "$page" ]; then
    pass "the installer opened its wizard \"$(xdotool getwindowname "$page")\" without any prompt"
    sleep 2 # its controls are drawn after the window appears
    mkdir -p "$(dirname "$screenshot")"
    import -window "$page" "$screenshot"
    echo "   screenshot: $screenshot"
    # The licence page names its button in brackets with its access key, [我接受(I)] for the button 我接受(&I) (a key
    # such as [PgDn] is no button).
    wine "$probe" texts "Tessaly $version 安装" >"$work/licence-page.txt" 2>/dev/null || true
    named=$(grep -o '\[[^]]*([A-Z])[^]]*\]' "$work/licence-page.txt" | tr -d '[]' | sort -u)
    buttons=$(sed -n 's/^Button\t//p' "$work/licence-page.txt" | tr -d '&')
    missing=$(while IFS= read -r name; do
        [ -z "$name" ] || grep -qxF "$name" <<<"$buttons" || echo "[$name]"
    done <<<"$named")
    if [ -n "$named" ] && [ -z "$missing" ]; then
        pass "the licence page names its button as it reads: $(echo "$named" | sed 's/.*/[&]/' | tr '\n' ' ')"
    else
        fail "the licence page names ${missing:-no button} while its buttons read $(echo "$buttons" | tr '\n' ' ')"
        show <"$work/licence-page.txt"
    fi
else
    fail "no installer window titled \"Tessaly $version 安装\" appeared within 30 s"
fi
kill "$setup_pid" 2>/dev/null || true
wait "$setup_pid" 2>/dev/null || true
"$WINESERVER" -k 2>/dev/null || true
wine_idle || true

# --- What is there before any install -----------------------------------------------------------------------
# The profile's files and folders, and HKCU\Software as reg export writes it (UTF-16).
list_profile() { (cd "$profile" && find . -mindepth 1 | LC_ALL=C sort); }
# Right after an uninstall Wine may still be writing the registry, and reg export then fails now and again: it is
# asked again once Wine is idle, a few times, before that counts as a failure.
export_software() {
    for _ in 1 2 3 4 5; do
        rm -f "$work/software.reg"
        wine_idle || true
        wine reg export 'HKCU\Software' "Z:$(echo "$work/software.reg" | tr / '\\')" /y >>"$work/reg-export.log" 2>&1 || true
        wine_idle || true
        [ -s "$work/software.reg" ] && break
    done
    if [ ! -s "$work/software.reg" ]; then
        fail "reg export of HKCU\\Software wrote nothing (5 attempts; see $work/reg-export.log)" >&2
        return 0
    fi
    iconv -f UTF-16 -t UTF-8 "$work/software.reg" | tr -d '\r'
}
list_profile >"$work/profile-before.txt"
export_software >"$work/software-before.txt"

# Every file under a folder with its checksum: the user's data as it must stay.
fingerprint() { [ ! -d "$1" ] || (cd "$1" && find . -type f -exec sha256sum {} + | LC_ALL=C sort -k2); }
# The files a copy of program lays out, plus what the installer adds beside them.
expected_files() {
    { (cd "$1" && find . -type f); echo ./tessaly.installed; echo ./uninstall.exe; } | LC_ALL=C sort
}
installed_files() { [ ! -d "$install_dir" ] || (cd "$install_dir" && find . -type f | LC_ALL=C sort); }

# The target path, the description and the working folder of a shell link, one per line.
read_link() {
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
flags = struct.unpack_from('<I', data, 20)[0]
pos = 76
if flags & 0x1:  # HasLinkTargetIDList
    pos += 2 + struct.unpack_from('<H', data, pos)[0]
target = ''
if flags & 0x2:  # HasLinkInfo: LocalBasePath in the ANSI code page
    size, _, info_flags, _, local = struct.unpack_from('<5I', data, pos)
    if info_flags & 0x1:
        target = data[pos + local:data.index(b'\0', pos + local)].decode('gbk')
    pos += size
strings = []
for bit in (0x4, 0x8, 0x10):  # name (description), relative path, working folder
    if flags & bit:
        n = struct.unpack_from('<H', data, pos)[0]
        unit = 2 if flags & 0x80 else 1
        raw = data[pos + 2:pos + 2 + unit * n]
        strings.append(raw.decode('utf-16-le' if unit == 2 else 'gbk').rstrip('\0'))
        pos += 2 + unit * n
    else:
        strings.append('')
print(target)
print(strings[0])
print(strings[2])
PY
}
check_link() {
    local link=$1 what=$2 expected
    expected=$(printf '%s\n%s\n%s' "$install_dir_win\\tessaly.exe" 收藏夹死链检测 "$install_dir_win")
    if [ ! -f "$link" ]; then
        fail "$what: no $link"
    elif [ "$(read_link "$link" | tr '[:upper:]' '[:lower:]')" = "$(echo "$expected" | tr '[:upper:]' '[:lower:]')" ]; then
        pass "$what points at tessaly.exe in its folder, with the comment 收藏夹死链检测"
    else
        fail "$what: $(read_link "$link" | tr '\n' ' ')"
    fi
}
# reg writes in the console code page (936).
registry_value() {
    wine reg query "$uninstall_key" /v "$1" 2>/dev/null | iconv -f GBK -t UTF-8 | tr -d '\r' |
        sed -n "s/^ *$1 *REG_[A-Z]* *//p"
}
check_entry() {
    local what=$1 expected_version=$2 name
    for name in DisplayName DisplayVersion Publisher DisplayIcon InstallLocation UninstallString \
        QuietUninstallString EstimatedSize; do
        [ -n "$(registry_value "$name")" ] || fail "$what: the entry has no $name"
    done
    [ "$(registry_value DisplayVersion)" = "$expected_version" ] &&
        [ "$(registry_value InstallLocation)" = "$install_dir_win" ] &&
        [ "$(registry_value QuietUninstallString)" = "\"$install_dir_win\\uninstall.exe\" /S" ] &&
        pass "$what: the entry under $uninstall_key names version $expected_version, the folder and the quiet uninstall" ||
        fail "$what: the entry says version '$(registry_value DisplayVersion)' in '$(registry_value InstallLocation)'"
}

# --- 2. An older version, installed silently ----------------------------------------------------------------
echo "== version $old_version, with a file of its own, installed silently"
cp -r "$program" "$work/old-program"
mkdir -p "$work/old-program/imageformats"
echo "only in $old_version" >"$work/old-program/imageformats/qold.dll"
"$TESSALY_ROOT/scripts/make-installer.sh" "$work/old-program" "$old_version" "$icon" \
    "$work/tessaly-$old_version-setup.exe" zlib
status=0
wine "$work/tessaly-$old_version-setup.exe" /S || status=$?
wine_idle || fail "old version: Wine was still busy after 60 s"
[ $status -eq 0 ] && pass "old version: /S installed with status 0" || fail "old version: /S ended with status $status"
expected_files "$work/old-program" >"$work/expected-old.txt"
installed_files >"$work/installed-old.txt"
diff "$work/expected-old.txt" "$work/installed-old.txt" >/dev/null &&
    pass "old version: its files, tessaly.installed and uninstall.exe are in %LOCALAPPDATA%\\Programs\\Tessaly" ||
    { fail "old version: the install folder holds other files"; { diff "$work/expected-old.txt" "$work/installed-old.txt" || true; } | show; }
check_link "$start_menu_link" "old version: the Start-menu shortcut"
[ ! -e "$desktop_link" ] && pass "old version: no desktop shortcut without /DESKTOP" ||
    fail "old version: a desktop shortcut although it was not asked for"
check_entry "old version" "$old_version"

# --- 3. Started through the shortcut ------------------------------------------------------------------------
echo "== Tessaly started through the Start-menu shortcut"
wine start /unix "$start_menu_link" >"$work/program.log" 2>&1
window=$(wait_for_window "$main_window")
if [ -z "$window" ]; then
    fail "no window titled Tessaly(2005版) appeared"
    "$WINESERVER" -k 2>/dev/null || true
else
    pass "the window \"$(xdotool getwindowname "$window")\" appeared"
    sleep 3 # the table loads through its timers
    # 保存检测结果, once the load has let it be
    tessaly_click_until "$window" 3 test -s "$data_dir/data.txt" || true
    sleep 0.5 # let the writer finish
    if [ "$(od -An -tx1 "$data_dir/data.txt" 2>/dev/null)" = "$expected_data" ]; then
        pass "保存检测结果 wrote data.txt in %APPDATA%\\Tessaly (code page 936, CR LF)"
    else
        fail "保存检测结果 wrote no data.txt as expected in $data_dir"
        { ls -la "$data_dir" 2>&1 || true; } | show
    fi
    installed_files >"$work/installed-running.txt"
    diff "$work/installed-old.txt" "$work/installed-running.txt" >/dev/null &&
        pass "the running program wrote nothing in its install folder" ||
        { fail "the running program wrote in its install folder"; { diff "$work/installed-old.txt" "$work/installed-running.txt" || true; } | show; }

    # The user's backup of the Favorites folder, as 备份收藏夹 leaves it.
    mkdir -p "$data_dir/data"
    cp "$drive_c/收藏夹/示例.url" "$data_dir/data/"

    status=0
    wine "$installer" /S || status=$?
    [ $status -eq 2 ] && pass "while Tessaly runs, the installer refuses (status 2)" ||
        fail "while Tessaly runs, the installer ended with status $status"
    status=0
    wine "$install_dir_win\\uninstall.exe" /S "_?=$install_dir_win" || status=$?
    [ $status -eq 2 ] && pass "while Tessaly runs, the uninstaller refuses (status 2)" ||
        fail "while Tessaly runs, the uninstaller ended with status $status"
    installed_files >"$work/installed-refused.txt"
    diff "$work/installed-old.txt" "$work/installed-refused.txt" >/dev/null &&
        [ "$(registry_value DisplayVersion)" = "$old_version" ] &&
        pass "the refusing installer and uninstaller changed nothing" ||
        fail "the refusing installer or uninstaller changed the install"

    tessaly_click_toolbar "$window" 8 # 退出程序
    for _ in $(seq 40); do
        xdotool search --onlyvisible --name "$main_window" >/dev/null 2>&1 || break
        sleep 0.5
    done
    wine_idle && pass "退出程序 ended the program" || fail "the program did not end"
fi
fingerprint "$data_dir" >"$work/user-data.txt"

# --- 4. The upgrade -----------------------------------------------------------------------------------------
echo "== version $version installed over it silently, with /DESKTOP"
upgrade_started=$SECONDS
status=0
wine "$installer" /S /DESKTOP || status=$?
wine_idle || fail "upgrade: Wine was still busy after 60 s"
[ $status -eq 0 ] && pass "upgrade: /S /DESKTOP installed with status 0 in $((SECONDS - upgrade_started)) s" ||
    fail "upgrade: ended with status $status"
expected_files "$program" >"$work/expected-new.txt"
installed_files >"$work/installed-new.txt"
diff "$work/expected-new.txt" "$work/installed-new.txt" >/dev/null &&
    [ ! -e "$install_dir/imageformats" ] &&
    pass "upgrade: exactly the new version's files are there; the old version's own file and folder are gone" ||
    { fail "upgrade: the install folder is not the new version's"; { diff "$work/expected-new.txt" "$work/installed-new.txt" || true; } | show; }
cmp -s "$program/tessaly.exe" "$install_dir/tessaly.exe" && pass "upgrade: tessaly.exe is the new one" ||
    fail "upgrade: tessaly.exe is not the one of the program folder"
check_entry "upgrade" "$version"
check_link "$start_menu_link" "upgrade: the Start-menu shortcut"
check_link "$desktop_link" "upgrade: the desktop shortcut asked for with /DESKTOP"
fingerprint "$data_dir" | diff "$work/user-data.txt" - >/dev/null &&
    pass "upgrade: the user's data.txt and backup are untouched" || fail "upgrade: the user's data changed"

# --- 5. The uninstall ---------------------------------------------------------------------------------------
echo "== silent uninstall"
status=0
wine "$install_dir_win\\uninstall.exe" /S || status=$?
# The uninstaller runs a copy of itself from %TEMP% and returns at once.
wine_idle || fail "uninstall: Wine was still busy after 60 s"
[ $status -eq 0 ] && pass "uninstall: /S started with status 0" || fail "uninstall: ended with status $status"
[ ! -e "$install_dir" ] && [ ! -e "$start_menu_link" ] && [ ! -e "$desktop_link" ] &&
    pass "uninstall: the install folder and both shortcuts are gone" ||
    fail "uninstall: left $(ls -d "$install_dir" "$start_menu_link" "$desktop_link" 2>/dev/null | tr '\n' ' ')"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "uninstall: the entry $uninstall_key is still there" ||
    pass "uninstall: the entry under HKCU is gone"
fingerprint "$data_dir" | diff "$work/user-data.txt" - >/dev/null &&
    pass "uninstall: the user's data.txt and backup in %APPDATA%\\Tessaly are untouched" ||
    fail "uninstall: the user's data changed"

# Left in the profile: only the user's data, %LOCALAPPDATA%\Programs (the per-user program folder of Windows) and
# the empty folder in %TEMP% that the uninstaller ran from (it cannot remove the folder it runs in).
list_profile >"$work/profile-after.txt"
LC_ALL=C comm -13 "$work/profile-before.txt" "$work/profile-after.txt" |
    grep -v -e '^\./AppData/Roaming/Tessaly\(/\|$\)' -e '^\./AppData/Local/Programs$' |
    while IFS= read -r left; do
        [[ "$left" == ./Temp/~nsu*.tmp && -z "$(ls -A "$profile/$left")" ]] || echo "$left"
    done >"$work/profile-left.txt"
[ ! -s "$work/profile-left.txt" ] && pass "uninstall: nothing of the program is left in the profile" ||
    { fail "uninstall: left in the profile:"; show <"$work/profile-left.txt"; }
export_software >"$work/software-after.txt"
diff "$work/software-before.txt" "$work/software-after.txt" | grep '^>' >"$work/software-left.txt" || true
grep -qi -e tessaly -e 'Programs\\\\Tessaly' "$work/software-left.txt" &&
    { fail "uninstall: left in HKCU\\Software:"; show <"$work/software-left.txt"; } ||
    pass "uninstall: nothing of the program is left in HKCU\\Software"
[ -z "$(find "$HOME" -name '*.desktop' -o -name '*.menu')" ] &&
    pass "no menu files were written into HOME" || fail "menu files were written into HOME"

# --- 6. A folder that holds another program -------------------------------------------------------------------
# Runs an installer with its arguments as typed at a prompt: /D= last and unquoted, blanks and all (wine would quote an
# argument with a blank, and the installer would not read it), through a batch file in the console code page (936).
# Sets status.
run_setup() {
    local setup=$1
    shift
    printf '@echo off\r\n"%s" %s\r\nexit /b %%errorlevel%%\r\n' "$(wine winepath -w "$setup" 2>/dev/null | tr -d '\r')" \
        "$*" | iconv -f UTF-8 -t GBK >"$drive_c/setup-args.bat"
    status=0
    wine cmd /c 'C:\setup-args.bat' || status=$?
    wine_idle || fail "Wine was still busy 60 s after the installer ended"
}
# Another program's uninstaller: the probe as its stand-in notes every run in this file.
stand_in_log=$work/stand-in-runs.txt
TESSALY_STAND_IN_LOG=$(wine winepath -w "$stand_in_log" 2>/dev/null | tr -d '\r')
export TESSALY_STAND_IN_LOG
stand_in_not_run() {
    [ ! -e "$stand_in_log" ] && pass "$1: no other program's uninstall.exe was run" ||
        { fail "$1: another program's uninstall.exe was run:"; show <"$stand_in_log"; }
}
# The files of a folder with their checksums, less those of its folder Tessaly.
fingerprint_without_tessaly() { fingerprint "$1" | grep -v '  \./Tessaly/' || true; }

echo "== installed silently into a folder that holds another program: /D=C:\\常用工具"
other=$drive_c/常用工具
mkdir -p "$other/数据"
cp "$probe" "$other/uninstall.exe"
echo '另一个程序' >"$other/工具.exe"
echo 'setting=1' >"$other/数据/设置.ini"
fingerprint "$other" >"$work/other-before.txt"
run_setup "$installer" /S '/D=C:\常用工具'
[ $status -eq 0 ] && pass "another program's folder: /S installed with status 0" ||
    fail "another program's folder: ended with status $status"
stand_in_not_run "another program's folder"
fingerprint_without_tessaly "$other" | diff "$work/other-before.txt" - >/dev/null &&
    pass "another program's folder: none of its files was replaced or deleted" ||
    { fail "another program's folder: its files changed"; { fingerprint_without_tessaly "$other" | diff "$work/other-before.txt" - || true; } | show; }
install_dir_win='C:\常用工具\Tessaly'
install_dir=$other/Tessaly
installed_files >"$work/installed-other.txt"
diff "$work/expected-new.txt" "$work/installed-other.txt" >/dev/null &&
    pass "another program's folder: Tessaly went into a folder of its own, $install_dir_win" ||
    { fail "another program's folder: $install_dir_win does not hold Tessaly"; ls -la "$other" | show; }
check_entry "another program's folder" "$version"

echo "== a folder whose Tessaly folder holds something too: /D=C:\\工具箱, refused"
taken=$drive_c/工具箱
mkdir -p "$taken/Tessaly"
cp "$probe" "$taken/uninstall.exe"
cp "$probe" "$taken/Tessaly/uninstall.exe"
echo '别的程序' >"$taken/Tessaly/说明.txt"
fingerprint "$taken" >"$work/taken-before.txt"
run_setup "$installer" /S '/D=C:\工具箱'
[ $status -eq 4 ] && pass "a taken folder: the installer refused with status 4" ||
    fail "a taken folder: the installer ended with status $status"
stand_in_not_run "a taken folder"
fingerprint "$taken" | diff "$work/taken-before.txt" - >/dev/null && [ "$(registry_value DisplayVersion)" = "$version" ] &&
    [ "$(registry_value InstallLocation)" = "$install_dir_win" ] &&
    pass "a taken folder: nothing in it changed, and the installed Tessaly stays where it was" ||
    fail "a taken folder: its files or the install changed"

# --- 7. Moved into a new nested folder, then uninstalled --------------------------------------------------------
echo "== moved silently into new nested folders: /D=C:\\我的 程序\\收藏夹 工具"
run_setup "$installer" /S '/D=C:\我的 程序\收藏夹 工具'
[ $status -eq 0 ] && pass "nested folders: /S installed with status 0" || fail "nested folders: ended with status $status"
stand_in_not_run "nested folders"
[ ! -e "$other/Tessaly" ] && fingerprint "$other" | diff "$work/other-before.txt" - >/dev/null &&
    pass "nested folders: the install in C:\\常用工具\\Tessaly is gone, the other program's files are as they were" ||
    { fail "nested folders: C:\\常用工具 is not as it was before Tessaly"; ls -laR "$other" | show; }
install_dir_win='C:\我的 程序\收藏夹 工具'
install_dir=$drive_c/'我的 程序/收藏夹 工具'
installed_files >"$work/installed-nested.txt"
diff "$work/expected-new.txt" "$work/installed-nested.txt" >/dev/null &&
    pass "nested folders: Tessaly is in $install_dir_win" || fail "nested folders: $install_dir_win does not hold Tessaly"
check_entry "nested folders" "$version"
status=0
wine "$install_dir_win\\uninstall.exe" /S || status=$?
wine_idle || fail "nested folders: Wine was still busy 60 s after the uninstall"
[ $status -eq 0 ] && [ ! -e "$drive_c/我的 程序" ] &&
    pass "nested folders: the uninstall removed both folders the install had made" ||
    { fail "nested folders: the uninstall (status $status) left:"; { find "$drive_c/我的 程序" 2>&1 || true; } | show; }
fingerprint "$other" | diff "$work/other-before.txt" - >/dev/null && fingerprint "$taken" | diff "$work/taken-before.txt" - >/dev/null &&
    pass "nested folders: the uninstall left the other programs' folders as they were" ||
    fail "nested folders: the uninstall changed another program's folder"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "nested folders: the entry $uninstall_key is still there" ||
    pass "nested folders: the entry under HKCU is gone"

exit_code=0
[ $failures -eq 0 ] || exit_code=1
echo "windows-installer-test: $failures failed, $((SECONDS - started)) s"
exit $exit_code
