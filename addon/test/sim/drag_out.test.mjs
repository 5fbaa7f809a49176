// Sim-only: reads the drop target's recorded outcomes and progress objects (the shared drag_out_round_trip
// suite runs on every desktop).
// A drag-out from end to end on a real folder: the Finder-like target names
// each destination, JavaScript writes the promised files with fs streams and
// reports progress, the cached file is copied by the target, every outcome is
// answered once, and the session retires.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { pipeline } from 'node:stream/promises';
import { Readable } from 'node:stream';
import { beforeEach, test } from 'node:test';

import { addon, collectUntil, desktop, logMessages } from '../helpers.mjs';
import { cleanDesktop, Collected, progressOf, startWatchedDrag, tempDirectory, windowWithButtonHeld } from '../drag_fixtures.mjs';

beforeEach(cleanDesktop);

const contents = (promiseId, size) => Buffer.from(Array.from({ length: size }, (_, i) => (i * 7 + promiseId.length) % 251));

/** Writes a request's file (or folder of two files) in chunks, reporting progress. */
async function writeRequest({ destinationPath, destinationKind, completionToken, promiseId }) {
  const files = destinationKind === 'directory'
    ? [['one.bin', contents(`${promiseId}-1`, 3000)], ['two.bin', contents(`${promiseId}-2`, 5000)]]
    : [[null, contents(promiseId, 10000)]];
  if (destinationKind === 'directory') await fs.promises.mkdir(destinationPath);
  const total = files.reduce((n, [, bytes]) => n + bytes.length, 0);
  let written = 0;
  for (const [name, bytes] of files) {
    const chunks = [];
    for (let at = 0; at < bytes.length; at += 1024) chunks.push(bytes.subarray(at, at + 1024));
    const counted = Readable.from(chunks).map((chunk) => {
      written += chunk.length;
      addon.updatePromiseWriteProgress(completionToken, written / total);
      return chunk;
    });
    await pipeline(counted, fs.createWriteStream(name ? path.join(destinationPath, name) : destinationPath));
  }
  return files;
}

test('a drop on a real folder: written files, a copied cached file, every outcome answered once', async () => {
  const callbacks = new Collected();
  const folder = tempDirectory('kestrovan-finder-');
  fs.writeFileSync(path.join(folder, 'report.pdf'), 'already here'); // the target picks "report 2.pdf"
  const cache = tempDirectory('kestrovan-cache-');
  const cached = path.join(cache, 'notes.txt');
  fs.writeFileSync(cached, 'cached notes\n');

  windowWithButtonHeld();
  const jobs = [];
  const written = new Map();
  const items = [
    { promiseId: 'report', kind: 'file', suggestedName: 'report.pdf' },
    { promiseId: 'photos', kind: 'directory', suggestedName: 'Photos' },
    { promiseId: 'notes', kind: 'file', suggestedName: 'notes.txt', filePath: cached },
    { promiseId: 'broken', kind: 'file', suggestedName: 'broken.bin' },
  ];
  addon.startPromiseDrag({ sessionId: 'e2e', items }, callbacks.fn('write', (request) => {
    if (request.promiseId === 'broken') {
      jobs.push(Promise.resolve().then(() => addon.completePromiseWrite(request.completionToken, 'source file missing')));
      return;
    }
    jobs.push(writeRequest(request).then(
      (files) => {
        written.set(request.destinationPath, files);
        return addon.completePromiseWrite(request.completionToken);
      },
      (error) => addon.completePromiseWrite(request.completionToken, String(error)),
    ));
  }));

  desktop.dropOnFolder(null, folder, { x: 640, y: 12 });
  desktop.runMainQueue();
  assert.deepEqual(await Promise.all(jobs), [true, true, true], 'each token completed once');

  // The files JavaScript wrote, by the names the target chose.
  assert.deepEqual(fs.readdirSync(folder).sort(), ['Photos', 'notes.txt', 'report 2.pdf', 'report.pdf']);
  assert.equal(fs.readFileSync(path.join(folder, 'report.pdf'), 'utf8'), 'already here');
  assert.deepEqual(fs.readFileSync(path.join(folder, 'report 2.pdf')), contents('report', 10000));
  assert.deepEqual(fs.readdirSync(path.join(folder, 'Photos')).sort(), ['one.bin', 'two.bin']);
  assert.deepEqual(fs.readFileSync(path.join(folder, 'Photos', 'two.bin')), contents('photos-2', 5000));
  assert.equal(fs.readFileSync(path.join(folder, 'notes.txt'), 'utf8'), 'cached notes\n');
  assert.equal(fs.existsSync(path.join(folder, 'broken.bin')), false);

  // What the drop target saw: each answered exactly once.
  const outcomes = desktop.dropOutcomes().map((o) => [o.fileName, o.source, o.answers, o.outcome?.description ?? o.outcome?.success, o.existedWhenAnswered]);
  assert.deepEqual(outcomes, [
    ['report 2.pdf', 'promise', 1, true, true],
    ['Photos', 'promise', 1, true, true],
    ['notes.txt', 'fileURL', 1, true, true],
    ['broken.bin', 'promise', 1, 'source file missing', false],
  ]);

  // Progress climbed chunk by chunk to the total, and is withdrawn.
  const reportProgress = progressOf(path.join(folder, 'report 2.pdf'));
  assert.equal(reportProgress.completedHistory.length, 11, 'ten chunks, then the finish');
  assert.deepEqual(reportProgress.completedHistory.slice(0, 3), [102, 205, 307]);
  assert.equal(reportProgress.completedHistory.at(-1), 1000);
  assert.deepEqual(desktop.publishedProgress(), []);

  desktop.advanceClock(30);
  assert.ok(logMessages().includes('removing idle session sessionId=e2e requestedWriteCount=3'));
  assert.ok(await collectUntil(() => callbacks.has('write')));
  assert.deepEqual(desktop.violations(), []);
});

test('the target names destinations as the Finder does when a name is taken', () => {
  const folder = tempDirectory('kestrovan-names-');
  for (const taken of ['report.pdf', 'report 2.pdf', '.profile', 'archive.tar.gz', 'README']) {
    fs.writeFileSync(path.join(folder, taken), '');
  }
  fs.mkdirSync(path.join(folder, 'Photos'));
  // [suggested name, kind, the destination's name]
  const cases = [
    ['report.pdf', 'file', 'report 3.pdf'],
    ['report.pdf', 'file', 'report 4.pdf'], // a name given out earlier in the same drop is taken too
    ['.profile', 'file', '.profile 2'],
    ['archive.tar.gz', 'file', 'archive.tar 2.gz'],
    ['README', 'file', 'README 2'],
    ['Photos', 'directory', 'Photos 2'],
    ['a:b.txt', 'file', 'a:b.txt'], // a "/" never arrives: such a name is refused at the start
    ['fresh.txt', 'file', 'fresh.txt'],
  ];
  windowWithButtonHeld();
  const { writes } = startWatchedDrag(
    'names',
    cases.map(([suggestedName, kind], i) => ({ promiseId: `n${i}`, kind, suggestedName })),
  );
  desktop.dropOnFolder(null, folder, { x: 0, y: 0 });
  desktop.runMainQueue();
  assert.deepEqual(
    writes.map((w) => path.relative(folder, w.request.destinationPath)),
    cases.map(([, , name]) => name),
  );
  for (const { request } of writes) addon.completePromiseWrite(request.completionToken, 'not written');
  assert.deepEqual(desktop.violations(), []);
});

test('a cached file whose name is taken is copied beside it', () => {
  const folder = tempDirectory('kestrovan-copy-');
  fs.writeFileSync(path.join(folder, 'notes.txt'), 'mine');
  const cached = path.join(tempDirectory('kestrovan-cache-'), 'notes.txt');
  fs.writeFileSync(cached, 'cached');
  windowWithButtonHeld();
  const { writes } = startWatchedDrag('copy', [{ promiseId: 'c', kind: 'file', suggestedName: 'x.txt', filePath: cached }]);
  const { outcomes } = desktop.dropOnFolder(null, folder, { x: 0, y: 0 });
  assert.deepEqual(outcomes.map((o) => [o.fileName, o.answers, o.outcome]), [['notes 2.txt', 1, { success: true }]]);
  assert.equal(fs.readFileSync(path.join(folder, 'notes 2.txt'), 'utf8'), 'cached');
  assert.equal(fs.readFileSync(path.join(folder, 'notes.txt'), 'utf8'), 'mine');
  desktop.runMainQueue();
  assert.deepEqual(writes, [], 'no write request for a cached file');
});

test('a cached file whose free name is too long for the folder fails its copy, once', () => {
  // The name is the longest a file system takes; its free name (" 2" added) is longer.
  const name = `${'n'.repeat(251)}.txt`;
  const folder = tempDirectory('kestrovan-copy-');
  fs.writeFileSync(path.join(folder, name), 'mine');
  const cached = path.join(tempDirectory('kestrovan-cache-'), name);
  fs.writeFileSync(cached, 'cached');
  windowWithButtonHeld();
  startWatchedDrag('long', [{ promiseId: 'c', kind: 'file', suggestedName: 'x.txt', filePath: cached }]);
  const { outcomes } = desktop.dropOnFolder(null, folder, { x: 0, y: 0 });
  assert.deepEqual(outcomes.map((o) => [o.fileName, o.answers, o.outcome.success]), [[`${'n'.repeat(251)} 2.txt`, 1, false]]);
  assert.deepEqual(fs.readdirSync(folder), [name]);
});
