// The process exits cleanly with the addon's process-wide state alive: no
// static destructor calls Node-API after the environment has gone.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { test } from 'node:test';

import { binaryPath } from './helpers.mjs';

const setup = `
  const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
  const d = require(${JSON.stringify(binaryPath('kestrovan_desktop_sim'))});
  const h = require(${JSON.stringify(binaryPath('kestrovan_value_helpers_test'))});
  d.createWindow({ frame: { x: 0, y: 0, width: 300, height: 200 }, key: true, main: true });
  d.moveMouse(100, 100);
  d.setPressedButtons(1);
  h.addMonitor(1 << 6, () => false);
  h.postCall(() => {});
  addon.installNavigationEventMonitor(() => true);
  addon.installDragRegionScrollForwarding();
  addon.armPromiseDragOnWindowExit(0, () => {});
  addon.startPromiseDrag(
    { sessionId: 'alive', items: [{ promiseId: 'p', kind: 'file', suggestedName: 'a.txt' }] },
    () => {},
  );
`;

for (const [how, ending] of [
  ['by running out of work', ''],
  ['through process.exit', 'process.exit(0);'],
  ['from inside a callback', 'h.postCall(() => process.exit(0)); d.runMainQueue();'],
  ['with the drag ended and its idle check pending', 'd.endDrag(d.drags()[0].id, { x: 0, y: 0 }, 0);'],
  ['after the session retired', 'd.endDrag(d.drags()[0].id, { x: 0, y: 0 }, 0); d.advanceClock(30);'],
]) {
  test(`exits with status 0 ${how}`, () => {
    const child = spawnSync(process.execPath, ['-e', setup + ending], { encoding: 'utf8' });
    assert.equal(child.signal, null, child.stderr);
    assert.equal(child.status, 0, child.stderr);
    assert.doesNotMatch(child.stderr, /Sanitizer|FATAL|Segmentation|Assertion/);
  });
}
