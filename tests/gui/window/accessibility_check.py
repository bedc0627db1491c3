#!/usr/bin/python3
"""Checks the running Corvane window as assistive technology sees it, through AT-SPI: every
control that shows has a role and a name, and the window can be operated through the bus: ticking
"旋转" enables its choices, "背景色" opens its colour popup whose cells can be pressed, and a new
status text is announced. Usage: accessibility_check.py [APP_NAME]; run beside the program under
scripts/with-xvfb. Prints one line per control; exits 1 on a problem."""

import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# get_action_name is marked deprecated, yet it is the only way to an action's untranslated name.
warnings.filterwarnings("ignore", category=DeprecationWarning)

# Roles of the controls a user handles or reads; their names must not be empty.
CONTROL_ROLES = {
    "push button", "check box", "radio button", "text", "label", "progress bar", "link",
    "panel", "toggle button", "combo box", "spin button",
}


def find_application(name, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_name() == name and app.get_child_count() > 0:
                return app
        time.sleep(0.2)  # the program is still starting
    return None


def walk(node):
    yield node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child)


def sensitive(node):
    return node.get_state_set().contains(Atspi.StateType.SENSITIVE)


def showing(node):
    return node.get_state_set().contains(Atspi.StateType.SHOWING)


def press(node, wanted=("Press", "Toggle")):
    names = [node.get_action_name(i) for i in range(node.get_n_actions())]
    for name in wanted:
        if name in names:
            return node.do_action(names.index(name))
    return False


def find(window, role, name):
    for node in walk(window):
        if node.get_role_name() == role and node.get_name() == name:
            return node
    return None


def pump_events():
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_for(condition, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        pump_events()  # events heard on the bus are delivered here
        if condition():
            return True
        time.sleep(0.1)
    return False


def toggle_enables(window, box, target, problems):
    """Toggles the control `box` (role, name) through the bus; gives the control `target`
    (role, name) when that becomes usable by it, else None with the problem noted."""
    toggled = find(window, *box)
    wanted = find(window, *target)
    if toggled is None or wanted is None:
        problems.append(f"{box[1]} or {target[1]} not found")
        return None
    was = sensitive(wanted)
    press(toggled, ("Toggle", "Press"))
    if was or not wait_for(lambda: sensitive(wanted)):
        problems.append(f"toggling {box[1]} through the bus did not enable {target[1]}")
        return None
    print(f"operated: toggling {box[1]} through AT-SPI enabled '{target[1]}'")
    return wanted


def check_colour_popup(window, problems):
    """With the custom angle chosen, presses 背景色 and picks 浅蓝 in its popup, through the bus."""
    picker = toggle_enables(window, ("radio button", "顺时针"), ("push button", "背景色"), problems)
    if picker is None:
        return
    press(picker)
    if not wait_for(lambda: picker.get_child_count() == 1):
        problems.append("pressing 背景色 through the bus showed no popup in the tree")
        return
    popup = picker.get_child_at_index(0)
    cells = [popup.get_child_at_index(i) for i in range(popup.get_child_count())]
    names = [cell.get_name() if cell is not None else "" for cell in cells]
    print(f"popup: {popup.get_role_name()} '{popup.get_name()}' with {len(cells)} boxes")
    for expected in ("自动", "白色", "浅蓝", "更多颜色..."):
        if expected not in names:
            problems.append(f"the colour popup has no box '{expected}'")
    blue = cells[names.index("浅蓝")] if "浅蓝" in names else None
    if blue is None:
        return
    press(blue)
    if not wait_for(lambda: picker.get_description() == "浅蓝" and picker.get_child_count() == 0):
        problems.append("pressing 浅蓝 through the bus did not choose it")
    else:
        print("operated: pressed 背景色, then 浅蓝 in its popup, through AT-SPI")


def check_status_announced(window, heard, problems):
    """A refused Start (the source set to a folder that does not exist) changes the status line;
    assistive technology must hear the new text."""
    source = find(window, "text", "打开路径")
    start = find(window, "push button", "开  始")
    if source is None or start is None:
        problems.append("打开路径 or 开  始 not found")
        return
    Atspi.EditableText.set_text_contents(source, "/nonexistent/corvane-accessibility-check")
    press(start)
    refusal = "请填写或选择正确的  打开路径。"
    if not wait_for(lambda: refusal in heard):
        problems.append("the new status text was not announced (accessible-name change)")
    else:
        print(f"announced: '{refusal}'")


def main():
    app = find_application(sys.argv[1] if len(sys.argv) > 1 else "corvane", 60)
    if app is None:
        print("FAIL: the program did not appear on the accessibility bus")
        return 1
    window = app.get_child_at_index(0)
    print(f"window: {window.get_role_name()} '{window.get_name()}'")
    # Listening from the start: the program learns of listeners over the bus, not at once.
    heard = []
    listener = Atspi.EventListener.new(lambda event: heard.append(event.source.get_name()))
    listener.register("object:property-change:accessible-name")
    problems = []
    controls = 0
    for node in walk(window):
        role = node.get_role_name()
        # What does not show (the link to files without output, before a run) is not announced.
        if role not in CONTROL_ROLES or not showing(node):
            continue
        controls += 1
        name = node.get_name()
        print(f"  {role:13} '{name}'")
        if not name:
            problems.append(f"{role} without a name")
    if controls < 80:
        problems.append(f"only {controls} controls seen")

    if toggle_enables(window, ("check box", "旋转"), ("radio button", "顺时针   90 度"), problems):
        check_colour_popup(window, problems)
    check_status_announced(window, heard, problems)

    print(f"{controls} controls checked")
    for problem in problems:
        print(f"FAIL: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
