#!/usr/bin/env bash
# Cross-builds Tonvela for 64-bit Windows (mingw-w64) and runs the Windows tests under Wine: the
# core and platform tests, the waveOut sound backend recorded from a private PulseAudio server,
# the Win32 window, one minute of the real tonvela.exe, and the installer. The tests start the
# Wine prefix, its Xvfb and the PulseAudio server themselves and stop them afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

# Stops whatever a test run that was interrupted left of the Wine prefix.
trap 'tests/support/wine_env.sh stop build/windows/wine-prefix' EXIT

echo "== windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows
echo "== windows tests (under Wine)"
ctest --preset windows "$@"
