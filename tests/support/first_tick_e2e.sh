#!/usr/bin/env bash
# The program as a user runs it, up to its first tick: the real `tonvela` on an X server (Xvfb) or
# as a Wayland client of weston (itself on Xvfb, see weston.sh), or the real `tonvela.exe` under
# Wine on its prefix's display. Both boxes are set to 1 with keystrokes, so the first tick, one
# minute after start, must play the voice file; with the start values 15 and 25 it would not. The
# sink's monitor is recorded throughout: silence before the tick, the voice after it.
#
#   first_tick_e2e.sh <program> <run>...
# run: x11:<server> or wayland:<server>, with a sound server of the run's own (sound_server.sh's
# pulseaudio or pipewire); or wine, with the test server in PULSE_SERVER and TONVELA_TEST_SINK and
# the prefix in WINEPREFIX (test fixtures).
# The runs go side by side, each with its own X server, compositor, sound server and runtime dir,
# so the minute they wait is spent once. Each starts the program from an empty folder, as a
# desktop launcher or a shortcut would: the voice file beside the program must be found.
set -euo pipefail

program=$(realpath "$1")
shift
(($# > 0)) || { echo "usage: $0 <program> x11:<server>|wayland:<server>|wine..." >&2; exit 2; }
support=$(realpath "$(dirname "$0")")
source "$support/e2e.sh"
source "$support/weston.sh"

# --- what differs between the ways the program runs ----------------------------------------------

# setup_<kind> <server>: the display, and the sound server with PULSE_SERVER and sink.
setup_x11() {
  start_own_sound_server "$1"
  start_display
}
setup_wayland() {
  start_own_sound_server "$1"
  start_display
  weston_pid=""
  start_weston "$work" || fail "weston did not start"
  track "$weston_pid"
}
setup_wine() {
  : "${PULSE_SERVER:?needs the test PulseAudio server}" "${TONVELA_TEST_SINK:?}" "${WINEPREFIX:?}"
  # A Western locale: only the wide-character path can find "语音文件.WAV" there.
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
  use_wine_display
  sink=$TONVELA_TEST_SINK
}

# launch_<kind> [program]: starts the program in the background.
launch_x11() { "${1:-$program}" 2>>"$work/program.err" & }
# On Wayland it gets no DISPLAY, so it cannot fall back to X11 unseen.
launch_wayland() { env -u DISPLAY QT_QPA_PLATFORM=wayland "${1:-$program}" 2>>"$work/program.err" & }
launch_wine() { wine "${1:-$program}" >>"$work/program.err" 2>&1 & }

# await_window_<kind>: waits for the window to be shown and gives it the keyboard focus.
await_window_x11() {
  window=$(find_window --onlyvisible) || fail "no window titled $kTitle"
  # No window manager runs, so the window gets the keyboard focus from us.
  give_focus
}
await_window_wayland() {
  # Mapped within 30 s: ten times the slowest start seen on a loaded machine (about 2 s).
  local deadline=$((SECONDS + 30))
  until weston_toplevel_mapped "$kTitle"; do
    ((SECONDS < deadline)) || fail "weston mapped no window titled $kTitle"
    sleep 0.05
  done
  echo "weston mapped the window titled $kTitle"
  # weston gives the new window the keyboard focus; keys sent to Xvfb reach weston's seat, and
  # weston passes them on to the focused window.
  sleep 0.5
}
await_window_wine() {
  # Only a mapped window counts: it exists, unmapped, before it is laid out and shown.
  window=$(find_window --onlyvisible) || fail "no window titled $kTitle"
  local geometry
  geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
  echo "client area: $geometry"
  [[ $geometry == 191x70 ]] || fail "client area $geometry, designed 191x70 at 96 dpi"
  xdotool windowfocus --sync "$window"
  sleep 0.3
}

# type_ones_<kind>: the focus starts in the day box; 1 there, Tab, 1 in the night box. type_ones_x11
# and type_ones_wine are e2e.sh's, shared with the other scripts. A Wayland client's selection
# cannot be read back from the X server here, so on Wayland the voice at the tick is the only proof
# that the keys arrived.
type_ones_wayland() {
  xdotool key ctrl+a type 1
  xdotool key Tab ctrl+a type 1
}

# after_start_<kind>: checks of the running window before the tick.
after_start_x11() { :; }
after_start_wine() { :; }
# A second start in the same session hands over to this window and leaves; the timeout only ends
# one that hangs (a start takes about a second on a loaded machine).
after_start_wayland() {
  local status=0 titled
  env -u DISPLAY QT_QPA_PLATFORM=wayland timeout 60 "$program" 2>>"$work/program.err" || status=$?
  ((status == 0)) || fail "a second start ended with status $status"
  titled=$(grep -c "set_title(\"$kTitle\")" "$weston_log" || true)
  ((titled == 1)) || fail "$titled windows titled $kTitle after a second start"
  echo "a second start ended with status 0 and opened no window"
}

# --- the run -------------------------------------------------------------------------------------

start_own_sound_server() {
  local server=(--server "$1")
  "$support/sound_server.sh" "${server[@]}" start "$work/sound" || fail "the sound server did not start"
  on_exit "$support/sound_server.sh ${server[*]} stop $work/sound >/dev/null 2>&1 || true"
  export PULSE_SERVER=unix:$work/sound/native
  sink=tonvela_test
}

# One run, in a subshell of its own with its own scratch; its output goes to the caller's log.
run() (
  kind=$1 server=$2
  e2e_scratch
  "setup_$kind" "$server"
  # A session of its own: nothing of another Tonvela running for this user is found.
  if [[ $kind != wayland ]]; then
    export XDG_RUNTIME_DIR=$work/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
  fi

  start_recording "$sink" "$work/sink.wav"
  mkdir "$work/cwd"
  cd "$work/cwd"
  "launch_$kind"
  local pid=$!
  track "$pid"
  "await_window_$kind"
  local shown=$SECONDS
  "type_ones_$kind"
  "after_start_$kind"
  sleep 0.3

  # The first tick comes kFirstTickS after load and plays a few seconds of voice.
  await_first_voice "$pid" "$shown"
  kill -0 "$pid" 2>/dev/null || fail "the program ended after the first tick"
  stop_recording
  expect_voice_at_first_tick "$work/sink.wav"
  echo "PASS: the voice played at the first tick"
)

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
runs=()
for spec in "$@"; do
  kind=${spec%%:*}
  server=""
  [[ $spec == *:* ]] && server=${spec#*:}
  [[ $kind =~ ^(x11|wayland|wine)$ ]] || { echo "unknown run $spec" >&2; exit 2; }
  run "$kind" "$server" >"$logs/$kind.log" 2>&1 &
  runs+=("$kind:$!")
done
failed=0
for entry in "${runs[@]}"; do
  wait "${entry#*:}" || failed=1
  sed "s/^/${entry%%:*}: /" "$logs/${entry%%:*}.log"
done
exit "$failed"
