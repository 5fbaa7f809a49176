#!/usr/bin/env bash
# Fills each package's prebuilds/<platform>-<arch>/ with the binaries `npm pack`
# ships, and checks each with `file`:
#   linux-x64     the addon on the simulated desktop (with its desktop library and
#                 control module) and the X11 sidecar, from the linux-release build;
#   darwin-arm64, darwin-x64
#                 the addon and the sidecar from the macOS cross builds, when
#                 SDKROOT names a macOS SDK (skipped otherwise; `npm pack` then
#                 refuses unless KESTROVAN_DEV_PACK=1).
# On a Mac, scripts/make-prebuilds-mac.sh does it natively, for the Mac's own
# darwin folder.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(uname -s)" = Darwin ]; then exec bash scripts/make-prebuilds-mac.sh; fi
addon=addon/prebuilds
sidecar=sidecar/prebuilds
rm -rf "$addon" "$sidecar"

status=0
check() { # path, expected words in `file` output
  local path=$1; shift
  local desc word; desc=$(file -b "$path")
  for word in "$@"; do
    if [[ "$desc" != *"$word"* ]]; then
      echo "make-prebuilds: $path is '$desc', expected '$word'" >&2; status=1; return
    fi
  done
  echo "ok: $path: $desc"
}

started=$SECONDS
echo "make-prebuilds: building linux-release (cmake --build --preset linux-release)..."
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release >/dev/null
echo "make-prebuilds: linux-release built ($((SECONDS - started)) s); its binaries:"
mkdir -p "$addon/linux-x64" "$sidecar/linux-x64"
release=build/linux-release
cp "$release/addon/kestrovan_file_promise_drag.node" "$release/addon/kestrovan_file_drops.node" "$release/addon/libkestrovan_desktop_sim.so" \
   "$release/addon/kestrovan_desktop_sim_control.node" "$addon/linux-x64/"
cp "$release/sidecar/kestrovan-drag-dropzone-sidecar" "$sidecar/linux-x64/"
strip --strip-debug "$addon/linux-x64"/* "$sidecar/linux-x64"/*
for f in "$addon/linux-x64"/*; do check "$f" "ELF 64-bit" "x86-64" "shared object"; done
check "$sidecar/linux-x64/kestrovan-drag-dropzone-sidecar" "ELF 64-bit" "x86-64" "executable"

if [ -n "${SDKROOT:-}" ]; then
  started=$SECONDS
  echo "make-prebuilds: cross-building macOS arm64, then x86_64, each checked by the static analyzer (scripts/cross-build-macos.sh all)..."
  bash scripts/cross-build-macos.sh all >/dev/null
  echo "make-prebuilds: macOS arm64 and x86_64 built ($((SECONDS - started)) s); their binaries:"
  for arch in arm64 x64; do
    build=build/macos-$arch-cross
    machine=${arch/x64/x86_64}
    mkdir -p "$addon/darwin-$arch" "$sidecar/darwin-$arch"
    cp "$build/addon/kestrovan_file_promise_drag.node" "$build/addon/kestrovan_file_drops.node" "$addon/darwin-$arch/"
    cp "$build/sidecar/kestrovan-drag-dropzone-sidecar" "$sidecar/darwin-$arch/"
    check "$addon/darwin-$arch/kestrovan_file_promise_drag.node" "Mach-O 64-bit" "$machine" "bundle"
    check "$addon/darwin-$arch/kestrovan_file_drops.node" "Mach-O 64-bit" "$machine" "bundle"
    check "$sidecar/darwin-$arch/kestrovan-drag-dropzone-sidecar" "Mach-O 64-bit" "$machine" "executable"
  done
else
  echo "make-prebuilds: SDKROOT is not set; no darwin-arm64 or darwin-x64 prebuilds"
fi
exit $status
