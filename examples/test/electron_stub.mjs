// A stand-in for the few Electron main-process APIs the example uses, backed
// by the simulated desktop: each BrowserWindow is a window of the desktop,
// whose number its getMediaSourceId() answers as Electron does on macOS
// ("window:<CGWindowID>:0"). app.getPath answers folders under `userData`
// (a folder the test made). IPC from the page is sent with sendFromPage and
// invokeFromPage, from its main frame (whose url is the file loaded) or from
// another frame; what the main process sends a page is kept in `sent`. The
// displays change with changeDisplays, which emits screen's events.
import { EventEmitter } from 'node:events';
import { pathToFileURL } from 'node:url';

/**
 * display: the primary display's bounds (Electron's space: top left, y down).
 * trayBounds: what Tray.getBounds() answers, or a function asked on each call
 *   (a new tray answers zeros until the menu bar has placed it).
 * userData: what app.getPath('userData') answers (other names: folders inside it).
 */
export function electronStub(desktop, { display: initialDisplay, trayBounds: initialTrayBounds, userData = null }) {
  let display = initialDisplay;
  let trayBounds = initialTrayBounds;
  const windows = [];
  const trays = [];
  const handlers = new Map(); // channel -> handle() function
  const listeners = new EventEmitter();

  const app = new EventEmitter();
  app.quitCalls = 0;
  app.whenReady = () => Promise.resolve();
  app.quit = () => {
    app.quitCalls += 1;
  };
  app.getPath = (name) => {
    if (userData === null) throw new Error(`no folder for app.getPath('${name}') in this test`);
    return name === 'userData' ? userData : `${userData}/${name}`;
  };

  let nextFrame = 1;
  /** A WebFrameMain: the same object for the same frame, as Electron's are. */
  const frame = (url) => ({ routingId: nextFrame++, url });

  class WebContents {
    constructor(owner) {
      this.owner = owner;
      this.sent = [];
      this.mainFrame = frame('about:blank');
      this.zoomFactor = 1;
    }

    getZoomFactor() {
      return this.zoomFactor;
    }

    setZoomFactor(factor) {
      this.zoomFactor = factor;
    }

    send(channel, message) {
      if (this.owner.destroyed) throw new Error('Object has been destroyed');
      this.sent.push({ channel, message: structuredClone(message) });
    }
  }

  class BrowserWindow extends EventEmitter {
    constructor(options = {}) {
      super();
      this.options = options;
      this.destroyed = false;
      this.visible = options.show !== false;
      this.loaded = null;
      const width = options.width ?? 800;
      const height = options.height ?? 600;
      const x = options.x ?? 100;
      const y = options.y ?? 100;
      // AppKit's frame: the origin at the primary display's bottom left, y up.
      const frame = { x: x - display.x, y: display.y + display.height - (y + height), width, height };
      this.bounds = { x, y, width, height };
      this.number = desktop.createWindow({ frame, key: windows.length === 0, main: windows.length === 0 }).number;
      this.webContents = new WebContents(this);
      windows.push(this);
    }

    loadFile(file) {
      this.loaded = file;
      this.webContents.mainFrame.url = pathToFileURL(file).href;
      return Promise.resolve();
    }

    getMediaSourceId() {
      if (this.destroyed) throw new Error('Object has been destroyed');
      return `window:${this.number}:0`;
    }

    getBounds() {
      return { ...this.bounds };
    }

    getContentSize() {
      return [this.bounds.width, this.bounds.height]; // frameless windows only: content and frame alike
    }

    showInactive() {
      this.visible = true;
    }

    isVisible() {
      return this.visible;
    }

    hide() {
      if (this.destroyed || !this.visible) return;
      this.visible = false;
      this.emit('hide');
    }

    isDestroyed() {
      return this.destroyed;
    }

    close() {
      if (this.destroyed) return;
      this.destroyed = true;
      this.visible = false;
      desktop.closeWindow(this.number);
      this.emit('closed');
    }
  }

  class Tray {
    constructor(image) {
      this.image = image;
      this.title = '';
      trays.push(this);
    }

    getBounds() {
      return { ...(typeof trayBounds === 'function' ? trayBounds() : trayBounds) };
    }

    setTitle(title) {
      this.title = title;
    }
  }

  const ipcMain = {
    on: (channel, listener) => listeners.on(channel, listener),
    handle: (channel, handler) => {
      if (handlers.has(channel)) throw new Error(`Attempted to register a second handler for '${channel}'`);
      handlers.set(channel, handler);
    },
  };

  const screen = new EventEmitter();
  screen.getPrimaryDisplay = () => ({ bounds: { ...display }, workArea: { ...display } });

  const electron = {
    app,
    BrowserWindow,
    Tray,
    ipcMain,
    screen,
    nativeImage: { createEmpty: () => ({ isEmpty: () => true }) },
  };

  // An IPC event as Electron makes it: the sender's web contents and the frame
  // that sent it (its main frame unless said otherwise; null for a sender with
  // none, or a frame that has gone).
  const ipcEvent = (sender, senderFrame = sender.mainFrame ?? null) => ({ sender, senderFrame });

  return {
    electron,
    windows,
    trays,
    /** A frame other than a window's main frame (an iframe of its page), showing `url`. */
    frame,
    /** A page's ipcRenderer.send(channel, ...args) from the window's webContents (or any sender), its main frame. */
    sendFromPage(sender, channel, ...args) {
      listeners.emit(channel, ipcEvent(sender), ...args);
    },
    /** The same from a given frame of the sender (or null). */
    sendFromFrame(sender, senderFrame, channel, ...args) {
      listeners.emit(channel, ipcEvent(sender, senderFrame), ...args);
    },
    /** A page's ipcRenderer.invoke(channel, ...args); resolves with the handler's answer. */
    async invokeFromPage(sender, channel, ...args) {
      return this.invokeFromFrame(sender, sender.mainFrame ?? null, channel, ...args);
    },
    /** The same from a given frame of the sender (or null). */
    async invokeFromFrame(sender, senderFrame, channel, ...args) {
      const handler = handlers.get(channel);
      if (!handler) throw new Error(`No handler registered for '${channel}'`);
      return structuredClone(await handler(ipcEvent(sender, senderFrame), ...args));
    },
    /**
     * Displays change: the primary display and the tray's bounds become these,
     * then screen emits `event` ('display-added', 'display-removed',
     * 'display-metrics-changed') as Electron does, `times` times in a burst.
     */
    changeDisplays(event, { display: newDisplay = display, trayBounds: newTrayBounds = trayBounds, times = 1 } = {}) {
      display = newDisplay;
      trayBounds = newTrayBounds;
      for (let i = 0; i < times; i++) {
        if (event === 'display-metrics-changed') screen.emit(event, {}, { bounds: { ...display } }, ['bounds']);
        else screen.emit(event, {}, { bounds: { ...display } });
      }
    },
    /** The messages the main process sent a window's page on a channel. */
    sentTo(win, channel) {
      return win.webContents.sent.filter((entry) => entry.channel === channel).map((entry) => entry.message);
    },
  };
}
