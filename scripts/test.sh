#!/usr/bin/env bash
# Installs everything the tests need, builds, and runs every test twice: in the optimised build
# and in the AddressSanitizer + UndefinedBehaviorSanitizer build; then cross-builds for Windows
# and runs the Windows tests under Wine. The tests start the services they use (private sound
# servers, Xvfb, weston, a Wine prefix) themselves. Arguments go to every ctest run, e.g.
# `scripts/test.sh -R Sound` or `scripts/test.sh -L display`.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
# The tests name files in Chinese, as the voice file is named, and the tools that pack and unpack
# them (cpack's archive writer among them) read such names only in a UTF-8 locale, as every
# desktop has. A machine started in the POSIX locale (a fresh container) runs them in C.UTF-8,
# which Debian always provides.
if [[ $(locale charmap 2>/dev/null) != UTF-8 ]]; then
  export LC_ALL=C.UTF-8
fi
# A filter that selects nothing in one of the builds is no failure.
(($# == 0)) || set -- --no-tests=ignore "$@"

run_preset() {
  local preset=$1
  shift
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset" -j2 "$@"
}

run_preset release "$@"
# The one-minute end-to-end runs are covered by the release build.
run_preset asan --label-exclude slow "$@"

scripts/test-windows.sh "$@"
