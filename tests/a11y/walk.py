#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Reads the window through the accessibility bus (pyatspi), keys sent through the X server.
import subprocess
import sys
import time

import pyatspi


def find_app(name, tries=50):
    for _ in range(tries):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name.lower() == name:
                return app
        time.sleep(0.2)
    sys.exit("no application %s on the accessibility bus" % name)


def find(root, predicate):
    return pyatspi.findDescendant(root, predicate)


def focused(root):
    """The deepest focused object: a list's row rather than the list."""
    found = None
    for obj in pyatspi.findAllDescendants(root, lambda o: o.getState().contains(
            pyatspi.STATE_FOCUSED)):
        found = obj
    return found


def key(name):
    subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)
    time.sleep(0.5)


def say(label, obj):
    if obj is None:
        print("%-34s (nothing)" % label)
        return
    print("%-34s %s %r" % (label, obj.getRoleName(), obj.name))


app = find_app("tunebrowse")
window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "Tunebrowse"],
                        capture_output=True, text=True, check=True).stdout.split()[0]
subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
time.sleep(1)

tracks = find(app, lambda o: o.name == "Track list" and o.getRole() in
              (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_LIST)
              and o.getState().contains(pyatspi.STATE_SHOWING))
key("Tab")
key("Home")
say("list, Home:", focused(app))
key("Down")
say("list, Down:", focused(app))
key("End")
say("list, End:", focused(app))

for name in ("Large Icons", "Small Icons", "List", "Details"):
    button = find(app, lambda o, n=name: o.name == n and o.getRole() in
                  (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
                   pyatspi.ROLE_RADIO_BUTTON))
    if button is None:
        print("%-34s (not found)" % ("button " + name + ":"))
        continue
    checked = button.getState().contains(pyatspi.STATE_CHECKED)
    print("%-34s %s%s" % ("button " + name + ":", button.getRoleName(),
                          ", checked" if checked else ""))

key("Home")
key("ctrl+Return")
time.sleep(1)
genre = find(app, lambda o: o.getRole() == pyatspi.ROLE_COMBO_BOX and any(
    r.getRelationType() == pyatspi.RELATION_LABELLED_BY and "Genre" in r.getTarget(0).name
    for r in o.getRelationSet()))
if genre is None:
    sys.exit("no genre box")
genre.queryComponent().grabFocus()
time.sleep(0.5)
labels = [r.getTarget(0).name for r in genre.getRelationSet()
          if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
say("genre box, focused:", genre)
print("%-34s %r" % ("genre box, labelled by:", labels))
key("Down")
say("genre box, after Down:", genre)
key("Escape")
