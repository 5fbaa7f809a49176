// The drag image as the desktop rendered it (desktop/driver.mjs), read back as
// PNG pixels: 64 x 64 points at any scale, the icon clipped to its rounded
// square, the system icon of the file type without an icon, and the white
// badge that widens for "99+". (The drawing operations themselves:
// sim/drag_image.test.mjs.)
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, afterEach, beforeEach, test } from 'node:test';

import { addon, driver, simOnly } from './desktop/driver.mjs';
import { writePng } from './png_fixture.mjs';
import { readPng } from './png_reader.mjs';

const fixtures = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-drag-image-png-'));
const greenIcon = writePng(path.join(fixtures, 'green.png'), 8, 8, () => [0, 200, 0, 255]);

beforeEach(() => driver.reset());
afterEach(async () => {
  if (simOnly) assert.deepEqual(simOnly.violations(), [], 'nothing AppKit would refuse');
  await driver.reset();
});
after(async () => {
  await driver.close();
  fs.rmSync(fixtures, { recursive: true, force: true });
});

/** Begins a drag of `count` items and reads its image; null (skipped) without the system mouse. */
async function dragImage(t, count, iconPath) {
  const why = driver.whyNot('drag');
  if (why) {
    t.skip(why);
    return null;
  }
  const w = await driver.createWindow({ frame: { x: 100, y: 100, width: 600, height: 400 } });
  await driver.postMouse(w, { type: 'down', x: 300, y: 200 });
  const items = Array.from({ length: count }, (_, i) => ({ promiseId: `p${i}`, kind: 'file', suggestedName: `file${i}.txt` }));
  assert.equal(addon.startPromiseDrag({ sessionId: 'image', windowNumber: w, items, iconPath }, () => {}), true);
  const bytes = await driver.latestDragImagePng();
  assert.ok(bytes, 'the drag has an image');
  const png = readPng(bytes);
  assert.equal(png.width, png.height, 'square');
  assert.equal(png.width % 64, 0, `64 points at a whole scale: ${png.width} pixels`);
  const scale = png.width / 64;
  // The pixel at point (x, y) of the image, y down from its top.
  return (x, y) => png.pixel(Math.floor((x + 0.5) * scale), Math.floor((y + 0.5) * scale));
}

const transparent = ([, , , a]) => a < 30;
const white = ([r, g, b, a]) => r > 220 && g > 220 && b > 220 && a > 220;
const green = ([r, g, b, a]) => g > 150 && r < 80 && b < 80 && a > 220;
/** The badge text: a colour that is neither white nor clear, somewhere in the badge. */
function hasText(at, x0, x1) {
  for (let y = 5; y < 22; y++) {
    for (let x = x0; x < x1; x++) {
      const [r, g, b, a] = at(x, y);
      if (a > 200 && Math.min(r, g, b) < 150) return true;
    }
  }
  return false;
}

test('an icon fills its rounded square; one item shows a small badge at the top right', async (t) => {
  const at = await dragImage(t, 1, greenIcon);
  if (!at) return;
  // [point, what is there]
  const cases = [
    [[32, 40], green, 'the icon'],
    [[33, 13], green, 'the icon beside the badge'],
    [[5, 32], transparent, 'left of the icon area'],
    [[32, 60], transparent, 'below the icon area'],
    [[11, 53], transparent, "the icon's rounded corner, clipped"],
    [[58, 13], white, 'the badge'],
    [[43, 13], white, 'the badge, left of its text'],
  ];
  for (const [[x, y], is, what] of cases) assert.ok(is(at(x, y)), `${what} at (${x}, ${y}): ${at(x, y)}`);
  assert.ok(hasText(at, 40, 61), 'the count is written in the badge');
});

test('a hundred items: the badge widens for "99+"', async (t) => {
  const at = await dragImage(t, 100, greenIcon);
  if (!at) return;
  assert.ok(white(at(33, 13)), `the badge reaches over the icon: ${at(33, 13)}`);
  assert.ok(white(at(58, 13)));
  assert.ok(green(at(32, 40)));
  assert.ok(hasText(at, 30, 61));
});

test('without an icon the system icon of the file type fills the icon area', async (t) => {
  const at = await dragImage(t, 2, undefined);
  if (!at) return;
  assert.ok(!transparent(at(32, 36)), `something drawn in the icon area: ${at(32, 36)}`);
  assert.ok(transparent(at(3, 60)), 'the corner stays clear');
  assert.ok(white(at(58, 13)), 'and the badge');
});
