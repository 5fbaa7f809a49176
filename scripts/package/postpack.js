'use strict';
// After `npm pack` of a package of this repository: puts the repository's
// package.json back and removes what prepack.js copied in, so the package
// folder is as it is in git again.
const fs = require('fs');
const path = require('path');
const { copiedFiles, createdFolders, repositoryManifest } = require('./pack-layout');

const packageDir = process.cwd();
const kept = path.join(packageDir, repositoryManifest);
if (fs.existsSync(kept)) fs.renameSync(kept, path.join(packageDir, 'package.json'));
const pkg = JSON.parse(fs.readFileSync(path.join(packageDir, 'package.json'), 'utf8'));
for (const [, destination] of copiedFiles(pkg.name)) fs.rmSync(path.join(packageDir, destination), { force: true });
for (const folder of createdFolders) fs.rmSync(path.join(packageDir, folder), { recursive: true, force: true });
