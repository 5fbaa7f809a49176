// The example's dropzone with the real sidecar program under a private Xvfb:
// a file drag (a drag source fixture owning XdndSelection, the pointer moved
// through XTEST) toward the tray opens the dropzone window, leaving closes
// it, an outside click closes it, and quitting stops the sidecar with 0.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';
import { after, before, test } from 'node:test';

import { startXvfb } from '../../sidecar/test/js/xvfb.mjs';
import { electronStub } from './electron_stub.mjs';

const require = createRequire(import.meta.url);
const here = path.dirname(fileURLToPath(import.meta.url));
const repository = path.join(here, '..', '..');
const buildDir = path.resolve(repository, process.env.KESTROVAN_BUILD_DIR ?? 'build/linux-release');
const fixturePath = path.join(buildDir, 'sidecar', 'test', 'e2e', 'drag-source-fixture');

const { startApp } = require(path.join(here, '..', 'electron-drag-out', 'app.js'));
const desktop = require('kestrovan-file-promise-drag/desktop-sim').load();

// The screen, the menu bar item, and the points of this test in X's (and
// Electron's) top-left space. The dropzone lies centred 6 points below the
// tray: 500,30 240x150. The trigger zone is the 100-point square under the
// tray (570..670, 24..124).
const SCREEN = { width: 1280, height: 800 };
const TRAY = { x: 600, y: 0, width: 40, height: 24 };
const IN_TRIGGER = [620, 70];
const IN_TRIGGER_TOO = [640, 100];
const OUTSIDE_ALL = [1100, 700];
// Inside the zone that keeps the dropzone open (the dropzone grown by 20
// points), outside the one where clicks are allowed (the tray and the dropzone).
const BESIDE_DROPZONE = [750, 100];
const DRAG_START = [1000, 500];

let xvfb;
before(async () => {
  xvfb = await startXvfb(SCREEN);
});
after(() => xvfb.stop());

const xEnvironment = () => {
  const env = { ...process.env, DISPLAY: xvfb.display };
  delete env.WAYLAND_DISPLAY;
  delete env.XDG_SESSION_TYPE;
  return env;
};
const xdotool = (...words) => execFileSync('/usr/bin/xdotool', words.map(String), { env: xEnvironment() });
const move = ([x, y]) => xdotool('mousemove', x, y);

async function until(condition, what, timeout = 5000) {
  const deadline = Date.now() + timeout;
  while (!condition()) {
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 10));
  }
}
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

/** A drag source owning XdndSelection with a file; resolves once it owns it. */
function startSource() {
  const source = spawn(fixturePath, ['--offer', 'files'], { env: xEnvironment(), stdio: ['pipe', 'pipe', 'inherit'] });
  const lines = readline.createInterface({ input: source.stdout });
  const next = () => new Promise((resolve) => lines.once('line', resolve));
  return next().then((first) => {
    assert.equal(first, 'OWNED');
    return {
      async own() {
        source.stdin.write('own\n');
        assert.equal(await next(), 'OWNED');
      },
      end: () =>
        new Promise((resolve) => {
          source.once('exit', resolve);
          source.stdin.end();
        }),
    };
  });
}

test('the real sidecar opens the dropzone on a file drag toward the tray, closes it on leaving and on an outside click', async () => {
  // The sidecar is started by the app with this process's environment.
  const saved = { DISPLAY: process.env.DISPLAY, WAYLAND_DISPLAY: process.env.WAYLAND_DISPLAY, XDG_SESSION_TYPE: process.env.XDG_SESSION_TYPE };
  Object.assign(process.env, { DISPLAY: xvfb.display });
  delete process.env.WAYLAND_DISPLAY;
  delete process.env.XDG_SESSION_TYPE;
  desktop.setLogEcho(false);
  move(OUTSIDE_ALL);
  const stub = electronStub(desktop, { display: { x: 0, y: 0, ...SCREEN }, trayBounds: TRAY });
  const lines = [];
  const handle = startApp(stub.electron, { catalogue: [], log: (line) => lines.push(line) });
  const source = [];
  try {
    await handle.ready;
    const count = (line) => lines.filter((l) => l === `[drag-out example] ${line}`).length;

    // Listening once an outside click comes back (a click before its
    // monitors are installed is lost).
    for (let attempt = 0; attempt < 50 && count('dropzone sidecar: outside-click') === 0; attempt++) {
      xdotool('click', 1);
      await pause(100);
    }
    assert.ok(count('dropzone sidecar: outside-click') > 0, lines.join('\n'));

    // A file drag from elsewhere toward the tray: the dropzone opens below it.
    move(DRAG_START);
    const clicks = count('dropzone sidecar: outside-click');
    xdotool('mousedown', 1);
    await until(() => count('dropzone sidecar: outside-click') > clicks, 'the press seen');
    source.push(await startSource());
    await pause(120); // two polling ticks: the drag's start point is sampled
    move(IN_TRIGGER);
    await pause(300);
    if (count('dropzone opened') === 0) move(IN_TRIGGER_TOO); // a press sampled late: one more move starts the drag
    await until(() => count('dropzone opened') === 1, 'the dropzone opened');
    const dropzone = stub.windows[1];
    assert.deepEqual(dropzone.getBounds(), { x: 500, y: 30, width: 240, height: 150 });
    assert.equal(dropzone.visible, true);

    // Leaving the zone around the dropzone closes it.
    move(OUTSIDE_ALL);
    await until(() => dropzone.isDestroyed(), 'the dropzone closed on drag-exit');
    assert.equal(count('dropzone closed (drag-exit)'), 1);
    xdotool('mouseup', 1);

    // Another drag opens it again; a click outside closes it.
    move(DRAG_START);
    xdotool('mousedown', 1);
    await source[0].own();
    await pause(120);
    move(IN_TRIGGER);
    await pause(300);
    if (count('dropzone opened') === 1) move(IN_TRIGGER_TOO);
    await until(() => count('dropzone opened') === 2, 'the dropzone opened again');
    xdotool('mouseup', 1); // released inside: it stays open
    move(BESIDE_DROPZONE);
    await pause(120);
    assert.equal(stub.windows[2].isDestroyed(), false, 'still open beside the dropzone');
    xdotool('click', 1);
    await until(() => stub.windows[2].isDestroyed(), 'the dropzone closed on an outside click');
    assert.equal(count('dropzone closed (outside-click)'), 1);

    assert.deepEqual(await handle.stop(), { code: 0, signal: null });
  } finally {
    for (const s of source) await s.end();
    xdotool('mouseup', 1);
    await handle.stop();
    for (const [name, value] of Object.entries(saved)) {
      if (value === undefined) delete process.env[name];
      else process.env[name] = value;
    }
  }
});
