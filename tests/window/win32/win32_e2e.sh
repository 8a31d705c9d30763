# shellcheck shell=bash
# Sourced by the scripts that run the real tonvela.exe under Wine and look at it through
# tonvela_window_probe.exe, with tests/support/e2e.sh. Needs WINEPREFIX.
source "$(dirname "${BASH_SOURCE[0]}")/../../support/e2e.sh"

# From a start's command to its end, most of it Wine starting a program: ten times the worst seen
# on a loaded two-core machine (0.74 s, bench/latency/run.sh), and more.
readonly kSecondStartLimitS=20

# start_wine_e2e <tonvela.exe> <tonvela_window_probe.exe>: the scratch, a Western locale (only the
# wide-character path finds "语音文件.WAV" there) and the desktop below; sets program and probe.
start_wine_e2e() {
  program=$(realpath "$1")
  probe=$(realpath "$2")
  : "${WINEPREFIX:?needs the Wine prefix}"
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
  e2e_scratch
  use_wine_desktop
}

probe() { wine "$probe" "$@" 2>/dev/null | tr -d '\r'; }

# The prefix's display with openbox on it for the script's run, as Windows always has its window
# manager: without one, Wine waits two seconds at every window it hides for a manager that never
# answers, which would hide how long the program itself takes to end. A Tonvela already running
# in the prefix would take every start of the script: that fails at once.
use_wine_desktop() {
  use_wine_display
  [[ $(probe state) == "no Tonvela window" ]] || fail "a Tonvela already runs in the prefix"
  start_window_manager --no-keys
}

# start_tonvela <folder> <name>: starts tonvela.exe from the folder, its output in $work/<name>.err;
# sets tonvela_pid.
start_tonvela() {
  (cd "$1" && exec wine "$program" >"$work/$2.err" 2>&1) &
  tonvela_pid=$!
  track "$tonvela_pid"
}

# Waits until the program's window is shown: it exists, unmapped, before it is laid out. Sets
# window and shown (SECONDS then).
await_window() {
  window=$(find_window --onlyvisible) || fail "no window titled $kTitle"
  shown=$SECONDS
}

# second_start <folder> <what>: starts tonvela.exe again from the folder and waits for it, cut at
# the limit; it must end with status 0 within it. Prints how long it took, sets took.
second_start() {
  local started status=0
  started=$(now)
  (cd "$1" && exec timeout "$kSecondStartLimitS" wine "$program") >"$work/second-start.err" 2>&1 ||
    status=$?
  took=$(elapsed "$started" "$(now)")
  echo "$2: the second start ended with status $status after $took s"
  ((status == 0)) || fail "$2: the second start ended with status $status"
  less_than "$took" "$kSecondStartLimitS" || fail "$2: the second start took $took s"
}
