"""Reads the main window through the accessibility bus (AT-SPI) as a screen reader does, and checks it.

Started by check_atspi.sh inside a D-Bus session of its own: starts a virtual X screen, the program on it with
accessibility on, and checks roles, names, descriptions, key bindings and that the about box opens as a dialog.
Exit 0 when every check passes, 77 when no X screen can be started (1 under CI=true), 1 otherwise.
"""

import os
import subprocess
import sys
import time

import pyatspi

FRAME_NAME = "Tessaly(2005版)"
# Name (also the tooltip, exactly) and key binding of each toolbar button, left to right.
COMMANDS = [
    ("开始检测", "F5"),
    ("停止检测", "Esc"),
    ("保存检测结果", "Ctrl+S"),
    ("删除收藏夹无效地址", "Ctrl+D"),
    ("备份收藏夹", "Ctrl+B"),
    ("还原收藏夹", "Ctrl+R"),
    ("关于软件", "F1"),
    ("退出程序", "Ctrl+Q"),
]
# The status bar's panels: name (None: any text but empty) and description.
PANELS = [
    (FRAME_NAME, "程序名称"),
    ("信息", "信息栏标题"),
    ("地址 2 条", "信息"),
    ("状态", "状态栏标题"),
    ("", "检测状态"),
    ("日期", "日期栏标题"),
    (None, "今天的日期"),
]

failures = []


def check(condition, what):
    print(("PASS: " if condition else "FAIL: ") + what)
    if not condition:
        failures.append(what)
    return condition


def start_screen():
    """Starts Xvfb on a free display; returns (process, display) or (None, None)."""
    read_end, write_end = os.pipe()
    try:
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except OSError:
        return None, None
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        xvfb.kill()
        return None, None
    return xvfb, ":" + number.decode().strip()


def descendants(node, role):
    found = []
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        if child.getRole() == role:
            found.append(child)
        found.extend(descendants(child, role))
    return found


def wait_for(what, timeout=30.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = what()
        if value:
            return value
        time.sleep(0.2)
    return None


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that left meanwhile
            continue
    return None


def key_binding(node):
    action = node.queryAction()
    return action.getKeyBinding(0) if action.nActions > 0 else None


def check_window(app):
    frames = [app.getChildAtIndex(i) for i in range(app.childCount)]
    frames = [f for f in frames if f is not None and f.getRole() == pyatspi.ROLE_FRAME]
    if not check(len(frames) == 1, "the program shows one frame"):
        return
    frame = frames[0]
    check(frame.name == FRAME_NAME, "the frame is named %r (is %r)" % (FRAME_NAME, frame.name))

    bars = descendants(frame, pyatspi.ROLE_STATUS_BAR)
    if check(len(bars) == 1, "the frame holds one status bar"):
        bar = bars[0]
        check(bar.name == "状态栏", "the status bar is named 状态栏 (is %r)" % bar.name)
        panels = [bar.getChildAtIndex(i) for i in range(bar.childCount)]
        check(len(panels) == len(PANELS), "the status bar has %d panels (has %d)" % (len(PANELS), len(panels)))
        for n, (panel, (name, description)) in enumerate(zip(panels, PANELS), start=1):
            check(panel.getRole() == pyatspi.ROLE_LABEL, "panel %d is a label" % n)
            if name is None:
                check(panel.name != "", "panel %d names its text (%r)" % (n, panel.name))
            else:
                check(panel.name == name, "panel %d is named %r (is %r)" % (n, name, panel.name))
            check(panel.description == description,
                  "panel %d is described as %r (is %r)" % (n, description, panel.description))

    grids = descendants(frame, pyatspi.ROLE_TABLE)
    check(len(grids) == 1 and grids[0].name == "收藏夹列表", "the grid is a table named 收藏夹列表")

    toolbars = descendants(frame, pyatspi.ROLE_TOOL_BAR)
    if not check(len(toolbars) == 1 and toolbars[0].name == "工具栏", "the frame holds the toolbar 工具栏"):
        return
    buttons = [b for b in descendants(toolbars[0], pyatspi.ROLE_PUSH_BUTTON) if b.name]
    check([b.name for b in buttons] == [name for name, _ in COMMANDS],
          "the toolbar's buttons are the eight commands in order (%s)" % " ".join(b.name for b in buttons))
    for button, (name, keys) in zip(buttons, COMMANDS):
        check(button.description == name, "%s: its tooltip is exactly its name (is %r)" % (name, button.description))
        binding = key_binding(button)
        check(binding == keys, "%s: key binding %s (is %r)" % (name, keys, binding))
        check(button.getState().contains(pyatspi.STATE_FOCUSABLE), "%s: takes the keyboard focus" % name)

    # The about box opens from its button's press action and is a dialog, as before.
    about = next((b for b in buttons if b.name == "关于软件"), None)
    if about is not None:
        about.queryAction().doAction(0)
        dialog = wait_for(lambda: next((d for d in [app.getChildAtIndex(i) for i in range(app.childCount)]
                                        if d is not None and d.getRole() == pyatspi.ROLE_DIALOG), None), 15)
        if check(dialog is not None, "关于软件 opens a dialog"):
            check(dialog.name != "", "the about box has a name (%r)" % dialog.name)
            close = [b for b in descendants(dialog, pyatspi.ROLE_PUSH_BUTTON) if b.name == "关闭窗口"]
            if check(len(close) == 1, "the about box has its button 关闭窗口"):
                close[0].queryAction().doAction(0)
                check(wait_for(lambda: all(app.getChildAtIndex(i) is None
                                           or app.getChildAtIndex(i).getRole() != pyatspi.ROLE_DIALOG
                                           for i in range(app.childCount)), 15),
                      "关闭窗口 closes the about box")


def main():
    program, favorites = sys.argv[1], sys.argv[2]
    xvfb, display = start_screen()
    if xvfb is None:
        if os.environ.get("CI") == "true":
            print("FAIL: no virtual X screen could be started")
            return 1
        print("SKIP: no virtual X screen could be started")
        return 77
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               TESSALY_FAVORITES=favorites, LANG="C.UTF-8")
    env.pop("TESSALY_EXIT_AFTER_MS", None)
    os.environ["DISPLAY"] = display
    tessaly = subprocess.Popen([program], env=env)
    try:
        app = wait_for(lambda: application(tessaly.pid))
        if check(app is not None, "the program appears on the accessibility bus"):
            # The table is loaded a moment after the window opens; the count panel is written at once.
            wait_for(lambda: descendants(app, pyatspi.ROLE_TABLE), 15)
            check_window(app)
    finally:
        tessaly.terminate()
        try:
            tessaly.wait(10)
        except subprocess.TimeoutExpired:
            tessaly.kill()
        xvfb.terminate()
        xvfb.wait()
    if failures:
        print("%d checks failed" % len(failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
