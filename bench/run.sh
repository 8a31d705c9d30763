#!/usr/bin/env bash
# Builds the release preset and runs every benchmark, each comparing side by side in one run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null

for suite in sound window; do
  echo "== $suite"
  "bench/$suite/run.sh" build/release
done
echo "== soak"
bench/window/soak.sh build/release
