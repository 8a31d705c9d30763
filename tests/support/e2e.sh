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

# find_window [--onlyvisible]: prints the id of the program's window once it exists, waiting up to
# 30 s (a first start in a fresh Wine prefix is slow); fails if none appears.
find_window() {
  local window
  for _ in $(seq 600); do
    window=$(xdotool search "$@" --name "^${kTitle//./\\.}\$" 2>/dev/null | head -n1)
    [[ -n $window ]] && { echo "$window"; return 0; }
    sleep 0.05
  done
  return 1
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
