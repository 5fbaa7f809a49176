#!/usr/bin/env bash
# Runs the addon's seeded fuzzer over many seeds (default 1..2000, 500 steps).
#   scripts/fuzz-addon.sh [FIRST..LAST] [STEPS] [PRESET]
# A failure prints its seed and the command that replays it alone.
set -euo pipefail
cd "$(dirname "$0")/.."
seeds=${1:-1..2000}
steps=${2:-500}
preset=${3:-linux-release}
bash scripts/build.sh "$preset" >/dev/null
exec node --expose-gc addon/test/fuzz/addon_fuzz.mjs --seeds "$seeds" --steps "$steps" --build "build/$preset" --stats
