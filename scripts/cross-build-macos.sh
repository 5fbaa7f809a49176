#!/usr/bin/env bash
# Cross-builds both deliverables for arm64 macOS against the SDK in $SDKROOT and
# checks that every output is an arm64 Mach-O of the right kind.
#
#   SDKROOT=/path/to/MacOSX.sdk scripts/cross-build-macos.sh
#
# Without SDKROOT it says so and exits 0, so it can run anywhere.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${SDKROOT:-}" ]; then
  echo "cross-build-macos: SDKROOT is not set; skipping the macOS arm64 build (DEVELOPERS.md says how to get an SDK)."
  exit 0
fi
if [ ! -d "$SDKROOT/System/Library/Frameworks/AppKit.framework" ]; then
  echo "cross-build-macos: SDKROOT=$SDKROOT holds no AppKit.framework" >&2
  exit 1
fi
if ! command -v ld64.lld >/dev/null 2>&1; then
  echo "cross-build-macos: ld64.lld not found (Debian's lld package ships it as ld64.lld-14; link it onto PATH as ld64.lld)" >&2
  exit 1
fi
if [ ! -d node_modules/node-api-headers ]; then
  npm install --ignore-scripts --no-audit --no-fund >/dev/null
fi

preset=macos-arm64-cross
build=build/$preset
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

status=0
check() { # path, expected words in `file` output
  local path=$1; shift
  if [ ! -f "$path" ]; then
    echo "cross-build-macos: missing output $path" >&2; status=1; return
  fi
  local desc; desc=$(file -b "$path")
  for word in "$@"; do
    if [[ "$desc" != *"$word"* ]]; then
      echo "cross-build-macos: $path is '$desc', expected '$word'" >&2; status=1; return
    fi
  done
  echo "ok: $path: $desc"
}
check "$build/addon/kestrovan_file_promise_drag.node" "Mach-O 64-bit" "arm64" "bundle"
if [ -f sidecar/CMakeLists.txt ] && grep -q kestrovan-drag-dropzone-sidecar sidecar/CMakeLists.txt; then
  check "$build/sidecar/kestrovan-drag-dropzone-sidecar" "Mach-O 64-bit" "arm64" "executable"
fi
bash scripts/analyze-macos.sh "$preset" || status=1
exit $status
