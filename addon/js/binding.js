'use strict';
// Finds a native binary of this package: a prebuild for this platform first,
// then a local build (scripts/build.sh), release before debug.
const fs = require('node:fs');
const path = require('node:path');

const root = path.join(__dirname, '..', '..');

function candidates(file) {
  const platformTag = `${process.platform}-${process.arch}`;
  const presets = process.platform === 'darwin' ? ['macos'] : ['linux-release', 'linux-debug'];
  return [
    path.join(root, 'prebuilds', platformTag, file),
    ...presets.map((preset) => path.join(root, 'build', preset, 'addon', file)),
  ];
}

function findBinary(name) {
  const file = `${name}.node`;
  const tried = candidates(file);
  for (const candidate of tried) {
    if (fs.existsSync(candidate)) return candidate;
  }
  throw new Error(
    `${file} was not found for ${process.platform}-${process.arch}; looked in:\n  ` +
      tried.join('\n  ') +
      '\nBuild it with scripts/build.sh (or npm install).',
  );
}

module.exports = { findBinary };
