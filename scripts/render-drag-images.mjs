#!/usr/bin/env node
// Renders drag images on the simulated desktop to PNG files for a person to
// look at: 1 item, a 7-item folder and 100 items, each without an icon (the
// system icon for the file type) and with one (a generated landscape picture).
//
//   node scripts/render-drag-images.mjs [output folder]   (default build/drag-images)
//
// KESTROVAN_BUILD_DIR names the build to use (default build/linux-release, else
// build/linux-debug). Images are 64 x 64 points at 4 pixels per point.
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { writePng } from '../addon/test/png_fixture.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const require = createRequire(import.meta.url);

function buildDir() {
  if (process.env.KESTROVAN_BUILD_DIR) return path.resolve(process.env.KESTROVAN_BUILD_DIR);
  for (const name of ['linux-release', 'linux-debug']) {
    const dir = path.join(root, 'build', name);
    if (fs.existsSync(path.join(dir, 'addon', 'kestrovan_core_probes.node'))) return dir;
  }
  throw new Error('no build found: run scripts/test.sh or set KESTROVAN_BUILD_DIR');
}

const addonDir = path.join(buildDir(), 'addon');
const desktop = require(path.join(root, 'addon/backends/sim/control/index.js')).load(
  path.join(addonDir, 'kestrovan_desktop_sim_control.node'),
);
const helpers = require(path.join(addonDir, 'kestrovan_core_probes.node'));
desktop.setLogEcho(false);

const out = path.resolve(process.argv[2] ?? path.join(root, 'build', 'drag-images'));
fs.mkdirSync(out, { recursive: true });

// A 3:2 landscape (288 x 192 pixels): sky, sun and hills, wider than the icon
// area so the fill and the rounded clip both show.
const icon = writePng(path.join(out, 'icon-landscape.png'), 288, 192, (px, py) => {
  const [x, y] = [px / 3, py / 3];
  const sun = (x - 66) ** 2 + (y - 20) ** 2 < 11 ** 2;
  const hill = y > 44 + 8 * Math.sin(x / 12);
  if (sun) return [255, 196, 40, 255];
  if (hill) return [60, Math.round(150 - y), 70, 255];
  return [Math.round(90 + y), Math.round(160 + y), 235, 255];
});

const drags = [
  ['1-item', 'com.adobe.pdf', 1],
  ['7-item-folder', 'public.folder', 7],
  ['100-item', 'public.plain-text', 100],
];
for (const [name, fileType, count] of drags) {
  for (const [suffix, iconPath] of [['no-icon', null], ['icon', icon]]) {
    const id = helpers.dragImage(iconPath, fileType, count);
    const file = path.join(out, `${name}-${suffix}.png`);
    fs.writeFileSync(file, desktop.imagePng(id));
    console.log(file);
  }
}
