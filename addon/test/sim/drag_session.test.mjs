// Sim-only: reads the main queue's pending blocks and moves its virtual clock.
// The drag session: the source answers AppKit receives, the end of the drag,
// retiring 30 virtual seconds after it, teardown, and the write callback's
// lifetime.
import assert from 'node:assert/strict';
import { beforeEach, test } from 'node:test';

import { addon, collectUntil, desktop, logMessages } from '../helpers.mjs';
import { cleanDesktop, Collected, messagesSince, tempDirectory, threeItems, windowWithButtonHeld } from '../drag_fixtures.mjs';

beforeEach(cleanDesktop);

const start = (sessionId, callback = () => {}) =>
  addon.startPromiseDrag({ sessionId, items: threeItems }, callback);
const activeCount = () => {
  // The registry's size as the next drag reports it; that drag is ended again.
  const mark = logMessages().length;
  start('probe');
  const line = messagesSince(mark).at(-1);
  const probe = desktop.drags().at(-1);
  desktop.endDrag(probe.id, { x: 0, y: 0 }, 0);
  return Number(line.match(/activeSessions=(\d+)$/)[1]) - 1;
};

test('a cancelled drag retires 30 seconds after its end, not before and never while it runs', async () => {
  const callbacks = new Collected();
  windowWithButtonHeld();
  assert.equal(start('cancelled', callbacks.fn('write')), true);
  const [drag] = desktop.drags();

  desktop.advanceClock(3600);
  assert.equal(logMessages().some((l) => l.startsWith('removing idle session')), false, 'not while the drag runs');

  let mark = logMessages().length;
  desktop.endDrag(drag.id, { x: 412.25, y: -3 }, 0);
  assert.deepEqual(messagesSince(mark), [
    'dragging session ended sessionId=cancelled operation=0 screenPoint=(412.2, -3.0) requestedWriteCount=0 pendingCompletions=0',
  ]);
  assert.deepEqual(desktop.drags(), [], 'the desktop let go of the drag');
  assert.deepEqual(desktop.pendingBlocks(), [desktop.now() + 30]);

  mark = logMessages().length;
  desktop.advanceClock(29.999);
  assert.deepEqual(messagesSince(mark), []);
  desktop.advanceClock(0.001);
  assert.deepEqual(messagesSince(mark), [
    'removing idle session sessionId=cancelled requestedWriteCount=0',
    'session dealloc sessionId=cancelled pendingCompletions=0 requestedWriteCount=0 dragEnded=YES',
  ]);
  assert.ok(await collectUntil(() => callbacks.has('write')), 'the write callback is collected after teardown');
  assert.deepEqual(desktop.violations(), []);
});

test('the write callback stays alive while the session is registered', async () => {
  const callbacks = new Collected();
  windowWithButtonHeld();
  start('kept', callbacks.fn('write'));
  desktop.endDrag(desktop.drags()[0].id, { x: 0, y: 0 }, 1);
  desktop.advanceClock(29);
  // A bounded number of collections: a callback that is held is never taken.
  assert.equal(await collectUntil(() => callbacks.has('write'), 10), false);
  desktop.advanceClock(1);
  assert.ok(await collectUntil(() => callbacks.has('write')));
});

test('sessions are independent: each retires 30 seconds after its own end, in any order', () => {
  windowWithButtonHeld();
  start('first');
  start('second');
  const [first, second] = desktop.drags();
  desktop.endDrag(second.id, { x: 1, y: 2 }, 1);
  desktop.advanceClock(10);
  desktop.endDrag(first.id, { x: 1, y: 2 }, 0);
  const mark = logMessages().length;
  desktop.advanceClock(20);
  assert.deepEqual(messagesSince(mark), [
    'removing idle session sessionId=second requestedWriteCount=0',
    'session dealloc sessionId=second pendingCompletions=0 requestedWriteCount=0 dragEnded=YES',
  ]);
  assert.equal(activeCount(), 1, 'the first is still registered');
  desktop.advanceClock(10);
  assert.ok(logMessages().includes('removing idle session sessionId=first requestedWriteCount=0'));
  desktop.advanceClock(30); // the probe's own session
  assert.equal(activeCount(), 0);
});

test('the end line reports the operation and the point as given', () => {
  windowWithButtonHeld();
  start('copied');
  const mark = logMessages().length;
  desktop.endDrag(desktop.drags()[0].id, { x: -0.05, y: 1e3 }, 1);
  assert.deepEqual(messagesSince(mark), [
    'dragging session ended sessionId=copied operation=1 screenPoint=(-0.1, 1000.0) requestedWriteCount=0 pendingCompletions=0',
  ]);
});

test('a write requested 40 seconds after the drop, when the session has retired, is answered at once', async () => {
  const callbacks = new Collected();
  windowWithButtonHeld();
  assert.equal(start('retired', callbacks.fn('write')), true);
  const directory = tempDirectory();
  // The drop target asks for the files only 40 s after the drop; the drag ended with the drop.
  desktop.dropOnFolder(null, directory, { x: 700, y: 700 }, { requestDelay: 40 });
  const mark = logMessages().length;
  desktop.advanceClock(31);
  assert.ok(messagesSince(mark).includes('removing idle session sessionId=retired requestedWriteCount=0'));
  assert.ok(await collectUntil(() => callbacks.has('write')), 'the session is gone with its callback');

  const late = logMessages().length;
  desktop.advanceClock(10);
  assert.deepEqual(messagesSince(late), [
    'late write request after session retired sessionId=retired promiseId=p1',
    'late write request after session retired sessionId=retired promiseId=p2',
  ]);
  const promised = desktop.dropOutcomes().filter((o) => o.source === 'promise');
  assert.deepEqual(
    promised.map((o) => [o.promiseId, o.answers, o.outcome?.description]),
    [
      ['p1', 1, 'NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED'],
      ['p2', 1, 'NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED'],
    ],
  );
  assert.deepEqual(desktop.violations(), [], 'no drop target left waiting');
});
