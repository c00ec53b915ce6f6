#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Share benchmark: a generated library of N files seen through slowfs, a FUSE passthrough that
# waits DELAY_US microseconds on every request and serves many at once, as a file server does.
# Prints cold medians (caches dropped before every run) of `tunebrowse --list`, the one-thread
# reference walker, and the reference reading a ready list of the paths on 64 threads, in no
# folder's order: the most any reader gets from this share, the ceiling the ratios are taken
# against. Then the longest pause between paints of the window scanning the share, cold, and the
# window's start with a kept catalogue. With XPING, a mass edit in the real
# window on the share made writable: the longest time the window took to answer the window
# manager's ping from the editor's OK on, and the time until every file holds the edit.
#
#   bench/share.sh N DELAY_US
#
# Environment:
#   BUILD       build directory (default: <repo>/build)
#   TUNEBROWSE  executable to measure (default: $BUILD/tunebrowse)
#   RUNS        timed runs per program (default 3)
#   SLOWFS_SRC  slowfs source (default: <repo>/../shared/tools/slowfs/slowfs.c)
#   XPING       the xping binary (../shared/tools/xping); without it the mass edit is skipped.
#               It needs xvfb-run, openbox, xdotool and python3.
#   EDIT_FILES  files of the mass edit's own library (default 2000)
#   EDIT_RUNS   mass edits per program (default 2)
#   BASELINE    another tunebrowse whose mass edit is measured alike, for ratios
#   KEPT_ONLY   set: only the window's start with a kept catalogue against a full scan
#
# Needs root (to drop caches and to mount), /dev/fuse, and fuse3 with its headers, which are
# installed when missing.

set -euo pipefail

RUNS=${RUNS:-3}

die() {
    echo "share.sh: $*" >&2
    exit 1
}

if [[ $# -ne 2 || ! $1 =~ ^[1-9][0-9]*$ || ! $2 =~ ^[0-9]+$ ]]; then
    echo "usage: bench/share.sh N DELAY_US" >&2
    exit 2
fi
N=$1
DELAY_US=$2

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$repo/build}
[[ $BUILD == /* ]] || BUILD=$PWD/$BUILD
SLOWFS_SRC=${SLOWFS_SRC:-$repo/../shared/tools/slowfs/slowfs.c}
make_library=$BUILD/bench/make_library
ref_walker=$BUILD/bench/ref_walker
bench_window=$BUILD/bench/bench_window
tunebrowse=${TUNEBROWSE:-$BUILD/tunebrowse}
slowfs=$BUILD/bench/slowfs
library=$BUILD/bench-lib-$N

[[ $EUID -eq 0 ]] || die "needs root: caches are dropped before every run and slowfs mounts"
[[ -c /dev/fuse ]] || die "no /dev/fuse"

# --- Build what is missing --------------------------------------------------------------------

missing=()
for package in fuse3 libfuse3-dev; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if ((${#missing[@]} > 0)); then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" ||
        die "cannot install ${missing[*]}"
fi
targets=()
[[ -x $make_library ]] || targets+=(make_library)
[[ -x $ref_walker ]] || targets+=(ref_walker)
[[ -x $bench_window ]] || targets+=(bench_window)
[[ -n ${TUNEBROWSE:-} || -x $tunebrowse ]] || targets+=(tunebrowse)
if ((${#targets[@]} > 0)); then
    if [[ ! -f $BUILD/CMakeCache.txt ]]; then
        cmake -S "$repo" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release || die "cmake configure failed"
    fi
    cmake --build "$BUILD" --target "${targets[@]}" || die "build failed"
fi
if [[ ! -x $slowfs || $SLOWFS_SRC -nt $slowfs ]]; then
    [[ -f $SLOWFS_SRC ]] || die "no slowfs source at $SLOWFS_SRC"
    # shellcheck disable=SC2046 # pkg-config prints several words on purpose
    gcc -O2 -Wall -o "$slowfs" "$SLOWFS_SRC" $(pkg-config --cflags --libs fuse3) ||
        die "cannot build slowfs"
fi

# --- Library, mount and isolated settings -----------------------------------------------------

"$make_library" --seed 1 "$N" "$library" >/dev/null || die "make_library failed"

scratch=$(mktemp -d)
mount=$scratch/share
mkdir -p "$mount" "$scratch/config" "$scratch/cache" "$scratch/data" "$scratch/runtime"
chmod 700 "$scratch/runtime"
unmount() {
    if mountpoint -q "$1"; then
        fusermount3 -u "$1" || umount -l "$1"
    fi
}
cleanup() {
    unmount "$mount"
    unmount "$scratch/edit-share"
    rm -rf "$scratch"
}
trap cleanup EXIT
"$slowfs" "$library" "$mount" "$DELAY_US" || die "cannot mount slowfs"
for ((i = 0; i < 50; i++)); do
    mountpoint -q "$mount" && break
    sleep 0.1
done
mountpoint -q "$mount" || die "slowfs did not mount"

# --- The kept catalogue on the share ----------------------------------------------------------

# One window start reads the share and keeps its catalogue; then starts that show it and check it
# against the unchanged share, interleaved with starts that keep nothing, all cold.
kept_catalogue_runs() {
    local kept_cache=$scratch/kept-cache out scan_ms paint_ms check_ms run
    window_value() { sed -n "s/^$1 \([0-9]*\) ms.*/\1/p"; }
    window_start() { # cache folder, mode
        XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$1 XDG_DATA_HOME=$scratch/data \
            XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen "$bench_window" "$mount" "$2" \
            2>/dev/null
    }
    drop_caches
    window_start "$kept_cache" --start-only >/dev/null
    scan_samples=() check_samples=() paint_samples=()
    for ((run = 1; run <= RUNS; run++)); do
        drop_caches
        out=$(window_start "$scratch/no-cache-$run" --start-only)
        scan_samples+=("$(window_value "start to first paint" <<<"$out")")
        drop_caches
        out=$(window_start "$kept_cache" --kept) || die "no kept catalogue was shown"
        paint_samples+=("$(window_value "start to first paint with the kept catalogue" <<<"$out")")
        check_samples+=("$(window_value "start to the check's end" <<<"$out")")
    done
    scan_ms=$(median "${scan_samples[@]}")
    paint_ms=$(median "${paint_samples[@]}")
    check_ms=$(median "${check_samples[@]}")
    echo "  window, kept catalogue, cold, median of $RUNS runs: first paint $paint_ms ms;" \
        "check of the unchanged library to its end $check_ms ms, against $scan_ms ms for a full scan:" \
        "$(awk -v a="$check_ms" -v b="$scan_ms" 'BEGIN { printf "%.2f", a / b }') x"
}

# With KEPT_ONLY set, only the kept catalogue's runs: the reference readers take long on a large
# library.
if [[ -n ${KEPT_ONLY:-} ]]; then
    drop_caches() { sync && echo 3 >/proc/sys/vm/drop_caches; }
    # shellcheck source=timing.sh
    . "$(dirname "${BASH_SOURCE[0]}")/timing.sh"
    kept_catalogue_runs
    exit 0
fi

# The ceiling reads exactly the files the scans read; the list is made before any timed run. It
# is shuffled, the same way every time: a server that answers one folder's lookups one at a time
# would hold back 64 threads taking the files folder after folder.
find "$mount" -iname '*.mp3' -type f | shuf --random-source=<(yes) >"$scratch/paths"

with_settings() {
    XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache XDG_DATA_HOME=$scratch/data \
        XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen "$@"
}
run_tunebrowse() { with_settings "$tunebrowse" --list "$mount"; }
run_ref1() { "$ref_walker" "$mount"; }
run_ceiling() { "$ref_walker" -t 64 -l "$scratch/paths"; }

programs=(tunebrowse ref1 ceiling)
declare -A label=(
    [tunebrowse]="tunebrowse --list"
    [ref1]="ref_walker"
    [ceiling]="ref_walker -t 64 -l, shuffled"
)

drop_caches() { sync && echo 3 >/proc/sys/vm/drop_caches; }
drop_caches 2>/dev/null || die "cannot write /proc/sys/vm/drop_caches"

# shellcheck source=timing.sh
. "$(dirname "${BASH_SOURCE[0]}")/timing.sh"

# --- Cold runs, interleaved so that drift hits every program alike -----------------------------

declare -A samples=() medians=()
for ((run = 1; run <= RUNS; run++)); do
    for program in "${programs[@]}"; do
        drop_caches
        time_run "$program" "$scratch/out"
        samples[$program]+="$elapsed "
        if [[ $program == tunebrowse ]]; then
            listed=$(wc -l <"$scratch/out")
            ((listed == N)) || die "tunebrowse --list printed $listed lines for $N files"
        fi
    done
done

for program in "${programs[@]}"; do
    # shellcheck disable=SC2086 # the samples are a space-separated list on purpose
    medians[$program]=$(median ${samples[$program]})
done
echo "share: $N files, $DELAY_US us a request, cold, median of $RUNS runs"
for program in "${programs[@]}"; do
    printf '  %-30s %8s s  %6s x the ceiling\n' "${label[$program]}" \
        "$(seconds "${medians[$program]}")" "$(ratio "${medians[$program]}" "${medians[ceiling]}")"
done

# --- The window on the share ------------------------------------------------------------------

drop_caches
with_settings "$bench_window" "$mount" --start-only 2>/dev/null | grep -E "start|longest" |
    sed 's/^/  window: /'

kept_catalogue_runs

# --- What the pools chose ---------------------------------------------------------------------

# The most threads the program had at once during one more cold scan: the readers and the
# listers the pools grew to, plus the program's own few.
drop_caches
XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache XDG_DATA_HOME=$scratch/data \
    XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen "$tunebrowse" --list "$mount" \
    >/dev/null &
pid=$!
most=0
while kill -0 "$pid" 2>/dev/null; do
    threads=$(awk '/^Threads:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)
    ((threads > most)) && most=$threads
    sleep 0.01
done
wait "$pid" || die "tunebrowse --list failed"
echo "  most threads of tunebrowse --list during the scan: $most"

# --- A mass edit on the writable share --------------------------------------------------------

[[ -n ${XPING:-} ]] || exit 0
[[ -x $XPING ]] || die "no xping at $XPING"
for tool in xvfb-run openbox xdotool python3; do
    command -v "$tool" >/dev/null || die "the mass edit needs $tool"
done
EDIT_FILES=${EDIT_FILES:-2000}
EDIT_RUNS=${EDIT_RUNS:-2}

# One edit of a fresh library by the executable given: "WRITE_MS PING_MS".
edit_once() {
    local exe=$1 lib=$scratch/edit-lib share=$scratch/edit-share out i
    rm -rf "$lib" "$scratch/config"/*
    "$make_library" --seed 2 --force "$EDIT_FILES" "$lib" >/dev/null || die "make_library failed"
    mkdir -p "$share"
    SLOWFS_RW=1 "$slowfs" "$lib" "$share" "$DELAY_US" || die "cannot mount slowfs writable"
    for ((i = 0; i < 50; i++)); do
        mountpoint -q "$share" && break
        sleep 0.1
    done
    drop_caches
    out=$(XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache \
        XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/runtime \
        xvfb-run -a "$repo/bench/edit_window.sh" "$exe" "$share" "$lib" "$XPING" \
        2>"$scratch/edit-stderr") || {
        cat "$scratch/edit-stderr" >&2
        die "the mass edit failed"
    }
    unmount "$share"
    grep -q "files written in [0-9.]* s$" <<<"$out" || die "not every file was written: $out"
    awk '/files written in/ { w = $4 * 1000 } /answered the ping/ { p = $7 }
        END { printf "%d %d\n", w, p }' <<<"$out"
}

editors=(tunebrowse)
declare -A editor=([tunebrowse]=$tunebrowse)
if [[ -n ${BASELINE:-} ]]; then
    editors+=(baseline)
    editor[baseline]=$BASELINE
fi
declare -A write_ms=() ping_ms=()
echo "mass edit: $EDIT_FILES files on the writable share, $DELAY_US us a request, cold"
for ((run = 1; run <= EDIT_RUNS; run++)); do
    for name in "${editors[@]}"; do
        result=$(edit_once "${editor[$name]}") || exit 1
        read -r w p <<<"$result"
        printf '  %-10s run %d: written in %6.2f s, longest ping answer %6d ms\n' "$name" "$run" \
            "$(seconds $((w * 1000)))" "$p"
        write_ms[$name]+="$w "
        ping_ms[$name]+="$p "
    done
done
if [[ -n ${BASELINE:-} ]]; then
    # shellcheck disable=SC2086 # the samples are a space-separated list on purpose
    w_new=$(median ${write_ms[tunebrowse]}) w_old=$(median ${write_ms[baseline]})
    # shellcheck disable=SC2086
    p_new=$(median ${ping_ms[tunebrowse]}) p_old=$(median ${ping_ms[baseline]})
    ms_seconds() { awk -v ms="$1" 'BEGIN { printf "%.2f", ms / 1e3 }'; }
    echo "  medians: written in $(ms_seconds "$w_new") s against $(ms_seconds "$w_old") s," \
        "$(ratio "$w_new" "$w_old") x the baseline's time"
    echo "  medians: longest ping answer $p_new ms against $p_old ms," \
        "$(awk -v a="$p_new" -v b="$p_old" 'BEGIN { if (b > 0) printf "%.4f", a / b; else print "-" }')" \
        "x the baseline's"
fi
