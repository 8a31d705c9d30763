#!/usr/bin/env bash
# Starts or stops a private PulseAudio server for the tests: a null sink "tonvela_test" (no
# rewinds, so it consumes audio in real time instead of in 2-second blocks) on the unix socket
# <dir>/native. HOME and the XDG directories point under <dir>, so the server never sees or
# touches a user's own session, and anonymous auth lets any test process connect.
# <dir>/server.pids names the server's process, as pipewire_server.sh names its own.
#
#   pulse_server.sh start <dir>   stop a stale server there, start a new one, wait until it answers
#   pulse_server.sh stop <dir>    stop it and remove its files
set -euo pipefail

usage() {
  echo "usage: $0 start|stop <dir>" >&2
  exit 2
}
(($# == 2)) || usage
action=$1
dir=$(realpath -m -- "$2")
sink=tonvela_test
socket=$dir/native
pid_file=$dir/runtime/pulse/pid
log_file=$dir/pulseaudio.log

export HOME=$dir/home
export XDG_RUNTIME_DIR=$dir/runtime
export XDG_CONFIG_HOME=$dir/home/.config
export XDG_STATE_HOME=$dir/home/.local/state
export PULSE_RUNTIME_PATH=$dir/runtime/pulse
export PULSE_STATE_PATH=$dir/home/.local/state/pulse
export PULSE_SERVER=unix:$socket
unset DBUS_SESSION_BUS_ADDRESS PULSE_SINK PULSE_SOURCE PULSE_COOKIE || true

server_answers() {
  timeout 2 pactl info >/dev/null 2>&1
}

# The pid in the pid file, if it still names a running pulseaudio (the file may be stale).
server_pid() {
  [[ -f $pid_file ]] || return 1
  local pid
  pid=$(tr -dc '0-9' <"$pid_file")
  [[ -n $pid && -r /proc/$pid/comm ]] || return 1
  [[ $(cat "/proc/$pid/comm") == pulseaudio ]] || return 1
  echo "$pid"
}

stop_server() {
  local pid
  if pid=$(server_pid); then
    kill -CONT "$pid" 2>/dev/null || true # a test may have left it frozen
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
      [[ -d /proc/$pid ]] || break
      sleep 0.1
    done
    if [[ -d /proc/$pid ]]; then
      kill -KILL "$pid" 2>/dev/null || true
      sleep 0.2
    fi
  fi
  rm -rf -- "$dir/runtime" "$dir/home" "$socket" "$dir/server.pids"
}

start_server() {
  stop_server
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
  chmod 700 "$XDG_RUNTIME_DIR" "$PULSE_RUNTIME_PATH"
  : >"$log_file"
  # -n: no default.pa, so nothing but the modules below is loaded (no hardware, no dbus).
  pulseaudio -n --daemonize=yes --use-pid-file=yes --system=no \
    --exit-idle-time=-1 --disallow-exit=yes --disallow-module-loading=no \
    --realtime=no --high-priority=no --log-target=file:"$log_file" --log-level=notice \
    -L "module-native-protocol-unix socket=$socket auth-anonymous=1" \
    -L "module-null-sink sink_name=$sink norewinds=1 sink_properties=device.description=Tonvela-test" \
    -L "module-always-sink" \
    </dev/null >>"$log_file" 2>&1 || {
    echo "pulseaudio failed to start; its log:" >&2
    cat "$log_file" >&2
    exit 1
  }
  # Ten times and more the second or two it takes on a loaded machine.
  local deadline=$((SECONDS + 30))
  while ((SECONDS < deadline)); do
    if server_answers; then
      pactl set-default-sink "$sink"
      echo "$(server_pid) pulseaudio" >"$dir/server.pids"
      echo "PulseAudio running (pid $(server_pid || echo '?')) at unix:$socket"
      return 0
    fi
    sleep 0.1
  done
  echo "pulseaudio did not answer within 30 s; its log:" >&2
  cat "$log_file" >&2
  stop_server
  exit 1
}

case $action in
  start) start_server ;;
  stop) stop_server ;;
  *) usage ;;
esac
