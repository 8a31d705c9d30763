#!/usr/bin/env bash
# Takes the picture of the window shown in the README: the built program on its own Xvfb
# display, cropped to the window.
#   scripts/screenshot.sh [program] [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/release/bin/tonvela}
output=${2:-docs/screenshot.png}

source tests/support/e2e.sh
source tests/support/xvfb.sh
start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
runtime=$(mktemp -d)
trap 'kill "$tonvela_pid" "$xvfb_pid" 2>/dev/null || true; rm -rf "$runtime"' EXIT
# A runtime dir of its own, so a Tonvela the user has open is not taken for this one.
XDG_RUNTIME_DIR=$runtime "$program" &
tonvela_pid=$!

window=$(find_window) || { echo "no window appeared" >&2; exit 1; }
sleep 0.5  # let it paint
import -window "$window" "$output"
echo "wrote $output"
