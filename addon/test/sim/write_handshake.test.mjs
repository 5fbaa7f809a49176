// Sim-only: asks through foreign providers and counts every answer the drop target saw.
// The write handshake: a drop target asks for each promised file, JavaScript
// gets a write request in a later turn of the main queue, and completes its
// token; the drop target gets its answer once, and the session retires.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { beforeEach, describe, test } from 'node:test';

import { addon, binaryPath, collectUntil, desktop, logMessages } from '../helpers.mjs';
import {
  cleanDesktop,
  Collected,
  messagesSince,
  progressOf,
  startWatchedDrag,
  tempDirectory,
  uuidPattern,
  windowWithButtonHeld,
} from '../drag_fixtures.mjs';
import { childEnvironment } from '../../../scripts/test/temp_folders.mjs';

beforeEach(cleanDesktop);

const domainPattern = /^[a-z0-9-]+(\.[a-z0-9-]+)+\.native-download-promise$/;
const twoPromises = [
  { promiseId: 'p1', kind: 'file', suggestedName: 'report.pdf' },
  { promiseId: 'p2', kind: 'directory', suggestedName: 'Photos' },
];
const onePromise = [{ promiseId: 'only', kind: 'file', suggestedName: 'a.txt' }];

/** A drag of `items` dropped on a fresh folder, its write requests delivered. */
function dropped(sessionId, items, { onWrite, ...options } = {}) {
  windowWithButtonHeld();
  const watched = startWatchedDrag(sessionId, items, onWrite);
  assert.equal(watched.started, true);
  const directory = tempDirectory();
  const drop = desktop.dropOnFolder(watched.drag.id, directory, { x: 500, y: 20 }, options);
  desktop.runMainQueue();
  return { ...watched, directory, drop };
}

const outcomeOf = (destination) => desktop.dropOutcomes().find((o) => o.destination === destination);

test('two items dropped together get two tokens and two payloads, each in a later turn', () => {
  windowWithButtonHeld();
  const { writes, drag } = startWatchedDrag('two', twoPromises);
  const directory = tempDirectory();
  const mark = logMessages().length;
  const { outcomes } = desktop.dropOnFolder(drag.id, directory, { x: 500, y: 20 });
  assert.deepEqual(writes, [], 'nothing is delivered from inside the drop');

  assert.equal(desktop.runMainQueue(), 4, 'two write requests, then two deliveries');
  const [first, second] = writes.map((w) => w.request);
  assert.deepEqual(
    writes.map((w) => [w.self, w.extra, Object.keys(w.request)]),
    Array(2).fill([undefined, 0, ['sessionId', 'promiseId', 'destinationPath', 'destinationKind', 'completionToken']]),
  );
  assert.deepEqual(
    [first, second].map(({ completionToken, ...rest }) => rest),
    [
      { sessionId: 'two', promiseId: 'p1', destinationPath: `${directory}/report.pdf`, destinationKind: 'file' },
      { sessionId: 'two', promiseId: 'p2', destinationPath: `${directory}/Photos`, destinationKind: 'directory' },
    ],
  );
  assert.match(first.completionToken, uuidPattern);
  assert.match(second.completionToken, uuidPattern);
  assert.notEqual(first.completionToken, second.completionToken);
  assert.deepEqual(outcomes.map((o) => o.destination), [first.destinationPath, second.destinationPath]);

  assert.deepEqual(messagesSince(mark), [
    'Finder requested promised file name sessionId=two promiseId=p1 fileType=com.adobe.pdf suggestedName=report.pdf',
    'Finder requested promised file name sessionId=two promiseId=p2 fileType=public.folder suggestedName=Photos',
    'dragging session ended sessionId=two operation=1 screenPoint=(500.0, 20.0) requestedWriteCount=0 pendingCompletions=0',
    `Finder requested promised write sessionId=two promiseId=p1 kind=file destination=${directory}/report.pdf token=${first.completionToken}`,
    `Finder requested promised write sessionId=two promiseId=p2 kind=directory destination=${directory}/Photos token=${second.completionToken}`,
    `JS write-request callback delivered sessionId=two promiseId=p1 destination=${directory}/report.pdf`,
    `JS write-request callback delivered sessionId=two promiseId=p2 destination=${directory}/Photos`,
  ]);
  assert.deepEqual(desktop.dropOutcomes().map((o) => o.answers), [0, 0], 'both writes stay open');
  assert.deepEqual(desktop.violations(), []);
});

describe('completePromiseWrite', () => {
  const success = { success: true };
  const failure = (description) => ({ success: false, domain: 'DOMAIN', code: 1, description });
  // [name, arguments after the token, outcome at the drop target, the message as logged]
  const cases = [
    ['no message', [], success, ''],
    ['an empty message', [''], success, ''],
    ['null', [null], success, ''],
    ['a number', [42], success, ''],
    ['a message', ['disk full'], failure('disk full'), 'disk full'],
    ['a message, extra arguments ignored', ['no space %@ left', 'ignored'], failure('no space %@ left'), 'no space %@ left'],
  ];
  for (const [name, rest, expected, logged] of cases) {
    test(`with ${name}`, () => {
      const { writes } = dropped('c', onePromise);
      const { completionToken: token, destinationPath } = writes[0].request;
      const mark = logMessages().length;
      assert.equal(addon.completePromiseWrite(token, ...rest), true);
      const ok = expected.success ? 'YES' : 'NO';
      assert.deepEqual(messagesSince(mark), [
        `completePromiseWrite called token=${token} errorMessage=${logged}`,
        `completeToken invoking AppKit completion sessionId=c token=${token} success=${ok} errorMessage=${logged}`,
      ]);
      const { outcome, answers } = outcomeOf(destinationPath);
      assert.equal(answers, 1);
      if (outcome.domain) assert.match(outcome.domain, domainPattern);
      assert.deepEqual(outcome, outcome.domain ? { ...expected, domain: outcome.domain } : expected);
      assert.equal(progressOf(destinationPath).withdrawn, true);
    });
  }

  test('rejections: bad arguments, unknown tokens, a token completed twice', () => {
    const { writes } = dropped('r', onePromise);
    const token = writes[0].request.completionToken;
    assert.equal(addon.completePromiseWrite(token), true);
    // [arguments, lines]
    const rejections = [
      [[], ['completePromiseWrite rejected: invalid arguments argc=0']],
      [[''], ['completePromiseWrite rejected: missing token']],
      [['', 'message'], ['completePromiseWrite rejected: missing token']],
      [[7], ['completePromiseWrite rejected: missing token']],
      [[{ toString: () => token }], ['completePromiseWrite rejected: missing token']],
      [[token], [`completePromiseWrite called token=${token} errorMessage=`, `completePromiseWrite did not find token token=${token} activeSessions=1`]],
      [[token, 'late'], [`completePromiseWrite called token=${token} errorMessage=late`, `completePromiseWrite did not find token token=${token} activeSessions=1`]],
      [['NEVER-ISSUED'], ['completePromiseWrite called token=NEVER-ISSUED errorMessage=', 'completePromiseWrite did not find token token=NEVER-ISSUED activeSessions=1']],
      [[token.toLowerCase()], [`completePromiseWrite called token=${token.toLowerCase()} errorMessage=`, `completePromiseWrite did not find token token=${token.toLowerCase()} activeSessions=1`]],
    ];
    for (const [args, lines] of rejections) {
      const mark = logMessages().length;
      assert.equal(addon.completePromiseWrite(...args), false, JSON.stringify(args));
      assert.deepEqual(messagesSince(mark), lines);
    }
    assert.equal(outcomeOf(writes[0].request.destinationPath).answers, 1, 'the drop target was answered once');
    assert.deepEqual(desktop.violations(), []);
  });

  test('with no session registered the line reports 0 sessions', () => {
    const mark = logMessages().length;
    assert.equal(addon.completePromiseWrite('NEVER-ISSUED', 'x'), false);
    assert.deepEqual(messagesSince(mark), [
      'completePromiseWrite called token=NEVER-ISSUED errorMessage=x',
      'completePromiseWrite did not find token token=NEVER-ISSUED activeSessions=0',
    ]);
  });
});

test('a write requested 20 s after the drag ended is accepted and delivered like any other', () => {
  const { writes, directory } = dropped('late', onePromise, { requestDelay: 20 });
  assert.deepEqual(writes, [], 'not asked yet');
  const mark = logMessages().length;
  desktop.advanceClock(20);
  const token = writes[0]?.request.completionToken;
  assert.match(token, uuidPattern);
  assert.deepEqual(messagesSince(mark), [
    `Finder requested promised write sessionId=late promiseId=only kind=file destination=${directory}/a.txt token=${token}`,
    `JS write-request callback delivered sessionId=late promiseId=only destination=${directory}/a.txt`,
  ]);
  desktop.advanceClock(10); // the check 30 s after the end finds the write open
  assert.equal(logMessages().some((l) => l.startsWith('removing idle session')), false);
  addon.completePromiseWrite(token);
  desktop.advanceClock(29.9);
  assert.equal(logMessages().some((l) => l.startsWith('removing idle session')), false);
  desktop.advanceClock(0.1);
  assert.ok(logMessages().includes('removing idle session sessionId=late requestedWriteCount=1'));
});

describe('a session with two open writes retires at the first check that finds both complete', () => {
  // [name, seconds after the drop at which p1 and p2 complete, seconds after the drop it retires]
  const cases = [
    ['the second 40 s after the first', [10, 50], 80],
    ['the second within 30 s of the first', [40, 45], 70],
    ['both at once', [0, 0], 30],
  ];
  for (const [name, [first, second], retires] of cases) {
    test(name, () => {
      const { writes } = dropped('pair', twoPromises);
      const dropTime = desktop.now();
      const [t1, t2] = writes.map((w) => w.request.completionToken);
      const removalTimes = [];
      const at = (seconds) => desktop.advanceClock(dropTime + seconds - desktop.now());
      const watch = (until) => {
        // Steps of 0.5 s, noting when the removal line appears.
        while (desktop.now() < dropTime + until) {
          const mark = logMessages().length;
          desktop.advanceClock(0.5);
          if (messagesSince(mark).some((l) => l.startsWith('removing idle session sessionId=pair'))) {
            removalTimes.push(desktop.now() - dropTime);
          }
        }
      };
      watch(first);
      at(first);
      assert.equal(addon.completePromiseWrite(t1), true);
      watch(second);
      at(second);
      assert.equal(addon.completePromiseWrite(t2), true);
      watch(retires + 31);
      assert.deepEqual(removalTimes, [retires]);
      assert.ok(logMessages().includes('session dealloc sessionId=pair pendingCompletions=0 requestedWriteCount=2 dragEnded=YES'));
    });
  }

  test('checks before the drag has ended do nothing, however many writes completed', () => {
    const { writes, drag } = dropped('running', twoPromises, { endDrag: false });
    for (const { request } of writes) addon.completePromiseWrite(request.completionToken);
    desktop.advanceClock(300);
    assert.equal(logMessages().some((l) => l.startsWith('removing idle session')), false);
    desktop.endDrag(drag.id, { x: 0, y: 0 }, 1);
    desktop.advanceClock(30);
    assert.ok(logMessages().includes('removing idle session sessionId=running requestedWriteCount=2'));
  });
});

describe('a provider that is not ours', () => {
  for (const provider of ['foreign', 'withoutItem']) {
    test(`(${provider}) is refused at once; nothing is logged, kept or delivered`, () => {
      windowWithButtonHeld();
      const { writes, drag } = startWatchedDrag('foreign', onePromise);
      const directory = tempDirectory();
      const mark = logMessages().length;
      const { outcomes } = desktop.requestWriteThroughForeignProvider(drag.id, directory, { provider });
      assert.equal(outcomes[0].fileName, 'Kestrovan Download', 'the default name, without a line');
      desktop.runFor(1);
      const { outcome, answers } = outcomeOf(`${directory}/Kestrovan Download`);
      assert.equal(answers, 1);
      assert.match(outcome.domain, domainPattern);
      assert.deepEqual({ ...outcome, domain: 'd' }, {
        success: false, domain: 'd', code: 1, description: 'NATIVE_DOWNLOAD_PROMISE_INVALID_PROVIDER',
      });
      assert.deepEqual(messagesSince(mark), []);
      assert.deepEqual(writes, []);
      assert.deepEqual(desktop.progresses(), [], 'no progress was made');
      desktop.endDrag(drag.id, { x: 0, y: 0 }, 0);
      assert.equal(messagesSince(mark).at(-1),
        'dragging session ended sessionId=foreign operation=0 screenPoint=(0.0, 0.0) requestedWriteCount=0 pendingCompletions=0');
    });
  }
});

test('re-entrant calls from inside the write callback', () => {
  const inner = tempDirectory();
  const results = [];
  const { writes, directory } = dropped('outer', twoPromises, {
    onWrite(request) {
      if (request.promiseId !== 'p1') return;
      results.push(addon.updatePromiseWriteProgress(request.completionToken, 0.5));
      results.push(addon.completePromiseWrite(request.completionToken));
      results.push(addon.completePromiseWrite(request.completionToken));
      // A new drag, registered while the delivery runs, dropped at once.
      results.push(startWatchedDrag('inner', onePromise).started);
      desktop.dropOnFolder(null, inner, { x: 1, y: 1 });
    },
  });
  assert.deepEqual(results, [true, true, false, true]);
  desktop.runMainQueue(); // the inner drag's request and delivery
  assert.deepEqual(writes.map((w) => w.request.promiseId), ['p1', 'p2']);
  assert.deepEqual(progressOf(`${directory}/report.pdf`).completedHistory, [500, 1000]);
  assert.ok(logMessages().includes(`JS write-request callback delivered sessionId=outer promiseId=p1 destination=${directory}/report.pdf`));
  assert.ok(logMessages().includes(`JS write-request callback delivered sessionId=outer promiseId=p2 destination=${directory}/Photos`));
  assert.ok(logMessages().includes(`JS write-request callback delivered sessionId=inner promiseId=only destination=${inner}/a.txt`));
  assert.equal(addon.completePromiseWrite(writes[1].request.completionToken, 'failed'), true);
  assert.deepEqual(desktop.dropOutcomes().map((o) => [o.destination, o.answers]), [
    [`${directory}/report.pdf`, 1],
    [`${directory}/Photos`, 1],
    [`${inner}/a.txt`, 0],
  ]);
  assert.deepEqual(desktop.violations(), []);
});

test('the write callback is collected after the session with its writes done retires', async () => {
  const callbacks = new Collected();
  windowWithButtonHeld();
  const tokens = [];
  addon.startPromiseDrag({ sessionId: 'gc', items: twoPromises }, callbacks.fn('write', (r) => tokens.push(r.completionToken)));
  desktop.dropOnFolder(null, tempDirectory(), { x: 0, y: 0 });
  desktop.runMainQueue();
  for (const token of tokens) addon.completePromiseWrite(token);
  desktop.advanceClock(29);
  assert.equal(await collectUntil(() => callbacks.has('write'), 10), false, 'held while registered');
  desktop.advanceClock(1);
  assert.ok(await collectUntil(() => callbacks.has('write')));
});

describe('a write callback that throws', () => {
  // In a child process: the exception is an uncaught exception of the process.
  const script = (body) => `
    const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
    const d = require(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
    const fs = require('node:fs'), os = require('node:os'), path = require('node:path');
    d.setLogEcho(false);
    d.createWindow({ frame: { x: 0, y: 0, width: 300, height: 200 }, key: true, main: true });
    d.moveMouse(100, 100);
    d.setPressedButtons(1);
    const caught = [];
    process.on('uncaughtException', (e) => caught.push(e.message));
    const item = (id) => [{ promiseId: id, kind: 'file', suggestedName: id + '.txt' }];
    const dir = () => fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-throw-'));
    const tag = '[KestrovanNativeFilePromise] ';
    const lines = () => d.log().map((l) => l.slice(tag.length));
    const outcomes = () => d.dropOutcomes().map((o) => [o.fileName, o.answers, o.outcome && (o.outcome.description ?? 'ok')]);
    ${body}
  `;
  const run = (body) => {
    const child = spawnSync(process.execPath, ['-e', script(body)], { encoding: 'utf8', env: childEnvironment() });
    assert.equal(child.status, 0, child.stderr);
    return JSON.parse(child.stdout);
  };

  test('fails its write, and the next write request of any session is delivered', () => {
    const result = run(`
      addon.startPromiseDrag({ sessionId: 'thrower', items: item('bad') }, () => { throw new Error('write failed in JS'); });
      d.dropOnFolder(null, dir(), { x: 1, y: 1 });
      d.runMainQueue();
      const after = [addon.disarmPromiseDrag(), addon.updatePromiseWriteProgress('NONE', 0.5)];
      const tokens = [];
      addon.startPromiseDrag({ sessionId: 'next', items: item('good') }, (r) => tokens.push(r.completionToken));
      d.dropOnFolder(null, dir(), { x: 1, y: 1 });
      d.runMainQueue();
      after.push(addon.completePromiseWrite(tokens[0]));
      console.log(JSON.stringify({ caught, after, outcomes: outcomes(), lines: lines().filter((l) => /^(JS |completeToken)/.test(l)) }));
    `);
    assert.deepEqual(result.caught, ['write failed in JS']);
    assert.deepEqual(result.after, [true, false, true]);
    assert.deepEqual(result.outcomes, [
      ['bad.txt', 1, 'NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED'],
      ['good.txt', 1, 'ok'],
    ]);
    const [failed, completed, delivered, completedGood] = result.lines;
    // napi_pending_exception
    assert.match(failed, /^JS write-request callback failed sessionId=thrower promiseId=bad token=[0-9A-F-]{36} napiStatus=10$/);
    assert.match(completed, /^completeToken invoking AppKit completion sessionId=thrower token=[0-9A-F-]{36} success=NO errorMessage=NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED$/);
    assert.match(delivered, /^JS write-request callback delivered sessionId=next promiseId=good destination=/);
    assert.match(completedGood, /success=YES errorMessage=$/);
    assert.equal(result.lines.length, 4);
  });

  test('after completing its own write, the failure finds the token gone', () => {
    const result = run(`
      addon.startPromiseDrag({ sessionId: 'early', items: item('done') }, (r) => {
        addon.completePromiseWrite(r.completionToken);
        throw new Error('after completing');
      });
      d.dropOnFolder(null, dir(), { x: 1, y: 1 });
      d.runMainQueue();
      console.log(JSON.stringify({ caught, outcomes: outcomes(), lines: lines().filter((l) => /^(JS |completeToken)/.test(l)) }));
    `);
    assert.deepEqual(result.caught, ['after completing']);
    assert.deepEqual(result.outcomes, [['done.txt', 1, 'ok']]);
    assert.equal(result.lines.length, 3);
    assert.match(result.lines[0], /success=YES errorMessage=$/);
    assert.match(result.lines[1], /^JS write-request callback failed sessionId=early promiseId=done token=\S+ napiStatus=10$/);
    assert.match(result.lines[2], /^completeToken ignored missing token sessionId=early token=\S+ errorMessage=NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED$/);
  });
});
