#!/usr/bin/env bash
# The window's benchmarks, side by side in one run on one Xvfb display:
#  - start-up: from process start to the window mapped, and resident memory after two seconds
#    idle, for tonvela and for a minimal Qt Widgets window with one label and one box in the same
#    fonts, median and worst of several runs each; the medians' ratios should stay within 1.05.
#    With TONVELA_BENCH_BEFORE=<another tonvela> that program is measured alongside, for a
#    before/after comparison of a change;
#  - start-up steps: where tonvela's start-up time goes, step by step in main()'s order;
#  - tick timing: Timer1's deviation from load + k x period over 100 ticks of 50 ms.
#
#   bench/window/run.sh [build dir]   (default build/release)
set -euo pipefail
build=$(realpath "${1:-build/release}")
runs=${TONVELA_BENCH_RUNS:-15}
readonly kLimit=1.05

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  cat "$work/stderr" >&2 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../../tests/support/xvfb.sh"
start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
# The program's sound server is not part of the comparison: no server to connect to.
export PULSE_SERVER=unix:$work/no-pulse-server
# A runtime dir for each program measured: a Tonvela already open would take every start over,
# and a lock left by another version is not its own.
runtime_dir() {
  export XDG_RUNTIME_DIR=$work/runtime-$1
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}

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
worst() { sort -n | tail -n1; }

programs=(tonvela baseline)
declare -A binary=([tonvela]=$build/bin/tonvela [baseline]=$build/bench/window/bench_baseline_window)
declare -A title=([tonvela]="Tonvela......" [baseline]="Baseline......" [before]="Tonvela......")
if [[ -n ${TONVELA_BENCH_BEFORE:-} ]]; then
  programs+=(before)
  binary[before]=$(realpath "$TONVELA_BENCH_BEFORE")
fi

# Alternate the programs so that any drift of the machine affects them alike.
for ((i = 0; i < runs; i++)); do
  for program in "${programs[@]}"; do
    runtime_dir "$program"
    measure "${binary[$program]}" "${title[$program]}" >>"$work/$program"
  done
done

# report <label> <column> <unit> <scale>: median and worst of each program, and the medians'
# ratios against the baseline.
report() {
  local what=$1 column=$2 unit=$3 scale=$4 program
  declare -A med bad
  for program in "${programs[@]}"; do
    med[$program]=$(cut -d' ' -f"$column" "$work/$program" | median)
    bad[$program]=$(cut -d' ' -f"$column" "$work/$program" | worst)
  done
  echo "$what (median / worst of $runs)"
  for program in "${programs[@]}"; do
    awk -v p="$program" -v m="${med[$program]}" -v w="${bad[$program]}" -v b="${med[baseline]}" \
      -v u="$unit" -v s="$scale" -v limit="$kLimit" 'BEGIN {
        printf "  %-9s %8.1f / %8.1f %s", p, m / s, w / s, u
        if (p != "baseline") {
          over = (m / b > limit) ? ": OVER" : ""
          printf "   ratio %.3f (target <= %s%s)", m / b, limit, over
        }
        printf "\n" }'
  done
}
echo "window benchmarks, Xvfb $DISPLAY"
report "start to window mapped" 1 ms 1000
report "RSS after 2 s idle" 2 MiB 1024

# Step by step: the median and worst of each step over the runs.
runtime_dir steps
for ((i = 0; i < runs; i++)); do
  "$build/bench/window/bench_startup_steps" "$(date +%s%N)" 2>>"$work/stderr" >>"$work/steps"
done
echo "start-up steps in main()'s order, ms (median / worst of $runs)"
awk '{ for (i = 1; i < NF; i += 2) print $i, $(i + 1) }' "$work/steps" >"$work/step-values"
for step in $(head -n1 "$work/steps" | awk '{ for (i = 1; i < NF; i += 2) print $i }'); do
  values=$(awk -v s="$step" '$1 == s { print $2 }' "$work/step-values")
  printf "  %-16s %7.2f / %7.2f\n" "$step" "$(median <<<"$values")" "$(worst <<<"$values")"
done

"$build/bench/window/bench_tick_timing"
