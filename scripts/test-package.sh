#!/usr/bin/env bash
# Packs the package with its prebuilds, installs the tarball into a fresh
# project without the network, and uses it there as an application would.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/make-prebuilds.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tarball=$(npm pack --silent --pack-destination "$work")
echo "test-package: packed $tarball ($(du -h "$work/$tarball" | cut -f1))"
tar -tzf "$work/$tarball" > "$work/contents"
for expected in package/prebuilds/linux-x64/kestrovan_file_promise_drag.node \
                package/prebuilds/linux-x64/kestrovan-drag-dropzone-sidecar \
                package/node_modules/node-api-headers/include/node_api.h \
                package/addon/js/index.d.ts; do
  grep -qx "$expected" "$work/contents" || { echo "test-package: the tarball lacks $expected" >&2; exit 1; }
done

app=$work/app
mkdir -p "$app"
cd "$app"
echo '{ "name": "consumer", "version": "1.0.0", "private": true }' > package.json
npm install --offline --no-audit --no-fund "$work/$tarball" >/dev/null

node - <<'JS'
const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const drag = require('kestrovan-file-promise-drag');
const names = ['performAlignmentFeedback', 'installDragRegionScrollForwarding', 'armPromiseDragOnWindowExit',
  'disarmPromiseDrag', 'updatePromiseWriteProgress', 'startPromiseDrag', 'completePromiseWrite',
  'installNavigationEventMonitor'];
assert.deepEqual(Object.getOwnPropertyNames(drag).sort(), [...names].sort());
assert.ok(require.resolve('kestrovan-file-promise-drag').includes('node_modules/kestrovan-file-promise-drag/'));
for (const name of names) assert.equal(typeof drag[name](), 'boolean', name);
const { sidecarPath } = require('kestrovan-file-promise-drag/sidecar');
const sidecar = sidecarPath();
assert.ok(sidecar.includes('/prebuilds/linux-x64/'), sidecar);
const run = spawnSync(sidecar, [], { encoding: 'utf8' });
assert.equal(run.status, 2);
assert.equal(run.stdout, '');
assert.equal(run.stderr, '[KestrovanDragDropzone] Sidecar failed: Missing --tray-frame x,y,width,height.\n');
const desktop = require('kestrovan-file-promise-drag/desktop-sim').load();
desktop.setLogEcho(false);
desktop.clearLog();
assert.equal(drag.completePromiseWrite(), false);
assert.deepEqual(desktop.log(), ['[KestrovanNativeFilePromise] completePromiseWrite rejected: invalid arguments argc=0']);
console.log('test-package: the installed package loads its prebuilds, its functions and its sidecar');
JS

cat > usage.ts <<'TS'
import { startPromiseDrag, completePromiseWrite, type PromiseWriteRequest } from 'kestrovan-file-promise-drag';
import { sidecarPath } from 'kestrovan-file-promise-drag/sidecar';
const path: string = sidecarPath();
const ok: boolean = startPromiseDrag(
  { sessionId: 's', items: [{ promiseId: 'p', kind: 'file', suggestedName: 'a.txt' }] },
  (request: PromiseWriteRequest) => completePromiseWrite(request.completionToken),
);
void [path, ok];
TS
cat > tsconfig.json <<'JSON'
{ "compilerOptions": { "strict": true, "noEmit": true, "module": "node16", "moduleResolution": "node16", "types": [] },
  "files": ["usage.ts"] }
JSON
node "$root/node_modules/typescript/bin/tsc" -p tsconfig.json
echo "test-package: the declarations in the package type-check a consumer's usage"
echo "1 passed, 0 failed"
