# shellcheck shell=bash
# Sourced by scripts that need a Wayland compositor of their own.
#
# start_weston <dir>: starts weston on the X server in $DISPLAY (from start_xvfb), with its runtime
# dir under <dir>, waits until its socket is there, exports XDG_RUNTIME_DIR and WAYLAND_DISPLAY
# and sets weston_pid. Returns non-zero if it did not come up.
#
# Why weston's X11 backend and not its headless one: the headless backend has no seat, so no
# keyboard reaches a client; on X11, weston's seat takes the X server's input, so keys sent with
# xdotool to Xvfb arrive at the Wayland client as wl_keyboard events, as a user's would.
#
# weston_log holds weston's own log with the protocol dump ("proto" scope): every request and
# event between weston and its clients, which is how a test sees what the compositor saw.
# weston_toplevel_mapped <caption>: true once a client has set that title on an xdg_toplevel
# whose surface weston has placed on an output (wl_surface.enter), that is, the window is mapped.
start_weston() {
  local dir=$1
  export XDG_RUNTIME_DIR=$dir/wayland-runtime
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  weston_log=$dir/weston.log
  export WAYLAND_DISPLAY=wayland-tonvela-test
  weston --backend=x11-backend.so --use-pixman --width=640 --height=480 \
    --socket="$WAYLAND_DISPLAY" --idle-time=0 --log="$weston_log" --logger-scopes=log,proto \
    </dev/null >/dev/null 2>&1 &
  weston_pid=$!
  # Ten times and more the second it takes on a loaded machine.
  local deadline=$((SECONDS + 30))
  while ((SECONDS < deadline)); do
    [[ -S $XDG_RUNTIME_DIR/$WAYLAND_DISPLAY ]] && return 0
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.05
  done
  return 1
}

weston_toplevel_mapped() {
  local caption=$1
  awk -v caption="$caption" '
    # Lines: "[date time][proto] client 0x... rq|ev interface@id.request(args)"
    $3 != "client" { next }
    {
      client = $4
      if ($5 == "rq" && match($0, /xdg_surface@[0-9]+, wl_surface@[0-9]+\)$/)) {
        split(substr($0, RSTART, RLENGTH - 1), ids, ", ")
        surfaceOf[client, ids[1]] = ids[2]
      } else if ($5 == "rq" && match($0, /xdg_surface@[0-9]+\.get_toplevel\(new id xdg_toplevel@[0-9]+/)) {
        split(substr($0, RSTART, RLENGTH), parts, /\.get_toplevel\(new id /)
        toplevelSurface[client, parts[2]] = surfaceOf[client, parts[1]]
      } else if ($5 == "rq" && index($0, ".set_title(\"" caption "\")") &&
                 match($0, /xdg_toplevel@[0-9]+/)) {
        titled[client, toplevelSurface[client, substr($0, RSTART, RLENGTH)]] = 1
      } else if ($5 == "ev" && match($0, /wl_surface@[0-9]+\.enter\(wl_output/)) {
        split(substr($0, RSTART, RLENGTH), parts, ".")
        onOutput[client, parts[1]] = 1
      }
    }
    END {
      for (key in titled) if (key in onOutput) exit 0
      exit 1
    }' "$weston_log"
}
