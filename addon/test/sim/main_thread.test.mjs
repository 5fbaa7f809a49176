// Sim-only: makes a worker the application's main thread.
// AppKit may be touched only on the main thread. A Worker can load the addon:
// every export it calls answers false with one line naming the export, and
// touches nothing the main thread set up (the arming, the monitors, the
// sessions and their open writes).
import assert from 'node:assert/strict';
import { after, test } from 'node:test';
import { Worker } from 'node:worker_threads';

import { addon, binaryPath, desktop, exportNames } from '../helpers.mjs';
import { cleanDesktop, messagesSince, startWatchedDrag, tempDirectory, windowWithButtonHeld } from '../drag_fixtures.mjs';

after(() => cleanDesktop());

/** Runs `body` (the source of a function of (addon, data)) in a worker; resolves with its result. */
function inWorker(body, data) {
  const source = `
    const { parentPort, workerData } = require('node:worker_threads');
    const addon = require(workerData.addonPath);
    const result = (${body})(addon, workerData.data);
    parentPort.postMessage(result);
  `;
  const worker = new Worker(source, { eval: true, workerData: { addonPath: binaryPath('kestrovan_file_promise_drag'), data } });
  return new Promise((resolve, reject) => {
    let result;
    worker.on('message', (message) => (result = message));
    worker.on('error', reject);
    worker.on('exit', (code) => (code === 0 ? resolve(result) : reject(new Error(`worker exited with ${code}`))));
  });
}

test('a worker calling all eight exports gets eight falses and changes nothing on the main thread', async () => {
  cleanDesktop();
  const window = windowWithButtonHeld();
  const navigation = [];
  assert.equal(addon.installNavigationEventMonitor((direction) => navigation.push(direction)), true);
  assert.equal(addon.installDragRegionScrollForwarding(), true);
  const { started, writes } = startWatchedDrag('main-drag', [{ promiseId: 'p1', kind: 'file', suggestedName: 'a.txt' }]);
  assert.equal(started, true);
  const dropped = desktop.dropOnFolder(null, tempDirectory(), { x: 700, y: 700 });
  desktop.runMainQueue();
  assert.equal(writes.length, 1);
  const token = writes[0].request.completionToken;
  let exits = 0;
  assert.equal(addon.armPromiseDragOnWindowExit(window, () => exits++), true);

  const monitorsBefore = desktop.monitors();
  const drags = desktop.drags().length;
  const mark = desktop.log().length;

  const results = await inWorker(
    `(addon, { token, window }) => {
      const fn = () => true;
      const calls = {
        performAlignmentFeedback: () => addon.performAlignmentFeedback(),
        installDragRegionScrollForwarding: () => addon.installDragRegionScrollForwarding(),
        armPromiseDragOnWindowExit: () => addon.armPromiseDragOnWindowExit(window, fn),
        disarmPromiseDrag: () => addon.disarmPromiseDrag(),
        updatePromiseWriteProgress: () => addon.updatePromiseWriteProgress(token, 0.9),
        startPromiseDrag: () => addon.startPromiseDrag(
          { sessionId: 'worker-drag', items: [{ promiseId: 'w1', kind: 'file', suggestedName: 'w.txt' }] }, fn),
        completePromiseWrite: () => addon.completePromiseWrite(token, 'from the worker'),
        installNavigationEventMonitor: () => addon.installNavigationEventMonitor(fn),
      };
      return Object.entries(calls).map(([name, call]) => [name, call()]);
    }`,
    { token, window },
  );

  assert.deepEqual(results, exportNames.map((name) => [name, false]));
  assert.deepEqual(
    messagesSince(mark),
    exportNames.map((name) => `${name} rejected: not on the main thread`),
  );
  assert.deepEqual(desktop.monitors(), monitorsBefore, 'no monitor added or removed');
  assert.equal(desktop.drags().length, drags, 'no drag begun');
  assert.deepEqual(desktop.hapticRequests(), []);

  // The main thread's write is still open with its own progress and answer.
  assert.equal(dropped.outcomes[0].answers, 0);
  assert.equal(desktop.dropOutcomes()[0].answers, 0, 'the worker answered nothing');
  assert.equal(addon.updatePromiseWriteProgress(token, 0.25), true);
  // Its arming still fires, once, for its own callback.
  desktop.moveMouse(50, 50);
  desktop.sendEvent({ type: desktop.EventType.leftMouseDragged, window, location: { x: -50, y: -50 } });
  assert.equal(exits, 1);
  // Its navigation callback is still the one called.
  desktop.swipe(1, { window });
  assert.deepEqual(navigation, ['back']);
  assert.equal(addon.completePromiseWrite(token), true);
  assert.equal(desktop.dropOutcomes()[0].outcome.success, true);
  assert.deepEqual(desktop.violations(), []);
});

test('a worker named the main thread stops being it when it ends: a later worker is not the main thread', async () => {
  const control = { control: new URL('../../backends/sim/control/index.js', import.meta.url).pathname, sim: binaryPath('kestrovan_desktop_sim_control') };
  const inWorkerAsking = (body) =>
    new Promise((resolve, reject) => {
      const worker = new Worker(
        `const { parentPort, workerData } = require('node:worker_threads');
         const d = require(workerData.control).load(workerData.sim);
         parentPort.postMessage((${body})(d));`,
        { eval: true, workerData: control },
      );
      let answer;
      worker.on('message', (message) => (answer = message));
      worker.on('error', reject);
      worker.on('exit', () => resolve(answer));
    });
  try {
    assert.equal(await inWorkerAsking('(d) => { d.setMainThread(); return d.isMainThread(); }'), true);
    assert.equal(desktop.isMainThread(), false, 'the initial thread is not the main thread while it is named');
    // Threads that come later (their pthread_t may well be the ended worker's) are not it either.
    for (let i = 0; i < 4; i++) assert.equal(await inWorkerAsking('(d) => d.isMainThread()'), false);
    assert.equal(desktop.isMainThread(), false);
  } finally {
    desktop.setMainThread();
  }
  assert.equal(desktop.isMainThread(), true);
});

