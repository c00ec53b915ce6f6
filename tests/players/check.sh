#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Manual check with the real players, not run by CI: installs them from Debian, makes each in
# turn the default for MP3 files and M3U playlists in a desktop of its own, runs the real window
# under Xvfb with a window manager and a session bus as a throw-away user (VLC refuses to run as
# root), does each command from the keyboard in the list, and prints what the player plays (read
# over MPRIS, or its own client where it has no MPRIS) and what it holds after it (MPRIS, its own
# client, or what it saved on quitting), with PASS or FAIL, as a table. Needs root for apt-get,
# useradd and the PID namespaces. Screenshots of each case stay in the work folder; every display,
# socket and lock file taken is freed.
#   tests/players/check.sh [BUILD_DIR]
#   PLAYERS="vlc mpv" CASES="several" tests/players/check.sh [BUILD_DIR]
# Every case runs in a fresh home, display, bus and PID namespace: players keep their lists from
# one start to the next, and a player left behind would take the next case's files itself.
set -uo pipefail
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
user=tbplayers
players=${PLAYERS:-vlc audacious smplayer strawberry clementine rhythmbox quodlibet mpv celluloid parole lollypop}
# "after-one" is an Enqueue into a player already playing one track: what users do most;
# "playing" is a Play of three into a player already playing two others.
cases=${CASES:-one several enqueue after-one playing}
# Sorted by name in the list, in this order: the three chosen first, then the two others. A
# space, a comma, a quote and non-ASCII letters are common in music folders and need quoting on
# the way to a player.
names=("1 alpha.mp3" "2 bravo, b.mp3" "3 charlie.mp3")
others=("4 d'elta.mp3" "5 écho.mp3")

# The entry ids of the players, as Debian installs them.
entry_of() {
    case $1 in
    strawberry) echo org.strawberrymusicplayer.strawberry.desktop ;;
    clementine) echo org.clementine_player.Clementine.desktop ;;
    rhythmbox) echo org.gnome.Rhythmbox3.desktop ;;
    quodlibet) echo io.github.quodlibet.QuodLibet.desktop ;;
    celluloid) echo io.github.celluloid_player.Celluloid.desktop ;;
    parole) echo org.xfce.Parole.desktop ;;
    lollypop) echo org.gnome.Lollypop.desktop ;;
    *) echo "$1.desktop" ;;
    esac
}

# The MPRIS side of any player: "list PATH" per entry of its track list, "playing PATH" for the
# current track while it plays; --quit asks every player on the bus to end.
mpris() {
    timeout 10 /usr/bin/python3 - "$@" << 'EOF'
import sys
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
def call(name, iface, method, args, reply=None):
    return bus.call_sync(name, "/org/mpris/MediaPlayer2", iface, method, args,
                         GLib.VariantType(reply) if reply else None, 0, 3000, None).unpack()
def get(name, iface, prop):
    return call(name, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", (iface, prop)), "(v)")[0]
names = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "ListNames", None, GLib.VariantType("(as)"), 0, 3000, None).unpack()[0]
for name in (n for n in names if n.startswith("org.mpris.MediaPlayer2.")):
    if sys.argv[1:] == ["--quit"]:
        try:
            call(name, "org.mpris.MediaPlayer2", "Quit", None)
        except GLib.Error as error:
            print(name, error.message, file=sys.stderr)
        continue
    try:
        tracks = get(name, "org.mpris.MediaPlayer2.TrackList", "Tracks")
        for meta in call(name, "org.mpris.MediaPlayer2.TrackList", "GetTracksMetadata",
                         GLib.Variant("(ao)", (tracks,)), "(aa{sv})")[0]:
            # Celluloid names it xesam:uri.
            print("list", meta.get("xesam:url", meta.get("xesam:uri", "?")))
    except GLib.Error:
        pass
    try:
        url = get(name, "org.mpris.MediaPlayer2.Player", "Metadata").get("xesam:url")
        status = get(name, "org.mpris.MediaPlayer2.Player", "PlaybackStatus")
        if url and status == "Playing":
            print("playing", url)
    except GLib.Error:
        pass
EOF
}

# VLC 3 does not update its MPRIS track list after files were added to a running instance; its
# remote-control interface, opened by its configuration in the case's home, lists the titles,
# and each track's title is its file name.
vlc_list() {
    timeout 5 /usr/bin/python3 - "$HOME/vlc.socket" "$work/music" << 'EOF'
import re, socket, sys, time
s = socket.socket(socket.AF_UNIX)
s.settimeout(3)
s.connect(sys.argv[1])
s.sendall(b"playlist\n")
reply = b""
while b"End of playlist" not in reply:
    reply += s.recv(65536)
node = None
for line in reply.decode().splitlines():
    if line.startswith("|- "):
        node = line[3:]
    match = re.match(r"\|  - (.*) \(\d+:\d+\)", line)
    if match and node == "Playlist":
        print("list", sys.argv[2] + "/" + match.group(1))
EOF
}

# mpv has no MPRIS of its own; its configuration in the case's home opens a control socket.
mpv_ipc() { # COMMAND as JSON array
    timeout 5 /usr/bin/python3 - "$HOME/mpv.socket" "$1" << 'EOF'
import json, socket, sys
s = socket.socket(socket.AF_UNIX)
s.settimeout(3)
s.connect(sys.argv[1])
s.sendall(b'{"command": %s}\n' % sys.argv[2].encode())
reply = b""
while not reply.endswith(b"\n"):
    reply += s.recv(65536)
for line in reply.splitlines():
    data = json.loads(line).get("data")
    if not isinstance(data, list):
        print("value", json.dumps(data))
    for entry in data if isinstance(data, list) else []:
        print("list", entry["filename"])
        if entry.get("playing"):
            print("playing", entry["filename"])
EOF
}

# What the player holds: "list PATH", "playing PATH" or "queue PATH" lines, file URIs decoded.
read_back() {
    read_back_raw | decode
}

decode() {
    /usr/bin/python3 -c 'import sys, urllib.parse
for line in sys.stdin:
    kind, _, what = line.rstrip("\n").partition(" ")
    if what.startswith("file://"):
        what = urllib.parse.unquote(what[7:])
    print(kind, what)'
}

read_back_raw() {
    case $player in
    audacious)
        n=$(timeout 5 audtool --playlist-length 2> /dev/null) || return
        for ((i = 1; i <= n; ++i)); do
            echo "list $(timeout 5 audtool --playlist-song-filename "$i")"
        done
        [ "$(timeout 5 audtool --playback-status)" = playing ] &&
            echo "playing $(timeout 5 audtool --current-song-filename)"
        ;;
    mpv)
        # A paused mpv plays nothing.
        mpv_ipc '["get_property", "playlist"]' 2> /dev/null |
            if mpv_ipc '["get_property", "pause"]' 2> /dev/null | grep -qx 'value false'; then
                cat
            else
                grep -v '^playing '
            fi
        ;;
    vlc)
        vlc_list 2> /dev/null
        mpris 2> /dev/null | grep '^playing '
        ;;
    parole)
        # Without MPRIS (its plugin is off by default) its window's title names the current
        # track by its title, which is the file's name here.
        parole_title | sed "s|^|playing $work/music/|"
        ;;
    quodlibet)
        # Quod Libet only answers once it runs: "--run" must not be there, or it would start.
        # It names "/" while nothing plays.
        timeout 8 quodlibet --status 2> /dev/null | grep -q '^playing' &&
            timeout 8 quodlibet --print-playing '<~filename>' 2> /dev/null | grep -vx / |
            sed 's/^/playing /'
        timeout 8 quodlibet --print-queue 2> /dev/null | sed 's/^/queue /'
        ;;
    *) mpris 2> /dev/null ;;
    esac
}

# The track Parole's window names in its title; nothing while it holds none.
parole_title() {
    local w
    for w in $(xdotool search --onlyvisible --class parole 2> /dev/null); do
        case $(xdotool getwindowname "$w" 2> /dev/null) in
        [1-5]\ *.mp3) xdotool getwindowname "$w" ;;
        esac
    done | head -1
}

# Parole's list from the current track on, read by stepping through it with its own "-N": its
# title names each track in turn, and its own name past the last. It changes what plays, so it
# comes after everything else was read. A list that plays nothing is started first.
parole_list() {
    local title step
    title=$(parole_title)
    if [ -z "$title" ]; then
        timeout 5 parole -p > /dev/null 2>&1
        sleep 2
        title=$(parole_title)
    fi
    for step in 1 2 3 4 5 6 7 8; do
        [ -n "$title" ] || break
        echo "list $work/music/$title"
        timeout 5 parole -N > /dev/null 2>&1
        sleep 2
        title=$(parole_title)
    done
}

# What some players hold can only be read once they quit: Strawberry's and Clementine's MPRIS
# track list stays empty, SMPlayer has none, and Rhythmbox writes its play queue as it quits.
read_after_quit() {
    case $player in
    strawberry) db=$XDG_DATA_HOME/strawberry/strawberry/strawberry.db column=url ;;
    clementine) db=$XDG_CONFIG_HOME/Clementine/clementine.db column=filename ;;
    smplayer)
        [ -f "$XDG_CONFIG_HOME/smplayer/playlist.ini" ] || return 0
        /usr/bin/python3 - "$XDG_CONFIG_HOME/smplayer/playlist.ini" << 'EOF'
import re, sys
items = {}
for line in open(sys.argv[1], encoding="utf-8"):
    match = re.match(r"items\\(\d+)\\item_\d+_filename=(.*)", line.rstrip("\n"))
    if match:
        value = match.group(2)
        if value.startswith('"') and value.endswith('"'):
            value = value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
        items[int(match.group(1))] = value
for key in sorted(items):
    print("list", items[key])
EOF
        return 0
        ;;
    rhythmbox)
        [ -f "$XDG_DATA_HOME/rhythmbox/playlists.xml" ] || return 0
        /usr/bin/python3 - "$XDG_DATA_HOME/rhythmbox/playlists.xml" << 'EOF'
import sys, xml.etree.ElementTree as et
for playlist in et.parse(sys.argv[1]).getroot():
    if playlist.get("type") == "queue":
        for location in playlist.iter("location"):
            print("queue", location.text)
EOF
        return 0
        ;;
    *) return 0 ;;
    esac
    [ -f "$db" ] || return 0
    /usr/bin/python3 - "$db" "$column" << 'EOF'
import sqlite3, sys
db = sqlite3.connect("file:%s?mode=ro" % sys.argv[1], uri=True)
for (url,) in db.execute("SELECT %s FROM playlist_items ORDER BY playlist, rowid" % sys.argv[2]):
    print("list", url.decode() if isinstance(url, bytes) else url)
EOF
}

quit_player() {
    case $player in
    audacious) timeout 5 audtool --shutdown ;;
    mpv) mpv_ipc '["quit"]' ;;
    quodlibet) timeout 8 quodlibet --quit ;;
    rhythmbox) timeout 8 rhythmbox-client --no-start --quit ;;
    *) mpris --quit ;;
    esac > /dev/null 2>&1
}

# The file names held, in order, one line: what the player plays first, then its list or queue.
held_names() { # READ_BACK_LINES
    local playing list queue
    playing=$(grep '^playing ' <<< "$1" | head -1 | sed 's/^playing //')
    list=$(grep '^list ' <<< "$1" | sed 's/^list //')
    queue=$(grep '^queue ' <<< "$1" | sed 's/^queue //')
    if [ -n "$list" ]; then
        printf '%s\n' "$list"
    else
        [ -n "$playing" ] && printf '%s\n' "$playing"
    fi
    [ -n "$queue" ] && printf '%s\n' "$queue"
    true
}

# The processes of this case that are neither the display, bus and window manager nor us: the
# players and their helpers.
others() {
    for p in /proc/[0-9]*; do
        p=${p#/proc/}
        case " $keep " in *" $p "*) continue ;; esac
        # A helper that ended and waits for a parent that never reaps it is gone already.
        [[ $(cat "/proc/$p/stat" 2> /dev/null) =~ ^[0-9]+\ \(.*\)\ [ZX] ]] && continue
        [ "$p" = "$BASHPID" ] || [ ! -d "/proc/$p" ] || echo "$p"
    done
}

# What the player should hold after the case, one path a line: its whole list, or with "tail"
# first, what its list ends with.
expected_of() {
    case $player:$case in
    mpv:enqueue | lollypop:enqueue | lollypop:several) ;;
    lollypop:playing) echo tail ;;
    *:one | mpv:after-one | lollypop:after-one) echo "${names[0]}" ;;
    # SMPlayer keeps a file once in its list, however often it is added.
    smplayer:after-one) printf '%s\n' "${names[@]}" ;;
    *:after-one) printf '%s\n' "${names[0]}" "${names[@]}" ;;
    # What played before may stay before the chosen tracks.
    *:playing) printf '%s\n' tail "${names[@]}" ;;
    *) printf '%s\n' "${names[@]}" ;;
    esac | sed "/^tail$/!s|^|$work/music/|"
}

# The track that should play after the case: none where the player need not play (an Enqueue
# into a stopped player may start it or not), "other" for one of the two others.
expected_playing() {
    case $player:$case in
    *:enqueue | lollypop:several) ;;
    lollypop:playing) echo other ;;
    *) echo "$work/music/${names[0]}" ;;
    esac
}

# The title of the box the window should show: mpv and Lollypop have no enqueue command of
# their own, and Lollypop plays only one of several files, so the window says so (its text is
# on the screenshot; Qt boxes offer no way to copy it here).
expected_boxes() {
    says_cannot "$player" "$case" && echo Tunebrowse
}

says_cannot() { # PLAYER CASE
    case $1:$2 in
    mpv:enqueue | mpv:after-one | lollypop:enqueue | lollypop:after-one | lollypop:several | \
        lollypop:playing) return 0 ;;
    esac
    return 1
}

# Whether the player holds what it should; prints why not.
judge() { # READ_BACK_LINES
    local held expected playing want
    held=$(held_names "$1")
    expected=$(expected_of)
    # Parole's list is read only once, at the end: until then what plays is all there is.
    if [ "$player" = parole ] && ! grep -q '^list ' <<< "$1"; then
        :
    elif [ "$(head -1 <<< "$expected")" = tail ]; then
        expected=$(tail -n +2 <<< "$expected")
        [ -z "$expected" ] || [ "$(tail -n "$(grep -c . <<< "$expected")" <<< "$held")" = "$expected" ] ||
            { echo "list does not end with the chosen tracks"; return 1; }
    else
        [ "$held" = "$expected" ] || { echo "list differs"; return 1; }
    fi
    playing=$(grep '^playing ' <<< "$1" | head -1 | sed 's/^playing //')
    want=$(expected_playing)
    case $want in
    "") ;;
    other) [[ $playing == "$work/music/"[45]* ]] || { echo "the other track stopped"; return 1; } ;;
    *) [ "$playing" = "$want" ] || { echo "plays ${playing:-nothing}"; return 1; } ;;
    esac
    return 0
}

# The list pane of the window, focused by a click into its empty space below the rows.
focus_list() {
    xdotool windowactivate --sync "$window_id" > /dev/null 2>&1
    eval "$(xdotool getwindowgeometry --shell "$window_id")"
    xdotool mousemove --window "$window_id" $((WIDTH * 3 / 4)) $((HEIGHT * 3 / 4)) click 1
    sleep 0.5
}

# The titles of the boxes the window shows on top of itself.
boxes() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$window_pid" 2> /dev/null | grep -vx "$window_id"); do
        xdotool getwindowname "$w" 2> /dev/null
    done | paste -sd ' '
}

# Closes the boxes, by keys sent to the focus: a key sent to a box that closes on its press
# would stay pressed, and repeat into the list.
close_boxes() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$window_pid" 2> /dev/null | grep -vx "$window_id"); do
        xdotool windowactivate --sync "$w" key Escape > /dev/null 2>&1
        sleep 0.5
    done
}

# Players whose list can only be read once they quit get a fixed time to take the files.
late_reader() {
    case $player in strawberry | clementine | smplayer) return 0 ;; esac
    return 1
}

# Waits, bounded, until the player holds and plays what it should; prints the last read-back.
wait_for() { # SECONDS
    local deadline=$((SECONDS + $1)) lines=""
    if late_reader; then
        sleep 10
        read_back
        return
    fi
    sleep 2
    while ((SECONDS < deadline)); do
        lines=$(read_back)
        judge "$lines" > /dev/null && [ "$(boxes)" = "$(expected_boxes)" ] && break
        sleep 2
    done
    printf '%s\n' "$lines"
}

# Waits, bounded, until the player plays a track of the given kind ("chosen" or "other").
wait_playing() { # KIND SECONDS
    local deadline=$((SECONDS + $2)) pattern
    [ "$1" = chosen ] && pattern="$work/music/${names[0]}" || pattern="$work/music/[45]*"
    while ((SECONDS < deadline)); do
        # shellcheck disable=SC2053
        [[ $(read_back | grep '^playing ' | head -1 | sed 's/^playing //') == $pattern ]] && return
        sleep 2
    done
    return 1
}

names_of() { # PATHS
    while read -r f; do [ -n "$f" ] && basename "$f"; done <<< "$1" | paste -sd ';' | sed 's/;/; /g'
}

# One case in its own display and bus, as the user; prints "RESULT|HELD|NOTE".
run_case() { # PLAYER CASE WORK EXE
    player=$1 case=$2 work=$3 exe=$4
    export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share \
        XDG_CACHE_HOME=$HOME/.cache XDG_RUNTIME_DIR=$HOME/runtime \
        XDG_CONFIG_DIRS=/etc/xdg XDG_DATA_DIRS=/usr/share SDL_AUDIODRIVER=dummy TMPDIR=$HOME/tmp
    unset PULSE_SERVER
    # Players started by D-Bus activation get the bus's environment, as on a desktop session:
    # without the runtime folder they could not reach the sound server.
    dbus-update-activation-environment XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME \
        XDG_RUNTIME_DIR XDG_CONFIG_DIRS XDG_DATA_DIRS SDL_AUDIODRIVER TMPDIR HOME DISPLAY
    # The single-instance lock files of Clementine and SMPlayer go to the temporary folder: in
    # the shared one they would outlive the check.
    mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$TMPDIR"
    mkdir -p "$XDG_CONFIG_HOME/vlc" "$XDG_CONFIG_HOME/mpv" "$XDG_CONFIG_HOME/quodlibet" \
        "$XDG_DATA_HOME" "$HOME/Music"
    entry=$(entry_of "$player")
    printf '[Default Applications]\naudio/mpeg=%s\naudio/x-mpegurl=%s\n' "$entry" "$entry" \
        > "$XDG_CONFIG_HOME/mimeapps.list"
    # No sound card here: ALSA plays into nothing too. The players' first-start questions would
    # hide their windows.
    printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' > "$HOME/.asoundrc"
    printf '[qt]\nqt-privacy-ask=0\n[core]\naout=dummy\nextraintf=oldrc\n[oldrc]\nrc-unix=%s\nrc-fake-tty=1\n' \
        "$HOME/vlc.socket" > "$XDG_CONFIG_HOME/vlc/vlcrc"
    printf 'ao=null\ninput-ipc-server=%s\nkeep-open=yes\n' "$HOME/mpv.socket" \
        > "$XDG_CONFIG_HOME/mpv/mpv.conf"
    # A library folder of its own, empty: the tracks must reach it through the hand-off only.
    printf '[settings]\nscan = %s\n' "$HOME/Music" > "$XDG_CONFIG_HOME/quodlibet/config"

    # A sound server that plays into nothing: ALSA's null device cannot pause, and GStreamer
    # players then stop before the first track.
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
        -L 'module-null-sink sink_name=nothing' -L module-native-protocol-unix \
        > "$HOME/pulseaudio.log" 2>&1 &
    openbox --sm-disable > /dev/null 2>&1 &
    for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' &&
            pactl info > /dev/null 2>&1 && break
        sleep 0.2
    done
    # A window mapped while openbox still starts may stay unmanaged and never show.
    sleep 2
    # Everything up to now is the desktop and this script.
    keep=$(cd /proc && echo [0-9]*)

    "$exe" "$work/music" > "$HOME/window.log" 2>&1 &
    window_pid=$!
    keep+=" $window_pid"
    window_id=$(timeout 20 xdotool search --sync --onlyvisible --pid "$window_pid" 2> /dev/null | head -1)
    [ -n "$window_id" ] || { echo "FAIL|||window did not open"; return; }
    sleep 2

    messages="" first=""
    focus_list
    # The three chosen tracks are the first three rows.
    local three="Home shift+Down shift+Down"
    case $case in
    one) xdotool key --delay 150 Home ctrl+p ;;
    several) xdotool key --delay 150 $three ctrl+p ;;
    enqueue) xdotool key --delay 150 $three ctrl+e ;;
    after-one | playing)
        if [ "$case" = after-one ]; then
            xdotool key --delay 150 Home ctrl+p
            wait_playing chosen 30
        else
            # The fourth and fifth rows; Lollypop plays one track at a time only.
            [ "$player" = lollypop ] && xdotool key --delay 150 Home Down Down Down ctrl+p ||
                xdotool key --delay 150 Home Down Down Down shift+Down ctrl+p
            wait_playing other 30 || first="the others did not play first;"
        fi
        sleep 2
        messages=$(boxes)
        close_boxes
        focus_list
        [ "$case" = after-one ] && xdotool key --delay 150 $three ctrl+e ||
            xdotool key --delay 150 $three ctrl+p
        ;;
    esac
    lines=$(wait_for 20)
    # mpv starts anew for each Play, as its entry does for each file opened from a file manager.
    mpvs=$(pgrep -cx mpv)
    import -window root "$work/shots/$player-$case.png" 2> /dev/null
    messages+=$(boxes)
    close_boxes
    [ "$player" = parole ] && lines=$(grep -v '^list ' <<< "$lines"; parole_list)

    quit_player
    for _ in $(seq 20); do
        [ -z "$(others)" ] && break
        sleep 0.5
    done
    note=""
    left=$(others)
    [ -n "$left" ] &&
        note="left running, killed: $(for p in $left; do cat "/proc/$p/comm"; done 2> /dev/null |
            sort -u | paste -sd ,);"
    lines+=$'\n'$(read_after_quit | decode)
    held=$(held_names "$lines")
    playing=$(grep '^playing ' <<< "$lines" | head -1 | sed 's/^playing //')
    why=$(judge "$lines") && [ "$messages" = "$(expected_boxes)" ] && [ -z "$first" ] &&
        result=PASS || result=FAIL
    note+=$first
    [ -n "$why" ] && note+=" $why;"
    [ "$messages" != "$(expected_boxes)" ] && note+=" boxes shown: '${messages}', expected: '$(expected_boxes)';"
    [ "${mpvs:-0}" -gt 1 ] && note+=" $mpvs mpv running;"
    kill "$window_pid" 2> /dev/null
    printf '%s|%s|%s|%s\n' "$result" "$(names_of "$playing")" "$(names_of "$held")" "$note"
}

if [ "${1:-}" = --case ]; then
    shift
    run_case "$@"
    exit 0
fi

# A display of its own for the rest of the case: the first free one (Xvfb makes no lock file for
# it, only its socket), whose number and socket's inode are left in the home, so that whoever
# ends the case can free what it left.
if [ "${1:-}" = --display ]; then
    shift
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3> "$HOME/display" > "$HOME/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        [ -s "$HOME/display" ] && break
        sleep 0.1
    done
    n=$(cat "$HOME/display")
    stat -c %i "/tmp/.X11-unix/X$n" > "$HOME/display.socket" 2> /dev/null
    DISPLAY=:$n dbus-run-session -- bash "$self" --case "$@"
    kill "$xvfb" 2> /dev/null
    wait "$xvfb"
    exit 0
fi

# Frees the display a case took, when it ended without freeing it (its namespace killed): only
# the socket it made itself, never one another server made since.
free_display() { # HOME
    local n inode
    n=$(cat "$1/display" 2> /dev/null) && [ -n "$n" ] || return 0
    inode=$(cat "$1/display.socket" 2> /dev/null) && [ -n "$inode" ] || return 0
    if [ "$(stat -c %i "/tmp/.X11-unix/X$n" 2> /dev/null)" = "$inode" ]; then
        rm -f "/tmp/.X11-unix/X$n"
    fi
}

build=$(cd "${1:-$(dirname "$0")/../../build}" && pwd)
exe=$build/tunebrowse
[ "$(id -u)" = 0 ] || { echo "run as root"; exit 1; }
[ -x "$exe" ] || { echo "no $exe: build the tunebrowse target first"; exit 1; }
# Rhythmbox reaches MPRIS through its plugins, which Debian installs with it by default.
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $players rhythmbox-plugins \
    xvfb xauth dbus dbus-x11 pulseaudio openbox x11-utils xdotool imagemagick python3-gi procps \
    libglib2.0-bin > /dev/null || exit 1
# The window and the players run from the build and a folder the user can enter.
id "$user" > /dev/null 2>&1 || useradd -m "$user"

work=$(mktemp -d /tmp/tbplayers.XXXXXX)
chmod 755 "$work"
mkdir "$work/music" "$work/shots"
# Two minutes of silent MP3 frames each, so that no player reaches the end during a case, with
# a tag whose title is the file's name, in ID3v1's Latin-1: VLC's and Parole's lists are read
# back through the titles.
for name in "${names[@]}" "${others[@]}"; do
    /usr/bin/python3 -c 'import sys
frame = b"\xff\xfb\x90\x64" + bytes(413)
tag = b"TAG" + b"".join(s.encode("latin-1").ljust(n, b" ") for s, n in
      ((sys.argv[1], 30), ("Check", 30), ("Players", 30), ("2026", 4), ("", 30))) + b"\xff"
sys.stdout.buffer.write(frame * 4600 + tag)' "$name" > "$work/music/$name"
done
chown -R "$user" "$work"
chmod -R a+rX "$build"

# The table, as Markdown: ✔ where the player ended as it should (with "message" where the window
# said, as it should, that the player cannot), ✘ and why where not; then what each case held.
titles=""
for c in $cases; do
    case $c in
    one) titles+=" | Play one" ;;
    several) titles+=" | Play 3" ;;
    enqueue) titles+=" | Enqueue 3" ;;
    after-one) titles+=" | Enqueue after Play" ;;
    playing) titles+=" | Play 3 while playing 2 others" ;;
    esac
done
echo "| player$titles |"
echo "|---$(for c in $cases; do printf '|---'; done)|"
details=""
for player in $players; do
    row="| $player"
    for c in $cases; do
        home=$work/home-$player-$c
        mkdir -m 700 "$home" && chown "$user" "$home"
        # The namespace's first process ends every player of the case with it.
        out=$(cd "$home" && timeout 180 unshare --pid --fork --kill-child --mount-proc \
            su "$user" -s /bin/bash -c "HOME='$home' bash '$self' --display '$player' '$c' '$work' '$exe'" \
            2> /dev/null | grep -E '^(PASS|FAIL)' | tail -1)
        free_display "$home"
        # What the case's programs left of their sockets and lock files, whether they ended or
        # were killed; logs and screenshots stay.
        find "$home" \( -type s -o -type p -o \( ! -type d \( -name '*lock*' -o -name '*.pid' -o \
            -path '*/pulse/pid' \) \) \) -delete 2> /dev/null
        # SMPlayer makes its screenshots folder in /tmp whatever TMPDIR says; the user is the
        # check's own, so what it left there empty, or as a socket or lock, is this case's.
        find /tmp -mindepth 1 -maxdepth 1 -user "$user" \( -type s -o -type p -o -name '*lock*' -o \
            -type d -empty \) -delete 2> /dev/null
        [ -n "$out" ] || out="FAIL|||no result (timed out)"
        IFS='|' read -r result playing held note <<< "$out"
        if [ "$result" = PASS ]; then
            cell="✔"
            says_cannot "$player" "$c" && cell+=" message"
        else
            cell="✘${note:+ ${note%;}}"
        fi
        row+=" | $cell"
        details+="$player $c: $result; plays: ${playing:-nothing}; holds: ${held:-nothing};${note}"$'\n'
    done
    echo "$row |"
done
echo
printf '%s' "$details"
echo "screenshots and homes: $work"
