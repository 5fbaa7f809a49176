'use strict';
// The dropzone sidecar as events: startDropzoneSidecar(options) starts the
// program with Electron's rectangles converted to its own frames, and turns
// its output lines and its exit into events of an EventEmitter. Plain
// `require('child_process')`: the package loads on Node 14.17.
const { spawn } = require('child_process');
const { EventEmitter } = require('events');
const { sidecarPath } = require('./sidecar_path');

const program = 'kestrovan-drag-dropzone-sidecar';
const failurePrefix = '[KestrovanDragDropzone] Sidecar failed: ';

/**
 * The program's output words (sidecar/core/output_signals.h, which the
 * package does not ship; a test checks this list against it) and the events
 * they become: the word in lower case with hyphens. Every other line is ignored.
 */
const outputWords = ['DRAG_ENTER', 'DRAG_EXIT', 'OUTSIDE_CLICK'];
const events = new Map(outputWords.map((word) => [word, word.toLowerCase().replace(/_/g, '-')]));

/** How long stop() waits after SIGTERM before it sends SIGKILL (the program exits in milliseconds). */
const stopGraceMilliseconds = 3000;

/** The longest unfinished line kept: the program's lines are a few dozen bytes. */
const longestLine = 64 * 1024;

function describe(value) {
  if (typeof value === 'string') return JSON.stringify(value);
  if (value === null) return 'null';
  if (Array.isArray(value)) return 'an array';
  if (typeof value === 'object') return 'an object';
  if (typeof value === 'function') return 'a function';
  if (typeof value === 'bigint') return `${value}n`;
  return String(value);
}

function finiteNumber(value, name) {
  if (typeof value !== 'number' || !Number.isFinite(value)) {
    throw new TypeError(`${name} must be a finite number, received ${describe(value)}`);
  }
  return value;
}

function rectangle(value, name) {
  if (typeof value !== 'object' || value === null) {
    throw new TypeError(`${name} must be a rectangle { x, y, width, height }, received ${describe(value)}`);
  }
  return {
    x: finiteNumber(value.x, `${name}.x`),
    y: finiteNumber(value.y, `${name}.y`),
    width: finiteNumber(value.width, `${name}.width`),
    height: finiteNumber(value.height, `${name}.height`),
  };
}

/**
 * A number as the program's `strtod` reads it back: JavaScript's shortest
 * round-trip text names exactly this double; negative zero keeps its sign.
 */
function formatNumber(value) {
  return Object.is(value, -0) ? '-0' : String(value);
}

/**
 * An Electron rectangle (origin at the primary display's top-left corner, y
 * down) as the program's frame (origin at the primary display's lower-left
 * corner, y up), given the primary display's bounds.
 */
function sidecarFrame(rect, primary) {
  return [rect.x - primary.x, primary.y + primary.height - (rect.y + rect.height), rect.width, rect.height];
}

function primaryDisplayBounds(given) {
  if (given !== undefined && given !== null) return rectangle(given, 'primaryDisplayBounds');
  if (process.versions.electron && process.type === 'browser') {
    // Electron's main process, after the app's 'ready' event (screen throws before it).
    const { screen } = require('electron');
    return rectangle(screen.getPrimaryDisplay().bounds, 'screen.getPrimaryDisplay().bounds');
  }
  throw new TypeError(
    "primaryDisplayBounds must be given outside Electron's main process " +
      '(the bounds of the primary display, { x, y, width, height } with y down)',
  );
}

/** The program's command line for these options; throws a TypeError for a bad option. */
function sidecarArguments(options) {
  if (typeof options !== 'object' || options === null) {
    throw new TypeError(`the options must be an object with a trayFrame, received ${describe(options)}`);
  }
  const tray = rectangle(options.trayFrame, 'trayFrame');
  const dropzone = options.dropzoneFrame == null ? undefined : rectangle(options.dropzoneFrame, 'dropzoneFrame');
  const padding = options.dropzonePadding == null ? undefined : finiteNumber(options.dropzonePadding, 'dropzonePadding');
  const zoneSize = options.zoneSize == null ? undefined : finiteNumber(options.zoneSize, 'zoneSize');
  const primary = primaryDisplayBounds(options.primaryDisplayBounds);
  const frame = (rect) => sidecarFrame(rect, primary).map(formatNumber).join(',');
  const args = ['--tray-frame', frame(tray)];
  if (dropzone !== undefined) args.push('--dropzone-frame', frame(dropzone));
  if (padding !== undefined) args.push('--dropzone-padding', formatNumber(padding));
  if (zoneSize !== undefined) args.push('--zone-size', formatNumber(zoneSize));
  return args;
}

/** Calls onLine with each line of a stream; an unfinished last line only when `unfinished` says so. */
function eachLine(stream, unfinished, onLine) {
  let pending = '';
  stream.setEncoding('utf8');
  stream.on('data', (chunk) => {
    pending += chunk;
    let end;
    while ((end = pending.indexOf('\n')) !== -1) {
      const line = pending.slice(0, end);
      pending = pending.slice(end + 1);
      onLine(line);
    }
    if (pending.length > longestLine) pending = '';
  });
  stream.on('end', () => {
    if (unfinished && pending !== '') onLine(pending);
    pending = '';
  });
}

// The running children, stopped when this process exits; one 'exit' listener
// for all of them, there only while one runs.
const running = new Set();
function stopRunningAtExit() {
  for (const child of running) child.kill('SIGTERM');
}
function track(child) {
  running.add(child);
  if (running.size === 1) process.on('exit', stopRunningAtExit);
}
function untrack(child) {
  if (running.delete(child) && running.size === 0) process.removeListener('exit', stopRunningAtExit);
}

const internals = new WeakMap();

/**
 * A running dropzone sidecar: an EventEmitter of 'drag-enter', 'drag-exit',
 * 'outside-click', 'error' and, last and once, 'exit' (code, signal).
 */
class DropzoneSidecar extends EventEmitter {
  /** The program's process id; undefined when it could not be started. */
  get pid() {
    const { child } = internals.get(this);
    return child === undefined ? undefined : child.pid;
  }

  /**
   * Sends SIGTERM (SIGKILL if it has not exited 3 s later) and resolves with
   * { code, signal } when it has exited; the same promise on every call, and
   * resolved at once after the exit.
   */
  stop() {
    const state = internals.get(this);
    if (state.exit === undefined && !state.stopAsked) {
      state.stopAsked = true;
      const { child } = state;
      if (child !== undefined && child.pid !== undefined) {
        child.kill('SIGTERM');
        state.killTimer = setTimeout(() => child.kill('SIGKILL'), stopGraceMilliseconds);
        state.killTimer.unref();
      }
    }
    return state.exited;
  }
}

function withProperties(error, properties) {
  return Object.assign(error, properties);
}

/** The error an exit is reported with, or undefined for one that stop() asked for. */
function exitError(state, code, signal) {
  const line = state.failureLine;
  if (line === undefined && state.stopAsked) return undefined;
  let message = line;
  if (message === undefined) {
    message =
      signal !== null
        ? `${program} was ended by ${signal}`
        : `${program} exited unexpectedly with status ${code}`;
  }
  const reason = code === 2 ? 'command-line-rejected' : 'unexpected-exit';
  return withProperties(new Error(message), { reason, line, exitCode: code, signal });
}

/**
 * An error nobody listens for becomes a process warning: the sidecar is an
 * aid, and its failure must not end the application.
 */
function report(sidecar, error) {
  if (sidecar.listenerCount('error') > 0) sidecar.emit('error', error);
  else process.emitWarning(error);
}

function finish(state, code, signal, error) {
  if (state.exit !== undefined) return;
  clearTimeout(state.killTimer);
  state.exit = { code, signal };
  state.resolveExit(state.exit);
  try {
    if (error !== undefined) report(state.sidecar, error);
  } finally {
    state.sidecar.emit('exit', code, signal);
  }
}

function spawnFailure(error) {
  return withProperties(error instanceof Error ? error : new Error(String(error)), { reason: 'spawn-failed' });
}

/**
 * Starts the dropzone sidecar. A bad option throws a TypeError at once;
 * everything about the program (it cannot be found or started, it rejects
 * its command line, it ends unasked) comes as an 'error' event, and every
 * event is emitted asynchronously, after this call has returned.
 */
function startDropzoneSidecar(options) {
  const args = sidecarArguments(options);
  const { executable } = options;
  if (executable !== undefined && (typeof executable !== 'string' || executable === '')) {
    throw new TypeError(`executable must be the path of the program, received ${describe(executable)}`);
  }
  const sidecar = new DropzoneSidecar();
  const state = {
    sidecar,
    child: undefined,
    stopAsked: false,
    exit: undefined,
    exited: undefined,
    resolveExit: undefined,
    killTimer: undefined,
    failureLine: undefined,
    spawnError: undefined,
  };
  state.exited = new Promise((resolve) => {
    state.resolveExit = resolve;
  });
  internals.set(sidecar, state);

  let child;
  try {
    child = spawn(executable === undefined ? sidecarPath() : executable, args, {
      stdio: ['ignore', 'pipe', 'pipe'],
    });
  } catch (error) {
    process.nextTick(finish, state, null, null, spawnFailure(error));
    return sidecar;
  }
  state.child = child;
  // A failed spawn reports 'error' and then 'close' (with no process id).
  child.on('error', (error) => {
    if (child.pid === undefined && state.spawnError === undefined) state.spawnError = spawnFailure(error);
  });
  if (child.pid !== undefined) track(child);
  eachLine(child.stdout, false, (line) => {
    const event = events.get(line);
    if (event !== undefined) sidecar.emit(event);
  });
  eachLine(child.stderr, true, (line) => {
    if (line.startsWith(failurePrefix)) state.failureLine = line;
    else process.stderr.write(`${line}\n`);
  });
  // 'close' comes after the exit and after both pipes have been read to the end.
  child.on('close', (code, signal) => {
    untrack(child);
    if (state.spawnError !== undefined) finish(state, null, null, state.spawnError);
    else finish(state, code, signal, exitError(state, code, signal));
  });
  return sidecar;
}

module.exports = { startDropzoneSidecar, sidecarArguments, outputWords };
