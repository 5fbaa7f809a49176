// Sim-only: tests the simulated desktop itself.
// The desktop control module: windows, view trees, the mouse and events
// through a local monitor, as the addon will see them.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { beforeEach, describe, test } from 'node:test';

import { coreProbes, desktop } from '../helpers.mjs';

const { EventType } = desktop;
const h = coreProbes();

beforeEach(() => desktop.reset());

describe('windows and views', () => {
  test('a window has a frame view holding its content view, and numbers are unique', () => {
    const a = desktop.createWindow({ frame: { x: 0, y: 0, width: 100, height: 50 } });
    const b = desktop.createWindow({ number: 7, frame: { x: 0, y: 0, width: 10, height: 10 }, contentView: null });
    assert.notEqual(a.number, b.number);
    assert.equal(b.number, 7);
    assert.equal(typeof a.contentView, 'string');
    assert.equal(b.contentView, null);
    assert.deepEqual(desktop.windowNumbers(), [a.number, 7]);
  });

  test('normal dispatch reaches the frontmost hit view; a drag region yields no view', () => {
    const w = desktop.createWindow({
      frame: { x: 100, y: 100, width: 400, height: 300 },
      contentView: {
        id: 'content',
        children: [
          {
            id: 'back',
            className: 'RenderWidgetHostViewCocoa',
            frame: { x: 0, y: 0, width: 400, height: 300 },
            dragRegions: [{ x: 0, y: 260, width: 400, height: 40 }],
          },
          { id: 'front', frame: { x: 0, y: 0, width: 100, height: 100 } },
          { id: 'hidden', hidden: true, frame: { x: 300, y: 0, width: 100, height: 100 } },
        ],
      },
    }).number;
    const at = (x, y) => desktop.sendEvent({ type: EventType.scrollWheel, window: w, location: { x, y } }).deliveredTo;
    assert.equal(at(50, 50), 'front');
    assert.equal(at(100, 50), 'back', 'the maximum edge of front is outside it');
    assert.equal(at(350, 50), 'back', 'a hidden view is never hit');
    assert.equal(at(200, 280), 'content', 'the web view yields none in its drag region');
    assert.equal(at(400, 10), null, 'outside the window');
    assert.deepEqual(desktop.viewDeliveries('front').map((d) => d.via), ['dispatch']);
  });
});

describe('local monitors', () => {
  test('a monitor sees matching events in turn and dropping stops dispatch', () => {
    const w = desktop.createWindow({ frame: { x: 100, y: 100, width: 400, height: 300 }, key: true }).number;
    const seen = [];
    assert.equal(h.addMonitor(1 << EventType.leftMouseDown, (e) => { seen.push(['first', e]); return false; }), true);
    assert.equal(h.addMonitor(1 << EventType.leftMouseDown, (e) => { seen.push(['second', e]); return true; }), true);
    desktop.moveMouse(150, 120);
    const down = desktop.mouseDown();
    assert.equal(down.dropped, true, 'the second monitor dropped it');
    assert.equal(down.deliveredTo, null);
    assert.deepEqual(seen, [
      ['first', { type: 1, window: w, x: 50, y: 20 }],
      ['second', { type: 1, window: w, x: 50, y: 20 }],
    ]);
    assert.equal(desktop.pressedButtons(), 1);
    seen.length = 0;
    desktop.moveMouseTo(600, 50);
    assert.deepEqual(seen, [], 'the mask does not match a drag');
    desktop.mouseUp();
    assert.equal(desktop.pressedButtons(), 0);
  });

  test('a left drag goes to the window that got the press, even outside it', () => {
    const w = desktop.createWindow({ frame: { x: 100, y: 100, width: 400, height: 300 } }).number;
    const seen = [];
    h.addMonitor(1 << EventType.leftMouseDragged, (e) => { seen.push(e); return false; });
    desktop.moveMouse(200, 200);
    desktop.mouseDown();
    desktop.moveMouseTo(50, 60);
    desktop.mouseUp();
    assert.deepEqual(seen, [{ type: 6, window: w, x: -50, y: -40 }]);
  });
});

describe('main queue and virtual clock', () => {
  test('blocks run in order when the queue runs, and the clock only moves when told', () => {
    const order = [];
    h.postCall(() => order.push('a'));
    h.postCall(() => {
      order.push('b');
      h.postCall(() => order.push('c, posted by b'));
    });
    const start = desktop.now();
    assert.equal(desktop.runMainQueue(), 3);
    assert.deepEqual(order, ['a', 'b', 'c, posted by b']);
    assert.equal(desktop.now(), start);
    assert.equal(desktop.advanceClock(30), 0);
    assert.equal(desktop.now(), start + 30);
  });
});

describe('loading', () => {
  const require = createRequire(import.meta.url);
  const control = require.resolve('../../backends/sim/control/index.js');

  test('on macOS (or anywhere but Linux) load() says the simulated desktop runs on Linux only', () => {
    for (const platform of ['darwin', 'win32']) {
      // In a process of its own, whose process.platform says another system.
      const script = `
        Object.defineProperty(process, 'platform', { value: ${JSON.stringify(platform)} });
        try {
          require(${JSON.stringify(control)}).load();
          console.log('loaded');
        } catch (error) {
          console.log(error.message);
        }
      `;
      const run = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8' });
      assert.equal(run.status, 0, run.stderr);
      const message = run.stdout.trim();
      assert.match(message, /^kestrovan-file-promise-drag\/desktop-sim: the simulated desktop runs on Linux only, for tests \(this is /, platform);
      assert.match(message, /macOS builds have none/, platform);
      assert.doesNotMatch(message, /build-from-source|[Rr]einstall|cmake/, `${platform}: no install or build can help`);
    }
  });

  test('on Linux load() finds the control module; a path given is loaded anywhere', () => {
    const run = spawnSync(process.execPath, ['-e', `console.log(typeof require(${JSON.stringify(control)}).load().createWindow)`], {
      encoding: 'utf8',
    });
    assert.equal(run.stdout.trim(), 'function', run.stderr);
    assert.equal(typeof desktop.createWindow, 'function', 'helpers.mjs loads it by path');
  });
});
