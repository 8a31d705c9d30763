#!/usr/bin/env bash
# Runs a command on the X display of the Wine prefix in $WINEPREFIX (see wine_env.sh).
set -euo pipefail
DISPLAY=$("$(dirname "$0")/../../support/wine_env.sh" display "$WINEPREFIX")
export DISPLAY
exec "$@"
