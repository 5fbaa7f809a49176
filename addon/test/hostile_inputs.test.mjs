// Hostile values handed to the exports: each answers a boolean, nothing of the
// value's own code escapes but what JavaScript itself throws, and nothing is
// left behind.
import assert from 'node:assert/strict';
import { after, beforeEach, describe, test } from 'node:test';

import { addon, driver, simOnly } from './desktop/driver.mjs';

beforeEach(() => driver.reset());
after(() => driver.close());

const logMessages = () => driver.logMessages();
const messagesSince = (mark) => logMessages().slice(mark);

/** A key window with the left button pressed in it, so that only the request can refuse a drag. */
async function windowWithButtonHeld() {
  const w = await driver.createWindow({ frame: { x: 100, y: 100, width: 800, height: 600 } });
  await driver.postMouse(w, { type: 'down', x: 300, y: 300 });
}

const valid = { promiseId: 'p', kind: 'file', suggestedName: 'a.txt' };

describe('startPromiseDrag with hostile requests', () => {
  test('a sparse items array of length 2^32 - 1 is read item by item, not allocated', async () => {
    await windowWithButtonHeld();
    const sparse = [];
    sparse.length = 4294967295;
    sparse[0] = valid;
    const mark = logMessages().length;
    assert.equal(addon.startPromiseDrag({ sessionId: 'sparse', items: sparse }, () => {}), false);
    assert.equal(
      messagesSince(mark).at(-1),
      'startPromiseDrag rejected sessionId=sparse: invalid item index=1 promiseId= kind= suggestedName=',
    );
  });

  const throwing = (what) => {
    throw new Error(what);
  };
  const cases = [
    ['a request whose sessionId getter throws', () => ({ get sessionId() { return throwing('getter'); }, items: [valid] }),
      'startPromiseDrag rejected: missing sessionId'],
    ['a request Proxy whose has trap throws', () => new Proxy({ sessionId: 's', items: [valid] }, { has: () => throwing('has') }),
      'startPromiseDrag rejected: missing sessionId'],
    ['a revoked Proxy as request', () => { const r = Proxy.revocable({}, {}); r.revoke(); return r.proxy; },
      'startPromiseDrag rejected: missing sessionId'],
    ['an items getter that throws', () => ({ sessionId: 's', get items() { return throwing('items'); } }),
      'startPromiseDrag rejected sessionId=s: items is not an array'],
    ['a revoked Proxy as items', () => { const r = Proxy.revocable([], {}); r.revoke(); return { sessionId: 's', items: r.proxy }; },
      'startPromiseDrag rejected sessionId=s: items is not an array'],
    ['an item whose kind getter throws', () => ({ sessionId: 's', items: [{ promiseId: 'p', get kind() { return throwing('kind'); }, suggestedName: 'a' }] }),
      'startPromiseDrag rejected sessionId=s: invalid item index=0 promiseId=p kind= suggestedName=a'],
    ['an array with a hole', () => ({ sessionId: 's', items: [valid, , valid] }),
      'startPromiseDrag rejected sessionId=s: invalid item index=1 promiseId= kind= suggestedName='],
    ['a sessionId with an embedded NUL, cut there', () => ({ sessionId: '\0x', items: [valid] }),
      'startPromiseDrag rejected: missing sessionId'],
  ];
  for (const [what, make, last] of cases) {
    test(what, async () => {
      await windowWithButtonHeld();
      const mark = logMessages().length;
      assert.equal(addon.startPromiseDrag(make(), () => {}), false);
      assert.equal(messagesSince(mark).at(-1), last);
      if (simOnly) assert.deepEqual(simOnly.drags(), [], 'no drag began');
    });
  }

  test('an element getter that throws ends the call with false and no line', async () => {
    await windowWithButtonHeld();
    const items = [valid];
    Object.defineProperty(items, 1, { get: () => throwing('element'), enumerable: true });
    const mark = logMessages().length;
    assert.equal(addon.startPromiseDrag({ sessionId: 's', items }, () => {}), false);
    assert.equal(messagesSince(mark).at(-1), 'resolved file type promiseId=p kind=file suggestedName=a.txt extension=txt fileType=public.plain-text');
  });

  test('a getter that changes its object while it is read', async () => {
    await windowWithButtonHeld();
    const request = { items: [valid] };
    Object.defineProperty(request, 'sessionId', {
      get() {
        delete request.items;
        return 'changing';
      },
    });
    assert.equal(addon.startPromiseDrag(request, () => {}), false);
    assert.equal(logMessages().at(-1), 'startPromiseDrag rejected sessionId=changing: items is not an array');
  });
});
