#!/usr/bin/env bash
# The Win32 window's tick timing under Wine: Timer1's deviation from load + k x period over 100
# ticks of 50 ms, in the test Wine prefix of the build and on its display.
#
#   bench/win32/run.sh [build dir]   (default build/windows)
set -euo pipefail
build=$(realpath "${1:-build/windows}")
support=$(dirname "$0")/../../tests/support
export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$support/wine_env.sh" stop "$WINEPREFIX"' EXIT
"$support/wine_env.sh" start "$WINEPREFIX" >/dev/null
DISPLAY=$("$support/wine_env.sh" display "$WINEPREFIX") wine "$build/bench/win32/bench_win32_tick_timing.exe"
