"""The main window read through the accessibility bus (AT-SPI) as a screen reader reads it.

Run by check_atspi.sh inside a D-Bus session of its own: starts a virtual X screen and the program on it with
accessibility on. Exit 0 when every check passes, 77 when no X screen can be started (1 under CI=true), else 1.
"""

import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

FRAME = "Tessaly(2005版)"
BUSY = "正在处理数据，请稍候......"
# Each toolbar button's name (also exactly its tooltip) and key binding, left to right.
COMMANDS = [("开始检测", "F5"), ("停止检测", "Esc"), ("保存检测结果", "Ctrl+S"), ("删除收藏夹无效地址", "Ctrl+D"),
            ("备份收藏夹", "Ctrl+B"), ("还原收藏夹", "Ctrl+R"), ("关于软件", "F1"), ("退出程序", "Ctrl+Q")]
# Each status panel's name (None: its text, whatever it is) and description.
PANELS = [(FRAME, "程序名称"), ("信息", "信息栏标题"), ("地址 2 条", "信息"), ("状态", "状态栏标题"),
          ("", "检测状态"), ("日期", "日期栏标题"), (None, "今天的日期")]
HTTPS = "同时检测 https 地址"
failures = []


def check(condition, what):
    print(("PASS: " if condition else "FAIL: ") + what)
    if not condition:
        failures.append(what)
    return condition


# An object of the tree can be gone by the time it is asked (the grid makes its cells anew at every load): the bus
# then answers "No such object path", a GLib.GError. Every read below may fail so, and is made whole again.
def read(what, tries=50):
    """what(), tried again while it meets objects that are gone meanwhile."""
    for attempt in range(tries):
        try:
            return what()
        except GLib.GError:
            if attempt == tries - 1:
                raise
            time.sleep(0.1)


def wait_for(what, timeout=30.0):
    """The first true value of what() within the time-out, else None; a read that meets a vanished object is a no."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            value = what()
        except GLib.GError:
            value = None
        if value:
            return value
        time.sleep(0.2)
    return None


def children(node, role=None):
    found = [node.getChildAtIndex(i) for i in range(node.childCount)]
    return [c for c in found if c is not None and (role is None or c.getRole() == role)]


def descendants(node, role):
    return [d for c in children(node) for d in ([c] if c.getRole() == role else []) + descendants(c, role)]


def labels(node):
    """The names of what labels node."""
    return [r.getTarget(i).name for r in node.getRelationSet()
            if r.getRelationType() == pyatspi.RELATION_LABELLED_BY for i in range(r.getNTargets())]


def loaded(app):
    """True once the grid shows both favorites and the busy notice has gone: from then on the tree stays as it is."""
    cells = [c.name for c in descendants(app, pyatspi.ROLE_TABLE_CELL)]
    busy = [label for label in descendants(app, pyatspi.ROLE_LABEL) if label.name == BUSY]
    return "a" in cells and "b" in cells and not any(b.getState().contains(pyatspi.STATE_SHOWING) for b in busy)


def window_as_read(app):
    """What a screen reader finds in the main window, as plain values."""
    frames = children(app, pyatspi.ROLE_FRAME)
    seen = {"frames": [f.name for f in frames], "bars": [], "panels": [], "tables": [], "buttons": []}
    if len(frames) != 1:
        return seen
    bars = descendants(frames[0], pyatspi.ROLE_STATUS_BAR)
    seen["bars"] = [b.name for b in bars]
    if bars:
        seen["panels"] = [(p.name, p.description) for p in children(bars[0], pyatspi.ROLE_LABEL)]
    seen["tables"] = [g.name for g in descendants(frames[0], pyatspi.ROLE_TABLE)]
    seen["choices"] = [(c.name, labels(c)) for c in descendants(frames[0], pyatspi.ROLE_COMBO_BOX)]
    for toolbar in descendants(frames[0], pyatspi.ROLE_TOOL_BAR)[:1]:
        seen["buttons"] = [(b.name, b.description, b.queryAction().getKeyBinding(0),
                            b.getState().contains(pyatspi.STATE_FOCUSABLE))
                           for b in children(toolbar, pyatspi.ROLE_PUSH_BUTTON) if b.name]
    return seen


def press(find):
    """Runs the press action of the button find() returns; False when there is none."""
    def once():
        buttons = find()
        if buttons:
            buttons[0].queryAction().doAction(0)
        return bool(buttons)
    return read(once)


def check_window(app):
    seen = read(lambda: window_as_read(app))
    if not check(seen["frames"] == [FRAME], "one frame, named %s (%s)" % (FRAME, seen["frames"])):
        return
    if check(seen["bars"] == ["状态栏"], "one status bar, named 状态栏"):
        panels = seen["panels"]
        check(len(panels) == len(PANELS), "%d panels in the status bar (%d)" % (len(PANELS), len(panels)))
        for n, ((name, description), (expected, expected_description)) in enumerate(zip(panels, PANELS), start=1):
            check(name == expected if expected is not None else name != "", "panel %d: %r" % (n, name))
            check(description == expected_description, "panel %d described: %r" % (n, description))
    check(seen["tables"] == ["收藏夹列表"], "the grid 收藏夹列表")
    # A combo box is read by its current item, and by the label that names it.
    check(seen["choices"] == [("全部收藏", ["显示"])], "the choice 显示 of what the grid shows, at 全部收藏 (%s)"
          % seen["choices"])

    buttons = seen["buttons"]
    check([b[0] for b in buttons] == [name for name, _ in COMMANDS], "the eight commands, in order")
    for (name, description, binding, focusable), (_, keys) in zip(buttons, COMMANDS):
        check(description == name, "%s: tooltip %r" % (name, description))
        check(binding == keys, "%s: key binding %s" % (name, keys))
        check(focusable, "%s: takes the keyboard focus" % name)

    # The about box, opened by its button's press action, is a dialog; its own button closes it.
    def about_button():
        return [b for f in children(app, pyatspi.ROLE_FRAME) for b in descendants(f, pyatspi.ROLE_PUSH_BUTTON)
                if b.name == COMMANDS[6][0]]

    def close_button():
        return [b for d in children(app, pyatspi.ROLE_DIALOG) for b in descendants(d, pyatspi.ROLE_PUSH_BUTTON)
                if b.name == "关闭窗口"]

    if check(press(about_button), "关于软件 has a press action") and \
            check(wait_for(lambda: children(app, pyatspi.ROLE_DIALOG), 15) is not None, "关于软件 opens a dialog") and \
            check(wait_for(close_button, 15) is not None, "the about box has its button 关闭窗口"):
        press(close_button)
        check(wait_for(lambda: not children(app, pyatspi.ROLE_DIALOG), 15), "关闭窗口 closes it")


def https_boxes(app):
    return [b for f in children(app, pyatspi.ROLE_FRAME) for b in descendants(f, pyatspi.ROLE_CHECK_BOX)
            if b.name == HTTPS]


def check_https_option(app, settings):
    """The command 同时检测 https 地址: a check box, off, that its action turns on and the settings file keeps."""
    boxes = read(lambda: https_boxes(app))
    if not check(len(boxes) == 1, "one check box named %s" % HTTPS):
        return
    state = read(lambda: boxes[0].getState())
    check(state.contains(pyatspi.STATE_FOCUSABLE), "%s takes the keyboard focus" % HTTPS)
    check(not state.contains(pyatspi.STATE_CHECKED), "%s is off at first" % HTTPS)
    read(lambda: https_boxes(app)[0].queryAction().doAction(0))
    check(wait_for(lambda: https_boxes(app)[0].getState().contains(pyatspi.STATE_CHECKED), 15),
          "its action turns %s on" % HTTPS)

    def kept():
        try:
            with open(settings, encoding="utf-8") as file:
                lines = file.read().split()
        except OSError:
            return False
        return "[check]" in lines and "https=true" in lines[lines.index("[check]"):]
    check(wait_for(kept, 15), "the settings file %s keeps https=true in [check]" % settings)


def main():
    program, favorites = sys.argv[1], sys.argv[2]
    read_end, write_end = os.pipe()
    try:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x900x24", "-nolisten",
                                 "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
    except OSError:
        xvfb = None
    os.close(write_end)
    display = os.fdopen(read_end, "rb").readline().decode().strip() if xvfb else ""
    if not display:
        print(("FAIL" if os.environ.get("CI") == "true" else "SKIP") + ": no virtual X screen could be started")
        return 1 if os.environ.get("CI") == "true" else 77
    os.environ["DISPLAY"] = ":" + display
    tessaly = subprocess.Popen([program], env=dict(os.environ, QT_QPA_PLATFORM="xcb", TESSALY_FAVORITES=favorites,
                                                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for(lambda: next((a for a in children(desktop) if a.get_process_id() == tessaly.pid), None))
        # The grid is filled a moment after the window opens, behind the busy notice.
        if check(app is not None, "the program is on the accessibility bus") and \
                check(wait_for(lambda: loaded(app), 60), "the table is loaded"):
            check_window(app)
            check_https_option(app, os.path.join(os.path.dirname(program), "tessaly.ini"))
    finally:
        tessaly.terminate()
        tessaly.wait(10)
        xvfb.terminate()
        xvfb.wait()
    print("%d checks failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
