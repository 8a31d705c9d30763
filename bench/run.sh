#!/usr/bin/env bash
# Builds the release and sanitizer presets and runs every benchmark, each comparing side by side
# in one run. The latency figures under Wine come too when the Windows build is there.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in release asan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2 >/dev/null
done

for suite in sound window; do
  echo "== $suite"
  "bench/$suite/run.sh" build/release
done
echo "== soak"
bench/window/soak.sh build/release
echo "== latency"
bench/latency/run.sh build/release build/asan build/windows
