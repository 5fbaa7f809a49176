// installNavigationEventMonitor on whichever desktop the build has
// (desktop/driver.mjs): releasing mouse button 3 reaches the callback as
// "back", button 4 as "forward", other buttons not at all; a second install
// replaces the callback and keeps the one monitor. (Swipes, refused monitors
// and whether the release was dropped: sim/navigation_monitor.test.mjs.)
import assert from 'node:assert/strict';
import { after, afterEach, before, beforeEach, test } from 'node:test';

import { addon, driver, simOnly } from './desktop/driver.mjs';

const install = addon.installNavigationEventMonitor;

let window;
let calls;
const recordingCallback = (result) => (...args) => {
  calls.push(args);
  return result;
};

before(async () => {
  await driver.reset();
  window = await driver.createWindow({ frame: { x: 100, y: 100, width: 800, height: 600 } });
});
beforeEach(() => {
  calls = [];
});
afterEach(() => {
  if (simOnly) assert.deepEqual(simOnly.violations(), [], 'nothing AppKit would refuse');
});
after(() => driver.close());

/** Presses and releases a button at (400, 300) in the window. */
async function click(button) {
  const e = button === 0 ? { button: 'left' } : button === 1 ? { button: 'right' } : { button: 'other', buttonNumber: button };
  await driver.postMouse(window, { type: 'down', x: 400, y: 300, ...e });
  await driver.postMouse(window, { type: 'up', x: 400, y: 300, ...e });
}

test('wrong arguments answer false', () => {
  const fn = () => true;
  for (const args of [[], [fn, fn], [fn, undefined], [42], ['back'], [null], [undefined], [{}]]) {
    assert.equal(install(...args), false, `arguments ${args.length}: ${typeof args[0]}`);
  }
});

test('buttons 3 and 4 call back once each, on release; other buttons do not', async () => {
  assert.equal(install(recordingCallback(false)), true);
  // [button, the calls its press and release make]
  const cases = [
    [3, [['back']]],
    [4, [['forward']]],
    [2, []],
    [5, []],
    [1, []],
    [0, []],
  ];
  for (const [button, expected] of cases) {
    calls = [];
    const e = button >= 2 ? { button: 'other', buttonNumber: button } : { button: button === 0 ? 'left' : 'right' };
    await driver.postMouse(window, { type: 'down', x: 400, y: 300, ...e });
    assert.deepEqual(calls, [], `button ${button}: the press is not watched`);
    await driver.postMouse(window, { type: 'up', x: 400, y: 300, ...e });
    assert.deepEqual(calls, expected, `button ${button}`);
  }
});

test('a second install replaces the callback and keeps one monitor', async () => {
  const first = [];
  assert.equal(install((d) => first.push(d)), true);
  assert.equal(install(recordingCallback(false)), true);
  await click(3);
  assert.deepEqual(first, []);
  assert.deepEqual(calls, [['back']], 'one call: one monitor');
});
