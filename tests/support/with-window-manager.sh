#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command as a program on a desktop: on an X display of its own (Xvfb, 1366x768) with a
# window manager (openbox) that maps, frames and focuses its windows, on Qt's xcb platform.
#   tests/support/with-window-manager.sh COMMAND [ARGUMENT...]
set -euo pipefail

here=$(mktemp -d)
xvfb=
wm=
finish() {
  [ -z "$wm" ] || kill "$wm" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$here"
}
trap finish EXIT
mkfifo "$here/display" "$here/managing"

# The server picks a free display and names it once it takes connections.
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$here/display" 2>/dev/null &
xvfb=$!
read -r display <"$here/display"
export DISPLAY=":$display"
# openbox runs its start-up command once it manages the screen.
openbox --sm-disable --startup "sh -c 'echo >\"$here/managing\"'" >/dev/null 2>&1 &
wm=$!
read -r _ <"$here/managing"

QT_QPA_PLATFORM=xcb "$@"
