'use strict';
// Finds a native binary of this package for the running process: the package's
// prebuilds/<platform>-<arch>/ (shipped, or written there by a source build),
// then, in a clone of the repository, a local build (build/<preset>), release
// before debug. Plain `require('fs')`: the package loads on Node 14.17.
const fs = require('fs');
const path = require('path');

const packageRoot = path.join(__dirname, '..');
const repositoryRoot = path.join(packageRoot, '..');
const inClone = fs.existsSync(path.join(repositoryRoot, 'CMakePresets.json'));

function candidates(file) {
  const tag = `${process.platform}-${process.arch}`;
  const found = [path.join(packageRoot, 'prebuilds', tag, file)];
  if (inClone) {
    const presets = process.platform === 'darwin' ? ['macos'] : ['linux-release', 'linux-debug'];
    for (const preset of presets) found.push(path.join(repositoryRoot, 'build', preset, 'addon', file));
  }
  return found;
}

function findBinary(name) {
  const file = `${name}.node`;
  const tried = candidates(file);
  for (const candidate of tried) {
    if (fs.existsSync(candidate)) return candidate;
  }
  const remedy = inClone
    ? 'Build it with `cmake --preset linux-release && cmake --build --preset linux-release` (preset `macos` on a Mac).'
    : 'Reinstall with `npm install kestrovan-file-promise-drag --build-from-source` to build it for this machine.';
  throw new Error(
    `${file} was not found for ${process.platform}-${process.arch}; looked in:\n  ${tried.join('\n  ')}\n${remedy}`,
  );
}

module.exports = { findBinary };
