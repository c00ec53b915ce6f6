#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Runs the desktop's own validator on a desktop entry or an AppStream metainfo file. Exits 77
# (skipped) when the validator is not installed; any message of it, warnings included, fails.
#   validate.sh desktop|metainfo FILE
set -euo pipefail
kind=$1 file=$2
case $kind in
desktop)
    command -v desktop-file-validate > /dev/null || { echo "desktop-file-validate missing"; exit 77; }
    output=$(desktop-file-validate "$file" 2>&1) || { echo "$output"; exit 1; }
    ;;
metainfo)
    command -v appstreamcli > /dev/null || { echo "appstreamcli missing"; exit 77; }
    output=$(appstreamcli validate --no-net --explain "$file" 2>&1) || { echo "$output"; exit 1; }
    ;;
*)
    echo "usage: validate.sh desktop|metainfo FILE" >&2
    exit 2
    ;;
esac
echo "$output"
if grep -qE '^(E|W): |error|warning' <<< "$output"; then
    exit 1
fi
