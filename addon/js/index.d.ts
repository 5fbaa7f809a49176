// Type declarations for kestrovan-file-promise-drag.
//
// Every native function answers with a boolean and never throws of its own (an
// exception thrown by one of your callbacks while the addon is calling it
// still reaches you). Call them only from the Electron main process's main
// thread. The helpers written on them in JavaScript (startFileDrag,
// writeFileFromStream, at the end) each say what they throw or reject with.

/** One promised file or folder of a drag. */
export interface PromiseDragItem {
  /** Your identifier of this file; never empty. Sent back with its write request. */
  promiseId: string;
  /** Exactly "file" or "directory" (case-sensitive). */
  kind: 'file' | 'directory';
  /**
   * The file or folder name the drop target creates, given to it unchanged.
   * It must be one file name: not empty, not "." or "..", no "/", no control
   * character, at most 255 bytes in UTF-8; otherwise the item is invalid and
   * the drag refused. Its extension gives the promised file type (a dynamic
   * type conforming to public.data when macOS knows none; public.data without
   * an extension); a "directory" is always public.folder.
   */
  suggestedName: string;
  /**
   * Path of an existing local copy. When given (and not empty) the item is
   * dragged as that file and no write request is ever made for it. The path
   * is not checked: never pass one that came from the page without checking it
   * against your own cache.
   */
  filePath?: string;
}

/** The request passed to startPromiseDrag. */
export interface PromiseDragRequest {
  /** Identifier of this drag; non-empty. Sent back with every write request; not checked for uniqueness. */
  sessionId: string;
  /** At least one item. A readonly array is fine: the addon only reads it. */
  items: readonly PromiseDragItem[];
  /** The source window's number; the key window (then the main window) when absent or unknown. */
  windowNumber?: number;
  /** An image file shown as the drag icon; the system icon of the first item's type when absent, empty or unreadable. */
  iconPath?: string;
  /**
   * Called once when the drag ends (dropped or cancelled). Absent or
   * undefined: nothing is called; anything else that is not a function
   * refuses the drag.
   */
  onEnded?: PromiseDragEndedCallback;
}

/** How a drag ended, as onEnded receives it. */
export interface PromiseDragEnded {
  /**
   * The drag operation the drop was accepted with: 1 (copy) when a drop
   * target took it, 0 when nothing accepted the drop (cancelled, or dropped
   * where nothing takes files). Promised writes may still be requested and
   * completed after this.
   */
  operation: number;
  /** Where the drag ended, in screen coordinates with the origin at the bottom left of the primary display, y up (not Electron's top-left). */
  screenPoint: { x: number; y: number };
}

/**
 * Called once, with `this` undefined, when the drag's session ends: after the
 * "dragging session ended" log line, and never after the environment that
 * started the drag has ended. Its result is ignored. It is let go of right
 * after its call (or with the drag, when the drag never ends). An exception it
 * throws becomes an uncaught exception of the process and changes nothing
 * else. It may call the other exports.
 */
export type PromiseDragEndedCallback = (ended: PromiseDragEnded) => void;

/** What your write callback receives when a drop target asks for a promised file. */
export interface PromiseWriteRequest {
  /** The drag's sessionId, as passed to startPromiseDrag. */
  sessionId: string;
  /** The item's promiseId. */
  promiseId: string;
  /** Where to write the file (or create the folder): the name the drop target chose, which may differ from suggestedName. */
  destinationPath: string;
  /** The item's kind: create a file, or a folder with its contents. */
  destinationKind: 'file' | 'directory';
  /** An upper-case UUID. Pass it to updatePromiseWriteProgress while writing and, once, to completePromiseWrite. */
  completionToken: string;
}

/**
 * Called with `this` undefined, in a later turn of the main queue, for each
 * promised file a drop target asks for; its result is ignored (so an async
 * function is accepted, but a rejection of its promise is not seen by the
 * addon: complete the token with an error yourself). The write stays
 * open (the drop target waits) until you complete its token. A callback that
 * throws becomes an uncaught exception of the process, and the drop target is
 * told the write failed ("NATIVE_DOWNLOAD_PROMISE_CALLBACK_FAILED").
 */
export type PromiseWriteCallback = (request: PromiseWriteRequest) => void;

/**
 * Called at most once per arming, with no arguments and `this` undefined, when
 * the cursor leaves the armed window's content view with the left button held.
 * Its result is ignored.
 */
export type WindowExitCallback = () => void;

/**
 * Called with `this` undefined on the release of mouse button 3 ("back") or 4
 * ("forward") and on a horizontal swipe (positive deltaX "back", negative
 * "forward"). Return exactly `true` to consume the event; anything else lets it
 * pass. The answer is needed synchronously: an async function (whose promise
 * is never `true`) is rejected by this type. An exception it throws lets the
 * event pass and becomes an uncaught exception of the process.
 */
export type NavigationCallback = (direction: 'back' | 'forward') => boolean | void;

/**
 * Asks the system to play the haptic alignment feedback now. False, with
 * nothing played, off the main thread or while the application is not active.
 * No throttling: every true is one request.
 */
export function performAlignmentFeedback(): boolean;

/**
 * Installs, once for the process, the monitor that sends scroll-wheel events
 * over the window's drag regions to the frontmost visible web view under the
 * cursor (exactly once) and drops them from normal dispatch. True while installed.
 */
export function installDragRegionScrollForwarding(): boolean;

/**
 * Arms a one-shot trigger: `callback` runs synchronously when a left drag of
 * the window leaves its content view (at once, before this returns, when the
 * cursor is already outside). A `windowNumber` that names no window, or is not
 * a number, means the key window, then the main window. Releasing the left
 * button anywhere, disarmPromiseDrag, or a new arming cancels it without
 * calling it. Called from inside the callback, startPromiseDrag begins the drag
 * from the crossing event.
 *
 * True when armed or fired at once. False when the left button is not held,
 * there is no window with a content view, or the arguments are wrong (an
 * earlier arming then stays armed; otherwise every call cancels it first).
 */
export function armPromiseDragOnWindowExit(windowNumber: number, callback: WindowExitCallback): boolean;

/** Cancels any arming without calling its callback. Always true. */
export function disarmPromiseDrag(): boolean;

/**
 * Sets an open write's published progress from a fraction: clamped to 0...1,
 * then times 1000 units, rounded half away from zero; it may go down again. NaN
 * is ignored (the count stays). True when an open write holds the token (also
 * for NaN); false for a completed or unknown token, an empty token, or a
 * fraction that is not a number. Writes no log line.
 */
export function updatePromiseWriteProgress(completionToken: string, fractionCompleted: number): boolean;

/**
 * Begins a drag of promised files while the left button is held, showing one
 * badged image for all items and offering the copy operation. True once the
 * drag has begun; false (keeping nothing, with one log line saying why) for a
 * missing or empty sessionId, items that are not a non-empty array of valid
 * items, an onEnded that is present but not a function, no source window with
 * a content view, the left button not held, or no event to begin the drag
 * with. The write callback is kept until the drag has ended and its writes are
 * complete.
 */
export function startPromiseDrag(request: PromiseDragRequest, writeCallback: PromiseWriteCallback): boolean;

/**
 * Ends an open write, once: success without a message (or with an empty one,
 * or anything that is not a string), or a failure whose message the drop
 * target receives as the error's description (code 1). The progress is then
 * finished (at its total on success) and withdrawn. True when an open write
 * held the token; false for a token already completed or never issued.
 */
export function completePromiseWrite(completionToken: string, errorMessage?: string | null): boolean;

/**
 * Registers the navigation callback, replacing and releasing an earlier one,
 * and installs its monitor once for the process. Exactly one argument, a
 * function: anything else is false and keeps the earlier callback. True while
 * the monitor is installed.
 */
export function installNavigationEventMonitor(callback: NavigationCallback): boolean;

// ---- Helpers written on the eight functions ---------------------------------

/**
 * The AbortSignal of this runtime's declarations (the DOM's or @types/node's);
 * a minimal shape where neither is declared.
 */
export type WriterAbortSignal = typeof globalThis extends { AbortSignal: { prototype: infer S } }
  ? S
  : { readonly aborted: boolean; addEventListener(type: 'abort', listener: () => void): void; removeEventListener(type: 'abort', listener: () => void): void };

/** What startFileDrag's writer receives for each promised file a drop target asks for. */
export interface FileWrite {
  /** The drag's sessionId, as passed to startFileDrag. */
  sessionId: string;
  /** The item's promiseId. */
  promiseId: string;
  /** The item's kind: create a file at destinationPath, or a folder there with its contents. */
  kind: 'file' | 'directory';
  /** Where to write: the name the drop target chose, which may differ from suggestedName ("report 2.pdf"). */
  destinationPath: string;
  /** The item's suggestedName, as it was when startFileDrag was called. */
  suggestedName: string;
  /**
   * Reports the write's progress (a fraction, 0...1) through
   * updatePromiseWriteProgress. True when taken; false, doing nothing, once the
   * write is complete or for a fraction that is not a number.
   */
  progress: (fraction: number) => boolean;
  /**
   * Aborted when the write can no longer be answered (a progress report found
   * that the addon answered it itself, as it does when the drag session goes
   * away). Undefined where the runtime has no AbortController (Node 14).
   */
  signal: WriterAbortSignal | undefined;
}

/**
 * Writes one promised file (or folder). Return a promise (an async function
 * does): its fulfilment completes the write with success, its rejection
 * completes it with a failure whose message is the error's. Any other value is
 * success at once.
 */
export type FileWriter = (write: FileWrite) => unknown;

/**
 * Begins a drag as startPromiseDrag does, with the same request, and answers
 * what it answers. Each write request is handed to `writer`, called with
 * `this` undefined; the write is completed exactly once when the writer's
 * promise settles: success when it fulfils, a failure with the error's message
 * when it rejects or the writer throws (a rejection with no message, or an
 * empty one, fails with "The file could not be written."). No rejection is
 * left unhandled. Remove a partial file yourself (writeFileFromStream does).
 *
 * Throws a TypeError, starting nothing, when `writer` is not a function.
 */
export function startFileDrag(request: PromiseDragRequest, writer: FileWriter): boolean;

/** A web ReadableStream of bytes, as far as writeFileFromStream reads it. */
export interface ByteStreamReaderSource {
  getReader(): { read(): Promise<{ done: boolean; value?: unknown }>; cancel(reason?: unknown): Promise<void> };
}

/** A fetch Response (or one shaped like it), as far as writeFileFromStream reads it. */
export interface ResponseSource {
  readonly ok: boolean;
  readonly status: number;
  readonly statusText?: string;
  readonly headers: { get(name: string): string | null };
  readonly body: ByteStreamReaderSource | AsyncIterable<unknown> | null;
}

/**
 * What writeFileFromStream reads: a Node readable stream (an http response
 * included: its status is checked and its Content-Length is its size), any
 * async iterable of chunks, a web ReadableStream, or a fetch Response. Chunks
 * are Buffers, other Uint8Arrays or ArrayBuffer views, ArrayBuffers, or strings
 * (written as UTF-8).
 */
export type WriteSource = AsyncIterable<unknown> | ByteStreamReaderSource | ResponseSource;

export interface WriteFileOptions {
  /**
   * Called with the fraction written (0...1), each time it changes, when the
   * size is known; with 1 once the file is complete (whatever the size). Pass
   * a FileWrite's `progress` to show it on the drop target.
   */
  progress?: ((fraction: number) => unknown) | null;
  /** Aborts the write: the file is removed and the promise rejects with an AbortError. */
  signal?: { readonly aborted: boolean; addEventListener(type: 'abort', listener: () => void, options?: { once?: boolean }): void; removeEventListener(type: 'abort', listener: () => void): void } | null;
  /**
   * The number of bytes to expect. Otherwise a Response's (or http
   * response's) Content-Length, unless a content coding makes it count other
   * bytes than the body gives. With no size known, progress is reported only
   * at the end.
   */
  size?: number | null;
}

/**
 * Writes one new file at `destinationPath` from `source`, and resolves with
 * the number of bytes written. The file is created exclusively: a file already
 * there is left untouched and the promise rejects (EEXIST). On any failure (the
 * source fails, a response is not ok, a chunk is not bytes, the disk is full,
 * `progress` throws, the signal aborts) the file it created is removed and the
 * promise rejects with the error. A response that is not ok fails with "The
 * server answered <status> <statusText>". Arguments of the wrong type, and a
 * destination that is not an absolute path, reject with a TypeError.
 */
export function writeFileFromStream(destinationPath: string, source: WriteSource, options?: WriteFileOptions): Promise<number>;

/** What `windowNumberOf` reads a window number from: an Electron BrowserWindow has it. */
export interface MediaSourceWindow {
  /** "window:<id>:<n>"; on macOS <id> is the NSWindow's windowNumber. */
  getMediaSourceId(): string;
}

/**
 * The window number of an Electron BrowserWindow, for the functions above that
 * take one: the id in its `getMediaSourceId()` ("window:<id>:<n>"), which on
 * macOS is the NSWindow's windowNumber. 0 (so the key window is used) when it
 * cannot tell: null or undefined (no window), the method throws (a destroyed
 * window), or the text is not of that shape or its id not a window id (1 to
 * 4294967295). Never throws. Pass the window itself, not its `id`: a number
 * does not compile, and at run time answers 0 with a process warning (once).
 */
export function windowNumberOf(browserWindow: MediaSourceWindow | null | undefined): number;

/**
 * A rectangle of a window's content in points, origin at the top left, y
 * growing down: the page's CSS pixels at zoom 1. Finite numbers; width and
 * height not negative.
 */
export interface ZoneRect {
  x: number;
  y: number;
  width: number;
  height: number;
}

export interface AcceptFileDropsOptions {
  /** The window's number (windowNumberOf(browserWindow)); 0 or absent: the key window, else the main window. */
  windowNumber?: number;
  /** Where the zone lies over the window's content. */
  rect: ZoneRect;
  /**
   * An absolute path of an existing folder. Each drop carrying promised files
   * is received into a fresh folder inside it ("<destination>/drop-XXXXXX").
   */
  destination: string;
  /**
   * Milliseconds one promised file may take to arrive (default 120000, at
   * most 2147483647); after that its path rejects and whatever was received
   * of it is removed.
   */
  timeout?: number;
}

/** One item of a drop. */
export interface DropItem {
  /** An existing file's own name, or the name the source promises (may be empty; never used as a path). */
  readonly name: string;
  readonly kind: 'file' | 'promise';
  /**
   * An existing file's own path (resolved at once, not copied), or where the
   * promised file was received inside the drop's folder. Rejects with an Error
   * saying why: the source's error, "timed out after N ms ...", "... outside
   * the drop's folder ..." (removed), or "the drop zone was closed". Settles
   * exactly once; a rejection nobody observes is not reported as unhandled.
   */
  readonly path: Promise<string>;
}

export interface Drop {
  /** Where it was dropped, in the window content's points (top left). */
  readonly point: { readonly x: number; readonly y: number };
  /**
   * The drop's fresh folder inside the destination, or null when it carries
   * no promised file. Every promised item of the drop is received into this
   * one folder, under the name its source gives it.
   */
  readonly folder: string | null;
  /** One entry per dragged item, in the drag's order. */
  readonly items: readonly DropItem[];
}

export interface DropProgress {
  readonly name: string;
  /** The same promise as its DropItem's path. */
  readonly path: Promise<string>;
  /** How much has arrived, from 0 to 1. */
  readonly fraction: number;
}

/**
 * A drop zone (a Node EventEmitter). An open zone is kept alive by the addon
 * until it closes, whether or not you keep it.
 */
export interface FileDropZone {
  /**
   * 'enter': a drag carrying files came over the zone (the page's own HTML
   * drag events do not fire over it); each is followed by exactly one 'exit'
   * or 'drop'. 'exit': it left without dropping (also when the zone closes
   * under it). 'drop': it was dropped. 'progress': a promised file's progress,
   * where the source publishes it. 'close': the zone closed (close(), or its
   * window went away); the last event.
   */
  on(event: 'enter' | 'exit', listener: () => void): this;
  on(event: 'drop', listener: (drop: Drop) => void): this;
  on(event: 'progress', listener: (progress: DropProgress) => void): this;
  on(event: 'close', listener: (closed: { windowWentAway: boolean }) => void): this;
  once(event: 'enter' | 'exit', listener: () => void): this;
  once(event: 'drop', listener: (drop: Drop) => void): this;
  once(event: 'progress', listener: (progress: DropProgress) => void): this;
  once(event: 'close', listener: (closed: { windowWentAway: boolean }) => void): this;
  off(event: 'enter' | 'exit' | 'drop' | 'progress' | 'close', listener: (...args: any[]) => void): this;
  removeListener(event: 'enter' | 'exit' | 'drop' | 'progress' | 'close', listener: (...args: any[]) => void): this;
  removeAllListeners(event?: 'enter' | 'exit' | 'drop' | 'progress' | 'close'): this;
  /** Moves and resizes the zone. Throws a TypeError for a bad rectangle; does nothing once closed. */
  setRect(rect: ZoneRect): void;
  /** Closes it: pending item paths reject with "the drop zone was closed", once. Idempotent. */
  close(): void;
  /** True once closed (by close() or because its window went away). */
  readonly closed: boolean;
}

/**
 * Opens a drop zone over `options.rect` of a window, receiving existing and
 * promised files (Mail attachments, photos, Safari images) dragged in from
 * other applications. Throws a TypeError for invalid options, an Error when
 * there is no such window, the destination is not a folder, or the native
 * module is missing.
 */
export function acceptFileDrops(options: AcceptFileDropsOptions): FileDropZone;
