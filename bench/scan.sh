#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Whole-program scan benchmark: times `tunebrowse --list` against ref_walker, a minimal C scanner
# doing the same file system work (walk, open, fstat, read the last 128 bytes, close), on a
# generated library of N files. The ratio tells how much the application adds on top of what
# the operating system makes unavoidable.
#
#   bench/scan.sh N
#
# Environment:
#   BUILD       build directory (default: <repo>/build)
#   TUNEBROWSE  executable to measure (default: $BUILD/tunebrowse)
#   TUNEBROWSE_BEFORE  another build to time in the same runs, interleaved (say, of the commit
#               before a change): its row gives the before and after in one run
#   WARM_RUNS, COLD_RUNS  timed runs per program (default 7 and 3)
#
# Warm cache: one warm-up run per program, then 7 timed runs each, interleaved so that drift
# (thermal, background load) hits all programs alike. Cold cache: 3 runs each with the page,
# dentry and inode caches dropped before every run; needs root.

set -euo pipefail

WARM_RUNS=${WARM_RUNS:-7}
COLD_RUNS=${COLD_RUNS:-3}

die() {
    echo "scan.sh: $*" >&2
    exit 1
}

if [[ $# -ne 1 || ! $1 =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: bench/scan.sh N   (N = number of files in the generated library)" >&2
    exit 2
fi
N=$1

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$repo/build}
[[ $BUILD == /* ]] || BUILD=$PWD/$BUILD
make_library=$BUILD/bench/make_library
ref_walker=$BUILD/bench/ref_walker
tunebrowse=${TUNEBROWSE:-$BUILD/tunebrowse}
library=$BUILD/bench-lib-$N

# --- Build what is missing --------------------------------------------------------------------

targets=()
[[ -x $make_library ]] || targets+=(make_library)
[[ -x $ref_walker ]] || targets+=(ref_walker)
[[ -n ${TUNEBROWSE:-} || -x $tunebrowse ]] || targets+=(tunebrowse)
if ((${#targets[@]} > 0)); then
    if [[ ! -f $BUILD/CMakeCache.txt ]]; then
        cmake -S "$repo" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release || die "cmake configure failed"
    fi
    cmake --build "$BUILD" --target "${targets[@]}" || die "build failed"
fi
for exe in "$make_library" "$ref_walker" "$tunebrowse"; do
    [[ -x $exe ]] || die "$exe is missing or not executable"
done

# --- Library and isolated settings ------------------------------------------------------------

"$make_library" --seed 1 "$N" "$library" || die "make_library failed"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/config" "$scratch/cache" "$scratch/data" "$scratch/runtime"
chmod 700 "$scratch/runtime"

# A fresh, empty configuration: neither the developer's settings nor a cache left by an
# earlier run may influence the scan.
run_with() {
    XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache XDG_DATA_HOME=$scratch/data \
        XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen \
        "$1" --list "$library"
}
run_tunebrowse() { run_with "$tunebrowse"; }
run_before() { run_with "$TUNEBROWSE_BEFORE"; }
run_ref1() { "$ref_walker" "$library"; }
run_ref2() { "$ref_walker" -t 2 "$library"; }
run_ref8() { "$ref_walker" -t 8 "$library"; }

programs=(tunebrowse ref1 ref2 ref8)
references=(ref1 ref2 ref8)
if [[ -n ${TUNEBROWSE_BEFORE:-} ]]; then
    [[ -x $TUNEBROWSE_BEFORE ]] || die "$TUNEBROWSE_BEFORE is missing or not executable"
    programs+=(before)
    references+=(before)
fi
declare -A label=(
    [before]="tunebrowse before"
    [tunebrowse]="tunebrowse --list"
    [ref1]="ref_walker"
    [ref2]="ref_walker -t 2"
    [ref8]="ref_walker -t 8"
)

# shellcheck source=timing.sh
. "$(dirname "${BASH_SOURCE[0]}")/timing.sh"

# --- Sanity check: every program must see the whole library -----------------------------------

counts=$(run_ref1) || die "ref_walker failed"
[[ $counts =~ ^files=([0-9]+)\ tagged=([0-9]+)$ ]] || die "unexpected ref_walker output: $counts"
((BASH_REMATCH[1] == N)) || die "ref_walker found ${BASH_REMATCH[1]} files, expected $N"
echo "library: $library ($counts)"
for program in ref2 ref8; do
    other=$("run_$program") || die "${label[$program]} failed"
    [[ $other == "$counts" ]] || die "${label[$program]} disagrees: $other"
done
run_tunebrowse >"$scratch/list" 2>"$scratch/stderr" || {
    cat "$scratch/stderr" >&2
    die "tunebrowse --list failed"
}
# --list prints one line per file; a different count means the two scans are not comparable.
listed=$(wc -l <"$scratch/list")
if ((listed != N)); then
    echo "WARNING: tunebrowse --list printed $listed lines for $N files" >&2
fi

# --- Warm cache -------------------------------------------------------------------------------

declare -A warm=() cold=()
for program in "${programs[@]}"; do
    time_run "$program" # warm-up, not counted
done
for ((run = 1; run <= WARM_RUNS; run++)); do
    for program in "${programs[@]}"; do
        time_run "$program"
        warm[$program]+="$elapsed "
    done
done
# Prints each program's median of the samples in the array named $1, kept in the array named $2,
# and tunebrowse's ratio to each reference.
report_medians() {
    local -n samples=$1 medians=$2
    for program in "${programs[@]}"; do
        # shellcheck disable=SC2086 # the samples are a space-separated list on purpose
        medians[$program]=$(median ${samples[$program]})
        printf '  %-20s %8s s\n' "${label[$program]}" "$(seconds "${medians[$program]}")"
    done
    for program in "${references[@]}"; do
        printf '  tunebrowse / %-15s %6s\n' "${label[$program]}" \
            "$(ratio "${medians[tunebrowse]}" "${medians[$program]}")"
    done
}

declare -A warm_median=()
echo
echo "warm cache, median of $WARM_RUNS runs:"
report_medians warm warm_median

# --- Cold cache -------------------------------------------------------------------------------

drop_caches() {
    sync && echo 3 >/proc/sys/vm/drop_caches
}

declare -A cold_median=()
echo
if [[ $EUID -ne 0 ]]; then
    echo "cold cache: skipped (needs root)"
elif ! (drop_caches) 2>/dev/null; then
    # Containers usually mount /proc/sys read-only, even for root.
    echo "cold cache: skipped (cannot write /proc/sys/vm/drop_caches)"
else
    for ((run = 1; run <= COLD_RUNS; run++)); do
        for program in "${programs[@]}"; do
            drop_caches || die "dropping caches failed"
            time_run "$program"
            cold[$program]+="$elapsed "
        done
    done
    echo "cold cache, median of $COLD_RUNS runs:"
    report_medians cold cold_median
fi

# --- Summary ----------------------------------------------------------------------------------

cell() { # seconds or ratio for one column; "-" when the column was skipped
    local -n medians=$1
    if [[ -z ${medians[tunebrowse]:-} ]]; then
        echo "-"
    elif [[ $2 == ratio ]]; then
        ratio "${medians[tunebrowse]}" "${medians[$3]}"
    else
        seconds "${medians[$3]}"
    fi
}

echo
echo "scan of $N files (median wall time in seconds; ratio = tunebrowse / reference)"
printf '%-22s %9s %9s %11s %11s\n' program warm cold "warm ratio" "cold ratio"
for program in "${programs[@]}"; do
    if [[ $program == tunebrowse ]]; then
        warm_ratio="" cold_ratio=""
    else
        warm_ratio=$(cell warm_median ratio "$program")
        cold_ratio=$(cell cold_median ratio "$program")
    fi
    printf '%-22s %9s %9s %11s %11s\n' "${label[$program]}" \
        "$(cell warm_median seconds "$program")" "$(cell cold_median seconds "$program")" \
        "$warm_ratio" "$cold_ratio"
done
