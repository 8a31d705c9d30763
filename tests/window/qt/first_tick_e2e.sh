#!/usr/bin/env bash
# The program as a user runs it: the real `tonvela` on an X server (Xvfb) with sound going to the
# test PulseAudio server's null sink. Both boxes are set to 1 with keystrokes, so the first tick,
# one minute after start, must play the voice file; with the start values 15 and 25 it would not.
# The sink's monitor is recorded throughout: silence before the tick, the voice after it.
#
#   first_tick_e2e.sh <path to tonvela>
# Needs PULSE_SERVER and TONVELA_TEST_SINK (from the PulseServer test fixture).
set -euo pipefail

program=$(realpath "$1")
: "${PULSE_SERVER:?needs the test PulseAudio server}" "${TONVELA_TEST_SINK:?}"
readonly kTitle="Tonvela......"
readonly kFirstTickS=60

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [[ -f $work/tonvela.err ]] && sed 's/^/tonvela: /' "$work/tonvela.err" >&2
  exit 1
}

source "$(dirname "$0")/../../support/xvfb.sh"
xvfb_pid=""
start_xvfb || fail "Xvfb did not start"
pids+=("$xvfb_pid")

parecord --device="$TONVELA_TEST_SINK.monitor" --file-format=wav --channels=1 --rate=16000 \
  "$work/sink.wav" &
parecord_pid=$!
pids+=("$parecord_pid")

# Started from an empty folder, as a desktop launcher would: the voice file beside the program
# must be found.
cd "$work"
"$program" 2>"$work/tonvela.err" &
tonvela_pid=$!
pids+=("$tonvela_pid")
started=$SECONDS

window=""
for _ in $(seq 200); do
  window=$(xdotool search --name "^${kTitle//./\\.}\$" 2>/dev/null | head -n1) && [[ -n $window ]] && break
  sleep 0.05
done
[[ -n $window ]] || fail "no window titled $kTitle"

# No window manager runs, so give the window the keyboard focus ourselves. The focus starts in the
# day box: select its text and type 1, Tab to the night box, the same there.
xdotool windowfocus --sync "$window"
sleep 0.3
xdotool key ctrl+a type 1
xdotool key Tab ctrl+a type 1
sleep 0.3

# The first tick comes kFirstTickS after load and plays a few seconds of voice.
while ((SECONDS - started < kFirstTickS + 10)); do
  kill -0 "$tonvela_pid" 2>/dev/null || fail "tonvela ended early"
  sleep 1
done
kill -INT "$parecord_pid" 2>/dev/null || true # parecord finishes its file on SIGINT
sleep 0.5

peak() { sox "$work/sink.wav" -n trim "$@" stat 2>&1 | awk '/Maximum amplitude/ {print $3}'; }
before=$(peak 0 $((kFirstTickS - 5)))
after=$(peak $((kFirstTickS - 2)))
echo "peak before the first tick: $before, after: $after"
awk -v v="$before" 'BEGIN { exit !(v < 0.01) }' || fail "sound before the first tick (peak $before)"
awk -v v="$after" 'BEGIN { exit !(v > 0.05) }' || fail "no voice at the first tick (peak $after)"
echo "PASS: the voice played at the first tick"
