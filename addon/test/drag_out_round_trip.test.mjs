// The drag-out round trip on whichever desktop the build has (desktop/driver.mjs):
// the window-exit trigger is armed with the left button held, the mouse leaves
// the window and the drag begins from that event; a Finder-like receiver asks
// for every promise into a real folder; JavaScript writes each file (or fails
// it) with progress; every answer reaches the receiver exactly once, progress
// is seen and withdrawn, and the session retires 30 s after the drag ended.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, afterEach, beforeEach, test } from 'node:test';

import { addon, driver, simOnly } from './desktop/driver.mjs';

const folders = [];
function tempFolder(prefix) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  folders.push(folder);
  return folder;
}

beforeEach(() => driver.reset());
afterEach(async () => {
  if (simOnly) assert.deepEqual(simOnly.violations(), [], 'nothing AppKit would refuse');
  await driver.reset();
});
after(async () => {
  await driver.close();
  for (const folder of folders) fs.rmSync(folder, { recursive: true, force: true });
});

const contents = (seed, size) => Buffer.from(Array.from({ length: size }, (_, i) => (i * 7 + seed) % 251));
const nextTurn = () => new Promise((resolve) => setImmediate(resolve));

/**
 * Writes a request's file in four chunks on later turns of the event loop,
 * reporting the progress after each, or a folder of two files.
 */
async function write({ destinationPath, destinationKind, completionToken }) {
  if (destinationKind === 'directory') {
    fs.mkdirSync(destinationPath);
    fs.writeFileSync(path.join(destinationPath, 'one.bin'), contents(1, 300));
    fs.writeFileSync(path.join(destinationPath, 'two.bin'), contents(2, 500));
    return;
  }
  const bytes = contents(3, 4000);
  for (let at = 0; at < bytes.length; at += 1000) {
    await nextTurn();
    fs.appendFileSync(destinationPath, bytes.subarray(at, at + 1000));
    assert.equal(addon.updatePromiseWriteProgress(completionToken, (at + 1000) / bytes.length), true);
  }
}

/** Window at (100, 100), 600 x 400, the left button pressed at (300, 200) in it. */
async function windowWithButtonPressed() {
  const w = await driver.createWindow({ frame: { x: 100, y: 100, width: 600, height: 400 } });
  await driver.postMouse(w, { type: 'down', x: 300, y: 200 });
  await driver.postMouse(w, { type: 'dragged', x: 310, y: 205 });
  return w;
}

test('arm, leave the window, receive every promise: written, failed, each answered once; progress; the session retires', async (t) => {
  const why = driver.whyNot('drag');
  if (why) return t.skip(why);
  const folder = tempFolder('kestrovan-round-trip-');
  const items = [
    { promiseId: 'report', kind: 'file', suggestedName: 'report.bin' },
    { promiseId: 'photos', kind: 'directory', suggestedName: 'Photos' },
    { promiseId: 'broken', kind: 'file', suggestedName: 'broken.bin' },
  ];
  const w = await windowWithButtonPressed();

  const requests = [];
  const completions = [];
  const writer = (request) => {
    requests.push(request);
    const done =
      request.promiseId === 'broken'
        ? Promise.resolve('source file missing')
        : write(request).then(() => null, (error) => String(error));
    completions.push(done.then((error) => addon.completePromiseWrite(request.completionToken, error ?? undefined)));
  };
  const started = [];
  assert.equal(
    addon.armPromiseDragOnWindowExit(w, () => started.push(addon.startPromiseDrag({ sessionId: 'round-trip', windowNumber: w, items }, writer))),
    true,
  );
  await driver.postMouse(w, { type: 'dragged', x: 590, y: 395 });
  assert.deepEqual(started, [], 'still inside the content: nothing yet');
  await driver.postMouse(w, { type: 'dragged', x: 610, y: 200 });
  assert.deepEqual(started, [true], 'leaving the content began the drag, once');
  const begun = driver.logMessages();
  assert.ok(begun.includes('startPromiseDrag beginDraggingSession returned sessionId=round-trip started=YES activeSessions=1'), begun.join('\n'));
  assert.ok(!begun.some((l) => l.startsWith('using current') || l.startsWith('synthesizing')), 'the drag began from the crossing event');

  const reportPath = path.join(folder, 'report.bin');
  const reportProgress = driver.watchProgress(reportPath);
  const answers = await driver.receivePromisedFiles(folder);
  assert.deepEqual(answers, [
    { fileName: 'report.bin', path: reportPath, error: null },
    { fileName: 'Photos', path: path.join(folder, 'Photos'), error: null },
    { fileName: 'broken.bin', path: null, error: 'source file missing' },
  ]);
  assert.deepEqual(await Promise.all(completions), [true, true, true], 'each token completed once');
  assert.deepEqual(
    requests.map((r) => [r.sessionId, r.promiseId, r.destinationKind, r.destinationPath]),
    [
      ['round-trip', 'report', 'file', reportPath],
      ['round-trip', 'photos', 'directory', path.join(folder, 'Photos')],
      ['round-trip', 'broken', 'file', path.join(folder, 'broken.bin')],
    ],
  );
  for (const r of requests) assert.equal(addon.completePromiseWrite(r.completionToken), false, 'a second completion finds no write');

  // What the writer wrote, where the receiver asked.
  assert.deepEqual(fs.readFileSync(reportPath), contents(3, 4000));
  assert.deepEqual(fs.readdirSync(path.join(folder, 'Photos')).sort(), ['one.bin', 'two.bin']);
  assert.deepEqual(fs.readFileSync(path.join(folder, 'Photos', 'two.bin')), contents(2, 500));
  assert.equal(fs.existsSync(path.join(folder, 'broken.bin')), false);

  // Progress climbed to the whole and was withdrawn.
  await driver.settle();
  const history = reportProgress.history();
  reportProgress.stop();
  assert.ok(reportProgress.published(), 'progress was published on the destination');
  assert.ok(reportProgress.withdrawn(), 'and withdrawn when the write completed');
  assert.ok(history.some((f) => f > 0 && f < 1), `a fraction between: ${history}`);
  assert.deepEqual([...history].sort((a, b) => a - b), history, 'never going back');
  assert.equal(history.at(-1), 1);

  // The drop ends the drag; the session retires 30 s later, not before.
  await driver.endDrag({ dropped: true });
  assert.ok(driver.logMessages().some((l) => l.startsWith('dragging session ended sessionId=round-trip')));
  const retired = 'removing idle session sessionId=round-trip requestedWriteCount=3';
  await driver.wait(25);
  assert.ok(!driver.logMessages().includes(retired), 'still registered 25 s after');
  await driver.wait(6);
  assert.ok(driver.logMessages().includes(retired), 'retired 30 s after the drag ended');
});

test('a drag the user cancels: nothing was asked, and the session retires', async (t) => {
  const why = driver.whyNot('drag');
  if (why) return t.skip(why);
  const w = await windowWithButtonPressed();
  const requests = [];
  assert.equal(
    addon.startPromiseDrag({ sessionId: 'cancelled', windowNumber: w, items: [{ promiseId: 'p', kind: 'file', suggestedName: 'a.txt' }] }, (r) => requests.push(r)),
    true,
  );
  await driver.endDrag({ dropped: false });
  await driver.wait(31);
  assert.deepEqual(requests, []);
  assert.ok(driver.logMessages().includes('removing idle session sessionId=cancelled requestedWriteCount=0'));
});
