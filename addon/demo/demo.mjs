// The demo on the simulated desktop: loads the addon as an Electron main
// process would, shows its functions, and calls them with a window on screen.
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const drag = require('../js/index.js');
const desktop = require('../backends/sim/control/index.js').load();

desktop.setLogEcho(false); // the demo prints the log itself, below

const names = Object.getOwnPropertyNames(drag);
console.log(`kestrovan-file-promise-drag exports ${names.length} functions:`);
for (const name of names) console.log(`  ${name}`);

const win = desktop.createWindow({ frame: { x: 100, y: 100, width: 800, height: 600 }, key: true, main: true });
console.log(`\nwindow ${win.number} on the simulated desktop; calling each function:`);
const calls = [
  ['performAlignmentFeedback', []],
  ['installDragRegionScrollForwarding', []],
  ['armPromiseDragOnWindowExit', [win.number, () => console.log('  (window exit)')]],
  ['disarmPromiseDrag', []],
  ['updatePromiseWriteProgress', ['no-such-token', 0.5]],
  ['startPromiseDrag', [{ sessionId: 'demo' }]],
  ['completePromiseWrite', []],
  ['installNavigationEventMonitor', [(direction) => direction === 'back']],
];
for (const [name, args] of calls) {
  console.log(`  ${name}(${args.length} arguments) -> ${drag[name](...args)}`);
}

console.log('\ndiagnostic log:');
for (const line of desktop.log()) console.log(`  ${line}`);
