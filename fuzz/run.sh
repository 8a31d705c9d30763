#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs the interval entry fuzzer for a bounded time.
# Usage: fuzz/run.sh [seconds]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

# clang (for libFuzzer) is needed here only, so the test command does not install it.
if ! command -v clang++ >/dev/null; then
  SUDO=()
  [[ $(id -u) -eq 0 ]] || SUDO=(sudo)
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

corpus=build/fuzz/corpus
mkdir -p "$corpus"
# Seeds: the kinds of text a user types.
for seed in 15 30 0.6 2.5 32767 32768 1e9 "１５" "12abc" " 4 " "-3" ".5"; do
  printf '\0%s' "$seed" >"$corpus/seed-$(printf '%s' "$seed" | md5sum | cut -c1-8)"
done

log=build/fuzz/last-run.log
status=0
build/fuzz/bin/interval_entry_fuzz -max_total_time="$seconds" -max_len=256 \
  -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|Done)" "$log" || true
crashes=$(find . -maxdepth 1 -name 'crash-*' -newer "$corpus" | wc -l)
echo "seconds: $seconds  crashes: $crashes  exit: $status"
exit "$status"
