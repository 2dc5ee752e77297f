#!/usr/bin/python3
"""Reads Corvalo's windows over AT-SPI as a screen reader does, and checks what it finds.

Run it on the D-Bus session of a Corvalo started with accessibility on
(QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1); tools/startup-focus.sh does both, and so does
tools/desktop-check.sh on Wayland, after the splash was closed (--splash-closed). It opens the help example,
About, the music manager and the skin chooser through the accessible actions of the "?" key and
of the menu bar, as a screen-reader user would, prints the tree (trimmed) and checks:
- every window is a frame or a dialog with its name;
- every picture and every label in the windows has a name (empty labels and backgrounds are left
  out of the tree);
- the keypad with "?" is 25 push buttons, each with a name of its own;
- a click on "Winter" in the skin chooser is announced: the focused button's description changes
  to the skin now previewed, and the Winter preview is the one showing.
Runs with Debian's python3-pyatspi, hence the system interpreter."""
import sys
import time

import pyatspi
from gi.repository import GLib

WAIT = 30  # seconds for the program to answer, at most

WINDOWS = [  # role, name
    ("frame", "Corvalo(Xmas)"),
    ("frame", "Corvalo"),
    ("dialog", "Help-Example"),
    ("dialog", "About"),
    ("frame", "Music selection"),
    ("frame", "Skins"),
]
INSIDE = [  # window, role, name of an object it must hold
    ("Corvalo(Xmas)", "menu item", "Music Manager"),
    ("Corvalo(Xmas)", "text", "Display"),
    ("Corvalo(Xmas)", "image", "Default skin"),
    ("Corvalo", "image", "Christmas tree"),
    ("Corvalo", "image", "Snowy village"),
    ("Corvalo", "label", "(Click To Close)"),
    ("About", "image", "Christmas tree"),
    ("About", "push button", "OK"),
    ("Music selection", "text", "Music file"),
    ("Skins", "image", "Winter skin"),
    ("Skins", "image", "Halloween skin"),
]
NAMED_ROLES = {"image", "label", "push button", "menu item", "frame", "dialog"}

problems = []


def walk(obj):
    yield obj
    for child in obj:
        if child is not None:
            yield from walk(child)


def until(what, find):
    deadline = time.monotonic() + WAIT
    while time.monotonic() < deadline:
        found = find()
        if found:
            return found
        time.sleep(0.1)
    sys.exit(f"FAIL: timed out waiting for {what}")


def app():
    for each in pyatspi.Registry.getDesktop(0):
        if each is not None and each.name == "Corvalo":
            return each
    return None


def windows(application):
    return {w.name: w for w in application if w is not None}


def find(root, role, name):
    for obj in walk(root):
        if obj.getRoleName() == role and obj.name == name:
            return obj
    return None


def press(obj):
    action = obj.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("Press", "press", "click", "Toggle"):
        if wanted in names:
            action.doAction(names.index(wanted))
            return
    problems.append(f"'{obj.name}' offers no press action, only {names}")


def showing(obj):
    return obj.getState().contains(pyatspi.STATE_SHOWING)


def show_tree(obj, depth=0, limit=6):
    line = "  " * depth + f"{obj.getRoleName()} '{obj.name}'"
    if obj.description:
        line += f" ({obj.description})"
    print(line)
    if depth >= 3:
        return
    children = [c for c in obj if c is not None]
    for child in children[:limit]:
        show_tree(child, depth + 1, limit)
    if len(children) > limit:
        print("  " * (depth + 1) + f"... {len(children) - limit} more")


def announced(skins, skin):
    """Clicks a skin button and waits for a description change that names the skin."""
    heard = []

    def listener(event):
        if event.source.getRoleName() == "push button" and skin in (event.source.description or ""):
            heard.append(f"{event.source.name}: {event.source.description}")
            pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(listener, "object:property-change:accessible-description")
    # The registry tells the program about the new listener on its own time; click after that.
    GLib.timeout_add(1000, lambda: press(find(skins, "push button", skin)) and False)
    GLib.timeout_add_seconds(WAIT, lambda: pyatspi.Registry.stop() and False)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(listener, "object:property-change:accessible-description")
    return heard


def main():
    if "--splash-closed" in sys.argv:  # the user has closed the splash already
        WINDOWS.remove(("dialog", "Corvalo"))
        INSIDE[:] = [row for row in INSIDE if row[0] != "Corvalo"]
    corvalo = until("Corvalo on the accessibility bus", app)
    main_window = until("the main window", lambda: windows(corvalo).get("Corvalo(Xmas)"))
    press(until('the "?" key', lambda: find(main_window, "push button", "Help example")))
    for command in ("About", "Music Manager", "Skins"):
        press(until(f'"{command}" in the menu bar', lambda: find(main_window, "menu item", command)))
    names = [name for _, name in WINDOWS]
    until("six windows", lambda: corvalo.childCount >= len(WINDOWS))
    shown = windows(corvalo)

    for role, name in WINDOWS:
        if name not in shown:
            problems.append(f"no window named '{name}'")
        elif shown[name].getRoleName() != role:
            problems.append(f"window '{name}' is a {shown[name].getRoleName()}, not a {role}")
    for window, role, name in INSIDE:
        if window in shown and not find(shown[window], role, name):
            problems.append(f"no {role} '{name}' in '{window}'")
    for window in shown.values():
        for obj in walk(window):
            if obj.getRoleName() in NAMED_ROLES and not obj.name:
                problems.append(f"a nameless {obj.getRoleName()} in '{window.name}'")
    client = [c for c in shown["Corvalo(Xmas)"] if c.getRoleName() == "filler"][0]
    keys = [c for c in client if c.getRoleName() == "push button"]
    if len(keys) != 25 or len({k.name for k in keys}) != 25:
        problems.append(f"the keypad is {len(keys)} push buttons, {len({k.name for k in keys})} names")

    heard = announced(shown["Skins"], "Winter")
    if not heard:
        problems.append('clicking "Winter" announced nothing')
    previews = [o for o in walk(shown["Skins"]) if o.getRoleName() == "image" and showing(o)]
    if [p.name for p in previews] != ["Winter skin"]:
        problems.append(f"after Winter the chooser shows {[p.name for p in previews]}")

    print(f"application '{corvalo.name}', {corvalo.childCount} windows:")
    for window in sorted(shown.values(), key=lambda w: names.index(w.name) if w.name in names else 9):
        show_tree(window, 1)
    print("announced:", heard[0] if heard else "nothing")
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
