#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Fails on an include of ours that points up the layer table: a lower layer never knows a higher
# one, so that each can be built, tested and reused without those above it.
#   check_layers.sh SOURCE_DIR
set -euo pipefail
cd "$1"

# Each folder, with the folders of ours it may include besides itself.
declare -A allowed=(
    [res]=""
    [catalogue]="res"
    [platform]="res"
    [panes]="catalogue platform res"
    [actions]="catalogue platform res"
    [shell]="catalogue platform res panes actions"
)

failures=0
for layer in "${!allowed[@]}"; do
    for file in "$layer"/*.cpp "$layer"/*.h; do
        [ -e "$file" ] || continue
        while IFS= read -r included; do
            target=${included%%/*}
            [ -n "${allowed[$target]+set}" ] || continue # not a folder of ours
            [ "$target" = "$layer" ] && continue
            if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
                echo "$file includes $included: $layer may include only: ${allowed[$layer]:-nothing of ours}"
                failures=$((failures + 1))
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    done
done
echo "$failures include(s) against the layer table"
[ "$failures" -eq 0 ]
