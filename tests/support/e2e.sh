# Sourced by the scripts that run the real program: what each of them needs around it.
readonly kTitle="Tonvela......"
# The first tick comes one minute after load.
readonly kFirstTickS=60

# e2e_scratch: a scratch folder $work and a list $pids of the background processes the script
# starts, removed and ended when the script exits, however it exits.
e2e_scratch() {
  work=$(mktemp -d)
  pids=()
  trap e2e_cleanup EXIT
}

end_pids() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}

e2e_cleanup() {
  end_pids
  rm -rf "$work"
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
  awk -v v="$before" 'BEGIN { exit !(v < 0.01) }' || fail "sound before the first tick (peak $before)"
  awk -v v="$after" 'BEGIN { exit !(v > 0.05) }' || fail "no voice at the first tick (peak $after)"
}
