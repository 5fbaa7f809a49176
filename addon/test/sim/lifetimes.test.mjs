// Sim-only: runs hundreds of drags to the end of their sessions on the virtual clock.
// Every function handed to the addon is released by its owner and then
// collected by the garbage collector — and never before its owner lets go —
// over many drags, arms and replacements.
import assert from 'node:assert/strict';
import { beforeEach, test } from 'node:test';

import { cleanDesktop, Collected, tempDirectory, windowWithButtonHeld } from '../drag_fixtures.mjs';
import { addon, collectUntil, desktop } from '../helpers.mjs';

beforeEach(() => cleanDesktop());

const item = (id) => ({ promiseId: id, kind: 'file', suggestedName: `${id}.txt` });

test('write callbacks: held while their sessions are registered, collected after teardown', async () => {
  const watched = new Collected();
  windowWithButtonHeld();
  const directory = tempDirectory();
  const tokens = [];
  for (let i = 0; i < 40; i++) {
    const started = addon.startPromiseDrag(
      { sessionId: `s${i}`, items: [item(`p${i}`)] },
      watched.fn(`write-${i}`, (request) => tokens.push(request.completionToken)),
    );
    assert.equal(started, true);
    // Half the drags are dropped and get a write request; the rest are cancelled.
    if (i % 2 === 0) desktop.dropOnFolder(null, directory, { x: 900, y: 900 });
    else desktop.endAllDrags();
  }
  desktop.runMainQueue();
  assert.equal(tokens.length, 20);
  assert.equal(await collectUntil(() => watched.alive.length < 40, 10), false, 'nothing is collected while registered');

  desktop.advanceClock(31); // the cancelled sessions retire
  assert.ok(await collectUntil(() => watched.alive.every((name) => Number(name.split('-')[1]) % 2 === 0)),
    `cancelled sessions' callbacks collected: alive ${watched.alive}`);
  assert.equal(watched.alive.length, 20, 'the sessions with an open write keep theirs');

  for (const token of tokens) assert.equal(addon.completePromiseWrite(token), true);
  desktop.advanceClock(31);
  assert.ok(await collectUntil(() => watched.alive.length === 0), `alive: ${watched.alive}`);
});

test('window-exit callbacks: collected after firing, after disarming and after re-arming', async () => {
  const watched = new Collected();
  const w = windowWithButtonHeld();
  desktop.mouseDown(); // the press that later left-drags go to
  let fired = 0;
  for (let i = 0; i < 30; i++) {
    assert.equal(addon.armPromiseDragOnWindowExit(w, watched.fn(`arm-${i}`, () => fired++)), true);
    if (i % 3 === 0) addon.disarmPromiseDrag();
    else if (i % 3 === 1) desktop.moveMouseTo(50, 50); // out of the window: fires
    // i % 3 === 2: replaced by the next arming
    desktop.moveMouse(400, 400);
  }
  assert.equal(fired, 10);
  const last = 29; // armed, not fired: still held
  assert.ok(await collectUntil(() => watched.alive.length === 1), `alive: ${watched.alive}`);
  assert.deepEqual(watched.alive, [`arm-${last}`]);
  addon.disarmPromiseDrag();
  assert.ok(await collectUntil(() => watched.alive.length === 0));
});

test('navigation callbacks: each replaced one is collected, the installed one is kept', async () => {
  const watched = new Collected();
  for (let i = 0; i < 30; i++) assert.equal(addon.installNavigationEventMonitor(watched.fn(`nav-${i}`)), true);
  assert.ok(await collectUntil(() => watched.alive.length === 1), `alive: ${watched.alive}`);
  assert.deepEqual(watched.alive, ['nav-29']);
  // Calls with bad arguments leave the installed one in place.
  assert.equal(addon.installNavigationEventMonitor(), false);
  assert.equal(addon.installNavigationEventMonitor('not a function'), false);
  assert.equal(await collectUntil(() => watched.alive.length === 0, 10), false);
});
