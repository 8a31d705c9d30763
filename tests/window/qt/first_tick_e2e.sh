#!/usr/bin/env bash
# The program as a user runs it: the real `tonvela` on an X server (Xvfb), or as a Wayland client
# of weston (itself on Xvfb, see tests/support/weston.sh), with sound going to the test server's
# null sink. Both boxes are set to 1 with keystrokes, so the first tick, one minute after start,
# must play the voice file; with the start values 15 and 25 it would not. The sink's monitor is
# recorded throughout: silence before the tick, the voice after it.
#
#   first_tick_e2e.sh <path to tonvela> [x11|wayland]
# Needs PULSE_SERVER and TONVELA_TEST_SINK (from a sound server test fixture).
set -euo pipefail

program=$(realpath "$1")
display=${2:-x11}
[[ $display == x11 || $display == wayland ]] || { echo "unknown display $display" >&2; exit 2; }
: "${PULSE_SERVER:?needs the test sound server}" "${TONVELA_TEST_SINK:?}"
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
source "$(dirname "$0")/../../support/weston.sh"
xvfb_pid=""
start_xvfb || fail "Xvfb did not start"
pids+=("$xvfb_pid")
if [[ $display == wayland ]]; then
  weston_pid=""
  start_weston "$work" || fail "weston did not start"
  pids+=("$weston_pid")
fi

parecord --device="$TONVELA_TEST_SINK.monitor" --file-format=wav --channels=1 --rate=16000 \
  "$work/sink.wav" &
parecord_pid=$!
pids+=("$parecord_pid")

# Started from an empty folder, as a desktop launcher would: the voice file beside the program
# must be found. On Wayland it gets no DISPLAY, so it cannot fall back to X11 unseen.
cd "$work"
if [[ $display == wayland ]]; then
  env -u DISPLAY QT_QPA_PLATFORM=wayland "$program" 2>"$work/tonvela.err" &
else
  "$program" 2>"$work/tonvela.err" &
fi
tonvela_pid=$!
pids+=("$tonvela_pid")
started=$SECONDS

if [[ $display == wayland ]]; then
  mapped=0
  for _ in $(seq 200); do
    weston_toplevel_mapped "$kTitle" && mapped=1 && break
    sleep 0.05
  done
  ((mapped)) || fail "weston mapped no window titled $kTitle"
  echo "weston mapped the window titled $kTitle"
  # weston gives the new window the keyboard focus; keys sent to Xvfb reach weston's seat, and
  # weston passes them on to the focused window. The focus starts in the day box.
  sleep 0.5
  xdotool key ctrl+a type 1
  xdotool key Tab ctrl+a type 1
else
  window=""
  for _ in $(seq 200); do
    window=$(xdotool search --name "^${kTitle//./\\.}\$" 2>/dev/null | head -n1) && [[ -n $window ]] && break
    sleep 0.05
  done
  [[ -n $window ]] || fail "no window titled $kTitle"

  # No window manager runs, so give the window the keyboard focus ourselves. The focus starts in
  # the day box: select its text and type 1, Tab to the night box, the same there.
  xdotool windowfocus --sync "$window"
  sleep 0.3
  xdotool key ctrl+a type 1
  xdotool key Tab ctrl+a type 1
fi
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
