// Fixtures shared by the drag suites: a clean desktop with no drag running and
// no session registered, a window with the left button held, and watching
// JavaScript functions for garbage collection.
import { addon, desktop, logMessages } from './helpers.mjs';

/**
 * Ends every running drag (cancelled), lets their sessions retire, disarms the
 * window-exit trigger and resets the desktop. Every session ever begun in a
 * suite has its drag ended here, so none stays registered.
 */
export function cleanDesktop() {
  desktop.setLogEcho(false);
  desktop.endAllDrags();
  desktop.runFor(31);
  addon.disarmPromiseDrag();
  desktop.reset();
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
