#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Runs a command in an X server of its own with a session bus and the accessibility bus, as a
# desktop with a screen reader has them: Qt then reports to assistive tools.
set -euo pipefail
if [ -z "${TUNEBR_ATSPI_INNER:-}" ]; then
    export TUNEBR_ATSPI_INNER=1
    exec "$(dirname "$0")/../support/with_xvfb.sh" 1280x1024x24 dbus-run-session -- "$0" "$@"
fi
# The bus launcher reads its settings from the system's folders.
export XDG_CONFIG_DIRS=/etc/xdg XDG_DATA_DIRS=/usr/local/share:/usr/share
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
# Started before the program, so that Qt finds the bus at once.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null
exec "$@"
