'use strict';
// acceptFileDrops: a drop zone over a rectangle of a window that receives what
// other applications drag in: existing files (the Finder) and promised files,
// files that do not exist yet (Mail attachments, photos from Photos, images
// from Safari), which Chromium alone cannot take. Each drop is received into a
// fresh folder inside the destination.
//
// The native side is a module of its own (kestrovan_file_drops.node), loaded
// the first time a zone is opened, so the package's main module and its eight
// functions stay as they are.
const EventEmitter = require('events');

/**
 * A rectangle of the window's content in points, origin at the top left,
 * y growing down: the page's CSS pixels at zoom 1.
 * @typedef {{ x: number, y: number, width: number, height: number }} ZoneRect
 */

/**
 * @typedef {object} AcceptFileDropsOptions
 * @property {number} windowNumber The window's number (windowNumberOf(browserWindow)); 0 is the key window.
 * @property {ZoneRect} rect Where the zone lies over the window's content. Finite numbers, width and height not negative.
 * @property {string} destination An absolute path of an existing folder. Each drop is received into a fresh
 *   folder inside it ("<destination>/drop-XXXXXX").
 * @property {number} [timeout=120000] Milliseconds one promised file may take to arrive; after that its path
 *   rejects and whatever was received of it is removed. A positive finite number.
 */

/**
 * One item of a drop.
 * @typedef {object} DropItem
 * @property {string} name The file's name: an existing file's own name, or the name the source promises (may be
 *   empty when the source names none; never used as a path).
 * @property {'file' | 'promise'} kind 'file' for an existing file, 'promise' for a promised one.
 * @property {Promise<string>} path An existing file's own path (resolved at once, not copied), or where the
 *   promised file was received inside the drop's folder. Rejects with an Error whose message says why: the
 *   source's error, "timed out after N ms ...", "... outside the drop's folder" (removed), or "the drop zone was
 *   closed". Settles exactly once; an unobserved rejection is not reported as unhandled.
 */

/**
 * @typedef {object} Drop
 * @property {{ x: number, y: number }} point Where it was dropped, in the window content's points (top left).
 * @property {string | null} folder The drop's fresh folder inside the destination ("<destination>/drop-XXXXXX"),
 *   or null when the drop carries no promised file (nothing is made for existing files). Each promised item is
 *   received into a folder of its own inside it, named by its place in the drop: "<folder>/1/<name>", ...
 * @property {DropItem[]} items One entry per dragged item, in the drag's order.
 */

/**
 * @typedef {object} DropProgress
 * @property {string} name The promised file's name (as in its DropItem).
 * @property {Promise<string>} path The same promise as its DropItem's path.
 * @property {number} fraction How much has arrived, from 0 to 1.
 */

/**
 * A drop zone. Events:
 * - 'enter' (): a drag carrying files or promises came over the zone (the page's own HTML drag events do not
 *   fire over it); every 'enter' is followed by exactly one 'exit' or 'drop'.
 * - 'exit' (): it left without dropping.
 * - 'drop' (drop: Drop): it was dropped.
 * - 'progress' (progress: DropProgress): a promised file's progress, where the source publishes it.
 * Nothing is emitted after the zone closes; an item's path still settles (rejected if it was pending).
 */
class FileDropZone extends EventEmitter {
  /** True once closed (by close() or because its window went away). */
  get closed() {
    return true;
  }

  /**
   * Moves and resizes the zone.
   * @param {ZoneRect} rect
   * @throws {TypeError} for a bad rectangle. Does nothing once closed.
   */
  setRect(rect) {
    void rect;
  }

  /** Closes the zone: pending item paths reject with "the drop zone was closed", once. Idempotent. */
  close() {}
}

/**
 * Opens a drop zone over `options.rect` of a window.
 * @param {AcceptFileDropsOptions} options
 * @returns {FileDropZone}
 * @throws {TypeError} for invalid options (a relative or empty destination, a bad rect or timeout, ...).
 * @throws {Error} when there is no such window, the destination is not a folder, or the native module is missing.
 */
function acceptFileDrops(options) {
  void options;
  throw new Error('acceptFileDrops: not built yet');
}

module.exports = { acceptFileDrops, FileDropZone };
