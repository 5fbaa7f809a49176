// The example Electron app's main process (examples/electron-drag-out/app.js)
// on the simulated desktop, with a stand-in for the Electron APIs it uses and
// a local HTTP server standing for the remote files: the page's drag start
// arrives over IPC, the cursor leaves the window, the drag begins, a
// Finder-like drop downloads each file into a real folder with progress, the
// page hears the progress and the drag's end, and the session retires. A
// download that fails leaves no file and its drop target hears why. The page
// is untrusted: only ids the main process knows, from the window's own page
// (its main frame), drag anything. The dropzone window opens and closes on the
// sidecar's events; the sidecar starts once the tray is placed, and again
// when the displays change.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, afterEach, before, beforeEach, describe, test } from 'node:test';

import { tempFolder } from '../../scripts/test/temp_folders.mjs';
import { electronStub } from './electron_stub.mjs';
import { fakeSidecar } from './fake_sidecar.mjs';

const require = createRequire(import.meta.url);
const here = path.dirname(fileURLToPath(import.meta.url));
const exampleDir = path.join(here, '..', 'electron-drag-out');

// The packages as the example resolves them inside the clone: through the
// repository's node_modules, the local build behind them.
const { startApp } = require(path.join(exampleDir, 'app.js'));
const desktop = require('kestrovan-file-promise-drag/desktop-sim').load();
const drag = require('kestrovan-file-promise-drag');

const DISPLAY = { x: 0, y: 0, width: 1440, height: 900 };
const TRAY = { x: 700, y: 0, width: 30, height: 22 };

// ---- The remote files ----------------------------------------------------------

const bytesOf = (name, size) => Buffer.from(Array.from({ length: size }, (_, i) => (i * 31 + name.length * 7) % 256));

// [id, name, bytes, how the server sends them]
const REMOTE = [
  ['letter', 'Letter.txt', Buffer.from('Dear reader,\nthis file was promised, then written.\n'), 'whole'],
  ['survey', 'Survey.zip', bytesOf('survey', 256 * 1024), 'chunks'],
  ['recording', 'Recording.raw', bytesOf('recording', 96 * 1024), 'unknown size'],
  ['broken', 'Broken.pdf', bytesOf('broken', 200 * 1024), 'breaks off'],
  ['missing', 'Missing.txt', Buffer.from('never sent'), 'not found'],
];
const remoteBytes = new Map(REMOTE.map(([id, , bytes]) => [id, bytes]));

async function sendInChunks(response, bytes, { stopAt = Infinity } = {}) {
  for (let at = 0; at < bytes.length; at += 16 * 1024) {
    if (at >= stopAt) {
      response.destroy(); // the connection breaks off
      return;
    }
    if (!response.write(bytes.subarray(at, at + 16 * 1024))) await new Promise((r) => response.once('drain', r));
    await new Promise((r) => setImmediate(r));
  }
  response.end();
}

let server;
let origin;
before(async () => {
  server = http.createServer((request, response) => {
    const id = request.url.slice(1);
    const entry = REMOTE.find(([remoteId]) => remoteId === id);
    if (!entry || entry[3] === 'not found') {
      response.writeHead(404).end();
      return;
    }
    const [, , bytes, how] = entry;
    const length = how === 'unknown size' ? {} : { 'Content-Length': String(bytes.length) };
    response.writeHead(200, { 'Content-Type': 'application/octet-stream', ...length });
    if (how === 'whole') response.end(bytes);
    else sendInChunks(response, bytes, how === 'breaks off' ? { stopAt: 64 * 1024 } : {});
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  origin = `http://127.0.0.1:${server.address().port}`;
});
after(() => {
  server.closeAllConnections();
  server.close();
});

const catalogue = () =>
  REMOTE.map(([id, name, bytes, how]) => ({ id, name, url: `${origin}/${id}`, size: how === 'unknown size' ? null : bytes.length }));

// ---- The app, on the desktop ---------------------------------------------------

const logMessages = () => desktop.log().map((line) => line.replace(/^\[KestrovanNativeFilePromise\] /, ''));

async function until(condition, what, timeout = 10000) {
  const deadline = Date.now() + timeout;
  while (!condition()) {
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 5));
  }
}

/** Starts the example with the stand-in Electron; resolves when it is up. */
async function startExample({ sidecar = fakeSidecar(), trayBounds = TRAY, ...appOptions } = {}) {
  const userData = tempFolder('kestrovan-example-userdata-');
  folders.push(userData);
  const stub = electronStub(desktop, { display: DISPLAY, trayBounds, userData });
  const lines = [];
  const handle = startApp(stub.electron, {
    catalogue: Promise.resolve(catalogue()),
    sidecarExecutable: sidecar.executable,
    log: (line) => lines.push(line),
    ...appOptions,
  });
  await handle.ready;
  const [win] = stub.windows;
  const example = { stub, win, lines, handle, sidecar, userData };
  running.push(example);
  return example;
}
const running = [];
const folders = [];

/** The window's page starts an HTML drag on its list: the button goes down, the mouse moves a little. */
function pressInWindow(win) {
  const { frame } = desktop.windowInfo(win.number);
  const start = { x: frame.x + 200, y: frame.y + frame.height / 2 };
  desktop.moveMouse(start.x, start.y);
  desktop.mouseDown();
  desktop.moveMouseTo(start.x - 10, start.y);
  return start;
}

/** Moves the held mouse left until it has crossed the window's edge; the point outside. */
function leaveWindow(win, start) {
  const { frame } = desktop.windowInfo(win.number);
  for (let x = start.x - 60; x > frame.x - 60; x -= 60) desktop.moveMouseTo(x, start.y);
  desktop.moveMouseTo(frame.x - 40, start.y);
  return { x: frame.x - 40, y: start.y };
}

/** Drags `ids` from the page out of the window; answers the desktop's drag (or undefined). */
function dragOut(example, ids) {
  const start = pressInWindow(example.win);
  example.stub.sendFromPage(example.win.webContents, 'drag-out:start', ids);
  const outside = leaveWindow(example.win, start);
  return { running: desktop.drags().at(-1), outside };
}

function cleanDesktop() {
  desktop.setLogEcho(false);
  desktop.endAllDrags();
  desktop.runFor(31);
  drag.disarmPromiseDrag();
  desktop.setPressedButtons(0);
  desktop.reset();
  desktop.clearDropOutcomes();
  desktop.clearProgressHistory();
}

beforeEach(cleanDesktop);
afterEach(async () => {
  for (const example of running.splice(0)) await example.handle.stop();
  for (const folder of folders.splice(0)) fs.rmSync(folder, { recursive: true, force: true });
});

// ---- The drag out --------------------------------------------------------------

describe('dragging remote files out', () => {
  test('a drop on a folder downloads each file with progress; the page hears it; the session retires', async () => {
    const example = await startExample();
    const { stub, win } = example;

    // The page gets ids, names and sizes; never a URL.
    const listed = await stub.invokeFromPage(win.webContents, 'files:list');
    assert.deepEqual(
      listed,
      REMOTE.map(([id, name, bytes, how]) => ({ id, name, size: how === 'unknown size' ? null : bytes.length })),
    );

    const folder = tempFolder('kestrovan-example-drop-');
    const { running: begun, outside } = dragOut(example, ['letter', 'survey', 'recording']);
    assert.ok(begun, 'the drag began as the cursor left the window');
    assert.equal(begun.window, win.number, 'from the window windowNumberOf named');
    assert.deepEqual(
      begun.items.map((item) => [item.item.promiseId, item.item.suggestedName, item.item.filePath]),
      [
        ['letter', 'Letter.txt', null],
        ['survey', 'Survey.zip', null],
        ['recording', 'Recording.raw', null],
      ],
    );
    assert.ok(example.lines.includes(`[drag-out example] armed=true files=letter,survey,recording windowNumber=${win.number}`));

    desktop.dropOnFolder(begun.id, folder, outside);
    desktop.setPressedButtons(0);
    desktop.runMainQueue(); // the write requests, as AppKit's run loop runs them
    await until(() => desktop.dropOutcomes().length === 3 && desktop.dropOutcomes().every((o) => o.answers > 0), 'every write answered');

    // The files, with the right bytes, each drop target answered once with success.
    assert.deepEqual(fs.readdirSync(folder).sort(), ['Letter.txt', 'Recording.raw', 'Survey.zip']);
    for (const outcome of desktop.dropOutcomes()) {
      assert.deepEqual([outcome.answers, outcome.outcome], [1, { success: true }], outcome.fileName);
      assert.deepEqual(fs.readFileSync(outcome.destination), remoteBytes.get(outcome.promiseId), outcome.fileName);
    }

    // Progress was published on each destination, climbed for the file of
    // known size, reached its end and was withdrawn.
    const progress = new Map(desktop.progresses().map((p) => [decodeURIComponent(new URL(p.fileURL).pathname), p]));
    for (const name of ['Letter.txt', 'Survey.zip', 'Recording.raw']) {
      const p = progress.get(path.join(folder, name));
      assert.ok(p, `progress for ${name}`);
      assert.deepEqual([p.withdrawn, p.completedHistory.at(-1)], [true, 1000], name);
    }
    const survey = progress.get(path.join(folder, 'Survey.zip')).completedHistory;
    // How many reads the 256 KiB take depends on the machine's load (a read
    // takes up to 64 KiB): at least one count between the ends shows the climb.
    assert.ok(survey.some((count) => count > 0 && count < 1000), `survey's progress climbed: ${survey}`);
    assert.deepEqual(survey, [...survey].sort((a, b) => a - b), 'never back');
    assert.deepEqual(desktop.publishedProgress(), []);

    // The page heard the drag start and end, each file's progress and its end.
    assert.deepEqual(stub.sentTo(win, 'drag-out:state'), [
      { sessionId: 'drag-out-1', phase: 'started' },
      { sessionId: 'drag-out-1', phase: 'ended', dropped: true },
    ]);
    const fileMessages = stub.sentTo(win, 'drag-out:file');
    for (const id of ['letter', 'survey', 'recording']) {
      const mine = fileMessages.filter((m) => m.id === id);
      assert.deepEqual(mine.at(-1), { sessionId: 'drag-out-1', id, state: 'written', bytes: remoteBytes.get(id).length });
      assert.ok(mine.slice(0, -1).every((m) => m.state === 'downloading'), id);
    }
    const surveyFractions = fileMessages.filter((m) => m.id === 'survey' && m.state === 'downloading').map((m) => m.fraction);
    assert.ok(surveyFractions.some((f) => f > 0 && f < 1), `the page saw the survey's progress: ${surveyFractions}`);

    // The session retires 30 s after the last write completed.
    assert.ok(logMessages().some((m) => m.startsWith('dragging session ended sessionId=drag-out-1 operation=1 ')));
    desktop.advanceClock(30);
    assert.ok(logMessages().includes('removing idle session sessionId=drag-out-1 requestedWriteCount=3'));
    assert.ok(logMessages().some((m) => m.startsWith('session dealloc sessionId=drag-out-1 pendingCompletions=0 ')));
    assert.deepEqual(desktop.violations(), []);
  });

  test('a download that fails leaves no file; its drop target hears why, the others are written', async () => {
    const example = await startExample();
    const { stub, win } = example;
    const folder = tempFolder('kestrovan-example-fail-');
    const { running: begun, outside } = dragOut(example, ['broken', 'missing', 'letter']);
    desktop.dropOnFolder(begun.id, folder, outside);
    desktop.setPressedButtons(0);
    desktop.runMainQueue();
    await until(() => desktop.dropOutcomes().length === 3 && desktop.dropOutcomes().every((o) => o.answers > 0), 'every write answered');

    const outcomes = new Map(desktop.dropOutcomes().map((o) => [o.promiseId, o]));
    assert.deepEqual(outcomes.get('letter').outcome, { success: true });
    for (const [id, name] of [['broken', 'Broken.pdf'], ['missing', 'Missing.txt']]) {
      const { outcome, answers, destination } = outcomes.get(id);
      assert.equal(answers, 1, id);
      assert.equal(outcome.success, false, id);
      assert.match(outcome.description, new RegExp(`^Could not download ${name.replace('.', '\\.')}: .+`), id);
      assert.equal(fs.existsSync(destination), false, `no partial ${name}`);
    }
    assert.match(outcomes.get('missing').outcome.description, /404/, 'the status is named');
    assert.deepEqual(fs.readdirSync(folder), ['Letter.txt']);
    assert.deepEqual(desktop.publishedProgress(), [], 'every progress withdrawn');
    assert.ok(desktop.progresses().every((p) => p.withdrawn));

    const failed = stub.sentTo(win, 'drag-out:file').filter((m) => m.state === 'failed');
    assert.deepEqual(
      failed.map((m) => m.id).sort(),
      ['broken', 'missing'],
    );
    for (const m of failed) assert.equal(m.message, outcomes.get(m.id).outcome.description, 'the page hears what the Finder hears');

    desktop.advanceClock(30);
    assert.ok(logMessages().includes('removing idle session sessionId=drag-out-1 requestedWriteCount=3'));
    assert.deepEqual(desktop.violations(), []);
  });

  test('a cancelled drag writes nothing; the page hears it ended without a drop', async () => {
    const example = await startExample();
    const { stub, win } = example;
    const { running: begun, outside } = dragOut(example, ['letter']);
    desktop.endDrag(begun.id, outside, 0);
    desktop.setPressedButtons(0);
    assert.deepEqual(stub.sentTo(win, 'drag-out:state').at(-1), { sessionId: 'drag-out-1', phase: 'ended', dropped: false });
    assert.ok(example.lines.includes('[drag-out example] drag-out-1 ended operation=0'));
    desktop.advanceClock(30);
    assert.ok(logMessages().includes('removing idle session sessionId=drag-out-1 requestedWriteCount=0'));
    assert.deepEqual(desktop.dropOutcomes(), []);
  });

  test('the windows keep Electron\'s security defaults and the pages a content security policy', async () => {
    const { win } = await startExample();
    const { webPreferences } = win.options;
    assert.deepEqual(
      [webPreferences.contextIsolation, webPreferences.sandbox, webPreferences.nodeIntegration],
      [true, true, false],
    );
    assert.equal(webPreferences.preload, path.join(exampleDir, 'preload.js'));
    assert.equal(win.loaded, path.join(exampleDir, 'index.html'));
    for (const page of ['index.html', 'dropzone.html']) {
      const html = fs.readFileSync(path.join(exampleDir, page), 'utf8');
      const csp = html.match(/http-equiv="Content-Security-Policy"\s+content="([^"]+)"/);
      assert.ok(csp, `${page} has a content security policy`);
      assert.match(csp[1], /default-src 'none'/, page);
      assert.match(csp[1], /script-src 'self'(;|$)/, page);
      assert.doesNotMatch(csp[1], /unsafe/, page);
      assert.doesNotMatch(html, /<script(?![^>]*\ssrc=)|\son[a-z]+=/i, `${page} has no inline script or handler`);
    }
  });
});

// ---- The page is untrusted ---------------------------------------------------------

/**
 * Calls `send(sender, senderFrame)` as one of the senders the main process may
 * hear: 'page' (the window's page, its main frame), 'other' (another web
 * contents), 'iframe' (a frame inside the window's page: same web contents,
 * another frame, even one showing the same URL), 'navigated' (the main frame,
 * gone on to another page), 'gone' (a frame that no longer exists:
 * senderFrame null).
 */
async function asSender(example, from, send, win = example.win) {
  const { stub } = example;
  const contents = win.webContents;
  const main = contents.mainFrame;
  switch (from) {
    case 'page':
      return send(contents, main);
    case 'other':
      return send({ id: 'another', mainFrame: stub.frame(main.url) }, stub.frame(main.url));
    case 'iframe':
      return send(contents, stub.frame(main.url));
    case 'navigated': {
      const loaded = main.url;
      main.url = 'https://elsewhere.example/';
      try {
        return await send(contents, main);
      } finally {
        main.url = loaded;
      }
    }
    case 'gone':
      return send(contents, null);
    default:
      throw new Error(`no sender ${from}`);
  }
}
const sendAs = (example, from, channel, ...args) =>
  asSender(example, from, (sender, frame) => example.stub.sendFromFrame(sender, frame, channel, ...args));
/** The same to the page of another window of the app (the dropzone's). */
const sendToWindowAs = (example, win, from, channel, ...args) =>
  asSender(example, from, (sender, frame) => example.stub.sendFromFrame(sender, frame, channel, ...args), win);
const invokeAs = (example, from, channel, ...args) =>
  asSender(example, from, (sender, frame) => example.stub.invokeFromFrame(sender, frame, channel, ...args));

describe('what the page sends', () => {
  // [what, sender (see sendAs), the message's argument]
  const refused = [
    ['another sender', 'other', ['letter']],
    ['an iframe of the page', 'iframe', ['letter']],
    ['the main frame, navigated to another page', 'navigated', ['letter']],
    ['a frame that has gone', 'gone', ['letter']],
    ['not an array', 'page', 'letter'],
    ['ids the app does not know', 'page', ['../../etc/passwd', 'Letter.txt', `${'x'.repeat(300)}`]],
    ['objects standing for ids', 'page', [{ id: 'letter' }, { toString: () => 'letter' }]],
    ['paths and URLs', 'page', ['/etc/hosts', 'http://127.0.0.1/letter', 'file:///etc/hosts']],
    ['nothing', 'page', []],
  ];
  for (const [what, from, ids] of refused) {
    test(`arms nothing for ${what}`, async () => {
      const example = await startExample();
      const start = pressInWindow(example.win);
      await sendAs(example, from, 'drag-out:start', ids);
      leaveWindow(example.win, start);
      assert.deepEqual(desktop.drags(), [], 'no drag began');
      assert.ok(!example.lines.some((line) => line.includes('armed=')), example.lines.join('\n'));
    });
  }

  test('only the page\'s main frame cancels an arming or gets the files list', async () => {
    for (const from of ['other', 'iframe', 'navigated', 'gone']) {
      const example = await startExample();
      const start = pressInWindow(example.win);
      await sendAs(example, 'page', 'drag-out:start', ['letter']);
      await sendAs(example, from, 'drag-out:cancel');
      leaveWindow(example.win, start);
      assert.equal(desktop.drags().length, 1, `${from}: the arming stayed and the drag began`);
      desktop.endAllDrags();
      desktop.setPressedButtons(0);
      assert.deepEqual(await invokeAs(example, from, 'files:list'), [], `${from}: no files listed`);
      await example.handle.stop();
    }
    const example = await startExample();
    const start = pressInWindow(example.win);
    await sendAs(example, 'page', 'drag-out:start', ['letter']);
    await sendAs(example, 'page', 'drag-out:cancel');
    leaveWindow(example.win, start);
    assert.deepEqual(desktop.drags(), [], 'the page\'s own cancel disarmed');
    assert.equal((await invokeAs(example, 'page', 'files:list')).length, REMOTE.length);
  });

  test('a mix drags only the known files, once each, under the app\'s own names', async () => {
    const example = await startExample();
    const { running: begun } = dragOut(example, ['letter', 'nope', 'letter', '/etc/passwd', 'survey']);
    assert.deepEqual(
      begun.items.map(({ item }) => [item.promiseId, item.suggestedName]),
      [
        ['letter', 'Letter.txt'],
        ['survey', 'Survey.zip'],
      ],
    );
  });

});

// ---- The dropzone by the tray ------------------------------------------------------

const sidecarPid = (lines) => {
  const started = lines.find((line) => line.startsWith('[drag-out example] dropzone sidecar started pid='));
  return started ? Number(started.match(/pid=(\d+)/)[1]) : null;
};
const frameArgument = (argv, option) => argv[argv.indexOf(option) + 1].split(',').map(Number);

describe('the dropzone by the tray', () => {
  test('opens below the tray on drag-enter, closes on drag-exit and on an outside click; stop ends the sidecar with 0', async () => {
    const sidecar = fakeSidecar({ lines: ['DRAG_ENTER', 'DRAG_EXIT', 'DRAG_ENTER', 'OUTSIDE_CLICK'] });
    const example = await startExample({ sidecar });
    const { stub, lines } = example;
    await until(() => sidecar.argv() !== null, 'the sidecar listening');

    // Electron's rectangles (top left, y down) in the sidecar's space (the
    // primary display's bottom left, y up): the tray, and the dropzone
    // centred 6 points below it.
    const argv = sidecar.argv();
    assert.deepEqual(frameArgument(argv, '--tray-frame'), [700, 900 - 22, 30, 22]);
    assert.deepEqual(frameArgument(argv, '--dropzone-frame'), [595, 900 - (28 + 150), 240, 150]);
    const pid = sidecarPid(lines);
    assert.ok(pid > 0, lines.join('\n'));

    sidecar.next(pid); // DRAG_ENTER
    await until(() => stub.windows.length === 2, 'the dropzone window');
    const dropzone = stub.windows[1];
    assert.deepEqual(dropzone.getBounds(), { x: 595, y: 28, width: 240, height: 150 });
    assert.deepEqual(
      [dropzone.options.frame, dropzone.options.alwaysOnTop, dropzone.options.show, dropzone.visible],
      [false, true, false, true],
      'frameless, on top, shown without taking the focus',
    );
    assert.deepEqual(
      [dropzone.options.webPreferences.contextIsolation, dropzone.options.webPreferences.sandbox, dropzone.options.webPreferences.nodeIntegration],
      [true, true, false],
    );
    assert.equal(dropzone.loaded, path.join(exampleDir, 'dropzone.html'));

    sidecar.next(pid); // DRAG_EXIT
    await until(() => dropzone.isDestroyed(), 'the dropzone closed on drag-exit');
    assert.ok(lines.includes('[drag-out example] dropzone closed (drag-exit)'));

    sidecar.next(pid); // DRAG_ENTER
    await until(() => stub.windows.length === 3, 'the dropzone opened again');
    sidecar.next(pid); // OUTSIDE_CLICK
    await until(() => stub.windows[2].isDestroyed(), 'the dropzone closed on an outside click');
    assert.ok(lines.includes('[drag-out example] dropzone closed (outside-click)'));
    assert.equal(stub.windows[0].isDestroyed(), false, 'the main window stays');

    assert.deepEqual(await example.handle.stop(), { code: 0, signal: null });
    await until(() => lines.includes('[drag-out example] dropzone sidecar exited code=0 signal=null'), 'the exit line');
  });

  test('waits for the menu bar to place the tray: the sidecar starts once, with the placed frame', async () => {
    // A new tray answers zeros until the menu bar has placed it.
    const placedAt = Date.now() + 300;
    const sidecar = fakeSidecar();
    const example = await startExample({ sidecar, trayBounds: () => (Date.now() < placedAt ? { x: 0, y: 0, width: 0, height: 0 } : TRAY) });
    assert.ok(Date.now() >= placedAt, 'ready only once the tray is placed');
    await until(() => sidecar.argv() !== null, 'the sidecar listening');
    assert.deepEqual(frameArgument(sidecar.argv(), '--tray-frame'), [700, 900 - 22, 30, 22]);
    assert.deepEqual(frameArgument(sidecar.argv(), '--dropzone-frame'), [595, 900 - (28 + 150), 240, 150]);
    await new Promise((resolve) => setTimeout(resolve, 200));
    assert.equal(sidecar.starts().length, 1, 'started once');
  });

  test('a tray never placed starts no sidecar, says so, and the drag out goes on', async () => {
    const sidecar = fakeSidecar();
    const example = await startExample({ sidecar, trayBounds: { x: 0, y: 0, width: 0, height: 0 }, trayPlacementTimeoutMs: 200 });
    assert.ok(
      example.lines.includes('[drag-out example] dropzone sidecar not started: the menu bar has not placed the tray (bounds {"x":0,"y":0,"width":0,"height":0})'),
      example.lines.join('\n'),
    );
    assert.deepEqual(sidecar.starts(), []);
    assert.ok(dragOut(example, ['letter']).running, 'the drag still begins');
    assert.deepEqual(await example.handle.stop(), null);
  });

  test('stopped while waiting for the tray: ready resolves, and no sidecar starts', async () => {
    const sidecar = fakeSidecar();
    const stub = electronStub(desktop, { display: DISPLAY, trayBounds: { x: 0, y: 0, width: 0, height: 0 } });
    const handle = startApp(stub.electron, { catalogue: [], sidecarExecutable: sidecar.executable, log: () => {} });
    await new Promise((resolve) => setTimeout(resolve, 100));
    assert.equal(await handle.stop(), null);
    await handle.ready;
    assert.deepEqual(sidecar.starts(), []);
  });

  // A display added, removed or changed (resolution, arrangement): the frames
  // change, and the sidecar starts again with them, once per burst.
  for (const event of ['display-added', 'display-removed', 'display-metrics-changed']) {
    test(`${event}: the sidecar starts again with the new frames, once for a burst of events`, async () => {
      const sidecar = fakeSidecar({ lines: ['DRAG_ENTER', 'DRAG_ENTER'] });
      const example = await startExample({ sidecar, displaySettleMs: 100 });
      const { stub, lines } = example;
      await until(() => sidecar.argv() !== null, 'the sidecar listening');
      const first = sidecarPid(lines);
      sidecar.next(first); // DRAG_ENTER: the dropzone is open when the displays change
      await until(() => stub.windows.length === 2, 'the dropzone window');

      const display = { x: 0, y: 0, width: 1920, height: 1080 };
      const tray = { x: 1500, y: 0, width: 30, height: 24 };
      stub.changeDisplays(event, { display, trayBounds: tray, times: 3 });
      await until(() => sidecar.starts().length === 2, 'the sidecar started again');
      assert.deepEqual(frameArgument(sidecar.argv(), '--tray-frame'), [1500, 1080 - 24, 30, 24]);
      assert.deepEqual(frameArgument(sidecar.argv(), '--dropzone-frame'), [1395, 1080 - (30 + 150), 240, 150]);
      assert.ok(lines.includes(`[drag-out example] ${event}: the dropzone sidecar starts again`), lines.join('\n'));
      assert.ok(lines.includes('[drag-out example] dropzone sidecar exited code=0 signal=null'), 'the first one stopped');
      assert.ok(lines.includes('[drag-out example] dropzone closed (display changed)'));
      assert.equal(stub.windows[1].isDestroyed(), true);

      // The new one opens the dropzone at the new place.
      const second = Number(lines.filter((line) => line.startsWith('[drag-out example] dropzone sidecar started pid=')).at(-1).match(/pid=(\d+)/)[1]);
      assert.notEqual(second, first);
      sidecar.next(second);
      await until(() => stub.windows.length === 3, 'the dropzone opened again');
      assert.deepEqual(stub.windows[2].getBounds(), { x: 1395, y: 30, width: 240, height: 150 });
      await new Promise((resolve) => setTimeout(resolve, 300));
      assert.equal(sidecar.starts().length, 2, 'one restart for the burst');

      // A change pending when the app stops starts nothing.
      stub.changeDisplays(event);
      assert.deepEqual(await example.handle.stop(), { code: 0, signal: null });
      await new Promise((resolve) => setTimeout(resolve, 300));
      assert.equal(sidecar.starts().length, 2, 'nothing started after stop');
      assert.equal(stub.electron.screen.listenerCount(event), 0, 'the display listeners are removed');
    });
  }

  test('a sidecar that refuses its command line is reported with its own line, and the drag out goes on', async () => {
    const line = 'Expected a number, received x.';
    const example = await startExample({ sidecar: fakeSidecar({ reject: line }) });
    await until(() => example.lines.some((l) => l.startsWith('[drag-out example] dropzone sidecar error: ')), 'the error line');
    const error = example.lines.find((l) => l.startsWith('[drag-out example] dropzone sidecar error: '));
    assert.ok(error.includes(`[KestrovanDragDropzone] Sidecar failed: ${line}`), error);
    const { running: begun } = dragOut(example, ['letter']);
    assert.ok(begun, 'the drag still begins');
  });
});

// ---- Files dropped on the dropzone -------------------------------------------------

// Other applications' drags into the dropzone window, on the simulated
// desktop: the Finder's files, Mail's promised attachments (slow, failing,
// never fulfilled), moved over the window and dropped. The drop zone is the
// package's own (acceptFileDrops, its native module on the simulated desktop).

// The page's drop area in the 240 x 150 dropzone, as its getBoundingClientRect
// reports it: the whole window but a 6-pixel margin, then shrunk as the list
// of drops grows below it.
const AREA = { x: 6, y: 6, width: 228, height: 138 };
const AREA_WITH_LIST = { x: 6, y: 6, width: 228, height: 80 };
const IN_AREA = { x: 120, y: 40 };
const IN_MARGIN = { x: 3, y: 40 };

/** Runs what is due on the main queue (the zone's events and the sources' answers), until nothing is left. */
async function settle() {
  await new Promise((resolve) => setImmediate(resolve));
  while (desktop.runMainQueue() > 0) await new Promise((resolve) => setImmediate(resolve));
}
/** Moves the desktop's clock on by `seconds`, and lets what was due run. */
async function wait(seconds) {
  await settle();
  desktop.advanceClock(seconds);
  await settle();
}
const zonesOver = (win) => desktop.dropZones().filter((zone) => zone.window === win.number).map(({ rect }) => rect);

/** Another application's drag into `win`: moved through `points` (content points), then dropped or not. */
function dragInto(win, items, points, { drop = true } = {}) {
  const id = desktop.beginIncomingDrag(items);
  const places = points.map((point) => desktop.moveIncomingDrag(id, win.number, point).target);
  if (drop) places.push(`drop on ${desktop.dropIncomingDrag(id).target}`);
  else desktop.cancelIncomingDrag(id);
  return places;
}

describe('files dropped on the dropzone', () => {
  afterEach(() => assert.deepEqual(desktop.violations(), []));

  /** Starts the example, lets the sidecar say DRAG_ENTER; answers the example, the dropzone window and the sidecar's pid. */
  async function openDropzone() {
    const sidecar = fakeSidecar({ lines: ['DRAG_ENTER', 'DRAG_EXIT', 'DRAG_ENTER', 'OUTSIDE_CLICK'] });
    const example = await startExample({ sidecar });
    await until(() => sidecar.argv() !== null, 'the sidecar listening');
    const pid = sidecarPid(example.lines);
    sidecar.next(pid); // DRAG_ENTER
    await until(() => example.stub.windows.length === 2, 'the dropzone window');
    return { example, dropzone: example.stub.windows[1], pid, sidecar };
  }
  const reportArea = (example, dropzone, area) => example.stub.sendFromPage(dropzone.webContents, 'dropzone:area', area);

  test('the sidecar\'s drag-enter opens the dropzone, whose page\'s drop area gets a zone; it follows the area; closing the window closes it', async () => {
    const { example, dropzone, pid, sidecar } = await openDropzone();
    const { stub, lines, userData } = example;
    assert.equal(dropzone.options.webPreferences.preload, path.join(exampleDir, 'dropzone-preload.js'));
    assert.equal(dropzone.loaded, path.join(exampleDir, 'dropzone.html'));
    assert.deepEqual(zonesOver(dropzone), [], 'no zone until the page says where its drop area is');

    reportArea(example, dropzone, AREA);
    assert.deepEqual(zonesOver(dropzone), [AREA]);
    assert.deepEqual(zonesOver(example.win), [], 'over the dropzone, not the main window');
    const destination = path.join(userData, 'drops');
    assert.ok(fs.statSync(destination).isDirectory(), 'the app made its drops folder');
    assert.ok(lines.includes(`[drag-out example] drop zone opened rect=6,6,228,138 destination=${destination}`), lines.join('\n'));
    // A drag over the area goes to the zone; over the margin around it, to the page.
    assert.deepEqual(dragInto(dropzone, [{ kind: 'file', path: userData }], [IN_MARGIN, IN_AREA, IN_MARGIN], { drop: false }), [
      'webContents',
      'zone',
      'webContents',
    ]);

    // The list grows below the area; the page zoomed in (CSS pixels are then
    // larger than points); an area beyond the window: each report moves the
    // same zone.
    const moves = [
      [1, AREA_WITH_LIST, AREA_WITH_LIST],
      [2, { x: 3, y: 3, width: 114, height: 40 }, { x: 6, y: 6, width: 228, height: 80 }],
      [2, { x: 3, y: 3, width: 150, height: 100 }, { x: 6, y: 6, width: 234, height: 144 }], // clipped to the 240 x 150 content
      [1, { x: -10, y: 100, width: 300, height: 80 }, { x: 0, y: 100, width: 240, height: 50 }],
    ];
    for (const [zoom, reported, rect] of moves) {
      dropzone.webContents.setZoomFactor(zoom);
      reportArea(example, dropzone, reported);
      assert.deepEqual(zonesOver(dropzone), [rect], JSON.stringify(reported));
    }
    assert.ok(lines.includes('[drag-out example] drop zone moved rect=6,6,228,80'));
    assert.deepEqual(dragInto(dropzone, [{ kind: 'file', path: userData }], [IN_AREA, { x: 120, y: 120 }], { drop: false }), [
      'webContents',
      'zone',
    ]);

    sidecar.next(pid); // DRAG_EXIT
    await until(() => dropzone.isDestroyed(), 'the dropzone closed on drag-exit');
    assert.deepEqual(desktop.dropZones(), [], 'the zone closed with its window');
    assert.ok(lines.includes('[drag-out example] drop zone closed (drag-exit)'));
    reportArea(example, dropzone, AREA);
    assert.deepEqual(desktop.dropZones(), [], 'a closed window\'s page opens nothing');

    // The next dropzone gets a zone of its own, which closes with its window
    // however it closes.
    sidecar.next(pid); // DRAG_ENTER
    await until(() => stub.windows.length === 3, 'the dropzone opened again');
    reportArea(example, stub.windows[2], AREA);
    assert.deepEqual(zonesOver(stub.windows[2]), [AREA]);
    stub.windows[2].close();
    await settle();
    assert.deepEqual(desktop.dropZones(), []);
    assert.ok(lines.includes('[drag-out example] drop zone closed (window closed)'));
  });

  test('a drop area counts only from the dropzone\'s own page, and only as a rectangle inside the window', async () => {
    const { example, dropzone } = await openDropzone();
    const refusedLines = () => example.lines.filter((line) => line === '[drag-out example] drop area refused: not a rectangle inside the window');
    // From the main window's page, another web contents, an iframe of the
    // dropzone's page, its main frame navigated away, a frame that has gone.
    await sendAs(example, 'page', 'dropzone:area', AREA);
    for (const from of ['other', 'iframe', 'navigated', 'gone']) await sendToWindowAs(example, dropzone, from, 'dropzone:area', AREA);
    assert.deepEqual(desktop.dropZones(), [], 'no zone from another sender');
    assert.deepEqual(refusedLines(), [], 'nor a line');

    const bad = [
      null,
      'everywhere',
      [6, 6, 228, 138],
      { x: 6, y: 6, width: 228 },
      { x: '6', y: 6, width: 228, height: 138 },
      { x: Number.NaN, y: 6, width: 228, height: 138 },
      { x: 6, y: 6, width: Infinity, height: 138 },
      { x: 6, y: 6, width: 0, height: 138 },
      { x: 6, y: 6, width: 228, height: -1 },
      { x: 240, y: 0, width: 10, height: 10 }, // beside the window
      { x: 0, y: -20, width: 10, height: 20 }, // above it
    ];
    for (const area of bad) reportArea(example, dropzone, area);
    assert.deepEqual(desktop.dropZones(), [], 'no zone for a bad area');
    assert.equal(refusedLines().length, bad.length);

    // The dropzone is never the key window: without its number there is no zone.
    dropzone.getMediaSourceId = () => 'screen:1:0';
    reportArea(example, dropzone, AREA);
    assert.ok(example.lines.includes('[drag-out example] drop zone not opened: no window number for the dropzone window'));
    // The package refusing (a window that is not there) leaves the app up and says why.
    dropzone.getMediaSourceId = () => 'window:999999:0';
    reportArea(example, dropzone, AREA);
    assert.ok(example.lines.some((line) => line.startsWith('[drag-out example] drop zone not opened: ') && line.includes('999999')), example.lines.join('\n'));
    delete dropzone.getMediaSourceId;
    assert.deepEqual(desktop.dropZones(), []);
    reportArea(example, dropzone, AREA);
    assert.deepEqual(zonesOver(dropzone), [AREA], 'the next report opens it');
  });

  test('a drop: the page shows the hover, lists each file, its progress and where it arrived or why not', async () => {
    const { example, dropzone, pid, sidecar } = await openDropzone();
    const { stub, lines, userData } = example;
    reportArea(example, dropzone, AREA);

    // A Finder file and three of Mail's attachments: one slow with progress,
    // one failing, one never fulfilled (rejected after the default 120 s).
    const existing = path.join(userData, 'Notes.txt');
    fs.writeFileSync(existing, 'notes');
    const hostileLooking = 'Invoice <img src=x onerror=alert(1)>.pdf';
    const places = dragInto(
      dropzone,
      [
        { kind: 'file', path: existing },
        { kind: 'promise', name: hostileLooking, contents: '%PDF-1.4', delay: 0.4, progress: [0, 0.004, 0.5, 0.75] },
        { kind: 'promise', name: 'Scan.tiff', delay: 0.1, error: 'The operation couldn\u2019t be completed. (Mail error 3.)' },
        { kind: 'promise', name: 'Photo.heic', never: true },
      ],
      [IN_MARGIN, IN_AREA, IN_MARGIN, IN_AREA],
    );
    assert.deepEqual(places, ['webContents', 'zone', 'webContents', 'zone', 'drop on zone']);
    await settle();
    // The page's own HTML drag events do not fire over the zone: its hover comes from the zone.
    assert.deepEqual(stub.sentTo(dropzone, 'dropzone:hover'), [{ over: true }, { over: false }, { over: true }]);
    // Over the margin the page heard the drag itself, its items untouched.
    assert.deepEqual(
      desktop.webContentsDragEvents(dropzone.number).map(({ type, items }) => [type, items.map((item) => item.name)]),
      [
        ['enter', ['Notes.txt', hostileLooking, 'Scan.tiff', 'Photo.heic']],
        ['exit', ['Notes.txt', hostileLooking, 'Scan.tiff', 'Photo.heic']],
        ['enter', ['Notes.txt', hostileLooking, 'Scan.tiff', 'Photo.heic']],
        ['exit', ['Notes.txt', hostileLooking, 'Scan.tiff', 'Photo.heic']],
      ],
    );
    assert.deepEqual(stub.sentTo(dropzone, 'dropzone:drop'), [
      {
        dropId: 'drop-1',
        items: [
          { index: 0, name: 'Notes.txt', kind: 'file' },
          { index: 1, name: hostileLooking, kind: 'promise' },
          { index: 2, name: 'Scan.tiff', kind: 'promise' },
          { index: 3, name: 'Photo.heic', kind: 'promise' },
        ],
      },
    ]);
    const dropped = lines.find((line) => line.startsWith('[drag-out example] drop-1 dropped items=4 folder='));
    assert.ok(dropped, lines.join('\n'));
    const folder = dropped.slice(dropped.indexOf('folder=') + 'folder='.length);
    assert.equal(path.dirname(folder), path.join(userData, 'drops'));

    const about = (index) =>
      stub
        .sentTo(dropzone, 'dropzone:file')
        .filter((m) => m.dropId === 'drop-1' && m.index === index)
        .map(({ dropId, index: _, ...rest }) => rest);
    await wait(0.2);
    assert.deepEqual(about(0), [{ state: 'received', path: existing }], 'an existing file: its own path, at once');
    assert.deepEqual(about(2), [{ state: 'failed', message: 'The operation couldn\u2019t be completed. (Mail error 3.)' }]);
    await wait(0.3);
    const received = about(1).at(-1);
    assert.deepEqual(about(1).slice(0, -1), [
      { state: 'receiving', fraction: 0 }, // one message per whole percent: not 0.004
      { state: 'receiving', fraction: 0.5 },
      { state: 'receiving', fraction: 0.75 },
    ]);
    assert.equal(received.state, 'received');
    assert.equal(path.basename(received.path), hostileLooking);
    assert.ok(received.path.startsWith(folder + path.sep), received.path);
    assert.equal(fs.readFileSync(received.path, 'utf8'), '%PDF-1.4');
    assert.deepEqual(about(3), [], 'still arriving');

    // The drag went on beyond the retention zone: the window stays until the
    // last file has arrived or failed (closing it would cancel the receipt).
    sidecar.next(pid); // DRAG_EXIT
    await until(() => lines.includes('[drag-out example] dropzone closes once its drops have arrived (drag-exit)'), 'the deferred close');
    assert.equal(dropzone.isDestroyed(), false);
    assert.deepEqual(zonesOver(dropzone), [AREA], 'the zone stays too');
    await wait(120);
    await until(() => dropzone.isDestroyed(), 'the dropzone closed once the drop settled');
    assert.deepEqual(about(3), [{ state: 'failed', message: 'timed out after 120000 ms waiting for "Photo.heic"' }]);
    assert.deepEqual(desktop.dropZones(), []);
    for (const line of [
      `[drag-out example] drop-1 received Notes.txt at ${existing}`,
      `[drag-out example] drop-1 received ${hostileLooking} at ${received.path}`,
      '[drag-out example] drop-1 not received Scan.tiff: The operation couldn\u2019t be completed. (Mail error 3.)',
      '[drag-out example] drop-1 not received Photo.heic: timed out after 120000 ms waiting for "Photo.heic"',
      '[drag-out example] drop zone closed (drag-exit)',
      '[drag-out example] dropzone closed (drag-exit)',
    ]) {
      assert.ok(lines.includes(line), `${line}\n---\n${lines.join('\n')}`);
    }
    // Nothing is left of the failed ones: only the slow one's file is in the drop's folder.
    assert.deepEqual(fs.readdirSync(folder, { recursive: true }).map(String).filter((entry) => fs.statSync(path.join(folder, entry)).isFile()), [
      path.relative(folder, received.path),
    ]);
  });

  test('a drop of existing files alone makes no folder; a drag that leaves without dropping turns the hover off', async () => {
    const { example, dropzone } = await openDropzone();
    const { stub, lines, userData } = example;
    reportArea(example, dropzone, AREA);
    const existing = path.join(userData, 'Notes.txt');
    fs.writeFileSync(existing, 'notes');
    dragInto(dropzone, [{ kind: 'file', path: existing }], [IN_AREA, { x: 300, y: 40 }], { drop: false });
    dragInto(dropzone, [{ kind: 'file', path: existing }], [IN_AREA]);
    await settle();
    assert.deepEqual(stub.sentTo(dropzone, 'dropzone:hover'), [{ over: true }, { over: false }, { over: true }]);
    assert.deepEqual(stub.sentTo(dropzone, 'dropzone:drop'), [{ dropId: 'drop-1', items: [{ index: 0, name: 'Notes.txt', kind: 'file' }] }]);
    await until(() => lines.includes(`[drag-out example] drop-1 received Notes.txt at ${existing}`), 'the file');
    assert.ok(lines.includes('[drag-out example] drop-1 dropped items=1'), lines.join('\n'));
    assert.deepEqual(fs.readdirSync(path.join(userData, 'drops')), []);
  });

  test('a drag coming back while files arrive keeps the dropzone open; quitting closes it at once, rejecting what is pending', async () => {
    const { example, dropzone, pid, sidecar } = await openDropzone();
    const { stub, lines } = example;
    reportArea(example, dropzone, AREA);
    dragInto(dropzone, [{ kind: 'promise', name: 'Photo.heic', never: true }], [IN_AREA]);
    await settle();

    const deferred = () => lines.filter((line) => line.startsWith('[drag-out example] dropzone closes once')).length;
    sidecar.next(pid); // DRAG_EXIT: deferred
    await until(() => deferred() === 1, 'the deferred close');
    sidecar.next(pid); // DRAG_ENTER: the drag came back, it stays open
    await until(() => lines.filter((line) => line === '[drag-out example] dropzone sidecar: drag-enter').length === 2, 'the second drag-enter');
    sidecar.next(pid); // OUTSIDE_CLICK: deferred again, not forgotten
    await until(() => deferred() === 2, 'the second deferred close');
    assert.equal(stub.windows.length, 2, 'no second dropzone');
    assert.equal(dropzone.isDestroyed(), false);

    await example.handle.stop();
    assert.equal(dropzone.isDestroyed(), true, 'quitting does not wait');
    await until(() => lines.includes('[drag-out example] drop-1 not received Photo.heic: the drop zone was closed'), 'the pending file rejected');
    assert.ok(lines.includes('[drag-out example] drop zone closed (quit)'));
    assert.ok(lines.includes('[drag-out example] dropzone closed (quit)'));
    assert.deepEqual(desktop.dropZones(), []);
  });

  test('hiding the dropzone window closes its zone; a drop area reported then opens none', async () => {
    const { example, dropzone } = await openDropzone();
    reportArea(example, dropzone, AREA);
    dropzone.hide();
    assert.deepEqual(desktop.dropZones(), []);
    assert.ok(example.lines.includes('[drag-out example] drop zone closed (window hidden)'));
    reportArea(example, dropzone, AREA_WITH_LIST);
    assert.deepEqual(desktop.dropZones(), [], 'nor a new one opened');
    assert.deepEqual(dragInto(dropzone, [{ kind: 'file', path: example.userData }], [IN_AREA], { drop: false }), ['webContents']);
  });
});
