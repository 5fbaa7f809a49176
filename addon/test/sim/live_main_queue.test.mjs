// Sim-only: switches the simulated main queue between live and manual.
// JavaScript called from a handler or a main-queue block runs in a callback
// scope of its own async context. With the desktop's main queue live (run by
// the event loop outside every JavaScript call, as AppKit's run loop runs it),
// the microtasks a write callback queues run when it returns, within the same
// turn; AsyncLocalStorage sees the context of the startPromiseDrag call; a
// throw is one uncaught exception and the writes after it go on normally.
import assert from 'node:assert/strict';
import { AsyncLocalStorage } from 'node:async_hooks';
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { afterEach, beforeEach, test } from 'node:test';

import { addon, binaryPath, desktop } from '../helpers.mjs';
import { cleanDesktop, startWatchedDrag, tempDirectory, windowWithButtonHeld } from '../drag_fixtures.mjs';
import { childEnvironment } from '../../../scripts/test/temp_folders.mjs';

const require = createRequire(import.meta.url);

beforeEach(() => {
  cleanDesktop();
  windowWithButtonHeld();
  desktop.setLiveMainQueue(true);
});
afterEach(() => {
  desktop.setLiveMainQueue(false);
  assert.deepEqual(desktop.violations(), []);
  cleanDesktop();
});

/** Lets the event loop run until `condition()` holds (at most `turns` loop turns). */
async function until(condition, turns = 200) {
  for (let i = 0; i < turns && !condition(); i++) await new Promise((resolve) => setImmediate(resolve));
  return condition();
}

const item = { promiseId: 'p1', kind: 'file', suggestedName: 'a.txt' };

test('an async write callback that awaits a resolved promise is answered in the turn that delivered it', async () => {
  let deliveredIn = 0;
  const { started } = startWatchedDrag('live', [item], async (request) => {
    deliveredIn = desktop.liveTurn();
    await Promise.resolve();
    addon.completePromiseWrite(request.completionToken);
  });
  assert.equal(started, true);
  desktop.dropOnFolder(null, tempDirectory(), { x: 700, y: 700 });
  assert.equal(desktop.dropOutcomes()[0].answers, 0, 'nothing runs before the event loop turns');
  assert.ok(await until(() => desktop.dropOutcomes()[0].answers === 1));
  const [outcome] = desktop.dropOutcomes();
  assert.ok(deliveredIn > 0, 'the delivery ran in a live turn');
  assert.equal(outcome.answeredInLiveTurn, deliveredIn, 'answered before the turn ended');
  assert.equal(outcome.outcome.success, true);
});

test('the write callback sees the AsyncLocalStorage store of the startPromiseDrag call', async () => {
  const storage = new AsyncLocalStorage();
  const seen = [];
  const store = { dragStartedBy: 'page' };
  const { started, writes } = storage.run(store, () =>
    startWatchedDrag('stored', [item], () => seen.push(storage.getStore())),
  );
  assert.equal(started, true);
  desktop.dropOnFolder(null, tempDirectory(), { x: 700, y: 700 });
  assert.ok(await until(() => seen.length === 1));
  assert.equal(seen[0], store);
  addon.completePromiseWrite(writes[0].request.completionToken);
});

test('a throwing write callback is one uncaught exception; the writes after it are delivered normally', () => {
  const script = `
    const d = require(${JSON.stringify(require.resolve('../../backends/sim/control/index.js'))}).load(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
    const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
    const directory = require('node:fs').mkdtempSync(require('node:path').join(require('node:os').tmpdir(), 'kestrovan-live-'));
    d.setLogEcho(false);
    d.setLiveMainQueue(true);
    d.createWindow({ number: 101, frame: { x: 100, y: 100, width: 800, height: 600 }, key: true, main: true });
    d.moveMouse(400, 400);
    d.setPressedButtons(1);
    const caught = [];
    process.on('uncaughtException', (error) => caught.push(error.message));
    const write = (request) => {
      if (request.promiseId === 'throws') throw new Error('thrown by the write callback');
      return Promise.resolve().then(() => addon.completePromiseWrite(request.completionToken));
    };
    const items = (...ids) => ids.map((promiseId) => ({ promiseId, kind: 'file', suggestedName: promiseId + '.txt' }));
    addon.startPromiseDrag({ sessionId: 'first', items: items('throws', 'after') }, write);
    d.dropOnFolder(null, directory, { x: 700, y: 700 });
    setTimeout(() => {
      addon.startPromiseDrag({ sessionId: 'second', items: items('later') }, write);
      d.dropOnFolder(null, directory, { x: 700, y: 700 });
      setTimeout(() => {
        console.log(JSON.stringify({
          caught,
          outcomes: d.dropOutcomes().map((o) => [o.promiseId, o.answers, o.outcome.description ?? 'success']),
          failed: d.log().filter((line) => line.includes('JS write-request callback failed')).length,
        }));
      }, 20);
    }, 20);
  `;
  const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8', env: childEnvironment() });
  assert.equal(child.status, 0, child.stderr);
  assert.deepEqual(JSON.parse(child.stdout), {
    caught: ['thrown by the write callback'],
    outcomes: [
      ['throws', 1, 'NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED'],
      ['after', 1, 'success'],
      ['later', 1, 'success'],
    ],
    failed: 1,
  });
});
