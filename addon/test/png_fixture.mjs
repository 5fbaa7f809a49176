// Writes small PNG files for tests and scripts: 8-bit RGBA, no interlacing.
import fs from 'node:fs';
import zlib from 'node:zlib';

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
  const out = Buffer.alloc(12 + data.length);
  out.writeUInt32BE(data.length, 0);
  out.write(type, 4, 'latin1');
  data.copy(out, 8);
  out.writeUInt32BE(crc32(out.subarray(4, 8 + data.length)), 8 + data.length);
  return out;
}

/**
 * PNG bytes of a width x height image; `pixel(x, y)` gives [r, g, b, a] for
 * the pixel in column x of row y, row 0 at the top.
 */
export function pngBytes(width, height, pixel) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8; // bit depth
  header[9] = 6; // RGBA
  const rows = Buffer.alloc(height * (1 + 4 * width));
  for (let y = 0; y < height; y++) {
    const row = y * (1 + 4 * width); // filter byte 0: none
    for (let x = 0; x < width; x++) rows.set(pixel(x, y), row + 1 + 4 * x);
  }
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(rows)),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

/** Writes pngBytes(...) to `file` and returns the path. */
export function writePng(file, width, height, pixel) {
  fs.writeFileSync(file, pngBytes(width, height, pixel));
  return file;
}

/** Width and height from a PNG's header. */
export function pngSize(bytes) {
  return { width: bytes.readUInt32BE(16), height: bytes.readUInt32BE(20) };
}
