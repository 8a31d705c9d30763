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

fail() {
  echo "FAIL ($how): $*" >&2
  [[ -s $work/tonvela.err ]] && sed 's/^/  tonvela: /' "$work/tonvela.err" >&2
  exit 1
}

source "$(dirname "$0")/../../support/xvfb.sh"
xvfb_pid=""
how="setup"
start_xvfb || fail "Xvfb did not start"
pids+=("$xvfb_pid")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
  ((SECONDS < 30)) || fail "openbox did not start"
  sleep 0.05
done
# No sound server: closing must not depend on one. A runtime dir of its own, so no other run's
# program is taken for an instance already running.
export PULSE_SERVER=unix:$work/no-sound-server
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
cd "$work"

for how in alt+F4 TERM INT HUP; do
  "$program" 2>"$work/tonvela.err" &
  pid=$!
  pids+=("$pid")
  window=$(find_window --onlyvisible) || fail "no window titled $kTitle"
  sleep 0.5
  closed=$(date +%s.%N)
  if [[ $how == alt+F4 ]]; then
    xdotool windowactivate --sync "$window" 2>/dev/null || true
    closed=$(date +%s.%N)
    xdotool key alt+F4
  else
    kill -"$how" "$pid"
  fi
  status=0
  deadline=$((SECONDS + 2 * kCloseLimitS))
  while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.01; done
  ended=$(date +%s.%N)
  kill -0 "$pid" 2>/dev/null && fail "still running $((2 * kCloseLimitS)) s after the close"
  wait "$pid" || status=$?
  took=$(awk -v a="$closed" -v b="$ended" 'BEGIN { printf "%.3f", b - a }')
  echo "$how: ended after $took s with status $status"
  ((status == 0)) || fail "status $status"
  awk -v t="$took" -v l="$kCloseLimitS" 'BEGIN { exit !(t < l) }' || fail "took $took s"
done
echo "PASS: every close ends the program with status 0"
