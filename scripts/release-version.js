'use strict';
// Checks that a release tag names the version of the repository and of both
// packages: `node scripts/release-version.js v0.2.0` (the release workflow
// passes its tag). Says what differs and exits 1 otherwise.
const fs = require('fs');
const path = require('path');

const tag = process.argv[2] || '';
const root = path.join(__dirname, '..');
const manifests = ['package.json', 'addon/package.json', 'sidecar/package.json'];
const wrong = [];
for (const manifest of manifests) {
  const { name, version } = JSON.parse(fs.readFileSync(path.join(root, manifest), 'utf8'));
  if (tag !== `v${version}`) wrong.push(`${manifest} (${name}) is at ${version}`);
}
if (wrong.length > 0) {
  console.error(`release-version: the tag "${tag}" is not "v" followed by the version of every package: ${wrong.join('; ')}`);
  process.exit(1);
}
console.log(`release-version: ${tag} is the version of ${manifests.join(', ')}`);
