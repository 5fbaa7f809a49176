// writeFileFromStream: one new file from a Node stream, an async iterable, a
// web ReadableStream or a fetch Response, with progress from a known size;
// a failure or an abort removes the file it created and never one it did not.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import path from 'node:path';
import { Readable } from 'node:stream';
import zlib from 'node:zlib';
import { after, before, describe, test } from 'node:test';

import { tempDirectory } from './drag_fixtures.mjs';

const require = createRequire(import.meta.url);
const { writeFileFromStream } = require('../js/write_file_from_stream.js');

const folder = tempDirectory('kestrovan-stream-');
let next = 0;
const destination = (name = `file-${++next}.bin`) => path.join(folder, name);
const bytes = (length, seed = 7) => Buffer.from(Array.from({ length }, (_, i) => (i * seed) & 0xff));
const exists = (file) => fs.existsSync(file);

/** Records the fractions reported. */
function recorder() {
  const fractions = [];
  return { fractions, progress: (fraction) => fractions.push(fraction) };
}

describe('sources', () => {
  test('a Node readable stream of known size: fractions as the bytes arrive, then 1', async () => {
    const data = bytes(4000);
    const file = destination();
    const { fractions, progress } = recorder();
    const source = Readable.from([data.subarray(0, 1000), data.subarray(1000, 3000), data.subarray(3000)]);
    assert.equal(await writeFileFromStream(file, source, { size: data.length, progress }), 4000);
    assert.deepEqual(fs.readFileSync(file), data);
    assert.deepEqual(fractions, [0, 0.25, 0.75, 1]);
  });

  test('a file read stream, its size from stat', async () => {
    const original = destination();
    fs.writeFileSync(original, bytes(70000));
    const file = destination();
    const { fractions, progress } = recorder();
    const written = await writeFileFromStream(file, fs.createReadStream(original, { highWaterMark: 16384 }), {
      size: fs.statSync(original).size,
      progress,
    });
    assert.equal(written, 70000);
    assert.deepEqual(fs.readFileSync(file), fs.readFileSync(original));
    assert.deepEqual(fractions, [0, 16384 / 70000, 32768 / 70000, 49152 / 70000, 65536 / 70000, 1]);
  });

  test('an async iterable of unknown size: no fraction until it ends, then 1; every kind of chunk', async () => {
    const file = destination();
    const { fractions, progress } = recorder();
    async function* chunks() {
      yield 'héllo ';
      yield new Uint8Array([0x77, 0x6f]);
      yield Buffer.from('rl');
      yield new Uint8Array([0x64, 0x21]).buffer;
      yield new DataView(new Uint8Array([0x20, 0x3f]).buffer, 1);
      yield new Uint16Array([0x0a0a]);
    }
    assert.equal(await writeFileFromStream(file, chunks(), { progress }), 16);
    assert.equal(fs.readFileSync(file, 'utf8'), 'héllo world!?\n\n');
    assert.deepEqual(fractions, [1]);
  });

  test('an empty source gives an empty file', async () => {
    const file = destination();
    const { fractions, progress } = recorder();
    assert.equal(await writeFileFromStream(file, Readable.from([]), { size: 0, progress }), 0);
    assert.equal(fs.readFileSync(file).length, 0);
    assert.deepEqual(fractions, [1]);
  });

  test('a web ReadableStream', { skip: typeof ReadableStream !== 'function' && 'no web streams in this Node' }, async () => {
    const parts = [bytes(10), bytes(30, 3)];
    const stream = new ReadableStream({
      pull(controller) {
        if (parts.length) controller.enqueue(new Uint8Array(parts.shift()));
        else controller.close();
      },
    });
    const file = destination();
    const { fractions, progress } = recorder();
    assert.equal(await writeFileFromStream(file, stream, { size: 40, progress }), 40);
    assert.deepEqual(fs.readFileSync(file), Buffer.concat([bytes(10), bytes(30, 3)]));
    assert.deepEqual(fractions, [0, 0.25, 1]);
  });
});

describe('responses from a local server', () => {
  const body = bytes(50000, 13);
  let server;
  let base;
  let seeFirstHalf;
  const firstHalfSeen = new Promise((resolve) => {
    seeFirstHalf = resolve;
  });
  before(async () => {
    server = http.createServer((request, response) => {
      if (request.url === '/file') {
        response.writeHead(200, { 'content-length': body.length });
        // Two halves: the second only once the client has reported progress on the first.
        response.write(body.subarray(0, 25000));
        firstHalfSeen.then(() => response.end(body.subarray(25000)));
      } else if (request.url === '/chunked') {
        response.writeHead(200);
        response.end(body);
      } else if (request.url === '/gzip') {
        const packed = zlib.gzipSync(body);
        response.writeHead(200, { 'content-length': packed.length, 'content-encoding': 'gzip' });
        response.end(packed);
      } else if (request.url === '/cut') {
        response.writeHead(200, { 'content-length': body.length });
        response.write(body.subarray(0, 1000), () => setTimeout(() => response.destroy(), 20));
      } else {
        response.writeHead(404, { 'content-type': 'text/plain' });
        response.end('not here');
      }
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    base = `http://127.0.0.1:${server.address().port}`;
  });
  after(() => new Promise((resolve) => server.close(resolve)));

  const get = (url) => new Promise((resolve, reject) => http.get(url, resolve).on('error', reject));
  const noFetch = typeof fetch !== 'function' && 'no fetch in this Node';

  test('a fetch Response: its size from Content-Length', { skip: noFetch }, async () => {
    const file = destination();
    const fractions = [];
    const progress = (fraction) => {
      fractions.push(fraction);
      if (fraction > 0 && fraction < 1) seeFirstHalf();
    };
    assert.equal(await writeFileFromStream(file, await fetch(`${base}/file`), { progress }), body.length);
    assert.deepEqual(fs.readFileSync(file), body);
    assert.equal(fractions[0], 0);
    assert.equal(fractions.at(-1), 1);
    assert.ok(fractions.some((f) => f > 0 && f <= 0.5), `a fraction between the halves: ${fractions}`);
    assert.deepEqual([...fractions].sort((a, b) => a - b), fractions, 'never going back');
  });

  test('a fetch Response without Content-Length: progress only at the end', { skip: noFetch }, async () => {
    const { fractions, progress } = recorder();
    const file = destination();
    assert.equal(await writeFileFromStream(file, await fetch(`${base}/chunked`), { progress }), body.length);
    assert.deepEqual(fractions, [1]);
  });

  test('a compressed fetch Response: its Content-Length counts other bytes, so the size is unknown', { skip: noFetch }, async () => {
    const { fractions, progress } = recorder();
    const file = destination();
    assert.equal(await writeFileFromStream(file, await fetch(`${base}/gzip`), { progress }), body.length);
    assert.deepEqual(fs.readFileSync(file), body);
    assert.deepEqual(fractions, [1]);
  });

  test('a fetch Response that is not ok: no file, the status named', { skip: noFetch }, async () => {
    const file = destination();
    await assert.rejects(writeFileFromStream(file, await fetch(`${base}/missing`)), { message: 'The server answered 404 Not Found' });
    assert.equal(exists(file), false);
  });

  test('a fetch Response cut off mid-way: rejected, the partial file removed', { skip: noFetch }, async () => {
    const file = destination();
    await assert.rejects(writeFileFromStream(file, await fetch(`${base}/cut`)));
    assert.equal(exists(file), false);
  });

  test('an http response: its status checked, its size from Content-Length', async () => {
    const file = destination();
    const { fractions, progress } = recorder();
    assert.equal(await writeFileFromStream(file, await get(`${base}/file`), { progress }), body.length);
    assert.deepEqual(fs.readFileSync(file), body);
    assert.equal(fractions[0], 0);
    assert.equal(fractions.at(-1), 1);
    const missing = destination();
    await assert.rejects(writeFileFromStream(missing, await get(`${base}/missing`)), { message: 'The server answered 404 Not Found' });
    assert.equal(exists(missing), false);
  });
});

describe('failures remove the file it created, and only that', () => {
  test('a source failing mid-way: rejected with its error, the partial file removed', async () => {
    const file = destination();
    const failure = new Error('connection reset');
    async function* chunks() {
      yield bytes(1000);
      // Reads run ahead of the writes: fail once the first chunk is on disk.
      for (let waited = 0; fs.statSync(file).size < 1000 && waited < 5000; waited += 5) {
        await new Promise((resolve) => setTimeout(resolve, 5));
      }
      assert.equal(fs.statSync(file).size, 1000, 'the first chunk is on disk');
      throw failure;
    }
    await assert.rejects(writeFileFromStream(file, chunks(), { size: 5000 }), (error) => error === failure);
    assert.equal(exists(file), false);
  });

  test('a Node stream destroyed with an error mid-way', async () => {
    const file = destination();
    const source = new Readable({ read() {} });
    source.push(bytes(100));
    // Once the first chunk is written, the stream fails while the next read waits.
    const progress = (fraction) => {
      if (fraction > 0) setImmediate(() => source.destroy(new Error('socket hang up')));
    };
    await assert.rejects(writeFileFromStream(file, source, { size: 1000, progress }), { message: 'socket hang up' });
    assert.equal(exists(file), false);
  });

  test('a Node stream that fails while the file is being opened: a rejection, not an uncaught error', async () => {
    const file = destination();
    const source = new Readable({ read() {} });
    const writing = writeFileFromStream(file, source);
    // The error is emitted in the next tick, before the file has been opened.
    source.destroy(new Error('socket hang up'));
    await assert.rejects(writing, { message: 'socket hang up' });
    assert.equal(exists(file), false);
  });

  test('a chunk that is not bytes: a TypeError, the file removed, the source stopped', async () => {
    const file = destination();
    let stopped = false;
    async function* chunks() {
      try {
        yield bytes(10);
        yield 42;
        yield bytes(10);
      } finally {
        stopped = true;
      }
    }
    await assert.rejects(writeFileFromStream(file, chunks()), TypeError);
    assert.equal(exists(file), false);
    assert.equal(stopped, true);
  });

  test('a progress function that throws fails the write', async () => {
    const file = destination();
    const failure = new Error('progress failed');
    await assert.rejects(
      writeFileFromStream(file, Readable.from([bytes(10)]), { size: 10, progress: (f) => { if (f > 0) throw failure; } }),
      (error) => error === failure,
    );
    assert.equal(exists(file), false);
  });

  test('an existing file at the destination is left untouched, and the source is not read', async () => {
    const file = destination();
    fs.writeFileSync(file, 'the user’s own file');
    let read = false;
    async function* chunks() {
      read = true;
      yield 'overwritten';
    }
    await assert.rejects(writeFileFromStream(file, chunks()), { code: 'EEXIST' });
    assert.equal(fs.readFileSync(file, 'utf8'), 'the user’s own file');
    assert.equal(read, false);
  });

  test('a folder that does not exist: rejected, nothing created', async () => {
    const file = path.join(folder, 'no such folder', 'a.bin');
    await assert.rejects(writeFileFromStream(file, Readable.from([bytes(3)])), { code: 'ENOENT' });
    assert.equal(exists(path.dirname(file)), false);
  });

  test('arguments of the wrong type reject with a TypeError, creating nothing', async () => {
    const file = destination();
    const source = () => Readable.from([bytes(3)]);
    const calls = [
      ['', source()],
      [42, source()],
      // Relative: it would be written under the working directory ('/' in a packaged Mac app).
      [path.relative(process.cwd(), file), source()],
      ['file.bin', source()],
      [file, null],
      [file, 'a string'],
      [file, [bytes(3)]],
      [file, source(), { size: -1 }],
      [file, source(), { size: '3' }],
      [file, source(), { progress: 'yes' }],
      [file, source(), { signal: {} }],
    ];
    for (const args of calls) await assert.rejects(writeFileFromStream(...args), TypeError, JSON.stringify(args.slice(2)));
    assert.equal(exists(file), false);
  });
});

/**
 * A slow disk: every write of the file waits `delay` ms before it starts.
 * Counts the writes begun, and calls `onWrite` as each begins.
 */
async function withSlowDisk(delay, onWrite, body) {
  const { write, writev } = fs;
  const slow = (real) =>
    function slowWrite(...args) {
      onWrite();
      setTimeout(() => real.apply(fs, args), delay);
    };
  fs.write = slow(write);
  fs.writev = slow(writev);
  try {
    return await body();
  } finally {
    fs.write = write;
    fs.writev = writev;
  }
}

describe('a slow disk holds the source back', () => {
  const MiB = 1024 * 1024;
  const chunk = 64 * 1024;
  const total = 24 * MiB;
  const piece = bytes(chunk, 5);
  // How far the source may run ahead of the file: what the helper queues
  // (1 MiB), a Node stream's own buffer, and the write under way.
  const bound = 4 * MiB;

  // Each source records how far it ran ahead of the bytes on disk.
  const sources = [
    ['a Node stream', (state) => new Readable({
      highWaterMark: chunk,
      read() {
        if (state.read >= total) return this.push(null);
        state.read += chunk;
        state.ahead = Math.max(state.ahead, state.read - state.written);
        return this.push(piece);
      },
    })],
    ['an async iterable', (state) => (async function* chunks() {
      while (state.read < total) {
        state.read += chunk;
        state.ahead = Math.max(state.ahead, state.read - state.written);
        yield piece;
      }
    })()],
    ['a web stream', (state) => typeof ReadableStream === 'function' && new ReadableStream({
      pull(controller) {
        if (state.read >= total) return controller.close();
        state.read += chunk;
        state.ahead = Math.max(state.ahead, state.read - state.written);
        return controller.enqueue(new Uint8Array(piece));
      },
    })],
  ];
  for (const [name, make] of sources) {
    test(`${name}: read at most ${bound / MiB} MiB ahead of the disk, the file whole`, async () => {
      const state = { read: 0, written: 0, ahead: 0 };
      const source = make(state);
      if (!source) return;
      const file = destination();
      const progress = (fraction) => { state.written = Math.round(fraction * total); };
      const written = await withSlowDisk(3, () => {}, () => writeFileFromStream(file, source, { size: total, progress }));
      assert.equal(written, total);
      assert.equal(fs.statSync(file).size, total);
      assert.ok(state.ahead <= bound, `read ${state.ahead} bytes ahead of the disk`);
      fs.rmSync(file);
    });
  }
});

describe('abort', { skip: typeof AbortController !== 'function' && 'no AbortController in this Node' }, () => {
  test('an abort while the source is waiting: AbortError at once, the file removed, the stream destroyed', async () => {
    const file = destination();
    const controller = new AbortController();
    const source = new Readable({ read() {} }); // one chunk, then nothing more ever comes
    source.push(bytes(100));
    const fractions = [];
    // Abort once the first chunk is on disk and the source has nothing more to give.
    const progress = (fraction) => {
      fractions.push(fraction);
      if (fraction === 0.1) setImmediate(() => controller.abort());
    };
    const writing = writeFileFromStream(file, source, { size: 1000, progress, signal: controller.signal });
    await assert.rejects(writing, { name: 'AbortError', code: 'ABORT_ERR' });
    assert.equal(exists(file), false);
    assert.equal(source.destroyed, true);
    assert.deepEqual(fractions, [0, 0.1]);
  });

  test('an abort while a write is under way: no write begins after it, the file removed', async () => {
    const file = destination();
    const controller = new AbortController();
    let writes = 0;
    let writesAtAbort = -1;
    const source = new Readable({ read() { this.push(bytes(64 * 1024)); } }); // never ends
    const progress = (fraction) => {
      // The first chunk is on disk; the next write is about to begin.
      if (fraction > 0 && writesAtAbort < 0) {
        setImmediate(() => {
          writesAtAbort = writes;
          controller.abort();
        });
      }
    };
    await withSlowDisk(50, () => writes++, async () => {
      const writing = writeFileFromStream(file, source, { size: 1e9, progress, signal: controller.signal });
      await assert.rejects(writing, { name: 'AbortError' });
      assert.equal(writes, writesAtAbort, 'no write began after the abort');
    });
    assert.equal(exists(file), false);
    assert.equal(source.destroyed, true);
  });

  test('a web stream is cancelled by an abort', { skip: typeof ReadableStream !== 'function' }, async () => {
    const file = destination();
    const controller = new AbortController();
    let cancelled;
    const stream = new ReadableStream({ pull() {}, cancel: (reason) => { cancelled = reason; } });
    const writing = writeFileFromStream(file, stream, { signal: controller.signal });
    setTimeout(() => controller.abort(new Error('the user closed the window')), 10);
    await assert.rejects(writing, (error) => error.name === 'AbortError' && error.cause.message === 'the user closed the window');
    assert.equal(cancelled.name, 'AbortError');
    assert.equal(exists(file), false);
  });

  test('aborted before it starts: nothing created', async () => {
    const file = destination();
    const controller = new AbortController();
    controller.abort();
    await assert.rejects(writeFileFromStream(file, Readable.from([bytes(3)]), { signal: controller.signal }), { name: 'AbortError' });
    assert.equal(exists(file), false);
  });

  test('an abort after the end changes nothing', async () => {
    const file = destination();
    const controller = new AbortController();
    assert.equal(await writeFileFromStream(file, Readable.from([bytes(3)]), { signal: controller.signal }), 3);
    controller.abort();
    await new Promise((resolve) => setImmediate(resolve));
    assert.deepEqual(fs.readFileSync(file), bytes(3));
  });
});

after(() => fs.rmSync(folder, { recursive: true, force: true }));
