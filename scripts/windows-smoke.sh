#!/usr/bin/env bash
# Smoke test of the Windows program under Wine on a virtual X screen, as a Chinese Windows user would run it:
#
#   scripts/windows-smoke.sh [--screenshot FILE] [PROGRAM_FOLDER]
#
# PROGRAM_FOLDER   the laid-out program (default: build-windows/Tessaly, made by scripts/build-windows.sh)
# --screenshot     where the picture of the window goes (default: build-windows/windows-wine.png; the README's
#                  docs/windows-wine.png is taken with --screenshot docs/windows-wine.png)
#
# A fresh 64-bit Wine prefix in the Chinese ANSI code page (936), whose registry value "Favorites" under
# HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders names a Favorites folder with a Chinese
# name. That folder holds GBK-encoded Internet shortcuts with Chinese names, in subfolders too, a shell link (.lnk)
# to a folder in a subfolder, and a hidden, a system and a hidden system file (desktop.ini). The program is copied
# into a folder of its own, beside a
# data.txt in code page 936 whose lines use drive-letter paths. Checked from outside: the program starts and
# stays up, its window appears; a click on 开始检测 (the first toolbar button) checks every favorite through
# libcurl (one of them answered by a web server on loopback, the others refused) until the box 检测完毕; a click
# on 保存检测结果 (the third) rewrites data.txt with one line per collected favorite, the results of the check
# and the saved histories merged back, in code page 936 with CR LF; a second copy started from another folder on the
# same Favorites folder says so and ends with status 2; 删除收藏夹无效地址 (the fourth) moves the favorite
# whose four saved checks failed to the Recycle Bin, which Wine keeps in the freedesktop Trash ($XDG_DATA_HOME/Trash,
# here in the work folder), byte for byte, without a message; 备份收藏夹 and, after a change, 还原收藏夹 (the fifth and
# sixth) copy the folder exactly both ways, the favorites the restore replaced going to the Recycle Bin as one folder
# "收藏夹（还原前 …）"; Shift+F10 on the grid opens the menu of the first row, whose 复制地址 puts that favorite's
# address on the clipboard; a click on 退出程序 (the eighth) ends the process with status 0. Killed three times over,
# the program gets in at once at each next start: its locks went with the killed process. Then the same again, without a
# check, with a program folder that the user cannot write to: the results file goes to %APPDATA%\Tessaly instead;
# there the program finds no Recycle Bin (its Trash cannot be made), so 删除收藏夹无效地址 asks first, and Esc (取消)
# leaves the favorite where it is. Last, three favorites whose names GBK cannot write: the save names them for what
# they are (characters the code page cannot save), and data.txt holds no line of theirs.
#
# The work folder is build-windows/smoke (on the repository's file system: Wine keeps the hidden and system
# attributes in extended attributes, which some tmpfs cannot hold). Exit status 0 when every check passed.
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")/.." && pwd)

screenshot=$TESSALY_ROOT/build-windows/windows-wine.png
if [ "${1:-}" = "--screenshot" ]; then
    screenshot=$(realpath -m "$2")
    shift 2
fi
program=$(realpath "${1:-$TESSALY_ROOT/build-windows/Tessaly}")
[ -f "$program/tessaly.exe" ] || { echo "windows-smoke: no tessaly.exe in $program (run scripts/build-windows.sh)" >&2; exit 2; }

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
work=${TESSALY_SMOKE_DIR:-$TESSALY_ROOT/build-windows/smoke}
title='Tessaly(2005版)'
title_pattern='^Tessaly\(2005版\)$' # xdotool takes a regular expression

failures=0
pass() { echo "PASS $*"; }
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

# A folder the program cannot create a file in. As root, whom permissions do not stop, through the immutable flag.
lock_folder() {
    if [ "$(id -u)" -eq 0 ]; then
        chattr +i "$1"
    else
        chmod a-w "$1"
    fi
}
unlock_folder() {
    chattr -i "$1" 2>/dev/null || true
    chmod u+w "$1"
}

started=$SECONDS
if [ -d "$work/prefix/drive_c/Program Files/Tessaly" ]; then
    unlock_folder "$work/prefix/drive_c/Program Files/Tessaly" # left locked by an interrupted run
fi
rm -rf "$work"
mkdir -p "$work"

# shellcheck source=wine-desktop.sh
source "$TESSALY_ROOT/scripts/wine-desktop.sh"
# The Chinese locale, in which Wine's ANSI code page is 936.
tessaly_make_zh_locale "$work/locale"
# Only Wine runs in it (through wine below): the shell and the host tools keep theirs.
wine() { env LOCPATH="$work/locale" LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 "$WINE" "$@"; }
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# Wine's shell puts what is recycled into the freedesktop Trash of $XDG_DATA_HOME: kept in the work folder.
export XDG_DATA_HOME=$work/xdg-data
trash=$XDG_DATA_HOME/Trash
mkdir -p "$XDG_DATA_HOME"
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko: their installers would want the network

xvfb_pid=
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    if [ -d "$work/prefix/drive_c/Program Files/Tessaly" ]; then
        unlock_folder "$work/prefix/drive_c/Program Files/Tessaly"
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

tessaly_start_xvfb "$work" || exit 1
xvfb_pid=$tessaly_xvfb_pid

echo "== Wine prefix $WINEPREFIX (zh_CN.UTF-8, DISPLAY=$DISPLAY)"
# shellcheck source=wine-prefix.sh
source "$TESSALY_ROOT/scripts/wine-prefix.sh"
tessaly_make_wine_prefix wine "$WINESERVER" "$work/wineboot.log" || exit 1
drive_c=$WINEPREFIX/drive_c

acp=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *ACP *REG_SZ *//p')
[ "$acp" = "936" ] && pass "the ANSI code page is 936" || fail "the ANSI code page is '$acp', not 936"

# --- The Favorites folder -------------------------------------------------------------------------------------
favorites_win='C:\测试\收藏夹'
favorites=$drive_c/测试/收藏夹
mkdir -p "$favorites/链接/深层 目录" "$favorites/工作" "$favorites/空文件夹"
# An Internet shortcut as Internet Explorer writes it on a Chinese Windows: code page 936, CR LF.
shortcut() {
    printf '[DEFAULT]\r\nBASEURL=%s\r\n[InternetShortcut]\r\nURL=%s\r\n' "$2" "$2" | iconv -f UTF-8 -t GBK >"$favorites/$1"
}
# One favorite on a web server on loopback, which answers every HEAD (404 is an answer); the others on a loopback
# port where nothing listens. No address leaves the machine.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
web_port=$(free_port)
closed_port=$(free_port)
while [ "$closed_port" = "$web_port" ]; do closed_port=$(free_port); done
mkdir -p "$work/www"
python3 -m http.server "$web_port" --bind 127.0.0.1 --directory "$work/www" >"$work/web.log" 2>&1 &
web_pid=$!
trap 'kill $web_pid 2>/dev/null || true; cleanup' EXIT # replaces the trap above: it ends Wine and Xvfb too
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$web_port") 2>/dev/null && break
    sleep 0.1
done
shortcut '新浪网.url' "http://127.0.0.1:$web_port/新闻"
shortcut '隐藏的收藏.url' "http://127.0.0.1:$closed_port/"
shortcut '系统的收藏.url' "http://127.0.0.1:$closed_port/"
shortcut '链接/百度一下.url' "http://127.0.0.1:$closed_port/"
shortcut '链接/深层 目录/中文网页.url' "http://127.0.0.1:$closed_port/网页"
shortcut '工作/项目文档.url' "http://127.0.0.1:$closed_port/"
# Dead for three saved checks; the check makes it four, and 删除收藏夹无效地址 takes it.
shortcut '死链.url' "http://127.0.0.1:$closed_port/dead"
cp "$favorites/死链.url" "$work/dead.url"
printf '[.ShellClassInfo]\r\nLocalizedResourceName=@shell32.dll,-12693\r\n' >"$favorites/desktop.ini"
# A shell link to the folder C:\windows: the 76-byte header (flag HasLinkInfo, target attribute directory), the
# link information with its volume and local path, and the empty block that ends the file. A plain file like any
# other, it is a row; a listing that takes it for a link to its target leaves it out.
{
    printf 'L\0\0\0\x01\x14\x02\0\0\0\0\0\xc0\0\0\0\0\0\0\x46\x02\0\0\0\x10\0\0\0'
    printf '\0%.0s' $(seq 32)
    printf '\x01\0\0\0'
    printf '\0%.0s' $(seq 12)
    printf '\x39\0\0\0\x1c\0\0\0\x01\0\0\0\x1c\0\0\0\x2d\0\0\0\0\0\0\0\x38\0\0\0'
    printf '\x11\0\0\0\x03\0\0\0\0\0\0\0\x10\0\0\0\0C:\\windows\0\0\0\0\0\0'
} >"$favorites/链接/Windows 文件夹.lnk"
# Wine keeps these attributes in an extended attribute of the file (user.DOSATTRIB).
for change in "+h 隐藏的收藏.url" "+s 系统的收藏.url" "+h desktop.ini" "+s desktop.ini"; do
    wine cmd /c attrib "${change%% *}" "$favorites_win\\${change#* }" >/dev/null 2>&1
done
# cmd writes in the console code page, 936 here.
attributes=$(wine cmd /c attrib "$favorites_win\\*" 2>/dev/null | iconv -f GBK -t UTF-8 | tr -d '\r')
echo "$attributes" | sed 's/^/   /'
has_attribute() { echo "$attributes" | grep "$2\$" | cut -c1-10 | grep -q "$1"; }
has_attribute H 隐藏的收藏.url && has_attribute S 系统的收藏.url && has_attribute H desktop.ini &&
    has_attribute S desktop.ini && ! has_attribute '[HS]' 新浪网.url &&
    pass "the hidden and system attributes are set" || fail "the hidden and system attributes did not take"

wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v Favorites /t REG_SZ \
    /d "$favorites_win" /f >/dev/null 2>&1
"$WINESERVER" -w

# --- The results file before and after a save -----------------------------------------------------------------
# Lines: folder|file name|the four saved results. The first line holds four results, so the save (with no check
# run, every current result empty) shifts it; the second keeps its one result; the line of a favorite that is
# gone and that of the hidden file are dropped.
# The dead favorite's line ends with its fourth saved "NO" in the session without a check, which deletes before it
# saves ($dead_fourth).
data_before='C:\测试\收藏夹|新浪网.url|YES|YES|NO|NO
C:\测试\收藏夹\链接|百度一下.url|NO|||
C:\测试\收藏夹\已删除|旧的收藏.url|NO|NO|NO|NO
C:\测试\收藏夹|隐藏的收藏.url|NO|NO|NO|NO
C:\测试\收藏夹|死链.url|NO|NO|NO|'
data_after='C:\测试\收藏夹\工作|项目文档.url||||
C:\测试\收藏夹\链接\深层 目录|中文网页.url||||
C:\测试\收藏夹\链接|百度一下.url|NO|||
C:\测试\收藏夹\链接|Windows 文件夹.lnk||||
C:\测试\收藏夹|新浪网.url|YES|NO|NO|
C:\测试\收藏夹|死链.url|NO|NO|NO|'
# The same after a check, in which only 新浪网 answered: each line's history gains the check's result.
data_after_check='C:\测试\收藏夹\工作|项目文档.url|NO|||
C:\测试\收藏夹\链接\深层 目录|中文网页.url|NO|||
C:\测试\收藏夹\链接|百度一下.url|NO|NO||
C:\测试\收藏夹\链接|Windows 文件夹.lnk||||
C:\测试\收藏夹|新浪网.url|YES|NO|NO|YES
C:\测试\收藏夹|死链.url|NO|NO|NO|NO'
crlf_gbk() { sed 's/$/\r/' | iconv -f UTF-8 -t GBK; }

# Starts the program in its folder (a Windows path), waits for its window; sets program_pid and window.
start_program() {
    local folder=$1 exe=$2
    ( cd "$folder" && exec env LOCPATH="$work/locale" LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 ${program_env:-} "$WINE" "$exe" ) \
        >"$work/program.log" 2>&1 &
    program_pid=$!
    window=
    for _ in $(seq 120); do
        window=$(xdotool search --onlyvisible --name "$title_pattern" 2>/dev/null | head -1 || true)
        [ -n "$window" ] && break
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.5
    done
}

# Clicks toolbar button n (1-based) of the program's window.
click_button() { tessaly_click_toolbar "$window" "$1"; }
# Clicks 退出程序 (the eighth button) and gives the program 10 s to end; a program that does not is a failure of
# "$1" and is killed. With a second argument ("the program", "the last one"), its exit status must be 0.
exit_program() {
    local what=$1 which=${2:-} status=0
    click_button 8
    for _ in $(seq 40); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.25
    done
    if kill -0 "$program_pid" 2>/dev/null; then
        fail "$what: 退出程序 did not end the program"
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    else
        wait "$program_pid" || status=$?
        if [ -n "$which" ]; then
            [ "$status" -eq 0 ] && pass "$what: 退出程序 ended $which with status 0" ||
                fail "$what: $which ended with status $status"
        fi
    fi
    "$WINESERVER" -w
}
# Clicks toolbar button n, a command that changes data, until the test that follows succeeds (tessaly_click_until).
click_until() { tessaly_click_until "$window" "$@"; }
# Tests for click_until.
is_gone() { [ ! -e "$1" ]; }
differs() { [ -f "$1" ] && ! cmp -s "$1" "$2"; }
window_shown() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; }
restored() { [ -f "$favorites/工作/项目文档.url" ] && [ ! -e "$favorites/新加的.url" ]; }

check_saved() {
    local file=$1 what=$2 expected=$3
    if ! iconv -f GBK -t UTF-8 <"$file" >"$work/saved.utf8" 2>/dev/null; then
        fail "$what: data.txt is not in code page 936"
        return
    fi
    iconv -f UTF-8 -t UTF-8 <"$file" >/dev/null 2>&1 && fail "$what: data.txt is UTF-8, not code page 936" ||
        pass "$what: data.txt is in code page 936 (GBK bytes, not UTF-8)"
    if [ "$(grep -c $'\r$' "$work/saved.utf8")" = "$(wc -l <"$work/saved.utf8")" ]; then
        pass "$what: every line ends in CR LF"
    else
        fail "$what: not every line ends in CR LF"
    fi
    if [ "$(tr -d '\r' <"$work/saved.utf8" | LC_ALL=C sort)" = "$(echo "$expected" | LC_ALL=C sort)" ]; then
        pass "$what: one line per collected favorite (the .lnk file too), drive-letter folders joined by \\, histories kept"
    else
        fail "$what: data.txt is not what was expected"
        echo "   got:"
        tr -d '\r' <"$work/saved.utf8" | sed 's/^/     /'
        echo "   expected (in any order):"
        echo "$expected" | sed 's/^/     /'
    fi
}

# Clicks 开始检测 and waits for the box 检测完毕 at the end of the check, then closes it.
run_check() {
    local what=$1 box=
    local asked_before
    asked_before=$(grep -c '"HEAD ' "$work/web.log" || true)
    click_button 1
    box=$(wait_for_window '^检测$')
    if [ -z "$box" ]; then
        fail "$what: 开始检测 brought no box 检测完毕 within 30 s"
        return
    fi
    pass "$what: 开始检测 checked every favorite through libcurl to the box 检测完毕"
    xdotool key --window "$box" Return
    local asked
    asked=$(grep -c '"HEAD ' "$work/web.log" || true)
    [ $((asked - asked_before)) -eq 1 ] && pass "$what: the web server on loopback was asked once, with HEAD" ||
        fail "$what: the web server on loopback was asked $((asked - asked_before)) times"
    sleep 1
}

# Clicks 备份收藏夹 and waits for its box, changes the Favorites folder, clicks 还原收藏夹 and waits until the folder is
# the backup again; checks that both are exact copies, the hidden and system files and the shell link included.
run_backup_and_restore() {
    local what=$1 backup=$2/data box=
    click_until 5 window_shown '^Tessaly$'
    box=$(wait_for_window '^Tessaly$')
    if [ -z "$box" ]; then
        fail "$what: 备份收藏夹 brought no box within 30 s"
        return
    fi
    xdotool key --window "$box" Return
    diff -r "$favorites" "$backup" >"$work/backup.diff" 2>&1 &&
        pass "$what: 备份收藏夹 copied the whole Favorites folder, hidden and system files and the .lnk included" ||
        { fail "$what: the backup differs from the Favorites folder"; sed 's/^/   /' "$work/backup.diff"; }
    mv "$favorites/工作/项目文档.url" "$work/moved-away.url"
    shortcut '新加的.url' "http://127.0.0.1:$closed_port/new"
    rm -rf "$work/before-restore"
    cp -a "$favorites" "$work/before-restore"
    click_until 6 restored || true
    sleep 1 # the working folders go last
    if diff -r "$favorites" "$backup" >"$work/restore.diff" 2>&1 && [ -z "$(ls -A "$favorites" | grep tessaly-restore)" ]; then
        pass "$what: 还原收藏夹 made the Favorites folder the backup again, and left nothing of its own in it"
    else
        fail "$what: after 还原收藏夹 the Favorites folder is not the backup"
        ls -la "$favorites" | sed 's/^/   /'
        sed 's/^/   /' "$work/restore.diff"
    fi
    local replaced
    replaced=$(find "$trash/files" -maxdepth 1 -name '收藏夹（还原前 *' | head -1)
    # All but the hidden and system entries at the top, which a restore leaves where they are.
    if [ -n "$replaced" ] &&
        diff -r -x 隐藏的收藏.url -x 系统的收藏.url -x desktop.ini "$work/before-restore" "$replaced" \
            >"$work/replaced.diff" 2>&1 &&
        [ -f "$trash/info/$(basename "$replaced").trashinfo" ]; then
        pass "$what: the favorites 还原收藏夹 replaced are in the Recycle Bin (Wine: $trash) as one folder \"$(basename "$replaced")\""
    else
        fail "$what: the favorites 还原收藏夹 replaced are not in the Recycle Bin as one folder"
        ls -la "$trash/files" 2>&1 | sed 's/^/   /'
        [ -f "$work/replaced.diff" ] && sed 's/^/   /' "$work/replaced.diff"
    fi
}

# Clicks 删除收藏夹无效地址: the dead favorite goes to the Recycle Bin, byte for byte, and nothing is said.
run_delete() {
    local what=$1
    click_until 4 is_gone "$favorites/死链.url" || true
    sleep 1
    if [ ! -e "$favorites/死链.url" ] && cmp -s "$work/dead.url" "$trash/files/死链.url" &&
        grep -q '^Path=' "$trash/info/死链.url.trashinfo" 2>/dev/null; then
        pass "$what: 删除收藏夹无效地址 moved the dead favorite to the Recycle Bin (Wine: $trash/files), byte for byte"
    else
        fail "$what: the dead favorite is not in the Recycle Bin"
        ls -la "$favorites" "$trash/files" 2>&1 | sed 's/^/   /'
    fi
    [ -z "$(xdotool search --onlyvisible --name '^删除收藏夹无效地址$' 2>/dev/null)" ] &&
        pass "$what: 删除收藏夹无效地址 said nothing" || fail "$what: 删除收藏夹无效地址 showed a message"
}

# A second copy of the program, in a folder of its own, on the same Favorites folder: it says that the first one is at
# work on it, and ends with status 2 once its box is closed, having written nothing; the first one goes on.
run_second_copy() {
    local what=$1 folder=$drive_c/另一个/Tessaly box second status=0
    mkdir -p "$folder"
    cp -r "$program"/. "$folder/"
    ( cd "$folder" && exec env LOCPATH="$work/locale" LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 "$WINE" \
        'C:\另一个\Tessaly\tessaly.exe' ) >"$work/second.log" 2>&1 &
    second=$!
    box=$(wait_for_window '^Tessaly$')
    [ -n "$box" ] && xdotool key --window "$box" Return
    for _ in $(seq 40); do
        kill -0 "$second" 2>/dev/null || break
        sleep 0.5
    done
    if kill -0 "$second" 2>/dev/null; then
        kill "$second" 2>/dev/null || true
        fail "$what: a second copy on the same Favorites folder did not end"
        return
    fi
    wait "$second" || status=$?
    if [ -n "$box" ] && [ "$status" -eq 2 ] && [ ! -e "$folder/data.txt" ] && kill -0 "$program_pid" 2>/dev/null; then
        pass "$what: a second copy in another folder on the same Favorites folder said so and ended with status 2"
    else
        fail "$what: a second copy on the same Favorites folder: box '${box}', status $status"
    fi
}

# Starts the program in its folder (a Windows path) and waits for its window, or for the box a start says that another
# copy runs in; sets program_pid, window and refused.
start_or_refused() {
    local folder=$1 exe=$2
    ( cd "$folder" && exec env LOCPATH="$work/locale" LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 "$WINE" "$exe" ) \
        >"$work/program.log" 2>&1 &
    program_pid=$!
    window= refused=
    for _ in $(seq 120); do
        window=$(xdotool search --onlyvisible --name "$title_pattern" 2>/dev/null | head -1 || true)
        refused=$(xdotool search --onlyvisible --name '^Tessaly$' 2>/dev/null | head -1 || true)
        [ -n "$window$refused" ] && break
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.5
    done
}

# A copy killed as a crash ends it (SIGKILL to the Wine process), three times over: each next start gets in at once,
# since the system let go of the killed copy's locks with it. (Wine gives a new process the number of one that ended,
# which a lock file naming its holder's number took for that holder, still running.)
run_kills() {
    local folder_win=$1 folder=$2 what=$3 round
    echo "== $what: $folder_win\\tessaly.exe killed and started again, three times"
    start_or_refused "$folder" "$folder_win\\tessaly.exe"
    if [ -z "$window" ]; then
        fail "$what: the first start did not show its window"
        return
    fi
    for round in 1 2 3; do
        kill -9 "$program_pid"
        wait "$program_pid" 2>/dev/null || true
        # Its window goes with its connection to the X server.
        for _ in $(seq 40); do
            window_shown "$title_pattern" || break
            sleep 0.25
        done
        start_or_refused "$folder" "$folder_win\\tessaly.exe"
        if [ -n "$window" ] && [ -z "$refused" ]; then
            pass "$what: killed ($round of 3), the next start got in at once"
        else
            fail "$what: killed ($round of 3), the next start did not get in (box '${refused}')"
            iconv -c -f GBK -t UTF-8 "$work/program.log" | tail -5 | sed 's/^/   /'
            [ -n "$refused" ] && xdotool key --window "$refused" Return
            return
        fi
    done
    sleep 2 # the table loads through its timers
    exit_program "$what" "the last one"
}

# Where the program finds no Recycle Bin: 删除收藏夹无效地址 asks first, and 取消 (Esc) leaves everything as it was.
run_delete_without_recycle_bin() {
    local what=$1 box
    click_until 4 window_shown '^删除收藏夹无效地址$' || true
    box=$(wait_for_window '^删除收藏夹无效地址$')
    if [ -z "$box" ]; then
        fail "$what: without a Recycle Bin, 删除收藏夹无效地址 asked nothing"
        return
    fi
    pass "$what: without a Recycle Bin, 删除收藏夹无效地址 asks before it deletes for good"
    xdotool key --window "$box" Escape
    for _ in $(seq 40); do
        window_shown '^删除收藏夹无效地址$' || break
        sleep 0.5
    done
    window_shown '^删除收藏夹无效地址$' && fail "$what: Esc did not close the box 删除收藏夹无效地址"
    cmp -s "$work/dead.url" "$favorites/死链.url" && pass "$what: 取消 left the dead favorite where it was" ||
        fail "$what: after 取消 the dead favorite is gone"
}

# --- The menu on a row ------------------------------------------------------------------------------------------
# A click in the grid and Ctrl+Home make the first row current, Shift+F10 opens its menu, a window of its own titled
# 收藏操作; Down, Down and Return choose its second item, 复制地址, and the menu goes. The clipboard (Wine's, which the
# X screen shares) then holds the address of the first row's favorite: the one the results file just saved names on
# its first line (a favorite at the top of the Favorites folder, which has an address).
run_row_menu() {
    local what=$1 results=$2 menu line folder name file address copied
    xdotool mousemove --window "$window" 300 140 click 1
    sleep 0.5
    xdotool windowfocus --sync "$window" key ctrl+Home
    sleep 0.3
    xdotool key shift+F10
    menu=$(wait_for_window '^收藏操作$')
    if [ -z "$menu" ]; then
        fail "$what: Shift+F10 on the grid opened no menu 收藏操作"
        return
    fi
    pass "$what: Shift+F10 on a row of the grid opens its menu 收藏操作"
    xdotool key Down Down Return
    for _ in $(seq 20); do
        window_shown '^收藏操作$' || break
        sleep 0.25
    done
    window_shown '^收藏操作$' && fail "$what: the menu stayed after Return"
    line=$(iconv -f GBK -t UTF-8 <"$results" | head -1 | tr -d '\r')
    folder=${line%%|*}
    name=${line#*|}
    name=${name%%|*}
    folder=${folder#"$favorites_win"}
    file="$favorites${folder//\\//}/$name"
    address=$(iconv -f GBK -t UTF-8 <"$file" 2>/dev/null | tr -d '\r' | sed -n 's/^URL=//p' | tail -1)
    copied=
    for _ in $(seq 20); do
        copied=$(xclip -selection clipboard -o 2>/dev/null || true)
        [ -n "$copied" ] && break
        sleep 0.25
    done
    if [ -n "$address" ] && [ "$copied" = "$address" ]; then
        pass "$what: its 复制地址 put the first row's address on the clipboard ($address)"
    else
        fail "$what: after 复制地址 the clipboard holds '$copied', not the first row's address '$address' ($file)"
    fi
}

# Runs the program from a folder, runs a check when asked, saves, takes the screenshot when asked, backs up and
# restores when asked, exits; checks the results file. With "locked", the program's folder is made unwritable first (a
# data.txt of other lines left beside it), and the program finds no Recycle Bin: it asks before deleting, before the
# save. Else the dead favorite, dead for four checks once the check has run, goes to the Recycle Bin after the save.
run_session() {
    local folder_win=$1 folder=$2 results=$3 what=$4 picture=$5 check=$6 locked=${7:-} backup=${8:-}
    mkdir -p "$folder" "$(dirname "$results")"
    cp -r "$program"/. "$folder/"
    local dead_fourth=
    [ -n "$locked" ] && dead_fourth=NO
    echo "$data_before$dead_fourth" | crlf_gbk >"$work/data-before.txt"
    cp "$work/data-before.txt" "$results"
    if [ -n "$locked" ]; then
        echo 'C:\测试\收藏夹\链接|百度一下.url|YES|YES|YES|YES' | crlf_gbk >"$folder/data.txt"
        lock_folder "$folder"
        if touch "$folder/probe" 2>/dev/null; then
            fail "$what: $folder could not be made unwritable"
            return
        fi
    fi

    echo "== $what: $folder_win\\tessaly.exe"
    start_program "$folder" "$folder_win\\tessaly.exe"
    if [ -z "$window" ]; then
        fail "$what: no window titled $title appeared"
        iconv -c -f GBK -t UTF-8 "$work/program.log" | tail -20 | sed 's/^/   /'
        return
    fi
    pass "$what: the window \"$(xdotool getwindowname "$window")\" appeared"
    # The size of the README's other screenshots, wide enough for the history columns.
    xdotool windowsize "$window" 1000 640
    sleep 3 # the table loads through its timers
    if kill -0 "$program_pid" 2>/dev/null; then
        pass "$what: the program stays up"
    else
        fail "$what: the program ended by itself"
        return
    fi

    [ -n "$locked" ] && run_delete_without_recycle_bin "$what"
    local expected=$data_after
    if [ -n "$check" ]; then
        run_check "$what"
        expected=$data_after_check
    fi
    if click_until 3 differs "$results" "$work/data-before.txt"; then
        sleep 0.5 # let the writer finish
        pass "$what: 保存检测结果 rewrote $results"
        check_saved "$results" "$what" "$expected"
    else
        fail "$what: 保存检测结果 did not rewrite $results"
    fi
    sleep 2 # the reload after the save
    [ -n "$check" ] && run_row_menu "$what" "$results"
    if [ -n "$picture" ]; then
        mkdir -p "$(dirname "$picture")"
        import -window "$window" "$picture"
        echo "   screenshot: $picture"
    fi
    if [ -n "$check" ]; then
        run_second_copy "$what"
        run_delete "$what"
    fi
    [ -n "$backup" ] && run_backup_and_restore "$what" "$folder"

    exit_program "$what" "the program"
}

appdata_win=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
appdata=$(wine winepath -u "$appdata_win" 2>/dev/null | tr -d '\r')
appdata=${appdata%/}
[ -d "$appdata" ] || { echo "windows-smoke: no %APPDATA% folder ($appdata_win, $appdata)" >&2; exit 1; }

# A folder of its own: data.txt beside the program, nothing in %APPDATA%.
run_session 'C:\绿色软件\Tessaly' "$drive_c/绿色软件/Tessaly" "$drive_c/绿色软件/Tessaly/data.txt" \
    "own folder" "$screenshot" check "" backup
[ ! -e "$appdata/Tessaly/data.txt" ] && pass "own folder: nothing written to %APPDATA%" ||
    fail "own folder: a results file appeared in $appdata/Tessaly"
run_kills 'C:\绿色软件\Tessaly' "$drive_c/绿色软件/Tessaly" "own folder"

# A folder the user cannot write to, as C:\Program Files is: the results file is in %APPDATA%\Tessaly. The Trash
# cannot be made (a file stands where its folder would go), so Wine's shell has no Recycle Bin.
cp "$work/dead.url" "$favorites/死链.url"
echo 'not a folder' >"$work/no-data-home"
program_env="XDG_DATA_HOME=$work/no-data-home"
run_session 'C:\Program Files\Tessaly' "$drive_c/Program Files/Tessaly" "$appdata/Tessaly/data.txt" \
    "unwritable folder" "" "" locked
unlock_folder "$drive_c/Program Files/Tessaly"
[ "$(iconv -f GBK -t UTF-8 "$drive_c/Program Files/Tessaly/data.txt")" = $'C:\\测试\\收藏夹\\链接|百度一下.url|YES|YES|YES|YES\r' ] &&
    pass "unwritable folder: the data.txt beside the program was neither read nor changed" ||
    fail "unwritable folder: the data.txt beside the program changed"

# --- Names the code page cannot write --------------------------------------------------------------------------
# Favorites whose names hold characters GBK lacks (Polish, Korean, an emoji): the save gives them no line and says so
# for what it is, not as a "|" or a line break; the box's text is copied with Ctrl+C (Qt's message box puts its title,
# text and buttons on the clipboard) and read from the clipboard with the probe.
run_save_outside_code_page() {
    local what="names outside GBK" folder_win='C:\代码页\Tessaly' folder=$drive_c/代码页/Tessaly box name
    local outside=('Łódź 旅游.url' '한국어 사이트.url' '😀表情.url')
    local probe=$TESSALY_ROOT/build-windows/wine_probe.exe
    tessaly_build_wine_probe "$probe" || { fail "$what: cannot build $probe"; return; }
    for name in "${outside[@]}"; do
        shortcut "$name" "http://127.0.0.1:$closed_port/"
    done
    mkdir -p "$folder"
    cp -r "$program"/. "$folder/"
    echo "== $what: $folder_win\\tessaly.exe"
    program_env=
    start_program "$folder" "$folder_win\\tessaly.exe"
    if [ -z "$window" ]; then
        fail "$what: no window titled $title appeared"
    else
        sleep 3 # the table loads through its timers
        click_until 3 window_shown '^保存检测结果$' || true
        box=$(wait_for_window '^保存检测结果$')
        if [ -z "$box" ]; then
            fail "$what: 保存检测结果 said nothing of the favorites it could not save"
        else
            xdotool key --window "$box" ctrl+c
            sleep 0.5
            wine "$probe" clipboard >"$work/save-message.txt" 2>/dev/null || true
            local all_named=1
            for name in "${outside[@]}"; do
                grep -qF "C:\\测试\\收藏夹\\$name" "$work/save-message.txt" || all_named=0
            done
            if grep -q '当前代码页无法保存的字符' "$work/save-message.txt" && ! grep -q '“|”或换行' "$work/save-message.txt" &&
                [ $all_named -eq 1 ]; then
                pass "$what: 保存检测结果 names the three as holding characters the code page cannot save, not \"|\" or line breaks"
            else
                fail "$what: 保存检测结果 did not give the true reason for the three:"
                sed 's/^/   /' "$work/save-message.txt"
            fi
            xdotool key --window "$box" Return
        fi
        if [ -f "$folder/data.txt" ] && iconv -f GBK -t UTF-8 "$folder/data.txt" >"$work/saved.utf8" 2>/dev/null &&
            grep -q "|新浪网\.url|" "$work/saved.utf8" && ! grep -q -e 旅游 -e 表情 -e "?" "$work/saved.utf8"; then
            pass "$what: data.txt holds the other favorites' lines in code page 936, and none for the three"
        else
            fail "$what: data.txt is not the other favorites' lines alone"
        fi
        exit_program "$what"
    fi
    for name in "${outside[@]}"; do
        rm -f "$favorites/$name"
    done
}
run_save_outside_code_page

# --- https on request ---------------------------------------------------------------------------------------------
# A Favorites folder of https favorites: one on a loopback TLS server with a self-signed certificate (the one of the
# tests), one on a closed port, and one whose address holds "http://" further on, which is asked even with the command
# off. The program in a folder of its own whose settings file tessaly.ini turns 同时检测 https 地址 on; a check and a
# save: each https favorite is asked over TLS through libcurl (Schannel) without its certificate being verified.
run_https_check() {
    local what="https on request"
    local tls_port https_favorites_win='C:\测试\安全收藏夹' https_favorites=$drive_c/测试/安全收藏夹
    local folder=$drive_c/https检测/Tessaly
    tls_port=$(free_port)
    python3 - "$tls_port" "$TESSALY_ROOT/tests/data/tls" >"$work/tls.log" 2>&1 <<'PY' &
import http.server, ssl, sys
class Answer(http.server.BaseHTTPRequestHandler):
    def do_HEAD(self):
        self.send_response(200)
        self.end_headers()
server = http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Answer)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[2] + "/loopback-cert.pem", sys.argv[2] + "/loopback-key.pem")
server.socket = context.wrap_socket(server.socket, server_side=True)
server.serve_forever()
PY
    local tls_pid=$!
    for _ in $(seq 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$tls_port") 2>/dev/null && break
        sleep 0.1
    done
    mkdir -p "$https_favorites" "$folder"
    local saved_favorites=$favorites
    favorites=$https_favorites
    shortcut 'https 网站.url' "https://127.0.0.1:$tls_port/安全"
    shortcut 'https 旧式.url' "https://127.0.0.1:$tls_port/旧?from=http://example.invalid/"
    shortcut 'https 关闭.url' "https://127.0.0.1:$closed_port/"
    favorites=$saved_favorites
    wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v Favorites /t REG_SZ \
        /d "$https_favorites_win" /f >/dev/null 2>&1
    "$WINESERVER" -w
    cp -r "$program"/. "$folder/"
    printf '[check]\r\nhttps=true\r\n' >"$folder/tessaly.ini"

    echo "== $what: C:\\https检测\\Tessaly\\tessaly.exe"
    start_program "$folder" 'C:\https检测\Tessaly\tessaly.exe'
    if [ -z "$window" ]; then
        fail "$what: no window titled $title appeared"
        kill "$tls_pid" 2>/dev/null || true
        return
    fi
    sleep 3 # the table loads through its timers
    click_button 1
    local box
    box=$(wait_for_window '^检测$')
    if [ -n "$box" ]; then
        pass "$what: 开始检测 ran to the box 检测完毕"
        xdotool key --window "$box" Return
    else
        fail "$what: 开始检测 brought no box 检测完毕 within 30 s"
    fi
    is_saved() { [ -s "$folder/data.txt" ]; }
    if click_until 3 is_saved; then
        sleep 0.5 # let the writer finish
        local saved
        saved=$(iconv -f GBK -t UTF-8 "$folder/data.txt" | tr -d '\r')
        grep -qxF 'C:\测试\安全收藏夹|https 旧式.url|YES|||' <<<"$saved" &&
            pass "$what: an https favorite with \"http://\" in it was asked over TLS and answered (YES)" ||
            fail "$what: the https favorite with \"http://\" in it has no YES"
        grep -qxF 'C:\测试\安全收藏夹|https 网站.url|YES|||' <<<"$saved" &&
            pass "$what: with 同时检测 https 地址 on (tessaly.ini), an https favorite was asked over TLS, its certificate not verified (YES)" ||
            fail "$what: with 同时检测 https 地址 on (tessaly.ini), the https favorite has no YES"
        grep -qxF 'C:\测试\安全收藏夹|https 关闭.url|NO|||' <<<"$saved" &&
            pass "$what: an https favorite on a closed port is NO" ||
            fail "$what: the https favorite on a closed port is not NO"
        echo "$saved" | sed 's/^/   /'
    else
        fail "$what: 保存检测结果 wrote no data.txt"
    fi
    local asked
    asked=$(grep -c '"HEAD ' "$work/tls.log" || true)
    [ "$asked" -eq 2 ] && pass "$what: the TLS server was asked twice, with HEAD" ||
        fail "$what: the TLS server was asked $asked times"
    exit_program "$what"
    kill "$tls_pid" 2>/dev/null || true
}
program_env=
run_https_check

exit_code=0
[ $failures -eq 0 ] || exit_code=1
echo "windows-smoke: $failures failed, $((SECONDS - started)) s"
exit $exit_code
