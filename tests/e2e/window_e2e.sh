#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# End to end, as a user: the real program in a real X window. It types a folder into the address
# box, checks the window title and the catalogue, selects two rows and presses Ctrl+P, and checks
# that the desktop's player received the playlist. Screenshots are kept beside the test.
#   window_e2e.sh TUNEBROWSE MAKE_LIBRARY ARTEFACT_DIR
set -euo pipefail

if [ "${1:-}" = --inside-x ]; then
    exe=$2 work=$3 artefacts=$4
    trap 'kill "${pid:-}" 2>/dev/null || true' EXIT
    "$exe" "$work/first" &
    pid=$!
    wid=$(timeout 30 xdotool search --sync --onlyvisible --name "first - Tunebrowse" | head -n 1)
    sleep 1
    import -window root "$artefacts/window-first.png"

    # Type the second folder into the address box.
    # There is no window manager to activate windows: give the focus directly.
    xdotool windowfocus "$wid"
    sleep 0.5
    xdotool key ctrl+l
    xdotool type --delay 5 "$work/second"
    xdotool key Return
    timeout 30 xdotool search --sync --onlyvisible --name "second - Tunebrowse" > /dev/null
    sleep 1
    import -window root "$artefacts/window-second.png"

    # To the list, the first two rows, Ctrl+P.
    xdotool key F6 Home shift+Down ctrl+p
    for _ in $(seq 100); do [ -s "$work/player.log" ] && break; sleep 0.1; done
    # Quit as a user does, File > Exit: the settings are written when the window closes.
    xdotool key --clearmodifiers alt+f
    sleep 0.3
    xdotool key x
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    exit 0
fi

exe=$1 make_library=$2 artefacts=$3
mkdir -p "$artefacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A desktop of the test's own: settings, a fake player as the default for MP3 and M3U files.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime XDG_DATA_DIRS=$work/share XDG_CONFIG_DIRS=$work/etc
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CACHE_HOME" "$XDG_DATA_DIRS" "$XDG_CONFIG_DIRS"
mkdir -m 700 "$XDG_RUNTIME_DIR"
ln -s /usr/share/mime "$XDG_DATA_DIRS/mime"
cat > "$work/player.sh" <<SCRIPT
#!/bin/sh
for arg in "\$@"; do printf '%s\n' "\$arg" >> "$work/player.log"; done
SCRIPT
chmod +x "$work/player.sh"
cat > "$XDG_DATA_HOME/applications/fakeplayer.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Fake Player
Exec=$work/player.sh %F
MimeType=audio/mpeg;audio/x-mpegurl;
ENTRY
printf '[Default Applications]\naudio/mpeg=fakeplayer.desktop\naudio/x-mpegurl=fakeplayer.desktop\n' \
    > "$XDG_CONFIG_HOME/mimeapps.list"

"$make_library" --seed 3 40 "$work/first" > /dev/null
"$make_library" --seed 4 25 "$work/second" > /dev/null


"$(dirname "$0")/../support/with_xvfb.sh" 1024x700x24 "$0" --inside-x "$exe" "$work" "$artefacts"

# The player takes several files (%F): it got the two selected tracks of the second folder
# themselves, as absolute paths; the playlist beside them holds the same two.
lines=$(wc -l < "$work/player.log")
[ "$lines" -eq 2 ] || { echo "player got:"; cat "$work/player.log"; exit 1; }
[ "$(grep -c "^$work/second/.*\.mp3$" "$work/player.log")" -eq 2 ] ||
    { echo "player did not get two tracks of the second folder:"; cat "$work/player.log"; exit 1; }
playlist=$XDG_RUNTIME_DIR/~playlst.m3u
[ ! -e "$playlist" ] || [ "$(tr -d '\r' < "$playlist")" = "$(cat "$work/player.log")" ] ||
    { echo "playlist differs:"; cat "$playlist"; exit 1; }
# The folder typed last is the start folder of the next run.
grep -q "FilePath=$work/second" "$XDG_CONFIG_HOME/Quillon Softs/Tunebrowse.conf"
echo "window end to end: passed"
