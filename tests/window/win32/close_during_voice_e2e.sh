#!/usr/bin/env bash
# The real tonvela.exe under Wine during a 30 s voice, with a window manager and the test
# PulseAudio server. Each scenario starts it from a folder holding the voice as "语音文件.WAV",
# types 1 into both boxes and waits for the first tick's voice; 1 s into the voice a message sent
# to the window (WM_GETTEXT, by the probe) must be answered at once and the window must not be
# "Not Responding"; 2 s into it the program is closed, one way per scenario:
#  - alt-f4: Alt+F4 typed into the window. Before it, 1 s into the voice, a second start must end
#    with status 0 at once, leaving the one window, and the voice going on.
#  - taskkill: `taskkill /im tonvela.exe`, without /F: a close message to its window.
#  - end-session: `wineboot --end-session`, WM_QUERYENDSESSION and WM_ENDSESSION to every window
#    as at sign-out (it ends the prefix's desktop process too, which the next window starts again).
# The program must end at once with status 0, and nothing more may reach the sink. The scenarios
# run one after the other: the session has one instance. A close that waited for the voice would
# end 28 s after it; a window that did not answer during the voice would answer only after it.
#
#   close_during_voice_e2e.sh <tonvela.exe> <tonvela_window_probe.exe>
# Needs PULSE_SERVER and TONVELA_TEST_SINK (PulseServer fixture), WINEPREFIX (Wine fixture).
# TONVELA_E2E_SCENARIOS may name the scenarios to run, in order, one more than once
# (bench/latency/run.sh takes its figures from the lines this prints).
set -euo pipefail

: "${PULSE_SERVER:?needs the test PulseAudio server}" "${TONVELA_TEST_SINK:?}"
readonly kVoiceS=30
# From the worst seen on a loaded two-core machine (bench/latency/run.sh): the window's answer,
# timed by the probe itself (worst 7 ms), may take far more than ten times that, but less than
# the 5 s after which Windows calls a window not responding; the end, timed from the closing
# command's return (worst 0.14 s), ten times that and more, well short of the 28 s a close that
# waited for the voice would take.
readonly kAnswerLimitMs=2000
readonly kEndLimitS=10

source "$(dirname "$0")/win32_e2e.sh"
start_wine_e2e "$@"
sox -n -r 16000 -c 1 "$work/voice.wav" synth "$kVoiceS" sine 440 vol 0.5

# sleep_into_voice <s>: sleeps until that long after the voice began.
sleep_into_voice() {
  sleep "$(awk -v v="$voice_began" -v s="$1" -v n="$(now)" \
    'BEGIN { d = v + s - n; printf "%.3f", (d > 0 ? d : 0) }')"
}

expect_prompt_answer() {
  local answer ms
  answer=$(probe answer) || fail "the window did not answer during the voice: $answer"
  echo "$scenario: during the voice the window $answer"
  ms=$(awk '{ print $3 }' <<<"$answer")
  less_than "$ms" "$kAnswerLimitMs" || fail "the window took $ms ms to answer"
  [[ $answer == *"not responding: 0"* ]] || fail "the window is marked not responding"
}

expect_prompt_second_start() {
  second_start "$dir" "$scenario: during the voice"
  local state
  state=$(probe state)
  echo "$scenario: then $state"
  [[ $state == windows=1* ]] || fail "not one window after a second start: $state"
  kill -0 "$tonvela_pid" 2>/dev/null || fail "the first instance ended"
  playing || fail "the voice stopped at a second start"
}

# The recording of the sink, from before the start to 2 s after the end, holds the voice from its
# start to the close and nothing after it: from its first sound to its last lie at most the 2 s
# the voice played before the close (less the time from its stream's creation to its first sound),
# not the 30 s of the whole voice. Measured on the recording itself, so neither the recorder's
# start nor the driver's latency shifts it.
expect_voice_cut_at_close() {
  sleep 2
  stop_recording
  local heard
  heard=$(sox "$dir/sink.wav" -n silence 1 0.005 1% reverse silence 1 0.005 1% reverse stat 2>&1 |
    awk '/Length/ {print $3}')
  echo "$scenario: the sink heard ${heard:-nothing} s of the $kVoiceS s voice, closed 2 s into it"
  [[ -n $heard ]] && less_than 0.1 "$heard" || fail "the voice was not heard before the close"
  less_than "$heard" $((2 + kEndLimitS)) || fail "sound went on after the close"
  ! playing || fail "a stream is still on the sink"
}

close_alt_f4() {
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  xdotool key alt+F4
}
close_taskkill() { wine taskkill /im tonvela.exe >"$work/taskkill.err" 2>&1; }
close_end_session() { wine wineboot --end-session >"$work/wineboot.err" 2>&1; }

run_scenario() {
  dir=$work/$scenario
  mkdir -p "$dir"
  cp "$work/voice.wav" "$dir/语音文件.WAV"
  start_recording "$TONVELA_TEST_SINK" "$dir/sink.wav"
  start_tonvela "$dir" "tonvela-$scenario"
  await_window
  give_focus
  sleep 0.3
  type_ones_wine
  sleep 0.3
  await_voice_start "$tonvela_pid" "$shown"
  sleep_into_voice 1
  expect_prompt_answer
  if [[ $scenario == alt-f4 ]]; then expect_prompt_second_start; fi
  sleep_into_voice 2
  local sent closed
  sent=$(now)
  "close_${scenario//-/_}"
  closed=$(now)
  await_exit "$tonvela_pid" "$kEndLimitS"
  echo "$scenario: ended $(elapsed "$closed" "$ended") s after the close was sent" \
    "($(elapsed "$sent" "$ended") s after the closing command began), status $status"
  ((status == 0)) || fail "ended with status $status"
  less_than "$(elapsed "$closed" "$ended")" "$kEndLimitS" || fail "took too long to end"
  expect_voice_cut_at_close
}

for scenario in ${TONVELA_E2E_SCENARIOS:-alt-f4 taskkill end-session}; do
  [[ $scenario =~ ^(alt-f4|taskkill|end-session)$ ]] || fail "no scenario $scenario"
  run_scenario
done
scenario=""
echo "PASS: during the voice the window answers at once and a second start hands over; Alt+F4," \
  "taskkill and the end of the session end it at once with status 0, and silence follows"
