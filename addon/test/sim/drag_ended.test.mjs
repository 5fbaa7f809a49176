// Sim-only: ends drags at chosen points with chosen operations, and counts drop outcomes.
// The request's optional onEnded: called once when the dragging session ends,
// right after the "dragging session ended" line, with the operation and the
// screen point; never when it is not passed; let go of once called and with
// its session; a throw is one uncaught exception and changes nothing else; a
// present onEnded that is not a function refuses the drag.
import assert from 'node:assert/strict';
import { AsyncLocalStorage } from 'node:async_hooks';
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { beforeEach, describe, test } from 'node:test';

import { addon, binaryPath, collectUntil, desktop, logMessages } from '../helpers.mjs';
import { cleanDesktop, Collected, messagesSince, tempDirectory, windowWithButtonHeld } from '../drag_fixtures.mjs';
import { childEnvironment } from '../../../scripts/test/temp_folders.mjs';

const control = createRequire(import.meta.url).resolve('../../backends/sim/control/index.js');

beforeEach(() => {
  cleanDesktop();
  windowWithButtonHeld();
});

const items = [{ promiseId: 'p1', kind: 'file', suggestedName: 'a.txt' }];

/**
 * Starts a drag whose onEnded records each call: its argument, `this`, and the
 * log line just before it. Write requests' tokens are collected in `tokens`.
 */
function startRecorded(sessionId, extra = {}) {
  const calls = [];
  const tokens = [];
  const started = addon.startPromiseDrag(
    {
      sessionId,
      items,
      onEnded: function (...args) {
        calls.push({ args, self: this, lastLine: logMessages().at(-1) });
      },
      ...extra,
    },
    (request) => tokens.push(request.completionToken),
  );
  return { started, calls, tokens, drag: desktop.drags().at(-1) };
}

/** The number of registered sessions, as completePromiseWrite's line for an unknown token reports it. */
function registeredSessions() {
  const mark = logMessages().length;
  addon.completePromiseWrite('kestrovan-probe');
  return Number(messagesSince(mark).at(-1).match(/activeSessions=(\d+)$/)[1]);
}

describe('called once at the end of the drag', () => {
  // [how the drag ends, its end, the operation and point onEnded receives]
  const cases = [
    ['dropped on a folder', (drag) => desktop.dropOnFolder(drag.id, tempDirectory(), { x: 700.5, y: 650 }), 1, { x: 700.5, y: 650 }],
    ['dropped on a folder, the drag ended later', (drag) => {
      desktop.dropOnFolder(drag.id, tempDirectory(), { x: 10, y: 20 }, { endDrag: false });
      desktop.runMainQueue();
      desktop.endDrag(drag.id, { x: 11, y: 21 }, 1);
    }, 1, { x: 11, y: 21 }],
    ['ended with the copy operation', (drag) => desktop.endDrag(drag.id, { x: -12.25, y: 3000 }, 1), 1, { x: -12.25, y: 3000 }],
    ['cancelled', (drag) => desktop.endDrag(drag.id, { x: 412.25, y: -3 }, 0), 0, { x: 412.25, y: -3 }],
  ];
  for (const [name, end, operation, screenPoint] of cases) {
    test(name, () => {
      const { started, calls, tokens, drag } = startRecorded('ended');
      assert.equal(started, true);
      desktop.runFor(5); // nothing calls it while the drag runs
      assert.equal(calls.length, 0);

      end(drag);
      assert.equal(calls.length, 1);
      const [call] = calls;
      assert.deepEqual(call.args, [{ operation, screenPoint }]);
      assert.equal(call.self, undefined);
      assert.match(call.lastLine, new RegExp(`^dragging session ended sessionId=ended operation=${operation} `),
        'called right after the end line');

      desktop.runMainQueue();
      for (const token of tokens) assert.equal(addon.completePromiseWrite(token), true);
      desktop.runFor(31); // the idle check retires the session
      assert.ok(logMessages().includes(`removing idle session sessionId=ended requestedWriteCount=${tokens.length}`));
      assert.equal(calls.length, 1, 'once only');
      assert.deepEqual(desktop.violations(), []);
    });
  }

  test('each session its own: two drags, ended in the other order', () => {
    const first = startRecorded('first');
    const second = startRecorded('second');
    desktop.endDrag(second.drag.id, { x: 1, y: 2 }, 0);
    assert.deepEqual([first.calls.length, second.calls.length], [0, 1]);
    desktop.endDrag(first.drag.id, { x: 3, y: 4 }, 1);
    assert.deepEqual(first.calls.map((c) => c.args[0]), [{ operation: 1, screenPoint: { x: 3, y: 4 } }]);
    assert.deepEqual(second.calls.map((c) => c.args[0]), [{ operation: 0, screenPoint: { x: 1, y: 2 } }]);
  });

  test('it may call the exports: a write completed and a drag begun from inside it', () => {
    let token;
    const calls = [];
    addon.startPromiseDrag(
      {
        sessionId: 'reentrant',
        items,
        onEnded: (ended) => calls.push([
          ended.operation,
          addon.completePromiseWrite(token, 'dropped late'),
          addon.startPromiseDrag({ sessionId: 'next', items }, () => {}),
        ]),
      },
      (request) => { token = request.completionToken; },
    );
    const drag = desktop.drags().at(-1);
    desktop.dropOnFolder(drag.id, tempDirectory(), { x: 5, y: 5 }, { endDrag: false });
    desktop.runMainQueue();
    desktop.endDrag(drag.id, { x: 5, y: 5 }, 1);
    assert.deepEqual(calls, [[1, true, true]]);
    const [outcome] = desktop.dropOutcomes();
    assert.equal(outcome.answers, 1);
    assert.equal(outcome.outcome.description, 'dropped late');
    assert.equal(desktop.drags().length, 1, 'the next drag runs');
    desktop.endAllDrags();
  });

  test('it runs in the async context of the startPromiseDrag call', () => {
    const storage = new AsyncLocalStorage();
    const seen = [];
    const store = { startedBy: 'page' };
    storage.run(store, () =>
      addon.startPromiseDrag({ sessionId: 'context', items, onEnded: () => seen.push(storage.getStore()) }, () => {}));
    desktop.endAllDrags();
    assert.equal(seen.length, 1);
    assert.equal(seen[0], store);
  });
});

describe('callers who do not pass it', () => {
  // The complete log of a drag dropped on a folder, its write completed and
  // its session retired.
  function droppedDragLog(extra) {
    const mark = logMessages().length;
    let token;
    assert.equal(addon.startPromiseDrag({ sessionId: 'same', items, ...extra }, (r) => { token = r.completionToken; }), true);
    desktop.dropOnFolder(null, '/tmp', { x: 700, y: 700 });
    desktop.runMainQueue();
    addon.completePromiseWrite(token);
    desktop.runFor(31);
    return messagesSince(mark).map((line) => line.replace(/token=[0-9A-F-]{36}/g, 'token=T').replace(/(destination=\/tmp\/a)[^ ]*/, '$1'));
  }

  test('see the same log lines, whether it is missing, undefined or a function', () => {
    const without = droppedDragLog({});
    assert.ok(without.includes('removing idle session sessionId=same requestedWriteCount=1'));
    desktop.setPressedButtons(1);
    assert.deepEqual(droppedDragLog({ onEnded: undefined }), without);
    desktop.setPressedButtons(1);
    let called = 0;
    assert.deepEqual(droppedDragLog({ onEnded: () => called++ }), without, 'it adds no line');
    assert.equal(called, 1);
    assert.deepEqual(desktop.violations(), []);
  });
});

describe('lifetime', () => {
  test('held while the drag runs, let go of once called, even while a write keeps the session', async () => {
    const watched = new Collected();
    let token;
    addon.startPromiseDrag({ sessionId: 'held', items, onEnded: watched.fn('ended') }, (r) => { token = r.completionToken; });
    const drag = desktop.drags().at(-1);
    desktop.advanceClock(60);
    assert.equal(await collectUntil(() => watched.has('ended'), 10), false, 'not collected while the drag runs');

    desktop.dropOnFolder(drag.id, tempDirectory(), { x: 1, y: 1 });
    desktop.runFor(31);
    assert.equal(registeredSessions(), 1, 'the open write keeps the session');
    assert.ok(await collectUntil(() => watched.has('ended')), 'collected once called');
    addon.completePromiseWrite(token);
    desktop.runFor(31);
    assert.equal(registeredSessions(), 0);
  });

  test('collected after the session retires, over many drags dropped, cancelled and refused', async () => {
    const watched = new Collected();
    const directory = tempDirectory();
    const tokens = [];
    for (let i = 0; i < 30; i++) {
      const refused = i % 3 === 2;
      if (refused) desktop.setPressedButtons(0);
      const started = addon.startPromiseDrag(
        { sessionId: `s${i}`, items, onEnded: watched.fn(`ended-${i}`) },
        (r) => tokens.push(r.completionToken),
      );
      assert.equal(started, !refused);
      desktop.setPressedButtons(1);
      if (refused) continue;
      if (i % 3 === 0) desktop.dropOnFolder(null, directory, { x: 900, y: 900 });
      else desktop.endAllDrags();
    }
    desktop.runMainQueue();
    for (const token of tokens) addon.completePromiseWrite(token);
    desktop.runFor(31);
    assert.equal(registeredSessions(), 0);
    assert.ok(await collectUntil(() => watched.alive.length === 0), `alive: ${watched.alive}`);
  });

  test('a drag begun but torn down at its start keeps nothing', async () => {
    const watched = new Collected();
    desktop.setRaisingCalls(['beginDraggingSessionWithItems:event:source:']);
    assert.equal(addon.startPromiseDrag({ sessionId: 'raised', items, onEnded: watched.fn('ended') }, () => {}), false);
    desktop.setRaisingCalls([]);
    assert.ok(logMessages().some((l) => l.startsWith('session dealloc sessionId=raised')));
    assert.ok(await collectUntil(() => watched.has('ended')));
  });
});

describe('a present onEnded that is not a function', () => {
  const line = 'startPromiseDrag rejected: onEnded is not a function';
  const cases = [
    ['null', null],
    ['a number', 42],
    ['a string', 'onEnded'],
    ['an object', { call() {} }],
    ['true', true],
    ['a symbol', Symbol('onEnded')],
  ];
  for (const [name, value] of cases) {
    test(`${name}: refused with its line, nothing kept`, async () => {
      const watched = new Collected();
      const mark = logMessages().length;
      assert.equal(addon.startPromiseDrag({ sessionId: 'bad', items, onEnded: value }, watched.fn('write')), false);
      assert.deepEqual(messagesSince(mark), [line]);
      assert.deepEqual(desktop.drags(), []);
      assert.equal(registeredSessions(), 0);
      assert.ok(await collectUntil(() => watched.has('write')), 'the write callback is not kept');
    });
  }

  test('refused before the request is read any further', () => {
    const mark = logMessages().length;
    assert.equal(addon.startPromiseDrag({ onEnded: 1 }, () => {}), false);
    assert.deepEqual(messagesSince(mark), [line]);
  });

  test('an onEnded whose getter throws counts as absent, as for the other fields', () => {
    const request = { sessionId: 'getter', items, get onEnded() { throw new Error('getter'); } };
    assert.equal(addon.startPromiseDrag(request, () => {}), true);
    desktop.endAllDrags();
  });

  test('an inherited onEnded counts, as the other properties do', () => {
    const mark = logMessages().length;
    const request = Object.create({ onEnded: 'inherited' });
    Object.assign(request, { sessionId: 'inherited', items });
    assert.equal(addon.startPromiseDrag(request, () => {}), false);
    assert.deepEqual(messagesSince(mark), [line]);
  });
});

describe('a throwing onEnded', () => {
  test('is one uncaught exception; the drop, the write and the retirement go on', () => {
    const script = `
      const d = require(${JSON.stringify(control)}).load(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
      const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
      d.setLogEcho(false);
      const caught = [];
      process.on('uncaughtException', (e) => caught.push(e.message));
      d.createWindow({ frame: { x: 0, y: 0, width: 300, height: 200 }, key: true, main: true });
      d.moveMouse(100, 100);
      d.setPressedButtons(1);
      const tokens = [];
      const started = addon.startPromiseDrag(
        { sessionId: 'throws', items: [{ promiseId: 'p', kind: 'file', suggestedName: 'a.txt' }],
          onEnded: () => { throw new Error('from onEnded'); } },
        (r) => tokens.push(r.completionToken));
      d.dropOnFolder(null, require('node:os').tmpdir(), { x: 0, y: 0 });
      const afterEnd = [...caught];
      d.runMainQueue();
      const completed = addon.completePromiseWrite(tokens[0]);
      d.runFor(31);
      const lines = d.log().map((l) => l.replace(/^.*\\] /, ''));
      console.log(JSON.stringify({
        started, afterEnd, caught, completed,
        answers: d.dropOutcomes().map((o) => [o.answers, o.outcome?.success]),
        ended: lines.filter((l) => l.startsWith('dragging session ended')).length,
        retired: lines.includes('removing idle session sessionId=throws requestedWriteCount=1'),
        violations: d.violations(),
      }));
    `;
    const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8', env: childEnvironment() });
    assert.equal(child.status, 0, child.stderr);
    assert.deepEqual(JSON.parse(child.stdout), {
      started: true,
      afterEnd: ['from onEnded'],
      caught: ['from onEnded'],
      completed: true,
      answers: [[1, true]],
      ended: 1,
      retired: true,
      violations: [],
    });
  });

  test('without a handler it ends the process as Node does', () => {
    const script = `
      const d = require(${JSON.stringify(control)}).load(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
      const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
      d.setLogEcho(false);
      d.createWindow({ frame: { x: 0, y: 0, width: 300, height: 200 }, key: true, main: true });
      d.moveMouse(100, 100);
      d.setPressedButtons(1);
      addon.startPromiseDrag(
        { sessionId: 'unhandled', items: [{ promiseId: 'p', kind: 'file', suggestedName: 'a.txt' }],
          onEnded: () => { throw new Error('unhandled in onEnded'); } },
        () => {});
      d.endAllDrags();
      console.log('not reached');
    `;
    const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8', env: childEnvironment() });
    assert.notEqual(child.status, 0);
    assert.match(child.stderr, /unhandled in onEnded/);
    assert.doesNotMatch(child.stdout, /not reached/);
  });
});
