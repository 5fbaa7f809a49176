'use strict';
// A consumer's drop zone on the simulated desktop, through the installed
// package: acceptFileDrops over a window, a drag from another application
// carrying a promised file and an existing one dropped on the zone, the
// promise received into the drop's folder, the file given as it is, the zone
// closed. Copied into a fresh project by scripts/test-package.sh and run
// there; written for Node 14.17 (CommonJS, plain module names).
const assert = require('assert');
const fs = require('fs');
const os = require('os');
const path = require('path');

const { acceptFileDrops } = require('kestrovan-file-promise-drag');
const desktop = require('kestrovan-file-promise-drag/desktop-sim').load();

async function main() {
  desktop.setLogEcho(false);
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-consumer-drops-'));
  try {
    await dropOnZone(folder);
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
  console.log('consumer-drops: a promised file and an existing one dropped on the zone, received through the installed package');
}

async function dropOnZone(folder) {
  const existing = path.join(folder, 'existing.txt');
  fs.writeFileSync(existing, 'already here');
  const win = desktop.createWindow({ frame: { x: 100, y: 100, width: 800, height: 600 }, key: true, main: true });
  assert.throws(() => acceptFileDrops({ windowNumber: win.number, rect: { x: 0, y: 0, width: 1, height: 1 }, destination: 'relative' }), TypeError);
  const zone = acceptFileDrops({ windowNumber: win.number, rect: { x: 50, y: 50, width: 200, height: 100 }, destination: folder });
  const events = [];
  let dropped = null;
  zone.on('enter', () => events.push('enter')).on('drop', (drop) => {
    events.push('drop');
    dropped = drop;
  });
  const drag = desktop.beginIncomingDrag([
    { kind: 'promise', name: 'attachment.txt', contents: 'from the mail', delay: 0.5 },
    { kind: 'file', path: existing },
  ]);
  desktop.moveIncomingDrag(drag, win.number, { x: 100, y: 100 });
  desktop.dropIncomingDrag(drag);
  assert.deepStrictEqual(events, ['enter', 'drop']);
  desktop.runMainQueue();
  desktop.advanceClock(0.5);
  const [received, given] = await Promise.all(dropped.items.map((item) => item.path));
  assert.strictEqual(path.dirname(received), dropped.folder);
  assert.strictEqual(fs.readFileSync(received, 'utf8'), 'from the mail');
  assert.strictEqual(given, existing);
  zone.close();
  assert.strictEqual(zone.closed, true);
  assert.deepStrictEqual(desktop.violations(), []);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
