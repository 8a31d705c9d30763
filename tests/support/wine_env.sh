#!/usr/bin/env bash
# Starts or stops a private Wine prefix for the Windows tests, with an X server (Xvfb) of its
# own. The server, Wine's services and Xvfb are started here, once, with every output sent to a
# log: a process that inherited CTest's output pipes would keep them open, and CTest would wait
# for them forever. Wine's desktop process starts with the services and stays bound to the
# display it found, so the prefix gets its display here and every window test uses that one.
#
#   wine_env.sh start <prefix>   create the prefix if needed, start Xvfb, wineserver, services
#   wine_env.sh stop <prefix>    stop every Wine process of the prefix, and its Xvfb
#   wine_env.sh display <prefix> print the prefix's X display
#
# Tests run their programs with the same WINEPREFIX, WINEDEBUG=-all and
# WINEDLLOVERRIDES="mscoree,mshtml=" (no Mono or Gecko installer dialogs).
set -euo pipefail

(($# == 2)) || { echo "usage: $0 start|stop <prefix>" >&2; exit 2; }
action=$1
export WINEPREFIX=$(realpath -m -- "$2")
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
log=$WINEPREFIX.log
display_file=$WINEPREFIX.display
xvfb_pid_file=$WINEPREFIX.xvfb-pid

wineserver_bin=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# Chinese fonts for the window: Wine finds the system's fonts through fontconfig, and the
# Windows font names the window asks for are mapped onto the one installed here. The product
# itself makes no registry edits.
add_font_substitutes() {
  local windows_name
  for windows_name in SimSun "宋体" "Microsoft YaHei"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$windows_name" /t REG_SZ \
      /d "WenQuanYi Micro Hei" /f
  done
}

stop_xvfb() {
  local pid
  pid=$(cat "$xvfb_pid_file" 2>/dev/null) || return 0
  if [[ -n $pid && $(cat "/proc/$pid/comm" 2>/dev/null) == Xvfb ]]; then
    kill "$pid" 2>/dev/null || true
  fi
  rm -f "$xvfb_pid_file" "$display_file"
}

case $action in
  start)
    mkdir -p "$WINEPREFIX"
    : >"$log"
    stop_xvfb
    source "$(dirname "$0")/xvfb.sh"
    xvfb_pid=""
    start_xvfb </dev/null >>"$log" 2>&1 || { echo "Xvfb did not start" >&2; exit 1; }
    echo "$DISPLAY" >"$display_file"
    echo "$xvfb_pid" >"$xvfb_pid_file"
    # Fails when a server of this prefix already runs, which is as good; wine below is the check.
    "$wineserver_bin" -p </dev/null >>"$log" 2>&1 || true
    fresh=0
    [[ -f $WINEPREFIX/.tonvela-ready ]] || fresh=1
    # The first command boots the prefix (creating it on a fresh one) and starts its services:
    # 20 s on a loaded machine, a minute for a fresh prefix; the timeout only ends a hung boot.
    timeout 600 wine cmd /c exit </dev/null >>"$log" 2>&1 || {
      echo "wine did not start; its log:" >&2
      tail -n 40 "$log" >&2
      exit 1
    }
    if ((fresh)); then
      add_font_substitutes </dev/null >>"$log" 2>&1
      touch "$WINEPREFIX/.tonvela-ready"
    fi
    # A screen of 96 dpi, whatever scale a test that was cut short left behind.
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f \
      </dev/null >>"$log" 2>&1
    echo "Wine ready in $WINEPREFIX on display $DISPLAY"
    ;;
  stop)
    [[ -d $WINEPREFIX ]] && "$wineserver_bin" -k </dev/null >/dev/null 2>&1 || true
    stop_xvfb
    ;;
  display)
    cat "$display_file"
    ;;
  *)
    echo "usage: $0 start|stop|display <prefix>" >&2
    exit 2
    ;;
esac
