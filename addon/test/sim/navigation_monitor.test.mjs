// Sim-only: refuses monitor tokens, sends swipes and reads the monitors (the shared navigation_buttons suite
// runs on every desktop).
// installNavigationEventMonitor: mouse buttons 3 and 4 and horizontal swipes
// reach the callback as "back" and "forward"; the callback's true consumes the
// event. The monitor lives for the process, so the tests build on one another
// in order: argument errors and a refused monitor come before the first install.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { afterEach, before, beforeEach, describe, test } from 'node:test';

import { addon, binaryPath, collectUntil, desktop, standardWindow } from '../helpers.mjs';

const { EventType } = desktop;
const install = addon.installNavigationEventMonitor;
const navigationMask = 0x84000000;

let window;
beforeEach(() => {
  desktop.reset();
  window = standardWindow();
  desktop.moveMouse(400, 400);
});
afterEach(() => assert.deepEqual(desktop.violations(), []));

/** A callback that records its calls and answers `result`. */
function recorder(result) {
  const calls = [];
  const callback = (...args) => {
    calls.push(args);
    return result;
  };
  return { calls, callback };
}

const releaseButton = (button) => desktop.mouseUp({ button });

test('wrong arguments return false and install nothing', () => {
  const fn = () => true;
  for (const args of [[], [fn, fn], [fn, undefined], [42], ['back'], [null], [undefined], [{}]]) {
    assert.equal(install(...args), false, `arguments ${args.length}: ${typeof args[0]}`);
  }
  assert.deepEqual(desktop.monitors(), []);
});

test('without a monitor token the call is false and a later call installs it', () => {
  const { calls, callback } = recorder(true);
  desktop.refuseMonitorCreation(true);
  assert.equal(install(callback), false);
  assert.deepEqual(desktop.monitors(), []);
  desktop.refuseMonitorCreation(false);
  assert.equal(install(callback), true);
  assert.deepEqual(
    desktop.monitors().map((m) => m.mask),
    [navigationMask],
  );
  assert.equal(install(callback), true, 'a repeated call keeps the one monitor');
  assert.equal(desktop.monitors().length, 1);
  assert.deepEqual(calls, []);
});

describe('with the monitor installed', () => {
  before(() => assert.equal(install(() => false), true));

  test('buttons 3 and 4 call back on release only; the release is dropped when consumed', () => {
    const cases = [
      { button: 3, direction: 'back' },
      { button: 4, direction: 'forward' },
      { button: 2, direction: null },
      { button: 5, direction: null },
      { button: 1, direction: null }, // a right-mouse-up, not watched
      { button: 0, direction: null },
    ];
    for (const { button, direction } of cases) {
      const { calls, callback } = recorder(true);
      assert.equal(install(callback), true);
      const press = desktop.mouseDown({ button });
      assert.equal(press.dropped, false, `button ${button}: the press always passes`);
      assert.deepEqual(calls, [], `button ${button}: no call on the press`);
      const release = releaseButton(button);
      assert.deepEqual(calls, direction ? [[direction]] : [], `button ${button}`);
      assert.equal(release.dropped, direction !== null, `button ${button}: release dropped`);
      assert.equal(release.deliveredTo === null, direction !== null, `button ${button}: release delivery`);
    }
  });

  test('swipes by the sign of deltaX; 0 and NaN mean nothing', () => {
    const cases = [
      { deltaX: -1, direction: 'forward' },
      { deltaX: -0.25, direction: 'forward' },
      { deltaX: 1, direction: 'back' },
      { deltaX: 3.5, direction: 'back' },
      { deltaX: 0, direction: null },
      { deltaX: -0, direction: null },
      { deltaX: NaN, direction: null },
    ];
    for (const { deltaX, direction } of cases) {
      const { calls, callback } = recorder(true);
      install(callback);
      const result = desktop.swipe(deltaX);
      assert.deepEqual(calls, direction ? [[direction]] : [], `deltaX ${deltaX}`);
      assert.equal(result.dropped, direction !== null, `deltaX ${deltaX}`);
    }
  });

  test('only the boolean true consumes the event', () => {
    for (const result of ['true', 1, undefined, null, false, {}, [true], new Boolean(true)]) {
      const { calls, callback } = recorder(result);
      install(callback);
      const release = (desktop.mouseDown({ button: 3 }), releaseButton(3));
      assert.equal(release.dropped, false, `result ${String(result)}`);
      assert.deepEqual(calls, [['back']]);
    }
  });

  test('the callback is called with this undefined and only the direction', () => {
    let seen;
    install(function (...args) {
      seen = { self: this, args };
      return true;
    });
    desktop.swipe(-2);
    assert.deepEqual(seen, { self: undefined, args: ['forward'] });
  });

  test('a second install replaces the first; failed installs keep the current one', () => {
    const first = recorder(true);
    const second = recorder(true);
    assert.equal(install(first.callback), true);
    assert.equal(install(second.callback), true);
    desktop.mouseDown({ button: 4 });
    assert.equal(releaseButton(4).dropped, true);
    assert.deepEqual(first.calls, []);
    assert.deepEqual(second.calls, [['forward']], 'one call per event');

    for (const args of [[], [first.callback, first.callback], ['x']]) {
      assert.equal(install(...args), false);
    }
    desktop.swipe(1);
    assert.deepEqual(first.calls, []);
    assert.deepEqual(second.calls, [['forward'], ['back']]);
    assert.equal(desktop.monitors().length, 1);
  });

  test('the replaced callback is released to the garbage collector', async () => {
    let collected = false;
    const registry = new FinalizationRegistry(() => {
      collected = true;
    });
    (() => {
      const earlier = () => true;
      registry.register(earlier, 'earlier');
      install(earlier);
    })();
    install(() => true);
    assert.equal(await collectUntil(() => collected), true);
  });

  test('a callback may install its successor while it runs', async () => {
    const successor = recorder(true);
    let collected = false;
    const registry = new FinalizationRegistry(() => {
      collected = true;
    });
    let firstCalls = 0;
    (() => {
      const first = () => {
        firstCalls += 1;
        assert.equal(install(successor.callback), true);
        return true;
      };
      registry.register(first, 'first');
      install(first);
    })();
    assert.equal(desktop.swipe(5).dropped, true, 'the running call still decides its event');
    assert.equal(firstCalls, 1);
    assert.deepEqual(successor.calls, [], 'the successor does not see the same event');
    desktop.swipe(-5);
    assert.equal(firstCalls, 1);
    assert.deepEqual(successor.calls, [['forward']]);
    assert.equal(await collectUntil(() => collected), true);
  });

  test('other event types never reach the callback', () => {
    const { calls, callback } = recorder(true);
    install(callback);
    for (const type of [EventType.scrollWheel, EventType.leftMouseUp, EventType.otherMouseDown]) {
      const result = desktop.sendEvent({ type, window, location: { x: 10, y: 10 }, buttonNumber: 3, deltaX: 1 });
      assert.equal(result.dropped, false);
    }
    assert.deepEqual(calls, []);
  });
});

test('a throwing callback becomes an uncaught exception and the event passes', () => {
  // In a child process: the test runner treats uncaught exceptions as failures.
  const control = fileURLToPath(new URL('../../backends/sim/control/index.js', import.meta.url));
  const script = `
    const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
    const desktop = require(${JSON.stringify(control)}).load(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
    const caught = [];
    process.on('uncaughtException', (e) => caught.push(e.message));
    let calls = 0;
    addon.installNavigationEventMonitor((direction) => {
      calls += 1;
      if (calls === 1) throw new Error('thrown for ' + direction);
      return true;
    });
    desktop.createWindow({ frame: { x: 0, y: 0, width: 200, height: 200 }, key: true });
    desktop.moveMouse(50, 50);
    desktop.mouseDown({ button: 3 });
    const first = desktop.mouseUp({ button: 3 });
    const afterThrow = [...caught];
    const second = desktop.swipe(-1);
    // Nothing stale is left pending for an unrelated export.
    const exportsWork = addon.disarmPromiseDrag();
    console.log(JSON.stringify({
      firstDropped: first.dropped, firstDelivered: first.deliveredTo !== null, afterThrow,
      secondDropped: second.dropped, calls, caught, exportsWork,
      violations: desktop.violations(),
    }));
  `;
  const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8' });
  assert.equal(child.status, 0, child.stderr);
  assert.deepEqual(JSON.parse(child.stdout), {
    firstDropped: false,
    firstDelivered: true,
    afterThrow: ['thrown for back'],
    secondDropped: true,
    calls: 2,
    caught: ['thrown for back'],
    exportsWork: true,
    violations: [],
  });
});
