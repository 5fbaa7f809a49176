'use strict';
// `npm pack` / `npm publish` of a package of this repository (run in the
// package folder): refuses a package that lacks a release's prebuilds, then
// copies in the files it needs from the repository root (pack-layout.js).
//
// Every platform of a release must be there, each binary of the right format
// and processor. KESTROVAN_DEV_PACK=1 packs with only the prebuilds of the
// machine that packs (linux-x64 on Linux, its own darwin one on a Mac), for
// the package tests: such a tarball cannot serve the other platforms.
const fs = require('fs');
const path = require('path');
const { repositoryRoot, copiedFiles, releasePrebuilds, binaryKind } = require('./pack-layout');

const packageDir = process.cwd();
const pkg = JSON.parse(fs.readFileSync(path.join(packageDir, 'package.json'), 'utf8'));
const developmentPack = process.env.KESTROVAN_DEV_PACK === '1';
const hostTag = `${process.platform}-${process.arch}`;

const missing = [];
const wrong = [];
for (const [tag, expected] of Object.entries(releasePrebuilds)) {
  const platform = tag.split('-')[0];
  for (const file of pkg.kestrovan.binaries[platform]) {
    const relative = `prebuilds/${tag}/${file}`;
    const absolute = path.join(packageDir, relative);
    if (!fs.existsSync(absolute)) {
      if (!(developmentPack && tag !== hostTag)) missing.push(relative);
      continue;
    }
    const kind = binaryKind(absolute);
    if (!kind || kind.format !== expected.format || kind.cpu !== expected.cpu) {
      wrong.push(`${relative} is ${kind ? `${kind.format} ${kind.cpu}` : 'not a 64-bit Mach-O or ELF binary'}, expected ${expected.format} ${expected.cpu}`);
    }
  }
}
if (missing.length || wrong.length) {
  const lines = [`${pkg.name}: refusing to pack a package that cannot serve every platform it lists.`];
  if (missing.length) lines.push(`Missing: ${missing.join(', ')}.`);
  lines.push(...wrong);
  lines.push(
    'Make a release with `npm run release` at the repository root, with SDKROOT naming a macOS SDK (it builds every prebuild).',
    `For a development tarball with only this machine's prebuilds (${hostTag}; for tests, unusable on the other platforms), set KESTROVAN_DEV_PACK=1.`,
  );
  console.error(lines.join('\n'));
  process.exit(1);
}
if (developmentPack) console.error(`${pkg.name}: KESTROVAN_DEV_PACK=1: a development tarball; only ${hostTag}'s binaries are required`);

for (const [source, destination] of copiedFiles(pkg.name)) {
  const target = path.join(packageDir, destination);
  fs.mkdirSync(path.dirname(target), { recursive: true });
  fs.copyFileSync(path.join(repositoryRoot, source), target);
}
