#!/usr/bin/env bash
# Installs what building and running need, builds Tonvela (the program alone, as released) and
# starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake --preset program >/dev/null
cmake --build --preset program
exec build/program/bin/tonvela
