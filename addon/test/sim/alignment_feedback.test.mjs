// Sim-only: reads the haptic feedback requests the desktop recorded.
// performAlignmentFeedback: one haptic alignment request (pattern 1, now) per
// call on the main thread while the application is active; false otherwise.
import assert from 'node:assert/strict';
import { once } from 'node:events';
import { afterEach, beforeEach, test } from 'node:test';
import { Worker } from 'node:worker_threads';

import { addon, binaryPath, desktop } from '../helpers.mjs';

const alignmentNow = { pattern: 1, performanceTime: 1 };

beforeEach(() => desktop.reset());
afterEach(() => assert.deepEqual(desktop.violations(), []));

test('every call on the main thread of an active application makes one request', () => {
  const start = desktop.now(); // the clock is not reset between tests
  assert.equal(addon.performAlignmentFeedback(), true);
  assert.equal(addon.performAlignmentFeedback(), true, 'no throttling');
  desktop.advanceClock(2.5);
  assert.equal(addon.performAlignmentFeedback('ignored', 7, () => {}), true, 'arguments are ignored');
  assert.deepEqual(desktop.hapticRequests(), [
    { ...alignmentNow, time: start },
    { ...alignmentNow, time: start },
    { ...alignmentNow, time: start + 2.5 },
  ]);
});

test('an inactive or missing application gives false and no request', () => {
  desktop.setApplicationActive(false);
  assert.equal(addon.performAlignmentFeedback(), false);
  desktop.setApplicationActive(true);
  desktop.setApplicationPresent(false);
  assert.equal(addon.performAlignmentFeedback(), false);
  assert.deepEqual(desktop.hapticRequests(), []);
  desktop.setApplicationPresent(true);
  assert.equal(addon.performAlignmentFeedback(), true, 'active again');
  assert.equal(desktop.hapticRequests().length, 1);
});

test('a call from a worker thread gives false and no request', async () => {
  const worker = new Worker(
    `const { parentPort, workerData } = require('node:worker_threads');
     const addon = require(workerData);
     parentPort.postMessage([addon.performAlignmentFeedback(), addon.performAlignmentFeedback(1)]);`,
    { eval: true, workerData: binaryPath('kestrovan_file_promise_drag') },
  );
  const [results] = await once(worker, 'message');
  await once(worker, 'exit');
  assert.deepEqual(results, [false, false]);
  assert.deepEqual(desktop.hapticRequests(), []);
  assert.equal(addon.performAlignmentFeedback(), true, 'the main thread still passes');
});
