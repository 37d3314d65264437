#!/usr/bin/env python3
"""The real program on an X server, read through the AT-SPI bus as a screen reader reads it.

Run inside `xvfb-run` and `dbus-run-session`: arguments are the varnetik program and varnetik-slave. Checks
the names that tell alike controls apart, that a connect's outcome line comes as the showing of a
notification (what Orca speaks unasked), and that the menu key opens the table menu for the current row.
Exits non-zero with a line per failure.
"""
import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

PROGRAM, SLAVE = sys.argv[1], sys.argv[2]
failures = []
# Qt shows a tree view with columns as a tree.
TABLE_ROLE = pyatspi.ROLE_TREE
events = []
focus_events = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, flush=True)


def pump(seconds, until=lambda: False):
    """Lets the bus deliver events for a while, or until the condition holds."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and not until():
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)
    return until()


def find(root, role=None, name=None):
    return pyatspi.findAllDescendants(
        root, lambda a: a is not None and (role is None or a.getRole() == role) and (name is None or a.name == name))


def press(accessible):
    action = accessible.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            action.doAction(i)
            return
    raise RuntimeError("no press action on " + accessible.name)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.lower() == "varnetik":
            return app
    return None


def record(event):
    try:
        events.append((event.type, event.detail1, event.source.getRole(), event.source.name))
    except Exception:  # an object gone by the time it is asked
        pass


def record_focus(event):
    if event.detail1 == 1:
        try:
            focus_events.append((event.source, event.source.name))
        except Exception:
            pass


slave = subprocess.Popen([SLAVE, "--listen", "127.0.0.1:0"], stdout=subprocess.PIPE, text=True)
port = None
for line in slave.stdout:
    found = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
    if found:
        port = int(found.group(1))
        break
env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
program = None
try:
    app = None
    # Now and then the first connection to a just started X server is refused; the program then ends at
    # once and is started again.
    for attempt in range(3):
        program = subprocess.Popen([PROGRAM], env=env)
        deadline = time.monotonic() + 30
        while app is None and time.monotonic() < deadline and program.poll() is None:
            app = application()
            if app is None:
                time.sleep(0.2)
        if app is not None or program.poll() is None:
            break
        time.sleep(1)
    check(app is not None, "the program is on the accessibility bus")
    if app is None:
        sys.exit(1)
    window = app[0]

    # Names of alike controls.
    for name, role, count in [("RTU-Ergebnisse", TABLE_ROLE, 1),
                              ("TCP-Ergebnisse", TABLE_ROLE, 1),
                              ("Schreiben (FC 06)", pyatspi.ROLE_PUSH_BUTTON, 2),
                              ("Schreiben (FC 16)", pyatspi.ROLE_PUSH_BUTTON, 2),
                              ("RTU Timeout (ms)", pyatspi.ROLE_SPIN_BUTTON, 1),
                              ("TCP Timeout (ms)", pyatspi.ROLE_SPIN_BUTTON, 1),
                              ("RTU-Status", pyatspi.ROLE_LABEL, 1),
                              ("TCP-Status", pyatspi.ROLE_LABEL, 1)]:
        check(len(find(window, role, name)) == count, "%d x %s named %r" % (count, role, name))
    for group, fields in [("Einzelnes Register (FC 06)", ["Adresse (dez.):", "Wert:", "Schreiben (FC 06)"]),
                          ("Mehrere Register (FC 16)", ["Startadresse (dez.):", "Werte (CSV):", "Schreiben (FC 16)"])]:
        frames = find(window, name=group)
        check(len(frames) == 2, "two group frames %r" % group)
        for frame in frames:
            inside = [child.name for child in find(frame)]
            check(all(field in inside for field in fields), "%r holds %s, has %s" % (group, fields, inside))

    # A connect's outcome line reaches the bus as a notification showing itself.
    pyatspi.Registry.registerEventListener(record, "object:state-changed:showing")
    port_field = [f for f in find(window, pyatspi.ROLE_TEXT, "Port")][0]
    port_field.queryEditableText().setTextContents(str(port))
    press(find(window, pyatspi.ROLE_PUSH_BUTTON, "TCP verbinden")[0])
    line = "TCP verbunden: 127.0.0.1:%d" % port
    heard = lambda: any(e[1] == 1 and e[2] == pyatspi.ROLE_NOTIFICATION and e[3] == line for e in events)
    check(pump(10, heard), "object:state-changed:showing from a notification named %r; got %s" % (line, events))

    # The menu key on the TCP table opens its menu for the current row, the first item active.
    table = find(window, TABLE_ROLE, "TCP-Ergebnisse")[0]
    press(find(window, pyatspi.ROLE_PAGE_TAB, "TCP Lesen")[0])
    check(pump(10, lambda: table.getState().contains(pyatspi.STATE_SHOWING)), "the page of the table shows")
    press(find(window, pyatspi.ROLE_PUSH_BUTTON, "Lesen")[1])
    check(pump(10, lambda: find(table, name="0x0001")), "the read fills the table")
    # A click on the second row gives the table the focus (the table offers no focus action), Up moves to
    # the first row.
    cell = find(table, name="0x0001")[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(cell.x + cell.width // 2, cell.y + cell.height // 2, "b1c")
    check(pump(10, lambda: table.getState().contains(pyatspi.STATE_FOCUSED)), "a click focuses the table")
    pyatspi.Registry.generateKeyboardEvent(0xFF52, None, pyatspi.KEY_SYM)  # XK_Up
    check(pump(10, lambda: find(table, name="0x0000")[0].getState().contains(pyatspi.STATE_SELECTED)),
          "Up moves to the first row")
    pyatspi.Registry.registerEventListener(record_focus, "object:state-changed:focused")
    pyatspi.Registry.generateKeyboardEvent(135, None, pyatspi.KEY_PRESSRELEASE)  # the Menu key of the evdev keymap

    # Qt lists no popup among the application's windows: the menu shows itself by the focus it gives its
    # first item, as a screen reader hears it.
    first = "Adresse (hex) kopieren: 0x0000"
    focused = lambda: [e for e in focus_events if e[0].getRole() == pyatspi.ROLE_MENU_ITEM and e[1] == first]
    check(pump(10, lambda: focused()), "the menu key opens the table menu, its first item active; got %s"
          % [e[1] for e in focus_events])
    if focused():
        items = [item.name for item in focused()[0][0].parent if item.getRole() == pyatspi.ROLE_MENU_ITEM]
        check(items[:2] == [first, "Adresse (dez) kopieren: 0"] and "Komplette Zeile kopieren" in items,
              "the menu is that of the first row: %s" % items)
finally:
    if program is not None:
        program.terminate()
        program.wait(10)
    slave.terminate()
    slave.wait(10)

sys.exit(1 if failures else 0)
