'use strict';
// A consumer's drag on the simulated desktop, through the installed packages:
// arm the window exit, start the drag when the cursor leaves the window, drop
// on a Finder-like folder, write the promised file with progress, complete it,
// and let the session retire; then the sidecar's command-line failure path;
// then the same drag through startFileDrag and writeFileFromStream.
// Copied into a fresh project by scripts/test-package.sh and
// scripts/test-node-matrix.sh and run there by each Node version, so it is
// written for the oldest (14.17): CommonJS, plain module names.
const assert = require('assert');
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { Readable } = require('stream');

const drag = require('kestrovan-file-promise-drag');
const desktop = require('kestrovan-file-promise-drag/desktop-sim').load();
const { sidecarPath } = require('kestrovan-drag-dropzone-sidecar');

desktop.setLogEcho(false);
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-consumer-'));
const win = desktop.createWindow({ frame: { x: 100, y: 100, width: 800, height: 600 }, key: true, main: true });
desktop.moveMouse(400, 400);
desktop.mouseDown();
desktop.moveMouseTo(390, 400);

const requests = [];
let started = false;
const armed = drag.armPromiseDragOnWindowExit(win.number, () => {
  const items = Object.freeze([{ promiseId: 'letter', kind: 'file', suggestedName: 'letter.txt' }]);
  started = drag.startPromiseDrag({ sessionId: 'consumer', windowNumber: win.number, items }, (request) => {
    requests.push(request);
  });
});
assert.strictEqual(armed, true, 'armPromiseDragOnWindowExit');
for (let x = 350; x >= 0 && !started; x -= 50) desktop.moveMouseTo(x, 400);
assert.strictEqual(started, true, 'startPromiseDrag from the window exit');

desktop.dropOnFolder(null, folder, desktop.mouseLocation());
desktop.setPressedButtons(0);
desktop.runMainQueue();
assert.strictEqual(requests.length, 1, 'one write request');
const [request] = requests;
assert.strictEqual(request.destinationPath, path.join(folder, 'letter.txt'));
fs.writeFileSync(request.destinationPath, 'Dear reader,\n');
assert.strictEqual(drag.updatePromiseWriteProgress(request.completionToken, 0.5), true);
assert.strictEqual(desktop.publishedProgress().length, 1, 'progress published while writing');
assert.strictEqual(drag.completePromiseWrite(request.completionToken, null), true);
assert.strictEqual(drag.completePromiseWrite(request.completionToken), false, 'answered once');
assert.strictEqual(desktop.publishedProgress().length, 0, 'progress withdrawn');
const outcomes = desktop.dropOutcomes();
assert.strictEqual(outcomes.length, 1);
assert.strictEqual(outcomes[0].outcome.success, true, JSON.stringify(outcomes[0]));
desktop.advanceClock(31);
assert.ok(desktop.log().some((line) => line.includes('removing idle session sessionId=consumer')), 'the session retired');
assert.deepStrictEqual(desktop.violations(), []);
assert.strictEqual(fs.readFileSync(path.join(folder, 'letter.txt'), 'utf8'), 'Dear reader,\n');
fs.rmSync(folder, { recursive: true, force: true });

const sidecar = spawnSync(sidecarPath(), [], { encoding: 'utf8' });
assert.strictEqual(sidecar.status, 2);
assert.strictEqual(sidecar.stderr, '[KestrovanDragDropzone] Sidecar failed: Missing --tray-frame x,y,width,height.\n');

// The helpers: an async writer streams the file; its promise completes the write.
const helperFolder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-consumer-'));
desktop.setPressedButtons(1);
let helped = 0;
const helperStarted = drag.startFileDrag(
  { sessionId: 'consumer-helper', windowNumber: win.number, items: [{ promiseId: 'memo', kind: 'file', suggestedName: 'memo.txt' }] },
  async (write) => {
    helped++;
    assert.strictEqual(write.suggestedName, 'memo.txt');
    await drag.writeFileFromStream(write.destinationPath, Readable.from(['Dear ', 'helper,\n']), { size: 13, progress: write.progress });
  },
);
assert.strictEqual(helperStarted, true, 'startFileDrag');
desktop.dropOnFolder(null, helperFolder, desktop.mouseLocation());
desktop.setPressedButtons(0);
desktop.runMainQueue();

(async () => {
  // The writer's promise settles in later turns of the event loop.
  const answered = () => desktop.dropOutcomes().length === 2 && desktop.dropOutcomes()[1].answers > 0;
  for (let turn = 0; turn < 500 && !answered(); turn++) await new Promise((resolve) => setTimeout(resolve, 2));
  assert.strictEqual(helped, 1, 'one writer call');
  const helperOutcome = desktop.dropOutcomes()[1];
  assert.strictEqual(helperOutcome.answers, 1);
  assert.strictEqual(helperOutcome.outcome.success, true, JSON.stringify(helperOutcome));
  assert.strictEqual(desktop.publishedProgress().length, 0, 'progress withdrawn');
  desktop.advanceClock(31);
  assert.ok(desktop.log().some((line) => line.includes('removing idle session sessionId=consumer-helper')), 'the helper session retired');
  assert.deepStrictEqual(desktop.violations(), []);
  assert.strictEqual(fs.readFileSync(path.join(helperFolder, 'memo.txt'), 'utf8'), 'Dear helper,\n');
  fs.rmSync(helperFolder, { recursive: true, force: true });

  console.log(`node ${process.version}: drag completed (letter.txt written, drop target answered success, session retired); sidecar ran; startFileDrag wrote memo.txt`);
})().catch((error) => {
  console.error(error);
  process.exitCode = 1;
});
