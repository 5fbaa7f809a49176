'use strict';
// The dropzone page's only way to the main process (contextIsolation on,
// sandboxed): it reports where its drop area is, and hears the drag hovering
// over it, the files dropped there and how each one arrives. Nothing else:
// the page of the main window has its own preload.
const { contextBridge, ipcRenderer } = require('electron');

const listen = (channel) => (callback) => {
  ipcRenderer.on(channel, (_event, message) => callback(message));
};

contextBridge.exposeInMainWorld('dropzone', {
  reportArea: ({ x, y, width, height }) => ipcRenderer.send('dropzone:area', { x, y, width, height }),
  onHover: listen('dropzone:hover'),
  onDrop: listen('dropzone:drop'),
  onFile: listen('dropzone:file'),
});
