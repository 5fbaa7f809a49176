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
//   menu bar has placed the tray, and started again when the displays change.
const path = require('path');
const { pathToFileURL } = require('url');
const drag = require('kestrovan-file-promise-drag');
const { startDropzoneSidecar } = require('kestrovan-drag-dropzone-sidecar');

const TAG = '[drag-out example]';
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
  let dropzone = null;
  let sidecar = null;
  let nextDrag = 1;

  const trayPlacementTimeoutMs = options.trayPlacementTimeoutMs ?? TRAY_PLACEMENT_TIMEOUT_MS;
  const displaySettleMs = options.displaySettleMs ?? DISPLAY_SETTLE_MS;
  const pageUrl = pathToFileURL(path.join(__dirname, 'index.html')).href;

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

  function openDropzone(bounds) {
    if (dropzone && !dropzone.isDestroyed()) return;
    dropzone = new BrowserWindow({
      ...bounds,
      show: false,
      frame: false,
      resizable: false,
      movable: false,
      minimizable: false,
      maximizable: false,
      alwaysOnTop: true,
      skipTaskbar: true,
      webPreferences: webPreferences(null),
    });
    const opened = dropzone;
    opened.on('closed', () => {
      if (dropzone === opened) dropzone = null;
    });
    opened.loadFile(path.join(__dirname, 'dropzone.html'));
    opened.showInactive(); // never takes the focus from the app the drag comes from
    log(`${TAG} dropzone opened`);
  }

  function closeDropzone(reason) {
    if (!dropzone || dropzone.isDestroyed()) return;
    dropzone.close();
    dropzone = null;
    log(`${TAG} dropzone closed (${reason})`);
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
      closeDropzone('quit');
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
