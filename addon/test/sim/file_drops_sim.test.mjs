// Sim-only: it holds other applications' drags between steps, makes sources that write through links, and runs child processes and workers on the simulated desktop.
// Drop zones in detail: which zone a drag goes to, a source whose file is a
// link leading out, the zone's event handler throwing, an environment that
// ends with zones open and promises pending, and a worker that may not open
// one.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { Worker } from 'node:worker_threads';
import { after, afterEach, beforeEach, test } from 'node:test';

import { binaryPath, desktop } from '../helpers.mjs';
import { childEnvironment } from '../../../scripts/test/temp_folders.mjs';

const require = createRequire(import.meta.url);
const acceptFileDropsModule = require.resolve('../../js/accept_file_drops.js');
const { createAcceptFileDrops } = require(acceptFileDropsModule);
const acceptFileDrops = createAcceptFileDrops(() => require(binaryPath('kestrovan_file_drops')));

const roots = [];
const zones = [];
const freshRoot = () => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-drops-sim-'));
  roots.push(root);
  return root;
};

beforeEach(() => {
  desktop.reset();
  desktop.setLogEcho(false);
});
afterEach(() => {
  for (const zone of zones.splice(0)) zone.close();
  assert.deepEqual(desktop.violations(), []);
  desktop.reset();
  desktop.runMainQueue();
});
after(() => {
  for (const root of roots) fs.rmSync(root, { recursive: true, force: true });
});

function open(windowNumber, rect, destination = freshRoot(), timeout = 1000) {
  const zone = acceptFileDrops({ windowNumber, rect, destination, timeout });
  zones.push(zone);
  const events = [];
  for (const name of ['enter', 'exit', 'drop', 'close']) zone.on(name, () => events.push(name));
  return { zone, events };
}

const file = [{ kind: 'file', path: '/' }];

test('a drag goes to the topmost zone holding the point, of its own window only; outside the content it is over nothing', () => {
  const a = desktop.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 }, key: true, main: true }).number;
  const b = desktop.createWindow({ frame: { x: 500, y: 0, width: 400, height: 300 } }).number;
  const below = open(a, { x: 0, y: 0, width: 200, height: 200 });
  const above = open(a, { x: 100, y: 100, width: 200, height: 100 });
  const other = open(b, { x: 0, y: 0, width: 400, height: 300 });
  const drag = desktop.beginIncomingDrag(file);
  const place = (x, y, w = a) => desktop.moveIncomingDrag(drag, w, { x, y });
  assert.deepEqual(place(50, 50), { target: 'zone', zone: desktop.dropZones()[0].id });
  assert.deepEqual(place(150, 150).zone, desktop.dropZones()[1].id, 'the later zone lies above');
  assert.deepEqual(place(350, 250), { target: 'webContents', zone: null });
  assert.deepEqual(place(400, 10), { target: 'nothing', zone: null }, 'x = width is outside the content');
  assert.deepEqual(place(10, -1), { target: 'nothing', zone: null });
  assert.deepEqual(desktop.dropIncomingDrag(drag), { target: 'nothing', zone: null });
  assert.deepEqual(below.events, ['enter', 'exit']);
  assert.deepEqual(above.events, ['enter', 'exit']);
  assert.deepEqual(other.events, []);
  assert.deepEqual(desktop.webContentsDragEvents(a).map((e) => e.type), ['enter', 'exit']);
  assert.throws(() => desktop.moveIncomingDrag(drag, a, { x: 1, y: 1 }), /no incoming drag .* is running/);
});

test('a source whose file is a link leading out: rejected, the link removed, what it points at never followed', async () => {
  const root = freshRoot();
  const destination = path.join(root, 'destination');
  const elsewhere = path.join(root, 'elsewhere');
  fs.mkdirSync(destination);
  fs.mkdirSync(elsewhere);
  const target = path.join(elsewhere, 'written-through-the-link.txt');
  const w = desktop.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 }, key: true, main: true }).number;
  const { zone } = open(w, { x: 0, y: 0, width: 400, height: 300 }, destination);
  let drop;
  zone.on('drop', (d) => (drop = d));
  const drag = desktop.beginIncomingDrag([{ kind: 'promise', name: 'photo.heic', contents: 'photo', linkTo: target }]);
  desktop.moveIncomingDrag(drag, w, { x: 10, y: 10 });
  desktop.dropIncomingDrag(drag);
  desktop.runMainQueue();
  await assert.rejects(drop.items[0].path, /^Error: "photo\.heic" was received outside the drop's folder \(at .*\/drop-\w+\/photo\.heic\) and removed$/);
  assert.deepEqual(fs.readdirSync(destination), [], 'the link and the empty folder are gone');
  // What the source wrote through its own link is its doing: removing through
  // a link would let any source name any file of the user's for removal.
  assert.equal(fs.readFileSync(target, 'utf8'), 'photo');
});

test('a throwing drop handler is an uncaught exception of the process; the zone and its items go on', () => {
  const script = `
    const d = require('../backends/sim/control/index.js').load(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
    const { createAcceptFileDrops } = require(${JSON.stringify(acceptFileDropsModule)});
    const acceptFileDrops = createAcceptFileDrops(() => require(${JSON.stringify(binaryPath('kestrovan_file_drops'))}));
    const caught = [];
    process.on('uncaughtException', (e) => caught.push(e.message));
    const w = d.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 }, key: true, main: true }).number;
    const destination = require('fs').mkdtempSync(require('path').join(require('os').tmpdir(), 'kestrovan-drops-child-'));
    const zone = acceptFileDrops({ windowNumber: w, rect: { x: 0, y: 0, width: 400, height: 300 }, destination });
    let path = null;
    zone.on('drop', (drop) => { drop.items[0].path.then((p) => (path = p)); throw new Error('from the drop handler'); });
    const drag = d.beginIncomingDrag([{ kind: 'promise', name: 'a.txt', contents: 'a' }]);
    d.moveIncomingDrag(drag, w, { x: 1, y: 1 });
    d.dropIncomingDrag(drag);
    d.runMainQueue();
    setImmediate(() => {
      const again = d.beginIncomingDrag([{ kind: 'file', path: '/' }]);
      const events = [];
      zone.on('enter', () => events.push('enter'));
      d.moveIncomingDrag(again, w, { x: 2, y: 2 });
      require('fs').rmSync(destination, { recursive: true });
      console.log(JSON.stringify({ caught, received: path !== null && require('path').basename(require('path').dirname(path)).startsWith('drop-') && path.endsWith('/a.txt'), events }));
    });
  `;
  const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8', env: childEnvironment(), cwd: path.dirname(acceptFileDropsModule) });
  assert.equal(child.status, 0, child.stderr);
  assert.deepEqual(JSON.parse(child.stdout), { caught: ['from the drop handler'], received: true, events: ['enter'] });
});

test('a process ending with zones open and promises pending: a clean exit, nothing emitted, its folders removed', () => {
  const root = freshRoot();
  // Running out of work, process.exit() from a later turn, and from inside the drop handler.
  for (const ending of ['', "setImmediate(() => process.exit(0));", "zone.on('drop', () => process.exit(0));"]) {
    const destination = fs.mkdtempSync(path.join(root, 'destination-'));
    const script = `
      const d = require(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
      const { createAcceptFileDrops } = require(${JSON.stringify(acceptFileDropsModule)});
      const acceptFileDrops = createAcceptFileDrops(() => require(${JSON.stringify(binaryPath('kestrovan_file_drops'))}));
      const w = d.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 }, key: true, main: true }).number;
      const zone = acceptFileDrops({ windowNumber: w, rect: { x: 0, y: 0, width: 400, height: 300 }, destination: ${JSON.stringify(destination)} });
      zone.on('close', () => console.log('told after the end'));
      ${ending}
      const drag = d.beginIncomingDrag([{ kind: 'promise', name: 'never.txt', contents: 'partial', never: true }]);
      d.moveIncomingDrag(drag, w, { x: 1, y: 1 });
      d.dropIncomingDrag(drag);
      d.runMainQueue();
      console.log('ran');
    `;
    const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8', env: childEnvironment() });
    assert.equal(child.status, 0, `${ending}: ${child.stderr}`);
    assert.equal(child.stderr, '', ending);
    assert.doesNotMatch(child.stdout, /told after the end/, ending);
    assert.deepEqual(fs.readdirSync(destination), [], `${ending}: the pending item's partial file and folders are removed`);
  }
});

test('a worker may not open a zone: an Error saying so', async () => {
  const w = desktop.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 }, key: true, main: true }).number;
  const worker = new Worker(
    `
      const { parentPort, workerData } = require('worker_threads');
      const { createAcceptFileDrops } = require(workerData.module);
      const acceptFileDrops = createAcceptFileDrops(() => require(workerData.binary));
      try {
        acceptFileDrops({ windowNumber: workerData.w, rect: { x: 0, y: 0, width: 1, height: 1 }, destination: require('os').tmpdir() });
        parentPort.postMessage('opened');
      } catch (error) {
        parentPort.postMessage(error.message);
      }
    `,
    { eval: true, workerData: { module: acceptFileDropsModule, binary: binaryPath('kestrovan_file_drops'), w } },
  );
  const [message] = await Promise.all([new Promise((resolve) => worker.once('message', resolve)), new Promise((resolve) => worker.once('exit', resolve))]);
  assert.equal(message, 'acceptFileDrops: not on the main thread');
  assert.deepEqual(desktop.dropZones(), []);
});
