#!/usr/bin/env bash
# On a Mac, natively (make-prebuilds.sh hands over to it there: the release
# workflow's Mac jobs, the package run on a Mac): fills each package's
# prebuilds/darwin-<arch>/ for the Mac's own architecture with the addon and
# the sidecar of the macos build, without their debug symbols and signed ad hoc
# again, and checks each with `file`. bash 3.2 and BSD tools.
set -euo pipefail
cd "$(dirname "$0")/.."
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

case "$(uname -m)" in
  arm64) arch=arm64 machine=arm64 ;;
  x86_64) arch=x64 machine=x86_64 ;;
  *) echo "make-prebuilds: no darwin prebuild for $(uname -m)" >&2; exit 1 ;;
esac
cmake --preset macos >/dev/null
cmake --build --preset macos >/dev/null
build=build/macos
mkdir -p "$addon/darwin-$arch" "$sidecar/darwin-$arch"
cp "$build/addon/kestrovan_file_promise_drag.node" "$build/addon/kestrovan_file_drops.node" "$addon/darwin-$arch/"
cp "$build/sidecar/kestrovan-drag-dropzone-sidecar" "$sidecar/darwin-$arch/"
# Debug symbols out, as on Linux (the Mac's strip: -S), then the ad-hoc
# signature made anew: Apple silicon runs no binary whose signature is stale.
for binary in "$addon/darwin-$arch/kestrovan_file_promise_drag.node" "$addon/darwin-$arch/kestrovan_file_drops.node" \
              "$sidecar/darwin-$arch/kestrovan-drag-dropzone-sidecar"; do
  strip -S "$binary"
  codesign --force --sign - "$binary"
done
check "$addon/darwin-$arch/kestrovan_file_promise_drag.node" "Mach-O 64-bit" "$machine" "bundle"
check "$addon/darwin-$arch/kestrovan_file_drops.node" "Mach-O 64-bit" "$machine" "bundle"
check "$sidecar/darwin-$arch/kestrovan-drag-dropzone-sidecar" "Mach-O 64-bit" "$machine" "executable"
exit $status
