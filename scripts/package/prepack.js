'use strict';
// `npm pack` / `npm publish` of a package of this repository (run in the
// package folder): refuses a package that lacks a release's prebuilds, then
// copies in the files it needs from the repository root and writes the
// manifest the tarball carries, without the scripts that need the repository
// (pack-layout.js; postpack.js restores both).
//
// Every platform of a release must be there, each binary of the right format
// and processor. KESTROVAN_DEV_PACK=1 packs with only the prebuilds of the
// machine that packs (linux-x64 on Linux, its own darwin one on a Mac), for
// the package tests: such a tarball cannot serve the other platforms.
const fs = require('fs');
const path = require('path');
const {
  repositoryRoot,
  copiedFiles,
  repositoryManifest,
  packedManifest,
  releasePrebuilds,
  binaryKind,
} = require('./pack-layout');

const packageDir = process.cwd();
const manifestPath = path.join(packageDir, 'package.json');
const manifestText = fs.readFileSync(manifestPath, 'utf8');
const pkg = JSON.parse(manifestText);
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

// Last, once nothing can refuse: the repository's manifest is kept aside
// byte for byte, and the tarball gets one whose scripts all run inside the
// package. (npm reads package.json again when it packs the files; the
// postpack step it runs is the one it read before this.)
fs.writeFileSync(path.join(packageDir, repositoryManifest), manifestText);
fs.writeFileSync(manifestPath, packedManifest(manifestText));
