// Sim-only: reads the monitors and the event the drag began from.
// How AppKit routes events, as the window-exit arming and the drag start see
// it: local monitors see only events dispatched through the application, so
// once a dragging session has begun its mouse-up goes to the drag, not to
// monitors or views; and the current event stays the last event taken from
// the queue after its dispatch.
import assert from 'node:assert/strict';
import { beforeEach, describe, test } from 'node:test';

import { addon, coreProbes, desktop } from '../helpers.mjs';
import { cleanDesktop, messagesSince, windowWithButtonHeld } from '../drag_fixtures.mjs';

const { EventType } = desktop;
const h = coreProbes();
const item = { promiseId: 'p1', kind: 'file', suggestedName: 'a.txt' };
const windowExitMask = 0x44;
const dragTo = (window, x, y) => desktop.sendEvent({ type: EventType.leftMouseDragged, window, location: { x, y } });
const release = (window) => desktop.sendEvent({ type: EventType.leftMouseUp, window, location: { x: 300, y: 300 } });

beforeEach(() => cleanDesktop());

describe('a running drag takes its mouse-up', () => {
  test('the mouse-up of a drag reaches no local monitor and no view', () => {
    const window = windowWithButtonHeld();
    const seen = [];
    assert.equal(h.addMonitor(0xffffffff, (event) => (seen.push(event.type), false)), true);
    assert.equal(addon.startPromiseDrag({ sessionId: 'drag', items: [item] }, () => {}), true);
    const up = release(window);
    assert.equal(up.takenByDrag, true);
    assert.equal(up.deliveredTo, null);
    assert.deepEqual(seen, [], 'the monitor saw nothing of the drag');
    desktop.endAllDrags();
    assert.equal(release(window).takenByDrag, false, 'after the drag, events go through the application again');
    assert.deepEqual(seen, [EventType.leftMouseUp]);
  });

  test('a drag begun while armed disarms the trigger, whose release the drag takes', () => {
    const window = windowWithButtonHeld();
    let exits = 0;
    assert.equal(addon.armPromiseDragOnWindowExit(window, () => exits++), true);
    assert.ok(desktop.monitors().some((m) => m.mask === windowExitMask));
    assert.equal(addon.startPromiseDrag({ sessionId: 'direct', items: [item] }, () => {}), true);
    assert.ok(!desktop.monitors().some((m) => m.mask === windowExitMask), 'no window-exit monitor left');
    assert.equal(release(window).takenByDrag, true);
    desktop.endAllDrags({ operation: 1 });

    // The next gesture leaves the window with the button held: nothing stale fires.
    desktop.mouseDown({ window });
    dragTo(window, -10, -10);
    assert.equal(exits, 0);
    desktop.mouseUp({ window });
  });

  test('a drag begun from the window-exit callback: the release goes to the drag, nothing stays armed', () => {
    const window = windowWithButtonHeld();
    const started = [];
    assert.equal(
      addon.armPromiseDragOnWindowExit(window, () => started.push(addon.startPromiseDrag({ sessionId: 'exit', items: [item] }, () => {}))),
      true,
    );
    dragTo(window, 200, 200);
    assert.deepEqual(started, [], 'still inside');
    const exit = dragTo(window, -1, 200);
    assert.equal(exit.takenByDrag, false, 'the crossing event itself went through the application');
    assert.deepEqual(started, [true]);
    const [drag] = desktop.drags();
    assert.equal(drag.event.serial, exit.event, 'the drag began from the crossing event');
    assert.ok(!desktop.monitors().some((m) => m.mask === windowExitMask), 'nothing armed');
    assert.equal(dragTo(window, -50, 200).takenByDrag, true);
    assert.equal(release(window).takenByDrag, true);
  });
});

describe('the current event stays the last event taken from the queue', () => {
  test('a drag started in a later turn begins from the last left-mouse-dragged event of its window', () => {
    const window = windowWithButtonHeld();
    const dragged = dragTo(window, 310, 320);
    const mark = desktop.log().length;
    const results = [];
    h.postCall(() => results.push(addon.startPromiseDrag({ sessionId: 'later', items: [item] }, () => {})));
    desktop.runMainQueue();
    assert.deepEqual(results, [true]);
    assert.ok(messagesSince(mark).includes('using current AppKit drag event type=6 windowNumber=101'));
    assert.equal(desktop.drags()[0].event.serial, dragged.event);
  });

  test('after an event of another kind the drag start makes one up', () => {
    const window = windowWithButtonHeld();
    dragTo(window, 310, 320);
    desktop.sendEvent({ type: EventType.keyDown, window, location: { x: 0, y: 0 } });
    const mark = desktop.log().length;
    assert.equal(addon.startPromiseDrag({ sessionId: 'made-up', items: [item] }, () => {}), true);
    assert.ok(messagesSince(mark).some((line) => line.startsWith('synthesizing AppKit drag event location=(300.0, 300.0)')));
  });
});
