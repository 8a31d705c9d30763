#!/usr/bin/env bash
# Starting the real `tonvela` again while it runs: the second start opens no window and ends
# with status 0, and the running window comes to the front and takes the focus from the window
# that had it. After the running instance is killed (leaving its socket and lock behind), a new
# start still opens its window; a start for another user's runtime dir is a reminder of its own.
# What a crash or another user leaves behind never keeps a start from its window: an empty lock
# is taken over, a FIFO at the lock's name is passed by, and without a private runtime folder a
# start runs alone, whatever another user listens on in the shared temporary folder (run as root:
# the other user is `nobody`).
#
#   second_start.sh <path to tonvela>
set -euo pipefail

program=$(realpath "$1")

source "$(dirname "$0")/../../support/e2e.sh"
e2e_scratch
# Ten times the slowest hand-over seen on a loaded two-core machine (4.6 s, sanitizer build, its
# start and exit included): it tells a start that hands over at once from one that waits for the
# busy window, which stays busy until the start has ended.
readonly kHandOverLimitS=50
# A start's own timeout, above that: it ends a start that hangs.
readonly kStartTimeoutS=120

# A window manager, as on any desktop: it is what brings a window forward and gives it the focus
# when the program asks (_NET_ACTIVE_WINDOW).
start_display --wm
# No sound server: nothing here waits for a tick.
export PULSE_SERVER=unix:$work/no-server
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

windows() { program_windows; }
has_window() { [[ -n $(windows) ]]; }
wait_for_window() { wait_until 60 has_window; }

# Starts tonvela in the background; sets started_pid.
tonvela_pids=()
start_tonvela() {
  "$program" 2>"$work/tonvela-$1.err" &
  started_pid=$!
  track "$started_pid"
  tonvela_pids+=("$started_pid")
}

# Ends every tonvela started so far and waits for their windows to go.
end_every_tonvela() {
  for pid in "${tonvela_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for _ in $(seq 200); do
    [[ -z $(windows) ]] && return 0
    sleep 0.05
  done
  fail "windows left after ending every tonvela"
}

# Waits until exactly $1 windows are open; fails with $2 otherwise.
expect_windows() {
  for _ in $(seq 200); do
    [[ $(windows | wc -l) -eq $1 ]] && break
    sleep 0.05
  done
  [[ $(windows | wc -l) -eq $1 ]] || fail "$2: $(windows | wc -l) windows, not $1"
}

# Of the given windows, the one in front: the window manager lists its windows back to front.
topmost_of() {
  local top=""
  for id in $(xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*'); do
    for candidate in "$@"; do
      (($(printf '%d' "$id") == candidate)) && top=$candidate
    done
  done
  echo "$top"
}

start_tonvela first
first=$started_pid
wait_for_window || fail "the first start opened no window"
window=$(windows)

# Another window in front, with the focus (no window manager runs, so set both by hand).
xmessage -name other "another program" 2>/dev/null &
track $!
has_other() { [[ -n $(other_window) ]]; }
wait_until 30 has_other || fail "xmessage opened no window"
other=$(other_window)
xdotool windowactivate --sync "$other"
[[ $(topmost_of "$window" "$other") == "$other" ]] || fail "the other window is not in front"
[[ $(active_window) == "$other" ]] || fail "the other window is not active"

started=$SECONDS
status=0
timeout "$kStartTimeoutS" "$program" 2>"$work/tonvela-second.err" || status=$?
echo "second start ended with status $status after $((SECONDS - started)) s"
((status == 0)) || fail "the second start ended with status $status"
kill -0 "$first" 2>/dev/null || fail "the first instance ended"
[[ $(windows | wc -l) -eq 1 ]] || fail "$(windows | wc -l) windows titled $kTitle"
is_active() { [[ $(active_window) == "$window" ]]; }
wait_until 20 is_active || fail "the running window was not made active"
[[ $(topmost_of "$window" "$other") == "$window" ]] || fail "the running window is not in front"
echo "the running window came to the front with the focus"

# While the running window's thread is held (it plays the voice to its end there), a second start
# still hands over at once, and the window comes forward when its thread is free again.
xdotool windowactivate --sync "$other"
kill -STOP "$first"
started=$(date +%s.%N)
status=0
timeout "$kStartTimeoutS" "$program" 2>"$work/tonvela-while-busy.err" || status=$?
took=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.3f", b - a }')
kill -CONT "$first"
echo "a start while the running window was busy ended with status $status after $took s"
((status == 0)) || fail "a start while the running window was busy ended with status $status"
awk -v t="$took" -v l="$kHandOverLimitS" 'BEGIN { exit !(t < l) }' ||
  fail "a start while the running window was busy waited for it"
wait_until 20 is_active || fail "the window did not come forward once free again"
[[ $(windows | wc -l) -eq 1 ]] || fail "$(windows | wc -l) windows titled $kTitle"
echo "the busy window came forward once free again"

# Killed, it leaves its socket and lock behind; a new start must still open a window.
kill -KILL "$first"
wait "$first" 2>/dev/null || true
[[ -n $(find "$XDG_RUNTIME_DIR" -type s) ]] || fail "no socket left behind to test with"
start_tonvela after-kill
wait_for_window || fail "no window after a start following a killed instance"
sleep 0.5
kill -0 "$started_pid" 2>/dev/null || fail "the start after a killed instance ended"
# And it listens where the killed one did: the next start hands over to it.
status=0
timeout "$kStartTimeoutS" "$program" 2>"$work/tonvela-third.err" || status=$?
((status == 0)) || fail "a start after the new instance ended with status $status"
[[ $(windows | wc -l) -eq 1 ]] || fail "$(windows | wc -l) windows after a start following a killed instance"
echo "a start after a killed instance opened its window, and the next start handed over to it"

# Another user's runtime dir is another user's reminder.
XDG_RUNTIME_DIR=$work/other-runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
start_tonvela other-user
two_windows() { [[ $(windows | wc -l) -eq 2 ]]; }
wait_until 60 two_windows || fail "a start with its own runtime dir opened no window"
echo "a start with another runtime dir opened a window of its own"

# Starts at the same moment (autostart and the menu, a double click): one window, and every other
# start ends with status 0.
XDG_RUNTIME_DIR=$work/race-runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
racers=()
for n in 1 2 3 4; do
  start_tonvela "race-$n"
  racers+=("$started_pid")
done
# Once one start runs on alone, the others are gone; its window is the last that can appear.
settled() { [[ $(still_running "${racers[@]}" | wc -l) -le 1 && $(windows | wc -l) -ge 3 ]]; }
wait_until 60 settled || true
[[ $(windows | wc -l) -eq 3 ]] || fail "starts at once: $(($(windows | wc -l) - 2)) windows"
expect_one_runs_on "starts at once" "${racers[@]}"
echo "starts at the same moment: one window"

end_every_tonvela

# A crash between creating the lock and writing it leaves it empty: the next start still becomes
# the one instance, and a start after it hands over to it.
XDG_RUNTIME_DIR=$work/stale-runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
: >"$XDG_RUNTIME_DIR/org.tonvela.Tonvela.lock"
start_tonvela stale-lock
expect_windows 1 "a start over an empty lock"
status=0
timeout 10 "$program" 2>"$work/tonvela-after-stale.err" || status=$?
((status == 0)) || fail "a start after the one over an empty lock ended with status $status"
sleep 0.5
expect_windows 1 "a start after the one over an empty lock"
echo "an empty lock left behind was taken over, and the next start handed over"
end_every_tonvela

# Whatever stands at the lock's name is never opened as a lock: a FIFO there must not hold the
# start, which runs alone.
XDG_RUNTIME_DIR=$work/fifo-runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkfifo "$XDG_RUNTIME_DIR/org.tonvela.Tonvela.lock"
start_tonvela fifo-lock
expect_windows 1 "a start with a FIFO at the lock's name"
echo "a FIFO at the lock's name held nothing up"
end_every_tonvela

# No private runtime folder at all. Another user made the folder Qt would fall back to in the
# shared temporary folder, and listens on a socket where a start without a runtime folder would
# look. The start must not hand over to it: it opens its own window and keeps it, and that user
# hears nothing of it.
# Only root can act as another user.
if ((EUID == 0)); then
  shared=$work/shared-tmp
  mkdir -m 1777 "$shared"
  chmod 711 "$work"
  setpriv --reuid=nobody --regid=nogroup --clear-groups mkdir -m 700 "$shared/runtime-$(id -un)"
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    socat -d -d UNIX-LISTEN:"$shared/org.tonvela.Tonvela",mode=777,fork SYSTEM:true \
    2>"$work/listener.log" &
  track $!
  for _ in $(seq 100); do
    [[ -S $shared/org.tonvela.Tonvela ]] && break
    sleep 0.05
  done
  [[ -S $shared/org.tonvela.Tonvela ]] || fail "the other user's listener did not start"
  mkdir "$work/cwd"
  touch "$work/before-no-runtime-start"
  unset XDG_RUNTIME_DIR
  export TMPDIR=$shared
  cd "$work/cwd"
  start_tonvela no-runtime-dir
  cd - >/dev/null
  unset TMPDIR
  expect_windows 1 "a start without a private runtime folder"
  sleep 2
  kill -0 "$started_pid" 2>/dev/null || fail "the start without a runtime folder ended"
  expect_windows 1 "2 s after a start without a private runtime folder"
  ! grep -q "accepting connection" "$work/listener.log" || fail "the other user's socket was contacted"
  left=$(find "$shared" "$work/cwd" -newer "$work/before-no-runtime-start" -not -type d)
  [[ -z $left ]] || fail "files left in shared places: $left"
  echo "without a private runtime folder the start ran alone, and told the other user nothing"
else
  echo "SKIP: another user's socket in the shared temporary folder (needs root)"
fi
echo "PASS: one reminder per runtime dir, and nothing left behind keeps a start from its window"
