'use strict';
// Finds a native binary of this package for the running process. Installed,
// the package's prebuilds/<platform>-<arch>/ (shipped, or written there by a
// source build). In a clone of the repository (its CMakePresets.json beside the
// package's folder), the clone's builds (build/<preset>, release before debug)
// first, then that prebuild folder: prebuilds made in the clone
// (scripts/make-prebuilds.sh, a release) never shadow a later build. Plain
// `require('fs')`: the package loads on Node 14.17.
const fs = require('fs');
const path = require('path');

const packageRoot = path.join(__dirname, '..');
const repositoryRoot = path.join(packageRoot, '..');
const inClone = fs.existsSync(path.join(repositoryRoot, 'CMakePresets.json'));

function candidates(file) {
  const tag = `${process.platform}-${process.arch}`;
  const prebuild = path.join(packageRoot, 'prebuilds', tag, file);
  if (!inClone) return [prebuild];
  const presets = process.platform === 'darwin' ? ['macos'] : ['linux-release', 'linux-debug'];
  return [...presets.map((preset) => path.join(repositoryRoot, 'build', preset, 'addon', file)), prebuild];
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
