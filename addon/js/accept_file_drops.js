'use strict';
// acceptFileDrops: a drop zone over a rectangle of a window that receives what
// other applications drag in: existing files (the Finder) and promised files,
// files that do not exist yet (Mail attachments, photos from Photos, images
// from Safari), which Chromium alone cannot take. Each drop with promised
// files is received into a fresh folder inside the destination.
//
// The native side is a module of its own (kestrovan_file_drops.node), loaded
// the first time a zone is opened, so the package's main module and its eight
// functions stay as they are. Plain JavaScript that loads on Node 14.17.
const EventEmitter = require('events');
const fs = require('fs');
const path = require('path');

/** What one promised file may take when the caller names no timeout: two minutes. */
const DEFAULT_TIMEOUT_MS = 120000;
/** The longest timeout: what a 32-bit signed millisecond count holds (about 24.8 days). */
const LARGEST_TIMEOUT_MS = 2147483647;

let packageNative = null;

/** The package's own drop zones' native module, loaded once. */
function packageNativeModule() {
  if (packageNative === null) packageNative = require(require('./binding').findBinary('kestrovan_file_drops'));
  return packageNative;
}

/**
 * A rectangle of the window's content in points, origin at the top left,
 * y growing down: the page's CSS pixels at zoom 1.
 * @typedef {{ x: number, y: number, width: number, height: number }} ZoneRect
 */

/** A copy of `rect` when it is one (finite numbers, sizes not negative); else a TypeError. */
function checkedRect(rect, where) {
  if (rect === null || typeof rect !== 'object') {
    throw new TypeError(`${where}: rect must be an object { x, y, width, height }`);
  }
  const copy = {};
  for (const key of ['x', 'y', 'width', 'height']) {
    const value = rect[key];
    if (typeof value !== 'number' || !Number.isFinite(value)) {
      throw new TypeError(`${where}: rect.${key} must be a finite number`);
    }
    if ((key === 'width' || key === 'height') && value < 0) {
      throw new TypeError(`${where}: rect.${key} must not be negative`);
    }
    copy[key] = value;
  }
  return copy;
}

/** The options, checked, with the defaults filled in. */
function checkedOptions(options) {
  const where = 'acceptFileDrops';
  if (options === null || typeof options !== 'object') {
    throw new TypeError(`${where}: options must be an object { windowNumber, rect, destination, timeout? }`);
  }
  const { windowNumber = 0, destination, timeout = DEFAULT_TIMEOUT_MS } = options;
  if (!Number.isSafeInteger(windowNumber) || windowNumber < 0) {
    throw new TypeError(`${where}: windowNumber must be an integer of at least 0 (0: the key window)`);
  }
  const rect = checkedRect(options.rect, where);
  if (typeof destination !== 'string' || destination === '' || destination.includes('\0')) {
    throw new TypeError(`${where}: destination must be the absolute path of a folder`);
  }
  if (!path.isAbsolute(destination)) {
    throw new TypeError(`${where}: destination must be an absolute path, not ${JSON.stringify(destination)}`);
  }
  if (typeof timeout !== 'number' || !(timeout > 0) || timeout > LARGEST_TIMEOUT_MS) {
    throw new TypeError(`${where}: timeout must be a number of milliseconds above 0, at most ${LARGEST_TIMEOUT_MS}`);
  }
  let stat;
  try {
    stat = fs.statSync(destination);
  } catch (error) {
    throw new Error(`${where}: destination ${destination} cannot be used: ${error.message}`);
  }
  if (!stat.isDirectory()) throw new Error(`${where}: destination ${destination} is not a folder`);
  return { windowNumber, rect, destination: path.resolve(destination), timeout: Math.ceil(timeout) };
}

/**
 * One item of a drop.
 * @typedef {object} DropItem
 * @property {string} name The file's name: an existing file's own name, or the name the source promises (may be
 *   empty when the source names none; never used as a path).
 * @property {'file' | 'promise'} kind 'file' for an existing file, 'promise' for a promised one.
 * @property {Promise<string>} path An existing file's own path (resolved at once, not copied), or where the
 *   promised file was received inside the drop's folder. Rejects with an Error whose message says why: the
 *   source's error, "timed out after N ms ...", "... outside the drop's folder ..." (removed), or "the drop zone
 *   was closed". Settles exactly once; a rejection nobody observes is not reported as unhandled.
 */

/**
 * @typedef {object} Drop
 * @property {{ x: number, y: number }} point Where it was dropped, in the window content's points (top left).
 * @property {string | null} folder The drop's fresh folder inside the destination ("<destination>/drop-XXXXXX"),
 *   or null when the drop carries no promised file (nothing is made for existing files). Every promised item of
 *   the drop is received into this one folder, under the name its source gives it.
 * @property {DropItem[]} items One entry per dragged item, in the drag's order.
 */

/**
 * @typedef {object} DropProgress
 * @property {string} name The promised file's name (as in its DropItem).
 * @property {Promise<string>} path The same promise as its DropItem's path.
 * @property {number} fraction How much has arrived, from 0 to 1.
 */

const state = new WeakMap();

// The zones open now. When the process exits (process.exit() included, where
// Node runs no environment cleanup of native modules) they are closed quietly
// (nothing is emitted), so a promised file still on its way leaves nothing
// behind in the destination.
const openZones = new Set();
let exitWatched = false;

function closeOpenZonesAtExit() {
  for (const zone of [...openZones]) {
    state.get(zone).quiet = true;
    zone.close();
  }
}

/**
 * A drop zone. Events:
 * - 'enter' (): a drag carrying files or promises came over the zone (the page's own HTML drag events do not
 *   fire over it); every 'enter' is followed by exactly one 'exit' or 'drop'.
 * - 'exit' (): it left without dropping (also when the zone closes while a drag is over it).
 * - 'drop' (drop: Drop): it was dropped.
 * - 'progress' (progress: DropProgress): a promised file's progress, where the source publishes it.
 * - 'close' ({ windowWentAway: boolean }): the zone closed, by close() or because its window went away; the
 *   last event.
 * An open zone is kept alive by the addon until it closes, whether or not you keep it.
 */
class FileDropZone extends EventEmitter {
  /** Made by acceptFileDrops only. */
  constructor(secret) {
    super();
    if (secret !== state) throw new TypeError('use acceptFileDrops() to open a drop zone');
    state.set(this, { native: null, id: 0, closed: false, quiet: false, pending: new Map() });
  }

  /** True once closed (by close() or because its window went away). */
  get closed() {
    return state.get(this).closed;
  }

  /**
   * Moves and resizes the zone.
   * @param {ZoneRect} rect
   * @throws {TypeError} for a bad rectangle. Does nothing once closed.
   */
  setRect(rect) {
    const copy = checkedRect(rect, 'setRect');
    const own = state.get(this);
    if (own.closed) return;
    own.native.setFileDropZoneRect(own.id, copy);
  }

  /** Closes the zone: pending item paths reject with "the drop zone was closed", once. Idempotent. */
  close() {
    const own = state.get(this);
    if (own.closed) return;
    own.native.closeFileDropZone(own.id);
    own.closed = true;
  }
}

/** The event handler the native module calls for `zone`. */
function eventHandler(zone) {
  // The zone is held weakly by nothing here: the native module holds this
  // function until the zone closes, and with it the zone.
  const own = state.get(zone);
  const key = (drop, index) => `${drop}/${index}`;

  function settle(entry, event) {
    if (typeof event.path === 'string') entry.resolve(event.path);
    else entry.reject(new Error(typeof event.error === 'string' && event.error !== '' ? event.error : 'the file was not received'));
  }

  const emit = (...args) => {
    if (!own.quiet) zone.emit(...args);
  };

  return (event) => {
    switch (event.type) {
      case 'enter':
      case 'exit':
        emit(event.type);
        return;
      case 'drop': {
        const items = event.items.map((item, index) => {
          if (item.kind !== 'promise') return { name: item.name, kind: 'file', path: Promise.resolve(item.path) };
          let resolve;
          let reject;
          const promise = new Promise((res, rej) => {
            resolve = res;
            reject = rej;
          });
          // Nobody need await it: a rejection is still seen by the caller's own handlers.
          promise.catch(() => {});
          own.pending.set(key(event.drop, index), { name: item.name, promise, resolve, reject });
          return { name: item.name, kind: 'promise', path: promise };
        });
        emit('drop', { point: { x: event.x, y: event.y }, folder: event.folder, items });
        return;
      }
      case 'settled': {
        const entry = own.pending.get(key(event.drop, event.index));
        if (!entry) return;
        own.pending.delete(key(event.drop, event.index));
        settle(entry, event);
        return;
      }
      case 'progress': {
        const entry = own.pending.get(key(event.drop, event.index));
        if (!entry) return;
        emit('progress', { name: entry.name, path: entry.promise, fraction: event.fraction });
        return;
      }
      case 'closed': {
        own.closed = true;
        openZones.delete(zone);
        // The native side settled every item before; anything left is answered here, once.
        const left = [...own.pending.values()];
        own.pending.clear();
        for (const entry of left) settle(entry, { error: 'the drop zone was closed' });
        emit('close', { windowWentAway: event.windowWentAway === true });
        return;
      }
      default:
    }
  };
}

/**
 * Makes acceptFileDrops over a drop zones' native module: `loadNative` is
 * asked for it when the first zone opens (the package's own finds its binary;
 * a test passes the build's under test).
 */
function createAcceptFileDrops(loadNative) {
  let native = null;
  /**
   * Opens a drop zone over `options.rect` of a window.
   * @param {object} options
   * @param {number} [options.windowNumber=0] The window's number (windowNumberOf(browserWindow)); 0 is the key
   *   window (else the main window).
   * @param {ZoneRect} options.rect Where the zone lies over the window's content. Finite numbers, width and
   *   height not negative.
   * @param {string} options.destination An absolute path of an existing folder. Each drop carrying promised
   *   files is received into a fresh folder inside it ("<destination>/drop-XXXXXX").
   * @param {number} [options.timeout=120000] Milliseconds one promised file may take to arrive; after that its
   *   path rejects and whatever was received of it is removed. Above 0, at most 2147483647.
   * @returns {FileDropZone}
   * @throws {TypeError} for invalid options (a relative or empty destination, a bad rect or timeout, ...).
   * @throws {Error} when there is no such window, the destination is not a folder, or the native module is
   *   missing.
   */
  return function acceptFileDrops(options) {
    const checked = checkedOptions(options);
    if (native === null) native = loadNative();
    const zone = new FileDropZone(state);
    const own = state.get(zone);
    own.native = native;
    const answer = native.openFileDropZone(
      {
        windowNumber: checked.windowNumber,
        ...checked.rect,
        destination: checked.destination,
        timeoutMs: checked.timeout,
      },
      eventHandler(zone),
    );
    if (typeof answer !== 'number') {
      own.closed = true;
      throw new Error(`acceptFileDrops: ${typeof answer === 'string' ? answer : 'the zone could not be opened'}`);
    }
    own.id = answer;
    openZones.add(zone);
    if (!exitWatched) {
      exitWatched = true;
      process.on('exit', closeOpenZonesAtExit);
    }
    return zone;
  };
}

/** The package's acceptFileDrops (see createAcceptFileDrops). */
const acceptFileDrops = createAcceptFileDrops(packageNativeModule);

module.exports = { acceptFileDrops, createAcceptFileDrops, FileDropZone, DEFAULT_TIMEOUT_MS };
