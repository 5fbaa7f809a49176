'use strict';
// The page's only way to the main process (contextIsolation on, sandboxed):
// the list of files, the start and cancel of a drag by file ids, and what the
// main process reports back. The page never sends a name, a path or a URL.
const { contextBridge, ipcRenderer } = require('electron');

const listen = (channel) => (callback) => {
  ipcRenderer.on(channel, (_event, message) => callback(message));
};

contextBridge.exposeInMainWorld('dragOut', {
  listFiles: () => ipcRenderer.invoke('files:list'),
  start: (ids) => ipcRenderer.send('drag-out:start', ids),
  cancel: () => ipcRenderer.send('drag-out:cancel'),
  onState: listen('drag-out:state'),
  onFile: listen('drag-out:file'),
});
