#!/usr/bin/env bash
# The real `tonvela` under Xvfb with a real window manager (openbox) and the test PulseAudio
# server, in three scenarios run side by side, each on its own X display and its own null sink,
# so the whole run takes about one first tick (60 s) plus a few seconds:
#  - close: a 30 s voice plays at the first tick; 2 s into it the window is closed with Alt+F4
#    (the window manager's delete message). The program must end at once with status 0, and the
#    sink must soon hear nothing: not wait for the rest of the voice.
#  - sigterm: the same, ended by SIGTERM. Before that, during the voice, the window must repaint
#    after being unmapped and mapped again, and a key typed into the focused box must change
#    nothing on screen.
#  - silent: no sound server at all, and another window has the focus; the due tick must leave
#    Tonvela's window marked as demanding attention (_NET_WM_STATE or the WM_HINTS urgency flag).
#  - stuck: the voice file is unusable and the sound theme's index is a FIFO no one writes, so
#    looking up the default sound may hang in a system call (unless the theme reader passes such a
#    file by). After the first tick the window must still repaint, and SIGTERM must end the
#    program within 5 s with status 0.
#
#   close_during_playback_e2e.sh <path to tonvela>
# Needs PULSE_SERVER (from the PulseServer test fixture). TONVELA_E2E_SCENARIOS may name a subset
# of the scenarios, when one is being looked into.
set -euo pipefail

program=$(realpath "$1")
: "${PULSE_SERVER:?needs the test PulseAudio server}"
readonly kVoiceS=30
# From the close to the program's end, and to the sink's last sound: ten times the slowest close
# of the release build seen on a loaded two-core machine (1.0 s). It tells a voice stopped at once
# from one played on, which would last the voice's remaining 28 s.
readonly kCloseLimitS=10
# Pixels allowed to differ between two pictures of the same window: the text cursor blinks.
readonly kCursorPixels=200

source "$(dirname "$0")/../../support/e2e.sh"
e2e_scratch

# --- per scenario; each runs in a subshell of its own, with its own X server and sink ---------

# Starts tonvela in the scenario's folder and types 1 into both boxes; sets tonvela_pid, window
# and shown, the SECONDS at which the window was there (the first tick is due a minute later).
start_tonvela() {
  cd "$dir"
  "$program" 2>"$dir/tonvela.err" &
  tonvela_pid=$!
  track "$tonvela_pid"
  window=$(find_window --onlyvisible) || fail "no window titled $kTitle"
  shown=$SECONDS
  give_focus
  type_ones_x11
  sleep 0.3
}

# Waits for the first tick's voice to appear on the scenario's sink: within 30 s of its time, ten
# times its lateness on a loaded machine, and long before a second tick.
wait_for_voice() {
  while ((SECONDS - shown < kFirstTickS + 30)); do
    kill -0 "$tonvela_pid" 2>/dev/null || fail "tonvela ended before the first tick"
    if pactl list sink-inputs short | awk -v s="$sink_index" '$2 == s { found = 1 } END { exit !found }'; then
      return 0
    fi
    sleep 0.1
  done
  fail "no voice on the sink by $((kFirstTickS + 30)) s"
}

# Waits for tonvela to end after a close sent at $1, at most $2 s (default kCloseLimitS); checks
# the time and the status.
expect_prompt_end() {
  local closed=$1 limit=${2:-$kCloseLimitS} status=0 ended
  local deadline=$((SECONDS + ${limit%.*} + 1))
  while kill -0 "$tonvela_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.01; done
  ended=$(now)
  if kill -0 "$tonvela_pid" 2>/dev/null; then
    kill -KILL "$tonvela_pid"
    fail "still running $(elapsed "$closed" "$ended") s after the close"
  fi
  wait "$tonvela_pid" || status=$?
  echo "$scenario: ended $(elapsed "$closed" "$ended") s after the close, status $status"
  less_than "$(elapsed "$closed" "$ended")" "$limit" ||
    fail "took $(elapsed "$closed" "$ended") s to end"
  ((status == 0)) || fail "ended with status $status"
}

# Records the sink from before the tick to 3 s after the end; the voice must be heard before the
# close and end within the limit after it.
expect_silence_after() {
  local closed=$1
  sleep 3
  stop_recording
  local from during heard
  from=$(elapsed "$recording_started" "$closed")
  during=$(sox "$dir/sink.wav" -n trim "$(awk -v t="$from" 'BEGIN { print t - 1.5 }')" 1 stat 2>&1 |
    awk '/Maximum amplitude/ {print $3}')
  # From the close to the last sample above 1% of full scale: the trailing quiet cut off.
  heard=$(sox "$dir/sink.wav" -n trim "$from" reverse silence 1 0.001 1% stat 2>&1 |
    awk '/Length \(seconds\)/ {print $3}')
  echo "$scenario: sink peak before the close $during; sound heard until ${heard:-0} s after it"
  less_than 0.05 "$during" || fail "the voice was not heard before the close (peak $during)"
  less_than "${heard:-0}" "$kCloseLimitS" || fail "sound ${heard:-0} s after the close"
  if pactl list sink-inputs short | awk -v s="$sink_index" '$2 == s { found = 1 } END { exit !found }'; then
    fail "a stream is still on the sink"
  fi
}

picture() { import -window "$window" "$dir/$1.png" || fail "no picture of the window"; }
# Prints how many pixels differ; a picture that cannot be read counts as all of them.
pixels_differing() {
  local count
  count=$(compare -metric AE "$dir/$1.png" "$dir/$2.png" /dev/null 2>&1 || true)
  [[ $count =~ ^[0-9]+$ ]] && echo "$count" || echo 999999
}

scenario_close() {
  start_display --wm
  start_recording "$sink" "$dir/sink.wav"
  start_tonvela
  wait_for_voice
  sleep 2
  local closed
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  closed=$(now)
  xdotool key alt+F4
  expect_prompt_end "$closed"
  expect_silence_after "$closed"
}

# The window unmapped and mapped again must be drawn as it was before ("before.png").
expect_repaint_after_remap() {
  xdotool windowunmap --sync "$window"
  xdotool windowmap --sync "$window"
  sleep 0.5
  picture remapped
  local remapped
  remapped=$(pixels_differing before remapped)
  echo "$scenario: pixels changed after a remap: $remapped"
  ((remapped <= kCursorPixels)) || fail "the window was not repainted"
}

scenario_sigterm() {
  start_display --wm
  start_recording "$sink" "$dir/sink.wav"
  start_tonvela
  picture before
  wait_for_voice
  sleep 0.5
  expect_repaint_after_remap
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  # Else the key would go elsewhere and prove nothing.
  [[ $(xdotool getwindowfocus) == "$window" ]] || fail "the window does not have the focus"
  xdotool type 5
  sleep 0.5
  picture typed
  local typed closed
  typed=$(pixels_differing before typed)
  echo "$scenario: pixels changed after typing during the voice: $typed"
  ((typed <= kCursorPixels)) || fail "a key typed during the voice changed the window"
  closed=$(now)
  kill -TERM "$tonvela_pid"
  expect_prompt_end "$closed"
  expect_silence_after "$closed"
}

scenario_stuck() {
  start_display --wm
  start_tonvela
  picture before
  while ((SECONDS - shown < kFirstTickS + 3)); do
    kill -0 "$tonvela_pid" 2>/dev/null || fail "tonvela ended before the first tick"
    sleep 0.5
  done
  local waits
  waits=$(for task in /proc/"$tonvela_pid"/task/*; do cat "$task/wchan" && echo; done 2>/dev/null)
  echo "$scenario: after the first tick its threads wait in: $(sort <<<"$waits" | uniq -c | tr -s ' \n' ' ')"
  expect_repaint_after_remap
  local closed
  closed=$(now)
  kill -TERM "$tonvela_pid"
  expect_prompt_end "$closed" 5.0
}

scenario_silent() {
  export PULSE_SERVER=unix:$dir/no-sound-server
  start_display --wm
  start_tonvela
  # Another program takes the focus: Qt marks only a window that does not have it. On a machine
  # fresh from installing, xmessage's first window can take seconds, and the window manager does
  # not hand it the focus by itself right after the user typed into Tonvela.
  xmessage -name other "another program" &
  track $!
  other_has_focus() {
    local other
    other=$(other_window)
    [[ -n $other ]] || return 1
    timeout 5 xdotool windowactivate --sync "$other" >/dev/null 2>&1 || true
    [[ $(active_window) == "$other" ]]
  }
  wait_until 40 other_has_focus || fail "another program's window never took the focus"
  ((SECONDS - shown < kFirstTickS)) || fail "another window took the focus only after the tick"
  local state=""
  local demanding="_NET_WM_STATE_DEMANDS_ATTENTION|[Uu]rgen"
  state=$(xprop -id "$window" _NET_WM_STATE WM_HINTS 2>/dev/null || true)
  ! grep -qE "$demanding" <<<"$state" || fail "the window asked for attention before any tick"
  while ((SECONDS - shown < kFirstTickS + 30)); do
    state=$(xprop -id "$window" _NET_WM_STATE WM_HINTS 2>/dev/null || true)
    if grep -qE "$demanding" <<<"$state"; then
      echo "$scenario: marked after $((SECONDS - shown)) s: $(tr '\n' ' ' <<<"$state")"
      return 0
    fi
    kill -0 "$tonvela_pid" 2>/dev/null || fail "tonvela ended"
    sleep 0.5
  done
  fail "the window never asked for attention; last state: $state"
}

# --- the run ------------------------------------------------------------------------------------

# The stuck scenario's program has no sample voice beside it, and its sound theme's index is a
# FIFO, in a data folder of its own.
prepare_stuck() {
  echo "not a sound" >"$dir/语音文件.WAV"
  mkdir -p "$dir/bin" "$dir/data/sounds/freedesktop"
  cp "$program" "$dir/bin/"
  mkfifo "$dir/data/sounds/freedesktop/index.theme"
}

sox -n -r 16000 -c 1 "$work/voice.wav" synth "$kVoiceS" sine 440 vol 0.5
runs=()
for scenario in ${TONVELA_E2E_SCENARIOS:-close sigterm silent stuck}; do
  dir=$work/$scenario
  mkdir -p "$dir"
  cp "$work/voice.wav" "$dir/语音文件.WAV"
  [[ $scenario == stuck ]] && prepare_stuck
  sink=tonvela_e2e_${scenario}_$$
  on_exit "pactl unload-module $(pactl load-module module-null-sink sink_name="$sink" norewinds=1) 2>/dev/null || true"
  sink_index=$(pactl list sinks short | awk -v n="$sink" '$2 == n {print $1}')
  (
    # What the scenario starts ends with its subshell; its programs' errors are in its folder.
    pids=()
    err_dir=$dir
    trap end_pids EXIT
    export PULSE_SINK=$sink
    # A runtime dir each: the scenarios' programs would otherwise find each other as one instance.
    export XDG_RUNTIME_DIR=$dir/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    if [[ $scenario == stuck ]]; then
      program=$dir/bin/$(basename "$program")
      # Its own data folder comes first in the theme's lookup; the system's stay (without them
      # the keyboard typed nothing here).
      export XDG_DATA_HOME=$dir/data
    fi
    "scenario_$scenario"
  ) >"$work/$scenario.log" 2>&1 &
  runs+=($!)
done

failed=0
for run in "${runs[@]}"; do
  wait "$run" || failed=1
done
for scenario in ${TONVELA_E2E_SCENARIOS:-close sigterm silent stuck}; do cat "$work/$scenario.log"; done
((failed == 0)) || exit 1
echo "PASS: close and SIGTERM end a playing voice at once, and a stuck one within 5 s; a silent reminder asks for attention"
