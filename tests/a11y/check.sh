#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Walks the real window as a screen reader does, through the accessibility bus, and prints what
# it would read, following the focus events as a reader does: Tab into the track list and the
# focused row after Down and End, the display style buttons (radio buttons, one checked) and the
# list after choosing another style, the tag editor's genre box on focus and after each arrow key.
# Run by hand: check.sh [path/to/tunebrowse]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exe="$(realpath "${1:-$here/../../build/tunebrowse}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music" "$work/config"
# Three files with an ID3v1 tag each: the title differs from the file name, so a wrong cell shows.
python3 - "$work/music" <<'PY'
import sys
def field(text, width):
    return text.encode("latin-1")[:width].ljust(width, b"\0")
for n, (title, genre) in enumerate([("Hands River", 8), ("Ocean", 13), ("Night Train", 17)], 1):
    tag = b"TAG" + field(title, 30) + field("Someone", 30) + field("Album %d" % n, 30)
    tag += field("2001", 4) + field("", 30) + bytes([genre])
    with open("%s/%02d - %s.mp3" % (sys.argv[1], n, title.split()[0]), "wb") as f:
        f.write(b"\xff\xfb\x90\x64" + b"\0" * 4000 + tag)
PY
XDG_CONFIG_HOME="$work/config" "$here/with_atspi.sh" bash -c '
    "$1" "$2" &
    app=$!
    /usr/bin/python3 "$3" "$2"
    kill "$app"' check "$exe" "$work/music" "$here/walk.py"
