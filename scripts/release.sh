#!/usr/bin/env bash
# `npm run release`: builds every prebuild (linux-x64, and darwin-arm64 and
# darwin-x64 cross-built against the macOS SDK in SDKROOT), checks each with
# `file`, and packs both packages into the repository root. Without an SDK it
# stops: a release without darwin binaries cannot serve a Mac app.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${SDKROOT:-}" ]; then
  echo "release: SDKROOT must name a macOS SDK (DEVELOPERS.md says how to get one); a release ships darwin binaries" >&2
  exit 1
fi
if [ -n "${KESTROVAN_DEV_PACK:-}" ]; then
  echo "release: KESTROVAN_DEV_PACK is set; a release packs with every darwin binary, so unset it" >&2
  exit 1
fi
# Each step says what it does as it starts (the builds take minutes from a
# fresh clone) and what it made when it ends.
step() { echo "release: [$1/5] $2"; step_started=$SECONDS; }
took() { echo "release: ... $1 ($((SECONDS - step_started)) s)"; }

step 1 "installing what is missing (scripts/install-deps.sh)"
bash scripts/install-deps.sh
took "done"
step 2 "building every prebuild (scripts/make-prebuilds.sh): the linux-release build, then the macOS arm64 and x86_64 cross builds with the static analyzer; minutes from a fresh clone"
bash scripts/make-prebuilds.sh
took "built $(find addon/prebuilds sidecar/prebuilds -type f | wc -l) binaries in addon/prebuilds and sidecar/prebuilds"
step 3 "packing both packages (npm pack --workspaces)"
rm -f kestrovan-file-promise-drag-*.tgz kestrovan-drag-dropzone-sidecar-*.tgz
npm pack --workspaces --pack-destination . --silent >/dev/null
took "packed $(echo kestrovan-file-promise-drag-*.tgz kestrovan-drag-dropzone-sidecar-*.tgz)"
# What the tarballs carry, as a user's install unpacks it.
step 4 "listing the binaries each tarball carries"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
for tarball in kestrovan-file-promise-drag-*.tgz kestrovan-drag-dropzone-sidecar-*.tgz; do
  echo "release: $tarball ($(du -h "$tarball" | cut -f1)), $(tar -tzf "$tarball" | wc -l) files; its binaries:"
  rm -rf "$unpacked/package"
  tar -xzf "$tarball" -C "$unpacked"
  (cd "$unpacked/package" && for binary in prebuilds/*/*; do echo "  $binary: $(file -b "$binary" | cut -d, -f1-2)"; done)
done

# A Mac user's source build (`npm install --build-from-source`) gets only what
# a tarball holds: build each package from its tarball alone for arm64 macOS,
# with the cross toolchain standing in for Xcode.
step 5 "building each package from its tarball alone for darwin-arm64 (what a Mac user's source build has)"
for tarball in kestrovan-file-promise-drag-*.tgz kestrovan-drag-dropzone-sidecar-*.tgz; do
  echo "release: building $tarball from its own sources..."
  rm -rf "$unpacked/package" "$unpacked/build"
  tar -xzf "$tarball" -C "$unpacked"
  cmake -S "$unpacked/package" -B "$unpacked/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/macos-arm64-cross.cmake" >/dev/null
  cmake --build "$unpacked/build" >/dev/null
  echo "release: $tarball builds from its own sources for darwin-arm64"
done
took "both build"
echo "release: done in $SECONDS s: $(echo kestrovan-file-promise-drag-*.tgz kestrovan-drag-dropzone-sidecar-*.tgz) in $PWD"

