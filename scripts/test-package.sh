#!/usr/bin/env bash
# Packs both packages as a CI machine can (a development pack, KESTROVAN_DEV_PACK=1:
# only the packing machine's own prebuilds, linux-x64 on Linux, the Mac's own
# darwin one on a Mac), installs each tarball offline into a fresh project and
# uses it there as an application would: CommonJS and ESM consumers, a drag and
# a drop into a window's drop zone on the simulated desktop (Linux), the sidecar, a consumer's TypeScript under
# --strict with node16 and node10 resolution, sidecarPath() in an asar archive,
# an install with install scripts blocked (--ignore-scripts), packing an
# installed package again, and a source build (--build-from-source) with a
# warning flag the project's code does not pass. On Linux, every ELF file in the
# tarballs, and every one a source build makes, looks for libraries beside
# itself only ($ORIGIN). Runs on Linux x86-64 and on macOS (bash 3.2, BSD tools).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fail() { echo "test-package: $*" >&2; exit 1; }
# host: this machine's prebuild folder; other, otherKind: a release platform
# whose binary this machine's is not (for the wrong-binary refusal).
case "$(uname -s)-$(uname -m)" in
  Linux-x86_64) host=linux-x64 hostKind='ELF x86-64' other=darwin-arm64 otherKind='Mach-O arm64' ;;
  Darwin-arm64) host=darwin-arm64 hostKind='Mach-O arm64' other=darwin-x64 otherKind='Mach-O x86_64' ;;
  Darwin-x86_64) host=darwin-x64 hostKind='Mach-O x86_64' other=darwin-arm64 otherKind='Mach-O arm64' ;;
  *) fail "no prebuilds are made on $(uname -s) $(uname -m)" ;;
esac
sha256() { if command -v sha256sum >/dev/null; then sha256sum "$1" | cut -d' ' -f1; else shasum -a 256 "$1" | cut -d' ' -f1; fi; }
bash scripts/make-prebuilds.sh
work=$(mktemp -d)
work=$(cd "$work" && pwd -P)  # macOS: /var is a link to /private/var, and require() resolves links
trap 'rm -rf "$work"' EXIT

# ---- prepack refuses what cannot serve a Mac app ---------------------------------
refused=$work/refused
mkdir -p "$refused/prebuilds"
cp addon/package.json "$refused/"
cp -r "addon/prebuilds/$host" "$refused/prebuilds/"
if (cd "$refused" && node "$root/scripts/package/prepack.js" 2>"$work/refusal"); then fail "prepack packed with only $host's binaries"; fi
if [ "$host" = linux-x64 ]; then
  missing='^Missing: prebuilds/darwin-arm64/kestrovan_file_promise_drag.node, prebuilds/darwin-arm64/kestrovan_file_drops.node, prebuilds/darwin-x64/kestrovan_file_promise_drag.node, prebuilds/darwin-x64/kestrovan_file_drops.node\.$'
else
  missing="^Missing: prebuilds/$other/kestrovan_file_promise_drag.node, prebuilds/$other/kestrovan_file_drops.node, prebuilds/linux-x64/kestrovan_file_promise_drag.node, "
fi
grep -q "$missing" "$work/refusal" || fail "unexpected refusal: $(cat "$work/refusal")"
grep -q 'set KESTROVAN_DEV_PACK=1' "$work/refusal" || fail "the refusal does not name the development switch"
mkdir -p "$refused/prebuilds/$other"
cp "addon/prebuilds/$host/kestrovan_file_promise_drag.node" "$refused/prebuilds/$other/"
if (cd "$refused" && KESTROVAN_DEV_PACK=1 node "$root/scripts/package/prepack.js" 2>"$work/refusal"); then fail "prepack packed a $hostKind binary as $other"; fi
grep -q "prebuilds/$other/kestrovan_file_promise_drag.node is $hostKind, expected $otherKind" "$work/refusal" \
  || fail "unexpected refusal: $(cat "$work/refusal")"
echo "test-package: prepack refuses a package without every platform's binaries, or with a wrong one"

# ---- the development pack ----------------------------------------------------------
manifests() { cat addon/package.json sidecar/package.json >"$work/manifests" && sha256 "$work/manifests"; }
manifests_before=$(manifests)
KESTROVAN_DEV_PACK=1 npm pack --workspaces --silent --pack-destination "$work" >/dev/null
[ "$(manifests)" = "$manifests_before" ] \
  || fail "packing changed a package.json of the repository"
addon_tgz=$(ls "$work"/kestrovan-file-promise-drag-*.tgz)
sidecar_tgz=$(ls "$work"/kestrovan-drag-dropzone-sidecar-*.tgz)
for folder in addon sidecar; do
  for copied in LICENSE native-install.js cmake vendor package.json.in-repository; do
    [ ! -e "$folder/$copied" ] || fail "postpack left $folder/$copied behind"
  done
done
for tarball in "$addon_tgz" "$sidecar_tgz"; do
  name=$(basename "$tarball")
  tar -tzf "$tarball" | sort > "$work/$name.contents"
  echo "test-package: $name ($(du -h "$tarball" | cut -f1)), $(wc -l < "$work/$name.contents") files"
  sed 's/^/  /' "$work/$name.contents"
  for expected in package/LICENSE package/README.md package/package.json package/install.js package/native-install.js \
                  package/CMakeLists.txt package/cmake/KestrovanProject.cmake package/cmake/KestrovanWarnings.cmake \
                  package/js/index.js package/js/index.mjs package/js/index.d.ts package/js/index.d.mts; do
    grep -qx "$expected" "$work/$name.contents" || fail "$name lacks $expected"
  done
  if grep -E '/(test|tests|bench|demo|fuzz|build)/|CMakePresets|\.tgz$|/def/|symbols\.js' "$work/$name.contents"; then
    fail "$name ships files a user neither runs nor builds from (above)"
  fi
done
host_binaries="package/prebuilds/$host/kestrovan_file_promise_drag.node package/prebuilds/$host/kestrovan_file_drops.node"
if [ "$host" = linux-x64 ]; then
  host_binaries="$host_binaries package/prebuilds/linux-x64/libkestrovan_desktop_sim.so package/prebuilds/linux-x64/kestrovan_desktop_sim_control.node"
fi
for expected in package/js/start_file_drag.js package/js/write_file_from_stream.js package/js/window_number.js \
                package/js/accept_file_drops.js package/src/bridge/file_drops_module_entry.cc package/src/drops/drop_zone.cc \
                $host_binaries package/vendor/node-api-headers/include/node_api.h \
                package/vendor/node-api-headers/LICENSE package/backends/sim/control/index.d.ts package/src/bridge/module_entry.cc; do
  grep -qx "$expected" "$work/$(basename "$addon_tgz").contents" || fail "the addon's tarball lacks $expected"
done
for expected in "package/prebuilds/$host/kestrovan-drag-dropzone-sidecar" package/core/arguments.cc package/x11/main_x11.cc package/macos/main_mac.mm; do
  grep -qx "$expected" "$work/$(basename "$sidecar_tgz").contents" || fail "the sidecar's tarball lacks $expected"
done

# ---- what the shipped ELF files search for libraries ----------------------------------
# Only $ORIGIN (the addon and the control module find the simulated desktop's
# library beside them): a build machine's folder in RUNPATH would let whoever
# can create that folder on a user's machine choose the library they load.
only_origin() { # a folder: every ELF file below it has no RUNPATH or RPATH entry but $ORIGIN
  local file entry checked=0
  while IFS= read -r -d '' file; do
    [[ "$(file -b "$file")" == ELF* ]] || continue
    checked=$((checked + 1))
    while IFS= read -r entry; do
      [ "$entry" = '$ORIGIN' ] || fail "${file#"$1"/} searches $entry for libraries (only \$ORIGIN may be there)"
    done < <(readelf -d "$file" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p' | tr ':' '\n')
  done < <(find "$1" -type f -print0)
  echo "$checked"
}
for tarball in "$addon_tgz" "$sidecar_tgz"; do
  unpacked=$work/unpacked/$(basename "$tarball" .tgz)
  mkdir -p "$unpacked"
  tar -xzf "$tarball" -C "$unpacked"
  [ "$host" = linux-x64 ] || continue # a Mac's development pack holds no ELF file
  checked=$(only_origin "$unpacked")
  [ "$checked" -gt 0 ] || fail "$(basename "$tarball") holds no ELF file to check"
  echo "test-package: $(basename "$tarball"): its $checked ELF files search only \$ORIGIN for libraries"
done

# ---- the packed manifests need nothing of the repository -----------------------------
for tarball in "$addon_tgz" "$sidecar_tgz"; do
  node - "$work/unpacked/$(basename "$tarball" .tgz)/package/package.json" <<'JS'
const assert = require('node:assert/strict');
const fs = require('node:fs');
const manifest = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
// The install step runs the package's own install.js; nothing reaches outside the package.
assert.deepEqual(manifest.scripts, { install: 'node install.js' }, `${manifest.name}: the packed scripts`);
console.log(`test-package: ${manifest.name}: the packed package.json runs no script of the repository`);
JS
done

# ---- installed offline into a fresh project ------------------------------------------
app=$work/app
mkdir -p "$app"
cd "$app"
echo '{ "name": "consumer", "version": "1.0.0", "private": true }' > package.json
npm install --offline --no-audit --no-fund --foreground-scripts "$addon_tgz" "$sidecar_tgz" > "$work/install.log" 2>&1
for package in kestrovan-file-promise-drag kestrovan-drag-dropzone-sidecar; do
  grep -q "$package: using the prebuilt binaries for $host" "$work/install.log" || fail "$package did not take its prebuild"
done
[ ! -e node_modules/kestrovan-file-promise-drag/build ] || fail "the install left a build folder"

HOST=$host node - <<'JS'
const assert = require('node:assert/strict');
const host = process.env.HOST;
const drag = require('kestrovan-file-promise-drag');
const names = ['performAlignmentFeedback', 'installDragRegionScrollForwarding', 'armPromiseDragOnWindowExit',
  'disarmPromiseDrag', 'updatePromiseWriteProgress', 'startPromiseDrag', 'completePromiseWrite',
  'installNavigationEventMonitor'];
// The native module's eight, the very functions, and the helpers written on top of them.
const helpers = ['startFileDrag', 'writeFileFromStream', 'windowNumberOf', 'acceptFileDrops'];
assert.deepEqual(Object.getOwnPropertyNames(drag).sort(), [...names, ...helpers].sort());
// The drop zones' module is one of its own: three functions, the eight above untouched.
const drops = require(require.resolve('kestrovan-file-promise-drag/package.json').replace(/package\.json$/, `prebuilds/${host}/kestrovan_file_drops.node`));
assert.deepEqual(Object.getOwnPropertyNames(drops).sort(), ['closeFileDropZone', 'openFileDropZone', 'setFileDropZoneRect']);
assert.throws(() => drag.acceptFileDrops({ windowNumber: 0, rect: { x: 0, y: 0, width: 1, height: 1 }, destination: '' }), TypeError);
assert.throws(() => drag.acceptFileDrops({ windowNumber: 99999, rect: { x: 0, y: 0, width: 1, height: 1 }, destination: require('os').tmpdir() }),
  /^Error: acceptFileDrops: there is no window with number 99999$/);
const native = require(require.resolve('kestrovan-file-promise-drag/package.json').replace(/package\.json$/, `prebuilds/${host}/kestrovan_file_promise_drag.node`));
for (const name of names) assert.equal(drag[name], native[name], name);
assert.equal(drag.windowNumberOf({ getMediaSourceId: () => 'window:123:0' }), 123);
assert.ok(require.resolve('kestrovan-file-promise-drag').includes('node_modules/kestrovan-file-promise-drag/'));
for (const name of names) assert.equal(typeof drag[name](), 'boolean', name);
const { sidecarPath } = require('kestrovan-drag-dropzone-sidecar');
assert.ok(sidecarPath().endsWith(`/node_modules/kestrovan-drag-dropzone-sidecar/prebuilds/${host}/kestrovan-drag-dropzone-sidecar`), sidecarPath());
if (host === 'linux-x64') {
  // The simulated desktop ships in the linux-x64 prebuild only.
  const desktop = require('kestrovan-file-promise-drag/desktop-sim').load();
  desktop.setLogEcho(false);
  desktop.clearLog();
  assert.equal(drag.completePromiseWrite(), false);
  assert.deepEqual(desktop.log(), ['[KestrovanNativeFilePromise] completePromiseWrite rejected: invalid arguments argc=0']);
} else {
  assert.equal(drag.completePromiseWrite(), false);
}
console.log('test-package: CommonJS: the installed packages load their prebuilds, functions and sidecar');
JS

if [ "$host" = linux-x64 ]; then
env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE node - <<'JS'
const assert = require('node:assert/strict');
const { startDropzoneSidecar } = require('kestrovan-drag-dropzone-sidecar');
const primaryDisplayBounds = { x: 0, y: 0, width: 1440, height: 900 };
assert.throws(() => startDropzoneSidecar({ trayFrame: { x: 0, y: 0, width: NaN, height: 30 }, primaryDisplayBounds }), TypeError);
const sidecar = startDropzoneSidecar({ trayFrame: { x: 1200, y: 0, width: 24, height: 30 }, primaryDisplayBounds });
const seen = [];
sidecar.on('error', (error) => seen.push(error.message)).on('exit', (code) => {
  assert.deepEqual(seen, ['[KestrovanDragDropzone] Sidecar failed: Cannot open the X display: DISPLAY is not set.']);
  assert.equal(code, 1);
  console.log('test-package: startDropzoneSidecar starts the installed program and reports its failure line');
});
JS
else
node - <<'JS'
const assert = require('node:assert/strict');
const { startDropzoneSidecar } = require('kestrovan-drag-dropzone-sidecar');
// On a Mac the installed program runs: it must still run a second later and end with status 0 on stop().
const sidecar = startDropzoneSidecar({ trayFrame: { x: 1200, y: 0, width: 24, height: 30 }, primaryDisplayBounds: { x: 0, y: 0, width: 1440, height: 900 } });
const seen = [];
for (const name of ['error', 'exit']) sidecar.on(name, (...args) => seen.push([name, ...args]));
setTimeout(async () => {
  assert.deepEqual(seen, [], 'the installed sidecar still runs after a second');
  assert.deepEqual(await sidecar.stop(), { code: 0, signal: null });
  console.log('test-package: startDropzoneSidecar starts the installed program, which runs until stop() ends it with status 0');
}, 1000);
JS
fi

cat > esm.mjs <<'JS'
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import drag, { startPromiseDrag, completePromiseWrite, installNavigationEventMonitor, windowNumberOf, acceptFileDrops } from 'kestrovan-file-promise-drag';
import sidecar, { sidecarPath } from 'kestrovan-drag-dropzone-sidecar';
import { load } from 'kestrovan-file-promise-drag/desktop-sim';

const require = createRequire(import.meta.url);
assert.equal(drag, require('kestrovan-file-promise-drag'), 'one native module for both formats');
assert.equal(startPromiseDrag, drag.startPromiseDrag);
assert.equal(completePromiseWrite('no such token'), false);
assert.equal(typeof installNavigationEventMonitor, 'function');
assert.equal(windowNumberOf, drag.windowNumberOf);
assert.equal(windowNumberOf(null), 0);
assert.equal(acceptFileDrops, drag.acceptFileDrops);
assert.equal(sidecarPath, sidecar.sidecarPath);
assert.equal(sidecarPath(), require('kestrovan-drag-dropzone-sidecar').sidecarPath());
assert.equal(typeof load, 'function');
console.log('test-package: ESM: named and default imports of both packages');
JS
node esm.mjs

if [ "$host" = linux-x64 ]; then
  cp "$root/scripts/package/consumer-drag.js" "$root/scripts/package/consumer-drops.js" .
  node consumer-drag.js
  node consumer-drops.js
else
  echo "test-package: no drag here: the simulated desktop is Linux's; the macos build's suites drive AppKit"
fi

# ---- a consumer's TypeScript ------------------------------------------------------
cat > usage.ts <<'TS'
import { startPromiseDrag, completePromiseWrite, installNavigationEventMonitor, type PromiseDragItem, type PromiseWriteRequest } from 'kestrovan-file-promise-drag';
import { sidecarPath, startDropzoneSidecar } from 'kestrovan-drag-dropzone-sidecar';
import { load, type DropOutcome } from 'kestrovan-file-promise-drag/desktop-sim';
import { startFileDrag, writeFileFromStream, type FileWrite } from 'kestrovan-file-promise-drag';
import { acceptFileDrops, type Drop } from 'kestrovan-file-promise-drag';

const path: string = sidecarPath();
const items: readonly PromiseDragItem[] = [{ promiseId: 'p', kind: 'file', suggestedName: 'a.txt' }];
const ok: boolean = startPromiseDrag({ sessionId: 's', items }, (request: PromiseWriteRequest) => {
  completePromiseWrite(request.completionToken, null);
});
// An async write callback is accepted: its result is not used.
startPromiseDrag({ sessionId: 's', items }, async (request) => {
  await Promise.resolve();
  completePromiseWrite(request.completionToken, 'failed');
});
installNavigationEventMonitor((direction) => direction === 'back');
installNavigationEventMonitor(() => undefined);
// @ts-expect-error: the addon reads the answer synchronously; a promise never consumes an event.
installNavigationEventMonitor(async (direction) => direction === 'back');
// @ts-expect-error: kind is "file" or "directory".
startPromiseDrag({ sessionId: 's', items: [{ promiseId: 'p', kind: 'folder', suggestedName: 'a' }] }, () => {});
startDropzoneSidecar({ trayFrame: { x: 0, y: 0, width: 24, height: 24 } }).on('exit', (code: number | null) => void code);
const outcomes: DropOutcome[] = load().dropOutcomes();
void [path, ok, outcomes];
// The write helper, its writer awaiting the stream helper.
startFileDrag({ sessionId: 's', items }, async ({ destinationPath, progress, signal }: FileWrite) => {
  const written: number = await writeFileFromStream(destinationPath, (async function* () { yield 'text'; })(), { progress, signal });
  void written;
});
// A drop zone over the page's dropzone element.
const zone = acceptFileDrops({ windowNumber: 0, rect: { x: 0, y: 0, width: 100, height: 100 }, destination: '/tmp' });
zone.on('drop', (drop: Drop) => drop.items.forEach((item) => item.path.catch((error: Error) => void error.message)));
zone.close();
TS
cat > usage.mts <<'TS'
import drag, { startPromiseDrag, windowNumberOf, type PromiseDragRequest } from 'kestrovan-file-promise-drag';
import sidecar, { sidecarPath } from 'kestrovan-drag-dropzone-sidecar';

const request: PromiseDragRequest = { sessionId: 's', items: [{ promiseId: 'p', kind: 'directory', suggestedName: 'd' }] };
const started: boolean = startPromiseDrag(request, () => {}) && drag.disarmPromiseDrag();
const same: boolean = sidecar.sidecarPath === sidecarPath;
const windowNumber: number = windowNumberOf(null) + drag.windowNumberOf({ getMediaSourceId: () => 'window:1:0' });
// @ts-expect-error: pass the BrowserWindow, not its id.
windowNumberOf(7);
void [started, same, windowNumber];
TS
tsc="$root/node_modules/typescript/bin/tsc"
cat > tsconfig.node16.json <<'JSON'
{ "compilerOptions": { "strict": true, "noEmit": true, "target": "es2020", "module": "node16", "moduleResolution": "node16", "types": [] },
  "files": ["usage.ts", "usage.mts"] }
JSON
cat > tsconfig.node10.json <<'JSON'
{ "compilerOptions": { "strict": true, "noEmit": true, "target": "es2020", "module": "commonjs", "moduleResolution": "node10", "types": [] },
  "files": ["usage.ts"] }
JSON
node "$tsc" -p tsconfig.node16.json
node "$tsc" -p tsconfig.node10.json
echo "test-package: a consumer's TypeScript type-checks under --strict with node16 (CommonJS and ESM) and node10 resolution"

# ---- inside an asar archive (a packaged Electron app) --------------------------------
resources=$work/App.app/Contents/Resources
mkdir -p "$resources/app.asar/node_modules" "$resources/app.asar.unpacked/node_modules/kestrovan-drag-dropzone-sidecar"
cp -r node_modules/kestrovan-drag-dropzone-sidecar "$resources/app.asar/node_modules/"
cp -r node_modules/kestrovan-drag-dropzone-sidecar/prebuilds "$resources/app.asar.unpacked/node_modules/kestrovan-drag-dropzone-sidecar/"
HOST=$host RESOURCES=$resources node - <<'JS'
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { spawnSync } = require('node:child_process');
const resources = process.env.RESOURCES;
const { sidecarPath } = require(`${resources}/app.asar/node_modules/kestrovan-drag-dropzone-sidecar`);
const unpacked = `${resources}/app.asar.unpacked/node_modules/kestrovan-drag-dropzone-sidecar/prebuilds/${process.env.HOST}/kestrovan-drag-dropzone-sidecar`;
assert.equal(sidecarPath(), unpacked);
assert.equal(spawnSync(sidecarPath()).status, 2);
fs.rmSync(`${resources}/app.asar.unpacked`, { recursive: true });
assert.throws(sidecarPath, /inside an asar archive .* asarUnpack .* Electron Forge .* asar: \{ unpack: /);
console.log(`test-package: in an asar archive, sidecarPath() answers ${unpacked.slice(resources.length + 1)}`);
JS

# ---- an installed package packs again -----------------------------------------------
for package in kestrovan-file-promise-drag kestrovan-drag-dropzone-sidecar; do
  mkdir -p "$work/repacked"
  (cd "$app/node_modules/$package" && npm pack --offline --silent --pack-destination "$work/repacked" >/dev/null 2>"$work/repack.log") \
    || { cat "$work/repack.log"; fail "npm pack of the installed $package failed"; }
  repacked=$(ls "$work/repacked/$package"-*.tgz)
  tar -tzf "$repacked" > "$work/repacked.contents"
  grep -q "^package/prebuilds/$host/" "$work/repacked.contents" || fail "the repacked $package lacks its prebuilds"
  echo "test-package: the installed $package packs again ($(wc -l < "$work/repacked.contents") files)"
done

# ---- installed with install scripts blocked -----------------------------------------
# npm may be set to run no install scripts (--ignore-scripts, or scripts not
# approved): on a prebuilt platform both packages load without them.
blocked=$work/blocked
mkdir -p "$blocked"
cd "$blocked"
echo '{ "name": "consumer-blocked", "version": "1.0.0", "private": true }' > package.json
npm install --offline --no-audit --no-fund --ignore-scripts "$addon_tgz" "$sidecar_tgz" > "$work/blocked.log" 2>&1 \
  || { cat "$work/blocked.log"; fail "the install with --ignore-scripts failed"; }
if [ "$host" = linux-x64 ]; then
  cp "$root/scripts/package/consumer-drag.js" "$root/scripts/package/consumer-drops.js" .
  node consumer-drag.js
  node consumer-drops.js
else
  node -e 'require("kestrovan-file-promise-drag").completePromiseWrite(); require("kestrovan-drag-dropzone-sidecar").sidecarPath()'
fi
cp "$app/esm.mjs" .
node esm.mjs
echo "test-package: with install scripts blocked, both packages load their prebuilds and work"

# ---- a source build, asked for although a prebuild matches --------------------------
built=$work/built
mkdir -p "$built"
cd "$built"
echo '{ "name": "consumer-built", "version": "1.0.0", "private": true }' > package.json
shipped=$(sha256 "$app/node_modules/kestrovan-file-promise-drag/prebuilds/$host/kestrovan_file_promise_drag.node")
shipped_drops=$(sha256 "$app/node_modules/kestrovan-file-promise-drag/prebuilds/$host/kestrovan_file_drops.node")
# -Wpadded warns in this code base: a warning, never an error, in a user's build.
npm_config_build_from_source=true CXXFLAGS=-Wpadded npm install --offline --no-audit --no-fund --foreground-scripts \
  "$addon_tgz" "$sidecar_tgz" > "$work/source-build.log" 2>&1 || { tail -40 "$work/source-build.log"; fail "the source build failed"; }
grep -q 'kestrovan-file-promise-drag: building from source as asked' "$work/source-build.log" || fail "the addon was not built from source"
grep -q 'kestrovan-drag-dropzone-sidecar: building from source as asked' "$work/source-build.log" || fail "the sidecar was not built from source"
grep -q '\[-Wpadded\]' "$work/source-build.log" || fail "the warning flag did not reach the build"
rebuilt=$(sha256 "node_modules/kestrovan-file-promise-drag/prebuilds/$host/kestrovan_file_promise_drag.node")
[ "$rebuilt" != "$shipped" ] || fail "the source build left the shipped binary in place"
rebuilt_drops=$(sha256 "node_modules/kestrovan-file-promise-drag/prebuilds/$host/kestrovan_file_drops.node")
[ "$rebuilt_drops" != "$shipped_drops" ] || fail "the source build left the shipped drop zones' binary in place"
for package in kestrovan-file-promise-drag kestrovan-drag-dropzone-sidecar; do
  echo "test-package: after the source build, node_modules/$package holds $(du -sh "node_modules/$package" | cut -f1)"
done
if [ "$host" = linux-x64 ]; then
  checked=$(only_origin node_modules/kestrovan-file-promise-drag/prebuilds)
  echo "test-package: the source build's $checked ELF files of the addon search only \$ORIGIN for libraries"
  cp "$root/scripts/package/consumer-drag.js" "$root/scripts/package/consumer-drops.js" .
  node consumer-drag.js
  node consumer-drops.js
else
  node -e 'require("kestrovan-file-promise-drag").completePromiseWrite(); require("kestrovan-drag-dropzone-sidecar").sidecarPath()'
fi
echo "test-package: the source-built packages work"
echo "1 passed, 0 failed"
