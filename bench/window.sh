#!/usr/bin/env bash
# The window on a generated library of N files (default 100000), offscreen: start-up against the
# `--list` time of the same library, list fill, column sorts, organisation switches, and peak
# memory above the same program opened on an empty folder.
set -euo pipefail
n=${1:-100000}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
[ -x "$build/bench/bench_window" ] || cmake --build "$build" --target bench_window make_library tunebrowse
lib=$build/bench-lib-$n
"$build/bench/make_library" --seed 1 "$n" "$lib" > /dev/null
empty=$(mktemp -d)
trap 'rm -rf "$empty"' EXIT
export QT_QPA_PLATFORM=offscreen

run_window() { XDG_CONFIG_HOME=$(mktemp -d) "$build/bench/bench_window" "$@" 2>/dev/null; }
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
