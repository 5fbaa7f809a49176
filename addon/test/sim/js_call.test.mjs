// Sim-only: its child processes drive the simulated desktop; the core probes addon is built with the sim.
// Callbacks the addon calls: inside an export an exception reaches the
// export's caller; outside every export it becomes an uncaught exception of
// the process and leaves Node-API usable.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { test } from 'node:test';

import { binaryPath, coreProbes } from '../helpers.mjs';

const h = coreProbes();

test('inside an export the exception stays pending for the caller', () => {
  const error = new Error('from the callback');
  assert.throws(() => h.callInsideExport(() => { throw error; }), (e) => e === error);
  assert.equal(h.callInsideExport(() => {}), 0, 'the next call is clean');
});

test('outside every export a throwing callback becomes an uncaught exception', () => {
  // In a child process: the test runner treats uncaught exceptions as failures.
  const script = `
    const h = require(${JSON.stringify(binaryPath('kestrovan_core_probes'))});
    const d = require(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
    const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
    const caught = [];
    process.on('uncaughtException', (e) => caught.push(e.message));
    let laterRan = false;
    h.postCall(() => { throw new Error('from a main-queue block'); });
    h.postCall(() => { laterRan = true; });
    const ran = d.runMainQueue();
    // Nothing stale is left to be thrown out of an unrelated export.
    const results = [addon.disarmPromiseDrag(), addon.completePromiseWrite('no-such-token')];
    console.log(JSON.stringify({ ran, caught, laterRan, results }));
  `;
  const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8' });
  assert.equal(child.status, 0, child.stderr);
  assert.deepEqual(JSON.parse(child.stdout), {
    ran: 2,
    caught: ['from a main-queue block'],
    laterRan: true,
    results: [true, false],
  });
});

test('without a handler the uncaught exception ends the process as Node does', () => {
  const script = `
    const h = require(${JSON.stringify(binaryPath('kestrovan_core_probes'))});
    const d = require(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
    h.postCall(() => { throw new Error('unhandled in a block'); });
    d.runMainQueue();
    console.log('not reached');
  `;
  const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8' });
  assert.notEqual(child.status, 0);
  assert.match(child.stderr, /unhandled in a block/);
  assert.doesNotMatch(child.stdout, /not reached/);
});
