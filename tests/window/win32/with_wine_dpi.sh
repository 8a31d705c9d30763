#!/usr/bin/env bash
# Runs a command on the display of the Wine prefix in $WINEPREFIX as a screen of another scale:
# the prefix's LogPixels set to <dpi> for the command's run, and back to 96 (what the other
# window tests expect) however it ends. Wine reads LogPixels as each program starts, and reports
# that DPI to every window. TONVELA_TEST_DPI tells the command which DPI to expect.
#
#   with_wine_dpi.sh <dpi> <wine> <command> [arguments...]
set -euo pipefail
dpi=$1
wine=$2
shift 2

set_dpi() {
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96' EXIT
set_dpi "$dpi"
TONVELA_TEST_DPI=$dpi "$(dirname "$0")/with_wine_display.sh" "$@"
