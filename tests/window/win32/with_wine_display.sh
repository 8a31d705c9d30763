#!/usr/bin/env bash
# Runs a command on the X display of the Wine prefix in $WINEPREFIX (see wine_env.sh), with a
# window manager (openbox, its key and mouse bindings off, so every key the command sends reaches
# Wine) for the command's run, as on any desktop. Without one, Wine waits two seconds for a
# window manager at each top-level window's withdrawal, and every window test would wait it out.
set -euo pipefail
DISPLAY=$("$(dirname "$0")/../../support/wine_env.sh" display "$WINEPREFIX")
export DISPLAY

source "$(dirname "$0")/../../support/e2e.sh"
e2e_scratch
start_window_manager --no-keys

status=0
"$@" || status=$?
exit "$status"
