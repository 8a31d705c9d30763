#!/usr/bin/env bash
# Starting the real tonvela.exe again while it runs, under Wine with a window manager: the second
# start opens no window and ends with status 0 at once, and the running window comes to the
# front with the focus, taken from another program's window, also when it was minimised. After
# the running instance is killed (its mutex left abandoned), a new start still opens its window,
# and the start after it hands over to it. Starts at the same moment leave one window.
#
#   second_start_e2e.sh <tonvela.exe> <tonvela_window_probe.exe>
# Needs WINEPREFIX (Wine fixture).
set -euo pipefail

program=$(realpath "$1")
probe=$(realpath "$2")
: "${WINEPREFIX:?}"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# Ten times the worst seen on a loaded two-core machine (README: time limits), from the start's
# command to its end: a Wine program's own start is most of it.
readonly kSecondStartLimitS=20

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../support/e2e.sh"
source "$here/win32_e2e.sh"
e2e_scratch

fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do [[ -s $log ]] && sed "s|^|$(basename "$log"): |" "$log" >&2; done
  exit 1
}

use_wine_display_with_window_manager
# No sound server: nothing here waits for a tick.
export PULSE_SERVER=unix:$work/no-sound-server

# A second start from the scratch folder: ends with status 0 within the limit, leaving one window,
# the running one, restored and in front; prints how long it took.
expect_hand_over() {
  local started status=0 took state
  started=$(now)
  (cd "$work" && exec timeout "$kSecondStartLimitS" wine "$program") >"$work/second-start.log" 2>&1 || status=$?
  took=$(elapsed "$started" "$(now)")
  echo "$1: the second start ended with status $status after $took s"
  ((status == 0)) || fail "$1: the second start ended with status $status"
  less_than "$took" "$kSecondStartLimitS" || fail "$1: the second start took $took s"
  for _ in $(seq 100); do
    state=$(probe state)
    [[ $state == "windows=1 iconic=0 foreground=1" ]] && break
    sleep 0.05
  done
  echo "$1: then $state"
  [[ $state == "windows=1 iconic=0 foreground=1" ]] ||
    fail "$1: not the one window, restored and in front: $state"
}

# Another program's window in front, with the focus.
show_other_window() {
  wine "$probe" other 600 >"$work/other.log" 2>&1 &
  pids+=("$!")
  for _ in $(seq 200); do
    [[ $(probe state) == *foreground=0 ]] && return 0
    sleep 0.05
  done
  fail "another window did not come in front: $(probe state)"
}

start_tonvela "$work" first
first=$tonvela_pid
await_window
show_other_window
expect_hand_over "another window in front"

probe minimise >/dev/null || fail "the window could not be minimised"
[[ $(probe state) == *iconic=1* ]] || fail "the window is not minimised: $(probe state)"
expect_hand_over "minimised"
kill -0 "$first" 2>/dev/null || fail "the first instance ended"

# Killed, it leaves its mutex abandoned: the next start is the session's instance all the same.
kill -KILL "$first"
wait "$first" 2>/dev/null || true
for _ in $(seq 200); do
  [[ $(probe state) == "no Tonvela window" ]] && break
  sleep 0.05
done
start_tonvela "$work" after-kill
await_window
sleep 1
kill -0 "$tonvela_pid" 2>/dev/null || fail "the start after a killed instance ended"
expect_hand_over "after a killed instance"
kill "$tonvela_pid"
wait "$tonvela_pid" 2>/dev/null || true

# Starts at the same moment (sign-in and the Start menu, a double click): one window, and every
# other start ends with status 0.
racers=()
for n in 1 2 3 4; do
  start_tonvela "$work" "race-$n"
  racers+=("$tonvela_pid")
done
running() { for pid in "${racers[@]}"; do kill -0 "$pid" 2>/dev/null && echo "$pid"; done; }
deadline=$((SECONDS + 120))
while (($(running | wc -l) > 1)) && ((SECONDS < deadline)); do sleep 0.1; done
sleep 1
[[ $(running | wc -l) -eq 1 ]] || fail "starts at once: $(running | wc -l) still run"
[[ $(probe state) == windows=1* ]] || fail "starts at once: $(probe state)"
for pid in "${racers[@]}"; do
  [[ $pid == "$(running)" ]] && continue
  status=0
  wait "$pid" || status=$?
  ((status == 0)) || fail "of the starts at once, one ended with status $status"
done
echo "starts at the same moment: one window"
echo "PASS: one reminder per session: a later start hands over at once and brings the window forward"
