#!/usr/bin/env bash
# How promptly the program answers on a loaded two-core machine, the figures the tests' time
# limits are set from (ten times the worst of these): per way of closing, the time from the close
# to the program's exit, and a second start's hand-over to a busy window, release and sanitizer
# builds; how long a sound player takes to return once stopped, against PulseAudio and PipeWire
# and, under Wine, waveOut; how far the windows' ticks stray from load + k x period; and, under
# Wine, the Win32 window's answer during a voice, its close to exit and second starts. Median
# and worst of TONVELA_BENCH_RUNS runs (default 5) each, measured by the tests' own scripts and
# programs.
#
#   bench/latency/run.sh [release build] [asan build] [windows build]
#     (defaults build/release, build/asan, build/windows; a build that is missing is skipped)
# Two busy processes keep both cores loaded meanwhile; TONVELA_BENCH_LOAD=0 measures the machine
# as it is. Run it alone: it uses the Windows build's Wine prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
support=$root/tests/support
release=$(realpath -m "${1:-$root/build/release}")
asan=$(realpath -m "${2:-$root/build/asan}")
windows=$(realpath -m "${3:-$root/build/windows}")
runs=${TONVELA_BENCH_RUNS:-5}

work=$(mktemp -d /tmp/tonvela-latency-bench-XXXXXX)
load_pids=()
xvfb_pid=""
cleanup() {
  for pid in "${load_pids[@]}" $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  "$support/sound_server.sh" --server pulseaudio stop "$work/pulse" >/dev/null 2>&1 || true
  "$support/sound_server.sh" --server pipewire stop "$work/pipewire" >/dev/null 2>&1 || true
  [[ ! -d $windows/wine-prefix ]] || "$support/wine_env.sh" stop "$windows/wine-prefix" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

if [[ ${TONVELA_BENCH_LOAD:-1} != 0 ]]; then
  for _ in 1 2; do
    (while :; do :; done) &
    load_pids+=($!)
  done
  condition="two busy processes on the two cores"
else
  condition="the machine as it is"
fi

# row <figure> <unit>: the median and the worst of the numbers on stdin.
row() {
  sort -g | awk -v what="$1" -v unit="$2" '{ v[NR] = $1 }
    END {
      if (NR == 0) { printf "%-46s %4s %10s %10s\n", what, 0, "-", "-"; exit }
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%-46s %4d %8.3f %s %8.3f %s\n", what, NR, m, unit, v[NR], unit
    }'
}

echo "latency benchmarks under load ($condition), $runs runs each"
printf "%-46s %4s %10s %10s\n" "" runs median worst

# Close to exit and hand-over: the close and second-start tests' own runs, each way of closing
# once per run.
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
for build in "$release" "$asan"; do
  [[ -x $build/bin/tonvela ]] || continue
  for ((i = 0; i < runs; i++)); do
    "$root/tests/window/qt/close_e2e.sh" "$build/bin/tonvela" 2>&1 || true
    "$root/tests/window/qt/second_start.sh" "$build/bin/tonvela" 2>&1 || true
  done >"$work/window.log"
  for how in alt+F4 TERM INT HUP; do
    sed -n "s/^$how: ended after \([0-9.]*\) s.*/\1/p" "$work/window.log" |
      row "close to exit, $how ($(basename "$build"))" s
  done
  sed -n 's/^a start while the running window was busy ended .* after \([0-9.]*\) s/\1/p' \
    "$work/window.log" | row "second start's hand-over ($(basename "$build"))" s
done

# Stop latency: the sound test that stops a long tone from another thread, against each server.
if [[ -x $release/bin/sound_playback_tests ]]; then
  for server in pulseaudio pipewire; do
    "$support/sound_server.sh" --server "$server" start "$work/$server" >/dev/null
    # The figure is printed whatever the test's other checks found.
    { PULSE_SERVER=unix:$work/$server/native TONVELA_TEST_SINK=tonvela_test \
      "$release/bin/sound_playback_tests" --gtest_repeat="$runs" \
      --gtest_filter=PulseSoundPlayer.StopFromAnotherThreadEndsThePlaybackAtOnce 2>&1 || true; } |
      sed -n 's/^stop took \([0-9.]*\) s/\1/p' | row "player return after a stop, $server" s
    "$support/sound_server.sh" --server "$server" stop "$work/$server" >/dev/null
  done
fi

# Tick jitter of the Qt window: its benchmark on a display of its own.
if [[ -x $release/bench/window/bench_tick_timing ]]; then
  source "$support/xvfb.sh"
  start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
  for ((i = 0; i < runs; i++)); do
    XDG_RUNTIME_DIR=$work "$release/bench/window/bench_tick_timing" 2>/dev/null || true
  done | sed -n 's/.*max |deviation| \([0-9.]*\) ms.*/\1/p' |
    row "Qt tick, max |deviation| (100 x 50 ms)" ms
fi

# Under Wine: waveOut's stop, a ten-second tone stopped after three seconds, through the Windows
# sound test's player program and PulseAudio settings; then the Win32 window's tick jitter.
if [[ -f $windows/bin/tonvela_play_file.exe ]] && command -v wine >/dev/null; then
  export WINEPREFIX=$windows/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  "$support/wine_env.sh" start "$WINEPREFIX" >/dev/null
  "$support/sound_server.sh" --server pulseaudio start "$work/pulse" >/dev/null
  mkdir -p "$work/tone"
  sox -n -r 44100 -c 1 "$work/tone/语音文件.WAV" synth 10 sine 440 vol 0.3
  for ((i = 0; i < runs; i++)); do
    PULSE_SERVER=unix:$work/pulse/native PULSE_LATENCY_MSEC=200 \
      wine "$windows/bin/tonvela_play_file.exe" "Z:${work//\//\\}\\tone" "语音文件.WAV" 3000 || true
  done 2>/dev/null | sed -n 's/.*elapsed_ms=\([0-9.]*\).*/\1/p' |
    awk '{ print ($1 - 3000) / 1000 }' | row "waveOut player return after a stop (Wine)" s
  display=$("$support/wine_env.sh" display "$WINEPREFIX")
  for ((i = 0; i < runs; i++)); do
    DISPLAY=$display wine "$windows/bench/win32/bench_win32_tick_timing.exe" 2>/dev/null || true
  done >"$work/win32-ticks.log"
  sed -n 's/.*max |deviation| \([0-9.]*\) ms.*/\1/p' "$work/win32-ticks.log" |
    row "Win32 tick, max |deviation| (100 x 50 ms)" ms
  sed -n 's/.*jitter (max - min) \([0-9.]*\) ms.*/\1/p' "$work/win32-ticks.log" |
    row "Win32 tick, jitter (max - min)" ms

  # The real tonvela.exe during a 30 s voice, by the Wine close test (a minute's tick for each way
  # of closing, every run): the window's answer to a sent message, close to exit per way, and a
  # second start during the voice; then the second-start test's hand-overs to an idle window.
  if [[ -f $windows/bin/tonvela_window_probe.exe ]]; then
    e2e=$root/tests/window/win32
    for ((i = 0; i < runs; i++)); do
      PULSE_SERVER=unix:$work/pulse/native TONVELA_TEST_SINK=tonvela_test PULSE_LATENCY_MSEC=200 \
        "$e2e/close_during_voice_e2e.sh" "$windows/bin/tonvela.exe" \
        "$windows/bin/tonvela_window_probe.exe" 2>&1 || true
      "$e2e/second_start_e2e.sh" "$windows/bin/tonvela.exe" \
        "$windows/bin/tonvela_window_probe.exe" 2>&1 || true
    done >"$work/win32-e2e.log"
    sed -n 's/.*during the voice the window answered in \([0-9.]*\) ms.*/\1/p' \
      "$work/win32-e2e.log" | row "Win32 window's answer during the voice (Wine)" ms
    for how in alt-f4 taskkill end-session; do
      sed -n "s/^$how: ended \([0-9.]*\) s after the close was sent.*/\1/p" "$work/win32-e2e.log" |
        row "Win32 close to exit, $how (Wine)" s
    done
    started='the second start ended with status 0 after \([0-9.]*\) s'
    sed -n "s/.*during the voice: $started/\1/p" "$work/win32-e2e.log" |
      row "Win32 second start during the voice (Wine)" s
    sed -n "/during the voice/! s/.*: $started/\1/p" "$work/win32-e2e.log" |
      row "Win32 second start, idle window (Wine)" s
    grep '^FAIL' "$work/win32-e2e.log" || true
  fi
fi
