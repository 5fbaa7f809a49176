// The drag-out demo on the simulated desktop, played as an Electron main
// process would play it: the user drags an element of the page toward the
// window's edge; JavaScript arms the window-exit trigger and, when the cursor
// crosses, starts a drag of promised files; a Finder-like window receives the
// drop into demo-output/finder/; JavaScript writes each promised file in chunks
// while reporting progress, one write fails on purpose, and the session
// retires once the virtual clock has moved on.
import { createRequire } from 'node:module';
import fs from 'node:fs';
import path from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { fileURLToPath } from 'node:url';

const require = createRequire(import.meta.url);
const drag = require('../js/index.js');
const desktop = require('../backends/sim/control/index.js').load();

desktop.setLogEcho(false); // the log is printed at the end

// ---- A fresh output folder, so the demo runs again at once -------------------

const output = path.resolve('demo-output');
const finderFolder = path.join(output, 'finder');
const cacheFolder = path.join(output, 'cache');
fs.rmSync(finderFolder, { recursive: true, force: true });
fs.mkdirSync(finderFolder, { recursive: true });
fs.mkdirSync(cacheFolder, { recursive: true });
const cachedNotes = path.join(cacheFolder, 'Meeting notes.txt');
fs.writeFileSync(cachedNotes, 'Meeting notes\n\n- ship the drag-out\n- write the files as the Finder asks\n');

// ---- What the page offers ------------------------------------------------------

// Bytes of each promised file: made up here, fetched from a server in an app.
const payloads = {
  report: { size: 48 * 1024 },
  photos: { files: [['beach.jpg', 24 * 1024], ['harbour.jpg', 32 * 1024], ['sunset.jpg', 16 * 1024]] },
  archive: { size: 64 * 1024, failAt: 0.6, error: 'download interrupted: the server answered 503' },
};
const items = [
  { promiseId: 'report', kind: 'file', suggestedName: 'Quarterly report.pdf' },
  { promiseId: 'photos', kind: 'directory', suggestedName: 'Trip photos' },
  { promiseId: 'notes', kind: 'file', suggestedName: 'Meeting notes.txt', filePath: cachedNotes },
  { promiseId: 'archive', kind: 'file', suggestedName: 'Project archive.zip' },
];

const chunk = (size, seed) => Buffer.alloc(size, seed);

// ---- The terminal progress bar, read from the published progress ---------------

// On a terminal the bar is redrawn in place; in a log, a line is printed each
// time a write passes a quarter.
const isTTY = process.stdout.isTTY;
let barShown = false;
let lastQuarters = '';
function showProgress() {
  const open = desktop.publishedProgress();
  const parts = open.map((p) => {
    const fraction = p.completedUnitCount / p.totalUnitCount;
    const filled = Math.round(fraction * 16);
    const name = path.basename(fileURLToPath(p.fileURL));
    return `${name} [${'#'.repeat(filled)}${'.'.repeat(16 - filled)}] ${String(Math.round(fraction * 100)).padStart(3)}%`;
  });
  const line = `  writing  ${parts.join('   ')}`;
  if (isTTY) {
    process.stdout.write(`\r\x1b[K${parts.length ? line : ''}`);
    barShown = parts.length > 0;
    return;
  }
  const quarters = open.map((p) => Math.floor((4 * p.completedUnitCount) / p.totalUnitCount)).join();
  if (parts.length && quarters !== lastQuarters) console.log(line);
  lastQuarters = quarters;
}
/** A line of its own, below the bar. */
function say(text) {
  if (isTTY && barShown) process.stdout.write('\r\x1b[K');
  console.log(text);
  if (isTTY && barShown) showProgress();
}

// ---- Writing what the Finder asks for --------------------------------------------

// Writes `size` bytes to `file` in 8 KiB chunks through a stream, reporting each
// chunk as the fraction `base + span * (written / size)` of the whole write.
async function writeChunked(file, size, seed, report, { failAt } = {}) {
  const stream = fs.createWriteStream(file);
  try {
    for (let written = 0; written < size; ) {
      const n = Math.min(8 * 1024, size - written);
      if (!stream.write(chunk(n, seed))) await new Promise((resolve) => stream.once('drain', resolve));
      written += n;
      report(written / size);
      if (failAt !== undefined && written / size >= failAt) throw new Error('interrupted');
      await sleep(15);
    }
  } finally {
    await new Promise((resolve) => stream.end(resolve));
  }
}

async function fulfil(request) {
  const { promiseId, destinationPath, destinationKind, completionToken } = request;
  const payload = payloads[promiseId];
  await null; // begins once every request of the drop has been heard
  const progress = (fraction) => {
    drag.updatePromiseWriteProgress(completionToken, fraction);
    showProgress();
  };
  try {
    if (destinationKind === 'directory') {
      fs.mkdirSync(destinationPath);
      const total = payload.files.reduce((n, [, size]) => n + size, 0);
      let done = 0;
      for (const [name, size] of payload.files) {
        await writeChunked(path.join(destinationPath, name), size, name.length, (f) => progress((done + f * size) / total));
        done += size;
      }
    } else {
      await writeChunked(destinationPath, payload.size, promiseId.length, progress, payload);
    }
    drag.completePromiseWrite(completionToken);
    say(`  done     ${path.basename(destinationPath)}`);
  } catch {
    // The drop target is told why; the partial file is removed.
    fs.rmSync(destinationPath, { force: true, recursive: true });
    const message = payload.error ?? 'write failed';
    drag.completePromiseWrite(completionToken, message);
    say(`  failed   ${path.basename(destinationPath)}: ${message}`);
  }
  showProgress();
}

// ---- The user drags an element of the page out of the window -------------------

const win = desktop.createWindow({
  frame: { x: 200, y: 200, width: 800, height: 600 },
  key: true,
  main: true,
  contentView: {
    id: 'content',
    children: [{ id: 'web-view', className: 'RenderWidgetHostViewCocoa', frame: { x: 0, y: 0, width: 800, height: 600 } }],
  },
});
console.log(`window ${win.number} at (200, 200), 800 x 600, showing a web view`);

const writes = [];
let started = false;
desktop.moveMouse(600, 500);
desktop.mouseDown();
console.log('the user presses the left button over a file in the page at (600, 500) and drags left');
desktop.moveMouseTo(590, 500);
// The renderer's dragstart reaches the main process, which arms the trigger.
const armed = drag.armPromiseDragOnWindowExit(win.number, () => {
  started = drag.startPromiseDrag({ sessionId: 'demo-drag', windowNumber: win.number, items }, (request) => {
    say(`  write request: ${request.promiseId} (${request.destinationKind}) -> ${path.relative(process.cwd(), request.destinationPath)}`);
    writes.push(fulfil(request));
  });
  console.log(`  the cursor left the window at ${JSON.stringify(desktop.mouseLocation())}: startPromiseDrag -> ${started}`);
});
console.log(`armPromiseDragOnWindowExit -> ${armed}`);
for (let x = 550; x >= 50 && desktop.drags().length === 0; x -= 50) desktop.moveMouseTo(x, 500);

const [running] = desktop.drags();
if (!running) throw new Error('the drag did not start');
const imagePath = path.join(output, 'drag-image.png');
fs.writeFileSync(imagePath, desktop.imagePng(running.image));

// ---- The drop on the Finder-like window --------------------------------------------

desktop.moveMouseTo(80, 420);
const drop = desktop.dropOnFolder(running.id, finderFolder, desktop.mouseLocation());
desktop.setPressedButtons(0); // the release that ended the drag
console.log(`dropped ${drop.outcomes.length} items on ${path.relative(process.cwd(), finderFolder)}/ at (80, 420)`);
desktop.runMainQueue(); // the write requests, then their delivery to JavaScript
await Promise.all(writes);

// ---- The clock moves on: the session retires ---------------------------------------

desktop.advanceClock(30);
const retired = desktop.log().some((line) => line.includes('removing idle session sessionId=demo-drag'));
console.log(`30 virtual seconds later the session ${retired ? 'has retired' : 'is still registered'}`);

// ---- Summary -----------------------------------------------------------------------

function sizeOf(target) {
  if (!fs.existsSync(target)) return null;
  const stat = fs.statSync(target);
  if (!stat.isDirectory()) return { bytes: stat.size, files: 1 };
  return fs.readdirSync(target).map((name) => sizeOf(path.join(target, name))).reduce(
    (sum, s) => ({ bytes: sum.bytes + s.bytes, files: sum.files + s.files }),
    { bytes: 0, files: 0 },
  );
}
console.log('\nwhat the drop target received:');
for (const outcome of desktop.dropOutcomes()) {
  const size = sizeOf(outcome.destination);
  const shownSize = size ? `${size.bytes} bytes${size.files > 1 ? ` in ${size.files} files` : ''}` : 'absent';
  const seen = outcome.outcome === null
    ? 'no answer'
    : outcome.outcome.success
      ? 'success'
      : `error ${outcome.outcome.domain} code ${outcome.outcome.code}: "${outcome.outcome.description}"`;
  const how = outcome.source === 'fileURL' ? 'copied' : 'written by JavaScript';
  console.log(`  ${path.relative(process.cwd(), outcome.destination)}  (${how}, ${shownSize}, answered ${outcome.answers}x): ${seen}`);
}
console.log(`\ndrag image: ${path.relative(process.cwd(), imagePath)}`);

console.log('\ndiagnostic log:');
for (const line of desktop.log()) console.log(`  ${line}`);

const violations = desktop.violations();
if (violations.length) {
  console.error(`\nthe simulated AppKit refused: ${violations.join('; ')}`);
  process.exit(1);
}
