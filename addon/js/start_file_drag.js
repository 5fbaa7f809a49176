'use strict';
// startFileDrag: startPromiseDrag with a write callback of its own, which hands
// each write request to an async writer, reports the writer's progress and
// completes the write's token exactly once when the writer's promise settles
// (or the writer throws). Built on the native functions only; plain JavaScript
// that loads on Node 14.17 (where AbortController may be absent).
const path = require('path');

/** Said to the drop target when a writer fails with nothing to say. */
const UNNAMED_FAILURE = 'The file could not be written.';

/** The failure message for what a writer threw or rejected with: never empty. */
function failureMessage(reason) {
  try {
    if (typeof reason === 'string' && reason !== '') return reason;
    if (reason !== null && (typeof reason === 'object' || typeof reason === 'function')) {
      const message = reason.message;
      if (typeof message === 'string' && message !== '') return message;
    }
  } catch (_) {
    // A message getter that throws says nothing usable.
  }
  return UNNAMED_FAILURE;
}

/** promiseId -> suggestedName, from the request's items as they are now; first item wins. */
function suggestedNames(request) {
  const names = new Map();
  try {
    const items = request !== null && typeof request === 'object' ? request.items : undefined;
    if (!Array.isArray(items)) return names;
    for (let i = 0; i < items.length; i++) {
      const item = items[i];
      if (item === null || typeof item !== 'object') continue;
      const { promiseId, suggestedName } = item;
      if (typeof promiseId === 'string' && typeof suggestedName === 'string' && !names.has(promiseId)) {
        names.set(promiseId, suggestedName);
      }
    }
  } catch (_) {
    // An item the helper cannot read: startPromiseDrag judges the request.
  }
  return names;
}

/**
 * Makes startFileDrag over a native module's startPromiseDrag,
 * updatePromiseWriteProgress and completePromiseWrite.
 */
function createStartFileDrag(native) {
  const { startPromiseDrag, updatePromiseWriteProgress, completePromiseWrite } = native;

  function serve(write, names, writer) {
    const { sessionId, promiseId, destinationPath, destinationKind, completionToken } = write;
    const controller = typeof AbortController === 'function' ? new AbortController() : undefined;
    let open = true;

    // The one place the token is completed: undefined message is success.
    const finish = (message) => {
      if (!open) return;
      open = false;
      completePromiseWrite(completionToken, message);
    };
    // The addon answered the write itself (its session went away): nobody waits any more.
    const abandon = () => {
      if (!open) return;
      open = false;
      if (controller) controller.abort();
    };
    const progress = (fraction) => {
      if (!open || typeof fraction !== 'number') return false;
      if (updatePromiseWriteProgress(completionToken, fraction)) return true;
      abandon();
      return false;
    };

    const suggestedName = names.has(promiseId) ? names.get(promiseId) : path.basename(destinationPath);
    let result;
    try {
      result = writer.call(undefined, {
        sessionId,
        promiseId,
        kind: destinationKind,
        destinationPath,
        suggestedName,
        progress,
        signal: controller ? controller.signal : undefined,
      });
    } catch (error) {
      finish(failureMessage(error));
      return;
    }
    // Promise.resolve also takes a thenable (a then getter that throws is a rejection);
    // both handlers are attached, so no rejection goes unhandled.
    Promise.resolve(result).then(
      () => finish(undefined),
      (error) => finish(failureMessage(error)),
    );
  }

  /**
   * Begins a drag as startPromiseDrag does, answering what it answers, and
   * serves its write requests with `writer`.
   */
  return function startFileDrag(request, writer) {
    if (typeof writer !== 'function') {
      throw new TypeError(`startFileDrag: the writer must be a function (got ${writer === null ? 'null' : typeof writer})`);
    }
    const names = suggestedNames(request);
    return startPromiseDrag(request, (write) => {
      serve(write, names, writer);
    });
  };
}

module.exports = { createStartFileDrag };
