'use strict';
// Where the dropzone sidecar program for the running platform is. Plain
// `require('fs')`: the package loads on Node 14.17.
const fs = require('fs');
const path = require('path');

const executable = 'kestrovan-drag-dropzone-sidecar';
const packageRoot = path.join(__dirname, '..');
const repositoryRoot = path.join(packageRoot, '..');
const inClone = fs.existsSync(path.join(repositoryRoot, 'CMakePresets.json'));

/**
 * Where the program may be: installed, the package's prebuild (or source build)
 * for this platform; in a clone (its CMakePresets.json beside the package's
 * folder), the clone's builds first, then that prebuild, so that prebuilds made
 * in the clone (scripts/make-prebuilds.sh, a release) never shadow a later build.
 */
function candidates() {
  const tag = `${process.platform}-${process.arch}`;
  const prebuild = path.join(packageRoot, 'prebuilds', tag, executable);
  if (!inClone) return [prebuild];
  const presets = process.platform === 'darwin' ? ['macos'] : ['linux-release', 'linux-debug'];
  return [...presets.map((preset) => path.join(repositoryRoot, 'build', preset, 'sidecar', executable)), prebuild];
}

/**
 * The same path outside an asar archive: Electron reads files inside app.asar
 * but cannot start a program there, so packagers put unpacked files beside it
 * in app.asar.unpacked (electron-builder's asarUnpack, Electron Forge's and
 * @electron/packager's asar.unpack).
 */
function outsideArchive(file) {
  return file.replace(/\.asar(?=[\\/])/, '.asar.unpacked');
}

/** The absolute path of the sidecar for this platform; throws an Error saying where it looked when there is none. */
function sidecarPath() {
  const tried = candidates();
  for (const candidate of tried) {
    const unpacked = outsideArchive(candidate);
    if (unpacked === candidate) {
      if (fs.existsSync(candidate)) return candidate;
      continue;
    }
    if (fs.existsSync(unpacked)) return unpacked;
    if (fs.existsSync(candidate)) {
      // The packager's rule named whole: a rule that unpacks only *.node files
      // (as Electron Forge's auto-unpack-natives plugin sets) leaves the program here.
      throw new Error(
        `${executable} is inside an asar archive (${candidate}), where it cannot be started; ` +
          'unpack it: with electron-builder, asarUnpack ["**/node_modules/kestrovan-drag-dropzone-sidecar/prebuilds/**"]; ' +
          'with Electron Forge (packagerConfig) or @electron/packager, asar: { unpack: "**/node_modules/kestrovan-*/prebuilds/**" } ' +
          '(one glob: join it to one you have as "{**/*.node,**/node_modules/kestrovan-*/prebuilds/**}")',
      );
    }
  }
  const remedy = inClone
    ? 'Build it with `cmake --preset linux-release && cmake --build --preset linux-release` (preset `macos` on a Mac).'
    : 'Reinstall with `npm install kestrovan-drag-dropzone-sidecar --build-from-source` to build it for this machine.';
  throw new Error(
    `${executable} was not found for ${process.platform}-${process.arch}; looked in:\n  ${tried.join('\n  ')}\n${remedy}`,
  );
}

module.exports = { sidecarPath };
