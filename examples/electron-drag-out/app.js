'use strict';
// The example's main process. It takes the Electron APIs it uses as its first
// argument (main.js passes require('electron')), so the same code also runs
// under a test with a stand-in for those few APIs.
//
// What it does:
// - a window lists remote files; the page reports the start of a drag over
//   IPC with the ids of the dragged files, never a name, a path or a URL;
// - the main process looks the ids up in its own catalogue and arms the
//   window-exit trigger for its window (windowNumberOf);
// - when the cursor leaves the window with the button held, the file drag
//   begins (startFileDrag); each file the Finder asks for is downloaded into
//   its destination with progress (writeFileFromStream), and the page hears
//   the progress and the end of the drag (onEnded);
// - the dropzone sidecar watches files dragged toward the tray and opens a
//   small dropzone window below it (startDropzoneSidecar): started once the
//   menu bar has placed the tray, and started again when the displays change;
// - files dropped on the dropzone's drop area, promised ones too (a Mail
//   attachment, a photo from Photos, an image from Safari), are received into
//   a fresh folder under the app's own (acceptFileDrops over the area the page
//   reports), and the page lists each with its progress and outcome.
const fs = require('fs');
const path = require('path');
const { pathToFileURL } = require('url');
const drag = require('kestrovan-file-promise-drag');
const { startDropzoneSidecar } = require('kestrovan-drag-dropzone-sidecar');

const TAG = '[drag-out example]';
// Under app.getPath('userData'): the app's own folder, never the user's
// Downloads. Each drop is received into a fresh folder inside it.
const DROPS_FOLDER = 'drops';
const DROPZONE_SIZE = { width: 240, height: 150 };
const DROPZONE_GAP = 6; // points between the tray and the dropzone window
// A new tray's bounds are all zeros until the menu bar has placed it: look
// again this often, for this long.
const TRAY_PLACEMENT_POLL_MS = 50;
const TRAY_PLACEMENT_TIMEOUT_MS = 10000;
// Display changes come in bursts (a display added also changes the others'
// metrics): the sidecar starts again once they have stopped for this long.
const DISPLAY_SETTLE_MS = 250;
const DISPLAY_EVENTS = ['display-added', 'display-removed', 'display-metrics-changed'];

/**
 * The drop area the dropzone page reports (CSS pixels of its content, origin
 * top left), as the zone's rect in the window content's points: scaled by
 * the page's zoom and clipped to the content. Null for anything that is not
 * a rectangle with some area inside the content.
 */
function zoneRectFrom(reported, zoomFactor, content) {
  if (reported === null || typeof reported !== 'object') return null;
  const { x, y, width, height } = reported;
  if (![x, y, width, height].every((value) => typeof value === 'number' && Number.isFinite(value))) return null;
  if (width <= 0 || height <= 0) return null;
  const zoom = typeof zoomFactor === 'number' && zoomFactor > 0 ? zoomFactor : 1;
  const left = Math.max(0, x * zoom);
  const top = Math.max(0, y * zoom);
  const right = Math.min(content.width, (x + width) * zoom);
  const bottom = Math.min(content.height, (y + height) * zoom);
  if (right <= left || bottom <= top) return null;
  return { x: left, y: top, width: right - left, height: bottom - top };
}

/** Whether the menu bar has placed the tray (a new tray answers zeros until then). */
const isPlaced = (bounds) => Boolean(bounds) && bounds.width > 0 && bounds.height > 0;

// contextIsolation on, the renderer sandboxed, no Node.js in the page.
function webPreferences(preload) {
  return { contextIsolation: true, sandbox: true, nodeIntegration: false, ...(preload ? { preload } : {}) };
}

/** The dropzone window's bounds: centred below the tray, kept on the display. */
function dropzoneBoundsBelow(tray, display) {
  const { width, height } = DROPZONE_SIZE;
  const centred = Math.round(tray.x + tray.width / 2 - width / 2);
  const x = Math.min(Math.max(centred, display.x), display.x + display.width - width);
  return { x, y: Math.round(tray.y + tray.height + DROPZONE_GAP), width, height };
}

/**
 * Starts the example in Electron's main process.
 *
 * electron: the Electron module (app, BrowserWindow, ipcMain, screen, Tray, nativeImage).
 * options.catalogue: the files this app offers, [{ id, name, url, size }] or a
 *   promise of them (size null when unknown); ids and names are the app's own.
 * options.sidecarExecutable: the sidecar program to start (the package's own by default).
 * options.log: where the example's lines go (console.log by default).
 * options.trayPlacementTimeoutMs, options.displaySettleMs: how long to wait for
 *   the tray to be placed, and for display changes to settle (tests shorten them).
 *
 * Answers { ready, stop }: `ready` resolves once the window, the tray and the
 * sidecar are up (or the tray was never placed, which the log says);
 * `stop()` stops the sidecar and resolves when it has exited.
 */
function startApp(electron, options = {}) {
  const { app, BrowserWindow, ipcMain, screen, Tray, nativeImage } = electron;
  const log = options.log || ((line) => console.log(line));

  const files = new Map(); // id -> { id, name, url, size }: what this process knows
  let win = null;
  let tray = null;
  let dropzone = null; // the dropzone window and its drop zone, while open
  let sidecar = null;
  let nextDrag = 1;
  let nextDrop = 1;

  const trayPlacementTimeoutMs = options.trayPlacementTimeoutMs ?? TRAY_PLACEMENT_TIMEOUT_MS;
  const displaySettleMs = options.displaySettleMs ?? DISPLAY_SETTLE_MS;
  const pageUrl = pathToFileURL(path.join(__dirname, 'index.html')).href;
  const dropzoneUrl = pathToFileURL(path.join(__dirname, 'dropzone.html')).href;

  const sendToPage = (channel, message) => {
    if (win && !win.isDestroyed()) win.webContents.send(channel, message);
  };
  // A message counts only from the window's own page: its web contents, its
  // main frame (not an iframe the page shows: event.sender is the same for
  // every frame), still showing the page this app loaded. senderFrame is null
  // once the frame has navigated away or gone.
  const fromOurPage = (event) => {
    if (win === null || win.isDestroyed() || event.sender !== win.webContents) return false;
    const frame = event.senderFrame;
    return frame != null && frame === win.webContents.mainFrame && frame.url === pageUrl;
  };

  // ---- The drag out ----------------------------------------------------------

  // Writes one promised file: downloads it into the destination the drop
  // target chose, with progress. startFileDrag completes the write when this
  // settles: success, or the error's message, which the drop target shows.
  async function download(sessionId, { promiseId, kind, destinationPath, progress, signal }) {
    const file = files.get(promiseId); // the ids promised are this process's own
    if (!file || kind !== 'file') throw new Error(`nothing to write for ${promiseId}`);
    log(`${TAG} ${sessionId} downloading ${file.id} to ${destinationPath}`);
    let shown = -1;
    const report = (fraction) => {
      progress(fraction); // the Finder's progress on the destination
      const percent = Math.floor(fraction * 100);
      if (percent !== shown) {
        shown = percent;
        sendToPage('drag-out:file', { sessionId, id: file.id, state: 'downloading', fraction });
      }
    };
    report(0);
    try {
      const response = await fetch(file.url, signal ? { signal } : {});
      const bytes = await drag.writeFileFromStream(destinationPath, response, {
        progress: report,
        ...(signal ? { signal } : {}),
      });
      log(`${TAG} ${sessionId} wrote ${file.id} bytes=${bytes}`);
      sendToPage('drag-out:file', { sessionId, id: file.id, state: 'written', bytes });
    } catch (error) {
      const message = `Could not download ${file.name}: ${error.message}`;
      log(`${TAG} ${sessionId} failed ${file.id}: ${message}`);
      sendToPage('drag-out:file', { sessionId, id: file.id, state: 'failed', message });
      throw new Error(message);
    }
  }

  // Runs as the cursor crosses the window's edge with the button held.
  function beginDrag(dragged, windowNumber) {
    const sessionId = `drag-out-${nextDrag++}`;
    const started = drag.startFileDrag(
      {
        sessionId,
        windowNumber,
        items: dragged.map((file) => ({ promiseId: file.id, kind: 'file', suggestedName: file.name })),
        onEnded: ({ operation }) => {
          log(`${TAG} ${sessionId} ended operation=${operation}`);
          sendToPage('drag-out:state', { sessionId, phase: 'ended', dropped: operation !== 0 });
        },
      },
      (write) => download(sessionId, write),
    );
    log(`${TAG} ${sessionId} started=${started} items=${dragged.length}`);
    sendToPage('drag-out:state', { sessionId, phase: started ? 'started' : 'not-started' });
  }

  function onDragStart(event, ids) {
    if (!fromOurPage(event) || !Array.isArray(ids)) return;
    // Only files this process knows: an id the page made up drags nothing.
    const known = new Set(ids.filter((id) => typeof id === 'string' && files.has(id)));
    const dragged = [...known].map((id) => files.get(id));
    if (dragged.length === 0) return;
    const windowNumber = drag.windowNumberOf(win); // 0 when Electron cannot tell: the key window
    const armed = drag.armPromiseDragOnWindowExit(windowNumber, () => beginDrag(dragged, windowNumber));
    log(`${TAG} armed=${armed} files=${dragged.map((file) => file.id).join(',')} windowNumber=${windowNumber}`);
  }

  // ---- The dropzone by the tray ----------------------------------------------

  // The dropzone window, while one is open: { win, zone, receiving, closing }.
  // zone: the drop zone over the page's drop area (acceptFileDrops), once the
  // page has reported where that is; receiving: the dropped files whose
  // receipt has not settled; closing: why the window is to close once they
  // have (a close asked for while files are still arriving waits for them).
  const sendTo = (target, channel, message) => {
    if (!target.isDestroyed()) target.webContents.send(channel, message);
  };
  // As fromOurPage, for the dropzone window's page.
  const fromDropzonePage = (event) => {
    if (dropzone === null || dropzone.win.isDestroyed() || event.sender !== dropzone.win.webContents) return false;
    const frame = event.senderFrame;
    return frame != null && frame === dropzone.win.webContents.mainFrame && frame.url === dropzoneUrl;
  };

  function openDropzone(bounds) {
    if (dropzone) {
      dropzone.closing = null; // the drag came back: it stays open
      return;
    }
    const win = new BrowserWindow({
      ...bounds,
      show: false,
      frame: false,
      resizable: false,
      movable: false,
      minimizable: false,
      maximizable: false,
      alwaysOnTop: true,
      skipTaskbar: true,
      acceptFirstMouse: true, // shown inactive: its page's first click is a click, not an activation
      webPreferences: webPreferences(path.join(__dirname, 'dropzone-preload.js')),
    });
    const opened = { win, zone: null, receiving: 0, closing: null };
    dropzone = opened;
    // The zone lives no longer than the window shows the page it covers.
    win.on('hide', () => closeZone(opened, 'window hidden'));
    win.on('closed', () => {
      closeZone(opened, 'window closed');
      if (dropzone === opened) dropzone = null;
    });
    win.loadFile(path.join(__dirname, 'dropzone.html'));
    win.showInactive(); // never takes the focus from the app the drag comes from
    log(`${TAG} dropzone opened`);
  }

  // Closes the dropzone window; unless `now`, only once the files dropped on it
  // have arrived (or failed): closing it sooner would cancel their receipt.
  function closeDropzone(reason, { now = false } = {}) {
    const closing = dropzone;
    if (!closing) return;
    if (!now && closing.receiving > 0) {
      if (closing.closing === null) log(`${TAG} dropzone closes once its drops have arrived (${reason})`);
      closing.closing = reason;
      return;
    }
    dropzone = null;
    closeZone(closing, reason);
    closing.win.close();
    log(`${TAG} dropzone closed (${reason})`);
  }

  function closeZone(opened, reason) {
    if (opened.zone === null || opened.zone.closed) return;
    opened.zone.close(); // what is still arriving is rejected: "the drop zone was closed"
    log(`${TAG} drop zone closed (${reason})`);
  }

  // The page reports its drop area: at load, and whenever it moves or resizes.
  function onDropArea(event, reported) {
    if (!fromDropzonePage(event)) return;
    const opened = dropzone;
    const { win } = opened;
    const [width, height] = win.getContentSize();
    const rect = zoneRectFrom(reported, win.webContents.getZoomFactor(), { width, height });
    if (rect === null) {
      log(`${TAG} drop area refused: not a rectangle inside the window`);
      return;
    }
    const shown = `${rect.x},${rect.y},${rect.width},${rect.height}`;
    if (opened.zone !== null && !opened.zone.closed) {
      opened.zone.setRect(rect);
      log(`${TAG} drop zone moved rect=${shown}`);
      return;
    }
    if (opened.zone !== null || !win.isVisible()) return; // closed with its window, or hidden
    // The dropzone is shown without taking the focus: 0 (the key window)
    // would put the zone on the window the drag comes from.
    const windowNumber = drag.windowNumberOf(win);
    if (windowNumber === 0) {
      log(`${TAG} drop zone not opened: no window number for the dropzone window`);
      return;
    }
    const destination = path.join(app.getPath('userData'), DROPS_FOLDER);
    try {
      fs.mkdirSync(destination, { recursive: true });
      opened.zone = drag.acceptFileDrops({ windowNumber, rect, destination });
    } catch (error) {
      log(`${TAG} drop zone not opened: ${error.message}`);
      return;
    }
    log(`${TAG} drop zone opened rect=${shown} destination=${destination}`);
    const { zone } = opened;
    const arriving = []; // { dropId, index, name, promise, shown } of promised files not yet received
    for (const [event, over] of [['enter', true], ['exit', false]]) {
      zone.on(event, () => {
        log(`${TAG} drop zone: ${event}`);
        sendTo(win, 'dropzone:hover', { over });
      });
    }
    zone.on('drop', (drop) => receive(opened, arriving, drop));
    zone.on('progress', ({ name, path: about, fraction }) => {
      const entry = arrivingEntry(arriving, name, about);
      if (!entry || typeof fraction !== 'number') return;
      const percent = Math.floor(fraction * 100);
      if (percent === entry.shown) return;
      entry.shown = percent;
      sendTo(win, 'dropzone:file', { dropId: entry.dropId, index: entry.index, state: 'receiving', fraction });
    });
  }

  // The promised file a progress report is about: the item whose path promise
  // it carries; failing that, the one file arriving under that name.
  function arrivingEntry(arriving, name, about) {
    const same = arriving.find((entry) => entry.promise === about);
    if (same) return same;
    const named = arriving.filter((entry) => entry.name === name);
    return named.length === 1 ? named[0] : undefined;
  }

  // A drop: the page lists its files at once, then hears each one's outcome.
  function receive(opened, arriving, drop) {
    const { win } = opened;
    const dropId = `drop-${nextDrop++}`;
    const items = drop.items.map((item, index) => ({ index, name: String(item.name), kind: item.kind }));
    log(`${TAG} ${dropId} dropped items=${items.length}${drop.folder ? ` folder=${drop.folder}` : ''}`);
    sendTo(win, 'dropzone:drop', { dropId, items });
    drop.items.forEach((item, index) => {
      const { name, kind } = items[index];
      const entry = { dropId, index, name, promise: item.path, shown: -1 };
      if (kind === 'promise') arriving.push(entry);
      opened.receiving += 1;
      Promise.resolve(item.path)
        .then(
          (received) => {
            log(`${TAG} ${dropId} received ${name} at ${received}`);
            sendTo(win, 'dropzone:file', { dropId, index, state: 'received', path: received });
          },
          (error) => {
            const message = (error && error.message) || String(error);
            log(`${TAG} ${dropId} not received ${name}: ${message}`);
            sendTo(win, 'dropzone:file', { dropId, index, state: 'failed', message });
          },
        )
        .finally(() => {
          const at = arriving.indexOf(entry);
          if (at !== -1) arriving.splice(at, 1);
          opened.receiving -= 1;
          if (opened.receiving === 0 && opened.closing !== null && dropzone === opened) closeDropzone(opened.closing);
        });
    });
  }

  let stopped = false;
  let starts = 0; // each start (and restart) of the sidecar; a later one supersedes a waiting one
  let displayTimer = null;
  let retiring = null; // the stop of a sidecar being replaced

  /** The tray's bounds once the menu bar has placed it; null if it is not placed in time, or on stop. */
  function placedTrayBounds() {
    const deadline = Date.now() + trayPlacementTimeoutMs;
    return new Promise((resolve) => {
      const look = () => {
        if (stopped || tray === null) return resolve(null);
        const bounds = tray.getBounds();
        if (isPlaced(bounds)) return resolve(bounds);
        if (Date.now() >= deadline) return resolve(null);
        setTimeout(look, TRAY_PLACEMENT_POLL_MS);
      };
      look();
    });
  }

  // Starts the sidecar for the tray's placed bounds and the primary display
  // as they are now.
  async function startSidecar() {
    const start = ++starts;
    const trayFrame = await placedTrayBounds();
    if (stopped || start !== starts) return; // stopped, or a later start took over
    if (trayFrame === null) {
      log(`${TAG} dropzone sidecar not started: the menu bar has not placed the tray (bounds ${JSON.stringify(tray.getBounds())})`);
      return;
    }
    const display = screen.getPrimaryDisplay().bounds;
    const dropzoneFrame = dropzoneBoundsBelow(trayFrame, display);
    let started;
    try {
      started = startDropzoneSidecar({
        trayFrame,
        dropzoneFrame,
        primaryDisplayBounds: display,
        ...(options.sidecarExecutable ? { executable: options.sidecarExecutable } : {}),
      });
    } catch (error) {
      log(`${TAG} dropzone sidecar not started: ${error.message}`);
      return;
    }
    sidecar = started;
    const current = () => sidecar === started; // a sidecar being replaced opens and closes nothing
    const frame = (r) => `${r.x},${r.y},${r.width},${r.height}`;
    log(`${TAG} dropzone sidecar started pid=${started.pid} trayFrame=${frame(trayFrame)} dropzoneFrame=${frame(dropzoneFrame)}`);
    started.on('drag-enter', () => {
      log(`${TAG} dropzone sidecar: drag-enter`);
      if (current()) openDropzone(dropzoneFrame);
    });
    for (const event of ['drag-exit', 'outside-click']) {
      started.on(event, () => {
        log(`${TAG} dropzone sidecar: ${event}`);
        if (current()) closeDropzone(event);
      });
    }
    started.on('error', (error) => log(`${TAG} dropzone sidecar error: ${error.message}`));
    started.on('exit', (code, signal) => {
      log(`${TAG} dropzone sidecar exited code=${code} signal=${signal}`);
      if (current()) closeDropzone('sidecar exited');
    });
  }

  // The zones are in the primary display's space, from the tray's place: when
  // a display is added, removed or changes (resolution, arrangement, a
  // menu bar moving), stop the sidecar and start it again with the new frames.
  async function restartSidecar() {
    displayTimer = null;
    const previous = sidecar;
    sidecar = null;
    closeDropzone('display changed');
    if (previous) {
      retiring = previous.stop();
      await retiring;
      retiring = null;
    }
    if (!stopped) await startSidecar();
  }

  function onDisplayChange(event) {
    if (stopped) return;
    log(`${TAG} ${event}: the dropzone sidecar starts again`);
    if (displayTimer !== null) clearTimeout(displayTimer);
    displayTimer = setTimeout(restartSidecar, displaySettleMs);
  }
  const displayListeners = DISPLAY_EVENTS.map((event) => [event, () => onDisplayChange(event)]);

  // ---- Start and stop --------------------------------------------------------

  ipcMain.handle('files:list', (event) =>
    fromOurPage(event) ? [...files.values()].map(({ id, name, size }) => ({ id, name, size })) : [],
  );
  ipcMain.on('drag-out:start', onDragStart);
  // The drag ended inside the window: the trigger is not needed (releasing the
  // button cancels it too).
  ipcMain.on('drag-out:cancel', (event) => {
    if (fromOurPage(event)) drag.disarmPromiseDrag();
  });
  ipcMain.on('dropzone:area', onDropArea);

  const ready = app.whenReady().then(async () => {
    for (const file of await options.catalogue) files.set(file.id, Object.freeze({ ...file }));

    win = new BrowserWindow({
      width: 520,
      height: 560,
      title: 'Drag out',
      webPreferences: webPreferences(path.join(__dirname, 'preload.js')),
    });
    win.on('closed', () => {
      win = null;
      app.quit();
    });
    win.loadFile(path.join(__dirname, 'index.html'));
    log(`${TAG} window ready windowNumber=${drag.windowNumberOf(win)} files=${files.size}`);

    tray = new Tray(nativeImage.createEmpty());
    tray.setTitle('Drop'); // an empty image: the menu bar shows the title
    for (const [event, listener] of displayListeners) screen.on(event, listener);
    await startSidecar(); // once the menu bar has placed the tray
  });

  let stopping = null;
  function stop() {
    if (!stopping) {
      stopped = true; // a wait for the tray's placement ends at its next look
      if (displayTimer !== null) clearTimeout(displayTimer);
      for (const [event, listener] of displayListeners) screen.removeListener(event, listener);
      closeDropzone('quit', { now: true });
      stopping = sidecar ? sidecar.stop() : retiring || Promise.resolve(null);
    }
    return stopping;
  }
  app.on('will-quit', () => {
    stop();
  });

  return { ready, stop };
}

module.exports = { startApp, dropzoneBoundsBelow };
