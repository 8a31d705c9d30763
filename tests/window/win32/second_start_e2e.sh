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

source "$(dirname "$0")/win32_e2e.sh"
start_wine_e2e "$@"
# No sound server: nothing here waits for a tick.
export PULSE_SERVER=unix:$work/no-sound-server

# A second start from the scratch folder: ends with status 0 within the limit, leaving one window,
# the running one, restored and in front; prints how long it took.
expect_hand_over() {
  local state
  second_start "$work" "$1"
  wait_until 10 handed_over || fail "$1: not the one window, restored and in front: $state"
  echo "$1: then $state"
}
handed_over() {
  state=$(probe state)
  [[ $state == "windows=1 iconic=0 foreground=1" ]]
}

other_in_front() { [[ $(probe state) == *foreground=0 ]]; }
# Another program's window in front, with the focus.
show_other_window() {
  wine "$probe" other 600 >"$work/other.err" 2>&1 &
  track $!
  wait_until 10 other_in_front || fail "another window did not come in front: $(probe state)"
}

start_tonvela "$work" first
first=$tonvela_pid
await_window
show_other_window
expect_hand_over "another window in front"

probe minimise >/dev/null || fail "the window could not be minimised"
# Wine and the window manager settle the minimised state between them: a read just after it may
# still see the window as it was.
minimised() {
  state=$(probe state)
  [[ $state == *iconic=1* ]]
}
wait_until 10 minimised || fail "the window is not minimised: $state"
expect_hand_over "minimised"
kill -0 "$first" 2>/dev/null || fail "the first instance ended"

# Killed, it leaves its mutex abandoned: the next start is the session's instance all the same.
kill -KILL "$first"
wait "$first" 2>/dev/null || true
no_window() { [[ $(probe state) == "no Tonvela window" ]]; }
wait_until 10 no_window || fail "the killed instance's window stayed: $(probe state)"
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
one_running() { (($(still_running "${racers[@]}" | wc -l) <= 1)); }
wait_until 120 one_running || true
sleep 1
expect_one_runs_on "starts at once" "${racers[@]}"
[[ $(probe state) == windows=1* ]] || fail "starts at once: $(probe state)"
echo "starts at the same moment: one window"
echo "PASS: one reminder per session: a later start hands over at once and brings the window forward"
