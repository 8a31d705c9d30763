#!/usr/bin/env bash
# The program as a user runs it: the real `tonvela` on an X server (Xvfb), or as a Wayland client
# of weston (itself on Xvfb, see tests/support/weston.sh), with sound going to the null sink of a
# sound server of the run's own. Both boxes are set to 1 with keystrokes, so the first tick, one
# minute after start, must play the voice file; with the start values 15 and 25 it would not. The
# sink's monitor is recorded throughout: silence before the tick, the voice after it.
#
#   first_tick_e2e.sh <path to tonvela> <display>:<server script>...
# display: x11 or wayland; server script: tests/support/pulse_server.sh or pipewire_server.sh.
# The runs go side by side, each with its own X server, compositor, sound server and runtime dir,
# so the minute they wait is spent once.
set -euo pipefail

program=$(realpath "$1")
shift
(($# > 0)) || { echo "usage: $0 <tonvela> <display>:<server script>..." >&2; exit 2; }
support=$(realpath "$(dirname "$0")/../../support")
source "$support/e2e.sh"
source "$support/xvfb.sh"
source "$support/weston.sh"

# One run, in a subshell of its own; its output goes to the caller's log for it.
run() (
  display=$1 server_script=$2 work=$3
  pids=()
  cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    "$server_script" stop "$work/sound" >/dev/null 2>&1 || true
  }
  trap cleanup EXIT
  fail() {
    echo "FAIL: $*" >&2
    [[ -f $work/tonvela.err ]] && sed 's/^/tonvela: /' "$work/tonvela.err" >&2
    exit 1
  }

  "$server_script" start "$work/sound" || fail "the sound server did not start"
  export PULSE_SERVER=unix:$work/sound/native
  xvfb_pid=""
  start_xvfb || fail "Xvfb did not start"
  pids+=("$xvfb_pid")
  # A session of its own: nothing of another tonvela running for this user is found.
  export XDG_RUNTIME_DIR=$work/runtime
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  if [[ $display == wayland ]]; then
    weston_pid=""
    start_weston "$work" || fail "weston did not start"
    pids+=("$weston_pid")
  fi

  parecord --device=tonvela_test.monitor --file-format=wav --channels=1 --rate=16000 \
    "$work/sink.wav" &
  parecord_pid=$!
  pids+=("$parecord_pid")

  # Started from an empty folder, as a desktop launcher would: the voice file beside the program
  # must be found. On Wayland it gets no DISPLAY, so it cannot fall back to X11 unseen.
  mkdir "$work/cwd"
  cd "$work/cwd"
  if [[ $display == wayland ]]; then
    env -u DISPLAY QT_QPA_PLATFORM=wayland "$program" 2>"$work/tonvela.err" &
  else
    "$program" 2>"$work/tonvela.err" &
  fi
  tonvela_pid=$!
  pids+=("$tonvela_pid")
  started=$SECONDS

  if [[ $display == wayland ]]; then
    # Mapped within 30 s: ten times the slowest start seen on a loaded machine (about 2 s).
    mapped=0
    while ((SECONDS - started < 30)); do
      weston_toplevel_mapped "$kTitle" && mapped=1 && break
      sleep 0.05
    done
    ((mapped)) || fail "weston mapped no window titled $kTitle"
    shown=$SECONDS
    echo "weston mapped the window titled $kTitle"
    # weston gives the new window the keyboard focus; keys sent to Xvfb reach weston's seat, and
    # weston passes them on to the focused window. The focus starts in the day box.
    sleep 0.5
    xdotool key ctrl+a type 1
    xdotool key Tab ctrl+a type 1
    # A second start in the same session hands over to this window and leaves; the timeout only
    # ends one that hangs (a start takes about a second on a loaded machine).
    status=0
    env -u DISPLAY QT_QPA_PLATFORM=wayland timeout 60 "$program" 2>>"$work/tonvela.err" || status=$?
    ((status == 0)) || fail "a second start ended with status $status"
    titled=$(grep -c "set_title(\"$kTitle\")" "$weston_log" || true)
    ((titled == 1)) || fail "$titled windows titled $kTitle after a second start"
    echo "a second start ended with status 0 and opened no window"
  else
    window=$(find_window) || fail "no window titled $kTitle"
    shown=$SECONDS

    # No window manager runs, so give the window the keyboard focus ourselves. The focus starts in
    # the day box: select its text and type 1, Tab to the night box, the same there.
    xdotool windowfocus --sync "$window"
    sleep 0.3
    xdotool key ctrl+a type 1
    xdotool key Tab ctrl+a type 1
  fi
  sleep 0.3

  # The first tick comes kFirstTickS after load and plays a few seconds of voice.
  await_first_voice "$tonvela_pid" "$shown"
  kill -0 "$tonvela_pid" 2>/dev/null || fail "tonvela ended after the first tick"
  kill -INT "$parecord_pid" 2>/dev/null || true # parecord finishes its file on SIGINT
  sleep 0.5

  expect_voice_at_first_tick "$work/sink.wav"
  echo "PASS: the voice played at the first tick"
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=()
for spec in "$@"; do
  display=${spec%%:*}
  [[ $display == x11 || $display == wayland ]] || { echo "unknown display in $spec" >&2; exit 2; }
  mkdir "$work/$display"
  run "$display" "$(realpath "${spec#*:}")" "$work/$display" >"$work/$display.log" 2>&1 &
  runs+=("$display:$!")
done
failed=0
for entry in "${runs[@]}"; do
  wait "${entry#*:}" || failed=1
  sed "s/^/${entry%%:*}: /" "$work/${entry%%:*}.log"
done
exit "$failed"
