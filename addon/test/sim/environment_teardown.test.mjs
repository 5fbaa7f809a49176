// Sim-only: its workers and child processes drive the simulated desktop's control module.
// The JavaScript environment can end while the process, and AppKit with it,
// lives on (the host quitting, a worker ending). A worker that stands for the
// host's main thread leaves a drag with an open write, a drop whose write
// request is still to come, an idle check, the window-exit arming and all
// three monitors behind (and the running drag's onEnded); once its environment has ended, every open write has
// been answered, every progress withdrawn, every monitor removed, and
// whatever AppKit delivers later calls no JavaScript and touches nothing of
// the ended environment.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { test } from 'node:test';

import { binaryPath } from '../helpers.mjs';
import { childEnvironment } from '../../../scripts/test/temp_folders.mjs';

const require = createRequire(import.meta.url);
const paths = {
  addon: binaryPath('kestrovan_file_promise_drag'),
  sim: binaryPath('kestrovan_desktop_sim_control'),
  control: require.resolve('../../backends/sim/control/index.js'),
};

// Runs in a worker that is the application's main thread until it ends.
const workerBody = `
  const { workerData, parentPort } = require('node:worker_threads');
  const d = require(workerData.control).load(workerData.sim);
  d.setMainThread();
  const addon = require(workerData.addon);
  const window = d.createWindow({ number: 101, frame: { x: 100, y: 100, width: 800, height: 600 }, key: true, main: true }).number;
  d.moveMouse(400, 400);
  d.setPressedButtons(1);
  const record = (what) => parentPort.postMessage(what);
  addon.startPromiseDrag(
    { sessionId: 'open-write', items: [{ promiseId: 'p1', kind: 'file', suggestedName: 'open.txt' }],
      onEnded: () => record('ended open-write') },
    (request) => record('write ' + request.promiseId));
  d.dropOnFolder(null, workerData.directory, { x: 700, y: 700 }, { endDrag: false });
  d.runMainQueue();
  addon.startPromiseDrag(
    { sessionId: 'request-to-come', items: [{ promiseId: 'p2', kind: 'file', suggestedName: 'later.txt' }] },
    (request) => record('write ' + request.promiseId));
  d.dropOnFolder(null, workerData.directory, { x: 700, y: 700 }, { requestDelay: 5 });
  addon.installNavigationEventMonitor(() => { record('navigation'); return true; });
  addon.installDragRegionScrollForwarding();
  addon.armPromiseDragOnWindowExit(window, () => record('window exit'));
  record({ monitors: d.monitors().length, published: d.publishedProgress().length, running: d.drags().length });
`;

const script = `
  const fs = require('node:fs');
  const os = require('node:os');
  const path = require('node:path');
  const { Worker } = require('node:worker_threads');
  const paths = ${JSON.stringify(paths)};
  const d = require(paths.control).load(paths.sim);
  require(paths.addon);
  d.setLogEcho(false);
  const directory = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-teardown-'));
  const seen = [];
  const worker = new Worker(${JSON.stringify(workerBody)}, { eval: true, workerData: { ...paths, directory } });
  worker.on('message', (message) => seen.push(message));
  worker.on('exit', (code) => {
    d.setMainThread();
    const alive = seen.pop();
    // What AppKit may still deliver: the write request, idle checks, events, the drag's end.
    d.runFor(60);
    d.sendEvent({ type: d.EventType.swipe, window: 101, deltaX: 1 });
    d.sendEvent({ type: d.EventType.otherMouseUp, window: 101, buttonNumber: 3 });
    d.sendEvent({ type: d.EventType.leftMouseDragged, window: 101, location: { x: -5, y: -5 } });
    d.endAllDrags({ operation: 1 });
    d.runFor(60);
    console.log(JSON.stringify({
      code,
      alive,
      calls: seen,
      outcomes: d.dropOutcomes().map((o) => ({ fileName: o.fileName, answers: o.answers, description: o.outcome?.description ?? null })),
      monitors: d.monitors().length,
      published: d.publishedProgress().length,
      violations: d.violations(),
      deallocs: d.log().filter((line) => line.includes('session dealloc')).map((line) => line.replace(/^.*session dealloc /, '')),
    }));
  });
`;

test('an ended environment leaves nothing behind, and later deliveries do nothing', () => {
  const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8', env: childEnvironment() });
  assert.equal(child.signal, null, child.stderr);
  assert.equal(child.status, 0, child.stderr);
  assert.doesNotMatch(child.stderr, /Sanitizer|FATAL|Segmentation/);
  const result = JSON.parse(child.stdout);
  assert.equal(result.code, 0);
  assert.deepEqual(result.alive, { monitors: 3, published: 1, running: 1 }, 'all of it was alive at the end');
  assert.deepEqual(result.calls, ['write p1'], 'no JavaScript of the ended environment ran afterwards');
  assert.deepEqual(result.outcomes[0], { fileName: 'open.txt', answers: 1, description: 'NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED' });
  // Its session went with the environment; the request it still made is answered at once.
  assert.deepEqual(result.outcomes[1], { fileName: 'later.txt', answers: 1, description: 'NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED' });
  assert.equal(result.monitors, 0, 'every monitor removed');
  assert.equal(result.published, 0, 'every progress withdrawn');
  assert.deepEqual(result.violations, []);
  assert.deepEqual(result.deallocs, [
    'sessionId=open-write pendingCompletions=1 requestedWriteCount=1 dragEnded=NO',
    'sessionId=request-to-come pendingCompletions=0 requestedWriteCount=0 dragEnded=YES',
  ]);
});
