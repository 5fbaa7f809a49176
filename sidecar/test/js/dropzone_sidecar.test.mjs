// startDropzoneSidecar against the real program: its command line from
// Electron's rectangles (no X), its failures, and its events under a private
// Xvfb driven by xdotool and the drag source fixture that owns XdndSelection.
// KESTROVAN_BUILD_DIR names the build (the program and the fixture).
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFile, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';
import { eventOf, outputWords } from './output_words.mjs';
import { firstLine, startXvfb } from './xvfb.mjs';

const require = createRequire(import.meta.url);
const here = path.dirname(fileURLToPath(import.meta.url));
const packageRoot = path.join(here, '..', '..');
const { startDropzoneSidecar, sidecarPath } = require(packageRoot);
const wrapper = require(path.join(packageRoot, 'js', 'dropzone_sidecar.js'));
const { sidecarArguments } = wrapper;

const build = process.env.KESTROVAN_BUILD_DIR;
assert.ok(build, 'KESTROVAN_BUILD_DIR must name the build folder');
const program = path.resolve(build, 'sidecar', 'kestrovan-drag-dropzone-sidecar');
const dragSource = path.resolve(build, 'sidecar', 'test', 'e2e', 'drag-source-fixture');
const fixtures = path.join(here, 'fixtures');
const failed = '[KestrovanDragDropzone] Sidecar failed: ';

// The 1280 × 800 screen is the primary display. In Electron's space (y down,
// the same as X's root here): the tray 100,70,200,30 and the dropzone
// 400,300,300,200 are the program's 100,700,200,30 and 400,300,300,200, whose
// trigger zone is x 150..250, y 100..200 (y down).
const primaryDisplayBounds = { x: 0, y: 0, width: 1280, height: 800 };
const frames = {
  trayFrame: { x: 100, y: 70, width: 200, height: 30 },
  dropzoneFrame: { x: 400, y: 300, width: 300, height: 200 },
  primaryDisplayBounds,
};
const inTrigger = [200, 150];
const inTriggerToo = [230, 180];
const outsideAll = [1100, 700];
const dragStart = [1000, 150];

const eventNames = [...outputWords.map(eventOf), 'error', 'exit'];

/** Every event of a sidecar in order, read one by one with a timeout. */
class Recorder {
  constructor(sidecar) {
    this.events = [];
    this.cursor = 0;
    this.waiters = [];
    for (const name of eventNames) {
      sidecar.on(name, (...args) => {
        this.events.push({ name, args });
        for (const wake of this.waiters.splice(0)) wake();
      });
    }
  }

  /** The next event, or undefined after `timeout` milliseconds. */
  async next(timeout = 3000) {
    const deadline = Date.now() + timeout;
    while (this.cursor >= this.events.length) {
      const left = deadline - Date.now();
      if (left <= 0) return undefined;
      await new Promise((resolve) => {
        const timer = setTimeout(resolve, left);
        this.waiters.push(() => {
          clearTimeout(timer);
          resolve();
        });
      });
    }
    return this.events[this.cursor++];
  }

  async nextName(timeout) {
    const event = await this.next(timeout);
    return event && event.name;
  }

  async quiet(milliseconds = 300) {
    assert.equal(await this.next(milliseconds), undefined, 'no event expected');
  }

  names() {
    return this.events.map((event) => event.name);
  }
}

function run(file, args, env) {
  return new Promise((resolve, reject) => {
    execFile(file, args, { env, timeout: 5000 }, (error, stdout) => (error ? reject(error) : resolve(stdout)));
  });
}

/** Whether a process has ended: no longer there, or a zombie its new parent has not reaped. */
function ended(pid) {
  try {
    const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
    return stat.slice(stat.lastIndexOf(')') + 2).startsWith('Z');
  } catch {
    return true;
  }
}

async function waitUntil(condition, timeout, what) {
  const deadline = Date.now() + timeout;
  while (!condition()) {
    if (Date.now() > deadline) assert.fail(`${what} within ${timeout} ms`);
    await new Promise((resolve) => setTimeout(resolve, 10));
  }
}

const sleep = (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds));

describe('the command line from Electron rectangles', () => {
  test('frames are converted by the primary display and their numbers passed exactly', () => {
    const tray = { x: 1200, y: 0, width: 24, height: 30 };
    const cases = [
      // [options, expected arguments]
      [{ trayFrame: tray, primaryDisplayBounds: { x: 0, y: 0, width: 1440, height: 900 } }, ['--tray-frame', '1200,870,24,30']],
      [
        {
          trayFrame: tray,
          dropzoneFrame: { x: 1000, y: 40, width: 300, height: 200 },
          dropzonePadding: 12,
          zoneSize: 80,
          primaryDisplayBounds: { x: 0, y: 0, width: 1440, height: 900 },
        },
        ['--tray-frame', '1200,870,24,30', '--dropzone-frame', '1000,660,300,200', '--dropzone-padding', '12', '--zone-size', '80'],
      ],
      // A primary display that does not start at 0,0 (Linux: anywhere in the root).
      [{ trayFrame: { x: 1930, y: 100, width: 20, height: 10 }, primaryDisplayBounds: { x: 1920, y: 360, width: 1280, height: 720 } }, ['--tray-frame', '10,970,20,10']],
      // A display above the primary one (negative y): above the primary's top in the program's space.
      [{ trayFrame: { x: -300, y: -1080, width: 40, height: 22 }, primaryDisplayBounds: { x: 0, y: 0, width: 1920, height: 1080 } }, ['--tray-frame', '-300,2138,40,22']],
      // Fractions, tiny and huge numbers, negative zero: the shortest text that reads back as the same double.
      [
        {
          trayFrame: { x: 0.1, y: 0.25, width: 1e21, height: 5e-324 },
          dropzonePadding: -0,
          zoneSize: 1.7976931348623157e308,
          primaryDisplayBounds: { x: 0, y: 0, width: 800, height: 600 },
        },
        ['--tray-frame', `0.1,${600 - (0.25 + 5e-324)},1e+21,5e-324`, '--dropzone-padding', '-0', '--zone-size', '1.7976931348623157e+308'],
      ],
      // null is the same as absent.
      [{ trayFrame: tray, dropzoneFrame: null, dropzonePadding: null, zoneSize: null, primaryDisplayBounds: { x: 0, y: 0, width: 1440, height: 900 } }, ['--tray-frame', '1200,870,24,30']],
    ];
    for (const [options, expected] of cases) assert.deepEqual(sidecarArguments(options), expected, JSON.stringify(options));
    assert.equal(Number('0.1'), 0.1);
    assert.equal(600 - (0.25 + 5e-324), 599.75);
  });

  test('a bad option is a TypeError thrown at once, and nothing is started', () => {
    const good = { trayFrame: { x: 1, y: 2, width: 3, height: 4 }, primaryDisplayBounds };
    const cases = [
      [undefined, /the options must be an object with a trayFrame, received undefined/],
      ['--tray-frame', /the options must be an object with a trayFrame, received "--tray-frame"/],
      [{ primaryDisplayBounds }, /trayFrame must be a rectangle \{ x, y, width, height \}, received undefined/],
      [{ ...good, trayFrame: [1, 2, 3, 4] }, /trayFrame\.x must be a finite number, received undefined/],
      [{ ...good, trayFrame: { x: '1', y: 2, width: 3, height: 4 } }, /trayFrame\.x must be a finite number, received "1"/],
      [{ ...good, trayFrame: { x: 1, y: 2, width: 3, height: Infinity } }, /trayFrame\.height must be a finite number, received Infinity/],
      [{ ...good, dropzoneFrame: { x: 1, y: NaN, width: 3, height: 4 } }, /dropzoneFrame\.y must be a finite number, received NaN/],
      [{ ...good, dropzonePadding: '20' }, /dropzonePadding must be a finite number, received "20"/],
      [{ ...good, zoneSize: -Infinity }, /zoneSize must be a finite number, received -Infinity/],
      [{ ...good, zoneSize: 10n }, /zoneSize must be a finite number, received 10n/],
      [{ ...good, primaryDisplayBounds: { x: 0, y: 0, width: 800 } }, /primaryDisplayBounds\.height must be a finite number, received undefined/],
      [{ trayFrame: good.trayFrame }, /primaryDisplayBounds must be given outside Electron's main process/],
      [{ ...good, executable: '' }, /executable must be the path of the program, received ""/],
      [{ ...good, executable: 42 }, /executable must be the path of the program, received 42/],
    ];
    const listeners = process.listenerCount('exit');
    for (const [options, message] of cases) {
      assert.throws(() => startDropzoneSidecar(options), (error) => error instanceof TypeError && message.test(error.message), String(message));
    }
    assert.equal(process.listenerCount('exit'), listeners);
  });

  test("in Electron's main process the primary display's bounds come from its screen module", (t) => {
    const Module = require('node:module');
    const load = Module._load;
    const hadType = Object.prototype.hasOwnProperty.call(process, 'type');
    const type = process.type;
    Object.defineProperty(process.versions, 'electron', { value: '30.0.0', configurable: true, enumerable: true });
    let bounds = { x: 0, y: 0, width: 1000, height: 500 };
    Module._load = function loadElectron(request, ...rest) {
      if (request === 'electron') return { screen: { getPrimaryDisplay: () => ({ bounds }) } };
      return load.call(this, request, ...rest);
    };
    t.after(() => {
      Module._load = load;
      delete process.versions.electron;
      if (hadType) process.type = type;
      else delete process.type;
    });
    const trayFrame = { x: 10, y: 20, width: 30, height: 40 };
    // A renderer or utility process is not the main process: its screen is not that module.
    process.type = 'renderer';
    assert.throws(() => sidecarArguments({ trayFrame }), /primaryDisplayBounds must be given outside Electron's main process/);
    process.type = 'browser';
    assert.deepEqual(sidecarArguments({ trayFrame }), ['--tray-frame', '10,440,30,40']);
    bounds = { x: 0, y: 0, width: 1000, height: 800 }; // read again at each start
    assert.deepEqual(sidecarArguments({ trayFrame }), ['--tray-frame', '10,740,30,40']);
    // Given bounds win over Electron's.
    assert.deepEqual(sidecarArguments({ trayFrame, primaryDisplayBounds: { x: 0, y: 0, width: 10, height: 100 } }), ['--tray-frame', '10,40,30,40']);
  });
});

describe('the program as a child, without a display', () => {
  let savedDisplay;
  before(() => {
    savedDisplay = process.env.DISPLAY;
    delete process.env.DISPLAY;
    delete process.env.WAYLAND_DISPLAY;
    delete process.env.XDG_SESSION_TYPE;
    process.env.KESTROVAN_TEST_SIDECAR = program;
  });
  after(() => {
    if (savedDisplay !== undefined) process.env.DISPLAY = savedDisplay;
  });

  test('a program that cannot be started: error (spawn-failed), then exit with no status, after the call', async () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-sidecar-'));
    const notExecutable = path.join(folder, 'not-executable');
    fs.writeFileSync(notExecutable, '#!/bin/sh\n', { mode: 0o644 });
    try {
      for (const [executable, code] of [
        [path.join(folder, 'missing'), 'ENOENT'],
        [notExecutable, 'EACCES'],
      ]) {
        const sidecar = startDropzoneSidecar({ ...frames, executable });
        // Listeners added after the call still hear everything.
        const events = new Recorder(sidecar);
        assert.equal(sidecar.pid, undefined);
        const stopped = sidecar.stop();
        const error = await events.next();
        assert.equal(error.name, 'error', code);
        assert.equal(error.args[0].reason, 'spawn-failed');
        assert.equal(error.args[0].code, code);
        assert.deepEqual(await events.next(), { name: 'exit', args: [null, null] });
        assert.deepEqual(await stopped, { code: null, signal: null });
        assert.equal(sidecar.stop(), stopped);
        await events.quiet(100);
      }
    } finally {
      fs.rmSync(folder, { recursive: true });
    }
  });

  test('an installed package without its program: error (spawn-failed) from sidecarPath(), after the call', async () => {
    // The package's JavaScript alone, outside a clone and without prebuilds.
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-sidecar-'));
    try {
      fs.mkdirSync(path.join(folder, 'package', 'js'), { recursive: true });
      for (const file of fs.readdirSync(path.join(packageRoot, 'js'))) {
        fs.copyFileSync(path.join(packageRoot, 'js', file), path.join(folder, 'package', 'js', file));
      }
      const installed = require(path.join(folder, 'package', 'js', 'index.js'));
      const sidecar = installed.startDropzoneSidecar(frames);
      const events = new Recorder(sidecar);
      assert.equal(sidecar.pid, undefined);
      const error = await events.next();
      assert.equal(error.name, 'error');
      assert.equal(error.args[0].reason, 'spawn-failed');
      assert.match(error.args[0].message, /^kestrovan-drag-dropzone-sidecar was not found for linux-x64; looked in:/);
      assert.deepEqual(await events.next(), { name: 'exit', args: [null, null] });
      assert.deepEqual(await sidecar.stop(), { code: null, signal: null });
    } finally {
      fs.rmSync(folder, { recursive: true });
    }
  });

  test('a program inside an asar archive: sidecarPath() answers the unpacked copy, else names every packager\'s rule', () => {
    // The package's JavaScript and program in app.asar (as a packaged app
    // holds them; a plain folder stands in for the archive), outside a clone.
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-sidecar-'));
    try {
      const tag = `${process.platform}-${process.arch}`;
      const relative = path.join('node_modules', 'kestrovan-drag-dropzone-sidecar');
      const archived = path.join(folder, 'Resources', 'app.asar', relative);
      fs.mkdirSync(path.join(archived, 'js'), { recursive: true });
      fs.mkdirSync(path.join(archived, 'prebuilds', tag), { recursive: true });
      for (const file of fs.readdirSync(path.join(packageRoot, 'js'))) {
        fs.copyFileSync(path.join(packageRoot, 'js', file), path.join(archived, 'js', file));
      }
      fs.copyFileSync(program, path.join(archived, 'prebuilds', tag, 'kestrovan-drag-dropzone-sidecar'));
      const archivedPath = require(path.join(archived, 'js', 'index.js')).sidecarPath;

      let error;
      assert.throws(archivedPath, (thrown) => {
        error = thrown;
        return true;
      });
      assert.match(error.message, /^kestrovan-drag-dropzone-sidecar is inside an asar archive \(.*app\.asar\/node_modules\/.*\), where it cannot be started; /);
      // electron-builder's rule, and Electron Forge's and @electron/packager's
      // (whose usual rule unpacks only *.node files).
      assert.ok(error.message.includes('with electron-builder, asarUnpack ["**/node_modules/kestrovan-drag-dropzone-sidecar/prebuilds/**"]'), error.message);
      assert.ok(error.message.includes('with Electron Forge (packagerConfig) or @electron/packager, asar: { unpack: "**/node_modules/kestrovan-*/prebuilds/**" }'), error.message);
      assert.ok(error.message.includes('"{**/*.node,**/node_modules/kestrovan-*/prebuilds/**}"'), error.message);

      const unpacked = path.join(folder, 'Resources', 'app.asar.unpacked', relative, 'prebuilds', tag);
      fs.mkdirSync(unpacked, { recursive: true });
      fs.copyFileSync(program, path.join(unpacked, 'kestrovan-drag-dropzone-sidecar'));
      assert.equal(archivedPath(), path.join(unpacked, 'kestrovan-drag-dropzone-sidecar'));
    } finally {
      fs.rmSync(folder, { recursive: true });
    }
  });

  test('a rejected command line: error with the program line as message and line, then exit 2', async () => {
    const sidecar = startDropzoneSidecar({ ...frames, executable: path.join(fixtures, 'rejecting.sh') });
    const events = new Recorder(sidecar);
    assert.equal(typeof sidecar.pid, 'number');
    const error = await events.next();
    assert.equal(error.name, 'error');
    const line = `${failed}Expected a number, received 20px.`;
    assert.equal(error.args[0].message, line);
    assert.equal(error.args[0].line, line);
    assert.equal(error.args[0].reason, 'command-line-rejected');
    assert.equal(error.args[0].exitCode, 2);
    assert.equal(error.args[0].signal, null);
    assert.deepEqual(await events.next(), { name: 'exit', args: [2, null] });
    assert.deepEqual(await sidecar.stop(), { code: 2, signal: null });
  });

  test('no display: error (unexpected-exit) with the program line, then exit 1', async () => {
    const sidecar = startDropzoneSidecar({ ...frames, executable: program });
    const events = new Recorder(sidecar);
    const error = await events.next();
    assert.equal(error.name, 'error');
    assert.equal(error.args[0].message, `${failed}Cannot open the X display: DISPLAY is not set.`);
    assert.equal(error.args[0].reason, 'unexpected-exit');
    assert.equal(error.args[0].exitCode, 1);
    assert.deepEqual(await events.next(), { name: 'exit', args: [1, null] });
  });

  test('an error nobody listens for is a process warning, not an uncaught exception', async () => {
    const warned = new Promise((resolve) => process.once('warning', resolve));
    const sidecar = startDropzoneSidecar({ ...frames, executable: program });
    const exited = new Promise((resolve) => sidecar.once('exit', (...args) => resolve(args)));
    const warning = await warned;
    assert.equal(warning.message, `${failed}Cannot open the X display: DISPLAY is not set.`);
    assert.deepEqual(await exited, [1, null]);
  });

  test("the wrapper's words are the program's, in its order", () => {
    assert.deepEqual(wrapper.outputWords, outputWords, 'sidecar/js/dropzone_sidecar.js against sidecar/core/output_signals.h');
  });

  test("only whole lines of the program's words are events; other standard error lines pass through", async (t) => {
    const write = process.stderr.write;
    const written = [];
    process.stderr.write = function capture(text, ...rest) {
      if (String(text).includes('a warning line')) {
        written.push(String(text));
        return true;
      }
      return write.call(this, text, ...rest);
    };
    t.after(() => {
      process.stderr.write = write;
    });
    const sidecar = startDropzoneSidecar({ ...frames, executable: path.join(fixtures, 'chatty.sh') });
    const events = new Recorder(sidecar);
    // Each word once, then the first word written in two parts.
    for (const word of [...outputWords, outputWords[0]]) assert.equal(await events.nextName(), eventOf(word));
    // The exit is reported once both pipes are read to their end: the last word written after it counts.
    assert.equal(await events.nextName(), eventOf(outputWords.at(-1)));
    const error = await events.next();
    assert.equal(error.name, 'error');
    assert.equal(error.args[0].message, `${failed}written after the exit.`);
    assert.equal(error.args[0].reason, 'unexpected-exit');
    assert.equal(error.args[0].exitCode, 0);
    assert.deepEqual(await events.next(), { name: 'exit', args: [0, null] });
    assert.deepEqual(written, ['[KestrovanDragDropzone] Warning: a warning line\n']);
  });
});

describe('under Xvfb', () => {
  let server;
  let environment;

  before(async () => {
    server = await startXvfb(primaryDisplayBounds);
    process.env.DISPLAY = server.display;
    delete process.env.WAYLAND_DISPLAY;
    delete process.env.XDG_SESSION_TYPE;
    environment = { ...process.env };
  });
  after(async () => {
    await server.stop();
  });

  const xdotool = (...words) => run('/usr/bin/xdotool', words, environment);
  const move = ([x, y]) => xdotool('mousemove', String(x), String(y));

  /** Starts the sidecar and waits until it hears clicks (a click before its monitors are in is lost). */
  async function startListening(options = {}) {
    await move(outsideAll);
    const sidecar = startDropzoneSidecar({ ...frames, executable: program, ...options });
    const events = new Recorder(sidecar);
    for (let attempt = 0; attempt < 25; attempt++) {
      await xdotool('click', '1');
      const event = await events.next(200);
      if (event === undefined) continue;
      assert.equal(event.name, 'outside-click');
      if (attempt > 0) {
        const late = await events.next(300);
        assert.ok(late === undefined || late.name === 'outside-click', late && late.name);
      }
      return { sidecar, events };
    }
    throw new Error('the sidecar never reported an outside click');
  }

  /** A drag source owning XdndSelection with files; it ends when its standard input closes. */
  async function startDragSource() {
    const source = spawn(dragSource, ['--offer', 'files'], { env: environment, stdio: ['pipe', 'pipe', 'inherit'] });
    assert.equal(await firstLine(source.stdout, 5000, 'drag source'), 'OWNED');
    return source;
  }

  test('outside click, drag enter and drag exit, and stop() ends it with status 0', async () => {
    const { sidecar, events } = await startListening();
    await move(dragStart);
    await xdotool('mousedown', '1');
    assert.equal(await events.nextName(), 'outside-click');
    const source = await startDragSource();
    try {
      await sleep(120); // the program samples the press, its drag's start point
      await move(inTrigger);
      let entered = await events.nextName(500);
      if (entered === undefined) {
        // A press sampled late has its start point in the zone: move on.
        await move(inTriggerToo);
        entered = await events.nextName();
      }
      assert.equal(entered, 'drag-enter');
      await move(outsideAll);
      assert.equal(await events.nextName(), 'drag-exit');
    } finally {
      await xdotool('mouseup', '1');
      source.stdin.end();
    }
    await events.quiet();
    const stopped = sidecar.stop();
    assert.equal(sidecar.stop(), stopped, 'one promise');
    assert.deepEqual(await stopped, { code: 0, signal: null });
    assert.deepEqual(events.events.slice(events.cursor), [{ name: 'exit', args: [0, null] }], 'exit came before the promise');
    assert.deepEqual(await sidecar.stop(), { code: 0, signal: null });
    assert.ok(!events.names().includes('error'));
    assert.ok(ended(sidecar.pid));
  });

  test('an end stop() did not ask for is an error, then exit', async () => {
    for (const [signal, message, exit] of [
      ['SIGTERM', 'kestrovan-drag-dropzone-sidecar exited unexpectedly with status 0', [0, null]],
      ['SIGKILL', 'kestrovan-drag-dropzone-sidecar was ended by SIGKILL', [null, 'SIGKILL']],
    ]) {
      const { sidecar, events } = await startListening();
      process.kill(sidecar.pid, signal);
      const error = await events.next();
      assert.equal(error.name, 'error', signal);
      assert.equal(error.args[0].message, message);
      assert.equal(error.args[0].reason, 'unexpected-exit');
      assert.equal(error.args[0].exitCode, exit[0]);
      assert.equal(error.args[0].signal, exit[1]);
      assert.deepEqual(await events.next(), { name: 'exit', args: exit });
      assert.deepEqual(await sidecar.stop(), { code: exit[0], signal: exit[1] });
    }
  });

  test('stop() of a program that does not end on SIGTERM sends SIGKILL after 3 s', { timeout: 15000 }, async () => {
    const { sidecar, events } = await startListening();
    process.kill(sidecar.pid, 'SIGSTOP');
    const started = Date.now();
    assert.deepEqual(await sidecar.stop(), { code: null, signal: 'SIGKILL' });
    assert.ok(Date.now() - started >= 2900, `${Date.now() - started} ms`);
    assert.deepEqual(events.names().slice(1), ['exit']);
  });

  test('without executable it starts sidecarPath()', async (t) => {
    let expected;
    try {
      expected = fs.realpathSync(sidecarPath());
    } catch (error) {
      t.skip(`no program for sidecarPath(): ${error.message}`);
      return;
    }
    const { sidecar } = await startListening({ executable: undefined });
    assert.equal(fs.realpathSync(`/proc/${sidecar.pid}/exe`), expected);
    assert.deepEqual(await sidecar.stop(), { code: 0, signal: null });
  });

  test('many sidecars share one exit listener, gone once they have exited', async () => {
    const listeners = process.listenerCount('exit');
    const warnings = [];
    const onWarning = (warning) => warnings.push(warning);
    process.on('warning', onWarning);
    const sidecars = [];
    for (let i = 0; i < 12; i++) sidecars.push(startDropzoneSidecar({ ...frames, executable: program }));
    assert.equal(process.listenerCount('exit'), listeners + 1);
    const results = await Promise.all(sidecars.map((sidecar) => sidecar.stop()));
    // Stopped at once, a program may take SIGTERM before it handles it.
    for (const result of results) assert.ok(result.code === 0 || result.signal === 'SIGTERM', JSON.stringify(result));
    assert.equal(process.listenerCount('exit'), listeners);
    process.removeListener('warning', onWarning);
    assert.deepEqual(warnings, []);
  });

  /** Starts fixtures/parent.cjs with the program to start; answers it and the pid it printed. */
  async function startParent(executable, env) {
    const parent = spawn(process.execPath, [path.join(fixtures, 'parent.cjs'), packageRoot, executable], {
      env: { ...environment, ...env },
      stdio: ['pipe', 'pipe', 'inherit'],
    });
    const line = await firstLine(parent.stdout, 5000, 'parent');
    const match = /^STARTED (\d+)$/.exec(line);
    assert.ok(match, line);
    return { parent, pid: Number(match[1]) };
  }

  test('a parent killed with SIGKILL leaves no sidecar behind', async () => {
    const { parent, pid } = await startParent(program);
    await sleep(200);
    assert.ok(!ended(pid), 'the sidecar runs');
    parent.kill('SIGKILL');
    await waitUntil(() => ended(pid), 2000, 'the sidecar ended after its parent');
  });

  test("the parent's normal exit stops the sidecar, even behind a launcher", async () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-sidecar-'));
    const pidFile = path.join(folder, 'pid');
    let pid;
    try {
      const { parent } = await startParent(path.join(fixtures, 'launcher.sh'), {
        KESTROVAN_TEST_SIDECAR: program,
        KESTROVAN_TEST_PID_FILE: pidFile,
      });
      await waitUntil(() => fs.existsSync(pidFile) && fs.readFileSync(pidFile, 'utf8').endsWith('\n'), 2000, 'the launcher started the sidecar');
      pid = Number(fs.readFileSync(pidFile, 'utf8'));
      await sleep(200);
      assert.ok(!ended(pid), 'the sidecar runs');
      const parentExited = new Promise((resolve) => parent.on('exit', (code) => resolve(code)));
      parent.stdin.write('exit\n');
      assert.equal(await parentExited, 0);
      await waitUntil(() => ended(pid), 2000, 'the sidecar ended after the exit');
    } finally {
      if (pid !== undefined && !ended(pid)) process.kill(pid, 'SIGKILL');
      fs.rmSync(folder, { recursive: true });
    }
  });
});
