#!/usr/bin/env bash
# The window's benchmarks, side by side in one run on one Xvfb display:
#  - start-up: from process start to the window mapped (median of several runs), and resident
#    memory after two seconds idle, for tonvela and for a minimal Qt Widgets window with one
#    label and one box in the same fonts; the ratios should stay within 1.15;
#  - tick timing: Timer1's deviation from load + k x period over 100 ticks of 50 ms.
#
#   bench/window/run.sh [build dir]   (default build/release)
set -euo pipefail
build=$(realpath "${1:-build/release}")
runs=${TONVELA_BENCH_RUNS:-15}

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  # The programs' own warnings, less Qt's note that no session runtime folder exists here.
  grep -v XDG_RUNTIME_DIR "$work/stderr" >&2 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../../tests/support/xvfb.sh"
start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
# The program's sound server is not part of the comparison: no server to connect to.
export PULSE_SERVER=unix:$work/no-pulse-server
# A runtime dir of its own: a Tonvela already open would take every start over.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

now_us() { echo $(($(date +%s%N) / 1000)); }

# Prints "<microseconds to mapped> <RSS kB after 2 s idle>" for one start of a program.
measure() {
  local program=$1 title=$2 started pid mapped_us rss
  started=$(now_us)
  "$program" 2>>"$work/stderr" &
  pid=$!
  until xwininfo -name "$title" 2>/dev/null | grep -q IsViewable; do
    sleep 0.002
    kill -0 "$pid" 2>/dev/null || { echo "$program ended" >&2; return 1; }
  done
  mapped_us=$(($(now_us) - started))
  sleep 2
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  echo "$mapped_us $rss"
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Alternate the two programs so that any drift of the machine affects both alike.
for ((i = 0; i < runs; i++)); do
  measure "$build/bin/tonvela" "Tonvela......" >>"$work/tonvela"
  measure "$build/bench/window/bench_baseline_window" "Baseline......" >>"$work/baseline"
done

report() {
  local what=$1 column=$2 unit=$3 scale=$4 t b
  t=$(cut -d' ' -f"$column" "$work/tonvela" | median)
  b=$(cut -d' ' -f"$column" "$work/baseline" | median)
  awk -v w="$what" -v t="$t" -v b="$b" -v u="$unit" -v s="$scale" 'BEGIN {
    printf "%-28s tonvela %9.1f %s   baseline %9.1f %s   ratio %.3f (target <= 1.15)\n",
           w, t / s, u, b / s, u, t / b }'
}
echo "window benchmarks, median of $runs runs each, Xvfb $DISPLAY"
report "start to window mapped:" 1 ms 1000
report "RSS after 2 s idle:" 2 MiB 1024

"$build/bench/window/bench_tick_timing"
