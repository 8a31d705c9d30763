# Sourced by the scripts that run the real tonvela.exe under Wine, after tests/support/e2e.sh and
# e2e_scratch: the prefix's display with a window manager, starting the program, the probe of its
# window (tonvela_window_probe.exe), and timing. Each script defines fail, and sets program and
# probe to the two programs' paths. Needs WINEPREFIX.

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
less_than() { awk -v v="$1" -v limit="$2" 'BEGIN { exit !(v < limit) }'; }

probe() { wine "$probe" "$@" 2>/dev/null | tr -d '\r'; }

# The prefix's X display, with openbox on it for the script's run, as Windows always has its
# window manager: without one, Wine waits two seconds at every window it hides for a manager that
# never answers, which would hide how long the program itself takes to end. Openbox gets no key
# bindings, so Alt+F4 reaches the program, as on Windows. A Tonvela already running in the prefix
# would take every start of the script: that fails at once.
use_wine_display_with_window_manager() {
  DISPLAY=$("$(dirname "${BASH_SOURCE[0]}")/../../support/wine_env.sh" display "$WINEPREFIX") ||
    fail "the Wine prefix has no display"
  export DISPLAY
  [[ $(probe state) == "no Tonvela window" ]] || fail "a Tonvela already runs in the prefix"
  mkdir -p "$work/openbox"
  cat >"$work/openbox/rc.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc"><keyboard/><mouse/></openbox_config>
EOF
  HOME=$work/openbox openbox --sm-disable --config-file "$work/openbox/rc.xml" \
    >"$work/openbox/log" 2>&1 &
  local openbox_pid=$!
  pids+=("$openbox_pid")
  local deadline=$((SECONDS + 30))
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    kill -0 "$openbox_pid" 2>/dev/null && ((SECONDS < deadline)) || fail "openbox did not start"
    sleep 0.05
  done
}

# start_tonvela <folder> <name>: starts tonvela.exe from the folder, its output in $work/<name>.log;
# sets tonvela_pid.
start_tonvela() {
  (cd "$1" && exec wine "$program" >"$work/$2.log" 2>&1) &
  tonvela_pid=$!
  pids+=("$tonvela_pid")
}

# Waits until the program's window is shown; sets window and shown (SECONDS then).
await_window() {
  window=$(find_window --onlyvisible) || fail "no window titled $kTitle"
  shown=$SECONDS
}

# Types 1 into both boxes, so every tick plays the voice.
type_intervals_of_one() {
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  sleep 0.3
  # Wine's edit box does not select all on Ctrl+A: each box is cleared from its end.
  xdotool key End BackSpace BackSpace BackSpace type 1
  xdotool key Tab End BackSpace BackSpace BackSpace type 1
  sleep 0.3
}

# wait_for_exit <pid> <limit s>: waits for the process to end, at most the limit; sets ended (now
# then) and status. Fails if it is still running.
wait_for_exit() {
  local pid=$1 deadline
  deadline=$(awk -v s="$SECONDS" -v l="$2" 'BEGIN { print s + int(l) + 1 }')
  while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.01; done
  ended=$(now)
  kill -0 "$pid" 2>/dev/null && fail "still running $2 s after the close"
  status=0
  wait "$pid" || status=$?
}
