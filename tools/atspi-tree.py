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
- a slider's value reads as its text, not a bare number;
- the keypad with "?" is 25 push buttons, each with a name of its own;
- what is announced (ANNOUNCED): a click on "Winter" in the skin chooser changes the focused
  button's description to the skin now previewed, as text a screen reader can speak, and the
  Winter preview is the one showing; "Set", "Mute" and the music manager's "Play" say what they
  did; "5 + 7 =" pressed as keys (Tab to a key, Space) puts "12" into the display that has the
  focus; Down in the store page takes the focus to its first block of text, which is read out.
Runs with Debian's python3-pyatspi, hence the system interpreter."""
import os
import subprocess
import sys
import tempfile
import time
import wave

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
VALUE_TEXTS = [  # window, slider, what a screen reader says for its value
    ("Corvalo(Xmas)", "Volume", "50%"),
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


def keys(*strokes, window=("--onlyvisible", "--name", r"^Corvalo\(Xmas\)$")):
    """Presses keys in the calculator's window (or another), as a person would."""
    main_window = ["xdotool", "search", *window]
    # Without a window manager a window cannot be activated, only given the keyboard.
    if subprocess.run(main_window + ["windowactivate", "--sync"], check=False).returncode:
        subprocess.run(main_window + ["windowfocus", "--sync"], check=False)
    for stroke in strokes:
        subprocess.run(["xdotool"] + stroke.split(), check=True)


def focused(obj):
    return obj.getState().contains(pyatspi.STATE_FOCUSED)


def play(music):
    """Names a second of silence in the music manager and presses its Play."""
    path = os.path.join(tempfile.mkdtemp(), "tune.wav")
    with wave.open(path, "wb") as sound:
        sound.setnchannels(1), sound.setsampwidth(2), sound.setframerate(8000)
        sound.writeframes(bytes(16000))
    find(music, "text", "Music file").queryEditableText().setTextContents(path)
    press(find(music, "push button", "Play"))


REPEATS = []  # GLib sources of acts that go on until the event is heard


def read_store(shown):
    """Opens the store window as the splash's button does, and presses Down in its page."""
    press(find(shown["Corvalo"], "push button", "Click Here To Buy From Snowdrift Gift Store"))
    store = ["xdotool", "search", "--sync", "--onlyvisible", "--name", "Snowdrift Gift Store"]
    subprocess.run(["timeout", str(WAIT)] + store, check=True, stdout=subprocess.DEVNULL)
    until("the store page", lambda: [o for a in pyatspi.Registry.getDesktop(0) if a is not None
                                     for w in a if w is not None and w.name != "Corvalo(Xmas)"
                                     for o in w if o is not None and o.childCount > 0
                                     for d in o if d is not None and d.childCount > 0
                                     and d.getRoleName() == "document web"])
    # A key that comes while the new window settles can be lost, so Down is pressed again
    # every two seconds until the focus is heard to move (announced() ends the repeats).
    keys("key Down", window=store[3:])
    REPEATS.append(GLib.timeout_add_seconds(2, lambda: keys("key Down", window=store[3:]) or True))


def in_page(obj):
    while obj is not None and obj.getRoleName() != "document web":
        obj = obj.parent
    return obj is not None


ANNOUNCED = [  # what is done, the event, what the event must carry
    ('"Winter" clicked in the chooser', "object:property-change:accessible-description",
     lambda shown: press(find(shown["Skins"], "push button", "Winter")),
     lambda e: e.source.getRoleName() == "push button" and e.any_data == "Previewing Winter"),
    ('"Set" pressed', "object:property-change:accessible-description",
     lambda shown: press(find(shown["Skins"], "push button", "Set")),
     lambda e: e.source.name == "Set" and e.any_data == "Winter set"),
    ('"Mute" pressed', "object:property-change:accessible-description",
     lambda shown: press(find(shown["Corvalo(Xmas)"], "push button", "Mute")),
     lambda e: e.any_data == "Muted"),
    ('"Play" pressed on a file', "object:property-change:accessible-description",
     lambda shown: play(shown["Music selection"]),
     lambda e: e.any_data == "Playing tune.wav"),
]
KEYED = [  # as ANNOUNCED, by keys that reach the program only through an X server
    ('"5 + 7 =" pressed as keys', "object:text-changed:insert",
     lambda shown: keys("key Escape", "type 5", "key Tab Tab Tab Tab space", "type 7",
                        "key" + " shift+Tab" * 15, "key space"),
     lambda e: e.source.name == "Display" and e.any_data == "12" and focused(e.source)),
    ("Down in the store page", "object:state-changed:focused", read_store,
     lambda e: e.detail1 == 1 and e.source.name and in_page(e.source)),
]


def announced(event_type, act, wanted):
    """Does act and waits for an event of event_type for which wanted holds."""
    heard = []

    def listener(event):
        if wanted(event) and not heard:
            heard.append(f"{event.source.getRoleName()} '{event.source.name}': {event.any_data}")
            pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(listener, event_type)
    # The registry tells the program about the new listener on its own time; act after that.
    # The wait for the event starts once the act is done: opening the store takes its own time.
    def act_then_wait():
        act()
        GLib.timeout_add_seconds(WAIT, lambda: pyatspi.Registry.stop() and False)
        return False
    GLib.timeout_add(1000, act_then_wait)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(listener, event_type)
    while REPEATS:
        GLib.source_remove(REPEATS.pop())
    return heard


def main():
    if "--splash-closed" in sys.argv:  # the user has closed the splash already
        WINDOWS.remove(("frame", "Corvalo"))
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
    for window, name, text in VALUE_TEXTS:
        slider = find(shown.get(window, corvalo), "slider", name)
        attributes = dict(a.split(":", 1) for a in slider.getAttributes()) if slider else {}
        if attributes.get("valuetext") != text:
            problems.append(f"slider '{name}' reads as {attributes.get('valuetext')}, not {text}")
    client = [c for c in shown["Corvalo(Xmas)"] if c.getRoleName() == "filler"][0]
    keys = [c for c in client if c.getRoleName() == "push button"]
    if len(keys) != 25 or len({k.name for k in keys}) != 25:
        problems.append(f"the keypad is {len(keys)} push buttons, {len({k.name for k in keys})} names")

    heard = []
    # Keys are pressed through the X server, which reaches the program only when it runs on X.
    by_x = os.environ.get("QT_QPA_PLATFORM") == "xcb"
    for what, event_type, act, wanted in ANNOUNCED + KEYED if by_x else ANNOUNCED:
        said = announced(event_type, lambda: act(shown), wanted)
        heard += said or [f"{what}: nothing"]
        if not said:
            problems.append(f"{what} announced nothing")
    previews = [o for o in walk(shown["Skins"]) if o.getRoleName() == "image" and showing(o)]
    if [p.name for p in previews] != ["Winter skin"]:
        problems.append(f"after Winter the chooser shows {[p.name for p in previews]}")

    print(f"application '{corvalo.name}', {corvalo.childCount} windows:")
    for window in sorted(shown.values(), key=lambda w: names.index(w.name) if w.name in names else 9):
        show_tree(window, 1)
    print("announced:", "; ".join(heard))
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
