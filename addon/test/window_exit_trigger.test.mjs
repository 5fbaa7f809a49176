// The window-exit trigger on whichever desktop the build has (desktop/driver.mjs):
// armed with the left button held, it fires once when a left drag leaves the
// armed window's content, with the crossing event to begin the drag from; a
// release or disarmPromiseDrag cancels it; a drag in another window is not
// its business; arming with the button up arms nothing.
import assert from 'node:assert/strict';
import { after, afterEach, beforeEach, test } from 'node:test';

import { addon, driver, simOnly } from './desktop/driver.mjs';

beforeEach(() => driver.reset());
afterEach(async () => {
  addon.disarmPromiseDrag();
  if (simOnly) assert.deepEqual(simOnly.violations(), [], 'nothing AppKit would refuse');
  await driver.reset();
});
after(() => driver.close());

const frame = { x: 100, y: 100, width: 600, height: 400 };

/** A window with the left button pressed at (300, 200) in it; skips without the system mouse. */
async function pressedInWindow(t, at = frame) {
  const why = driver.whyNot('systemMouse');
  if (why) {
    t.skip(why);
    return null;
  }
  const w = await driver.createWindow({ frame: at });
  await driver.postMouse(w, { type: 'down', x: 300, y: 200 });
  return w;
}

/** Starts a drag now; answers whether it began from the window-exit event (no event line of its own). */
function startSeesExitEvent(sessionId, w) {
  const mark = driver.logMessages().length;
  const items = [{ promiseId: 'p', kind: 'file', suggestedName: 'a.txt' }];
  assert.equal(addon.startPromiseDrag({ sessionId, windowNumber: w, items }, () => {}), true);
  return !driver.logMessages().slice(mark).some((l) => l.startsWith('using current') || l.startsWith('synthesizing'));
}

test('inside to outside: one call, and the drag begins from the crossing event', async (t) => {
  const w = await pressedInWindow(t);
  if (w === null) return;
  const calls = [];
  assert.equal(addon.armPromiseDragOnWindowExit(w, (...args) => calls.push({ args, sawExitEvent: startSeesExitEvent('exit', w) })), true);
  await driver.postMouse(w, { type: 'dragged', x: 500, y: 300 });
  assert.deepEqual(calls, [], 'still inside');
  await driver.postMouse(w, { type: 'dragged', x: 650, y: 300 });
  assert.deepEqual(calls, [{ args: [], sawExitEvent: true }]);
  await driver.postMouse(w, { type: 'dragged', x: 700, y: 300 });
  assert.equal(calls.length, 1, 'one-shot');
});

test('the content edges: the left edge is inside, the right edge outside', async (t) => {
  const w = await pressedInWindow(t);
  if (w === null) return;
  let calls = 0;
  assert.equal(addon.armPromiseDragOnWindowExit(w, () => calls++), true);
  await driver.postMouse(w, { type: 'dragged', x: 0, y: 200 });
  assert.equal(calls, 0);
  await driver.postMouse(w, { type: 'dragged', x: 600, y: 200 });
  assert.equal(calls, 1);
});

test('already outside when armed: the callback runs before the call returns, without an exit event', async (t) => {
  const w = await pressedInWindow(t);
  if (w === null) return;
  await driver.postMouse(w, { type: 'dragged', x: -40, y: 200 });
  const calls = [];
  assert.equal(addon.armPromiseDragOnWindowExit(w, () => calls.push(startSeesExitEvent('at-once', w))), true);
  assert.deepEqual(calls, [false]);
  await driver.postMouse(w, { type: 'dragged', x: -60, y: 200 });
  assert.equal(calls.length, 1, 'nothing stays armed');
});

// [name, what cancels the arming after it was made]
const cancellations = [
  ['releasing the button inside the window', (w) => driver.postMouse(w, { type: 'up', x: 300, y: 200 })],
  ['disarmPromiseDrag', async () => assert.equal(addon.disarmPromiseDrag(), true)],
];
for (const [name, cancel] of cancellations) {
  test(`${name} cancels the arming: a later exit calls nothing`, async (t) => {
    const w = await pressedInWindow(t);
    if (w === null) return;
    assert.equal(addon.armPromiseDragOnWindowExit(w, () => assert.fail('called after the cancellation')), true);
    await cancel(w);
    await driver.postMouse(w, { type: 'down', x: 300, y: 200 });
    await driver.postMouse(w, { type: 'dragged', x: 650, y: 200 });
  });
}

test('a drag leaving another window of the application is ignored', async (t) => {
  const w = await pressedInWindow(t);
  if (w === null) return;
  const other = await driver.createWindow({ frame: { x: 800, y: 100, width: 300, height: 300 }, key: false });
  let calls = 0;
  assert.equal(addon.armPromiseDragOnWindowExit(w, () => calls++), true);
  await driver.postMouse(other, { type: 'dragged', x: 400, y: 100 });
  assert.equal(calls, 0);
  await driver.postMouse(w, { type: 'dragged', x: 650, y: 200 });
  assert.equal(calls, 1);
});

test('arming with the left button up answers false and never calls', async () => {
  const w = await driver.createWindow({ frame });
  await driver.postMouse(w, { type: 'moved', x: 300, y: 200 });
  assert.equal(addon.armPromiseDragOnWindowExit(w, () => assert.fail('called')), false);
  await driver.postMouse(w, { type: 'dragged', x: 650, y: 200 });
});
