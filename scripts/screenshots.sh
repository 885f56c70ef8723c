#!/usr/bin/env bash
# Takes the README's screenshots of the running program under Xvfb: the main window after loading the
# demo favorites, the menu on a row, during a 40-channel run, the edit dialog, the about box, the tool tip of a 结果
# cell after a check and the question before a save in which no address answered. Every probe goes to a stand-in web on loopback (scripts/fake_web.py) or to a
# closed loopback port, never to the network.
#
# Usage: scripts/screenshots.sh [output folder, default docs/]   (QT_SCALE_FACTOR is passed through)
set -euo pipefail
TESSALY_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$TESSALY_ROOT/scripts/deps.sh"
tessaly_install_deps xvfb xauth imagemagick xdotool python3
tessaly_build "$TESSALY_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

out=${1:-$TESSALY_ROOT/docs}
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

cp -r "$TESSALY_ROOT/examples/Favorites" "$work/Favorites"
mkdir -p "$work/program"
cp "$TESSALY_ROOT/build/src/tessaly" "$work/program/"
sed "s#@FAVORITES@#$work/Favorites#g" "$TESSALY_ROOT/examples/data.txt.in" > "$work/program/data.txt"

python3 "$TESSALY_ROOT/scripts/fake_web.py" 18080 &

export TESSALY_FAVORITES="$work/Favorites"
export http_proxy=http://127.0.0.1:18080 https_proxy=http://127.0.0.1:18080 no_proxy=
export OUT="$out" PROGRAM="$work/program/tessaly"
# The screen grows with the scale factor, so that the scaled window fits as the unscaled one does.
scale=${QT_SCALE_FACTOR:-1}
export SCREEN_W=$(python3 -c "print(round(1280 * $scale))") SCREEN_H=$(python3 -c "print(round(900 * $scale))")
xvfb-run -a -s "-screen 0 ${SCREEN_W}x${SCREEN_H}x24" bash -c '
set -euo pipefail
"$PROGRAM" &
sleep 3
win=$(xdotool search --sync --name "^Tessaly" | head -n1)
shot() { import -window "$1" "$OUT/$2"; }
at() { xdotool mousemove --window "$win" "$1" "$2"; }     # window coordinates at scale 1
scale=${QT_SCALE_FACTOR:-1}
px() { python3 -c "print(round($1 * $scale))"; }
# Wide enough for every column of the grid.
xdotool windowsize "$win" "$(px 1000)" "$(px 640)"
sleep 1
shot "$win" main-window.png
# The area of the main window on the screen, the popups over it included.
shot_area() {
    eval "$(xdotool getwindowgeometry --shell "$win")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$OUT/$1"
}

# The menu on a row: a click makes the row current, Shift+F10 opens its menu; Esc closes it.
at "$(px 300)" "$(px 184)"; xdotool click 1
xdotool key shift+F10
sleep 0.8
shot_area row-menu.png
xdotool key Escape
sleep 0.3

# Edit dialog: double-click the second row, then cancel.
at "$(px 300)" "$(px 118)"; xdotool click --repeat 2 --delay 60 1
dlg=$(xdotool search --sync --name "^修改$" | head -n1)
sleep 0.5
shot "$dlg" edit-dialog.png
xdotool mousemove --window "$dlg" "$(px 272)" "$(px 128)" click 1
sleep 0.5

# About box: the seventh toolbar button; any key closes it.
at "$(px 270)" "$(px 20)"; xdotool click 1
sleep 0.8
# The about box has no caption to find it by; it stands centred on the screen.
w=$(px 489); h=$(px 186)
import -window root -crop "${w}x${h}+$(( (SCREEN_W - w) / 2 ))+$(( (SCREEN_H - h) / 2 ))" +repage "$OUT/about-box.png"
xdotool mousemove "$(( SCREEN_W / 2 ))" "$(( SCREEN_H / 2 ))"; xdotool key space
sleep 0.5

# A 40-channel run: focus the slider by its handle, End moves it to 40, then the first toolbar button.
at "$(px 455)" "$(px 8)"; xdotool click 1; xdotool key End
sleep 0.3
at "$(px 24)" "$(px 20)"; xdotool click 1
sleep 1.6
shot "$win" checking-40-channels.png
kill %1 2>/dev/null || true
wait %1 2>/dev/null || true

# The tool tip of a 结果 cell once a check is over: every row asked on 40 channels, the box 检测完毕 closed with Return,
# Ctrl+Home in the grid, the pointer resting on the 结果 cell of the first row, Debian, whose site has moved for good.
"$PROGRAM" &
third=$!
sleep 3
win=$(xdotool search --sync --name "^Tessaly" | head -n1)
xdotool windowsize "$win" "$(px 1000)" "$(px 640)"
sleep 1
at "$(px 455)" "$(px 8)"; xdotool click 1; xdotool key End
at "$(px 24)" "$(px 20)"; xdotool click 1
done=$(xdotool search --sync --name "^检测$" | head -n1)
xdotool windowfocus --sync "$done" key Return
sleep 0.5
# Tool tips show in the active window only.
xdotool windowfocus --sync "$win"
at "$(px 300)" "$(px 118)"; xdotool click 1; xdotool key ctrl+Home
sleep 0.3
at "$(px 828)" "$(px 95)"
sleep 0.3
at "$(px 830)" "$(px 97)"
sleep 1.5
shot_area result-tooltip.png
kill "$third" 2>/dev/null || true
wait "$third" 2>/dev/null || true

# The question before a save in which not one address answered: this time every probe goes to a closed port.
http_proxy=http://127.0.0.1:9 "$PROGRAM" &
second=$!
sleep 3
win=$(xdotool search --sync --name "^Tessaly" | head -n1)
at "$(px 24)" "$(px 20)"; xdotool click 1
# The end of the check, with one channel: its message box is closed with Return.
done=$(xdotool search --sync --name "^检测$" | head -n1)
xdotool windowfocus --sync "$done" key Return
sleep 0.5
at "$(px 105)" "$(px 20)"; xdotool click 1
question=$(xdotool search --sync --name "^保存检测结果$" | head -n1)
sleep 0.5
shot "$question" save-question.png
xdotool windowfocus --sync "$question" key Escape
sleep 0.3
kill "$second" 2>/dev/null || true
wait "$second" 2>/dev/null || true
'
