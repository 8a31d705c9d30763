#!/usr/bin/env bash
# Runs a command on the X display of the Wine prefix in $WINEPREFIX (see wine_env.sh), with a
# window manager (openbox, its key and mouse bindings off, so every key the command sends reaches
# Wine) for the command's run, as on any desktop. Without one, Wine waits two seconds for a
# window manager at each top-level window's withdrawal, and every window test would wait it out.
set -euo pipefail
DISPLAY=$("$(dirname "$0")/../../support/wine_env.sh" display "$WINEPREFIX")
export DISPLAY

home=$(mktemp -d)
wm=""
cleanup() {
  [[ -n $wm ]] && { kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null || true; }
  rm -rf "$home"
}
trap cleanup EXIT
cat >"$home/rc.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc"><keyboard/><mouse/></openbox_config>
EOF
HOME=$home openbox --sm-disable --config-file "$home/rc.xml" >/dev/null 2>&1 &
wm=$!
for ((tries = 0; tries < 300; tries++)); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

status=0
"$@" || status=$?
exit "$status"
