// Benchmark: writeFileFromStream against Node's own way of writing a body to a
// new file, stream.pipeline(source, fs.createWriteStream(path, { flags: 'wx' })),
// side by side in one run: for every kind of source, at 64 KiB and 1 MiB
// chunks, the two are run alternately (each goes first in every other round)
// and the medians of their times compared.
//
//   node addon/bench/write_file_from_stream.mjs [--quick] [--mib N] [--rounds N] [--helper FILE]
//
// --helper measures another copy of write_file_from_stream.js (an earlier
// version's, for a before-and-after).
// The helper is called as a writer calls it: with a progress function and an
// AbortSignal. HTTP bodies come from a server of the bench's own, on
// 127.0.0.1 only. Files are written to a temporary folder and removed after
// each write (outside the timing). Default: a 64 MiB body, 11 rounds (about a
// minute on a loaded 2-core machine); --quick: 16 MiB, 5 rounds.
import fs from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { pipeline } from 'node:stream/promises';

const require = createRequire(import.meta.url);
const args = process.argv.slice(2);
const helperAt = args.indexOf('--helper');
const { writeFileFromStream } = require(
  helperAt >= 0 ? path.resolve(args[helperAt + 1]) : '../js/write_file_from_stream.js',
);

const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at >= 0 && at + 1 < args.length ? Number(args[at + 1]) : fallback;
};
const quick = args.includes('--quick');
const MiB = 1024 * 1024;
const total = option('--mib', quick ? 16 : 64) * MiB;
const rounds = option('--rounds', quick ? 5 : 11);
const chunkSizes = [64 * 1024, MiB];
const goal = 1.05;

const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-write-bench-'));
const localFile = path.join(folder, 'source.bin');
const pattern = Buffer.alloc(MiB, 0);
for (let i = 0; i < pattern.length; i++) pattern[i] = (i * 31 + 7) & 0xff;
{
  const fd = fs.openSync(localFile, 'w');
  for (let written = 0; written < total; written += MiB) fs.writeSync(fd, pattern, 0, Math.min(MiB, total - written));
  fs.closeSync(fd);
}

// GET /?chunk=N answers the body in writes of N bytes, waiting for 'drain' as a
// server under load does.
const server = http.createServer((request, response) => {
  const chunk = Number(new URL(request.url, 'http://127.0.0.1').searchParams.get('chunk'));
  response.writeHead(200, { 'content-length': total, 'content-type': 'application/octet-stream' });
  let sent = 0;
  const more = () => {
    while (sent < total) {
      const length = Math.min(chunk, total - sent);
      const piece = length === MiB ? pattern : pattern.subarray(0, length);
      sent += length;
      if (sent >= total) return response.end(piece);
      if (!response.write(piece)) return response.once('drain', more);
    }
    return undefined;
  };
  more();
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}/`;
const agent = new http.Agent({ keepAlive: true });
const get = (chunk) =>
  new Promise((resolve, reject) => http.get(`${base}?chunk=${chunk}`, { agent }, resolve).on('error', reject));

function* pieces(chunk) {
  for (let sent = 0; sent < total; sent += chunk) {
    const length = Math.min(chunk, total - sent);
    yield length === MiB ? pattern : pattern.subarray(0, length);
  }
}

// Each kind makes a fresh source of the body; the same source object goes to
// the helper or, for the pipeline, to stream.pipeline.
const kinds = [
  ['http response', (chunk) => get(chunk)],
  ['fs.createReadStream', (chunk) => fs.createReadStream(localFile, { highWaterMark: chunk })],
  [
    'async iterable',
    (chunk) =>
      (async function* body() {
        yield* pieces(chunk);
      })(),
  ],
  [
    'web ReadableStream',
    (chunk) => {
      const iterator = pieces(chunk);
      return new ReadableStream({
        pull(controller) {
          const step = iterator.next();
          if (step.done) controller.close();
          else controller.enqueue(step.value);
        },
      });
    },
  ],
  ['fetch Response', (chunk) => fetch(`${base}?chunk=${chunk}`)],
].filter(([name]) => (name === 'fetch Response' ? typeof fetch === 'function' : name !== 'web ReadableStream' || typeof ReadableStream === 'function'));

let serial = 0;
async function timeOne(way, make, chunk) {
  const file = path.join(folder, `out-${++serial}.bin`);
  const source = await make(chunk);
  let reports = 0;
  const start = process.hrtime.bigint();
  if (way === 'helper') {
    const controller = new AbortController();
    const written = await writeFileFromStream(file, source, { progress: () => reports++, signal: controller.signal, size: total });
    if (written !== total || reports < 2) throw new Error(`the helper wrote ${written} bytes, ${reports} reports`);
  } else {
    await pipeline(typeof source.arrayBuffer === 'function' ? source.body : source, fs.createWriteStream(file, { flags: 'wx' }));
  }
  const elapsed = Number(process.hrtime.bigint() - start);
  if (fs.statSync(file).size !== total) throw new Error(`${way}: ${file} is short`);
  fs.unlinkSync(file);
  return elapsed;
}

// Per round and case, the two ways run back to back, so each pair shares the
// machine's load of the moment: the figure is the median of the pairs' ratios.
const samples = new Map(); // `${kind}/${chunk}` -> [{ helper, pipeline }]
for (let round = 0; round <= rounds; round++) {
  for (const [name, make] of kinds) {
    for (const chunk of chunkSizes) {
      const ways = (round + serial) % 2 === 0 ? ['helper', 'pipeline'] : ['pipeline', 'helper'];
      const pair = {};
      for (const way of ways) pair[way] = await timeOne(way, make, chunk);
      if (round === 0) continue; // warm-up
      const key = `${name}/${chunk}`;
      if (!samples.has(key)) samples.set(key, []);
      samples.get(key).push(pair);
    }
  }
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const rate = (ns) => (total / MiB / (ns / 1e9)).toFixed(0);
console.log(`writeFileFromStream against stream.pipeline(source, fs.createWriteStream(path, { flags: 'wx' }))`);
console.log(
  `${total / MiB} MiB body, ${rounds} rounds, the two run back to back in alternating order; ` +
    `× pipeline is the median of the rounds' ratios; goal: at most ${goal} ×`,
);
console.log('source               | chunk    | helper MiB/s | pipeline MiB/s | × pipeline | goal');
let allMet = true;
for (const [name] of kinds) {
  for (const chunk of chunkSizes) {
    const pairs = samples.get(`${name}/${chunk}`);
    const ratio = median(pairs.map((pair) => pair.helper / pair.pipeline));
    const met = ratio <= goal;
    allMet &&= met;
    console.log(
      `${name.padEnd(20)} | ${(chunk >= MiB ? `${chunk / MiB} MiB` : `${chunk / 1024} KiB`).padEnd(8)} | ` +
        `${rate(median(pairs.map((pair) => pair.helper))).padStart(12)} | ` +
        `${rate(median(pairs.map((pair) => pair.pipeline))).padStart(14)} | ${ratio.toFixed(2).padStart(10)} | ${met ? 'met' : 'NOT met'}`,
    );
  }
}
console.log(`goal (every source, every chunk size: at most ${goal} × the pipeline): ${allMet ? 'met' : 'NOT met'}`);

agent.destroy();
server.close();
fs.rmSync(folder, { recursive: true, force: true });
