'use strict';
// A stand-in for your file server, so the example runs without one: a local
// HTTP server on 127.0.0.1 that serves four made-up files slowly enough for
// the Finder's progress to be seen, one of them without a known size and one
// that breaks off halfway. The catalogue it answers is what the main process
// knows of each file; the page never sees a URL.
const crypto = require('crypto');
const http = require('http');

const CHUNK = 64 * 1024;

// Deterministic bytes of a given length, different for each name.
function contents(name, length) {
  const out = Buffer.alloc(length);
  let block = crypto.createHash('sha256').update(name).digest();
  for (let offset = 0; offset < length; offset += block.length) {
    block.copy(out, offset);
    block = crypto.createHash('sha256').update(block).digest();
  }
  return out;
}

const FILES = [
  {
    id: 'field-notes',
    name: 'Field notes.txt',
    body: () =>
      Buffer.from(
        Array.from({ length: 400 }, (_, i) => `Line ${i + 1}: a promised file, written only when it was dropped.`).join('\n') +
          '\n',
      ),
  },
  { id: 'survey', name: 'Survey archive.zip', body: () => contents('survey', 6 * 1024 * 1024) },
  { id: 'recording', name: 'Recording.raw', body: () => contents('recording', 2 * 1024 * 1024), unknownSize: true },
  { id: 'interrupted', name: 'Interrupted.pdf', body: () => contents('interrupted', 4 * 1024 * 1024), breaksOff: true },
];

/** Sends `body` in chunks, one every `interval` ms; stops halfway when `breaksOff`. */
function serve(response, body, { unknownSize, breaksOff, interval }) {
  response.writeHead(200, {
    'Content-Type': 'application/octet-stream',
    ...(unknownSize ? {} : { 'Content-Length': String(body.length) }),
  });
  let offset = 0;
  const step = () => {
    if (response.destroyed) return;
    if (breaksOff && offset >= body.length / 2) {
      response.destroy(); // the connection breaks: the download fails
      return;
    }
    if (offset >= body.length) {
      response.end();
      return;
    }
    response.write(body.subarray(offset, offset + CHUNK));
    offset += CHUNK;
    setTimeout(step, interval);
  };
  step();
}

/**
 * Starts the server; resolves with { origin, catalogue, close() }. Each
 * catalogue entry is { id, name, url, size } (size null when unknown).
 */
function startRemoteFiles({ interval = 40 } = {}) {
  const bodies = new Map(FILES.map((file) => [file.id, { ...file, bytes: file.body() }]));
  const server = http.createServer((request, response) => {
    const id = decodeURIComponent(request.url.replace(/^\/files\//, ''));
    const file = bodies.get(id);
    if (request.method !== 'GET' || !file) {
      response.writeHead(404).end();
      return;
    }
    serve(response, file.bytes, { ...file, interval });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      server.unref(); // never keeps the app alive
      const origin = `http://127.0.0.1:${server.address().port}`;
      resolve({
        origin,
        catalogue: FILES.map((file) => ({
          id: file.id,
          name: file.name,
          url: `${origin}/files/${encodeURIComponent(file.id)}`,
          size: file.unknownSize ? null : bodies.get(file.id).bytes.length,
        })),
        close: () =>
          new Promise((done) => {
            server.close(() => done());
            if (server.closeAllConnections) server.closeAllConnections(); // idle keep-alive connections too
          }),
      });
    });
  });
}

module.exports = { startRemoteFiles };
