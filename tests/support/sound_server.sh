#!/usr/bin/env bash
# Starts or stops a private sound server for the tests, PulseAudio or PipeWire, with one contract:
# a null sink "tonvela_test" reached through the PulseAudio protocol on the unix socket
# <dir>/native, and <dir>/server.pids naming the processes that make up the server (a test that
# freezes or kills "the server" acts on them all). HOME and the XDG folders point under <dir>, so
# the server never sees or touches a user's own session, and anonymous auth lets any test process
# connect.
#
#   sound_server.sh [--server pulseaudio|pipewire] start <dir>   stop a stale server there, start
#                                                                a new one, wait until it answers
#   sound_server.sh [--server pulseaudio|pipewire] stop <dir>    stop it and remove its files
#
# PulseAudio: one daemon with the null sink (no rewinds, so it consumes audio in real time instead
# of in 2-second blocks). PipeWire: pipewire + wireplumber (the session manager, which links
# streams to the sink) + pipewire-pulse, under a D-Bus session bus of their own; wireplumber's
# device monitors are off, so the test server never opens the machine's sound cards, cameras or
# Bluetooth. The default is PulseAudio.
set -euo pipefail

usage() {
  echo "usage: $0 [--server pulseaudio|pipewire] start|stop <dir>" >&2
  exit 2
}
server=pulseaudio
if [[ ${1:-} == --server ]]; then
  server=${2:-}
  shift 2 || usage
fi
[[ $server == pulseaudio || $server == pipewire ]] || usage
(($# == 2)) || usage
action=$1
dir=$(realpath -m -- "$2")
sink=tonvela_test
socket=$dir/native
pids_file=$dir/server.pids
helpers_file=$dir/helper.pids # wireplumber and dbus-daemon: stopped, never signalled by tests
log_dir=$dir/logs

export HOME=$dir/home
export XDG_RUNTIME_DIR=$dir/runtime
export XDG_CONFIG_HOME=$dir/home/.config
export XDG_STATE_HOME=$dir/home/.local/state
export XDG_DATA_HOME=$dir/home/.local/share
export PULSE_RUNTIME_PATH=$dir/runtime/pulse
export PULSE_STATE_PATH=$dir/home/.local/state/pulse
export PULSE_SERVER=unix:$socket
unset DBUS_SESSION_BUS_ADDRESS PIPEWIRE_RUNTIME_DIR PIPEWIRE_REMOTE PIPEWIRE_CONFIG_DIR \
  PULSE_SINK PULSE_SOURCE PULSE_COOKIE || true

server_answers() { timeout 2 pactl info >/dev/null 2>&1; }

# Sends a signal to each pid in a file that still names a running process of the expected kind
# (the file may be stale, and its pids reused).
signal_listed() {
  local file=$1 signal=$2 pid
  [[ -f $file ]] || return 0
  while read -r pid _; do
    [[ $pid =~ ^[0-9]+$ && -r /proc/$pid/comm ]] || continue
    case $(cat "/proc/$pid/comm") in
      pulseaudio | pipewire | pipewire-pulse | wireplumber | dbus-daemon)
        kill "-$signal" "$pid" 2>/dev/null || true
        ;;
    esac
  done <"$file"
}

wait_gone() {
  local file=$1 pid alive
  [[ -f $file ]] || return 0
  for _ in $(seq 50); do
    alive=0
    while read -r pid _; do
      [[ $pid =~ ^[0-9]+$ && -d /proc/$pid ]] && alive=1
    done <"$file"
    ((alive)) || return 0
    sleep 0.1
  done
  return 1
}

stop_server() {
  signal_listed "$pids_file" CONT # a test may have left them frozen
  signal_listed "$pids_file" TERM
  signal_listed "$helpers_file" TERM
  if ! wait_gone "$pids_file" || ! wait_gone "$helpers_file"; then
    signal_listed "$pids_file" KILL
    signal_listed "$helpers_file" KILL
    sleep 0.2
  fi
  rm -rf -- "${dir:?}/runtime" "${dir:?}/home" "$socket" "$pids_file" "$helpers_file"
}

fail() {
  echo "$1; the logs:" >&2
  tail -n 20 "$log_dir"/*.log >&2 || true
  stop_server
  exit 1
}

# Waits for the server to answer, then makes the null sink the default. Each step of a start
# takes a second or two on a loaded machine; the waits are ten times and more.
await_server() {
  local deadline=$((SECONDS + 30))
  until server_answers; do
    ((SECONDS < deadline)) || fail "$server did not answer within 30 s"
    sleep 0.1
  done
}

await_sink() {
  local deadline=$((SECONDS + 30))
  until pactl list short sinks | cut -f2 | grep -qx "$sink"; do
    ((SECONDS < deadline)) || fail "the null sink $sink did not appear within 30 s"
    sleep 0.1
  done
  pactl set-default-sink "$sink"
}

start_pulseaudio() {
  mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
  chmod 700 "$PULSE_RUNTIME_PATH"
  # -n: no default.pa, so nothing but the modules below is loaded (no hardware, no dbus).
  pulseaudio -n --daemonize=yes --use-pid-file=yes --system=no \
    --exit-idle-time=-1 --disallow-exit=yes --disallow-module-loading=no \
    --realtime=no --high-priority=no --log-target=file:"$log_dir/pulseaudio.log" --log-level=notice \
    -L "module-native-protocol-unix socket=$socket auth-anonymous=1" \
    -L "module-null-sink sink_name=$sink norewinds=1 sink_properties=device.description=Tonvela-test" \
    -L "module-always-sink" \
    </dev/null >>"$log_dir/pulseaudio.log" 2>&1 || fail "pulseaudio failed to start"
  # The daemon has written its pid by the time the call returns.
  local pid=""
  [[ -f $PULSE_RUNTIME_PATH/pid ]] && pid=$(tr -dc '0-9' <"$PULSE_RUNTIME_PATH/pid")
  echo "$pid pulseaudio" >"$pids_file"
  await_server
  await_sink
}

# Starts a program in a session of its own (so the test runner's process group and pipes are not
# tied to it) and prints its pid.
spawn() {
  local name=$1
  shift
  setsid "$@" </dev/null >>"$log_dir/$name.log" 2>&1 &
  echo $!
}

write_pipewire_config() {
  mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire-pulse.conf.d" \
    "$XDG_CONFIG_HOME/wireplumber/main.lua.d" "$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d"
  cat >"$XDG_CONFIG_HOME/pipewire/pipewire-pulse.conf.d/tonvela-test.conf" <<EOF
pulse.properties = {
    server.address = [ "unix:$socket" ]
}
EOF
  cat >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/51-tonvela-test.lua" <<'EOF'
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
EOF
  echo 'bluez_monitor.enabled = false' >"$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d/51-tonvela-test.lua"
}

start_pipewire() {
  write_pipewire_config
  local bus
  bus=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=3 3>"$dir/dbus.pid" \
    </dev/null 2>>"$log_dir/dbus.log") || fail "dbus-daemon failed to start"
  export DBUS_SESSION_BUS_ADDRESS=$bus
  echo "$(tr -dc '0-9' <"$dir/dbus.pid") dbus-daemon" >"$helpers_file"
  rm -f "$dir/dbus.pid"

  echo "$(spawn pipewire pipewire) pipewire" >"$pids_file"
  local deadline=$((SECONDS + 30))
  until [[ -S $XDG_RUNTIME_DIR/pipewire-0 ]]; do
    ((SECONDS < deadline)) || fail "pipewire did not open its socket within 30 s"
    sleep 0.1
  done
  echo "$(spawn wireplumber wireplumber) wireplumber" >>"$helpers_file"
  echo "$(spawn pipewire-pulse pipewire-pulse) pipewire-pulse" >>"$pids_file"
  await_server
  # Never suspended when idle: wireplumber suspends a sink after 5 s without streams, and a
  # recording started on a suspended sink missed the first part of what followed (1 run in 8 of
  # the sample voice, against none in 16 with suspension off).
  pactl load-module module-null-sink "sink_name=$sink" \
    "sink_properties=device.description=Tonvela-test session.suspend-timeout-seconds=0 node.pause-on-idle=false" >/dev/null
  await_sink
}

start_server() {
  stop_server
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME" "$log_dir"
  chmod 700 "$XDG_RUNTIME_DIR"
  rm -f "$log_dir"/*.log
  "start_$server"
  echo "$server running (pids $(cut -d' ' -f1 "$pids_file" | tr '\n' ' ')) at unix:$socket"
}

case $action in
  start) start_server ;;
  stop) stop_server ;;
  *) usage ;;
esac
