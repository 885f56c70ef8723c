"""The main window read through the accessibility bus (AT-SPI) as a screen reader reads it.

Run by check_atspi.sh inside a D-Bus session of its own: starts a virtual X screen and the program on it with
accessibility on. Exit 0 when every check passes, 77 when no X screen can be started (1 under CI=true), else 1.
"""

import os
import subprocess
import sys
import time

import pyatspi

FRAME = "Tessaly(2005版)"
# Each toolbar button's name (also exactly its tooltip) and key binding, left to right.
COMMANDS = [("开始检测", "F5"), ("停止检测", "Esc"), ("保存检测结果", "Ctrl+S"), ("删除收藏夹无效地址", "Ctrl+D"),
            ("备份收藏夹", "Ctrl+B"), ("还原收藏夹", "Ctrl+R"), ("关于软件", "F1"), ("退出程序", "Ctrl+Q")]
# Each status panel's name (None: its text, whatever it is) and description.
PANELS = [(FRAME, "程序名称"), ("信息", "信息栏标题"), ("地址 2 条", "信息"), ("状态", "状态栏标题"),
          ("", "检测状态"), ("日期", "日期栏标题"), (None, "今天的日期")]
failures = []


def check(condition, what):
    print(("PASS: " if condition else "FAIL: ") + what)
    if not condition:
        failures.append(what)
    return condition


def children(node, role=None):
    try:
        found = [node.getChildAtIndex(i) for i in range(node.childCount)]
        return [c for c in found if c is not None and (role is None or c.getRole() == role)]
    except Exception:  # gone meanwhile, like the grid's cells when the table is loaded again
        return []


def descendants(node, role):
    return [d for c in children(node) for d in ([c] if c.getRole() == role else []) + descendants(c, role)]


def wait_for(what, timeout=30.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = what()
        if value:
            return value
        time.sleep(0.2)
    return None


def check_window(app):
    frames = children(app, pyatspi.ROLE_FRAME)
    if not check([f.name for f in frames] == [FRAME], "one frame, named %s (%s)" % (FRAME, [f.name for f in frames])):
        return
    bars = descendants(frames[0], pyatspi.ROLE_STATUS_BAR)
    if check([b.name for b in bars] == ["状态栏"], "one status bar, named 状态栏"):
        panels = children(bars[0], pyatspi.ROLE_LABEL)
        check(len(panels) == len(PANELS), "%d panels in the status bar (%d)" % (len(PANELS), len(panels)))
        for n, (panel, (name, description)) in enumerate(zip(panels, PANELS), start=1):
            check(panel.name == name if name is not None else panel.name != "", "panel %d: %r" % (n, panel.name))
            check(panel.description == description, "panel %d described: %r" % (n, panel.description))
    check([g.name for g in descendants(frames[0], pyatspi.ROLE_TABLE)] == ["收藏夹列表"], "the grid 收藏夹列表")

    toolbar = descendants(frames[0], pyatspi.ROLE_TOOL_BAR)[0]
    buttons = [b for b in children(toolbar, pyatspi.ROLE_PUSH_BUTTON) if b.name]
    check([b.name for b in buttons] == [name for name, _ in COMMANDS], "the eight commands, in order")
    for button, (name, keys) in zip(buttons, COMMANDS):
        check(button.description == name, "%s: tooltip %r" % (name, button.description))
        check(button.queryAction().getKeyBinding(0) == keys, "%s: key binding %s" % (name, keys))
        check(button.getState().contains(pyatspi.STATE_FOCUSABLE), "%s: takes the keyboard focus" % name)

    # The about box, opened by its button's press action, is a dialog; its own button closes it.
    buttons[6].queryAction().doAction(0)
    dialog = wait_for(lambda: children(app, pyatspi.ROLE_DIALOG), 15)
    if check(dialog is not None, "关于软件 opens a dialog"):
        close = [b for b in descendants(dialog[0], pyatspi.ROLE_PUSH_BUTTON) if b.name == "关闭窗口"]
        if check(len(close) == 1, "the about box has its button 关闭窗口"):
            close[0].queryAction().doAction(0)
            check(wait_for(lambda: not children(app, pyatspi.ROLE_DIALOG), 15), "关闭窗口 closes it")


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
        # The grid is filled a moment after the window opens: wait for the favorite a.url's name.
        if check(app is not None, "the program is on the accessibility bus") and check(wait_for(
                lambda: "a" in [c.name for c in descendants(app, pyatspi.ROLE_TABLE_CELL)], 30), "the table is loaded"):
            check_window(app)
    finally:
        tessaly.terminate()
        tessaly.wait(10)
        xvfb.terminate()
        xvfb.wait()
    print("%d checks failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
