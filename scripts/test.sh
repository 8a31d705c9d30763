#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test twice: in the optimised build and in the
# AddressSanitizer + UndefinedBehaviorSanitizer build; then cross-builds for Windows and runs the
# Windows tests under Wine. The tests start the services they use (a private PulseAudio server,
# Xvfb, a Wine prefix) themselves.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

run_preset() {
  local preset=$1
  shift
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset" -j2 "$@"
}

run_preset release
# The one-minute end-to-end run of the real program is covered by the release build.
run_preset asan --label-exclude slow

scripts/test-windows.sh
