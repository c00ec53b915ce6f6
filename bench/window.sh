#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# The window on a generated library of N files (default 100000), offscreen: start-up against the
# `--list` time of the same library, list fill, column sorts, tree builds, organisation switches,
# peak memory above the same program opened on an empty folder (window and --list, per track),
# and, when run as root, the longest pauses between paints during a cold scan.
set -euo pipefail
n=${1:-100000}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
[ -x "$build/bench/bench_window" ] && [ -x "$build/bench/peak_rss" ] ||
    cmake --build "$build" --target bench_window make_library tunebrowse peak_rss
lib=$build/bench-lib-$n
"$build/bench/make_library" --seed 1 "$n" "$lib" > /dev/null
empty=$(mktemp -d)
trap 'rm -rf "$empty"' EXIT
export QT_QPA_PLATFORM=offscreen

# Nothing kept from a run before: every start reads the whole library.
run_window() { XDG_CONFIG_HOME=$(mktemp -d) XDG_CACHE_HOME=$(mktemp -d) "$build/bench/bench_window" "$@" 2>/dev/null; }
value() { sed -n "s/^$1 \([0-9]*\).*/\1/p"; }

run_window "$lib" > /dev/null # warm the page cache
full=$(run_window "$lib")
echo "$full"
base_kb=$(run_window "$empty" | value "peak resident")
start_ms=$(run_window "$lib" --start-only | value "start to first paint")
list_ms=$( { TIMEFORMAT=%R; time XDG_CONFIG_HOME=$(mktemp -d) "$build/tunebrowse" --list "$lib" > /dev/null; } 2>&1 \
    | awk '{printf "%d", $1 * 1000}')
peak_kb=$(echo "$full" | value "peak resident")
echo "empty folder peak resident $base_kb KB"
echo "memory above the empty folder $(( (peak_kb - base_kb) / 1024 )) MB"
echo "start-up $start_ms ms, --list $list_ms ms, ratio $(awk "BEGIN {printf \"%.2f\", $start_ms / $list_ms}")"

# The kept catalogue: one start reads the library and keeps it, the next ones show it and check
# it, interleaved with starts that keep nothing; medians of RUNS runs.
kept_cache=$(mktemp -d)
run_kept() { XDG_CONFIG_HOME=$(mktemp -d) XDG_CACHE_HOME=$kept_cache "$build/bench/bench_window" "$@" 2>/dev/null; }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
run_kept "$lib" --start-only > /dev/null
scan_runs= kept_runs= check_runs=
for ((run = 0; run < ${RUNS:-3}; run++)); do
    scan_runs+="$(run_window "$lib" --start-only | value "start to first paint") "
    kept=$(run_kept "$lib" --kept)
    kept_runs+="$(echo "$kept" | value "start to first paint with the kept catalogue") "
    check_runs+="$(echo "$kept" | value "start to the check's end") "
done
scan_ms=$(tr ' ' '\n' <<< "$scan_runs" | grep . | median)
kept_ms=$(tr ' ' '\n' <<< "$kept_runs" | grep . | median)
check_ms=$(tr ' ' '\n' <<< "$check_runs" | grep . | median)
rm -rf "$kept_cache"
echo "start to first paint with the kept catalogue $kept_ms ms, $(awk "BEGIN {printf \"%.3f\", $kept_ms / $scan_ms}") x the start without it ($scan_ms ms)"
echo "start to the end of the check of an unchanged library $check_ms ms, $(awk "BEGIN {printf \"%.2f\", $check_ms / $scan_ms}") x the start without it"

list_kb() { # peak resident kilobytes of tunebrowse --list on a folder
    XDG_CONFIG_HOME=$(mktemp -d) "$build/bench/peak_rss" "$build/tunebrowse" --list "$1"
}
list_base_kb=$(list_kb "$empty")
list_peak_kb=$(list_kb "$lib")
echo "bytes per track above the empty folder: window $(( (peak_kb - base_kb) * 1024 / n )), --list $(( (list_peak_kb - list_base_kb) * 1024 / n ))"

if [ "$(id -u)" -eq 0 ] && sync && echo 3 2>/dev/null > /proc/sys/vm/drop_caches; then
    echo "cold cache:"
    run_window "$lib" --start-only | grep -E "start|longest"
else
    echo "cold cache: skipped (needs root and a writable /proc/sys/vm/drop_caches)"
fi

# Enqueue of 1,000 files to a player whose command takes 2 s, in a desktop of its own: the longest
# pause between paints against the same window idle.
desk=$(mktemp -d)
trap 'rm -rf "$empty" "$desk"' EXIT
mkdir -p "$desk/data/applications" "$desk/config" "$desk/share" "$desk/bin" "$desk/run"
chmod 700 "$desk/run"
ln -s /usr/share/mime "$desk/share/mime"
printf '#!/bin/sh\nsleep 2\n' > "$desk/bin/slowplayer"
chmod 755 "$desk/bin/slowplayer"
printf '[Desktop Entry]\nType=Application\nName=Slow\nExec=%s %%F\nMimeType=audio/mpeg;\nActions=enqueue;\n[Desktop Action enqueue]\nName=Enqueue\nExec=%s --enqueue %%F\n' \
    "$desk/bin/slowplayer" "$desk/bin/slowplayer" > "$desk/data/applications/slowplayer.desktop"
printf '[Default Applications]\naudio/mpeg=slowplayer.desktop\n' > "$desk/config/mimeapps.list"
XDG_DATA_HOME=$desk/data XDG_DATA_DIRS=$desk/share XDG_CONFIG_HOME=$desk/config \
    XDG_RUNTIME_DIR=$desk/run "$build/bench/bench_window" "$lib" --enqueue 1000 2>/dev/null |
    grep enqueue
