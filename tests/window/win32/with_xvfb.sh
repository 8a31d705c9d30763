#!/usr/bin/env bash
# Runs a command on an X server of its own, which it stops afterwards: with_xvfb.sh <command...>
set -euo pipefail
source "$(dirname "$0")/../../support/xvfb.sh"
xvfb_pid=""
start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
status=0
"$@" || status=$?
exit "$status"
