#!/usr/bin/env bash
# The Windows program as a user runs it, under Wine: the real tonvela.exe on an X server (Xvfb),
# its sound going through Wine's PulseAudio driver to the test server's null sink. Both boxes are
# set to 1 with keystrokes, so the first tick, one minute after start, must play the voice file;
# with the start values 15 and 25 it would not. The locale is a Western one (the ANSI code page
# is 1252), where only the wide-character path can find "语音文件.WAV".
#
#   first_tick_e2e.sh <path to tonvela.exe> [screenshot.png]
# Needs PULSE_SERVER and TONVELA_TEST_SINK (PulseServer fixture), WINEPREFIX (Wine fixture).
set -euo pipefail

program=$(realpath "$1")
screenshot=${2:-}
: "${PULSE_SERVER:?needs the test PulseAudio server}" "${TONVELA_TEST_SINK:?}" "${WINEPREFIX:?}"
export LANG=C.UTF-8 LC_ALL=C.UTF-8

source "$(dirname "$0")/../../support/e2e.sh"
e2e_scratch

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DISPLAY=$("$(dirname "$0")/../../support/wine_env.sh" display "$WINEPREFIX") ||
  fail "the Wine prefix has no display"
export DISPLAY

parecord --device="$TONVELA_TEST_SINK.monitor" --file-format=wav --channels=1 --rate=16000 \
  "$work/sink.wav" &
parecord_pid=$!
pids+=("$parecord_pid")
recording_began=$(date +%s.%N)

# Started from an empty folder, as a shortcut may start it: the voice beside the program must
# be found.
cd "$work"
wine "$program" >"$work/wine.log" 2>&1 &
tonvela_pid=$!
pids+=("$tonvela_pid")
started=$SECONDS

# Only a mapped window counts: the window exists, unmapped, before it is laid out and shown.
window=$(find_window --onlyvisible) || fail "no window titled $kTitle"
mapped=$(date +%s.%N)
shown=$SECONDS
echo "window mapped after $((SECONDS - started)) s"

geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
echo "client area: $geometry"
[[ $geometry == 191x70 ]] || fail "client area $geometry, designed 191x70 at 96 dpi"
if [[ -n $screenshot ]]; then
  sleep 0.5 # let it finish drawing
  import -window "$window" "$screenshot"
fi

# No window manager runs, so give the window the keyboard focus ourselves. The focus starts in
# the day box. Wine's edit box does not select all on Ctrl+A: clear each box from its end.
xdotool windowfocus --sync "$window"
sleep 0.3
xdotool key End BackSpace BackSpace BackSpace type 1
xdotool key Tab End BackSpace BackSpace BackSpace type 1
sleep 0.3

await_first_voice "$tonvela_pid" "$shown"
kill -0 "$tonvela_pid" 2>/dev/null || fail "tonvela.exe ended after the first tick"
kill -INT "$parecord_pid" 2>/dev/null || true # parecord finishes its file on SIGINT
sleep 0.5

expect_voice_at_first_tick "$work/sink.wav"
# When the voice began, against the moment the window was seen: the timer is set just before the
# window is shown, so this is the first tick's lateness plus the sound path's latency.
total=$(soxi -D "$work/sink.wav")
rest=$(sox "$work/sink.wav" -n silence 1 0.005 1% stat 2>&1 | awk '/Length/ {print $3}')
awk -v t="$total" -v r="$rest" -v b="$recording_began" -v m="$mapped" -v tick="$kFirstTickS" \
  'BEGIN { printf "voice began %.3f s after the window mapped (tick period %d s)\n", t - r - (m - b), tick }'
echo "PASS: the voice played at the first tick"
