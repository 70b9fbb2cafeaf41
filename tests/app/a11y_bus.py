#!/usr/bin/python3
# Reads the main window after a backup (mossvale_screenshot --stay) through the accessibility
# bus, as a screen reader does, and fails with what a reader would miss. Run by tst_a11y_bus.sh.
import subprocess
import sys
import threading

import pyatspi

failures = []


def check(bOk, strWhat):
    print(("ok   " if bOk else "FAIL ") + strWhat, flush=True)
    if not bOk:
        failures.append(strWhat)


def find(node, fnMatch, nDepth=0):
    if node is None or nDepth > 14:
        return None
    if fnMatch(node):
        return node
    for i in range(min(node.childCount, 200)):
        found = find(node.getChildAtIndex(i), fnMatch, nDepth + 1)
        if found:
            return found
    return None


def role_named(strRole, strName=None):
    return lambda n: n.getRoleName() == strRole and (strName is None or n.name == strName)


desktop = pyatspi.Registry.getDesktop(0)
app = next((a for a in desktop if a and a.name == "Mossvale"), None)
check(app is not None, "the program is on the bus")
if app is None:
    sys.exit(1)

meter = find(app, role_named("progress bar", "Space used"))
check(meter is not None and meter.description.endswith("KB/100M"),
      "the meter is 'Space used' and says how much: %r" % (meter and meter.description))
label = find(app, lambda n: n.getRoleName() == "label" and n.name.endswith("KB/100M"))
check(label is not None, "the meter's label reads as its text")
status = find(app, role_named("status bar"))
check(status is not None and status.name == "2 files backed up",
      "the status bar says what the backup did: %r" % (status and status.name))
tree = find(app, role_named("tree", "My Computer"))
check(tree is not None, "the tree has a name")
header = find(tree, role_named("table column header"))
check(header is not None and header.name != "1", "the hidden header is not read as '1'")
cell = find(tree, lambda n: n.getRoleName() == "table cell" and n.name == "notes.txt")
check(cell is not None and cell.description == "unchecked", "a tree item says its box")
folder = find(tree, lambda n: n.getRoleName() == "table cell" and n.name == "Documents")
states = folder.getState() if folder is not None else None
# (Qt 6.4's bridge passes no "checkable" state on, for any control.)
check(states is not None and states.contains(pyatspi.STATE_INDETERMINATE)
      and not states.contains(pyatspi.STATE_CHECKED),
      "a folder with some files ticked reads as partly checked: %r"
      % (states and [pyatspi.stateToString(x) for x in states.getStates()]))
for strPane in ("Options", "Properties"):
    pane = find(app, role_named("frame", strPane))
    names = sorted(n.name for n in (pane.getChildAtIndex(i).getChildAtIndex(j)
                                    for i in range(pane.childCount)
                                    for j in range(pane.getChildAtIndex(i).childCount))
                   if n.getRoleName() == "push button") if pane else []
    check(names == ["Close", "Float"], "the %s pane's buttons have names: %r" % (strPane, names))

# Space on a tree item: the reader hears the new state.
heard = []
def on_event(event):
    if event.source and event.source.name == "notes.txt":
        heard.append((event.type, event.detail1))
        pyatspi.Registry.stop()
pyatspi.Registry.registerEventListener(on_event, "object:state-changed:checked")
if cell is not None:
    # Select the item with a click where the bus says it is, then press Space.
    box = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = box.x + box.width // 2, box.y + box.height // 2
    window = subprocess.run(["xdotool", "search", "--name", "^Mossvale$"], capture_output=True,
                            text=True).stdout.split()[:1]
    subprocess.run(["xdotool", "windowfocus", "--sync"] + window)
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
    threading.Timer(1.0, lambda: subprocess.run(["xdotool", "key", "space"])).start()
    threading.Timer(10.0, pyatspi.Registry.stop).start()
    pyatspi.Registry.start()
check(("object:state-changed:checked", 1) in heard, "Space on a tree item is heard: %r" % heard)
sys.exit(1 if failures else 0)
