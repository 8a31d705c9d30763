#!/usr/bin/env bash
# Checks the layers' direction on what the compiler actually read: for every object of the
# program's own targets, the headers it included (ninja's dependency log). The core and the
# platform services reach no Qt, no sound library and no window; the window's engine reaches no
# toolkit and no front-end; nothing outside a sound backend reaches libpulse, libsndfile or that
# backend's internals, only its one public header (platform/sound/pulse/pulse_sound_player.h,
# platform/sound/winmm/winmm_sound_player.h); the sound seam's shared pieces (platform/sound/*.h)
# are for the backends alone.
#
#   layer_boundaries.sh <ninja build dir>
set -euo pipefail
build=${1:?usage: $0 <build dir>}

ninja -C "$build" -t deps | awk '
  function fail(why) { printf "%s includes %s: %s\n", object, dep, why; bad = 1 }
  /^[^ \t]/ {
    object = $1
    sub(/:$/, "", object)
    target = ""
    if (match(object, /CMakeFiles\/[^\/]+\.dir\//)) target = substr(object, RSTART + 11, RLENGTH - 16)
    next
  }
  {
    dep = $1
    # Tests and benchmarks may reach into any layer: by target name, or by their folder.
    if (target == "" || target ~ /test|bench|fuzz/ || object ~ /^(tests|bench)\//) next
    plain = (target == "tonvela_core" || target == "tonvela_platform")
    backend = (target ~ /^tonvela_sound_/)
    sound_lib = (dep ~ /(^|\/)include\/pulse\/[^\/]+\.h$/ || dep ~ /(^|\/)sndfile\.h$/)
    shared_piece = (dep ~ /(^|\/)platform\/sound\/[^\/]+\.h$/)
    backend_internal = (dep ~ /(^|\/)platform\/sound\/[^\/]+\/[^\/]+\.h$/ && dep !~ /_sound_player\.h$/)
    own_internal = (backend && index(dep, "/platform/sound/" substr(target, 15) "/") > 0)
    if (plain && dep ~ /[Qq]t[0-9A-Za-z]*\//) fail("Qt in a plain C++ layer")
    if (plain && dep ~ /(^|\/)window\//) fail("the window seen from below")
    if (target == "tonvela_window_engine" && (dep ~ /[Qq]t[0-9A-Za-z]*\// || dep ~ /(^|\/)windows\.h$/ || dep ~ /(^|\/)window\/(qt|win32)\//))
      fail("a toolkit in the window'"'"'s engine")
    if (target != "tonvela_sound_pulse" && sound_lib) fail("a sound library outside the sound backend")
    if (!backend && shared_piece) fail("the sound backends'"'"' shared pieces")
    if (!own_internal && backend_internal) fail("a sound backend'"'"'s internals")
    checked++
  }
  END {
    if (checked == 0) { print "no dependency information: build first"; exit 1 }
    if (bad) exit 1
    printf "%d includes of the program'"'"'s own targets checked\n", checked
  }'
