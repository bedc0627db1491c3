#!/usr/bin/python3
"""Checks the running Corvane window as assistive technology sees it, through AT-SPI: every
control has a role and a name, and the window can be operated through the bus (ticking "旋转"
there enables its choices). Usage: accessibility_check.py [APP_NAME]; run beside the program
under scripts/with-xvfb. Prints one line per control; exits 1 on a problem."""

import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

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


def find(window, role, name):
    for node in walk(window):
        if node.get_role_name() == role and node.get_name() == name:
            return node
    return None


def wait_for(condition, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return False


def main():
    app = find_application(sys.argv[1] if len(sys.argv) > 1 else "corvane", 60)
    if app is None:
        print("FAIL: the program did not appear on the accessibility bus")
        return 1
    window = app.get_child_at_index(0)
    print(f"window: {window.get_role_name()} '{window.get_name()}'")
    problems = []
    controls = 0
    for node in walk(window):
        role = node.get_role_name()
        if role not in CONTROL_ROLES:
            continue
        controls += 1
        name = node.get_name()
        print(f"  {role:13} '{name}'")
        if not name:
            problems.append(f"{role} without a name")
    if controls < 80:
        problems.append(f"only {controls} controls seen")

    rotate = find(window, "check box", "旋转")
    ninety = find(window, "radio button", "顺时针   90 度")
    if rotate is None or ninety is None:
        problems.append("旋转 or its first choice not found")
    else:
        was = sensitive(ninety)
        names = [rotate.get_action_name(i) for i in range(rotate.get_n_actions())]
        index = names.index("Toggle") if "Toggle" in names else 0
        rotate.do_action(index)
        if was or not wait_for(lambda: sensitive(ninety)):
            problems.append("ticking 旋转 through the bus did not enable its choices")
        else:
            print("operated: ticking 旋转 through AT-SPI enabled '顺时针   90 度'")

    print(f"{controls} controls checked")
    for problem in problems:
        print(f"FAIL: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
