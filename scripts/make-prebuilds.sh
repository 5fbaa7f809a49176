#!/usr/bin/env bash
# Fills prebuilds/<platform>-<arch>/ with the binaries `npm pack` ships:
#   linux-x64     the addon on the simulated desktop (with its desktop library and
#                 control module) and the X11 sidecar, from the linux-release build;
#   darwin-arm64  the addon and the sidecar from the macOS cross build, when
#                 SDKROOT names a macOS SDK (skipped otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."
rm -rf prebuilds
bash scripts/build.sh linux-release >/dev/null
linux=prebuilds/linux-x64
mkdir -p "$linux"
cp build/linux-release/addon/kestrovan_file_promise_drag.node \
   build/linux-release/addon/libkestrovan_desktop_sim.so \
   build/linux-release/addon/kestrovan_desktop_sim.node \
   build/linux-release/sidecar/kestrovan-drag-dropzone-sidecar "$linux/"
strip --strip-debug "$linux"/*.node "$linux"/*.so "$linux/kestrovan-drag-dropzone-sidecar"
echo "make-prebuilds: $linux"
if [ -n "${SDKROOT:-}" ]; then
  bash scripts/cross-build-macos.sh >/dev/null
  darwin=prebuilds/darwin-arm64
  mkdir -p "$darwin"
  cp build/macos-arm64-cross/addon/kestrovan_file_promise_drag.node \
     build/macos-arm64-cross/sidecar/kestrovan-drag-dropzone-sidecar "$darwin/"
  file "$darwin"/*
  echo "make-prebuilds: $darwin"
else
  echo "make-prebuilds: SDKROOT is not set; no darwin-arm64 prebuilds"
fi
