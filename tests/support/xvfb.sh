# Sourced by scripts that need an X server of their own.
#
# start_xvfb: starts Xvfb on a free display at a number other programs on this machine are
# unlikely to pick (several test runs may share the machine), waits until it answers, exports
# DISPLAY and sets xvfb_pid. -noreset: the server must not reset between programs run one after
# the other, or a start may find it mid-reset. Returns non-zero if no server could be started.
start_xvfb() {
  local n deadline
  for ((n = 300 + RANDOM % 400; n < 1000; n++)); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp -noreset 2>/dev/null &
    xvfb_pid=$!
    # Ten times and more the second it takes on a loaded machine; only a server that never
    # answers is given up.
    deadline=$((SECONDS + 30))
    while ((SECONDS < deadline)); do
      # Our own server, not one another run started on the same number a moment before.
      if xwininfo -root -display ":$n" >/dev/null 2>&1 && kill -0 "$xvfb_pid" 2>/dev/null; then
        export DISPLAY=:$n
        return 0
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$xvfb_pid" 2>/dev/null || true
  done
  return 1
}
