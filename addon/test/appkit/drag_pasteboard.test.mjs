// AppKit only (macOS builds; elsewhere every case skips saying why): what no
// simulated desktop can show. A drag begun with the real mouse puts the file
// promises on the system's drag pasteboard, where another process (the Finder,
// here the receiver program) reads them with their file types; and without
// the permission to post events, posted NSEvents leave the system's mouse
// buttons up, so the addon refuses to arm or to drag (why the shared suites
// skip those cases there).
import assert from 'node:assert/strict';
import { after, afterEach, beforeEach, test } from 'node:test';

const onMac = process.platform === 'darwin';
const { addon, driver, driverKind } = onMac ? await import('../desktop/driver.mjs') : {};
const notAppKit = !onMac
  ? `AppKit only: this is ${process.platform}, not macOS`
  : driverKind !== 'appkit'
    ? `AppKit only: this build's desktop is the ${driverKind} one`
    : null;

if (!notAppKit) {
  beforeEach(() => driver.reset());
  afterEach(() => driver.reset());
  after(() => driver.close());
}

const frame = { x: 120, y: 140, width: 500, height: 360 };

test('a drag begun with the real mouse puts one file promise per item on the drag pasteboard, typed', async (t) => {
  if (notAppKit) return t.skip(notAppKit);
  const why = driver.whyNot('drag');
  if (why) return t.skip(why);
  const w = await driver.createWindow({ frame });
  await driver.postMouse(w, { type: 'down', x: 250, y: 180 });
  const items = [
    { promiseId: 'notes', kind: 'file', suggestedName: 'notes.txt' },
    { promiseId: 'photos', kind: 'directory', suggestedName: 'photos.zip' },
    { promiseId: 'readme', kind: 'file', suggestedName: 'README' },
  ];
  assert.equal(addon.startPromiseDrag({ sessionId: 'pasteboard', windowNumber: w, items }, () => {}), true);

  const found = await driver.dragPasteboardPromises();
  assert.equal(found.count, 3, `the drag pasteboard holds ${JSON.stringify(found)}`);
  assert.deepEqual(found.fileTypes, [['public.plain-text'], ['public.folder'], ['public.data']]);

  await driver.endDrag({ dropped: false });
  const ended = driver.logMessages().find((l) => l.startsWith('dragging session ended sessionId=pasteboard'));
  assert.ok(ended, driver.logMessages().join('\n'));
  assert.match(ended, / operation=0 /, 'cancelled: released over its own window, which takes no drop');
  assert.match(ended, / requestedWriteCount=0 /, 'nothing was asked of it');
});

test('posted NSEvents alone leave the mouse buttons up: no arming, no drag', async (t) => {
  if (notAppKit) return t.skip(notAppKit);
  const w = await driver.createWindow({ frame });
  await driver.postMouse(w, { type: 'down', x: 250, y: 180, real: false });
  await driver.postMouse(w, { type: 'dragged', x: 260, y: 185, real: false });
  let fired = 0;
  assert.equal(addon.armPromiseDragOnWindowExit(w, () => (fired += 1)), false, 'the left button is not held');
  const items = [{ promiseId: 'p', kind: 'file', suggestedName: 'a.txt' }];
  assert.equal(addon.startPromiseDrag({ sessionId: 'unheld', windowNumber: w, items }, () => {}), false);
  assert.ok(
    driver.logMessages().includes('startPromiseDrag rejected sessionId=unheld: left mouse button is not pressed'),
    driver.logMessages().join('\n'),
  );
  await driver.postMouse(w, { type: 'dragged', x: 700, y: 185, real: false });
  assert.equal(fired, 0);
});
