// Sim-only: its child processes drive the simulated desktop's control module.
// The process exits cleanly with the addon's process-wide state alive: no
// static destructor calls Node-API after the environment has gone.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { test } from 'node:test';

import { binaryPath } from '../helpers.mjs';
import { childEnvironment } from '../../../scripts/test/temp_folders.mjs';

const setup = `
  const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
  const d = require(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
  const h = require(${JSON.stringify(binaryPath('kestrovan_core_probes'))});
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
  // The environment's teardown runs while the addon's own call into JavaScript
  // is under way; "not reached" shows the exit happened there.
  ...[
    ['from inside a write callback', 'd.runMainQueue();'],
    ['from inside a write callback, the main queue live', 'd.setLiveMainQueue(true);'],
  ].map(([how, run]) => [
    how,
    `addon.startPromiseDrag({ sessionId: 'exits', items: [{ promiseId: 'q', kind: 'file', suggestedName: 'q.txt' }] },
       () => process.exit(0));
     d.dropOnFolder(null, require('node:os').tmpdir(), { x: 0, y: 0 }, { endDrag: false });
     ${run}
     setTimeout(() => console.log('not reached'), 100);`,
  ]),
  ['from inside onEnded', `addon.startPromiseDrag({ sessionId: 'exits', items: [{ promiseId: 'q', kind: 'file', suggestedName: 'q.txt' }],
       onEnded: () => process.exit(0) }, () => {});
     d.endDrag(d.drags().at(-1).id, { x: 0, y: 0 }, 1);
     console.log('not reached');`],
  ['from inside the navigation callback', `addon.installNavigationEventMonitor(() => process.exit(0));
     d.sendEvent({ type: 31, window: 101, deltaX: 1 });
     console.log('not reached');`],
  ['from inside the window-exit callback', `for (const drag of d.drags()) d.endDrag(drag.id, { x: 0, y: 0 }, 0);
     addon.armPromiseDragOnWindowExit(0, () => process.exit(0));
     d.sendEvent({ type: 6, window: 101, location: { x: -5, y: -5 } });
     console.log('not reached');`],
]) {
  test(`exits with status 0 ${how}`, () => {
    const child = spawnSync(process.execPath, ['-e', setup + ending], { encoding: 'utf8', env: childEnvironment() });
    assert.equal(child.signal, null, child.stderr);
    assert.equal(child.status, 0, child.stderr);
    assert.doesNotMatch(child.stderr, /Sanitizer|FATAL|Segmentation|Assertion/);
    assert.doesNotMatch(child.stdout, /not reached/);
  });
}
