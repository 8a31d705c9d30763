#!/usr/bin/env bash
# The soak benchmark: the window with a 1 ms tick and both intervals at 1 plays a 50 ms voice
# through a private PulseAudio server (null sink) 5,000 times; prints resident memory and open
# file descriptors after the first reminder and after the last, and reminders per second.
#
#   bench/window/soak.sh [build dir] [reminders]   (defaults build/release, 5000)
set -euo pipefail
build=$(realpath "${1:-build/release}")
reminders=${2:-5000}
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
cleanup() {
  "$here/../../tests/support/sound_server.sh" --server pulseaudio stop "$work/pulse" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

"$here/../../tests/support/sound_server.sh" --server pulseaudio start "$work/pulse" >/dev/null
export PULSE_SERVER=unix:$work/pulse/native
mkdir -p "$work/voice"
sox -n -r 44100 -c 1 "$work/voice/语音文件.WAV" synth 0.05 sine 440 vol 0.5
QT_QPA_PLATFORM=offscreen "$build/bench/window/bench_soak" "$work/voice" "$reminders"
