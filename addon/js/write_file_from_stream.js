'use strict';
// writeFileFromStream: writes one new file from a Node readable stream, an
// async iterable of byte chunks, a web ReadableStream or a fetch Response,
// reporting progress from a known size, and removes the file it created when
// anything fails. Plain JavaScript that loads on Node 14.17: no web streams,
// fetch or AbortController are needed unless the caller brings them.
const fs = require('fs');

/** An error shaped as Node's own AbortError, carrying the signal's reason as its cause. */
function abortError(signal) {
  const error = new Error('The operation was aborted');
  error.name = 'AbortError';
  error.code = 'ABORT_ERR';
  if (signal.reason !== undefined) error.cause = signal.reason;
  return error;
}

const isObject = (value) => value !== null && (typeof value === 'object' || typeof value === 'function');

/** A Content-Length that counts the bytes the body gives: a whole number, and no content coding in between. */
function lengthFrom(length, encoding) {
  if (encoding !== undefined && encoding !== null && String(encoding).trim().toLowerCase() !== 'identity') return undefined;
  if (typeof length !== 'string' || !/^\s*\d+\s*$/.test(length)) return undefined;
  const size = Number(length);
  return Number.isSafeInteger(size) ? size : undefined;
}

/**
 * What to read: { chunks: async iterator, cancel(reason), size }. Throws for a
 * source that is none of the kinds taken or a response that is not ok.
 */
function openSource(source) {
  if (!isObject(source)) throw new TypeError('writeFileFromStream: the source must be a stream, an async iterable or a Response');

  // A fetch Response (or one shaped like it): its body, its size from Content-Length.
  if (typeof source.ok === 'boolean' && isObject(source.headers) && typeof source.headers.get === 'function' && 'body' in source) {
    if (!source.ok) {
      const statusText = typeof source.statusText === 'string' && source.statusText !== '' ? ` ${source.statusText}` : '';
      throw new Error(`The server answered ${source.status}${statusText}`);
    }
    const size = lengthFrom(source.headers.get('content-length'), source.headers.get('content-encoding'));
    if (source.body === null || source.body === undefined) return { chunks: emptyChunks(), cancel() {}, size: size === undefined ? 0 : size };
    return { ...openSource(source.body), size };
  }

  // Node's http.IncomingMessage: a readable stream with the response's status and headers.
  let size;
  if (typeof source.statusCode === 'number' && isObject(source.headers) && typeof source.pipe === 'function') {
    if (source.statusCode < 200 || source.statusCode > 299) {
      if (typeof source.resume === 'function') source.resume();
      const statusText = typeof source.statusMessage === 'string' && source.statusMessage !== '' ? ` ${source.statusMessage}` : '';
      throw new Error(`The server answered ${source.statusCode}${statusText}`);
    }
    size = lengthFrom(source.headers['content-length'], source.headers['content-encoding']);
  }

  // A web ReadableStream: read through its reader (async iteration of web streams came late).
  if (typeof source.getReader === 'function') {
    const reader = source.getReader();
    return { chunks: { next: () => reader.read() }, cancel: (reason) => reader.cancel(reason), size };
  }

  // A Node readable stream (destroyed when it will not be read to its end, even
  // while a read waits) or any async iterable (its iterator ended early).
  if (typeof source[Symbol.asyncIterator] === 'function') {
    const iterator = source[Symbol.asyncIterator]();
    const isNodeStream = typeof source.pipe === 'function' && typeof source.on === 'function';
    const cancel = () => {
      if (isNodeStream && typeof source.destroy === 'function') return source.destroy();
      return typeof iterator.return === 'function' ? iterator.return() : undefined;
    };
    if (!isNodeStream) return { chunks: iterator, cancel, size };
    // Node's iterator listens for 'error' only from its first read, and the
    // file is opened before that: an error meanwhile (a connection reset while
    // the disk is slow) would be thrown as uncaught. This listener hears it
    // from the start; it is removed once the stream has been read to its end,
    // and kept after a failure, when the destroyed stream may still report one.
    let stopListening;
    const failed = new Promise((_, reject) => {
      source.on('error', reject);
      stopListening = () => source.removeListener('error', reject);
    });
    failed.catch(() => {});
    return { chunks: iterator, cancel, size, failed, stopListening };
  }
  throw new TypeError('writeFileFromStream: the source must be a stream, an async iterable or a Response');
}

function emptyChunks() {
  return { next: () => Promise.resolve({ done: true, value: undefined }) };
}

/** A chunk as bytes: a Buffer, another Uint8Array or ArrayBuffer view, an ArrayBuffer, or a string (UTF-8). */
function bytesOf(chunk) {
  if (Buffer.isBuffer(chunk)) return chunk;
  if (typeof chunk === 'string') return Buffer.from(chunk, 'utf8');
  if (ArrayBuffer.isView(chunk)) return Buffer.from(chunk.buffer, chunk.byteOffset, chunk.byteLength);
  if (chunk instanceof ArrayBuffer) return Buffer.from(chunk);
  throw new TypeError(`writeFileFromStream: a chunk of the source is not bytes (${chunk === null ? 'null' : typeof chunk})`);
}

/**
 * Writes `source` to a new file at `destinationPath` (never over an existing
 * one); resolves with the number of bytes written.
 */
async function writeFileFromStream(destinationPath, source, options) {
  const { progress, signal, size: givenSize } = options === undefined || options === null ? {} : options;
  if (typeof destinationPath !== 'string' || destinationPath === '') {
    throw new TypeError('writeFileFromStream: the destination must be a non-empty path');
  }
  if (progress !== undefined && progress !== null && typeof progress !== 'function') {
    throw new TypeError('writeFileFromStream: progress must be a function');
  }
  if (givenSize !== undefined && givenSize !== null && !(typeof givenSize === 'number' && givenSize >= 0 && Number.isFinite(givenSize))) {
    throw new TypeError('writeFileFromStream: size must be a non-negative number of bytes');
  }
  if (signal !== undefined && signal !== null && !(isObject(signal) && typeof signal.addEventListener === 'function')) {
    throw new TypeError('writeFileFromStream: signal must be an AbortSignal');
  }
  if (signal && signal.aborted) throw abortError(signal);

  const opened = openSource(source);
  const size = givenSize !== undefined && givenSize !== null ? givenSize : opened.size;
  let lastFraction = -1;
  const report = (fraction) => {
    if (!progress || fraction === lastFraction) return;
    lastFraction = fraction;
    progress(fraction);
  };

  // Settles when the signal aborts; its rejection is always handled (by the race or below).
  let stopWaiting;
  const aborted = new Promise((_, reject) => {
    stopWaiting = () => {};
    if (!signal) return;
    const onAbort = () => reject(abortError(signal));
    signal.addEventListener('abort', onAbort, { once: true });
    stopWaiting = () => signal.removeEventListener('abort', onAbort);
  });
  aborted.catch(() => {});

  // What cuts a wait for the source short: an abort, a Node stream's error.
  const waits = [];
  if (signal) waits.push(aborted);
  if (opened.failed) waits.push(opened.failed);

  let handle;
  let written = 0;
  let finished = false;
  try {
    // Exclusive: a file already at the destination is never written over, nor removed.
    handle = await fs.promises.open(destinationPath, 'wx');
  } catch (error) {
    stopWaiting();
    closeQuietly(opened, error);
    throw error;
  }
  try {
    if (size > 0) report(0);
    for (;;) {
      // Only the wait for the source is cut short (by an abort, or a Node
      // stream's error); a write to the file finishes first.
      const step = await (waits.length > 0 ? Promise.race([opened.chunks.next(), ...waits]) : opened.chunks.next());
      if (step.done) break;
      const bytes = bytesOf(step.value);
      for (let offset = 0; offset < bytes.length; ) {
        const { bytesWritten } = await handle.write(bytes, offset, bytes.length - offset);
        offset += bytesWritten;
      }
      if (signal && signal.aborted) throw abortError(signal);
      written += bytes.length;
      if (size > 0) report(Math.min(written / size, 1));
    }
    finished = true;
    const closing = handle;
    handle = undefined;
    await closing.close();
    if (opened.stopListening) opened.stopListening();
    report(1);
    return written;
  } catch (error) {
    if (!finished) closeQuietly(opened, error);
    if (handle) await handle.close().catch(() => {});
    await fs.promises.unlink(destinationPath).catch(() => {});
    throw error;
  } finally {
    stopWaiting();
  }
}

/** Stops reading a source that will not be read to its end. */
function closeQuietly(opened, reason) {
  try {
    Promise.resolve(opened.cancel(reason)).catch(() => {});
  } catch (_) {
    // A source that cannot be cancelled is left to its owner.
  }
}

module.exports = { writeFileFromStream };
