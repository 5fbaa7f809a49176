// Sim-only: makes AppKit calls raise, which only the simulated desktop can do.
// Objective-C exceptions never cross into JavaScript frames. An AppKit entry
// that raises (the simulated desktop raises where told, as AppKit raises on
// input it does not accept) makes the export answer false with one line
// naming the exception, and leaves nothing behind: no drag, no registered
// session, no callback kept, no monitor.
import assert from 'node:assert/strict';
import { afterEach, beforeEach, describe, test } from 'node:test';

import { addon, collectUntil, coreProbes, desktop } from '../helpers.mjs';
import {
  cleanDesktop,
  Collected,
  messagesSince,
  progressOf,
  startWatchedDrag,
  tempDirectory,
  windowWithButtonHeld,
} from '../drag_fixtures.mjs';

beforeEach(() => {
  cleanDesktop();
  windowWithButtonHeld();
});
afterEach(() => {
  desktop.setRaisingCalls([]);
  assert.deepEqual(desktop.violations(), []);
});

const raisedLine = (selector) => `AppKit exception name=NSInvalidArgumentException reason=simulated: ${selector} raised`;
const promised = { promiseId: 'p1', kind: 'file', suggestedName: 'report.pdf' };

/** The registry's size, as a drag begun now reports it (that drag is ended again). */
function registered() {
  const mark = desktop.log().length;
  assert.equal(addon.startPromiseDrag({ sessionId: 'probe', items: [promised] }, () => {}), true);
  desktop.endDrag(desktop.drags().at(-1).id, { x: 0, y: 0 }, 0);
  const line = messagesSince(mark).find((l) => l.includes('beginDraggingSession returned'));
  return Number(line.match(/activeSessions=(\d+)$/)[1]) - 1;
}

describe('startPromiseDrag', () => {
  const cases = [
    ['initWithFileType:delegate:', {}],
    ['initWithPasteboardWriter:', {}],
    ['setDraggingFrame:contents:', {}],
    ['beginDraggingSessionWithItems:event:source:', {}],
    ['lockFocus', {}],
    ['iconForContentType:', {}],
    ['initWithContentsOfFile:', { iconPath: '/tmp/kestrovan-icon.png' }],
    ['mouseEventWithType:location:modifierFlags:timestamp:windowNumber:context:eventNumber:clickCount:pressure:', {}],
  ];
  for (const [selector, extra] of cases) {
    test(`${selector.split(':')[0]} raising rejects the drag and leaves nothing behind`, async () => {
      const callbacks = new Collected();
      desktop.setRaisingCalls([selector]);
      const mark = desktop.log().length;
      const started = addon.startPromiseDrag({ sessionId: 'raised', items: [promised], ...extra }, callbacks.fn('write'));
      assert.equal(started, false);
      const lines = messagesSince(mark);
      assert.equal(lines.filter((l) => l.includes('AppKit exception')).length, 1, lines.join('\n'));
      assert.ok(lines.includes(`startPromiseDrag rejected sessionId=raised: ${raisedLine(selector)}`), lines.join('\n'));
      assert.ok(lines.some((l) => l.startsWith('session dealloc sessionId=raised pendingCompletions=0 requestedWriteCount=0 dragEnded=NO')));
      assert.deepEqual(desktop.drags(), [], 'no drag runs');
      assert.ok(await collectUntil(() => callbacks.has('write')), 'the write callback is not kept');

      desktop.setRaisingCalls([]);
      assert.equal(registered(), 0, 'no session stays registered');
    });
  }
});

// What AppKit raises after the drop target has its answer (the progress's
// withdrawal, or the completion handler once it has answered) cannot take the
// answer back: the write is closed, so completePromiseWrite answers true and
// logs the exception; a retry finds no token.
describe('completePromiseWrite', () => {
  // [selector, arguments after the token, success, the progress withdrawn]
  const cases = [
    ['completionHandler', [], true, true],
    ['completionHandler', ['disk full'], false, true],
    ['unpublish', [], true, false],
  ];
  for (const [selector, rest, success, withdrawn] of cases) {
    test(`${selector} raising after a ${success ? 'success' : 'failure'}: true, the line, the write closed`, () => {
      const { writes, drag } = startWatchedDrag('w', [promised]);
      desktop.dropOnFolder(drag.id, tempDirectory(), { x: 500, y: 20 });
      desktop.runMainQueue();
      const { completionToken: token, destinationPath } = writes[0].request;
      desktop.setRaisingCalls([selector]);
      const mark = desktop.log().length;
      assert.equal(addon.completePromiseWrite(token, ...rest), true);
      const message = rest[0] ?? '';
      assert.deepEqual(messagesSince(mark), [
        `completePromiseWrite called token=${token} errorMessage=${message}`,
        `completeToken invoking AppKit completion sessionId=w token=${token} success=${success ? 'YES' : 'NO'} errorMessage=${message}`,
        `completeToken AppKit exception after answering sessionId=w token=${token} name=NSInvalidArgumentException reason=simulated: ${selector} raised`,
      ]);
      const outcome = desktop.dropOutcomes().find((o) => o.destination === destinationPath);
      assert.equal(outcome.answers, 1);
      assert.equal(outcome.outcome.success, success);
      assert.equal(progressOf(destinationPath).withdrawn, withdrawn);

      desktop.setRaisingCalls([]);
      assert.equal(addon.completePromiseWrite(token), false, 'the token is closed');
      assert.equal(outcome.answers, 1);
    });
  }
});

describe('the other exports', () => {
  const monitorSelector = 'addLocalMonitorForEventsMatchingMask:handler:';

  test('armPromiseDragOnWindowExit: false, the line, nothing armed', async () => {
    const callbacks = new Collected();
    desktop.setRaisingCalls([monitorSelector]);
    const mark = desktop.log().length;
    assert.equal(addon.armPromiseDragOnWindowExit(101, callbacks.fn('exit')), false);
    assert.deepEqual(messagesSince(mark), [`armPromiseDragOnWindowExit rejected: ${raisedLine(monitorSelector)}`]);
    assert.deepEqual(desktop.monitors(), []);
    assert.ok(await collectUntil(() => callbacks.has('exit')));
  });

  test('installNavigationEventMonitor and installDragRegionScrollForwarding: false, the line, no monitor; later calls install', async () => {
    const callbacks = new Collected();
    desktop.setRaisingCalls([monitorSelector]);
    const mark = desktop.log().length;
    assert.equal(addon.installNavigationEventMonitor(callbacks.fn('navigation')), false);
    assert.equal(addon.installDragRegionScrollForwarding(), false);
    assert.deepEqual(messagesSince(mark), [
      `installNavigationEventMonitor rejected: ${raisedLine(monitorSelector)}`,
      `installDragRegionScrollForwarding rejected: ${raisedLine(monitorSelector)}`,
    ]);
    assert.deepEqual(desktop.monitors(), []);
    assert.ok(await collectUntil(() => callbacks.has('navigation')), 'the navigation callback is not kept');

    desktop.setRaisingCalls([]);
    assert.equal(addon.installNavigationEventMonitor(() => false), true);
    assert.equal(addon.installDragRegionScrollForwarding(), true);
    assert.equal(desktop.monitors().length, 2);
  });
});

test('the promise provider raises for a file type that conforms to neither public.data nor public.directory', () => {
  const h = coreProbes();
  for (const type of ['public.data', 'public.folder', 'com.adobe.pdf', 'dyn.ah62d4rv4ge80k3pwsm0g4']) {
    assert.deepEqual(h.makeFilePromiseProvider(type), { made: true, exception: null }, type);
  }
  for (const type of ['public.item', 'public.content']) {
    assert.deepEqual(h.makeFilePromiseProvider(type), {
      made: false,
      exception: {
        name: 'NSInvalidArgumentException',
        reason: `NSFilePromiseProvider: the file type ${type} conforms to neither public.data nor public.directory`,
      },
    });
  }
});
