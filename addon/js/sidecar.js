'use strict';
// Where the dropzone sidecar executable for this platform is: a prebuild of
// the package first, then a local build.
const fs = require('node:fs');
const path = require('node:path');

const root = path.join(__dirname, '..', '..');
const executable = 'kestrovan-drag-dropzone-sidecar';

/** The absolute path of the sidecar for this platform; throws an Error naming the places looked in when there is none. */
function sidecarPath() {
  const presets = process.platform === 'darwin' ? ['macos'] : ['linux-release', 'linux-debug'];
  const tried = [
    path.join(root, 'prebuilds', `${process.platform}-${process.arch}`, executable),
    ...presets.map((preset) => path.join(root, 'build', preset, 'sidecar', executable)),
  ];
  for (const candidate of tried) {
    if (fs.existsSync(candidate)) return candidate;
  }
  throw new Error(`${executable} was not found for ${process.platform}-${process.arch}; looked in:\n  ${tried.join('\n  ')}`);
}

module.exports = { sidecarPath };
