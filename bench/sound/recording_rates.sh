#!/usr/bin/env bash
# How often a recording of the test sink misses what was played: our player, paplay and pw-play
# in turn through one private server, each recording judged as the sound tests judge theirs.
# Prints a table per player and per player and sound; every run is a line of runs.tsv in the
# kept work dir, and every recording that missed is kept there as a WAV file. On PipeWire each
# run also counts the underflows pipewire-pulse reported (a player's buffer ran dry: a gap in
# what the sink played; pw-play does not go through pipewire-pulse and is never counted).
#
#   bench/sound/recording_rates.sh [build dir]   (default build/release)
#
#   TONVELA_RATES_SERVER   pipewire (default) or pulseaudio (which has no pw-play)
#   TONVELA_RATES_ROUNDS   rounds of the three test sounds per player (default 40)
#   TONVELA_RATES_LOAD     CPU hogs of stress-ng running beside it (default 0)
#   TONVELA_RATES_PLAYERS  default "ours paplay pw-play" (pipewire), "ours paplay" (pulseaudio)
#   TONVELA_RATES_WITNESS  1: record each run a second time with pw-record (pipewire only), to
#                          tell a miss in what the sink played from one in the recording
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-build/release}")
server=${TONVELA_RATES_SERVER:-pipewire}
rounds=${TONVELA_RATES_ROUNDS:-40}
load=${TONVELA_RATES_LOAD:-0}
witness=
[[ ${TONVELA_RATES_WITNESS:-0} == 1 ]] && witness=--witness
case $server in
  pipewire) players=${TONVELA_RATES_PLAYERS:-ours paplay pw-play} ;;
  pulseaudio) players=${TONVELA_RATES_PLAYERS:-ours paplay} ;;
  *) echo "TONVELA_RATES_SERVER: pipewire or pulseaudio" >&2 && exit 2 ;;
esac

work=$(mktemp -d /tmp/tonvela-recording-rates-XXXXXX)
stress_pid=
cleanup() {
  [[ -n $stress_pid ]] && kill "$stress_pid" 2>/dev/null
  "$root/tests/support/sound_server.sh" --server "$server" stop "$work/server" >/dev/null 2>&1 || true
}
trap cleanup EXIT

# pipewire-pulse reports each underflow of a playback stream at its info level.
PIPEWIRE_DEBUG="2,mod.protocol-pulse:3" "$root/tests/support/sound_server.sh" --server "$server" start "$work/server" >/dev/null
if [[ $server == pipewire ]]; then
  export TONVELA_RATES_SERVER_LOG=$work/server/logs/pipewire-pulse.log
fi
export PULSE_SERVER=unix:$work/server/native
export PIPEWIRE_RUNTIME_DIR=$work/server/runtime
export TONVELA_TEST_SINK=tonvela_test
if ((load > 0)); then
  stress-ng --cpu "$load" --quiet &
  stress_pid=$!
fi
echo "$server, $rounds rounds, players: $players, stress-ng --cpu $load${witness:+, pw-record beside}; runs in $work"
# shellcheck disable=SC2086 # the players are words
"$build/bin/recording_rates" "$work" "$rounds" $witness $players
