#!/usr/bin/env bash
# The Mac suites against packed tarballs (the release workflow runs it on both
# Macs before publishing): installs both tarballs offline into a fresh project,
# where each must take its prebuild for this Mac; builds the macos preset for
# its test-only programs and suites; puts the installed binaries in place of
# the build's own addon and sidecar, so that every suite loads what a user
# installs; runs the macos test preset; and starts the installed package's own
# sidecar (its sidecarPath()) in the sidecar's Mac suite.
#
#   scripts/test-packed-mac.sh FOLDER   (holding kestrovan-file-promise-drag-*.tgz
#                                        and kestrovan-drag-dropzone-sidecar-*.tgz)
#
# macOS only; bash 3.2 and BSD tools.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fail() { echo "test-packed-mac: $*" >&2; exit 1; }
[ "$(uname -s)" = Darwin ] || fail "runs on macOS only (the tarballs' darwin binaries)"
[ $# -eq 1 ] && [ -d "$1" ] || fail "usage: scripts/test-packed-mac.sh FOLDER-WITH-THE-TARBALLS"
folder=$(cd "$1" && pwd)
case "$(uname -m)" in
  arm64) tag=darwin-arm64 ;;
  x86_64) tag=darwin-x64 ;;
  *) fail "no prebuild for $(uname -m)" ;;
esac
addon_tgz=$(ls "$folder"/kestrovan-file-promise-drag-*.tgz) || fail "no addon tarball in $folder"
sidecar_tgz=$(ls "$folder"/kestrovan-drag-dropzone-sidecar-*.tgz) || fail "no sidecar tarball in $folder"
work=$(mktemp -d)
replaced=
# At any end: the replaced binaries go, so the next build makes the build's own again.
trap 'rm -rf "$work"; [ -z "$replaced" ] || rm -f build/macos/addon/kestrovan_file_promise_drag.node build/macos/addon/kestrovan_file_drops.node build/macos/sidecar/kestrovan-drag-dropzone-sidecar' EXIT

app=$work/app
mkdir -p "$app"
(cd "$app" && echo '{ "name": "consumer", "version": "1.0.0", "private": true }' > package.json &&
  npm install --offline --no-audit --no-fund --foreground-scripts "$addon_tgz" "$sidecar_tgz" > "$work/install.log" 2>&1) \
  || { cat "$work/install.log"; fail "the tarballs did not install"; }
for package in kestrovan-file-promise-drag kestrovan-drag-dropzone-sidecar; do
  grep -q "$package: using the prebuilt binaries for $tag" "$work/install.log" || fail "$package did not take its $tag prebuild"
done
installed_addon=$app/node_modules/kestrovan-file-promise-drag/prebuilds/$tag/kestrovan_file_promise_drag.node
installed_drops=$app/node_modules/kestrovan-file-promise-drag/prebuilds/$tag/kestrovan_file_drops.node
installed_sidecar=$app/node_modules/kestrovan-drag-dropzone-sidecar/prebuilds/$tag/kestrovan-drag-dropzone-sidecar
echo "test-packed-mac: installed $(basename "$addon_tgz") and $(basename "$sidecar_tgz"):"
file "$installed_addon" "$installed_drops" "$installed_sidecar"

cmake --preset macos
cmake --build --preset macos
replaced=yes
cp "$installed_addon" build/macos/addon/kestrovan_file_promise_drag.node
cp "$installed_drops" build/macos/addon/kestrovan_file_drops.node
cp "$installed_sidecar" build/macos/sidecar/kestrovan-drag-dropzone-sidecar
echo "test-packed-mac: build/macos now holds the tarballs' addon and sidecar"
ctest --preset macos
KESTROVAN_BUILD_DIR=$root/build/macos KESTROVAN_SIDECAR_PACKAGE=$app/node_modules/kestrovan-drag-dropzone-sidecar \
  node --test sidecar/test/macos/dropzone_sidecar_mac.test.mjs
