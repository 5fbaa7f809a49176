// Sim-only: sets the current event, refuses event creation and reads the running drag.
// startPromiseDrag: every rejection with its line and nothing left behind, the
// complete log of a successful drag, the start event it is begun from, and the
// dragging items the desktop receives.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { beforeEach, describe, test } from 'node:test';

import { addon, collectUntil, desktop, logMessages } from '../helpers.mjs';
import { tempFolder } from '../../../scripts/test/temp_folders.mjs';
import { cleanDesktop, Collected, messagesSince, threeItems, windowWithButtonHeld } from '../drag_fixtures.mjs';

const { EventType } = desktop;

// A readable 1 x 1 PNG: with it the drag image is drawn from the icon and
// writes only its final line.
const iconPath = path.join(tempFolder('kestrovan-icon-'), 'icon %@.png');
fs.writeFileSync(
  iconPath,
  Buffer.from(
    'iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==',
    'base64',
  ),
);

beforeEach(cleanDesktop);

const item = (promiseId, kind, suggestedName, extra = {}) => ({ promiseId, kind, suggestedName, ...extra });
const request = (extra = {}) => ({ sessionId: 's', items: [item('p1', 'file', 'a.txt')], ...extra });

describe('rejections', () => {
  const called = 'startPromiseDrag called sessionId=s';
  const counted = (n) => `startPromiseDrag itemCount sessionId=s count=${n}`;
  const rejected = (reason) => `startPromiseDrag rejected sessionId=s${reason}`;
  const aTxtType = 'resolved file type promiseId=p1 kind=file suggestedName=a.txt extension=txt fileType=public.plain-text';
  const throwing = (key) => ({ sessionId: 's', get [key]() { throw new Error(`getter ${key}`); } });
  const revoked = Proxy.revocable([], {});
  revoked.revoke();

  // [name, arguments (a function stands for the write callback), expected lines, desktop setup]
  const cases = [
    ['no arguments', () => [], ['startPromiseDrag rejected: invalid arguments argc=0']],
    ['only the request', () => [request()], ['startPromiseDrag rejected: invalid arguments argc=1']],
    ['a callback that is not a function', () => [request(), 'callback'],
      ['startPromiseDrag rejected: callback argument is not a function']],
    ['a request that is a string', (cb) => ['s', cb], ['startPromiseDrag rejected: missing sessionId']],
    ['a null request', (cb) => [null, cb], ['startPromiseDrag rejected: missing sessionId']],
    ['an empty sessionId', (cb) => [request({ sessionId: '' }), cb], ['startPromiseDrag rejected: missing sessionId']],
    ['a numeric sessionId', (cb) => [request({ sessionId: 7 }), cb], ['startPromiseDrag rejected: missing sessionId']],
    ['a throwing sessionId getter', (cb) => [throwing('sessionId'), cb], ['startPromiseDrag rejected: missing sessionId']],
    ['no items', (cb) => [{ sessionId: 's' }, cb], [called, rejected(': items is not an array')]],
    ['items an object', (cb) => [request({ items: { 0: item('p1', 'file', 'a.txt'), length: 1 } }), cb],
      [called, rejected(': items is not an array')]],
    ['a throwing items getter', (cb) => [throwing('items'), cb], [called, rejected(': items is not an array')]],
    ['items a revoked proxy', (cb) => [request({ items: revoked.proxy }), cb], [called, rejected(': items is not an array')]],
    ['empty items', (cb) => [request({ items: [] }), cb], [called, rejected(': empty items')]],
    ['an element that cannot be fetched', (cb) => {
      const items = [item('p1', 'file', 'a.txt')];
      Object.defineProperty(items, 1, { get() { throw new Error('element'); }, enumerable: true });
      return [request({ items }), cb];
    }, [called, counted(2), aTxtType]],
    ['a second item of kind File', (cb) => [request({ items: [item('p1', 'file', 'a.txt'), item('p2', 'File', 'b.txt'), item('p3', 'file', 'c.txt')] }), cb],
      [called, counted(3), aTxtType, rejected(': invalid item index=1 promiseId=p2 kind=File suggestedName=b.txt')]],
    ['an item of kind folder', (cb) => [request({ items: [item('p1', 'folder', 'x')] }), cb],
      [called, counted(1), rejected(': invalid item index=0 promiseId=p1 kind=folder suggestedName=x')]],
    ['an item that is a string', (cb) => [request({ items: ['p1'] }), cb],
      [called, counted(1), rejected(': invalid item index=0 promiseId= kind= suggestedName=')]],
    ['an item with a numeric promiseId and no name', (cb) => [request({ items: [{ promiseId: 1, kind: 'file' }] }), cb],
      [called, counted(1), rejected(': invalid item index=0 promiseId= kind=file suggestedName=')]],
    ['no window at all', (cb) => [request(), cb],
      [called, counted(1), aTxtType, rejected(': no source, key, or main window with a contentView')],
      () => { desktop.reset(); desktop.setPressedButtons(1); }],
    ['a requested window without a content view (the key window has one)', (cb) => [request({ windowNumber: 102 }), cb],
      [called, counted(1), aTxtType, rejected(': no source, key, or main window with a contentView')],
      () => desktop.createWindow({ number: 102, frame: { x: 0, y: 0, width: 10, height: 10 }, contentView: null })],
    ['a key window without a content view (the main window has one)', (cb) => [request(), cb],
      [called, counted(1), aTxtType, rejected(': no source, key, or main window with a contentView')],
      () => desktop.setKeyWindow(desktop.createWindow({ number: 103, frame: { x: 0, y: 0, width: 10, height: 10 }, contentView: null }).number)],
    ['no shared application', (cb) => [request(), cb],
      [called, counted(1), aTxtType, rejected(': no source, key, or main window with a contentView')],
      () => desktop.setApplicationPresent(false)],
    ['the left button not held', (cb) => [request(), cb],
      [called, counted(1), aTxtType, rejected(': left mouse button is not pressed')],
      () => desktop.setPressedButtons(2)],
  ];

  test('each rejection answers false with its lines and leaves nothing behind', async () => {
    const callbacks = new Collected();
    for (const [name, makeArguments, expected, setup] of cases) {
      cleanDesktop();
      windowWithButtonHeld();
      setup?.();
      const mark = logMessages().length;
      const result = addon.startPromiseDrag(...makeArguments(callbacks.fn(name)));
      assert.equal(result, false, name);
      assert.deepEqual(messagesSince(mark), expected, name);
      assert.deepEqual(desktop.drags(), [], name);
      assert.deepEqual(desktop.violations(), [], name);
    }
    // Nothing kept a reference: every write callback can be collected.
    assert.ok(await collectUntil(() => callbacks.alive.length === 0), `still alive: ${callbacks.alive}`);
  });

  test('a third argument is ignored', () => {
    windowWithButtonHeld();
    assert.equal(addon.startPromiseDrag(request(), () => {}, 'extra'), true);
  });

  test('no start event: the unregistered session is torn down at once and its callback collected', async () => {
    const callbacks = new Collected();
    windowWithButtonHeld();
    desktop.refuseMouseEventCreation(true);
    assert.equal(addon.startPromiseDrag(request(), callbacks.fn('write')), false);
    assert.deepEqual(logMessages(), [
      'startPromiseDrag called sessionId=s',
      'startPromiseDrag itemCount sessionId=s count=1',
      'resolved file type promiseId=p1 kind=file suggestedName=a.txt extension=txt fileType=public.plain-text',
      'startPromiseDrag preparing AppKit drag sessionId=s iconPath= windowNumber=101',
      'session init sessionId=s expectedWriteCount=1',
      'synthesizing AppKit drag event location=(300.0, 300.0) windowNumber=101',
      'startPromiseDrag rejected sessionId=s: failed to create drag event',
      'session dealloc sessionId=s pendingCompletions=0 requestedWriteCount=0 dragEnded=NO',
    ]);
    assert.deepEqual(desktop.drags(), []);
    assert.ok(await collectUntil(() => callbacks.has('write')));
    assert.equal(logMessages().filter((l) => l.startsWith('session dealloc')).length, 1, 'torn down once');
  });
  test('beginDraggingSession answering nil without raising: false, the line, the session abandoned', async () => {
    const callbacks = new Collected();
    windowWithButtonHeld();
    desktop.refuseDraggingSession(true);
    assert.equal(addon.startPromiseDrag(request(), callbacks.fn('write')), false);
    assert.deepEqual(logMessages().slice(-2), [
      'startPromiseDrag rejected sessionId=s: beginDraggingSession returned no session',
      'session dealloc sessionId=s pendingCompletions=0 requestedWriteCount=0 dragEnded=NO',
    ]);
    assert.deepEqual(desktop.drags(), []);
    assert.ok(await collectUntil(() => callbacks.has('write')), 'the write callback is not kept');

    desktop.refuseDraggingSession(false);
    assert.equal(addon.startPromiseDrag(request({ sessionId: 'next' }), () => {}), true);
    assert.equal(logMessages().at(-1), 'startPromiseDrag beginDraggingSession returned sessionId=next started=YES activeSessions=1',
      'the abandoned session left the registry');
  });
});

describe('a successful drag', () => {
  const expectedItemLines = (sessionId) => [
    `creating dragging item sessionId=${sessionId} index=0 promiseId=p1 kind=file suggestedName=report.pdf fileType=com.adobe.pdf cachedFile=NO`,
    `creating dragging item sessionId=${sessionId} index=1 promiseId=p2 kind=directory suggestedName=photos.zip fileType=public.folder cachedFile=NO`,
    `creating dragging item sessionId=${sessionId} index=2 promiseId=p3 kind=file suggestedName=notes.txt fileType=public.plain-text cachedFile=YES`,
  ];
  const typeLines = [
    'resolved file type promiseId=p1 kind=file suggestedName=report.pdf extension=pdf fileType=com.adobe.pdf',
    'resolved file type promiseId=p2 kind=directory suggestedName=photos.zip fileType=public.folder',
    'resolved file type promiseId=p3 kind=file suggestedName=notes.txt extension=txt fileType=public.plain-text',
  ];

  test('three items: the complete log in order, and the drag the desktop holds', () => {
    const w = windowWithButtonHeld();
    const started = addon.startPromiseDrag({ sessionId: 'drag-1', items: threeItems, windowNumber: w, iconPath }, () => {});
    assert.equal(started, true);
    assert.deepEqual(logMessages(), [
      'startPromiseDrag called sessionId=drag-1',
      'startPromiseDrag itemCount sessionId=drag-1 count=3',
      ...typeLines,
      `startPromiseDrag preparing AppKit drag sessionId=drag-1 iconPath=${iconPath} windowNumber=101`,
      'session init sessionId=drag-1 expectedWriteCount=3',
      'synthesizing AppKit drag event location=(300.0, 300.0) windowNumber=101',
      `using drag image iconPath=${iconPath} itemCount=3 imageValid=YES`,
      ...expectedItemLines('drag-1'),
      'startPromiseDrag beginDraggingSession returned sessionId=drag-1 started=YES activeSessions=1',
    ]);

    const [drag, ...others] = desktop.drags();
    assert.deepEqual(others, []);
    assert.equal(drag.window, w);
    assert.equal(drag.view, desktop.windowInfo(w).contentView);
    assert.equal(drag.animatesToStartingPositionsOnCancelOrFail, true);
    assert.deepEqual(drag.source, {
      operationMaskOutsideApplication: 1,
      operationMaskWithinApplication: 1,
      ignoreModifierKeys: true,
      alive: true,
    });
    const { serial, ...event } = drag.event;
    assert.deepEqual(event, {
      type: EventType.leftMouseDragged,
      window: w,
      location: { x: 300, y: 300 },
      modifierFlags: 0,
      timestamp: 1000 + desktop.now(),
      eventNumber: 0,
      clickCount: 1,
      pressure: 1,
      madeByApplication: true,
    });
    const frame = (x, y) => ({ x, y, width: 64, height: 64 });
    const items = drag.items.map(({ image, ...rest }) => {
      assert.equal(image, drag.image, 'one image shared by every item');
      return rest;
    });
    assert.deepEqual(items, [
      { writer: 'filePromise', fileType: 'com.adobe.pdf', delegateIsSource: true, draggingFrame: frame(268, 268),
        item: { promiseId: 'p1', kind: 'file', suggestedName: 'report.pdf', fileType: 'com.adobe.pdf', filePath: null } },
      { writer: 'filePromise', fileType: 'public.folder', delegateIsSource: true, draggingFrame: frame(272, 264),
        item: { promiseId: 'p2', kind: 'directory', suggestedName: 'photos.zip', fileType: 'public.folder', filePath: null } },
      { writer: 'fileURL', path: '/tmp/kestrovan-cached/notes.txt', draggingFrame: frame(276, 260) },
    ]);
    assert.deepEqual(desktop.violations(), []);
  });

  // Without an icon the system icon of the first item's type is drawn, with
  // its own line first.
  test('three items without an icon: the file type image line, then the final line', () => {
    windowWithButtonHeld();
    assert.equal(addon.startPromiseDrag({ sessionId: 'drag-2', items: threeItems }, () => {}), true);
    const lines = logMessages();
    const from = lines.indexOf('synthesizing AppKit drag event location=(300.0, 300.0) windowNumber=101');
    assert.deepEqual(lines.slice(from + 1), [
      'using file type drag image fileType=com.adobe.pdf itemCount=3',
      'using drag image iconPath= itemCount=3 imageValid=YES',
      ...expectedItemLines('drag-2'),
      'startPromiseDrag beginDraggingSession returned sessionId=drag-2 started=YES activeSessions=1',
    ]);
    const [drag] = desktop.drags();
    assert.notEqual(drag.image, null);
    for (const i of drag.items) assert.equal(i.image, drag.image);
    assert.equal(desktop.image(drag.image).size.width, 64, 'the image shown is the drag image');
  });

  test('file types and cached files, item by item', () => {
    windowWithButtonHeld();
    // [item, its file type line, whether it is dragged as the cached file]
    const cases = [
      [item('a', 'file', 'archive.tar.gz'), 'resolved file type promiseId=a kind=file suggestedName=archive.tar.gz extension=gz fileType=org.gnu.gnu-zip-archive', false],
      [item('b', 'file', 'README'), 'resolved file type fallback promiseId=b kind=file suggestedName=README fileType=public.data', false],
      // An extension without a declared type gets a dynamic one, as UTType makes it.
      [item('c', 'file', 'data.kestrovan-unknown'), /^resolved file type promiseId=c kind=file suggestedName=data\.kestrovan-unknown extension=kestrovan-unknown fileType=dyn\.a[a-z0-9]+$/, false],
      [item('d', 'directory', 'photos.zip'), 'resolved file type promiseId=d kind=directory suggestedName=photos.zip fileType=public.folder', false],
      [item('e', 'file', 'x.json', { filePath: '' }), 'resolved file type promiseId=e kind=file suggestedName=x.json extension=json fileType=public.json', false],
      [item('f', 'file', 'y.png', { filePath: '/no/such/file.png' }), 'resolved file type promiseId=f kind=file suggestedName=y.png extension=png fileType=public.png', true],
      [item('g', 'file', 'z.txt', { filePath: 42 }), 'resolved file type promiseId=g kind=file suggestedName=z.txt extension=txt fileType=public.plain-text', false],
    ];
    for (const [index, [it, line, cached]] of cases.entries()) {
      const mark = logMessages().length;
      assert.equal(addon.startPromiseDrag({ sessionId: `t${index}`, items: [it] }, () => {}), true, it.suggestedName);
      const lines = messagesSince(mark);
      if (line instanceof RegExp) assert.match(lines[2], line);
      else assert.equal(lines[2], line);
      assert.ok(lines.some((l) => l.startsWith(`creating dragging item sessionId=t${index} index=0`) && l.endsWith(`cachedFile=${cached ? 'YES' : 'NO'}`)));
      const drag = desktop.drags().at(-1);
      assert.equal(drag.items[0].writer, cached ? 'fileURL' : 'filePromise', it.suggestedName);
      if (cached) assert.equal(drag.items[0].path, it.filePath);
      else assert.equal(drag.items[0].item.filePath, null);
    }
  });

  test('seven items stack at offsets 0, 4, 8, 12, 16, 18, 18 around the drag origin', () => {
    windowWithButtonHeld();
    const items = Array.from({ length: 7 }, (_, i) => item(`p${i}`, 'file', `f${i}.txt`));
    assert.equal(addon.startPromiseDrag({ sessionId: 'seven', items }, () => {}), true);
    const frames = desktop.drags()[0].items.map((i) => i.draggingFrame);
    assert.deepEqual(frames.map((f) => [f.x - 268, 268 - f.y]), [0, 4, 8, 12, 16, 18, 18].map((o) => [o, o]));
  });

  test('the origin is the event location in the content view, not in the window', () => {
    const w = windowWithButtonHeld({ contentView: { frame: { x: 20, y: 30, width: 700, height: 500 }, boundsOrigin: { x: 5, y: 0 } } });
    assert.equal(addon.startPromiseDrag(request({ windowNumber: w }), () => {}), true);
    // Window (300, 300) is content (300 - 20 + 5, 300 - 30).
    assert.deepEqual(desktop.drags()[0].items[0].draggingFrame, { x: 285 - 32, y: 270 - 32, width: 64, height: 64 });
  });

  test('window choice: an unknown number falls back to the key window, then the main window, silently', () => {
    windowWithButtonHeld();
    const other = desktop.createWindow({ number: 202, frame: { x: 0, y: 0, width: 300, height: 300 } }).number;
    const windowLine = (n) => logMessages().find((l) => l.startsWith(`startPromiseDrag preparing AppKit drag sessionId=${n}`));
    addon.startPromiseDrag(request({ sessionId: 'named', windowNumber: other }), () => {});
    addon.startPromiseDrag(request({ sessionId: 'unknown', windowNumber: 999 }), () => {});
    addon.startPromiseDrag(request({ sessionId: 'text', windowNumber: '202' }), () => {});
    desktop.setKeyWindow(null);
    desktop.setMainWindow(other);
    addon.startPromiseDrag(request({ sessionId: 'main' }), () => {});
    assert.match(windowLine('named'), / windowNumber=202$/);
    assert.match(windowLine('unknown'), / windowNumber=101$/);
    assert.match(windowLine('text'), / windowNumber=101$/);
    assert.match(windowLine('main'), / windowNumber=202$/);
    assert.deepEqual(desktop.drags().map((d) => d.window), [202, 101, 101, 202]);
    assert.deepEqual(desktop.violations(), []);
  });

  test('two drags with one sessionId make two registered sessions', () => {
    windowWithButtonHeld();
    assert.equal(addon.startPromiseDrag(request({ sessionId: 'same' }), () => {}), true);
    assert.equal(addon.startPromiseDrag(request({ sessionId: 'same' }), () => {}), true);
    const last = logMessages().filter((l) => l.startsWith('startPromiseDrag beginDraggingSession returned'));
    assert.deepEqual(last, [
      'startPromiseDrag beginDraggingSession returned sessionId=same started=YES activeSessions=1',
      'startPromiseDrag beginDraggingSession returned sessionId=same started=YES activeSessions=2',
    ]);
    assert.equal(desktop.drags().length, 2);
  });
});

describe('the start event', () => {
  const eventLine = (lines) =>
    lines.filter((l) => l.startsWith('using current AppKit drag event') || l.startsWith('synthesizing AppKit drag event'));

  test('the current event when it is a left down or drag of the window, otherwise a made-up one', () => {
    const w = windowWithButtonHeld();
    const other = desktop.createWindow({ number: 202, frame: { x: 0, y: 0, width: 50, height: 50 } }).number;
    const shift = 1 << 17;
    // [current event, expected line, whether the drag begins from that very event, the made-up event's flags]
    const cases = [
      [{ type: EventType.leftMouseDown, window: w, location: { x: 10, y: 20 } },
        'using current AppKit drag event type=1 windowNumber=101', true],
      [{ type: EventType.leftMouseDragged, window: w, location: { x: 10, y: 20 }, modifierFlags: shift },
        'using current AppKit drag event type=6 windowNumber=101', true],
      [{ type: EventType.leftMouseUp, window: w, modifierFlags: shift },
        'synthesizing AppKit drag event location=(300.0, 300.0) windowNumber=101', false, shift],
      [{ type: EventType.mouseMoved, window: w }, 'synthesizing AppKit drag event location=(300.0, 300.0) windowNumber=101', false, 0],
      [{ type: EventType.keyDown, window: w, modifierFlags: 1 << 20 },
        'synthesizing AppKit drag event location=(300.0, 300.0) windowNumber=101', false, 1 << 20],
      [{ type: EventType.leftMouseDown, window: other, modifierFlags: shift },
        'synthesizing AppKit drag event location=(300.0, 300.0) windowNumber=101', false, shift],
      [null, 'synthesizing AppKit drag event location=(300.0, 300.0) windowNumber=101', false, 0],
    ];
    for (const [index, [current, line, fromCurrent, flags]] of cases.entries()) {
      const serial = desktop.setCurrentEvent(current);
      const mark = logMessages().length;
      assert.equal(addon.startPromiseDrag(request({ sessionId: `e${index}`, windowNumber: w }), () => {}), true);
      assert.deepEqual(eventLine(messagesSince(mark)), [line], `case ${index}`);
      const { event } = desktop.drags().at(-1);
      if (fromCurrent) {
        assert.equal(event.serial, serial, `case ${index}`);
        assert.equal(event.madeByApplication, false);
      } else {
        assert.equal(event.madeByApplication, true, `case ${index}`);
        assert.equal(event.type, EventType.leftMouseDragged);
        assert.equal(event.modifierFlags, flags, `case ${index}`);
      }
    }
    assert.deepEqual(desktop.violations(), []);
  });

  test('the made-up location is written with one decimal', () => {
    windowWithButtonHeld();
    desktop.moveMouse(220.54, 400.04);
    addon.startPromiseDrag(request(), () => {});
    assert.deepEqual(eventLine(logMessages()), ['synthesizing AppKit drag event location=(120.5, 300.0) windowNumber=101']);
    assert.deepEqual(desktop.drags()[0].event.location, { x: 220.54 - 100, y: 400.04 - 100 });
  });

  test('from inside the window-exit callback the crossing event is used, with no event line', () => {
    const w = windowWithButtonHeld();
    desktop.mouseDown();
    let started;
    assert.equal(addon.armPromiseDragOnWindowExit(w, () => {
      started = addon.startPromiseDrag({ sessionId: 'exit', items: threeItems, iconPath }, () => {});
    }), true);
    const crossing = desktop.moveMouseTo(50, 400);
    assert.equal(started, true);
    assert.deepEqual(eventLine(logMessages()), []);
    const [drag] = desktop.drags();
    assert.equal(drag.event.serial, crossing.event);
    assert.equal(drag.event.type, EventType.leftMouseDragged);
    assert.equal(drag.event.madeByApplication, false);
    // The crossing point (-50, 300) in the window is the drag origin.
    assert.deepEqual(drag.items[0].draggingFrame, { x: -82, y: 268, width: 64, height: 64 });
    assert.deepEqual(desktop.violations(), []);
  });

  test('a crossing event of another window is not used', () => {
    const w = windowWithButtonHeld();
    desktop.createWindow({ number: 202, frame: { x: 1000, y: 0, width: 300, height: 300 } });
    desktop.mouseDown();
    addon.armPromiseDragOnWindowExit(w, () => {
      addon.startPromiseDrag(request({ windowNumber: 202 }), () => {});
    });
    desktop.moveMouseTo(50, 400);
    // The current event is the crossing event too, of window 101: an event is made up.
    assert.deepEqual(eventLine(logMessages()), ['synthesizing AppKit drag event location=(-950.0, 400.0) windowNumber=202']);
    assert.equal(desktop.drags()[0].window, 202);
  });
});
