#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# The real window under a window manager never waits on a scan, as a user meets it:
# - closed during the scan of a large folder, the process ends at once, its settings written;
# - on a share that stops answering (a FUSE folder that delays every request and stalls on
#   demand, given as SLOWFS=/path/to/binary; skipped without it), Escape frees the window,
#   another folder opens, and quitting ends the process while the share still stalls;
# - a player that fails while a scan runs: its message is dismissed with Enter, and the scan goes on;
# - with SLOWFS, a mass edit on the writable share cancelled halfway with Escape: the files written
#   changed in their tags only, the others not at all, none after the summary; with XPING (a built
#   _NET_WM_PING client) the window's answers during the write are printed.
#   never_stuck.sh TUNEBROWSE MAKE_LIBRARY
set -euo pipefail

# Whether the process has ended. A thread whose request a FUSE server has taken cannot be killed
# until the server answers, whoever asks: the process has then exited (a zombie) but is not gone.
ended() {
    ! kill -0 "$1" 2> /dev/null || grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2> /dev/null
}

# Seconds until the process has ended, or fails.
wait_gone() {
    local pid=$1 limit=$2 start
    start=$(date +%s%N)
    while ! ended "$pid"; do
        if [ $(( ($(date +%s%N) - start) / 1000000 )) -gt $((limit * 1000)) ]; then
            echo "process $pid still running ${limit} s after the window was closed" >&2
            kill -9 "$pid" 2> /dev/null || true
            return 1
        fi
        sleep 0.05
    done
}

# File > Exit, as a user quits.
quit_by_menu() {
    timeout 5 xdotool windowfocus --sync "$1" 2> /dev/null || true
    xdotool key --clearmodifiers alt+f
    sleep 0.3
    xdotool key x
}

# Whether the process's scan thread is still reading the folder.
scanning() {
    grep -qx folder-scan /proc/"$1"/task/*/comm 2> /dev/null
}

scan_ended() { ! scanning "$1"; }

album="Cancelled Halfway"
written_count() { grep -rl --include='*.mp3' -a "$album" "$work/share-files" | wc -l; }
written_at_least() { [ "$(written_count)" -ge "$1" ]; }

# Every file is as it was, or differs in its ID3v1 tag only: its last 128 bytes changed, or a tag
# appended to a file that had none.
check_tags_only() {
    local before=$1 after=$2 file size new_size first
    while IFS= read -r -d '' file; do
        size=$(stat -c %s "$file")
        new_size=$(stat -c %s "$after${file#"$before"}")
        if [ "$new_size" -eq $((size + 128)) ]; then
            cmp -s -n "$size" "$file" "$after${file#"$before"}" ||
                { echo "bytes before the appended tag changed: $file" >&2; return 1; }
            continue
        fi
        [ "$new_size" -eq "$size" ] || { echo "size changed: $file" >&2; return 1; }
        first=$( (cmp -l "$file" "$after${file#"$before"}" || true) | awk "NR == 1 {print \$1}")
        [ -z "$first" ] || [ "$first" -gt $((size - 128)) ] ||
            { echo "bytes before the tag changed at $first: $file" >&2; return 1; }
    done < <(find "$before" -name '*.mp3' -print0)
}

# Whether no message box of ours is shown.
no_message() { ! xdotool search --onlyvisible --name '^Tunebrowse$'; }

# until_true SECONDS WHAT COMMAND...: waits for COMMAND to succeed, or fails saying WHAT.
until_true() {
    local limit=$(($1 * 20)) what=$2
    shift 2
    for _ in $(seq "$limit"); do
        if "$@" > /dev/null 2>&1; then return 0; fi
        sleep 0.05
    done
    echo "not so after $((limit / 20)) s: $what" >&2
    return 1
}

find_window() {
    timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n 1
}

# Opens the window on the folder NAME of the work folder, waits for its scan to end and clicks a
# row of the list; sets pid and wid.
open_read_and_click_a_row() {
    "$exe" "$work/$1" &
    pid=$!
    wid=$(find_window "$1 - Tunebrowse")
    until_true 60 "the scan of $1 ended" scan_ended "$pid"
    timeout 5 xdotool windowfocus --sync "$wid" || true
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    xdotool mousemove --window "$wid" $((WIDTH * 2 / 3)) $((HEIGHT * 11 / 20)) click 1
}

if [ "${1:-}" = --inside-x ]; then
    exe=$2 work=$3
    XDG_CONFIG_DIRS=/etc/xdg XDG_DATA_DIRS=/usr/share openbox --sm-disable &
    wm=$!
    trap 'kill "${pid:-}" "$wm" 2> /dev/null || true' EXIT
    sleep 0.5

    echo "close during the scan of a large folder"
    "$exe" "$work/large" &
    pid=$!
    wid=$(find_window "large - Tunebrowse")
    quit_by_menu "$wid"
    wait_gone "$pid" 3
    grep -q "^FilePath=$work/large" "$XDG_CONFIG_HOME/Quillon Softs/Tunebrowse.conf" ||
        { echo "the folder shown was not stored at close" >&2; exit 1; }

    echo "a player's failure during a scan"
    open_read_and_click_a_row large
    # Play of the row gives a player that fails when told to; F5 starts a scan meanwhile.
    xdotool key ctrl+p
    until_true 5 "the player started" test -e "$work/player-started"
    xdotool key F5
    until_true 5 "the scan started again" scanning "$pid"
    touch "$work/player-fails"
    box=$(timeout 10 xdotool search --sync --onlyvisible --name '^Tunebrowse$' | head -n 1) ||
        { echo "the player's failure was not said" >&2; exit 1; }
    scanning "$pid" || { echo "the scan ended before the failure was said" >&2; exit 1; }
    timeout 5 xdotool windowfocus --sync "$box" || true
    xdotool key Return
    until_true 3 "Enter dismissed the player's failure during the scan" no_message
    quit_by_menu "$wid"
    wait_gone "$pid" 3

    [ -n "${SLOWFS:-}" ] || exit 0

    echo "a mass edit on a share, cancelled halfway"
    open_read_and_click_a_row share
    xdotool key ctrl+a ctrl+Return
    editor=$(timeout 10 xdotool search --sync --onlyvisible --name '^Properties$' | head -n 1)
    timeout 5 xdotool windowfocus --sync "$editor" || true
    xdotool key alt+l
    xdotool type --delay 5 "$album"
    xdotool key Return
    until_true 20 "files were being written" written_at_least 5
    if [ -n "${XPING:-}" ]; then
        echo "the window during the write: $("$XPING" "$wid" 2)"
    fi
    timeout 5 xdotool windowfocus --sync "$wid" || true
    xdotool key Escape
    box=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tunebrowse$' | head -n 1) ||
        { echo "the cancelled edit's summary was not shown" >&2; exit 1; }
    written=$(written_count)
    [ "$written" -lt "$(find "$work/share-files" -name '*.mp3' | wc -l)" ] ||
        { echo "Escape did not cancel the write: every file was written" >&2; exit 1; }
    sleep 1
    [ "$(written_count)" -eq "$written" ] ||
        { echo "files were written after the summary" >&2; exit 1; }
    check_tags_only "$work/share-orig" "$work/share-files"
    echo "$written files written before the cancel"
    timeout 5 xdotool windowfocus --sync "$box" || true
    xdotool key Return
    quit_by_menu "$wid"
    wait_gone "$pid" 3

    echo "a share that stops answering"
    "$exe" "$work/share" &
    pid=$!
    wid=$(find_window "share - Tunebrowse")
    sleep 1
    touch "$work/stall"
    sleep 1
    timeout 5 xdotool windowfocus --sync "$wid" || true
    xdotool key Escape
    xdotool key ctrl+l
    xdotool type --delay 5 "$work/small"
    xdotool key Return
    timeout 5 xdotool search --sync --onlyvisible --name "small - Tunebrowse" > /dev/null ||
        { echo "another folder did not open while the share stalled" >&2; exit 1; }
    # Back to the stalled share, then quit while its scan, or the look at the folder before it
    # (when the kernel no longer holds the folder's attributes), hangs.
    xdotool key ctrl+l
    xdotool type --delay 5 "$work/share"
    xdotool key Return
    timeout 5 xdotool search --sync --onlyvisible --name "share - Tunebrowse" > /dev/null || true
    sleep 0.5
    quit_by_menu "$wid"
    wait_gone "$pid" 2
    rm -f "$work/stall"

    exit 0
fi

exe=$1 make_library=$2
work=$(mktemp -d)
mounted=
cleanup() {
    rm -f "$work/stall"
    [ -z "$mounted" ] || fusermount3 -u -z "$work/share" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime XDG_DATA_DIRS=$work/share-data XDG_CONFIG_DIRS=$work/etc
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CACHE_HOME" \
    "$XDG_DATA_DIRS" "$XDG_CONFIG_DIRS"
mkdir -m 700 "$XDG_RUNTIME_DIR"
ln -s /usr/share/mime "$XDG_DATA_DIRS/mime"
# A player that fails when the test says so.
cat > "$work/failplayer.sh" <<SCRIPT
#!/bin/sh
touch "$work/player-started"
while [ ! -e "$work/player-fails" ]; do sleep 0.05; done
exit 3
SCRIPT
chmod +x "$work/failplayer.sh"
cat > "$XDG_DATA_HOME/applications/failplayer.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Failing Player
Exec=$work/failplayer.sh %F
MimeType=audio/mpeg;audio/x-mpegurl;
ENTRY
printf '[Default Applications]\naudio/mpeg=failplayer.desktop\naudio/x-mpegurl=failplayer.desktop\n' \
    > "$XDG_CONFIG_HOME/mimeapps.list"

# Many untagged files are quick to make and still take a while to list and read.
for d in $(seq 200); do
    mkdir -p "$work/large/d$d"
    (cd "$work/large/d$d" && seq -f "t%g.mp3" 1 1000 | xargs touch)
done
"$make_library" --seed 3 30 "$work/small" > /dev/null

if [ -n "${SLOWFS:-}" ]; then
    "$make_library" --seed 4 400 "$work/share-files" > /dev/null
    cp -a "$work/share-files" "$work/share-orig"
    mkdir -p "$work/share"
    SLOWFS_RW=1 SLOWFS_STALL_FILE=$work/stall "$SLOWFS" "$work/share-files" "$work/share" 5000
    mounted=1
fi

"$(dirname "$0")/../support/with_xvfb.sh" 1024x700x24 "$0" --inside-x "$exe" "$work"
