#!/usr/bin/env bash
# Runs the addon's seeded fuzzer over many seeds (default 1..2000, 500 steps).
#   scripts/fuzz-addon.sh [FIRST..LAST] [STEPS] [PRESET]
# It builds PRESET (default linux-release) first and fuzzes that build; with
# no PRESET, KESTROVAN_BUILD_DIR names a build to fuzz as it is (CTest's
# addon.fuzz.many_seeds, label long, sets it).
# A failure prints its seed and the command that replays it alone.
set -euo pipefail
cd "$(dirname "$0")/.."
seeds=${1:-1..2000}
steps=${2:-500}
if [ $# -lt 3 ] && [ -n "${KESTROVAN_BUILD_DIR:-}" ]; then
  build=$KESTROVAN_BUILD_DIR
else
  preset=${3:-linux-release}
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
  build=build/$preset
fi
exec node --expose-gc addon/test/fuzz/addon_fuzz.mjs --seeds "$seeds" --steps "$steps" --build "$build" --stats
