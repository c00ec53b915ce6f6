#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Reads the window through the accessibility bus (pyatspi), keys sent through the X server.
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib


def find_app(name, tries=50):
    for _ in range(tries):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name.lower() == name:
                return app
        time.sleep(0.2)
    sys.exit("no application %s on the accessibility bus" % name)


def find(root, predicate):
    return pyatspi.findDescendant(root, predicate)


# A screen reader speaks the object of the last focus event it was told of: follow the events, not
# the states read back, which an object that lost the focus may still show for a while.
told = []


def on_focus(event):
    if event.detail1 == 1:
        told.append(event.source)


pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")


def pump(seconds=0.6):
    context = GLib.MainContext.default()
    end = time.time() + seconds
    while time.time() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def last_focus():
    return told[-1] if told else None


def key(name):
    subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)
    pump()


def inside(obj, ancestor):
    while obj is not None:
        if obj == ancestor:
            return True
        obj = obj.parent
    return False


def row_text(table_obj, cell):
    """The row's cells as the table gives them, to show that the focused cell heads the row."""
    try:
        table = table_obj.queryTable()
        row = table.getRowAtIndex(cell.getIndexInParent())
        if row < 0:
            return ""
        return " | ".join(table.getAccessibleAt(row, c).name for c in range(table.nColumns))
    except NotImplementedError:
        return ""


def say(label, obj, table=None):
    if obj is None:
        print("%-34s (nothing)" % label)
        return
    print("%-34s %s %r" % (label, obj.getRoleName(), obj.name))
    if table is not None and inside(obj, table):
        cells = row_text(table, obj)
        if cells:
            print("%-34s %s" % ("", "row: " + cells))


def visible_window(name):
    return subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", name],
                          capture_output=True, text=True, check=True).stdout.split()[0]


app = find_app("tunebrowse")
# No window manager: the keyboard goes where the X server is told to send it.
subprocess.run(["xdotool", "windowfocus", "--sync", visible_window("Tunebrowse")], check=True)
pump(1)
say("window shown, focus on:", last_focus())

tracks = find(app, lambda o: o.name == "Track list" and o.getRole() in
              (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_LIST)
              and o.getState().contains(pyatspi.STATE_SHOWING))
if tracks is None:
    sys.exit("no track list on screen")
# Tab goes from the tree to the list, as a user reaches it.
for _ in range(3):
    if inside(last_focus(), tracks):
        break
    key("Tab")
say("list, after Tab:", last_focus(), tracks)
if not inside(last_focus(), tracks):
    sys.exit("Tab did not bring the focus into the track list")
key("Home")
say("list, Home:", last_focus(), tracks)
key("Down")
say("list, Down:", last_focus(), tracks)
key("End")
say("list, End:", last_focus(), tracks)

STYLES = ("Large Icons", "Small Icons", "List", "Details")
for name in STYLES:
    button = find(app, lambda o, n=name: o.name == n and o.getRole() in
                  (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
                   pyatspi.ROLE_RADIO_BUTTON))
    if button is None:
        print("%-34s (not found)" % ("button " + name + ":"))
        continue
    checked = button.getState().contains(pyatspi.STATE_CHECKED)
    print("%-34s %s%s" % ("button " + name + ":", button.getRoleName(),
                          ", checked" if checked else ""))

# Chosen through the button's own action, as an assistive tool presses it: one radio button moves.
button = find(app, lambda o: o.name == "List" and o.getRole() == pyatspi.ROLE_RADIO_BUTTON)
if button is not None:
    action = button.queryAction()
    action.doAction([action.getName(i) for i in range(action.nActions)].index("Press"))
    pump()
    print("%-34s %s" % ("checked after pressing List:", [
        o.name for o in pyatspi.findAllDescendants(app, lambda o: o.getRole() ==
                                                   pyatspi.ROLE_RADIO_BUTTON and o.name in STYLES
                                                   and o.getState().contains(
                                                       pyatspi.STATE_CHECKED))]))
    tracks = find(app, lambda o: o.name == "Track list" and
                  o.getState().contains(pyatspi.STATE_SHOWING) and o.getRole() in
                  (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_LIST))
    key("Home")
    say("list as List, Home:", last_focus(), tracks)
    key("Down")
    say("list as List, Down:", last_focus(), tracks)

# The three files have three genres: the editor opened on all of them leaves the genre unchanged.
key("ctrl+a")
key("ctrl+Return")
subprocess.run(["xdotool", "windowfocus", "--sync", visible_window("Properties")], check=True)
pump(1)
genre = find(app, lambda o: o.getRole() == pyatspi.ROLE_COMBO_BOX and any(
    r.getRelationType() == pyatspi.RELATION_LABELLED_BY and "Genre" in r.getTarget(0).name
    for r in o.getRelationSet()))
if genre is None:
    sys.exit("no genre box")
labels = [r.getTarget(0).name for r in genre.getRelationSet()
          if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
print("%-34s %r" % ("genre box, labelled by:", labels))
# Tab from the title, the first field, to the genre box.
for _ in range(8):
    if last_focus() == genre:
        break
    key("Tab")
say("genre box, focused by Tab:", last_focus())
for step in ("Down", "Down", "Up"):
    key(step)
    say("genre box, after %s:" % step, genre)
key("Escape")
