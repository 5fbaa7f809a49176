// Sim-only: reads the progress objects the desktop recorded.
// Write progress: each open write publishes a file download progress on its
// destination; updatePromiseWriteProgress sets it, completion finishes and
// withdraws it. Read back as observers of published progress see it.
import assert from 'node:assert/strict';
import { beforeEach, describe, test } from 'node:test';

import { addon, desktop, logMessages } from '../helpers.mjs';
import { cleanDesktop, messagesSince, progressOf, startWatchedDrag, tempDirectory, windowWithButtonHeld } from '../drag_fixtures.mjs';

beforeEach(cleanDesktop);

/** One open write, delivered: its token and its destination. */
function openWrite(suggestedName = 'a b.txt') {
  if (!desktop.windowNumbers().includes(101)) windowWithButtonHeld();
  const { writes } = startWatchedDrag('progress', [{ promiseId: 'p', kind: 'file', suggestedName }]);
  desktop.dropOnFolder(null, tempDirectory(), { x: 0, y: 0 });
  desktop.runMainQueue();
  const { completionToken: token, destinationPath } = writes[0].request;
  return { token, destinationPath, progress: () => progressOf(destinationPath) };
}

test('an open write publishes a file download progress of 1000 units on its destination', () => {
  const { destinationPath, progress } = openWrite();
  assert.match(destinationPath, /\/a b\.txt$/);
  assert.deepEqual(desktop.publishedProgress(), [progress()]);
  const { id, ...settings } = progress();
  assert.deepEqual(settings, {
    fileURL: `file://${destinationPath.replace(' ', '%20')}`,
    kind: 'NSProgressKindFile',
    fileOperationKind: 'NSProgressFileOperationKindDownloading',
    cancellable: false,
    pausable: false,
    totalUnitCount: 1000,
    completedUnitCount: 0,
    published: true,
    withdrawn: false,
    completedHistory: [],
  });
});

describe('fractions become completed units, clamped and rounded half away from zero', () => {
  // [fractions in turn, completed count read back after each]
  const cases = [
    [[0.5], [500]],
    [[0.0005], [1]],
    [[0.0025], [3]],
    [[0.0004], [0]],
    [[0.9995], [1000]],
    [[1.7], [1000]],
    [[Infinity], [1000]],
    [[-3], [0]],
    [[-Infinity], [0]],
    [[-0], [0]],
    [[0.8, 0.3], [800, 300]],
    [[0.25, NaN], [250, 250]], // NaN is ignored: the count stays
  ];
  for (const [fractions, counts] of cases) {
    test(fractions.join(' then '), () => {
      const { token, progress } = openWrite();
      const mark = logMessages().length;
      const seen = fractions.map((fraction) => {
        assert.equal(addon.updatePromiseWriteProgress(token, fraction), true, `fraction ${fraction}`);
        return progress().completedUnitCount;
      });
      assert.deepEqual(seen, counts);
      assert.deepEqual(progress().completedHistory, fractions.filter((f) => !Number.isNaN(f)).map((_, i) => counts[i]));
      assert.deepEqual(messagesSince(mark), [], 'no log line');
      assert.deepEqual(desktop.violations(), []);
    });
  }
});

test('rejected updates return false and change nothing', () => {
  const { token, progress } = openWrite();
  addon.updatePromiseWriteProgress(token, 0.4);
  const other = openWrite('b.txt');
  assert.equal(addon.completePromiseWrite(other.token), true);
  const mark = logMessages().length;
  // [name, arguments]
  const rejections = [
    ['no arguments', []],
    ['only the token', [token]],
    ['a fraction given as a string', [token, '0.5']],
    ['a fraction given as null', [token, null]],
    ['a BigInt fraction', [token, 1n]],
    ['a token that is not a string', [{ toString: () => token }, 0.5]],
    ['an empty token', ['', 0.5]],
    ['a token never issued', ['NEVER-ISSUED', 0.5]],
    ['the token of a completed write', [other.token, 0.5]],
  ];
  for (const [name, args] of rejections) {
    assert.equal(addon.updatePromiseWriteProgress(...args), false, name);
  }
  assert.deepEqual(progress().completedHistory, [400]);
  assert.deepEqual(other.progress().completedHistory, [1000]);
  assert.deepEqual(messagesSince(mark), []);
});

describe('completion finishes the progress and withdraws it, just before the drop target hears', () => {
  // [name, completion arguments after the token, history]
  const cases = [
    ['success ends at the total', [], [420, 300, 1000]],
    ['an empty message is a success', [''], [420, 300, 1000]],
    ['an error stays at the last reported count', ['write failed'], [420, 300]],
  ];
  for (const [name, rest, history] of cases) {
    test(name, () => {
      const { token, destinationPath, progress } = openWrite();
      addon.updatePromiseWriteProgress(token, 0.42);
      addon.updatePromiseWriteProgress(token, 0.3);
      assert.equal(addon.completePromiseWrite(token, ...rest), true);
      assert.deepEqual(progress().completedHistory, history);
      assert.deepEqual([progress().published, progress().withdrawn], [false, true]);
      assert.deepEqual(desktop.publishedProgress(), []);
      const outcome = desktop.dropOutcomes().find((o) => o.destination === destinationPath);
      assert.equal(outcome.answers, 1);
      assert.equal(addon.updatePromiseWriteProgress(token, 0.9), false, 'a completed write takes no update');
      assert.deepEqual(progress().completedHistory, history);
      assert.deepEqual(desktop.violations(), [], 'published once, withdrawn once');
    });
  }
});
