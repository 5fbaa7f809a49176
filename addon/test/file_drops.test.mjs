// acceptFileDrops on whichever desktop the build has (desktop/driver.mjs):
// other applications' drags into a zone over a window. A Mail-like drop of
// promised files (slow, failing, never fulfilled) answers each entry once and
// leaves nothing of the failed ones; a hostile name writes nothing outside the
// drop's folder; a Finder-like drop gives the files' own paths; a drag outside
// the zone reaches the web contents untouched; enter and exit pair up; setRect
// moves the zone; close and a closing window answer what is pending once; zones
// are collected once closed; bad options throw. (Routing details, links that
// lead out, the event handler's exceptions: sim/file_drops_sim.test.mjs.)
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { after, afterEach, beforeEach, describe, test } from 'node:test';

import { driver, loadFileDrops, simOnly } from './desktop/driver.mjs';
import { collectUntil } from './helpers.mjs';

const require = createRequire(import.meta.url);
const { createAcceptFileDrops } = require('../js/accept_file_drops.js');
const acceptFileDrops = createAcceptFileDrops(loadFileDrops);

const roots = [];
const zones = [];
const skipUnlessIncomingDrag = (t) => {
  const reason = driver.whyNot('incomingDrag');
  if (reason) t.skip(reason);
  return reason !== null;
};

beforeEach(() => driver.reset());
afterEach(async () => {
  for (const zone of zones.splice(0)) zone.close();
  if (simOnly) assert.deepEqual(simOnly.violations(), [], 'nothing AppKit would refuse');
  await driver.reset();
});
after(async () => {
  await driver.close();
  for (const root of roots) fs.rmSync(root, { recursive: true, force: true });
});

/** A fresh folder of the test's own; `destination` inside it, so whatever escapes it stays in `root`. */
function freshFolders() {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-drops-'));
  roots.push(root);
  const destination = path.join(root, 'destination');
  fs.mkdirSync(destination);
  return { root, destination };
}

/** Every entry under `folder`, relative and sorted. */
function entriesUnder(folder) {
  return fs.readdirSync(folder, { recursive: true }).map(String).sort();
}

const zoneRect = { x: 100, y: 100, width: 200, height: 150 };
const inside = { x: 150, y: 150 };
const outside = { x: 500, y: 400 };

/** A window with a web view filling it, and a zone over zoneRect recording its events. */
async function windowWithZone({ timeout = 1000, rect = zoneRect } = {}) {
  const { root, destination } = freshFolders();
  const windowNumber = await driver.createWindow({
    frame: { x: 100, y: 100, width: 800, height: 600 },
    webView: { frame: { x: 0, y: 0, width: 800, height: 600 } },
  });
  const zone = acceptFileDrops({ windowNumber, rect, destination, timeout });
  zones.push(zone);
  const events = [];
  const drops = [];
  const progress = [];
  zone.on('enter', () => events.push('enter'));
  zone.on('exit', () => events.push('exit'));
  zone.on('drop', (drop) => {
    events.push('drop');
    drops.push(drop);
  });
  zone.on('progress', (p) => progress.push(p));
  zone.on('close', ({ windowWentAway }) => events.push(windowWentAway ? 'close: window went away' : 'close'));
  return { root, destination, windowNumber, zone, events, drops, progress };
}

/** What became of a path promise so far: { path } or { error }, or undefined while pending. */
function watch(promise) {
  const seen = { outcome: undefined, settlements: 0 };
  promise.then(
    (p) => {
      seen.settlements++;
      seen.outcome = { path: p };
    },
    (error) => {
      seen.settlements++;
      seen.outcome = { error: error instanceof Error ? error.message : `not an Error: ${error}` };
    },
  );
  return seen;
}

describe('a Mail-like drop of promised files', () => {
  test('a slow one, a failing one and one never fulfilled: three entries, answered in time, nothing left of the failed', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { destination, windowNumber, events, drops, progress } = await windowWithZone({ timeout: 1000 });
    const { webContents } = await driver.dragFilesInto(windowNumber, {
      items: [
        { kind: 'promise', name: 'Quarterly report.pdf', contents: 'the report', delayMs: 400, progress: [0.5] },
        { kind: 'promise', name: 'photo.jpg', contents: 'half a photo', delayMs: 100, error: 'The attachment could not be downloaded.' },
        { kind: 'promise', name: 'movie.mov', contents: 'never whole', never: true },
      ],
      path: [{ x: 10, y: 10 }, inside],
      drop: true,
    });
    assert.deepEqual(events, ['enter', 'drop']);
    assert.deepEqual(webContents.map((e) => e.type), ['enter', 'exit'], 'the page saw it come and go on its way to the zone');
    const [drop] = drops;
    assert.deepEqual(drop.point, inside);
    assert.equal(path.dirname(drop.folder), destination);
    assert.match(path.basename(drop.folder), /^drop-/);
    assert.deepEqual(drop.items.map(({ name, kind }) => [name, kind]), [
      ['Quarterly report.pdf', 'promise'],
      ['photo.jpg', 'promise'],
      ['movie.mov', 'promise'],
    ]);
    const [slow, failing, never] = drop.items.map((item) => watch(item.path));

    await driver.wait(0.2);
    assert.deepEqual(failing.outcome, { error: 'The attachment could not be downloaded.' }, 'the source\'s message');
    if (simOnly) assert.ok(fs.existsSync(path.join(drop.folder, 'photo.jpg')), 'the failing source left half a file in the drop\'s folder');
    assert.equal(slow.outcome, undefined, 'the slow one is still on its way');
    assert.equal(never.outcome, undefined);

    await driver.wait(0.3);
    assert.ok(slow.outcome?.path, `the slow one arrived: ${JSON.stringify(slow.outcome)}`);
    assert.equal(path.dirname(slow.outcome.path), drop.folder, 'in the drop\'s folder');
    assert.equal(path.basename(slow.outcome.path), 'Quarterly report.pdf');
    assert.equal(fs.readFileSync(slow.outcome.path, 'utf8'), 'the report');
    assert.equal(never.outcome, undefined, 'not yet timed out');
    assert.deepEqual(progress.map((p) => [p.name, p.fraction]), [['Quarterly report.pdf', 0.5]]);
    assert.equal(progress[0].path, drop.items[0].path, 'progress names the item\'s own promise');

    await driver.wait(0.6);
    assert.deepEqual(never.outcome, { error: 'timed out after 1000 ms waiting for "movie.mov"' });
    for (const seen of [slow, failing, never]) assert.equal(seen.settlements, 1, 'each entry answered once');
    assert.deepEqual(entriesUnder(drop.folder), ['Quarterly report.pdf'], 'nothing left of the failed ones');
  });

  test('every promised item of a drop is received into the drop\'s one folder, as AppKit wants of a drag\'s receivers', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { windowNumber, drops } = await windowWithZone();
    await driver.dragFilesInto(windowNumber, {
      items: [
        { kind: 'promise', name: 'one.eml', contents: 'one' },
        { kind: 'file', path: '/' },
        { kind: 'promise', name: 'two.eml', contents: 'two', delayMs: 50 },
        { kind: 'promise', name: 'three.eml', contents: 'three' },
      ],
      path: [inside],
    });
    const [drop] = drops;
    await driver.wait(0.1);
    const paths = await Promise.all(drop.items.map((item) => item.path));
    const inFolder = (name) => path.join(drop.folder, name);
    assert.deepEqual(paths, [inFolder('one.eml'), '/', inFolder('two.eml'), inFolder('three.eml')]);
    assert.deepEqual([paths[0], paths[2], paths[3]].map((p) => fs.readFileSync(p, 'utf8')), ['one', 'two', 'three']);
    assert.deepEqual(entriesUnder(drop.folder), ['one.eml', 'three.eml', 'two.eml']);
  });

  test('a source that answers after the timeout: the entry stays rejected and what it wrote is removed', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { destination, windowNumber, drops } = await windowWithZone({ timeout: 200 });
    await driver.dragFilesInto(windowNumber, {
      items: [{ kind: 'promise', name: 'late.txt', contents: 'too late', delayMs: 500 }],
      path: [inside],
    });
    const late = watch(drops[0].items[0].path);
    await driver.wait(0.3);
    assert.match(late.outcome?.error ?? '', /^timed out after 200 ms/);
    await driver.wait(0.5);
    await driver.settle();
    assert.equal(late.settlements, 1);
    assert.deepEqual(entriesUnder(destination), [], 'neither the late file nor the drop folder is left');
  });

  test('a hostile name writes nothing outside the drop\'s folder', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { root, destination, windowNumber, drops } = await windowWithZone();
    await driver.dragFilesInto(windowNumber, {
      items: [
        { kind: 'promise', name: '../escaped.txt', contents: 'one level up' },
        { kind: 'promise', name: '../../out-of-destination.txt', contents: 'out of the destination' },
        { kind: 'promise', name: 'fine.txt', contents: 'fine' },
      ],
      path: [inside],
    });
    const outcomes = await Promise.allSettled(drops[0].items.map((item) => item.path));
    for (const outcome of outcomes.slice(0, 2)) {
      assert.equal(outcome.status, 'rejected');
      assert.match(outcome.reason.message, /was received outside the drop's folder .* and removed$/);
    }
    assert.equal(outcomes[2].status, 'fulfilled');
    assert.deepEqual(entriesUnder(drops[0].folder), ['fine.txt']);
    assert.deepEqual(entriesUnder(root), ['destination', `destination/${path.basename(drops[0].folder)}`,
      `destination/${path.basename(drops[0].folder)}/fine.txt`]);
    assert.equal(fs.existsSync(path.join(destination, 'escaped.txt')), false);
  });
});

describe('a Finder-like drop of existing files', () => {
  test('gives their own paths at once, copies nothing and makes no folder', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { root, destination, windowNumber, drops } = await windowWithZone();
    const files = ['notes.txt', 'with space.md'].map((name) => {
      const file = path.join(root, name);
      fs.writeFileSync(file, name);
      return file;
    });
    await driver.dragFilesInto(windowNumber, { items: files.map((file) => ({ kind: 'file', path: file })), path: [inside] });
    const [drop] = drops;
    assert.equal(drop.folder, null);
    assert.deepEqual(drop.items.map(({ name, kind }) => [name, kind]), [['notes.txt', 'file'], ['with space.md', 'file']]);
    assert.deepEqual(await Promise.all(drop.items.map((item) => item.path)), files);
    assert.deepEqual(entriesUnder(destination), []);
  });

  test('files and promises together: one entry each, in the drag\'s order', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { root, windowNumber, drops } = await windowWithZone();
    const file = path.join(root, 'existing.txt');
    fs.writeFileSync(file, 'x');
    await driver.dragFilesInto(windowNumber, {
      items: [{ kind: 'promise', name: 'a.txt', contents: 'a' }, { kind: 'file', path: file }],
      path: [inside],
    });
    const [drop] = drops;
    assert.deepEqual(drop.items.map((item) => item.kind), ['promise', 'file']);
    const [received, existing] = await Promise.all(drop.items.map((item) => item.path));
    assert.equal(fs.readFileSync(received, 'utf8'), 'a');
    assert.equal(existing, file);
  });
});

describe('routing and hover', () => {
  test('a drag outside rect reaches the web contents untouched, and the zone hears nothing', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { root, windowNumber, events, drops } = await windowWithZone();
    const file = path.join(root, 'kept.txt');
    fs.writeFileSync(file, 'k');
    const items = [{ kind: 'file', path: file }, { kind: 'promise', name: 'mail.eml', contents: 'm' }];
    const { webContents } = await driver.dragFilesInto(windowNumber, { items, path: [{ x: 10, y: 10 }, outside], drop: true });
    assert.deepEqual(events, []);
    assert.deepEqual(drops, []);
    assert.deepEqual(webContents.map(({ type, x, y }) => [type, x, y]), [['enter', 10, 10], ['move', 500, 400], ['drop', 500, 400]]);
    const carried = [{ kind: 'file', name: 'kept.txt', path: file }, { kind: 'promise', name: 'mail.eml', path: null }];
    for (const event of webContents) assert.deepEqual(event.items, carried, `${event.type}: the items as the source gave them`);
  });

  test('enter and exit pair up, across the zone\'s edge, in and out again, and a drop ends the enter', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { windowNumber, events } = await windowWithZone();
    const items = [{ kind: 'file', path: '/' }];
    await driver.dragFilesInto(windowNumber, {
      items,
      path: [outside, inside, { x: 160, y: 160 }, { x: 299, y: 249 }, { x: 300, y: 249 }, inside, { x: 99, y: 150 }],
      drop: false,
    });
    assert.deepEqual(events, ['enter', 'exit', 'enter', 'exit'], 'the right and bottom edges are outside (half-open)');
    events.length = 0;
    await driver.dragFilesInto(windowNumber, { items, path: [inside], drop: false });
    assert.deepEqual(events, ['enter', 'exit'], 'let go over the zone without a drop');
    events.length = 0;
    await driver.dragFilesInto(windowNumber, { items, path: [outside, inside], drop: true });
    assert.deepEqual(events, ['enter', 'drop']);
  });

  test('setRect moves and resizes the zone', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { windowNumber, zone, events } = await windowWithZone();
    zone.setRect({ x: 400, y: 300, width: 50, height: 60 });
    const items = [{ kind: 'file', path: '/' }];
    const atOld = await driver.dragFilesInto(windowNumber, { items, path: [inside], drop: false });
    assert.deepEqual(events, [], 'the old place is the page\'s again');
    assert.deepEqual(atOld.webContents.map((e) => e.type), ['enter', 'exit']);
    const atNew = await driver.dragFilesInto(windowNumber, { items, path: [{ x: 449, y: 359 }], drop: true });
    assert.deepEqual(events, ['enter', 'drop']);
    assert.deepEqual(atNew.webContents, []);
    zone.setRect({ x: 0, y: 0, width: 0, height: 0 });
    await driver.dragFilesInto(windowNumber, { items, path: [{ x: 0, y: 0 }], drop: false });
    assert.deepEqual(events, ['enter', 'drop'], 'an empty zone takes no drags');
  });
});

describe('closing', () => {
  test('close answers pending entries once, is idempotent, and the zone takes no more drags', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { destination, windowNumber, zone, events, drops } = await windowWithZone({ timeout: 60000 });
    await driver.dragFilesInto(windowNumber, {
      items: [
        { kind: 'promise', name: 'pending.bin', contents: 'partial data', never: true },
        { kind: 'promise', name: 'done.txt', contents: 'done' },
      ],
      path: [inside],
    });
    const [pending, done] = drops[0].items.map((item) => watch(item.path));
    await driver.settle();
    assert.ok(done.outcome?.path);
    assert.equal(zone.closed, false);
    zone.close();
    assert.equal(zone.closed, true);
    await driver.settle();
    assert.deepEqual(pending.outcome, { error: 'the drop zone was closed' });
    zone.close();
    zone.setRect(zoneRect);
    await driver.wait(1);
    assert.equal(pending.settlements, 1);
    assert.equal(done.settlements, 1);
    assert.deepEqual(events, ['enter', 'drop', 'close']);
    assert.deepEqual(entriesUnder(drops[0].folder), ['done.txt'], 'the pending one\'s partial file is gone');
    const { webContents } = await driver.dragFilesInto(windowNumber, { items: [{ kind: 'file', path: '/' }], path: [inside] });
    assert.deepEqual(webContents.map((e) => e.type), ['enter', 'drop'], 'its place is the page\'s again');
    assert.ok(fs.existsSync(destination));
  });

  test('closed from inside its own drop handler: the drop\'s promises are answered once, close told last', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { windowNumber, zone, events, drops } = await windowWithZone({ timeout: 60000 });
    let seen;
    zone.once('drop', (drop) => {
      seen = drop.items.map((item) => watch(item.path));
      zone.close();
      assert.equal(zone.closed, true);
    });
    await driver.dragFilesInto(windowNumber, {
      items: [{ kind: 'promise', name: 'a', contents: 'a', delayMs: 100 }, { kind: 'file', path: '/' }],
      path: [inside],
    });
    await driver.wait(0.2);
    assert.deepEqual(events, ['enter', 'drop', 'close']);
    assert.deepEqual(seen.map((s) => [s.outcome, s.settlements]), [[{ error: 'the drop zone was closed' }, 1], [{ path: '/' }, 1]]);
    assert.deepEqual(entriesUnder(path.dirname(drops[0].folder)), [], 'nothing of the drop is left');
  });

  test('closing while a drag is over the zone tells exit first', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    if (!simOnly) return t.skip('holds another application\'s drag over the zone between steps (simulated desktop)');
    const { windowNumber, zone, events } = await windowWithZone();
    const drag = simOnly.beginIncomingDrag([{ kind: 'file', path: '/' }]);
    simOnly.moveIncomingDrag(drag, windowNumber, inside);
    zone.close();
    simOnly.cancelIncomingDrag(drag);
    assert.deepEqual(events, ['enter', 'exit', 'close']);
  });

  test('a closed window closes its zones and answers what was pending', async (t) => {
    if (skipUnlessIncomingDrag(t)) return;
    const { windowNumber, zone, events, drops } = await windowWithZone({ timeout: 60000 });
    const second = acceptFileDrops({ windowNumber, rect: { x: 0, y: 0, width: 10, height: 10 }, destination: freshFolders().destination });
    zones.push(second);
    await driver.dragFilesInto(windowNumber, { items: [{ kind: 'promise', name: 'p', never: true }], path: [inside] });
    const pending = watch(drops[0].items[0].path);
    await driver.closeWindow(windowNumber);
    await driver.settle();
    assert.equal(zone.closed, true);
    assert.equal(second.closed, true);
    assert.deepEqual(pending.outcome, { error: 'the drop zone was closed: its window went away' });
    assert.deepEqual(events, ['enter', 'drop', 'close: window went away']);
    zone.close();
    assert.equal(pending.settlements, 1);
  });
});

describe('lifetimes', () => {
  test('an open zone is kept by the addon; closed, it is collected with its listeners', async () => {
    const { destination } = freshFolders();
    const windowNumber = await driver.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 } });
    const collected = new Set();
    const registry = new FinalizationRegistry((name) => collected.add(name));
    const open = (i) => {
      const zone = acceptFileDrops({ windowNumber, rect: { x: i, y: i, width: 10, height: 10 }, destination });
      zone.on('drop', () => {});
      registry.register(zone, `zone-${i}`);
      return zone;
    };
    // Twenty zones nobody keeps: ten closed, ten left open.
    const closers = [];
    for (let i = 0; i < 20; i++) {
      const zone = open(i);
      if (i % 2 === 0) zone.close();
      else closers.push(() => zone.close());
    }
    assert.equal(await collectUntil(() => collected.size === 10), true, `collected: ${[...collected]}`);
    assert.ok([...collected].every((name) => Number(name.split('-')[1]) % 2 === 0), 'only the closed ones');
    // The window going away closes the rest.
    await driver.closeWindow(windowNumber);
    await driver.settle();
    closers.length = 0;
    assert.equal(await collectUntil(() => collected.size === 20), true, `collected: ${collected.size}`);
  });
});

describe('errors', () => {
  test('bad options throw a TypeError and open nothing', async () => {
    const { destination } = freshFolders();
    const windowNumber = await driver.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 } });
    const rect = { x: 0, y: 0, width: 10, height: 10 };
    const cases = [
      ['no options', undefined],
      ['null', null],
      ['a string', 'zone'],
      ['no rect', { windowNumber, destination }],
      ['rect not an object', { windowNumber, destination, rect: 5 }],
      ['rect.x missing', { windowNumber, destination, rect: { y: 0, width: 1, height: 1 } }],
      ['rect.width NaN', { windowNumber, destination, rect: { ...rect, width: NaN } }],
      ['rect.height negative', { windowNumber, destination, rect: { ...rect, height: -1 } }],
      ['rect.y Infinity', { windowNumber, destination, rect: { ...rect, y: Infinity } }],
      ['rect.x a string', { windowNumber, destination, rect: { ...rect, x: '1' } }],
      ['no destination', { windowNumber, rect }],
      ['an empty destination', { windowNumber, rect, destination: '' }],
      ['a relative destination', { windowNumber, rect, destination: 'downloads' }],
      ['a destination with NUL', { windowNumber, rect, destination: `${destination}\0x` }],
      ['windowNumber negative', { windowNumber: -1, rect, destination }],
      ['windowNumber fractional', { windowNumber: 1.5, rect, destination }],
      ['windowNumber a string', { windowNumber: '3', rect, destination }],
      ['timeout 0', { windowNumber, rect, destination, timeout: 0 }],
      ['timeout negative', { windowNumber, rect, destination, timeout: -5 }],
      ['timeout NaN', { windowNumber, rect, destination, timeout: NaN }],
      ['timeout too large', { windowNumber, rect, destination, timeout: 2 ** 31 }],
      ['timeout a string', { windowNumber, rect, destination, timeout: '100' }],
    ];
    for (const [what, options] of cases) assert.throws(() => acceptFileDrops(options), TypeError, what);
    if (simOnly) assert.deepEqual(simOnly.dropZones(), [], 'no zone was opened');
  });

  test('no such window, a destination that is not a folder: an Error saying so', async () => {
    const { root, destination } = freshFolders();
    const rect = { x: 0, y: 0, width: 10, height: 10 };
    assert.throws(() => acceptFileDrops({ windowNumber: 987654, rect, destination }), {
      name: 'Error',
      message: 'acceptFileDrops: there is no window with number 987654',
    });
    assert.throws(() => acceptFileDrops({ rect, destination }), { message: 'acceptFileDrops: there is no key or main window' });
    const file = path.join(root, 'file');
    fs.writeFileSync(file, '');
    assert.throws(() => acceptFileDrops({ rect, destination: file }), { message: `acceptFileDrops: destination ${file} is not a folder` });
    assert.throws(() => acceptFileDrops({ rect, destination: path.join(root, 'missing') }), /cannot be used: ENOENT/);
  });

  test('the native functions answer, never throw, whatever they are passed; the module has exactly three', async () => {
    const native = loadFileDrops();
    assert.deepEqual(Object.getOwnPropertyNames(native).sort(), ['closeFileDropZone', 'openFileDropZone', 'setFileDropZoneRect']);
    const { destination } = freshFolders();
    const windowNumber = await driver.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 } });
    const throwing = new Proxy({}, { get() { throw new Error('trap'); }, has() { throw new Error('trap'); } });
    const good = { windowNumber, x: 0, y: 0, width: 1, height: 1, destination, timeoutMs: 10 };
    const shapes = [
      [], [undefined], [null, null], [1, 2, 3], ['x', 'y'], [{}, () => {}], [Symbol('s'), 10n], [throwing, throwing],
      [{ ...good, destination: 'relative' }, () => {}], [{ ...good, timeoutMs: 0 }, () => {}],
      [{ ...good, width: -1 }, () => {}], [{ ...good, windowNumber: 1.5 }, () => {}], [good, 'not a function'],
      [Number.MAX_VALUE, good], [-1, good], [0.5, good], [NaN, {}],
    ];
    for (const args of shapes) {
      assert.equal(typeof native.openFileDropZone(...args), 'string', `openFileDropZone(${args.length} arguments)`);
      assert.equal(native.setFileDropZoneRect(...args), false, `setFileDropZoneRect(${args.length} arguments)`);
      assert.equal(native.closeFileDropZone(...args), false, `closeFileDropZone(${args.length} arguments)`);
    }
    if (simOnly) assert.deepEqual(simOnly.dropZones(), [], 'none was opened');
  });

  test('setRect with a bad rectangle throws a TypeError and leaves the zone where it was', async () => {
    const { destination } = freshFolders();
    const windowNumber = await driver.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 } });
    const zone = acceptFileDrops({ windowNumber, rect: zoneRect, destination });
    zones.push(zone);
    for (const bad of [null, {}, { ...zoneRect, width: -1 }, { ...zoneRect, x: NaN }]) {
      assert.throws(() => zone.setRect(bad), TypeError);
    }
    if (simOnly) assert.deepEqual(simOnly.dropZones().map((z) => z.rect), [zoneRect]);
  });
});
