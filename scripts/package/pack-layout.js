'use strict';
// What `npm pack` adds to a package folder of this repository and takes out
// again (prepack.js, postpack.js): the files a package needs that live once at
// the repository root.
const fs = require('fs');
const path = require('path');

const repositoryRoot = path.join(__dirname, '..', '..');

/** [source relative to the repository root, destination relative to the package] pairs. */
function copiedFiles(packageName) {
  const files = [
    ['LICENSE', 'LICENSE'],
    ['scripts/package/native-install.js', 'native-install.js'],
    ['cmake/KestrovanProject.cmake', 'cmake/KestrovanProject.cmake'],
    ['cmake/KestrovanWarnings.cmake', 'cmake/KestrovanWarnings.cmake'],
  ];
  if (packageName === 'kestrovan-file-promise-drag') {
    // The Node-API headers a source build compiles against, and their licence;
    // not the rest of the node-api-headers package.
    const headers = path.dirname(require.resolve('node-api-headers/package.json', { paths: [repositoryRoot] }));
    const relative = path.relative(repositoryRoot, headers);
    for (const header of fs.readdirSync(path.join(headers, 'include')).filter((f) => f.endsWith('.h'))) {
      files.push([path.join(relative, 'include', header), path.join('vendor/node-api-headers/include', header)]);
    }
    files.push([path.join(relative, 'LICENSE'), 'vendor/node-api-headers/LICENSE']);
  }
  return files;
}

/** The folders the copies create, removed whole after packing. */
const createdFolders = ['cmake', 'vendor'];

/**
 * While a package is packed its package.json is the manifest the tarball
 * carries, and the repository's own is kept beside it under this name (not in
 * the package's `files`, so never packed) until postpack.js puts it back.
 */
const repositoryManifest = 'package.json.in-repository';

/**
 * The package.json a tarball carries: the repository's, without the scripts
 * that reach outside the package folder (prepack and postpack run
 * ../scripts/package/…, which an installed package does not have: with them
 * an installed package could not be packed again). The install step stays: it
 * runs install.js, which the package carries.
 */
function packedManifest(text) {
  const manifest = JSON.parse(text);
  const scripts = Object.entries(manifest.scripts || {}).filter(([, command]) => !needsRepository(command));
  if (scripts.length) manifest.scripts = Object.fromEntries(scripts);
  else delete manifest.scripts;
  return `${JSON.stringify(manifest, null, 2)}\n`;
}

/** Whether a script's command names a path outside the package folder. */
function needsRepository(command) {
  return /(^|[\s'"=])\.\.([\\/]|$)/.test(command);
}

/** The platforms a release ships, and what `file`-like checks each binary must pass. */
const releasePrebuilds = {
  'darwin-arm64': { format: 'Mach-O', cpu: 'arm64' },
  'darwin-x64': { format: 'Mach-O', cpu: 'x86_64' },
  'linux-x64': { format: 'ELF', cpu: 'x86-64' },
};

/** The format and processor of a binary from its header, or null when it is neither 64-bit Mach-O nor ELF. */
function binaryKind(file) {
  const header = Buffer.alloc(20);
  const fd = fs.openSync(file, 'r');
  try {
    fs.readSync(fd, header, 0, header.length, 0);
  } finally {
    fs.closeSync(fd);
  }
  if (header.readUInt32LE(0) === 0xfeedfacf) {
    const cpu = { 0x0100000c: 'arm64', 0x01000007: 'x86_64' }[header.readUInt32LE(4)];
    return { format: 'Mach-O', cpu: cpu || 'unknown' };
  }
  if (header.readUInt32BE(0) === 0x7f454c46) {
    return { format: 'ELF', cpu: header.readUInt16LE(18) === 62 ? 'x86-64' : 'unknown' };
  }
  return null;
}

module.exports = {
  repositoryRoot,
  copiedFiles,
  createdFolders,
  repositoryManifest,
  packedManifest,
  needsRepository,
  releasePrebuilds,
  binaryKind,
};
