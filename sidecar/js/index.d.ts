// Type declarations for kestrovan-drag-dropzone-sidecar.

/**
 * The absolute path of the dropzone sidecar program for this platform, to pass
 * to `child_process.spawn`. Inside a packaged Electron app whose package sits
 * in app.asar, the path in app.asar.unpacked (where the program must be
 * unpacked to be started). Throws an Error saying where it looked when the
 * package has no program for this platform, or when it is inside the archive
 * but was not unpacked.
 */
export function sidecarPath(): string;

/**
 * A rectangle as Electron gives it (`screen`, `BrowserWindow.getBounds()`,
 * `Tray.getBounds()`): screen points, origin at the primary display's top-left
 * corner, y growing downwards.
 */
export interface SidecarRectangle {
  readonly x: number;
  readonly y: number;
  readonly width: number;
  readonly height: number;
}

export interface DropzoneSidecarOptions {
  /** The tray window's bounds. */
  readonly trayFrame: SidecarRectangle;
  /** The dropzone window's bounds, if one is shown. */
  readonly dropzoneFrame?: SidecarRectangle | null;
  /** How far around the dropzone a drag stays inside (program default 20). */
  readonly dropzonePadding?: number | null;
  /** The side of the square below the tray that a drag enters (program default 100). */
  readonly zoneSize?: number | null;
  /**
   * The primary display's bounds (`screen.getPrimaryDisplay().bounds`), the
   * frames' reference. Read from Electron when omitted in Electron's main
   * process; required anywhere else.
   */
  readonly primaryDisplayBounds?: SidecarRectangle | null;
  /** The program to start instead of `sidecarPath()`. */
  readonly executable?: string;
}

/** How the program ended: its exit status, or the signal that ended it; both null when it never started. */
export interface SidecarExit {
  readonly code: number | null;
  readonly signal: string | null;
}

/** The `error` event's argument. */
export interface DropzoneSidecarError extends Error {
  /**
   * `"spawn-failed"`: the program was not found or could not be started (the
   * Error from `sidecarPath()`, or Node's spawn error with its `code`, such
   * as "ENOENT" or "EACCES"); `"command-line-rejected"`: it exited with
   * status 2; `"unexpected-exit"`: it ended without `stop()` (status 1: no
   * display), or reported a failure while stopping.
   */
  reason: 'spawn-failed' | 'command-line-rejected' | 'unexpected-exit';
  /** The program's failure line on standard error, which is then also the message. */
  line?: string;
  /** The exit status, or null when a signal ended it (exits only). */
  exitCode?: number | null;
  /** The signal that ended it, or null (exits only). */
  signal?: string | null;
  /** Node's error code of a failed spawn, such as "ENOENT". */
  code?: string;
}

/** The events of a `DropzoneSidecar` and their listeners' arguments. */
export interface DropzoneSidecarEvents {
  /** A file drag reached the zone below the tray. */
  'drag-enter': [];
  /** After 'drag-enter': the drag left, stopped offering files or was released outside. */
  'drag-exit': [];
  /** A button went down outside the tray and the dropzone. */
  'outside-click': [];
  /** The program could not start, rejected its command line, or ended unasked (then 'exit' follows). */
  error: [error: DropzoneSidecarError];
  /** Last, once: the program has ended (code and signal both null when it never started). */
  exit: [code: number | null, signal: string | null];
}

export type DropzoneSidecarEventName = keyof DropzoneSidecarEvents;
export type DropzoneSidecarListener<E extends DropzoneSidecarEventName> = (...args: DropzoneSidecarEvents[E]) => void;

/** A running sidecar: a Node EventEmitter of the events in `DropzoneSidecarEvents`. */
export interface DropzoneSidecar {
  /** The program's process id; undefined when it could not be started. */
  readonly pid: number | undefined;
  /**
   * Sends SIGTERM (SIGKILL if the program has not exited 3 s later) and
   * resolves when it has exited; the same promise on every call, resolved at
   * once after the exit. Never rejects.
   */
  stop(): Promise<SidecarExit>;
  on<E extends DropzoneSidecarEventName>(event: E, listener: DropzoneSidecarListener<E>): this;
  once<E extends DropzoneSidecarEventName>(event: E, listener: DropzoneSidecarListener<E>): this;
  off<E extends DropzoneSidecarEventName>(event: E, listener: DropzoneSidecarListener<E>): this;
  addListener<E extends DropzoneSidecarEventName>(event: E, listener: DropzoneSidecarListener<E>): this;
  removeListener<E extends DropzoneSidecarEventName>(event: E, listener: DropzoneSidecarListener<E>): this;
  prependListener<E extends DropzoneSidecarEventName>(event: E, listener: DropzoneSidecarListener<E>): this;
  prependOnceListener<E extends DropzoneSidecarEventName>(event: E, listener: DropzoneSidecarListener<E>): this;
  removeAllListeners(event?: DropzoneSidecarEventName): this;
  listenerCount(event: DropzoneSidecarEventName): number;
}

/**
 * Starts the dropzone sidecar program (`sidecarPath()`, or `executable`) with
 * the frames converted to its space by the primary display's bounds, and
 * returns it as an EventEmitter. A bad option throws a TypeError; everything
 * about the program comes as an event, emitted after this call returns. The
 * program is stopped when this process exits.
 */
export function startDropzoneSidecar(options: DropzoneSidecarOptions): DropzoneSidecar;
