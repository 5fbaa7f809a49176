// Fixtures shared by the drag suites: a clean desktop with no drag running and
// no session registered, a window with the left button held, watching
// JavaScript functions for garbage collection, and drags whose write requests
// are collected.
import { tempFolder } from '../../scripts/test/temp_folders.mjs';
import { addon, desktop, logMessages } from './helpers.mjs';

// Tokens handed to write callbacks of startWatchedDrag; cleanDesktop
// completes those a test left open, so no session outlives its test.
const issuedTokens = new Set();

/**
 * Ends every running drag (cancelled), lets their sessions retire, disarms the
 * window-exit trigger and resets the desktop. Every session ever begun in a
 * suite has its drag ended here, so none stays registered.
 */
export function cleanDesktop() {
  desktop.setLogEcho(false);
  for (const token of issuedTokens) addon.completePromiseWrite(token);
  issuedTokens.clear();
  desktop.endAllDrags();
  desktop.runFor(31);
  addon.disarmPromiseDrag();
  desktop.reset();
  desktop.clearDropOutcomes();
  desktop.clearProgressHistory();
}

/**
 * Window 101 at (100, 100), 800 x 600, key and main, with the mouse at screen
 * (400, 400), which is (300, 300) in the window, and the left button held (no
 * event sent). Returns the window number.
 */
export function windowWithButtonHeld({ frame = { x: 100, y: 100, width: 800, height: 600 }, ...rest } = {}) {
  const number = desktop.createWindow({ number: 101, frame, key: true, main: true, ...rest }).number;
  desktop.moveMouse(400, 400);
  desktop.setPressedButtons(1);
  return number;
}

/** Log messages (tag removed) written since `mark` (a previous length). */
export function messagesSince(mark) {
  return logMessages().slice(mark);
}

/** Tracks functions by name until the garbage collector has taken them. */
export class Collected {
  #alive = new Set();
  #registry = new FinalizationRegistry((name) => this.#alive.delete(name));

  /** A new function registered under `name`; keep no other reference to it. */
  fn(name, body = () => {}) {
    const f = (...args) => body(...args);
    this.#alive.add(name);
    this.#registry.register(f, name);
    return f;
  }

  has(name) {
    return !this.#alive.has(name);
  }

  get alive() {
    return [...this.#alive];
  }
}

export const threeItems = [
  { promiseId: 'p1', kind: 'file', suggestedName: 'report.pdf' },
  { promiseId: 'p2', kind: 'directory', suggestedName: 'photos.zip' },
  { promiseId: 'p3', kind: 'file', suggestedName: 'notes.txt', filePath: '/tmp/kestrovan-cached/notes.txt' },
];

/** A fresh empty directory under the system's temporary folder, removed when the suite's process exits. */
export function tempDirectory(prefix = 'kestrovan-drop-') {
  return tempFolder(prefix);
}

/**
 * Starts a drag (the left button must be held) whose write requests are
 * collected in `writes`, each with the `this` it was called with; `onWrite`
 * runs for each. Returns { started, writes, drag } with the desktop's drag.
 */
export function startWatchedDrag(sessionId, items, onWrite = () => {}) {
  const writes = [];
  const started = addon.startPromiseDrag({ sessionId, items }, function (request, ...rest) {
    issuedTokens.add(request.completionToken);
    writes.push({ request, self: this, extra: rest.length });
    return onWrite(request);
  });
  return { started, writes, drag: desktop.drags().at(-1) };
}

/** The published or withdrawn progress of a destination path. */
export function progressOf(destinationPath) {
  const escaped = [...Buffer.from(destinationPath)]
    .map((b) => (/[A-Za-z0-9\/\-_.~]/.test(String.fromCharCode(b)) ? String.fromCharCode(b) : `%${b.toString(16).toUpperCase().padStart(2, '0')}`))
    .join('');
  const url = `file://${escaped}`;
  const found = desktop.progresses().filter((p) => p.fileURL === url);
  if (found.length !== 1) throw new Error(`${found.length} progress objects for ${destinationPath}`);
  return found[0];
}

export const uuidPattern = /^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$/;
