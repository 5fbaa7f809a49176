// A stand-in for the few Electron main-process APIs the example uses, backed
// by the simulated desktop: each BrowserWindow is a window of the desktop,
// whose number its getMediaSourceId() answers as Electron does on macOS
// ("window:<CGWindowID>:0"). IPC from the page is sent with sendFromPage and
// invokeFromPage; what the main process sends a page is kept in `sent`.
import { EventEmitter } from 'node:events';

/**
 * display: the primary display's bounds (Electron's space: top left, y down).
 * trayBounds: what Tray.getBounds() answers.
 */
export function electronStub(desktop, { display, trayBounds }) {
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

  class WebContents {
    constructor(owner) {
      this.owner = owner;
      this.sent = [];
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
      return Promise.resolve();
    }

    getMediaSourceId() {
      if (this.destroyed) throw new Error('Object has been destroyed');
      return `window:${this.number}:0`;
    }

    getBounds() {
      return { ...this.bounds };
    }

    showInactive() {
      this.visible = true;
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
      return { ...trayBounds };
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

  const electron = {
    app,
    BrowserWindow,
    Tray,
    ipcMain,
    screen: { getPrimaryDisplay: () => ({ bounds: { ...display }, workArea: { ...display } }) },
    nativeImage: { createEmpty: () => ({ isEmpty: () => true }) },
  };

  return {
    electron,
    windows,
    trays,
    /** A page's ipcRenderer.send(channel, ...args) from the window's webContents (or any sender). */
    sendFromPage(sender, channel, ...args) {
      listeners.emit(channel, { sender }, ...args);
    },
    /** A page's ipcRenderer.invoke(channel, ...args); resolves with the handler's answer. */
    async invokeFromPage(sender, channel, ...args) {
      const handler = handlers.get(channel);
      if (!handler) throw new Error(`No handler registered for '${channel}'`);
      return structuredClone(await handler({ sender }, ...args));
    },
    /** The messages the main process sent a window's page on a channel. */
    sentTo(win, channel) {
      return win.webContents.sent.filter((entry) => entry.channel === channel).map((entry) => entry.message);
    },
  };
}
