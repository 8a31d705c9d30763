# Sourced by scripts that need an X server of their own.
#
# start_xvfb: starts Xvfb, waits until it accepts connections, exports DISPLAY and sets xvfb_pid.
# Xvfb picks the display number itself (-displayfd): the first one whose sockets it can take. A
# number picked here by looking for lock files could be taken by another X server on the machine
# whose lock file this /tmp does not hold (a container or chroot beside this one shares the
# abstract sockets), and a client would then reach that server instead. -noreset: the server must
# not reset between programs run one after the other, or a start may find it mid-reset. Returns
# non-zero if the server did not start.
start_xvfb() {
  local number_file number="" deadline
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$number_file" 2>/dev/null &
  xvfb_pid=$!
  # Ten times and more the second it takes on a loaded machine; only a server that never answers
  # is given up. The number comes as a whole line once the server listens.
  deadline=$((SECONDS + 30))
  until read -r number <"$number_file"; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null || ((SECONDS >= deadline)); then
      kill "$xvfb_pid" 2>/dev/null || true
      rm -f "$number_file"
      return 1
    fi
    sleep 0.05
  done
  rm -f "$number_file"
  export DISPLAY=:$number
}
