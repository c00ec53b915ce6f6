#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# A mass edit in the real window, as a user makes it, inside an X display: every file of FOLDER
# selected, the year typed in the tag editor, OK. Prints how long the window's thread took at most
# to answer the window manager's ping from the OK on (xping), and the time from the OK until every
# file, read in BACKING (the folder FOLDER shows, read directly), ends with the new year.
#
#   edit_window.sh TUNEBROWSE FOLDER BACKING XPING [SECONDS]
#
# SECONDS (default 40) is how long the pings go on: longer than the write. Run it under xvfb-run;
# it starts a window manager of its own. The settings are the caller's (XDG_CONFIG_HOME).
set -euo pipefail

exe=$1 folder=$2 backing=$3 xping=$4 seconds=${5:-40}
year=1998

openbox --sm-disable &
wm=$!
"$exe" "$folder" &
pid=$!
cleanup() {
    kill "$pid" "$wm" 2> /dev/null || true
    wait 2> /dev/null || true
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
wid=$(timeout 60 xdotool search --sync --onlyvisible --name " - Tunebrowse\$" | head -n 1)
[ -n "$wid" ] || { echo "edit_window.sh: no window" >&2; exit 1; }
# The folder is read on the window's start; a share at a few ms a request reads 2,000 files well
# within this.
sleep "${SETTLE:-10}"

xdotool windowfocus --sync "$wid"
xdotool key F6 ctrl+a ctrl+Return
sleep 2
xdotool key alt+y
xdotool type "$year"
sleep 0.5

"$xping" "$wid" "$seconds" > "$backing.xping" &
ping=$!
start=${EPOCHREALTIME}
xdotool key Return
# Every file read directly, from the first written on: the writes follow the list's order, which
# is not the folder's, so each pass goes over the files still to be seen.
python3 - "$backing" "$year" "$start" "$seconds" << 'EOF'
import os, sys, time
root, year, start, limit = sys.argv[1], sys.argv[2].encode(), float(sys.argv[3]), float(sys.argv[4])
left = [os.path.join(d, f) for d, _, fs in os.walk(root) for f in fs if f.lower().endswith(".mp3")]
def written(path):
    with open(path, "rb") as f:
        f.seek(-128, 2)
        tail = f.read(128)
    return tail[:3] == b"TAG" and tail[93:97] == year
while left and time.time() - start < limit:
    left = [p for p in left if not written(p)]
    if left:
        time.sleep(0.2)
print("files written in %.2f s%s" % (time.time() - start,
                                     "" if not left else ", %d not written" % len(left)))
EOF
wait "$ping"
echo "window answered the ping within: $(cat "$backing.xping")"
rm -f "$backing.xping"
