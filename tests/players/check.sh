#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Manual check with the real players, not run by CI: installs them from Debian, makes each in
# turn the default for MP3 files and M3U playlists in a desktop of its own, runs the real window
# under Xvfb with a session bus as a throw-away user (VLC refuses to run as root), does Play of
# one, Play of several and Enqueue of three from the keyboard, and prints what the player holds,
# read over MPRIS or through its own client. Needs root for apt-get and useradd.
#   tests/players/check.sh [BUILD_DIR]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
exe=$build/tunebrowse
user=tbplayers
players="vlc audacious smplayer strawberry clementine rhythmbox quodlibet mpv"

# The entry ids of the players, as Debian installs them.
entry_of() {
    case $1 in
    strawberry) echo org.strawberrymusicplayer.strawberry.desktop ;;
    clementine) echo org.clementine_player.Clementine.desktop ;;
    rhythmbox) echo org.gnome.Rhythmbox3.desktop ;;
    quodlibet) echo io.github.quodlibet.QuodLibet.desktop ;;
    *) echo "$1.desktop" ;;
    esac
}

# What the player holds: the URLs of its list or queue, one per line.
read_back() {
    case $1 in
    audacious) audtool --playlist-display 2>&1 | grep -o '[^|]*\.mp3' ;;
    rhythmbox) rhythmbox-client --no-start --print-playing-format='%tt' --print-playing 2>&1 ;;
    quodlibet) quodlibet --print-playlist 2>&1; echo "queue:"; quodlibet --print-queue 2>&1 ;;
    *)
        name=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.ListNames | grep -o "org.mpris.MediaPlayer2.[^']*" | head -1)
        [ -n "$name" ] || { echo "no MPRIS"; return; }
        tracks=$(gdbus call --session --dest "$name" --object-path /org/mpris/MediaPlayer2 \
            --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.TrackList Tracks 2>/dev/null |
            grep -o "'/[^']*'" | tr -d "'")
        if [ -z "$tracks" ]; then
            gdbus call --session --dest "$name" --object-path /org/mpris/MediaPlayer2 --method \
                org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player Metadata 2>&1 |
                grep -o "file://[^']*" | sed 's/^/playing /'
            return
        fi
        for t in $tracks; do
            gdbus call --session --dest "$name" --object-path /org/mpris/MediaPlayer2 --method \
                org.mpris.MediaPlayer2.TrackList.GetTracksMetadata "['$t']" 2>&1 | grep -o "file://[^']*"
        done
        ;;
    esac
}

# One step in the running window: the list pane, a selection, a command.
step() { # KEYS... ; the window was found before
    # No window manager under Xvfb: focus, not activation.
    xdotool search --sync --onlyvisible --name Tunebrowse windowfocus --sync > /dev/null 2>&1
    xdotool key --delay 200 "$@"
    sleep 8
}

session() { # PLAYER: runs inside Xvfb and the session bus, as the user
    player=$1
    export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
    mkdir -p "$XDG_CONFIG_HOME"
    entry=$(entry_of "$player")
    printf '[Default Applications]\naudio/mpeg=%s\naudio/x-mpegurl=%s\n' "$entry" "$entry" \
        > "$XDG_CONFIG_HOME/mimeapps.list"
    "$exe" "$work/music" > /dev/null 2>&1 &
    window=$!
    sleep 4
    # Tab to the list (sorted by file: one, three, two); Home selects its first row.
    step Tab Home ctrl+p
    echo "play one: $(read_back "$player" | xargs -r -n1 basename 2>/dev/null | tr '\n' ' ')"
    step ctrl+a ctrl+p
    echo "play several: $(read_back "$player" | xargs -r -n1 basename 2>/dev/null | tr '\n' ' ')"
    step ctrl+a ctrl+e
    echo "enqueue three: $(read_back "$player" | xargs -r -n1 basename 2>/dev/null | tr '\n' ' ')"
    # The players the window started, then the window.
    pkill -P "$window"
    kill "$window"
}

if [ "${1:-}" = --session ]; then
    shift
    work=$2 exe=$3
    session "$1"
    exit 0
fi

prepare() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $players \
        xvfb xauth dbus dbus-x11 xdotool libglib2.0-bin > /dev/null || exit 1
    id "$user" > /dev/null 2>&1 || useradd -m "$user"
    [ -x "$exe" ] || { echo "no $exe: build the tunebrowse target first"; exit 1; }

    work=$(mktemp -d /tmp/tbplayers.XXXXXX)
    chmod 755 "$work"
    trap 'rm -rf "$work"' EXIT
    mkdir "$work/music"
    # Three short silent MP3 frames each, with a tag naming the track.
    for name in one two three; do
        python3 -c 'import sys
frame = b"\xff\xfb\x90\x64" + bytes(413)
tag = b"TAG" + b"".join(s.encode().ljust(n, b" ") for s, n in
      ((sys.argv[1], 30), ("Check", 30), ("Players", 30), ("2026", 4), ("", 30))) + b"\xff"
sys.stdout.buffer.write(frame * 40 + tag)' "$name" > "$work/music/$name.mp3"
    done
    chown -R "$user" "$work"
}

prepare
for player in $players; do
    home=$work/home-$player
    mkdir -p "$home" && chown "$user" "$home"
    echo "== $player"
    su "$user" -s /bin/bash -c "cd '$home' && HOME='$home' timeout 180 xvfb-run -a \
        dbus-run-session -- bash '$0' --session '$player' '$work' '$exe'" 2>/dev/null |
        grep -E '^(play|enqueue)'
done
