'use strict';
// writeFileFromStream: writes one new file from a Node readable stream, an
// async iterable of byte chunks, a web ReadableStream or a fetch Response,
// reporting progress from a known size, and removes the file it created when
// anything fails. Plain JavaScript that loads on Node 14.17: no web streams,
// fetch or AbortController are needed unless the caller brings them.
const fs = require('fs');
const path = require('path');

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
 * What to read. A Node stream, { stream, size }, is read as `pipe` reads it:
 * its 'data' events, paused while the file is behind. Anything else, { next,
 * cancel, size }, is pulled a chunk at a time while the file has room. Throws
 * for a source that is none of the kinds taken or a response that is not ok.
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
    if (source.body === null || source.body === undefined) return { next: endOfSource, cancel() {}, size: size === undefined ? 0 : size };
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
    return { next: () => reader.read(), cancel: (reason) => reader.cancel(reason), size };
  }

  // A Node readable stream, read by its events.
  if (isNodeReadable(source)) return { stream: source, size };

  // Any other async iterable (its iterator ended early).
  if (typeof source[Symbol.asyncIterator] === 'function') {
    const iterator = source[Symbol.asyncIterator]();
    const cancel = () => (typeof iterator.return === 'function' ? iterator.return() : undefined);
    return { next: () => iterator.next(), cancel, size };
  }
  throw new TypeError('writeFileFromStream: the source must be a stream, an async iterable or a Response');
}

const isNodeReadable = (source) =>
  typeof source.pipe === 'function' &&
  typeof source.on === 'function' &&
  typeof source.pause === 'function' &&
  typeof source.resume === 'function' &&
  typeof source.destroy === 'function' &&
  typeof source.removeListener === 'function';

const endOfSource = () => Promise.resolve({ done: true, value: undefined });

/** A chunk as bytes: a Buffer, another Uint8Array or ArrayBuffer view, an ArrayBuffer, or a string (UTF-8). */
function bytesOf(chunk) {
  if (Buffer.isBuffer(chunk)) return chunk;
  if (typeof chunk === 'string') return Buffer.from(chunk, 'utf8');
  if (ArrayBuffer.isView(chunk)) return Buffer.from(chunk.buffer, chunk.byteOffset, chunk.byteLength);
  if (chunk instanceof ArrayBuffer) return Buffer.from(chunk);
  throw new TypeError(`writeFileFromStream: a chunk of the source is not bytes (${chunk === null ? 'null' : typeof chunk})`);
}

// How far reading may run ahead of the disk: chunks waiting for the file, by
// bytes and by count (one write takes them all). Beyond it a Node stream is
// paused and other sources are not pulled, so a slow disk holds back the
// source instead of the body piling up in memory.
const aheadBytes = 1024 * 1024;
const aheadChunks = 1024;

/**
 * Writes `chunks` in full at the file's position: one write, or one gathered
 * write, and again for whatever a short write left.
 */
function writeAll(fd, chunks, length, done) {
  const wrote = (error, count) => {
    if (error) return done(error);
    if (count >= length) return done(null);
    if (!(count > 0)) return done(new Error('writeFileFromStream: the file took no bytes'));
    let skip = count;
    const rest = [];
    for (const chunk of chunks) {
      if (skip >= chunk.length) skip -= chunk.length;
      else {
        rest.push(skip > 0 ? chunk.subarray(skip) : chunk);
        skip = 0;
      }
    }
    writeAll(fd, rest, length - count, done);
  };
  if (chunks.length === 1) fs.write(fd, chunks[0], 0, length, null, wrote);
  else fs.writev(fd, chunks, null, wrote);
}

/**
 * Writes `source` to a new file at `destinationPath` (never over an existing
 * one); resolves with the number of bytes written.
 */
async function writeFileFromStream(destinationPath, source, options) {
  const { progress, signal, size: givenSize } = options === undefined || options === null ? {} : options;
  if (typeof destinationPath !== 'string' || !path.isAbsolute(destinationPath)) {
    throw new TypeError('writeFileFromStream: the destination must be an absolute path');
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
  return new Promise((resolve, reject) => write(destinationPath, opened, givenSize, progress, signal, resolve, reject));
}

/**
 * The write itself: the file is opened, then the source read into it, reads
 * running ahead of the writes by up to `aheadBytes`. The first failure (the
 * source's, the file's, a chunk that is not bytes, `progress` throwing, an
 * abort) stops the source and the writing at once, and once a write under way
 * has returned, closes and removes the file and rejects.
 */
function write(destinationPath, opened, givenSize, progress, signal, resolve, reject) {
  const size = givenSize !== undefined && givenSize !== null ? givenSize : opened.size;
  const stream = opened.stream;
  let lastFraction = -1;
  const report = (fraction) => {
    if (!progress || fraction === lastFraction) return;
    lastFraction = fraction;
    progress(fraction);
  };

  let fd = null; // the file, once open
  let failure = null; // the first failure, once one came
  let settled = false;
  let ended = false; // the source has given its last chunk
  let writing = false; // a write of the file is under way
  let queue = []; // chunks read and not yet written
  let queued = 0; // their bytes
  let written = 0;
  let paused = false; // the Node stream, paused here
  let wakePuller = null; // the pulling loop, waiting for room
  const room = () => queued < aheadBytes && queue.length < aheadChunks;

  let aborted = false;
  const onAbort = () => {
    aborted = true;
    fail(abortError(signal));
  };
  if (signal) signal.addEventListener('abort', onAbort, { once: true });
  const stopWaiting = () => {
    if (signal) signal.removeEventListener('abort', onAbort);
  };

  // A Node stream is heard from the start: an error while the file is still
  // being opened (a connection reset) is this write's failure, not an uncaught
  // one. The listeners go once it has been read to its end; after a failure they
  // stay, for the destroyed stream may still report one.
  let stopListening = () => {};
  if (stream) {
    const onEnd = () => sourceEnded();
    const onError = (error) => fail(error);
    const onClose = () => {
      if (!ended) fail(Object.assign(new Error('Premature close'), { code: 'ERR_STREAM_PREMATURE_CLOSE' }));
    };
    // An http response cut off, on Node versions that then end it as if whole.
    const onAborted = () => fail(Object.assign(new Error('aborted'), { code: 'ECONNRESET' }));
    stream.on('end', onEnd);
    stream.on('error', onError);
    stream.on('close', onClose);
    stream.on('aborted', onAborted);
    stopListening = () => {
      stream.removeListener('end', onEnd);
      stream.removeListener('error', onError);
      stream.removeListener('close', onClose);
      stream.removeListener('aborted', onAborted);
      stream.removeListener('data', onData);
    };
  }

  function onData(chunk) {
    if (!take(chunk) && failure === null && !paused) {
      paused = true;
      stream.pause();
    }
  }

  /** Queues a chunk read; answers whether there is room for more. */
  function take(chunk) {
    if (failure !== null) return false;
    let bytes;
    try {
      bytes = bytesOf(chunk);
    } catch (error) {
      fail(error);
      return false;
    }
    if (bytes.length > 0) {
      queue.push(bytes);
      queued += bytes.length;
      if (!writing) writeQueued();
    }
    return room();
  }

  function sourceEnded() {
    if (failure !== null || ended) return;
    ended = true;
    if (!writing) writeQueued();
  }

  /** Writes every chunk queued in one go; once the source has ended and all is written, closes the file. */
  function writeQueued() {
    if (queue.length === 0) {
      if (ended) closeFinished();
      return;
    }
    const chunks = queue;
    const length = queued;
    queue = [];
    queued = 0;
    writing = true;
    writeAll(fd, chunks, length, (error) => {
      writing = false;
      if (error && failure === null) return fail(error);
      if (error || (failure !== null && aborted)) return settleFailure();
      // What reached the disk is reported, also when the source failed meanwhile.
      try {
        for (const chunk of chunks) {
          written += chunk.length;
          if (size > 0) report(Math.min(written / size, 1));
        }
      } catch (thrown) {
        if (failure === null) return fail(thrown);
      }
      if (failure !== null) return settleFailure();
      writeQueued();
      readMore();
      return undefined;
    });
    readMore();
  }

  /** Lets the source go on once there is room again. */
  function readMore() {
    if (failure !== null || !room()) return;
    if (paused) {
      paused = false;
      stream.resume();
    } else if (wakePuller !== null) {
      const wake = wakePuller;
      wakePuller = null;
      wake();
    }
  }

  async function pull() {
    try {
      while (failure === null && !ended) {
        if (!room()) {
          await new Promise((wake) => {
            wakePuller = wake;
          });
          continue;
        }
        const step = await opened.next();
        if (failure !== null) return;
        if (step.done) sourceEnded();
        else take(step.value);
      }
    } catch (error) {
      fail(error);
    }
  }

  function closeFinished() {
    const closing = fd;
    fd = null;
    fs.close(closing, (error) => {
      if (error) return removeAndReject(error);
      stopListening();
      try {
        report(1);
      } catch (thrown) {
        return removeAndReject(thrown);
      }
      settled = true;
      stopWaiting();
      resolve(written);
      return undefined;
    });
  }

  /**
   * The first failure: the source is stopped and nothing more is written at
   * once; the write under way, if any, returns first (its bytes reported, but
   * for an abort), then the file is closed and removed, and the promise rejects.
   */
  function fail(error) {
    if (failure !== null || settled) return;
    failure = error;
    queue = [];
    queued = 0;
    if (stream) stream.removeListener('data', onData);
    closeQuietly(opened, error);
    if (wakePuller !== null) wakePuller();
    if (fd === null) return; // opening, or closing the finished file: that callback settles
    if (!writing) settleFailure();
  }

  function settleFailure() {
    closeAfterFailure();
    removeAndReject(failure);
  }

  function closeAfterFailure() {
    if (fd === null) return;
    const closing = fd;
    fd = null;
    fs.close(closing, () => {});
  }

  function removeAndReject(error) {
    settled = true;
    stopWaiting();
    fs.unlink(destinationPath, () => reject(error));
  }

  // Exclusive: a file already at the destination is never written over, nor removed.
  fs.open(destinationPath, 'wx', (error, descriptor) => {
    if (error) {
      settled = true;
      stopWaiting();
      if (failure === null) closeQuietly(opened, error);
      failure = error;
      reject(error);
      return;
    }
    fd = descriptor;
    if (failure !== null) {
      closeAfterFailure();
      removeAndReject(failure);
      return;
    }
    try {
      if (size > 0) report(0);
    } catch (thrown) {
      fail(thrown);
      return;
    }
    if (failure !== null) return;
    if (stream) {
      stream.on('data', onData);
      stream.resume();
    } else {
      pull();
    }
  });
}

/** Stops reading a source that will not be read to its end. */
function closeQuietly(opened, reason) {
  try {
    const stopped = opened.stream ? opened.stream.destroy() : opened.cancel(reason);
    if (stopped && typeof stopped.then === 'function') stopped.then(undefined, () => {});
  } catch (_) {
    // A source that cannot be cancelled is left to its owner.
  }
}

module.exports = { writeFileFromStream };
