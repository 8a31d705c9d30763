# shellcheck shell=bash
# Sourced by the scripts that run the real program: what each of them needs around it, once.
source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

readonly kTitle="Tonvela......"
# The first tick comes one minute after load.
readonly kFirstTickS=60

# --- scratch, processes and failure ---------------------------------------------------------------

# e2e_scratch: a scratch folder $work; every process passed to `track` is ended, and every command
# passed to `on_exit` run, when the script (or the subshell that called it) exits, however it exits.
e2e_scratch() {
  work=$(mktemp -d)
  pids=()
  exit_commands=()
  trap e2e_cleanup EXIT
}

track() { pids+=("$@"); }
on_exit() { exit_commands+=("$1"); }

end_pids() {
  local pid
  for pid in "${pids[@]}"; do
    kill -CONT "$pid" 2>/dev/null || true # a test may have left it stopped
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
}

e2e_cleanup() {
  end_pids
  local command
  for command in "${exit_commands[@]}"; do eval "$command"; done
  rm -rf "$work"
}

# fail <message>: ends the script, with what the programs it ran wrote to their *.err files in
# $work (or $err_dir). A script that runs scenarios names the one in $scenario.
fail() {
  echo "FAIL${scenario:+ ($scenario)}: $*" >&2
  local err
  for err in "${err_dir:-$work}"/*.err; do
    [[ -s $err ]] && sed "s|^|  $(basename "$err" .err): |" "$err" >&2
  done
  exit 1
}

# wait_until <seconds> <command...>: runs the command until it succeeds, for at most <seconds>.
# The waits of these scripts are ten times or more what they take on a loaded two-core machine:
# they only tell "happened" from "never happened".
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
less_than() { awk -v v="$1" -v limit="$2" 'BEGIN { exit !(v < limit) }'; }

# --- display and windows --------------------------------------------------------------------------

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# start_display [--wm]: an X server (Xvfb) of the script's own in DISPLAY; with --wm a window
# manager (openbox) too, as on any desktop: it brings a window forward when the program asks,
# delivers Alt+F4 and shows the attention mark.
start_display() {
  xvfb_pid=""
  start_xvfb || fail "Xvfb did not start"
  track "$xvfb_pid"
  if [[ ${1:-} == --wm ]]; then
    HOME=$work openbox --sm-disable >/dev/null 2>&1 &
    track $!
    wait_until 30 wm_running || fail "openbox did not start"
  fi
}

# find_window [--onlyvisible]: prints the id of the program's window once it exists; fails if none
# appears within 120 s, ten times the slowest start seen on a loaded two-core machine (12 s, the
# Windows program under Wine).
find_window() {
  local window deadline=$((SECONDS + 120))
  while ((SECONDS < deadline)); do
    window=$(xdotool search "$@" --name "^${kTitle//./\\.}\$" 2>/dev/null | head -n1)
    [[ -n $window ]] && { echo "$window"; return 0; }
    sleep 0.05
  done
  return 1
}

# The program's windows on screen, one id a line.
program_windows() { xdotool search --onlyvisible --name "^${kTitle//./\\.}\$" 2>/dev/null || true; }

# --- the sink -------------------------------------------------------------------------------------

# start_recording <sink> <file.wav>: records the sink's monitor, mono at 16 kHz, from now
# ($recording_started) until stop_recording.
start_recording() {
  recording_started=$(now)
  parecord --device="$1.monitor" --file-format=wav --channels=1 --rate=16000 "$2" &
  recording_pid=$!
  track "$recording_pid"
}

stop_recording() {
  kill -INT "$recording_pid" 2>/dev/null || true # parecord finishes its file on SIGINT
  wait "$recording_pid" 2>/dev/null || true
}

# await_first_voice <pid> <shown>: waits for the first tick's voice to come and go on the sink of
# the server in PULSE_SERVER, where only the program plays. The tick is due kFirstTickS after the
# window was loaded, just before it was shown at SECONDS <shown>; the voice must come within 30 s
# more, ten times its lateness on a loaded two-core machine (up to 3 s, under Wine), and long
# before a second tick. Uses the script's fail.
await_first_voice() {
  local pid=$1 shown=$2 began
  playing() { [[ -n $(pactl list sink-inputs short 2>/dev/null) ]]; }
  until playing; do
    kill -0 "$pid" 2>/dev/null || fail "the program ended before the first tick"
    ((SECONDS - shown < kFirstTickS + 30)) || fail "no voice $((kFirstTickS + 30)) s after load"
    sleep 0.2
  done
  began=$SECONDS
  echo "the voice began $((began - shown)) s after the window was shown"
  while playing && ((SECONDS - began < 30)); do sleep 0.2; done
  sleep 1 # the end of the voice reaches the recording
}

# expect_voice_at_first_tick <recording.wav>: the recording of the sink, begun with the program,
# is silent until shortly before the first tick and holds the voice after it. Uses the script's
# fail.
expect_voice_at_first_tick() {
  local recording=$1 before after
  peak() { sox "$recording" -n trim "$@" stat 2>&1 | awk '/Maximum amplitude/ {print $3}'; }
  before=$(peak 0 $((kFirstTickS - 5)))
  after=$(peak $((kFirstTickS - 2)))
  echo "peak before the first tick: $before, after: $after"
  less_than "$before" 0.01 || fail "sound before the first tick (peak $before)"
  less_than 0.05 "$after" || fail "no voice at the first tick (peak $after)"
}
