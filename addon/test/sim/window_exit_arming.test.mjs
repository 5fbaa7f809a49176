// Sim-only: reads the monitors and removes content views and the shared application (the shared
// window_exit_trigger suite runs on every desktop).
// The window-exit trigger: arming, firing once when a left drag leaves the
// content view, disarming, the crossing event exposed while the callback runs,
// the callback's lifetime, and exceptions thrown by the callback.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { beforeEach, describe, test } from 'node:test';

import { addon, binaryPath, collectUntil, desktop, logMessages } from '../helpers.mjs';
import { cleanDesktop, Collected, windowWithButtonHeld } from '../drag_fixtures.mjs';

const require = createRequire(import.meta.url);
const { EventType } = desktop;

beforeEach(cleanDesktop);

// Window 101 at (100, 100), 800 x 600; the mouse at (400, 400) with the left
// button pressed in it.
function pressedInWindow(options) {
  const w = windowWithButtonHeld(options);
  desktop.mouseDown();
  return w;
}

const dragTo = (w, x, y) => desktop.sendEvent({ type: EventType.leftMouseDragged, window: w, location: { x, y } });

// Whether the drag start sees a window-exit event now: with one, the drag
// writes no event line.
function startSeesExitEvent(sessionId) {
  const mark = logMessages().length;
  assert.equal(addon.startPromiseDrag({ sessionId, items: [{ promiseId: 'p', kind: 'file', suggestedName: 'a' }] }, () => {}), true);
  return !logMessages().slice(mark).some((l) => l.startsWith('using current') || l.startsWith('synthesizing'));
}

describe('arming', () => {
  test('inside to outside: one call, with the crossing event while it runs and none after', () => {
    const w = pressedInWindow();
    const calls = [];
    assert.equal(addon.armPromiseDragOnWindowExit(w, (...args) => {
      calls.push({ args, sawExitEvent: startSeesExitEvent('during') });
    }), true);
    assert.deepEqual(desktop.monitors().map((m) => m.mask), [0x44]);
    assert.equal(desktop.moveMouseTo(300, 350).dropped, false, 'still inside: nothing');
    assert.deepEqual(calls, []);
    const crossing = desktop.moveMouseTo(50, 350);
    assert.equal(crossing.dropped, false, 'the crossing event is let through');
    assert.deepEqual(calls, [{ args: [], sawExitEvent: true }]);
    assert.equal(desktop.drags()[0].event.serial, crossing.event);
    assert.equal(desktop.drags()[0].event.type, EventType.leftMouseDragged);
    assert.deepEqual(desktop.monitors(), [], 'one-shot: the monitor is gone');
    desktop.moveMouseTo(40, 350);
    assert.equal(calls.length, 1);
    assert.equal(startSeesExitEvent('after'), false, 'no exit event after the callback');
    assert.deepEqual(desktop.violations(), []);
  });

  test('already outside: fires before returning, without an exit event, and nothing stays armed', () => {
    const w = windowWithButtonHeld();
    desktop.moveMouse(50, 50);
    const calls = [];
    assert.equal(addon.armPromiseDragOnWindowExit(w, () => calls.push(startSeesExitEvent('at-once'))), true);
    assert.deepEqual(calls, [false]);
    assert.deepEqual(desktop.monitors(), []);
  });

  // [name, setup, arguments, expected result]: nothing fires and nothing stays armed.
  test('refusals answer false, arm nothing and call nothing', async () => {
    const callbacks = new Collected();
    const cases = [
      ['the left button up', () => desktop.setPressedButtons(0), (cb) => [101, cb]],
      ['only the right button held', () => desktop.setPressedButtons(2), (cb) => [101, cb]],
      ['no window at all', () => { desktop.setKeyWindow(null); desktop.setMainWindow(null); }, (cb) => [999, cb]],
      ['a window without a content view', () => desktop.setContentView(101, null), (cb) => [101, cb]],
      ['no shared application', () => desktop.setApplicationPresent(false), (cb) => [101, cb]],
    ];
    for (const [name, setup, makeArguments] of cases) {
      cleanDesktop();
      windowWithButtonHeld();
      setup();
      assert.equal(addon.armPromiseDragOnWindowExit(...makeArguments(callbacks.fn(name, () => assert.fail(name)))), false, name);
      assert.deepEqual(desktop.monitors(), [], name);
      desktop.setApplicationPresent(true);
      desktop.setPressedButtons(1);
      dragTo(101, -10, -10);
    }
    assert.deepEqual(logMessages(), [], 'arming writes no lines');
    assert.ok(await collectUntil(() => callbacks.alive.length === 0), `still alive: ${callbacks.alive}`);
  });

  test('bad arguments answer false and leave an existing arming armed', () => {
    const w = pressedInWindow();
    let fired = 0;
    assert.equal(addon.armPromiseDragOnWindowExit(w, () => fired++), true);
    for (const args of [[], [w], [w, 'not a function'], [w, {}], [() => {}, w]]) {
      assert.equal(addon.armPromiseDragOnWindowExit(...args), false, String(args.length));
    }
    assert.equal(desktop.monitors().length, 1);
    dragTo(w, -1, 10);
    assert.equal(fired, 1);
  });

  test('a refused new arming still cancels the earlier one', async () => {
    const callbacks = new Collected();
    const w = pressedInWindow();
    addon.armPromiseDragOnWindowExit(w, callbacks.fn('first', () => assert.fail('first fired')));
    desktop.setContentView(w, null);
    assert.equal(addon.armPromiseDragOnWindowExit(w, () => {}), false);
    assert.deepEqual(desktop.monitors(), []);
    assert.ok(await collectUntil(() => callbacks.has('first')));
  });

  test('a new arming replaces the earlier one without calling it', () => {
    const w = pressedInWindow();
    const calls = [];
    addon.armPromiseDragOnWindowExit(w, () => calls.push('first'));
    addon.armPromiseDragOnWindowExit(w, () => calls.push('second'));
    assert.equal(desktop.monitors().length, 1, 'never two monitors');
    dragTo(w, 900, 10);
    assert.deepEqual(calls, ['second']);
  });

  test('window choice: an unknown number or a non-number falls back to the key window, then the main window', () => {
    for (const [first, key, expected] of [[999, true, 101], ['101', true, 101], [null, true, 101], [999, false, 202]]) {
      cleanDesktop();
      pressedInWindow();
      desktop.createWindow({ number: 202, frame: { x: 1000, y: 100, width: 400, height: 400 } });
      if (!key) {
        desktop.setKeyWindow(null);
        desktop.setMainWindow(202);
        desktop.moveMouse(1100, 200); // inside 202
      }
      const calls = [];
      assert.equal(addon.armPromiseDragOnWindowExit(first, () => calls.push(expected)), true);
      // The captured number is the chosen window's own: a drag out of the other does nothing.
      dragTo(expected === 101 ? 202 : 101, -5, -5);
      assert.deepEqual(calls, []);
      dragTo(expected, -5, -5);
      assert.deepEqual(calls, [expected], String(first));
    }
  });
});

describe('the monitor', () => {
  test('containment is half-open: the maximum edges are outside, the minimum edges inside', () => {
    // [location in the window (content view = window), fires]
    const cases = [
      [{ x: 800, y: 300 }, true],
      [{ x: 300, y: 600 }, true],
      [{ x: 799.5, y: 599.5 }, false],
      [{ x: 0, y: 0 }, false],
      [{ x: -0.01, y: 300 }, true],
      [{ x: 300, y: -0.01 }, true],
    ];
    for (const [location, fires] of cases) {
      cleanDesktop();
      const w = pressedInWindow();
      let fired = false;
      addon.armPromiseDragOnWindowExit(w, () => { fired = true; });
      dragTo(w, location.x, location.y);
      assert.equal(fired, fires, JSON.stringify(location));
    }
  });

  test('arming on an edge: the maximum edge is already outside, the minimum edge inside', () => {
    for (const [mouse, firesAtOnce] of [[{ x: 900, y: 400 }, true], [{ x: 400, y: 700 }, true], [{ x: 100, y: 100 }, false]]) {
      cleanDesktop();
      const w = windowWithButtonHeld();
      desktop.moveMouse(mouse.x, mouse.y);
      let fired = false;
      addon.armPromiseDragOnWindowExit(w, () => { fired = true; });
      assert.equal(fired, firesAtOnce, JSON.stringify(mouse));
      assert.equal(desktop.monitors().length, firesAtOnce ? 0 : 1);
    }
  });

  test('the content view decides, in its own coordinates', () => {
    const w = pressedInWindow({ contentView: { frame: { x: 50, y: 50, width: 700, height: 500 } } });
    let fired = 0;
    addon.armPromiseDragOnWindowExit(w, () => fired++);
    dragTo(w, 60, 60);
    assert.equal(fired, 0);
    dragTo(w, 40, 60); // inside the window, outside its content view
    assert.equal(fired, 1);
  });

  test('releasing the button anywhere disarms; a drag in another window is ignored', () => {
    for (const where of ['same window', 'another window', 'no window']) {
      cleanDesktop();
      const w = pressedInWindow();
      desktop.createWindow({ number: 202, frame: { x: 1000, y: 0, width: 100, height: 100 } });
      let fired = 0;
      addon.armPromiseDragOnWindowExit(w, () => fired++);
      dragTo(202, -50, -50);
      assert.equal(fired, 0, 'a drag of another window');
      const window = { 'same window': w, 'another window': 202, 'no window': null }[where];
      desktop.sendEvent({ type: EventType.leftMouseUp, window, location: { x: 5, y: 5 } });
      assert.deepEqual(desktop.monitors(), [], where);
      dragTo(w, -50, -50);
      assert.equal(fired, 0, where);
    }
  });

  test('a window that has lost its content view counts as outside', () => {
    const w = pressedInWindow();
    let fired = 0;
    addon.armPromiseDragOnWindowExit(w, () => fired++);
    desktop.setContentView(w, null);
    dragTo(w, 300, 300);
    assert.equal(fired, 1);
  });

  test('disarmPromiseDrag cancels without calling, whatever it is passed; with nothing armed it changes nothing', () => {
    const w = pressedInWindow();
    assert.equal(addon.disarmPromiseDrag(), true);
    addon.armPromiseDragOnWindowExit(w, () => assert.fail('called'));
    assert.equal(addon.disarmPromiseDrag('ignored', 1), true);
    assert.deepEqual(desktop.monitors(), []);
    dragTo(w, -1, -1);
  });

  test('the callback may arm again; the end of the firing leaves the new arming alone', () => {
    const w = pressedInWindow();
    const calls = [];
    addon.armPromiseDragOnWindowExit(w, () => {
      calls.push('first');
      desktop.moveMouse(400, 400); // back inside, so the new arming watches
      assert.equal(addon.armPromiseDragOnWindowExit(w, () => calls.push('second')), true);
    });
    dragTo(w, -1, 300);
    assert.deepEqual(calls, ['first']);
    assert.equal(desktop.monitors().length, 1);
    dragTo(w, 300, 300);
    dragTo(w, 300, 601);
    assert.deepEqual(calls, ['first', 'second']);
    assert.deepEqual(desktop.monitors(), []);
  });

  test('callbacks are collected after firing and after disarming', async () => {
    const callbacks = new Collected();
    const w = pressedInWindow();
    addon.armPromiseDragOnWindowExit(w, callbacks.fn('fired'));
    dragTo(w, -1, -1);
    desktop.setPressedButtons(1);
    addon.armPromiseDragOnWindowExit(w, callbacks.fn('disarmed'));
    addon.disarmPromiseDrag();
    desktop.moveMouse(50, 50);
    addon.armPromiseDragOnWindowExit(w, callbacks.fn('fired at once'));
    desktop.moveMouse(400, 400);
    addon.armPromiseDragOnWindowExit(w, callbacks.fn('released'));
    desktop.mouseUp();
    assert.ok(await collectUntil(() => callbacks.alive.length === 0), `still alive: ${callbacks.alive}`);
  });
});

describe('a throwing callback', () => {
  test('thrown while arming fires it, the exception reaches the caller', () => {
    const w = windowWithButtonHeld();
    desktop.moveMouse(50, 50);
    const error = new Error('thrown during arming');
    assert.throws(() => addon.armPromiseDragOnWindowExit(w, () => { throw error; }), (e) => e === error);
    assert.deepEqual(desktop.monitors(), []);
    desktop.moveMouse(400, 400);
    assert.equal(addon.armPromiseDragOnWindowExit(w, () => {}), true, 'the addon goes on working');
  });

  test('thrown when the monitor fires it, it is an uncaught exception and the addon goes on working', () => {
    // In a child process: the test runner treats uncaught exceptions as failures.
    const script = `
      const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
      const desktop = require(${JSON.stringify(require.resolve('../../backends/sim/control/index.js'))})
        .load(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
      desktop.setLogEcho(false);
      const caught = [];
      process.on('uncaughtException', (e) => caught.push(e.message));
      const w = desktop.createWindow({ frame: { x: 100, y: 100, width: 800, height: 600 }, key: true }).number;
      desktop.moveMouse(400, 400);
      desktop.mouseDown();
      const armed = addon.armPromiseDragOnWindowExit(w, () => { throw new Error('from the monitor'); });
      const crossing = desktop.moveMouseTo(50, 400);
      // Nothing stale is left to be thrown out of a later export, and a new
      // arming fires as before.
      desktop.moveMouseTo(400, 400);
      let later = 0;
      const again = addon.armPromiseDragOnWindowExit(w, () => { later++; });
      desktop.moveMouseTo(50, 400);
      const results = [addon.disarmPromiseDrag(), addon.completePromiseWrite('none')];
      console.log(JSON.stringify({ armed, dropped: crossing.dropped, caught, again, later, results,
                                   monitors: desktop.monitors().length }));
    `;
    const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8' });
    assert.equal(child.status, 0, child.stderr);
    assert.deepEqual(JSON.parse(child.stdout), {
      armed: true, dropped: false, caught: ['from the monitor'], again: true, later: 1, results: [true, false], monitors: 0,
    });
  });
});
