#!/usr/bin/python3
"""The program as a screen reader sees it: starts velta-control-center with Qt's accessibility
bridge on, reads its tree over AT-SPI and checks what a reader needs:

  - the LED grid is a table of 12 rows and 32 columns whose cells are named "row R, column C, on"
    or "off", and switching a cell through its action is announced as a state change;
  - the pods and the rings are lists of named items;
  - the three sliders have their names;
  - no focusable control is without a name.

Run it under its own session bus, on an X display:
    dbus-run-session -- /usr/bin/python3 tests/e2e/atspi_walk.py build/app/velta-control-center
Prints PASS or FAIL per check; exit status 1 when any failed, 2 when the program never showed up.
"""

import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

PROGRAM_NAME = "velta-control-center"
SLIDERS = {"LED Rings Brightness", "LED Grid Brightness", "Scroll Speed"}


def wait_for_application(process, seconds):
    desktop = pyatspi.Registry.getDesktop(0)
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and process.poll() is None:
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name == PROGRAM_NAME and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def walk(node, path, found):
    """Every node below `node` with its role, name and states, depth first."""
    try:
        role = node.getRole()
        name = node.name or ""
        states = node.getState()
    except Exception as error:  # a node that went away while walking
        found.append((path, None, "", set(), error))
        return
    found.append((path, role, name, states, node))
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            walk(child, path + [index], found)


def pump(seconds):
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def main():
    if len(sys.argv) != 2:
        print("usage: atspi_walk.py PROGRAM", file=sys.stderr)
        return 2
    env = dict(os.environ, QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_QPA_PLATFORM="xcb")
    process = subprocess.Popen([sys.argv[1], "--simulate"], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    results = []

    def check(name, ok, detail=""):
        results.append(ok)
        print(("  PASS  " if ok else "  FAIL  ") + name + (": " + detail if detail else ""))

    try:
        app = wait_for_application(process, 30)
        if app is None:
            print("atspi-walk: the program did not appear on the accessibility bus")
            return 2
        time.sleep(1)  # every window shown and laid out
        nodes = []
        started = time.monotonic()
        walk(app, [], nodes)
        print("atspi-walk: %d nodes in %.1f s" % (len(nodes), time.monotonic() - started))

        def with_role(role, name=None):
            return [n for n in nodes if n[1] == role and (name is None or n[2] == name)]

        tables = with_role(pyatspi.ROLE_TABLE, "LED grid")
        check("the LED grid is one table", len(tables) == 1, "%d found" % len(tables))
        if tables:
            grid = tables[0][4]
            table = grid.queryTable()
            check("the table has 12 rows and 32 columns",
                  (table.nRows, table.nColumns) == (12, 32),
                  "%d x %d" % (table.nRows, table.nColumns))
            cell = table.getAccessibleAt(2, 6)
            check("cell (2, 6) is named for its place and state",
                  cell is not None and cell.name == "row 3, column 7, off"
                  and cell.getRole() == pyatspi.ROLE_TABLE_CELL,
                  repr(cell.name if cell is not None else None))

            # Switched through its action, the cell says so.
            heard = []
            def listener(event):
                if event.source is not None and event.source.name.startswith("row 3, column 7"):
                    heard.append((event.type, event.detail1))
            pyatspi.Registry.registerEventListener(listener, "object:state-changed:checked")
            action = cell.queryAction()
            names = [action.getName(i) for i in range(action.nActions)]
            check("the cell's action is the switch", names == ["Toggle"], repr(names))
            if names:
                action.doAction(0)
            pump(2)
            pyatspi.Registry.deregisterEventListener(listener, "object:state-changed:checked")
            check("switching the cell is announced and it reads on",
                  any(detail == 1 for _, detail in heard)
                  and cell.name == "row 3, column 7, on"
                  and cell.getState().contains(pyatspi.STATE_CHECKED),
                  "%s, now %r" % (heard, cell.name))

        for name, count, first in (("Master Side pods", 10, "pod 1, Master Side, off"),
                                   ("Secondary Side pods", 10, "pod 1, Secondary Side, off"),
                                   ("LED rings", 12, "ring 1, off")):
            lists = with_role(pyatspi.ROLE_LIST, name)
            items = [lists[0][4].getChildAtIndex(i) for i in range(lists[0][4].childCount)] \
                if lists else []
            check("%s: a list of %d named items" % (name, count),
                  len(lists) == 1 and len(items) == count and items[0].name == first
                  and all(item.name for item in items),
                  repr([item.name for item in items[:2]]))

        sliders = {n[2] for n in with_role(pyatspi.ROLE_SLIDER)}
        check("the sliders are named", SLIDERS <= sliders, repr(sorted(sliders)))

        unnamed = [n for n in nodes
                   if n[1] is not None and n[3].contains(pyatspi.STATE_FOCUSABLE) and not n[2]]
        check("no focusable control is without a name", not unnamed,
              "; ".join("%s at %s" % (n[4].getRoleName(), n[0]) for n in unnamed[:8]))
    finally:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
