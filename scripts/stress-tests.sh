#!/usr/bin/env bash
# Runs the tests that depend on the machine's timing again and again while two busy processes
# keep both cores loaded, and prints how often each failed. Not part of the test command: it is
# how a change to a timed, sound, window or Wine test is shown to fail only on faults.
#
#   scripts/stress-tests.sh [REPEATS] [SLOW_REPEATS] [ASAN_PASSES]
#
# In the release and Windows builds every test labelled sound, display, wine or e2e runs REPEATS
# times (default 10), the one-minute runs (label slow) SLOW_REPEATS times; the whole sanitizer
# pass, as scripts/test.sh runs it, ASAN_PASSES times (both default to 3 for 10 repeats: REPEATS
# x 0.3, rounded up). Two lanes run side by side, each build's rounds one after another: the
# release rounds then the sanitizer passes, and the Windows rounds. The Windows tests take turns
# on Wine's one desktop, so they would leave a core idle alone; beside the other lane the machine
# is loaded beyond the two busy processes, which only makes the proof harder. Builds what is
# missing first. Prints a table of runs and failures per test; the JUnit files of every round,
# with each test's output, stay in build/stress/<time>/. Exits non-zero if any test failed.
set -euo pipefail
cd "$(dirname "$0")/.."

repeats=${1:-10}
slow_repeats=${2:-$(((repeats * 3 + 9) / 10))}
asan_passes=${3:-$slow_repeats}
readonly kLabels='sound|display|wine|e2e'
log=$PWD/build/stress/$(date +%Y%m%d-%H%M%S)
mkdir -p "$log"

load_pids=()
lane_pids=()
stop_load() {
  local pid
  for pid in "${load_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait "${load_pids[@]}" 2>/dev/null || true
  load_pids=()
}
# Stops an interrupted run's lanes and whatever a Windows round left of the Wine prefix, as
# test-windows.sh does.
cleanup() {
  local pid
  for pid in "${lane_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  stop_load
  tests/support/wine_env.sh stop build/windows/wine-prefix >/dev/null 2>&1 || true
}
trap cleanup EXIT

for preset in release asan windows; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2 >/dev/null
done

# Two busy processes, one per core, at the tests' own priority.
if command -v stress-ng >/dev/null; then
  stress-ng --cpu 2 --quiet &
  load_pids+=($!)
else
  for _ in 1 2; do
    (while :; do :; done) &
    load_pids+=($!)
  done
fi

# round <preset> <name> [ctest arguments]: one ctest run; its JUnit file is <name>.xml.
round() {
  local preset=$1 name=$2
  shift 2
  local started=$SECONDS status=0
  ctest --preset "$preset" -j2 --output-junit "$log/$name.xml" "$@" >"$log/$name.log" 2>&1 || status=$?
  echo "$name: $(grep -Eo '[0-9]+% tests passed.*' "$log/$name.log" || echo "ctest status $status") ($((SECONDS - started)) s)"
}

# rounds <preset>: the labelled tests of one build, REPEATS rounds, the first SLOW_REPEATS of them
# with the one-minute runs.
rounds() {
  local preset=$1 r slow
  for ((r = 1; r <= repeats; r++)); do
    slow=(--label-exclude slow)
    ((r <= slow_repeats)) && slow=()
    round "$preset" "$preset-$r" -L "$kLabels" "${slow[@]}"
  done
}
release_lane() {
  local r
  rounds release
  for ((r = 1; r <= asan_passes; r++)); do
    round asan "asan-$r" --label-exclude slow
  done
}
windows_lane() {
  rounds windows
  tests/support/wine_env.sh stop build/windows/wine-prefix >/dev/null 2>&1 || true
}

begun=$SECONDS
release_lane &
lane_pids+=($!)
windows_lane &
lane_pids+=($!)
wait "${lane_pids[@]}"
lane_pids=()
stop_load
wall=$((SECONDS - begun))

# The table: runs and failures of each test, per build, from every round's JUnit file. The cases
# of one parameterised GoogleTest test share a line (".../*"), and in the sanitizer pass the
# unlabelled tests (plain unit tests) are summed in one line; each failed case is named below.
labelled() { ctest --preset "$1" -N -L "$kLabels" | sed -n 's/^ *Test *#[0-9]*: //p'; }
table() {
  local preset=$1
  awk -v build="$preset" '
    FNR == NR { labelled[$0] = 1; next }
    match($0, /<testcase name="[^"]*"/) {
      name = substr($0, RSTART + 16, RLENGTH - 17)
      row = name in labelled ? name : "(unlabelled tests)"
      if (row ~ /\.[^\/]*\//) {
        suffix = row ~ /_pipewire$/ ? "_pipewire" : ""
        sub(/\/[^\/]*$/, "/*" suffix, row)
      }
      runs[row]++
      failed[row] += 0
      if ($0 ~ /status="fail"/) { failed[row]++; failedCase[name]++ }
    }
    END {
      for (row in runs) printf "%-8s %5d %8d  %s\n", build, runs[row], failed[row], row
      for (name in failedCase) printf "%-8s %5s %8d  failed: %s\n", build, "", failedCase[name], name
    }' <(labelled "$preset") "$log/$preset"-*.xml | sort -k4
}
{
  printf "%-8s %5s %8s  %s\n" build runs failures test
  for preset in release windows asan; do table "$preset"; done
} | tee "$log/table.txt"

failures=$(awk 'NR > 1 && !/ failed: / { s += $3 } END { print s + 0 }' "$log/table.txt")
echo "stress run: $repeats repeats ($slow_repeats of the slow tests), $asan_passes sanitizer passes;" \
  "$failures failures; $((wall / 60)) min $((wall % 60)) s under load; logs in $log"
((failures == 0))
