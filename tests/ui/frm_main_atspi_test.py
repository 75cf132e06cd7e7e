#!/usr/bin/env python3
"""The window as a screen reader and a keyboard user meet it: over the accessibility bus (AT-SPI)
under Xvfb, with real key presses. Run inside dbus-run-session and xvfb-run; argv[1] is vintrel."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

BUTTONS = ["Add New", "Remove", "Convert", "Choose the output folder", "Minimise", "Exit"]
TIPS = {"Add New": "Add a new file", "Remove": "Remove selected file from list",
        "Convert": "Start converting now", "Choose the output folder": "Browse and select a path to output"}
PICKERS = ["Video Bitrate", "Screen Size", "FPS", "Audio Bitrate"]
TAB_ORDER = ["Add New", "Remove", "Convert", "File List"] + PICKERS + \
            ["Output Path", "Choose the output folder", "Minimise", "Exit"]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def wait_for(find, seconds=20.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found:
            return found
        time.sleep(0.1)
    return None


def walk(node):
    if node is None:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:  # an element that left while we looked
            continue
        yield from walk(child)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.lower() == "vintrel":
            return app
    return None


def frame_named(app, name):
    for child in app:
        if child is not None and child.name == name:
            return child
    return None


def focused(frame):
    for node in walk(frame):
        # Qt 6.8 marks each picker's current item focused within its closed list: the focus of the
        # window is the picker itself.
        if node.getRole() == pyatspi.ROLE_LIST_ITEM and node.parent is not None and \
                node.parent.parent is not None and node.parent.parent.getRole() == pyatspi.ROLE_COMBO_BOX:
            continue
        if node.getState().contains(pyatspi.STATE_FOCUSED):
            return node
    return None


def label(node):
    """What a reader calls the node: its label where it has one, else its name."""
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and relation.getNTargets() > 0:
            return relation.getTarget(0).name
    return node.name


def focus_on(frame, name):
    node = focused(frame)
    return node if node is not None and label(node) == name else None


def x_focus(title):
    subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", f"^{title}$", "windowfocus", "--sync"],
                   check=True, timeout=20)


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "80", *keys], check=True)


def main():
    root = tempfile.mkdtemp(prefix="vintrel-atspi-")
    folder = os.path.join(root, "program")
    os.makedirs(os.path.join(root, "tmp"))
    os.makedirs(folder)
    program = os.path.join(folder, "vintrel")
    shutil.copy(sys.argv[1], program)
    env = dict(os.environ, TMPDIR=os.path.join(root, "tmp"), HOME=root, QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("XDG_RUNTIME_DIR", None)
    # xvfb-run may hand over before the server answers.
    if not wait_for(lambda: subprocess.run(["xdpyinfo"], capture_output=True).returncode == 0, 10):
        print("FAIL: no X display")
        return 1
    window = subprocess.Popen([program], env=env, cwd=root)
    try:
        run(window)
    finally:
        window.kill()
        window.wait()
        shutil.rmtree(root, ignore_errors=True)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("all checks passed")
    return 0


def check_names_and_roles(frame):
    nodes = {}
    for node in walk(frame):
        if label(node):
            nodes.setdefault(label(node), node)
    for name in BUTTONS:
        node = nodes.get(name)
        check(node is not None and node.getRole() == pyatspi.ROLE_PUSH_BUTTON, f"push button {name!r}")
        if node is None:
            continue
        if name in TIPS:
            check(node.description == TIPS[name], f"{name!r} described by its tip, got {node.description!r}")
        action = node.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        check("Press" in names, f"{name!r} can be pressed, actions {names}")
    for name in PICKERS:
        node = nodes.get(name)
        check(node is not None and node.getRole() == pyatspi.ROLE_COMBO_BOX, f"combo box {name!r}")
    path = nodes.get("Output Path")
    check(path is not None and path.getRole() == pyatspi.ROLE_TEXT, "text 'Output Path'")
    table = nodes.get("File List")
    check(table is not None and table.getRole() in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE),
          f"table 'File List', got {table and table.getRoleName()}")
    if table is not None:
        columns = [c.name for c in walk(table) if c.getRole() == pyatspi.ROLE_TABLE_COLUMN_HEADER]
        check(columns == ["File Name", "Format"], f"column names {columns}")
    bar = nodes.get("Progress")
    check(bar is not None and bar.getRole() == pyatspi.ROLE_PROGRESS_BAR, "progress bar 'Progress'")
    if bar is not None:
        value = bar.queryValue()
        check(value.currentValue == 0 and value.maximumValue == 100,
              f"the bar's value 0 of 100, got {value.currentValue} of {value.maximumValue}")
    status = [n for n in walk(frame) if n.getRole() == pyatspi.ROLE_STATUS_BAR]
    check([s.name for s in status] == ["0%"], f"one status reading 0%, got {[s.name for s in status]}")
    return nodes


def dialog_round(app, frame, title, focus_name, press):
    press()
    check(wait_for(lambda: frame_named(app, title)) is not None, f"{title!r} opened")
    # No window manager runs here to give the new window the keyboard.
    x_focus(title)
    key("Escape")
    check(wait_for(lambda: frame_named(app, title) is None, 10), f"{title!r} closed by Escape")
    check(wait_for(lambda: focus_on(frame, focus_name), 10) is not None,
          f"focus back on {focus_name!r} after {title!r}")


def run(window):
    app = wait_for(application)
    if app is None:
        check(False, "the window never appeared on the accessibility bus")
        return
    frame = wait_for(lambda: frame_named(app, "Vintrel"))
    check(frame is not None, "a frame named Vintrel")
    if frame is None:
        return
    x_focus("Vintrel")
    nodes = check_names_and_roles(frame)

    # Tab visits every control in order, and round again.
    start = wait_for(lambda: focused(frame))
    check(start is not None and label(start) == "Add New", f"first focus on Add New, got {start and label(start)}")
    seen = []
    for _ in TAB_ORDER:
        key("Tab")
        time.sleep(0.2)
        node = focused(frame)
        seen.append(label(node) if node is not None else None)
    check(seen == TAB_ORDER[1:] + TAB_ORDER[:1], f"Tab order {seen}")

    dialog_round(app, frame, "Open Files", "Add New", lambda: key("space"))
    if "Add New" in nodes:
        dialog_round(app, frame, "Open Files", "Add New", lambda: nodes["Add New"].queryAction().doAction(0))
    # Ctrl+Enter converts from anywhere; with nothing queued that is the "Add" box.
    key("Tab", "Tab", "Tab", "Tab")
    dialog_round(app, frame, "Add", "Video Bitrate", lambda: key("ctrl+Return"))
    dialog_round(app, frame, "Open Files", "Video Bitrate", lambda: key("Insert"))
    dialog_round(app, frame, "Open Files", "Video Bitrate", lambda: key("ctrl+o"))
    check(window.poll() is None, "the window still runs")


if __name__ == "__main__":
    sys.exit(main())
