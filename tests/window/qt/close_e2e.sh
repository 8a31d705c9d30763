#!/usr/bin/env bash
# The real `tonvela` under Xvfb with openbox, ended as a user or a session ends it: Alt+F4 (the
# window manager's delete message), SIGTERM, SIGINT and SIGHUP. Each must end the program with
# status 0, and at once rather than after a wait; in the AddressSanitizer build that also means no
# leak report.
#
#   close_e2e.sh <path to tonvela>
set -euo pipefail

program=$(realpath "$1")

source "$(dirname "$0")/../../support/e2e.sh"
e2e_scratch
# Ten times the slowest close seen on a loaded two-core machine (5.3 s, the sanitizer build's
# leak check included): it tells a program that ends from one that hangs.
readonly kCloseLimitS=60

scenario="setup"
start_display --wm
# No sound server: closing must not depend on one. A runtime dir of its own, so no other run's
# program is taken for an instance already running.
export PULSE_SERVER=unix:$work/no-sound-server
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
cd "$work"

for scenario in alt+F4 TERM INT HUP; do
  "$program" 2>"$work/tonvela.err" &
  pid=$!
  track "$pid"
  window=$(find_window --onlyvisible) || fail "no window titled $kTitle"
  sleep 0.5
  closed=$(now)
  if [[ $scenario == alt+F4 ]]; then
    xdotool windowactivate --sync "$window" 2>/dev/null || true
    closed=$(now)
    xdotool key alt+F4
  else
    kill -"$scenario" "$pid"
  fi
  status=0
  deadline=$((SECONDS + 2 * kCloseLimitS))
  while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.01; done
  ended=$(now)
  kill -0 "$pid" 2>/dev/null && fail "still running $((2 * kCloseLimitS)) s after the close"
  wait "$pid" || status=$?
  took=$(elapsed "$closed" "$ended")
  echo "$scenario: ended after $took s with status $status"
  ((status == 0)) || fail "status $status"
  less_than "$took" "$kCloseLimitS" || fail "took $took s"
done
echo "PASS: every close ends the program with status 0"
