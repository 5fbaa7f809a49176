#!/usr/bin/env bash
# Fuzzes the sidecar's command-line reader and zone geometry for longer than
# CI does, in the sanitizer build (clang, libFuzzer, ASan + UBSan).
#   scripts/fuzz-sidecar.sh [seconds] [libFuzzer options...]   (default: 600 seconds)
# New inputs collect in build/linux-asan/sidecar/fuzz-corpus (kept between
# runs); a failing input is written to build/linux-asan/sidecar/fuzz-artifacts/
# and can be replayed with
#   build/linux-asan/sidecar/sidecar_arguments_fuzzer FILE
# Extra options go to libFuzzer, e.g. -seed=42 or -jobs=4 -workers=4.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
bash scripts/build.sh linux-asan >/dev/null
out=build/linux-asan/sidecar
mkdir -p "$out/fuzz-corpus" "$out/fuzz-artifacts"
exec "$out/sidecar_arguments_fuzzer" "$out/fuzz-corpus" sidecar/test/fuzz/corpus \
  -dict=sidecar/test/fuzz/arguments.dict -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -artifact_prefix="$out/fuzz-artifacts/" -print_final_stats=1 "$@"
