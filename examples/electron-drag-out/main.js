'use strict';
// Electron's main process: the example's logic is in app.js, given Electron's
// APIs; the files come from a local stand-in for your server (remote-files.js).
const electron = require('electron');
const { startApp } = require('./app');
const { startRemoteFiles } = require('./remote-files');

const { ready } = startApp(electron, { catalogue: startRemoteFiles().then((server) => server.catalogue) });
ready.catch((error) => {
  console.error(`[drag-out example] could not start: ${error.stack || error}`);
  electron.app.quit();
});
