#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Runs a command in an X server of its own. Xvfb picks a free display itself (-displayfd): two
# suites starting side by side with "xvfb-run -a" may both take the same number, and one then
# looks for its window on the other's server.
#   with_xvfb.sh SCREEN COMMAND [ARG...]      SCREEN as WIDTHxHEIGHTxDEPTH
set -euo pipefail
screen=$1
shift
state=$(mktemp -d)
xvfb=
trap '[ -z "$xvfb" ] || kill "$xvfb" 2> /dev/null || true; rm -rf "$state"' EXIT
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3> "$state/display" 2> "$state/log" &
xvfb=$!
# The number is written once the server takes connections.
for _ in $(seq 300); do
    [ -s "$state/display" ] && break
    kill -0 "$xvfb" 2> /dev/null || break
    sleep 0.1
done
display=$(head -n 1 "$state/display")
if [ -z "$display" ]; then
    echo "Xvfb did not start:" >&2
    cat "$state/log" >&2
    exit 1
fi
status=0
DISPLAY=:$display "$@" || status=$?
exit "$status"
