// The desktop driver: what the addon's shared node suites need of a desktop,
// as one small interface with two implementations, picked from what the build
// folder (KESTROVAN_BUILD_DIR) holds:
//   'sim'     addon/kestrovan_desktop_sim_control.node  -> ./sim_driver.mjs
//             (the simulated desktop, wherever the sim builds: Linux)
//   'appkit'  addon/kestrovan_appkit_test_driver.node   -> ./appkit_driver.mjs
//             (real AppKit through a test-only addon and a receiver program,
//             built on macOS only, never shipped)
// Suites import { addon, driver, driverKind } from here; sim-only suites (in
// test/sim/) use the control module itself, `simOnly` (null under AppKit).
// Each implementation module exports `createDriver({ buildDir, addonDir })`,
// resolving to its driver; the AppKit one also has `canPostRealEvents`
// (CGPreflightPostEventAccess()).
//
// Conventions, the same on both desktops:
// - Every operation that touches the desktop is async: AppKit needs its main
//   run loop pumped while it works; the sim resolves at once (or after its
//   main queue ran).
// - Points in events are window-content points, origin at the content's top
//   left, y growing down (a page's CSS pixels at zoom 1). Window frames are
//   screen points, origin at the top left of the main display. Each driver
//   converts to its desktop's own (AppKit: bottom-left) spaces.
// - A case that needs what a driver cannot give asks `driver.whyNot(need)` and
//   calls `t.skip(reason)` with the answer: it never passes silently.
//
// The interface (JSDoc types below, checked by nothing but the suites):
//
// interface DesktopDriver {
//   readonly kind: 'sim' | 'appkit';
//
//   /** Why this desktop cannot give `need`, or null when it can. Needs:
//    *  'systemMouse' - the system's mouse state follows posted mouse events:
//    *     NSEvent.mouseLocation and pressedMouseButtons, which the addon reads
//    *     to arm the window-exit trigger and to start a drag. sim: always.
//    *     appkit: only where the process may post events
//    *     (CGPreflightPostEventAccess()), postMouse then moving the real mouse
//    *     (CGEventPost); otherwise postMouse posts NSEvents alone
//    *     (postEvent:atStart:), which monitors see but the system state does
//    *     not follow.
//    *  'drag' - a drag begun from posted events runs, with its promises on the
//    *     drag pasteboard, until endDrag (implies 'systemMouse').
//    *  'incomingDrag' - another application's drag can be moved over a window
//    *     and dropped (dragFilesInto). sim: always. appkit: it takes a real
//    *     mouse drag from another process, so only where events can be posted. */
//   whyNot(need: 'systemMouse' | 'drag' | 'incomingDrag'): string | null;
//
//   // ---- Windows
//   /** Makes a window whose content rectangle is `frame` (screen points, top
//    *  left; a driver may add a title bar outside it), ordered front, and key
//    *  and main unless `key` is false. Its content view is a plain view filling
//    *  the content; with `webView` the content view holds one view of class
//    *  RenderWidgetHostViewCocoa (the host's web view, as Electron's) over
//    *  `webView.frame` (content points, top left), which records every
//    *  scrollWheel: it receives. In each of `webView.dragRegions` (the web
//    *  view's points, top left) hit-testing yields the content view, as the
//    *  host's drag regions do, so normal dispatch does not reach the web view
//    *  there. Resolves to the window number (NSWindow.windowNumber, what
//    *  BrowserWindow.getNativeWindowHandle leads to). */
//   createWindow(o: { frame: Rect, key?: boolean,
//                     webView?: { frame: Rect, dragRegions?: Rect[] } }): Promise<number>;
//   /** Makes the window key (and main) and the application active. */
//   makeKey(windowNumber: number): Promise<void>;
//   closeWindow(windowNumber: number): Promise<void>;
//   /** How many scrollWheel: calls the window's web view received since it was
//    *  made, by normal dispatch or sent to it directly (0 without a web view). */
//   webViewScrolls(windowNumber: number): Promise<number>;
//
//   // ---- Events, delivered as the application's event queue delivers them:
//   // through the local monitors, then to the window's views. Resolve once the
//   // event was dispatched (monitors ran).
//   /** A mouse event at content point (x, y) of the window. 'down'/'up' of
//    *  `button` ('left' by default; 'other' with `buttonNumber`, 2 middle,
//    *  3 back, 4 forward); 'dragged' is a left-mouse-dragged event (the left
//    *  button held); 'moved' moves the mouse with no button. Where the system
//    *  mouse follows (whyNot('systemMouse') is null), the mouse location and
//    *  held buttons change with it; a left 'up' while a drag runs goes to the
//    *  drag, not to the window. Points outside the content are allowed (a drag
//    *  leaving the window). */
//   postMouse(windowNumber: number, e: { type: 'down'|'up'|'dragged'|'moved',
//             button?: 'left'|'right'|'other', buttonNumber?: number,
//             x: number, y: number, clickCount?: number }): Promise<void>;
//   /** A scroll-wheel event at content point (x, y) of the window; deltas
//    *  in lines (deltaX 0 and deltaY -1 when absent). The suites check where
//    *  it went, not how far. */
//   postScroll(windowNumber: number, e: { x: number, y: number,
//             deltaX?: number, deltaY?: number }): Promise<void>;
//
//   // ---- The main queue and time
//   /** Resolves once what was queued for the main queue by now (blocks the
//    *  addon queued, posted events) has run. */
//   settle(): Promise<void>;
//   /** Lets `seconds` pass for delayed main-queue blocks (sim: advances its
//    *  virtual clock, running blocks as they fall due; appkit: waits in real
//    *  time, pumping the run loop). Suites keep these short under AppKit. */
//   wait(seconds: number): Promise<void>;
//
//   // ---- The drop target
//   /** Acts as the Finder does after a drop on `folder` (which must exist):
//    *  asks for every promised file of the running drag (or the latest one)
//    *  through its file promises (appkit: a separate receiver process reading
//    *  NSFilePromiseReceivers from the drag pasteboard), and resolves once each
//    *  promise was answered, with one entry per answer the drop target saw, in
//    *  the promises' order: { fileName, path, error } where `fileName` is the
//    *  destination's name in `folder`, `path` the destination's absolute path
//    *  on success (null on failure), `error` the failure's localized
//    *  description (null on success). A promise answered twice appears twice.
//    *  The drag keeps running (end it with endDrag). Rejects, never hangs,
//    *  after `timeoutMs` (default 20000) saying what it found (for instance
//    *  "the drag pasteboard holds no file promises", or which promises were
//    *  not answered). Cached files (items with a filePath) are copied by the
//    *  target and answered like the rest. */
//   receivePromisedFiles(folder: string, o?: { timeoutMs?: number }):
//     Promise<Array<{ fileName: string, path: string | null, error: string | null }>>;
//   /** Ends the running drag as the user releasing the button would: with
//    *  the copy operation when `dropped`, else cancelled. Resolves once the
//    *  source heard of the end (the addon's "dragging session ended" line). */
//   endDrag(o?: { dropped?: boolean }): Promise<void>;
//   /** Watches the progress published on the file or folder at `path` (the
//    *  Finder's +[NSProgress addSubscriberForFileURL:withPublishingHandler:]);
//    *  call it before the write starts. history(): the fractions seen
//    *  (completed / total, 0..1) in order; published(): one was published;
//    *  withdrawn(): it was unpublished after being published. stop() ends the
//    *  watching. */
//   watchProgress(path: string): { history(): number[], published(): boolean,
//                                  withdrawn(): boolean, stop(): void };
//
//   // ---- Drags from other applications into a window
//   /** Another application drags `items` over the window along `path`
//    *  (content points, top left; the first point is where it comes in), then
//    *  drops at the last point when `drop` is true, else leaves the window
//    *  without dropping. Items: { kind: 'file', path } (an existing file, as
//    *  the Finder drags it) or { kind: 'promise', name, contents?, delayMs?,
//    *  error?, never?, progress? } (a promised file, as Mail's: its source
//    *  writes `contents` (default empty) when asked, after `delayMs` (default
//    *  0), or fails with `error`, or never answers; `progress` lists fractions
//    *  it publishes on the way). Delays run on the desktop's time (wait()).
//    *  Resolves once the drop (or the leaving) was delivered, with what the
//    *  window's web contents received of this drag, in order:
//    *  { webContents: [{ type: 'enter'|'move'|'exit'|'drop', x, y,
//    *  items: [{ kind, name, path }] }] } (path null for a promise). */
//   dragFilesInto(windowNumber: number, o: { items: IncomingItem[],
//                 path: Point[], drop?: boolean }):
//     Promise<{ webContents: WebContentsDragEvent[] }>;
//
//   // ---- What the addon shows
//   /** The addon's diagnostic lines since the last reset, oldest first, with
//    *  the "[KestrovanNativeFilePromise] " tag removed (throws on a line that
//    *  lacks it). */
//   logMessages(): string[];
//   /** The drag image of the latest drag (the first dragging item's image) as
//    *  PNG bytes, or null when no drag began. Any scale: 64 x 64 points may be
//    *  64, 128 or 256 pixels square. */
//   latestDragImagePng(): Promise<Uint8Array | null>;
//
//   // ---- Lifetime
//   /** Puts the desktop back as it started: running drags cancelled, windows
//    *  closed, the log cleared. Safe to call twice. The addon's own state
//    *  (monitors installed for the process, sessions retiring) is the
//    *  suite's. */
//   reset(): Promise<void>;
//   /** Releases what the driver holds (processes, pumps, timers); suites call
//    *  it in an `after` hook. */
//   close(): Promise<void>;
// }
//
// Rect is { x, y, width, height }.
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

const require = createRequire(import.meta.url);

export const buildDir = path.resolve(process.env.KESTROVAN_BUILD_DIR ?? 'build/linux-release');
export const addonDir = path.join(buildDir, 'addon');

const simControl = path.join(addonDir, 'kestrovan_desktop_sim_control.node');
const appkitDriver = path.join(addonDir, 'kestrovan_appkit_test_driver.node');

/** 'sim' or 'appkit', from what the build holds. */
export const driverKind = fs.existsSync(simControl) ? 'sim' : fs.existsSync(appkitDriver) ? 'appkit' : null;
if (driverKind === null) {
  throw new Error(
    `no desktop to test on in ${addonDir}: neither kestrovan_desktop_sim_control.node (the simulated desktop) ` +
      'nor kestrovan_appkit_test_driver.node (AppKit, macOS builds) is there; build the tests first',
  );
}

/** The addon under test, from the same build. */
export const addon = require(path.join(addonDir, 'kestrovan_file_promise_drag.node'));

/** The package's drop zones' module under test, from the same build (loaded on first use). */
export const loadFileDrops = () => require(path.join(addonDir, 'kestrovan_file_drops.node'));

const implementation =
  driverKind === 'sim' ? await import('./sim_driver.mjs') : await import('./appkit_driver.mjs');

/** The driver (DesktopDriver above) for this build's desktop. */
export const driver = await implementation.createDriver({ buildDir, addonDir });

/** The simulated desktop's control module, for sim-only cases; null under AppKit. */
export const simOnly = driverKind === 'sim' ? driver.control : null;
