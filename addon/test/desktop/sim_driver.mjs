// The simulated desktop's driver (see driver.mjs for the interface): the
// desktop's control module, rewrapped. Its main queue runs live, by itself
// from the event loop, as AppKit's run loop runs it; its clock moves only with
// wait(). The sim's screen has y growing up from its bottom; this driver
// stands a main display of `displayHeight` points on it to turn the
// interface's top-left points into the sim's.
import { createRequire } from 'node:module';
import path from 'node:path';

const require = createRequire(import.meta.url);

const displayHeight = 1000;
const tag = '[KestrovanNativeFilePromise] ';
const webViewClass = 'RenderWidgetHostViewCocoa';
const NSDragOperationCopy = 1;
const nextTurn = () => new Promise((resolve) => setImmediate(resolve));

/** A top-left rectangle inside a box `height` high, as a bottom-left one. */
const flipped = (r, height) => ({ x: r.x, y: height - r.y - r.height, width: r.width, height: r.height });

/** file:// URL of a path, escaped as the desktop records destinations. */
function fileURL(destinationPath) {
  const escaped = [...Buffer.from(destinationPath)]
    .map((b) => {
      const c = String.fromCharCode(b);
      return /[A-Za-z0-9/\-_.~]/.test(c) ? c : `%${b.toString(16).toUpperCase().padStart(2, '0')}`;
    })
    .join('');
  return `file://${escaped}`;
}

export async function createDriver({ addonDir }) {
  const control = require('../../backends/sim/control/index.js').load(
    path.join(addonDir, 'kestrovan_desktop_sim_control.node'),
  );
  const { EventType } = control;
  control.setLogEcho(false);
  control.setLiveMainQueue(true);

  const windows = new Map(); // window number -> { frame (top left), webView id or null }
  let nextWebView = 1;

  function windowOf(number) {
    const w = windows.get(number);
    if (!w) throw new Error(`window ${number} was not made by this driver`);
    return w;
  }

  /** A content point as the sim's window point and screen point. */
  function locate(number, x, y) {
    const { frame } = windowOf(number);
    return {
      location: { x, y: frame.height - y },
      screen: { x: frame.x + x, y: displayHeight - frame.y - y },
    };
  }

  async function settle() {
    // The live queue runs due blocks on the loop's turns; run what is due now
    // as well, until nothing is left.
    await nextTurn();
    while (control.runMainQueue() > 0) await nextTurn();
  }

  const mouseTypes = {
    left: { down: EventType.leftMouseDown, up: EventType.leftMouseUp, bit: 0 },
    right: { down: EventType.rightMouseDown, up: EventType.rightMouseUp, bit: 1 },
    other: { down: EventType.otherMouseDown, up: EventType.otherMouseUp },
  };

  /** The running drag's id, or null. */
  const runningDrag = () => control.drags().at(-1)?.id ?? null;

  const driver = {
    kind: 'sim',
    control,

    whyNot() {
      return null;
    },

    async createWindow({ frame, key = true, webView }) {
      const content = { id: undefined, children: [] };
      let webViewId = null;
      if (webView) {
        webViewId = `web-view-${nextWebView++}`;
        const viewFrame = flipped(webView.frame, frame.height);
        content.children.push({
          id: webViewId,
          className: webViewClass,
          frame: viewFrame,
          dragRegions: (webView.dragRegions ?? []).map((r) => flipped(r, webView.frame.height)),
          dragRegionHit: 'contentView',
        });
      }
      const { number } = control.createWindow({
        frame: { x: frame.x, y: displayHeight - frame.y - frame.height, width: frame.width, height: frame.height },
        contentView: content,
        key,
        main: key,
      });
      windows.set(number, { frame: { ...frame }, webViewId });
      return number;
    },

    async makeKey(number) {
      windowOf(number);
      control.setApplicationActive(true);
      control.setKeyWindow(number);
      control.setMainWindow(number);
    },

    async closeWindow(number) {
      windowOf(number);
      control.closeWindow(number);
      windows.delete(number);
    },

    async webViewScrolls(number) {
      const { webViewId } = windowOf(number);
      if (webViewId === null) return 0;
      return control.viewDeliveries(webViewId).filter((d) => d.type === EventType.scrollWheel).length;
    },

    async postMouse(number, { type, button = 'left', buttonNumber, x, y }) {
      const { location, screen } = locate(number, x, y);
      control.moveMouse(screen.x, screen.y);
      if (type === 'moved') {
        control.sendEvent({ type: EventType.mouseMoved, window: number, location });
      } else if (type === 'dragged') {
        control.sendEvent({ type: EventType.leftMouseDragged, window: number, location });
      } else {
        const kind = mouseTypes[button];
        if (!kind) throw new TypeError(`unknown button ${button}`);
        const bit = kind.bit ?? buttonNumber ?? 2;
        const pressed = control.pressedButtons();
        control.setPressedButtons(type === 'down' ? pressed | (1 << bit) : pressed & ~(1 << bit));
        const drag = type === 'up' && button === 'left' ? runningDrag() : null;
        if (drag !== null) {
          // A release during a drag is the drag's: it ends where the mouse is, cancelled.
          control.endDrag(drag, screen, 0);
        } else {
          control.sendEvent({ type: kind[type], window: number, location, buttonNumber: buttonNumber ?? bit });
        }
      }
      await settle();
    },

    async postScroll(number, { x, y, deltaX = 0 }) {
      const { location, screen } = locate(number, x, y);
      control.moveMouse(screen.x, screen.y);
      control.sendEvent({ type: EventType.scrollWheel, window: number, location, deltaX });
      await settle();
    },

    settle,

    async wait(seconds) {
      await settle();
      control.advanceClock(seconds);
      await settle();
    },

    async receivePromisedFiles(folder, { timeoutMs = 20000 } = {}) {
      const drag = control.drags().at(-1);
      if (!drag) throw new Error('no drag is running: there is nothing to receive');
      if (!drag.items.some((item) => item.writer === 'filePromise' || item.writer === 'fileURL')) {
        throw new Error('the drag holds no file promises');
      }
      const { drop } = control.dropOnFolder(drag.id, folder, control.mouseLocation(), { endDrag: false });
      const ofDrop = () => control.dropOutcomes().filter((o) => o.drop === drop);
      const deadline = Date.now() + timeoutMs;
      for (;;) {
        await settle();
        const outcomes = ofDrop();
        const open = outcomes.filter((o) => o.answers === 0 && !o.delegateGone);
        if (open.length === 0) break;
        if (Date.now() > deadline) {
          throw new Error(
            `${open.length} of ${outcomes.length} promises not answered after ${timeoutMs} ms: ` +
              open.map((o) => o.fileName).join(', '),
          );
        }
        await new Promise((resolve) => setTimeout(resolve, 5));
      }
      // Every answer the target saw, in the promises' order.
      const answers = [];
      for (const o of ofDrop()) {
        const entry = o.outcome?.success
          ? { fileName: o.fileName, path: o.destination, error: null }
          : { fileName: o.fileName, path: null, error: o.outcome?.description ?? 'the source was gone' };
        for (let i = 0; i < Math.max(o.answers, 1); i++) answers.push({ ...entry });
      }
      return answers;
    },

    async dragFilesInto(number, { items, path: points, drop = true }) {
      windowOf(number);
      if (!Array.isArray(points) || points.length === 0) throw new TypeError('dragFilesInto needs a path of at least one point');
      const sources = items.map((item) =>
        item.kind === 'file'
          ? { kind: 'file', path: item.path }
          : {
              kind: 'promise',
              name: item.name ?? '',
              contents: item.contents ?? '',
              delay: (item.delayMs ?? 0) / 1000,
              error: item.error ?? null,
              never: item.never === true,
              progress: item.progress ?? [],
              ...(item.linkTo === undefined ? {} : { linkTo: item.linkTo }),
            },
      );
      const drag = control.beginIncomingDrag(sources);
      for (const { x, y } of points) control.moveIncomingDrag(drag, number, { x, y });
      if (drop) control.dropIncomingDrag(drag);
      else control.cancelIncomingDrag(drag);
      await settle();
      const webContents = control
        .webContentsDragEvents(number)
        .filter((event) => event.drag === drag)
        .map(({ type, x, y, items: carried }) => ({ type, x, y, items: carried }));
      return { webContents };
    },

    async endDrag({ dropped = false } = {}) {
      const drag = runningDrag();
      if (drag === null) throw new Error('no drag is running');
      control.endDrag(drag, control.mouseLocation(), dropped ? NSDragOperationCopy : 0);
      await settle();
    },

    watchProgress(destinationPath) {
      const url = fileURL(destinationPath);
      const known = new Set(control.progresses().map((p) => p.id));
      let stopped = null;
      const current = () => {
        if (stopped) return stopped;
        return control.progresses().filter((p) => p.fileURL === url && !known.has(p.id));
      };
      return {
        history: () => current().flatMap((p) => p.completedHistory.map((c) => c / p.totalUnitCount)),
        published: () => current().some((p) => p.published || p.withdrawn),
        withdrawn: () => current().some((p) => p.withdrawn),
        stop() {
          stopped = current();
        },
      };
    },

    logMessages() {
      return control.log().map((line) => {
        if (!line.startsWith(tag)) throw new Error(`log line without tag: ${line}`);
        return line.slice(tag.length);
      });
    },

    async latestDragImagePng() {
      const id = control.drags().at(-1)?.image ?? control.lastImage()?.id ?? null;
      return id === null ? null : control.imagePng(id);
    },

    async reset() {
      control.endAllDrags();
      await settle();
      control.reset();
      windows.clear();
      control.setLogEcho(false);
    },

    async close() {
      await driver.reset();
      control.setLiveMainQueue(false);
    },
  };
  return driver;
}
