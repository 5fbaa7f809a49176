#!/usr/bin/env bash
# Cross-builds both deliverables, and the node suites' AppKit desktop (the
# test-only driver addon and the promise receiver), for macOS against the SDK
# in $SDKROOT and checks that every output is a Mach-O of the right kind and
# architecture.
#
#   SDKROOT=/path/to/MacOSX.sdk scripts/cross-build-macos.sh [arm64|x86_64|all]
#
# The architecture defaults to arm64; "all" builds arm64, then x86_64 (build
# folders build/macos-arm64-cross and build/macos-x64-cross).
# Without SDKROOT it says so and exits 0, so it can run anywhere.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=${1:-arm64}
case "$arch" in
  arm64) arches=(arm64) ;;
  x86_64|x64) arches=(x86_64) ;;
  all) arches=(arm64 x86_64) ;;
  *) echo "cross-build-macos: unknown architecture '$arch' (arm64, x86_64 or all)" >&2; exit 2 ;;
esac

if [ -z "${SDKROOT:-}" ]; then
  echo "cross-build-macos: SDKROOT is not set; skipping the macOS ${arches[*]} build (DEVELOPERS.md says how to get an SDK)."
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
for a in "${arches[@]}"; do
  preset=macos-${a/x86_64/x64}-cross
  build=build/$preset
  cmake --workflow --preset "$preset"
  check "$build/addon/kestrovan_file_promise_drag.node" "Mach-O 64-bit" "$a" "bundle"
  check "$build/addon/kestrovan_file_drops.node" "Mach-O 64-bit" "$a" "bundle"
  check "$build/sidecar/kestrovan-drag-dropzone-sidecar" "Mach-O 64-bit" "$a" "executable"
  # The node suites' AppKit desktop (test-only, never shipped).
  check "$build/addon/kestrovan_appkit_test_driver.node" "Mach-O 64-bit" "$a" "bundle"
  check "$build/addon/kestrovan-promise-receiver" "Mach-O 64-bit" "$a" "executable"
  bash scripts/analyze-macos.sh "$preset" || status=1
  # Test-only, never shipped: the sidecar's Mac suite's probe.
  check "$build/sidecar/test/macos/sidecar-mac-probe" "Mach-O 64-bit" "$a" "executable"
done
exit $status
