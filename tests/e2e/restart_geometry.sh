#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# The window's stored placement survives restarts unchanged, under a window manager (openbox, which
# adds a frame after the window is shown) and without one: the program is started and closed by
# the user's key four times, and the four stored rectangles must be the same.
#   restart_geometry.sh TUNEBROWSE MAKE_LIBRARY
set -euo pipefail

conf_geometry() {
    grep -E '^(cx|cy|x|y)=' "$XDG_CONFIG_HOME/Quillon Softs/Tunebrowse.conf" | sort | tr '\n' ' '
}

# The first mapped window of that name, looked for again and again for up to two minutes: one
# "xdotool search --sync --onlyvisible" was seen to go on missing a window that was on screen.
wait_for_window() { # NAME
    local deadline=$((SECONDS + ${WINDOW_WAIT:-120})) w
    while ((SECONDS < deadline)); do
        for w in $(xdotool search --name "$1" 2>/dev/null); do
            if xwininfo -id "$w" 2>/dev/null | grep -q 'Map State: IsViewable'; then
                echo "$w"
                return
            fi
        done
        sleep 0.2
    done
}

if [ "${1:-}" = --inside-x ]; then
    exe=$2 work=$3 wm=$4
    trap 'kill "${pid:-}" "${wmpid:-}" 2>/dev/null || true' EXIT
    if [ "$wm" = openbox ]; then
        XDG_CONFIG_DIRS=/etc/xdg XDG_DATA_DIRS=/usr/share openbox --sm-disable &
        wmpid=$!
        for _ in $(seq 100); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
            sleep 0.1
        done
        # The check is set early in the manager's start: a window mapped before it has finished
        # was seen to stay unmanaged, never shown.
        sleep 2
    fi
    for run in 1 2 3 4; do
        "$exe" "$work/lib" &
        pid=$!
        # A loaded machine (a sanitizer build, a parallel suite) may take its time to show the window.
        wid=$(wait_for_window "lib - Tunebrowse")
        if [ -z "$wid" ]; then
            echo "run $run ($wm): no window found within 120 s; the windows:"
            xwininfo -root -tree | grep -v '(has no name)' | sed 's/^/    /'
            exit 1
        fi
        sleep 1
        if [ "$wm" = openbox ]; then
            xdotool windowactivate --sync "$wid"
            xdotool key --clearmodifiers alt+F4
        else
            # No window manager: the File menu's Exit, from the keyboard.
            xdotool windowfocus --sync "$wid"
            sleep 0.3
            xdotool key --clearmodifiers alt+f
            sleep 0.3
            xdotool key x
        fi
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        if kill -0 "$pid" 2>/dev/null; then
            echo "run $run ($wm): the window did not close"
            exit 1
        fi
        wait "$pid" || true
        echo "$wm run $run: $(conf_geometry)"
        conf_geometry > "$work/geometry.$wm.$run"
    done
    exit 0
fi

exe=$1 make_library=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime XDG_DATA_DIRS=$work/share XDG_CONFIG_DIRS=$work/etc
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_DIRS" "$XDG_CONFIG_DIRS"
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$make_library" --seed 5 10 "$work/lib" > /dev/null

status=0
for wm in openbox none; do
    rm -rf "$XDG_CONFIG_HOME/Quillon Softs"
    # A session bus of its own: without one, the toolkit's accessibility bridge may spend long
    # seconds trying to start one, and the window comes late.
    "$(dirname "$0")/../support/with_xvfb.sh" 1280x800x24 dbus-run-session -- "$0" --inside-x "$exe" "$work" "$wm" ||
        exit $?
    for run in 2 3 4; do
        if ! cmp -s "$work/geometry.$wm.1" "$work/geometry.$wm.$run"; then
            echo "$wm: the stored placement changed at restart $run"
            status=1
        fi
    done
done
[ "$status" -eq 0 ] && echo "restart geometry: passed"
exit "$status"
