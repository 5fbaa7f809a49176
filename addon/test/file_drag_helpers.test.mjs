// The package's helpers as an app uses them, on whichever desktop the build has
// (desktop/driver.mjs): startFileDrag serves each write with an async writer
// that streams with writeFileFromStream, the receiver gets the file written and
// the failure's message, each once; progress is published and withdrawn; the
// failed write's partial file is removed; onEnded hears the drop once. (Every
// writer outcome, aborts and garbage collection: sim/start_file_drag.test.mjs,
// write_file_from_stream.test.mjs.)
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { Readable } from 'node:stream';
import { after, afterEach, beforeEach, test } from 'node:test';

import { addon, driver, simOnly } from './desktop/driver.mjs';

const require = createRequire(import.meta.url);
const { createStartFileDrag } = require('../js/start_file_drag.js');
const { writeFileFromStream } = require('../js/write_file_from_stream.js');
const startFileDrag = createStartFileDrag(addon);

const folders = [];
beforeEach(() => driver.reset());
afterEach(async () => {
  if (simOnly) assert.deepEqual(simOnly.violations(), [], 'nothing AppKit would refuse');
  await driver.reset();
});
after(async () => {
  await driver.close();
  for (const folder of folders) fs.rmSync(folder, { recursive: true, force: true });
});

const bytes = Buffer.from(Array.from({ length: 64 * 1024 }, (_, i) => (i * 13) % 256));

/** The bytes in 8 KiB chunks, one per turn of the event loop; cut off with an error after `failAfter` chunks. */
async function* chunks(failAfter = Infinity) {
  for (let at = 0, n = 0; at < bytes.length; at += 8192, n++) {
    await new Promise((resolve) => setImmediate(resolve));
    if (n === failAfter) throw new Error('the connection was reset');
    yield bytes.subarray(at, at + 8192);
  }
}

test('startFileDrag with writeFileFromStream: one file written, one failed and removed, each answered once', async (t) => {
  const why = driver.whyNot('drag');
  if (why) return t.skip(why);
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-file-drag-'));
  folders.push(folder);
  const w = await driver.createWindow({ frame: { x: 100, y: 100, width: 600, height: 400 } });
  await driver.postMouse(w, { type: 'down', x: 300, y: 200 });

  const ended = [];
  const started = startFileDrag(
    {
      sessionId: 'helpers',
      windowNumber: w,
      items: [
        { promiseId: 'data', kind: 'file', suggestedName: 'data.bin' },
        { promiseId: 'cut', kind: 'file', suggestedName: 'cut.bin' },
      ],
      onEnded: ({ operation }) => ended.push(operation),
    },
    async ({ promiseId, destinationPath, progress, signal }) => {
      const source = Readable.from(chunks(promiseId === 'cut' ? 3 : Infinity));
      await writeFileFromStream(destinationPath, source, { progress, signal, size: bytes.length });
    },
  );
  assert.equal(started, true);

  const dataPath = path.join(folder, 'data.bin');
  const progress = driver.watchProgress(dataPath);
  const answers = await driver.receivePromisedFiles(folder);
  assert.deepEqual(answers, [
    { fileName: 'data.bin', path: dataPath, error: null },
    { fileName: 'cut.bin', path: null, error: 'the connection was reset' },
  ]);
  assert.deepEqual(fs.readFileSync(dataPath), bytes);
  assert.equal(fs.existsSync(path.join(folder, 'cut.bin')), false, 'the partial file is removed');

  await driver.settle();
  const history = progress.history();
  progress.stop();
  assert.ok(history.some((f) => f > 0 && f < 1), `progress along the way: ${history}`);
  assert.equal(history.at(-1), 1);
  assert.ok(progress.withdrawn(), 'withdrawn when the write completed');

  assert.deepEqual(ended, []);
  await driver.endDrag({ dropped: true });
  assert.deepEqual(ended, [1], 'onEnded heard the drop once');
});
