// Real AppKit's driver (see driver.mjs for the interface), macOS only: the
// test-only addon kestrovan_appkit_test_driver.node and the program
// kestrovan-promise-receiver, both built beside the addon by every macOS build
// of the repository and never shipped.
//
// - Plain Node runs neither AppKit's event queue nor the main run loop (in
//   Electron the main process does): an interval timer pumps both, a few
//   milliseconds per turn, so main-queue blocks, monitors and pasteboard
//   requests run while the suites await.
// - Where the process may post events (CGPreflightPostEventAccess(), the
//   Accessibility permission of the terminal or CI agent that runs Node),
//   mouse events are real (CGEventPost): the mouse moves and its buttons are
//   held, as the addon's window-exit trigger and drag start need. Otherwise
//   they are NSEvents posted with postEvent:atStart:, which the monitors see
//   but the system's mouse state does not follow; whyNot() then names the
//   reason.
// - A drag runs in a loop AppKit may nest in the main thread until the mouse
//   is released, where no JavaScript runs. So the drop target's side (the
//   receiver process) releases the mouse over a window of the driver's that
//   accepts file promises once the answers stall (the drop), and a watchdog
//   thread in the addon releases it (cancelling the drag) when one pump has
//   not returned for a few seconds with nothing else left to end it.
// - A drag from another application into a window (dragFilesInto) is that
//   program's too, in its source mode: another process, as the Finder or Mail
//   is, so this process only receives it, pumping as usual.
// - The addon's diagnostic lines are read from standard error, where NSLog
//   writes them besides the unified log; the test-only addon routes standard
//   error through a pipe and copies it on.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';

const require = createRequire(import.meta.url);

const tag = '[KestrovanNativeFilePromise] ';
const pumpEveryMs = 4;
const pumpSeconds = 0.003;
// A pump that has not returned after this long runs a nested drag loop.
const nestedLoopSeconds = 5;
// The receiver drops (releases the mouse) once no answer came for this long.
const releaseAfterSeconds = 2;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const nextTurn = () => new Promise((resolve) => setImmediate(resolve));

const noPostAccess =
  'this process may not post events (CGPreflightPostEventAccess() is false): posted NSEvents reach the monitors, ' +
  'but NSEvent.pressedMouseButtons and mouseLocation do not follow them; allow the app that runs Node (the terminal ' +
  'or the CI agent) under System Settings > Privacy & Security > Accessibility';

/** A path with its folder's links resolved (the file itself need not exist yet). */
function canonical(file) {
  try {
    return fs.realpathSync(file);
  } catch {
    try {
      return path.join(fs.realpathSync(path.dirname(file)), path.basename(file));
    } catch {
      return file;
    }
  }
}

/** Whether two paths name the same file (macOS's temporary folders lie behind /private). */
const samePlace = (a, b) => a === b || canonical(a) === canonical(b);

/** Runs the receiver program; resolves to { code, lines } (its JSON lines, parsed). */
function runReceiver(program, args, timeoutMs, children) {
  return new Promise((resolve, reject) => {
    const child = spawn(program, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    children.add(child);
    const lines = [];
    let stderr = '';
    let pending = '';
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', (chunk) => {
      pending += chunk;
      for (let at; (at = pending.indexOf('\n')) >= 0; pending = pending.slice(at + 1)) {
        const text = pending.slice(0, at);
        try {
          lines.push(JSON.parse(text));
        } catch {
          lines.push({ event: 'unreadable', text });
        }
      }
    });
    child.stderr.setEncoding('utf8');
    child.stderr.on('data', (chunk) => (stderr += chunk));
    // The program ends itself at its own timeout; this is the last resort.
    const killer = setTimeout(() => child.kill('SIGKILL'), timeoutMs + 10000);
    child.on('error', (error) => {
      clearTimeout(killer);
      children.delete(child);
      reject(new Error(`cannot run ${program}: ${error.message}`));
    });
    child.on('close', (code, signal) => {
      clearTimeout(killer);
      children.delete(child);
      resolve({ code, signal, lines, stderr });
    });
  });
}

/**
 * Runs the receiver program's source mode: resolves once its drag ended (the
 * drop delivered, or the drag left without one); the program goes on serving
 * its promises (the driver's reset ends it). Rejects, never hangs, when the
 * drag did not begin or end.
 */
function runSource(program, args, children) {
  return new Promise((resolve, reject) => {
    const child = spawn(program, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    children.add(child);
    let settled = false;
    let stderr = '';
    let pending = '';
    const finish = (error) => {
      if (settled) return;
      settled = true;
      clearTimeout(timer);
      if (error) reject(error);
      else resolve();
    };
    const timer = setTimeout(() => {
      child.kill('SIGKILL');
      finish(new Error('the source\'s drag did not end within 30 s'));
    }, 30000);
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', (chunk) => {
      pending += chunk;
      for (let at; (at = pending.indexOf('\n')) >= 0; pending = pending.slice(at + 1)) {
        let line;
        try {
          line = JSON.parse(pending.slice(0, at));
        } catch {
          continue;
        }
        if (line.event === 'ended') finish();
        else if (line.event === 'failed') finish(new Error(`the source's drag failed: ${line.message}`));
      }
    });
    child.stderr.setEncoding('utf8');
    child.stderr.on('data', (chunk) => (stderr += chunk));
    child.on('error', (error) => {
      children.delete(child);
      finish(new Error(`cannot run ${program}: ${error.message}`));
    });
    child.on('close', (code, signal) => {
      children.delete(child);
      finish(new Error(`the source ended with ${signal ?? `status ${code}`} before its drag did${stderr ? `: ${stderr.trim()}` : ''}`));
    });
  });
}

export async function createDriver({ addonDir }) {
  if (process.platform !== 'darwin') {
    throw new Error(`the AppKit desktop driver runs on macOS only (this is ${process.platform})`);
  }
  const nativePath = path.join(addonDir, 'kestrovan_appkit_test_driver.node');
  const receiverPath = path.join(addonDir, 'kestrovan-promise-receiver');
  for (const file of [nativePath, receiverPath]) {
    if (!fs.existsSync(file)) throw new Error(`${file} is missing: build the macOS tests first (cmake --build --preset macos)`);
  }
  const native = require(nativePath);
  const { canPostRealEvents } = native.setUp();

  let pumpFailure = null;
  const pump = setInterval(() => {
    try {
      native.pump(pumpSeconds);
    } catch (error) {
      pumpFailure ??= error;
    }
  }, pumpEveryMs);
  pump.unref();
  const checkPump = () => {
    if (pumpFailure) throw new Error(`pumping the run loop failed: ${pumpFailure.message}`);
  };

  const windows = new Map(); // window number -> { frame (top left) }
  const children = new Set(); // receiver processes running
  const watchers = new Set(); // progress watchers running
  const signs = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-appkit-driver-'));
  let lines = []; // the addon's lines since the last reset, tag removed
  let endedTotal = 0; // "dragging session ended" lines ever seen
  let held = null; // { window, point } while the driver holds the real left button

  /** Takes the addon's new lines from the capture. */
  function collect() {
    for (const line of native.takeLogLines(tag)) {
      const message = line.slice(tag.length);
      if (message.startsWith('dragging session ended ')) endedTotal += 1;
      lines.push(message);
    }
  }
  const dragRunning = () => {
    collect();
    return native.dragsBegun() > endedTotal;
  };

  function windowOf(number) {
    if (!windows.has(number)) throw new Error(`window ${number} was not made by this driver`);
    return windows.get(number);
  }

  /** Waits until the running drag has ended (its source heard of it), pumping. */
  async function dragEnded(timeoutMs) {
    const deadline = Date.now() + timeoutMs;
    while (dragRunning()) {
      if (Date.now() > deadline) throw new Error(`the drag did not end within ${timeoutMs} ms of the mouse release`);
      await sleep(20);
    }
  }

  async function settle() {
    checkPump();
    await nextTurn();
    if (!native.settle(5)) throw new Error('the main queue did not run what was queued within 5 s');
    // The watchers' lines arrive through pipes: let them go quiet.
    const deadline = Date.now() + 2000;
    while ([...watchers].some((w) => Date.now() - w.lastLineAt < 150) && Date.now() < deadline) await sleep(25);
    collect();
  }

  const driver = {
    kind: 'appkit',
    canPostRealEvents,

    whyNot(need) {
      if (need !== 'systemMouse' && need !== 'drag' && need !== 'incomingDrag') throw new TypeError(`unknown need ${need}`);
      // An incoming drag is another process's real mouse drag (the receiver
      // program's source mode), posted with the same permission as Node's.
      return canPostRealEvents ? null : noPostAccess;
    },

    async createWindow({ frame, key = true, webView }) {
      const number = native.createWindow(
        [frame.x, frame.y, frame.width, frame.height],
        key,
        webView ? [webView.frame.x, webView.frame.y, webView.frame.width, webView.frame.height] : null,
        webView?.dragRegions ? webView.dragRegions.flatMap((r) => [r.x, r.y, r.width, r.height]) : null,
      );
      windows.set(number, { frame: { ...frame } });
      await settle();
      return number;
    },

    async makeKey(number) {
      windowOf(number);
      native.makeKey(number);
      await settle();
    },

    async closeWindow(number) {
      windowOf(number);
      native.closeWindow(number);
      windows.delete(number);
      await settle();
    },

    async webViewScrolls(number) {
      windowOf(number);
      return native.webViewScrolls(number);
    },

    /**
     * As the interface says; besides, `real: false` posts an NSEvent even where
     * real events could be posted (what the system state does without them).
     */
    async postMouse(number, { type, button = 'left', buttonNumber, x, y, clickCount = 1, real = canPostRealEvents }) {
      windowOf(number);
      checkPump();
      const bit = { left: 0, right: 1 }[button] ?? buttonNumber ?? 2;
      if (real && !canPostRealEvents) throw new Error(noPostAccess);
      if (real && type === 'up' && button === 'left' && dragRunning()) {
        // A release during a drag is the drag's: cancelled. It is released
        // where the button went down, over the source window, which takes no
        // drop: released where the test says, it could drop on whatever lies
        // there (the Finder's desktop).
        await driver.endDrag({ dropped: false });
        return;
      }
      native.postMouse(number, type, button, bit, x, y, clickCount, real);
      if (real && button === 'left' && type === 'down') {
        const [gx, gy] = native.globalPoint(number, x, y);
        held = { window: number, point: [gx, gy] };
        native.armNestedLoopWatchdog(nestedLoopSeconds, gx, gy);
      } else if (real && button === 'left' && type === 'up') {
        held = null;
      }
      // A drag begun by this event runs its loop from the next turn of the
      // run loop on, nested where no JavaScript runs: the suite's next steps
      // (receivePromisedFiles, endDrag) must come first, so nothing is pumped.
      if (real && dragRunning()) return;
      await settle();
    },

    async postScroll(number, { x, y, deltaX = 0, deltaY = -1 }) {
      windowOf(number);
      checkPump();
      native.postScroll(number, x, y, deltaX, deltaY);
      await settle();
    },

    settle,

    async wait(seconds) {
      checkPump();
      await sleep(seconds * 1000);
      await settle();
    },

    async receivePromisedFiles(folder, { timeoutMs = 20000 } = {}) {
      checkPump();
      const args = ['receive', '--destination', folder, '--timeout', String(timeoutMs / 1000)];
      if (held && dragRunning()) {
        const [x, y] = native.dropTargetPoint();
        args.push('--release-at', `${x},${y}`, '--release-after', String(releaseAfterSeconds));
      }
      for (const watcher of watchers) args.push('--wait-for', watcher.readyFile);
      const { code, signal, lines: out, stderr } = await runReceiver(receiverPath, args, timeoutMs, children);
      if (out.some((l) => l.event === 'released')) held = null;
      await settle();
      const answers = out
        .filter((l) => l.event === 'answer')
        .sort((a, b) => a.index - b.index)
        .map(({ fileName, path: answered, error }) => {
          const expected = path.join(folder, fileName);
          return { fileName, path: answered !== null && samePlace(answered, expected) ? expected : answered, error };
        });
      if (code === 0) return answers;
      const noPromises = out.find((l) => l.event === 'noPromises');
      if (noPromises) {
        throw new Error(
          `${noPromises.message}: it holds the types ${JSON.stringify(noPromises.types)}, ` +
            `per item ${JSON.stringify(noPromises.itemTypes)}`,
        );
      }
      const timedOut = out.find((l) => l.event === 'timeout');
      if (timedOut) {
        const promised = out.find((l) => l.event === 'promises')?.count ?? '?';
        throw new Error(
          `${timedOut.unanswered.length} of ${promised} promises not answered after ${timeoutMs} ms ` +
            `(promises ${timedOut.unanswered.join(', ')}); answers seen: ${JSON.stringify(answers)}`,
        );
      }
      const failed = out.find((l) => l.event === 'failed');
      throw new Error(
        `the receiver ended with ${signal ?? `status ${code}`}` +
          `${failed ? `: ${failed.message}` : ''}${stderr ? `; it said: ${stderr.trim()}` : ''}`,
      );
    },

    /** What the drag pasteboard holds: { count, fileTypes } of its file promises (AppKit only). */
    async dragPasteboardPromises() {
      const { code, lines: out, stderr } = await runReceiver(receiverPath, ['list'], 10000, children);
      const promises = out.find((l) => l.event === 'promises');
      if (code === 0 && promises) return { count: promises.count, fileTypes: promises.fileTypes };
      const none = out.find((l) => l.event === 'noPromises');
      if (none) return { count: 0, fileTypes: [], types: none.types };
      throw new Error(`the receiver ended with status ${code}${stderr ? `: ${stderr.trim()}` : ''}`);
    },

    /**
     * As the interface says. The drag is the receiver program's (source mode):
     * a small window of its own beside the window, the real mouse pressed on
     * it, then moved from one point of the path to the next and released. A
     * promise's name in `webContents` is the one it was given here: a drop
     * target learns it only by calling the promise in.
     */
    async dragFilesInto(number, { items, path: points, drop = true }) {
      const { frame } = windowOf(number);
      checkPump();
      if (!Array.isArray(points) || points.length === 0) throw new TypeError('dragFilesInto needs a path of at least one point');
      if (items.some((item) => item.linkTo !== undefined)) {
        throw new TypeError('linkTo is the simulated desktop\'s only: a real source writes files, not links');
      }
      if (!canPostRealEvents) throw new Error(noPostAccess);
      const start = frame.x >= 80 ? [frame.x - 40, frame.y + 40] : [frame.x + frame.width + 40, frame.y + 40];
      const along = points.map(({ x, y }) => native.globalPoint(number, x, y).join(',')).join(';');
      const seenBefore = JSON.parse(native.webViewDragEvents(number)).length;
      const args = ['source', '--items', JSON.stringify(items), '--start', start.join(','), '--points', along];
      args.push('--drop', drop ? 'yes' : 'no', '--timeout', '120');
      await runSource(receiverPath, args, children);
      await settle();
      const webContents = JSON.parse(native.webViewDragEvents(number))
        .slice(seenBefore)
        .map(({ type, x, y, items: carried }) => ({
          type,
          x,
          y,
          items: carried.map((item, index) =>
            item.kind === 'promise' && items[index]?.kind === 'promise' ? { ...item, name: items[index].name ?? '' } : item,
          ),
        }));
      return { webContents };
    },

    async endDrag({ dropped = false } = {}) {
      checkPump();
      collect();
      if (native.dragsBegun() === 0) throw new Error('no drag is running');
      if (!dragRunning()) return; // the drop target's side has dropped it already
      if (!canPostRealEvents) throw new Error(noPostAccess);
      const [x, y] = dropped ? native.dropTargetPoint() : (held?.point ?? native.dropTargetPoint());
      if (!dropped && !held) throw new Error('a drag runs but the driver does not hold the mouse: it cannot cancel it');
      native.releaseRealMouse(x, y);
      held = null;
      await dragEnded(10000);
      await settle();
    },

    watchProgress(destinationPath) {
      const readyFile = path.join(signs, `ready-${process.hrtime.bigint()}`);
      const history = [];
      let published = false;
      let withdrawn = false;
      const watcher = { readyFile, lastLineAt: Date.now(), child: null };
      const record = (fraction) => {
        if (typeof fraction === 'number' && history.at(-1) !== fraction) history.push(fraction);
      };
      const child = spawn(receiverPath, ['watch-progress', '--path', destinationPath, '--timeout', '600', '--ready-file', readyFile], {
        stdio: ['ignore', 'pipe', 'inherit'],
      });
      watcher.child = child;
      watchers.add(watcher);
      let pending = '';
      child.stdout.setEncoding('utf8');
      child.stdout.on('data', (chunk) => {
        watcher.lastLineAt = Date.now();
        pending += chunk;
        for (let at; (at = pending.indexOf('\n')) >= 0; pending = pending.slice(at + 1)) {
          let line;
          try {
            line = JSON.parse(pending.slice(0, at));
          } catch {
            continue;
          }
          if (line.path !== undefined && !samePlace(line.path, destinationPath)) continue;
          if (line.event === 'progressPublished') {
            published = true;
            record(line.fraction);
          } else if (line.event === 'progress') {
            record(line.fraction);
          } else if (line.event === 'progressWithdrawn') {
            record(line.fraction);
            withdrawn = true;
          }
        }
      });
      const stop = () => {
        watchers.delete(watcher);
        if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
      };
      child.on('close', () => watchers.delete(watcher));
      return {
        history: () => [...history],
        published: () => published,
        withdrawn: () => withdrawn,
        stop,
      };
    },

    logMessages() {
      collect();
      return [...lines];
    },

    async latestDragImagePng() {
      const png = native.latestDragImagePng();
      return png ? new Uint8Array(png) : null;
    },

    async reset() {
      // Everything is put back even when a step fails; the first failure is
      // thrown at the end.
      let failure = null;
      try {
        checkPump();
        if (dragRunning()) {
          // Cancelled where the button went down; dropped on the driver's own
          // target when the driver does not hold the mouse.
          await driver.endDrag({ dropped: !held });
        } else if (held) {
          const [x, y] = held.point;
          native.releaseRealMouse(x, y);
          held = null;
          await sleep(500);
        }
      } catch (error) {
        failure = error;
      }
      for (const watcher of [...watchers]) {
        watchers.delete(watcher);
        watcher.child.kill('SIGTERM');
      }
      for (const child of children) child.kill('SIGTERM');
      native.closeAllWindows();
      windows.clear();
      try {
        await settle();
      } catch (error) {
        failure ??= error;
      }
      lines = [];
      if (failure) throw failure;
    },

    async close() {
      try {
        await driver.reset();
      } finally {
        clearInterval(pump);
        fs.rmSync(signs, { recursive: true, force: true });
      }
    },
  };
  return driver;
}
