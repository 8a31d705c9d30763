#!/usr/bin/env bash
# Sound benchmark on a private PulseAudio null sink, ours and paplay side by side in one run:
#  - return time after the sound's end (call to return minus the sound's length), median of runs;
#  - peak RSS playing a 2 s file against a 10-minute one. The long file plays for
#    TONVELA_BENCH_LONG_SECONDS (default 20; 0 plays all ten minutes): decoding is streamed,
#    so memory reaches its plateau within the first second.
#
#   bench/sound/run.sh [build dir]   (default build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-build/release}")
runs=${TONVELA_BENCH_RUNS:-7}
long_seconds=${TONVELA_BENCH_LONG_SECONDS:-20}

work=$(mktemp -d /tmp/tonvela-sound-bench-XXXXXX)
cleanup() {
  "$root/tests/support/sound_server.sh" --server pulseaudio stop "$work/pulse" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

"$root/tests/support/sound_server.sh" --server pulseaudio start "$work/pulse" >/dev/null
export PULSE_SERVER=unix:$work/pulse/native
"$build/bin/sound_bench" "$work/files" "$runs" "$long_seconds"
