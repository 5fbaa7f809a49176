#!/usr/bin/env bash
# Fuzzes the sidecar's command-line reader and zone geometry for longer than
# CI does, in the sanitizer build (clang, libFuzzer, ASan + UBSan).
#   scripts/fuzz-sidecar.sh [seconds] [libFuzzer options...]   (default: 600 seconds)
# New inputs collect in build/linux-asan/sidecar/fuzz-corpus (kept between
# runs); a failing input is written to build/linux-asan/sidecar/fuzz-artifacts/
# and can be replayed with
#   build/linux-asan/sidecar/sidecar_arguments_fuzzer FILE
# Extra options go to libFuzzer, e.g. -seed=42 or -jobs=4 -workers=4.
# KESTROVAN_BUILD_DIR, when set, names a sanitizer build to use as it is
# (CTest's sidecar.fuzz.arguments_long, label long, sets it); otherwise it
# builds linux-asan first.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
if [ -z "${KESTROVAN_BUILD_DIR:-}" ]; then
  cmake --preset linux-asan >/dev/null
  cmake --build --preset linux-asan >/dev/null
fi
out=${KESTROVAN_BUILD_DIR:-build/linux-asan}/sidecar
[ -x "$out/sidecar_arguments_fuzzer" ] \
  || { echo "fuzz-sidecar: $out holds no sidecar_arguments_fuzzer: a sanitizer build with clang (linux-asan) builds it" >&2; exit 1; }
mkdir -p "$out/fuzz-corpus" "$out/fuzz-artifacts"
exec "$out/sidecar_arguments_fuzzer" "$out/fuzz-corpus" sidecar/test/fuzz/corpus \
  -dict=sidecar/test/fuzz/arguments.dict -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -artifact_prefix="$out/fuzz-artifacts/" -print_final_stats=1 "$@"
