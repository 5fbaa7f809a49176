// Sim-only: reads drop outcomes and progress objects and moves the virtual clock.
// startFileDrag: a drag whose writes are served by an async writer. With the
// desktop's main queue live, as AppKit's run loop runs it, a writer's promise
// settles in a later turn; each drop target is then answered exactly once with
// the writer's outcome, its progress is withdrawn, the session retires and no
// rejection is left unhandled.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { afterEach, beforeEach, describe, test } from 'node:test';

import { addon, collectUntil, desktop, logMessages } from '../helpers.mjs';
import { cleanDesktop, Collected, messagesSince, progressOf, tempDirectory, windowWithButtonHeld } from '../drag_fixtures.mjs';

const require = createRequire(import.meta.url);
const { createStartFileDrag } = require('../../js/start_file_drag.js');
const startFileDrag = createStartFileDrag(addon);

const unhandled = [];
const onUnhandled = (reason) => unhandled.push(reason);

beforeEach(() => {
  cleanDesktop();
  windowWithButtonHeld();
  desktop.setLiveMainQueue(true);
  process.on('unhandledRejection', onUnhandled);
});
afterEach(async () => {
  // A rejection is reported unhandled once the microtasks of its turn have run.
  await turns(3);
  process.off('unhandledRejection', onUnhandled);
  desktop.setLiveMainQueue(false);
  assert.deepEqual(unhandled.splice(0), [], 'no rejection was left unhandled');
  assert.deepEqual(desktop.violations(), []);
  cleanDesktop();
});

const turns = async (count) => {
  for (let i = 0; i < count; i++) await new Promise((resolve) => setImmediate(resolve));
};

/** Lets the event loop run until `condition()` holds (at most two seconds). */
async function until(condition) {
  const deadline = Date.now() + 2000;
  while (!condition() && Date.now() < deadline) await turns(1);
  return condition();
}

const file = (promiseId, suggestedName = `${promiseId}.txt`) => ({ promiseId, kind: 'file', suggestedName });
const later = (value) => new Promise((resolve) => setTimeout(() => resolve(value), 5));

/** Drops the newest drag on a fresh folder and waits until every destination is answered. */
async function dropAndSettle() {
  const folder = tempDirectory();
  const { drop } = desktop.dropOnFolder(null, folder, { x: 700, y: 700 });
  const outcomes = () => desktop.dropOutcomes().filter((o) => o.drop === drop);
  assert.ok(await until(() => outcomes().every((o) => o.answers > 0)), 'every destination was answered');
  await turns(5); // room for a second answer, which must not come
  return { folder, outcomes: outcomes() };
}

/** Advances the clock past the retirement check; true when the session retired then. */
function retires(sessionId) {
  const mark = logMessages().length;
  desktop.advanceClock(30);
  return messagesSince(mark).some((line) => line.startsWith(`removing idle session sessionId=${sessionId} `));
}

const answer = (outcome) => (outcome.outcome.success ? 'success' : outcome.outcome.description);

describe('each write is completed exactly once with the writer\'s outcome', () => {
  const fallback = 'The file could not be written.';
  // [case, writer (given the write; the file is written first), what the drop target is answered]
  const cases = [
    ['an async writer that resolves', async () => undefined, 'success'],
    ['a promise that resolves later', () => later('done'), 'success'],
    ['an async writer that rejects', async () => { throw new Error('the server answered 503'); }, 'the server answered 503'],
    ['a promise that rejects later', () => later().then(() => { throw new Error('connection reset'); }), 'connection reset'],
    ['a rejection with a non-empty string', () => Promise.reject('quota exceeded'), 'quota exceeded'],
    ['a rejection with an empty message', () => Promise.reject(new Error('')), fallback],
    ['a rejection with no reason', () => Promise.reject(), fallback],
    ['a rejection with an object without a message', () => Promise.reject({ code: 'EIO' }), fallback],
    ['a rejection whose message getter throws', () => Promise.reject({ get message() { throw new Error('x'); } }), fallback],
    ['a synchronous throw', () => { throw new TypeError('writer bug'); }, 'writer bug'],
    ['a synchronous throw of an empty string', () => { throw ''; }, fallback],
    ['a value that is not a promise', () => 42, 'success'],
    ['a thenable that rejects', () => ({ then: (_, reject) => reject(new Error('thenable failed')) }), 'thenable failed'],
    ['a thenable whose then getter throws', () => ({ get then() { throw new Error('no then'); } }), 'no then'],
  ];
  for (const [name, writer, expected] of cases) {
    test(name, async () => {
      const seen = [];
      const started = startFileDrag({ sessionId: 'one', items: [file('p1', 'report.txt')] }, function (write) {
        seen.push({ self: this, write });
        fs.writeFileSync(write.destinationPath, 'contents');
        return writer(write);
      });
      assert.equal(started, true);
      const { folder, outcomes } = await dropAndSettle();
      assert.equal(seen.length, 1);
      assert.equal(seen[0].self, undefined);
      const { write } = seen[0];
      assert.deepEqual(
        { ...write, progress: typeof write.progress, signal: write.signal instanceof AbortSignal },
        {
          sessionId: 'one',
          promiseId: 'p1',
          kind: 'file',
          destinationPath: path.join(folder, 'report.txt'),
          suggestedName: 'report.txt',
          progress: 'function',
          signal: true,
        },
      );
      assert.deepEqual(outcomes.map((o) => [o.answers, answer(o)]), [[1, expected]]);
      if (expected !== 'success') assert.equal(outcomes[0].outcome.code, 1);
      assert.deepEqual(desktop.publishedProgress(), [], 'progress withdrawn');
      assert.equal(retires('one'), true, 'the session retired');
      assert.equal(write.signal.aborted, false, 'the signal is not aborted by a completion');
    });
  }
});

test('progress to 1 is published as it comes, finished on success, and ignored once complete', async () => {
  const counts = [];
  let progress;
  startFileDrag({ sessionId: 'progress', items: [file('p1')] }, async (write) => {
    progress = write.progress;
    const read = () => progressOf(write.destinationPath).completedUnitCount;
    for (const fraction of [0.25, 0.5, 1]) {
      assert.equal(write.progress(fraction), true);
      counts.push(read());
      await later();
    }
    assert.equal(write.progress('0.7'), false, 'a fraction that is not a number is not taken');
    fs.writeFileSync(write.destinationPath, 'done');
  });
  const { folder, outcomes } = await dropAndSettle();
  assert.deepEqual(counts, [250, 500, 1000]);
  assert.deepEqual(outcomes.map((o) => [o.answers, answer(o)]), [[1, 'success']]);
  const destination = path.join(folder, 'p1.txt');
  assert.deepEqual(desktop.publishedProgress(), []);
  const history = progressOf(destination).completedHistory;
  assert.equal(progress(0.1), false, 'progress after completion is ignored');
  assert.deepEqual(progressOf(destination).completedHistory, history);
  assert.equal(retires('progress'), true);
});

test('a multi-item drop: each item to its own writer call, each answered once with its own outcome', async () => {
  const items = [file('ok', 'a.txt'), { promiseId: 'folder', kind: 'directory', suggestedName: 'Photos' }, file('bad', 'b.txt')];
  const calls = [];
  startFileDrag({ sessionId: 'multi', items }, async (write) => {
    calls.push([write.promiseId, write.kind, write.suggestedName, path.basename(write.destinationPath)]);
    await later();
    if (write.kind === 'directory') {
      fs.mkdirSync(write.destinationPath);
      fs.writeFileSync(path.join(write.destinationPath, 'one.jpg'), 'jpg');
    } else if (write.promiseId === 'bad') {
      throw new Error('b.txt is gone from the server');
    } else {
      fs.writeFileSync(write.destinationPath, 'a');
    }
  });
  // The folder already holds an "a.txt": the target picks "a 2.txt", the suggested name stays.
  const folder = tempDirectory();
  fs.writeFileSync(path.join(folder, 'a.txt'), 'earlier');
  const { drop } = desktop.dropOnFolder(null, folder, { x: 700, y: 700 });
  const outcomes = () => desktop.dropOutcomes().filter((o) => o.drop === drop);
  assert.ok(await until(() => outcomes().every((o) => o.answers > 0)));
  await turns(5);
  assert.deepEqual(calls.sort(), [
    ['bad', 'file', 'b.txt', 'b.txt'],
    ['folder', 'directory', 'Photos', 'Photos'],
    ['ok', 'file', 'a.txt', 'a 2.txt'],
  ]);
  assert.deepEqual(outcomes().map((o) => [o.promiseId, o.answers, answer(o)]), [
    ['ok', 1, 'success'],
    ['folder', 1, 'success'],
    ['bad', 1, 'b.txt is gone from the server'],
  ]);
  assert.deepEqual(desktop.publishedProgress(), []);
  assert.equal(retires('multi'), true);
});

test('the signal aborts when a progress report finds the write answered by the addon itself', async () => {
  // Stands in for the addon answering an open write (as when its session goes
  // away): the token, which the writer never sees, is completed behind its back.
  const tokens = [];
  const spied = createStartFileDrag({
    ...Object.fromEntries(Object.getOwnPropertyNames(addon).map((name) => [name, addon[name]])),
    startPromiseDrag: (request, callback) =>
      addon.startPromiseDrag(request, (write) => {
        tokens.push(write.completionToken);
        callback(write);
      }),
  });
  const events = [];
  spied({ sessionId: 'abandoned', items: [file('p1')] }, async (write) => {
    write.signal.addEventListener('abort', () => events.push('abort'));
    assert.equal(write.progress(0.3), true);
    addon.completePromiseWrite(tokens[0], 'answered elsewhere');
    events.push(write.progress(0.6) ? 'taken' : 'refused');
    events.push(write.signal.aborted);
    throw new Error('the writer gives up');
  });
  const { outcomes } = await dropAndSettle();
  assert.deepEqual(events, ['abort', 'refused', true]);
  assert.deepEqual(outcomes.map((o) => [o.answers, answer(o)]), [[1, 'answered elsewhere']]);
  assert.equal(retires('abandoned'), true);
});

test('the writer is let go of once its session has retired', async () => {
  const callbacks = new Collected();
  startFileDrag({ sessionId: 'released', items: [file('p1')] }, callbacks.fn('writer', async () => {}));
  await dropAndSettle();
  assert.equal(await collectUntil(() => callbacks.has('writer'), 10), false, 'held while the session is registered');
  assert.equal(retires('released'), true);
  assert.ok(await collectUntil(() => callbacks.has('writer')), 'collected after the session retired');
});

describe('programming errors and refused requests', () => {
  for (const writer of [undefined, null, 'write', {}]) {
    test(`a writer that is not a function (${writer === null ? 'null' : typeof writer}) is a TypeError, and nothing starts`, () => {
      const mark = logMessages().length;
      assert.throws(() => startFileDrag({ sessionId: 's', items: [file('p1')] }, writer), TypeError);
      assert.deepEqual(desktop.drags(), []);
      assert.deepEqual(messagesSince(mark), []);
    });
  }

  test('a request startPromiseDrag refuses is answered false with its line', () => {
    const requests = [null, 7, { sessionId: '', items: [file('p1')] }, { sessionId: 's', items: [] }, { sessionId: 's', get items() { throw new Error('getter'); } }];
    for (const request of requests) {
      const mark = logMessages().length;
      assert.equal(startFileDrag(request, async () => {}), false);
      assert.match(messagesSince(mark).at(-1), /^startPromiseDrag rejected/);
    }
    assert.deepEqual(desktop.drags(), []);
  });
});

test('with writeFileFromStream: the file written with its progress shown, a failed source answered and removed', async () => {
  const { writeFileFromStream } = require('../../js/write_file_from_stream.js');
  async function* source(promiseId) {
    yield Buffer.alloc(300, 1);
    await later();
    if (promiseId === 'broken') throw new Error('the download broke off');
    yield Buffer.alloc(700, 2);
  }
  startFileDrag({ sessionId: 'streamed', items: [file('whole'), file('broken')] }, ({ promiseId, destinationPath, progress, signal }) =>
    writeFileFromStream(destinationPath, source(promiseId), { size: 1000, progress, signal }),
  );
  const { folder, outcomes } = await dropAndSettle();
  assert.deepEqual(outcomes.map((o) => [o.promiseId, o.answers, answer(o), o.existedWhenAnswered]), [
    ['whole', 1, 'success', true],
    ['broken', 1, 'the download broke off', false],
  ]);
  assert.equal(fs.statSync(path.join(folder, 'whole.txt')).size, 1000);
  assert.deepEqual(progressOf(path.join(folder, 'whole.txt')).completedHistory, [0, 300, 1000, 1000]);
  assert.deepEqual(progressOf(path.join(folder, 'broken.txt')).completedHistory, [0, 300]);
  assert.deepEqual(desktop.publishedProgress(), []);
  assert.equal(retires('streamed'), true);
});
