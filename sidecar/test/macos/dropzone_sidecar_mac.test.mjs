// The sidecar on a Mac, started as an Electron app starts it: the package's
// startDropzoneSidecar with no executable, so sidecarPath() finds the program.
// Looked at from outside with sidecar-mac-probe (built beside this suite): it
// stays running, it is an accessory application (NSRunningApplication's
// activationPolicy), it exits with status 0 on SIGTERM, on SIGINT and when its
// parent is killed, and a real drag (posted through the HID event tap) of a
// file, or of a promised file as Mail, Photos and Safari drag them, into the
// trigger zone and out again gives drag-enter, then drag-exit.
//
// KESTROVAN_BUILD_DIR names the build (the probe); KESTROVAN_SIDECAR_PACKAGE
// may name an installed package folder to start the program of (a packed
// tarball's), else the repository's sidecar/ package is used. Off macOS every
// case is skipped, saying why: the X11 program has its own suite.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFile, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const require = createRequire(import.meta.url);
const here = path.dirname(fileURLToPath(import.meta.url));
const packageRoot = path.resolve(process.env.KESTROVAN_SIDECAR_PACKAGE || path.join(here, '..', '..'));
const parentFixture = path.join(here, '..', 'js', 'fixtures', 'parent.cjs');

const offMac =
  process.platform === 'darwin'
    ? false
    : `the AppKit sidecar runs on macOS only (this is ${process.platform}); ` +
      'the X11 program is tested by sidecar.node.dropzone_sidecar';

// Electron's space: origin at the main display's top-left, y down. The trigger
// zone of this tray is x 150..250, y 100..200 (100-point zones); with no
// dropzone frame the retention zone is the trigger zone. The drag starts at
// dragStart, outside both, and comes back there to end.
const trayFrame = { x: 100, y: 70, width: 200, height: 30 };
const inTrigger = [200, 150];
const dragStart = [420, 150];

/** The probe's answer (its standard output, trimmed); rejects on a failure. */
function probe(...args) {
  return new Promise((resolve, reject) => {
    execFile(probePath(), args, { timeout: 20000 }, (error, stdout, stderr) =>
      error ? reject(new Error(`sidecar-mac-probe ${args.join(' ')}: ${error.message} ${stderr}`)) : resolve(stdout.trim()),
    );
  });
}

function probePath() {
  return path.resolve(process.env.KESTROVAN_BUILD_DIR || '', 'sidecar', 'test', 'macos', 'sidecar-mac-probe');
}

/** The lines a child prints, read one by one with a timeout. */
class Lines {
  constructor(stream) {
    this.lines = [];
    this.waiters = [];
    let pending = '';
    stream.setEncoding('utf8');
    stream.on('data', (chunk) => {
      pending += chunk;
      let end;
      while ((end = pending.indexOf('\n')) !== -1) {
        this.lines.push(pending.slice(0, end));
        pending = pending.slice(end + 1);
      }
      for (const wake of this.waiters.splice(0)) wake();
    });
  }

  async next(timeout, what) {
    const deadline = Date.now() + timeout;
    while (this.lines.length === 0) {
      const left = deadline - Date.now();
      if (left <= 0) assert.fail(`${what}: no line within ${timeout} ms`);
      await new Promise((resolve) => {
        const timer = setTimeout(resolve, left);
        this.waiters.push(() => {
          clearTimeout(timer);
          resolve();
        });
      });
    }
    return this.lines.shift();
  }
}

/** Every event of a sidecar in order, awaited by name with a timeout. */
class Recorder {
  constructor(sidecar) {
    this.events = [];
    this.waiters = [];
    for (const name of ['drag-enter', 'drag-exit', 'outside-click', 'error', 'exit']) {
      sidecar.on(name, (...args) => {
        this.events.push({ name, args });
        for (const wake of this.waiters.splice(0)) wake();
      });
    }
  }

  names() {
    return this.events.map((event) => event.name);
  }

  async waitFor(name, timeout) {
    const deadline = Date.now() + timeout;
    while (!this.events.some((event) => event.name === name)) {
      const left = deadline - Date.now();
      if (left <= 0) assert.fail(`no ${name} within ${timeout} ms; events: ${this.names().join(', ') || 'none'}`);
      await new Promise((resolve) => {
        const timer = setTimeout(resolve, left);
        this.waiters.push(() => {
          clearTimeout(timer);
          resolve();
        });
      });
    }
    return this.events.find((event) => event.name === name);
  }
}

const sleep = (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds));

function running(pid) {
  try {
    process.kill(pid, 0);
    return true;
  } catch {
    return false;
  }
}

/** Resolves with the activation policy once it is `expected`, or fails with the last one seen. */
async function policyBecomes(pid, expected, timeout) {
  const deadline = Date.now() + timeout;
  let seen;
  for (;;) {
    seen = await probe('activation-policy', String(pid));
    if (seen === expected || Date.now() > deadline) break;
    await sleep(100);
  }
  assert.equal(seen, expected, `the activation policy of the sidecar (pid ${pid})`);
}

/**
 * Resolves once the sidecar is past its start-up: an accessory application
 * that ignores SIGTERM and SIGINT (its termination handler then watches for
 * both through dispatch sources, made the moment after).
 */
async function pastStartUp(pid) {
  await policyBecomes(pid, 'accessory', 10000);
  const deadline = Date.now() + 10000;
  while ((await probe('ignores-termination', String(pid))) !== 'yes') {
    if (Date.now() > deadline) assert.fail(`the sidecar (pid ${pid}) did not come to ignore SIGTERM and SIGINT`);
    await sleep(50);
  }
  await sleep(200);
}

describe('the sidecar on a Mac, started as an Electron app starts it', { skip: offMac }, () => {
  let startDropzoneSidecar;
  let sidecarPath;
  let primaryDisplayBounds;
  const started = [];

  before(async () => {
    assert.ok(process.env.KESTROVAN_BUILD_DIR, 'KESTROVAN_BUILD_DIR must name the build folder (the probe)');
    assert.ok(fs.existsSync(probePath()), `${probePath()} is missing: build the macos preset`);
    ({ startDropzoneSidecar, sidecarPath } = require(packageRoot));
    const [x, y, width, height] = (await probe('main-display')).split(' ').map(Number);
    primaryDisplayBounds = { x, y, width, height };
  });

  after(async () => {
    for (const sidecar of started) await sidecar.stop();
  });

  function start() {
    const sidecar = startDropzoneSidecar({ trayFrame, primaryDisplayBounds });
    started.push(sidecar);
    return { sidecar, events: new Recorder(sidecar) };
  }

  test('it stays running as an accessory application (no Dock icon, no menu bar)', async (t) => {
    t.diagnostic(`the program: ${sidecarPath()}`);
    const { sidecar, events } = start();
    assert.ok(sidecar.pid > 0);
    await policyBecomes(sidecar.pid, 'accessory', 10000);
    await sleep(2000);
    assert.ok(running(sidecar.pid), 'the sidecar still runs');
    assert.deepEqual(events.names(), [], 'no event, no error, no exit while idle');
    assert.deepEqual(await sidecar.stop(), { code: 0, signal: null });
  });

  // [how it is ended, the error the package reports first (null: none)]
  const endings = [
    ['stop() (SIGTERM)', (sidecar) => sidecar.stop(), null],
    ['SIGTERM from elsewhere', (sidecar) => process.kill(sidecar.pid, 'SIGTERM'), 'kestrovan-drag-dropzone-sidecar exited unexpectedly with status 0'],
    ['SIGINT', (sidecar) => process.kill(sidecar.pid, 'SIGINT'), 'kestrovan-drag-dropzone-sidecar exited unexpectedly with status 0'],
  ];
  for (const [how, end, error] of endings) {
    test(`${how} ends it with status 0`, async () => {
      const { sidecar, events } = start();
      await pastStartUp(sidecar.pid);
      end(sidecar);
      const exit = await events.waitFor('exit', 5000);
      assert.deepEqual(exit.args, [0, null]);
      const errors = events.events.filter((event) => event.name === 'error').map((event) => event.args[0].message);
      assert.deepEqual(errors, error === null ? [] : [error]);
    });
  }

  test('a parent killed with SIGKILL: the sidecar exits with status 0', async (t) => {
    const parent = spawn(process.execPath, [parentFixture, packageRoot], { stdio: ['pipe', 'pipe', 'inherit'] });
    t.after(() => parent.kill('SIGKILL'));
    const line = await new Lines(parent.stdout).next(10000, 'the parent');
    const match = /^STARTED (\d+)$/.exec(line);
    assert.ok(match, `the parent said ${JSON.stringify(line)}`);
    const pid = Number(match[1]);
    await pastStartUp(pid);
    // The probe watches through kqueue, which gives the status of a process
    // that is not its child: the sidecar goes to launchd once its parent dies.
    const watcher = spawn(probePath(), ['wait-exit', String(pid), '10'], { stdio: ['ignore', 'pipe', 'inherit'] });
    t.after(() => watcher.kill('SIGKILL'));
    const watched = new Lines(watcher.stdout);
    assert.equal(await watched.next(5000, 'the probe'), 'WATCHING');
    parent.kill('SIGKILL');
    assert.equal(await watched.next(10000, 'the probe'), 'EXITED 0');
  });

  for (const [what, command] of [
    ['a file', 'drag'],
    ['a promised file (an NSFilePromiseProvider, no file URL)', 'drag-promise'],
  ]) {
    test(`a real drag of ${what} into the trigger zone and out again: drag-enter, then drag-exit`, async (t) => {
      if ((await probe('can-post-events')) !== 'yes') {
        t.skip(
          'this process may not post events (CGPreflightPostEventAccess() is false): allow the terminal ' +
            'that runs the tests in System Settings > Privacy & Security > Accessibility to run this case',
        );
        return;
      }
      const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'sidecar-mac-drag-'));
      t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
      const file = path.join(folder, 'dragged.txt');
      fs.writeFileSync(file, 'a file dragged toward the tray\n');

      const { sidecar, events } = start();
      await pastStartUp(sidecar.pid);
      const dragged = command === 'drag' ? file : 'promised.txt';
      const dragger = spawn(probePath(), [command, dragged, dragStart.join(','), inTrigger.join(',')], {
        stdio: ['pipe', 'pipe', 'inherit'],
      });
      // At any end, the probe's input ends: it releases the button and exits.
      const draggerExited = new Promise((resolve) => dragger.on('exit', (code) => resolve(code)));
      t.after(async () => {
        dragger.stdin.end();
        const timer = setTimeout(() => dragger.kill('SIGKILL'), 5000);
        await draggerExited;
        clearTimeout(timer);
      });
      const steps = new Lines(dragger.stdout);

      assert.equal(await steps.next(15000, 'the drag'), 'AT 1');
      await events.waitFor('drag-enter', 5000);
      dragger.stdin.write('next\n');
      assert.equal(await steps.next(15000, 'the drag'), 'AT 0');
      await events.waitFor('drag-exit', 5000);
      dragger.stdin.write('next\n');
      assert.equal(await steps.next(15000, 'the drag'), 'RELEASED');
      assert.equal(await draggerExited, 0);

      // The press at the start lies outside the tray and the trigger zone.
      const drags = events.names().filter((name) => name !== 'outside-click');
      assert.deepEqual(drags, ['drag-enter', 'drag-exit'], `events: ${events.names().join(', ')}`);
      assert.deepEqual(await sidecar.stop(), { code: 0, signal: null });
    });
  }
});
