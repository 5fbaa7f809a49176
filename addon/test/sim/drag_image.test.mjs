// Sim-only: reads the drawing operations the simulated desktop recorded (the shared drag_image_png suite
// checks the rendered image on every desktop).
// The shared drag image, from the operations the simulated desktop recorded
// while it was drawn: the icon (a file's image, clipped and filled, or the
// system icon for the file type), the item-count badge, and the log lines.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, beforeEach, describe, test } from 'node:test';

import { coreProbes, desktop, logMessages } from '../helpers.mjs';
import { pngSize, writePng } from '../png_fixture.mjs';

const h = coreProbes();
const fixtures = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-drag-image-'));
after(() => fs.rmSync(fixtures, { recursive: true, force: true }));

/** A PNG of the given size in points (pixels), a diagonal gradient so a render shows its extent. */
function iconFile(name, width, height) {
  return writePng(path.join(fixtures, name), width, height, (x, y) => [
    Math.round((255 * x) / width),
    80,
    Math.round((255 * y) / height),
    255,
  ]);
}

beforeEach(() => {
  desktop.reset();
  desktop.setLogEcho(false);
  desktop.clearImages();
});

/** Draws a drag image and returns its recorded description. */
function draw(iconPath, fileType, count) {
  const id = h.dragImage(iconPath, fileType, count);
  assert.equal(typeof id, 'number');
  const image = desktop.image(id);
  assert.equal(image.kind, 'canvas');
  assert.deepEqual(image.size, { width: 64, height: 64 });
  return image;
}

const ofKind = (image, kind) => image.operations.filter((op) => op.kind === kind);
const only = (image, kind) => {
  const ops = ofKind(image, kind);
  assert.equal(ops.length, 1, `one ${kind}`);
  return ops[0];
};
const drawing = (image) => image.operations.filter((op) => op.kind !== 'measureText');

describe('the badge', () => {
  const cases = [
    // count, text, font size
    [1, '1', 12],
    [7, '7', 12],
    [99, '99', 12],
    [100, '99+', 10],
    [5000, '99+', 10],
    [0, '1', 12],
    [-3, '1', 12],
  ];
  for (const [count, text, fontSize] of cases) {
    test(`${count} item(s): "${text}" in ${fontSize}-point type, sized by the measured text`, () => {
      const image = draw(null, 'com.adobe.pdf', count);
      const measured = only(image, 'measureText');
      assert.equal(measured.text, text);
      assert.equal(measured.font.size, fontSize);

      const width = Math.max(Math.ceil(measured.measured.width) + 10, 22);
      const badge = { x: 64 - width - 3, y: 41, width, height: 20 };
      const fill = only(image, 'fillRoundedRect');
      const stroke = only(image, 'strokeRoundedRect');
      assert.deepEqual(fill.rect, badge);
      assert.deepEqual(stroke.rect, badge);

      const th = measured.measured.height;
      const label = only(image, 'drawText');
      assert.equal(label.text, text);
      assert.deepEqual(label.font, measured.font);
      assert.deepEqual(label.rect, { x: badge.x, y: 41 + Math.floor((20 - th) / 2), width, height: th });
    });
  }

  test('one item: the minimum width, 22 points at x 39', () => {
    assert.deepEqual(only(draw(null, null, 1), 'fillRoundedRect').rect, { x: 39, y: 41, width: 22, height: 20 });
  });

  test('the real font makes "99" and "99+" wider than the minimum', () => {
    // DejaVu Sans Bold: two digits at 12 points, two digits and a plus at 10,
    // each more than 12 points of text.
    const twoDigits = only(draw(null, null, 99), 'fillRoundedRect').rect;
    const plus = only(draw(null, null, 100), 'fillRoundedRect').rect;
    assert.ok(twoDigits.width > 22, `99: ${twoDigits.width}`);
    assert.ok(plus.width > 22, `99+: ${plus.width}`);
    assert.equal(twoDigits.x + twoDigits.width, 61);
    assert.equal(plus.x + plus.width, 61);
  });

  test('colours, radii, line width, font and alignment', () => {
    const image = draw(null, null, 3);
    const fill = only(image, 'fillRoundedRect');
    assert.deepEqual([fill.xRadius, fill.yRadius, fill.color], [10, 10, { name: 'white', alpha: 1 }]);
    const stroke = only(image, 'strokeRoundedRect');
    assert.deepEqual(
      [stroke.xRadius, stroke.yRadius, stroke.color, stroke.lineWidth],
      [10, 10, { name: 'black', alpha: 0.16 }, 1],
    );
    for (const text of [only(image, 'measureText'), only(image, 'drawText')]) {
      assert.deepEqual(text.color, { name: 'controlAccent', alpha: 1 });
      assert.equal(text.alignment, 'center');
      assert.deepEqual(
        [text.font.name, text.font.weight, text.font.monospacedDigits],
        ['system', 'bold', true],
      );
    }
    // The badge is drawn outside any clip.
    for (const op of image.operations) if (op.kind !== 'drawImage') assert.deepEqual(op.clip, []);
  });
});

describe('an icon from a file', () => {
  const cases = [
    ['wide 88 x 44', 88, 44, { x: -12, y: 10, width: 88, height: 44 }],
    ['tall 22 x 44', 22, 44, { x: 10, y: -12, width: 44, height: 88 }],
    ['square 128 x 128', 128, 128, { x: 10, y: 10, width: 44, height: 44 }],
  ];
  for (const [what, width, height, drawn] of cases) {
    test(`${what}: fills the icon area with its proportions, clipped to the rounded square`, () => {
      const file = iconFile(`${width}x${height}.png`, width, height);
      const image = draw(file, 'com.adobe.pdf', 2);
      const roundedSquare = { rect: { x: 10, y: 10, width: 44, height: 44 }, xRadius: 12, yRadius: 12 };

      assert.deepEqual(
        drawing(image).map((op) => op.kind),
        [
          'saveGraphicsState',
          'clip',
          'drawImage',
          'restoreGraphicsState',
          'fillRoundedRect',
          'strokeRoundedRect',
          'drawText',
        ],
      );
      const clip = only(image, 'clip');
      assert.deepEqual({ rect: clip.rect, xRadius: clip.xRadius, yRadius: clip.yRadius }, roundedSquare);

      const icon = only(image, 'drawImage');
      assert.deepEqual(icon.rect, drawn);
      assert.deepEqual(icon.image, { id: icon.image.id, kind: 'file', size: { width, height }, path: file });
      assert.equal(icon.method, 'drawInRect:fromRect:operation:fraction:');
      assert.deepEqual(icon.source, { x: 0, y: 0, width: 0, height: 0 }); // the whole image
      assert.equal(icon.operation, 'sourceOver');
      assert.equal(icon.fraction, 1);
      assert.deepEqual(icon.clip, [roundedSquare]);
      assert.equal(icon.savedStates, 1);
      // The clip ends with the restored state: the badge is not cut.
      assert.deepEqual(only(image, 'fillRoundedRect').clip, []);
      assert.equal(only(image, 'fillRoundedRect').savedStates, 0);

      // No system icon, so no file type line.
      assert.deepEqual(logMessages(), [`using drag image iconPath=${file} itemCount=2 imageValid=YES`]);
    });
  }
});

describe('the system icon for the file type', () => {
  const notAnImage = path.join(fixtures, 'notes.txt');
  fs.writeFileSync(notAnImage, 'not an image\n');
  const missing = path.join(fixtures, 'missing.png');
  const cases = [
    // what, icon path, file type, count, icon type shown, file type as logged
    ['a folder', null, 'public.folder', 7, 'public.folder', 'public.folder'],
    ['a known document type', null, 'com.adobe.pdf', 1, 'com.adobe.pdf', 'com.adobe.pdf'],
    ['a type the platform does not know', null, 'com.example.unheard-of', 2, 'public.data', 'com.example.unheard-of'],
    ['no file type', null, null, 0, 'public.data', ''],
    ['an empty file type', null, '', 1, 'public.data', ''],
    ['an empty icon path, as absent', '', 'public.folder', 3, 'public.folder', 'public.folder'],
    ['an icon path to a missing file', missing, 'public.zip-archive', 4, 'public.zip-archive', 'public.zip-archive'],
    ['an icon path to a file that is no image', notAnImage, 'public.folder', 5, 'public.folder', 'public.folder'],
  ];
  for (const [what, iconPath, fileType, count, shown, logged] of cases) {
    test(`${what}: the ${shown} icon in the icon area, unclipped, with both lines`, () => {
      const image = draw(iconPath, fileType, count);
      assert.deepEqual(
        drawing(image).map((op) => op.kind),
        ['drawImage', 'fillRoundedRect', 'strokeRoundedRect', 'drawText'],
      );
      const icon = only(image, 'drawImage');
      assert.equal(icon.image.kind, 'icon');
      assert.equal(icon.image.typeIdentifier, shown);
      assert.equal(icon.method, 'drawInRect:');
      assert.deepEqual(icon.rect, { x: 10, y: 10, width: 44, height: 44 });
      assert.deepEqual(icon.clip, []);
      assert.deepEqual(logMessages(), [
        `using file type drag image fileType=${logged} itemCount=${count}`,
        `using drag image iconPath=${iconPath ?? ''} itemCount=${count} imageValid=YES`,
      ]);
    });
  }
});

describe('the image', () => {
  test('is kept by the desktop with its id and rendered at 4 pixels per point', () => {
    const first = h.dragImage(null, 'public.folder', 1);
    const second = h.dragImage(iconFile('square.png', 32, 32), null, 2);
    assert.deepEqual(
      desktop.images().map((image) => image.id),
      [first, second],
    );
    assert.equal(desktop.lastImage().id, second);
    const png = desktop.imagePng(second);
    assert.ok(Buffer.isBuffer(png));
    assert.deepEqual([...png.subarray(0, 8)], [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
    assert.deepEqual(pngSize(png), { width: 256, height: 256 });
    assert.throws(() => desktop.imagePng(1e9), TypeError);
  });

  test('drawing leaves nothing for AppKit to refuse', () => {
    draw(iconFile('wide.png', 88, 44), null, 100);
    draw(null, 'public.folder', 1);
    assert.deepEqual(desktop.violations(), []);
  });
});
