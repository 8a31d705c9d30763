#!/usr/bin/env bash
# Starts or stops a private Wine prefix for the Windows tests. The server and Wine's services are
# started here, once, with every output sent to a log: a process that inherited CTest's output
# pipes would keep them open, and CTest would wait for them forever.
#
#   wine_env.sh start <prefix>   create the prefix if needed, start wineserver and its services
#   wine_env.sh stop <prefix>    stop every Wine process of the prefix
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
unset DISPLAY # the prefix's set-up must not open windows on anyone's screen
log=$WINEPREFIX.log

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

case $action in
  start)
    mkdir -p "$WINEPREFIX"
    : >"$log"
    # Fails when a server of this prefix already runs, which is as good; wine below is the check.
    "$wineserver_bin" -p </dev/null >>"$log" 2>&1 || true
    fresh=0
    [[ -f $WINEPREFIX/.tonvela-ready ]] || fresh=1
    # The first command boots the prefix (creating it on a fresh one) and starts its services.
    timeout 180 wine cmd /c exit </dev/null >>"$log" 2>&1 || {
      echo "wine did not start; its log:" >&2
      tail -n 40 "$log" >&2
      exit 1
    }
    if ((fresh)); then
      add_font_substitutes </dev/null >>"$log" 2>&1
      touch "$WINEPREFIX/.tonvela-ready"
    fi
    echo "Wine ready in $WINEPREFIX"
    ;;
  stop)
    [[ -d $WINEPREFIX ]] && "$wineserver_bin" -k </dev/null >/dev/null 2>&1 || true
    ;;
  *)
    echo "usage: $0 start|stop <prefix>" >&2
    exit 2
    ;;
esac
