# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Sourced by the scan benchmarks: the wall time of one run, medians, seconds and ratios. The script
# that sources it defines run_NAME for each program, label[NAME], die and $scratch.

# Runs one program with stdout to OUTPUT (discarded by default) and leaves the wall time in
# microseconds in $elapsed. EPOCHREALTIME avoids forking `date`, which would add noise to short
# runs.
elapsed=0
time_run() { # NAME [OUTPUT]
    local program=$1 output=${2:-/dev/null} start end
    start=${EPOCHREALTIME//[!0-9]/}
    if ! "run_$program" >"$output" 2>"$scratch/stderr"; then
        cat "$scratch/stderr" >&2
        die "${label[$program]} failed"
    fi
    end=${EPOCHREALTIME//[!0-9]/}
    elapsed=$((end - start))
}

median() {
    printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 }
        END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

seconds() { awk -v us="$1" 'BEGIN { printf "%.3f", us / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
