// Loads the addon under test and, where the build has the simulated desktop,
// its control module (`desktop`, null in a macOS build) from the build that
// CTest names, and offers a few fixtures shared by the suites. Suites that run
// on every desktop reach it through desktop/driver.mjs; `desktop` is for the
// sim-only suites (test/sim).
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

const require = createRequire(import.meta.url);
const buildDir = path.resolve(process.env.KESTROVAN_BUILD_DIR ?? 'build/linux-release');
const addonDir = path.join(buildDir, 'addon');

export const addon = require(path.join(addonDir, 'kestrovan_file_promise_drag.node'));
const simControl = path.join(addonDir, 'kestrovan_desktop_sim_control.node');
export const desktop = fs.existsSync(simControl) ? require('../backends/sim/control/index.js').load(simControl) : null;
export const coreProbes = () => require(path.join(addonDir, 'kestrovan_core_probes.node'));
export const binaryPath = (name) => path.join(addonDir, `${name}.node`);

/** The export names, from the export table. */
export { exportNames } from './export_table.mjs';

/** The log's lines with the tag taken off; fails if a line lacks it. */
export function logMessages() {
  const tag = '[KestrovanNativeFilePromise] ';
  return desktop.log().map((line) => {
    if (!line.startsWith(tag)) throw new Error(`log line without tag: ${line}`);
    return line.slice(tag.length);
  });
}

/** Collects garbage until `condition()` holds or the attempts run out. */
export async function collectUntil(condition, attempts = 50) {
  for (let i = 0; i < attempts && !condition(); i++) {
    globalThis.gc();
    await new Promise((resolve) => setImmediate(resolve));
  }
  return condition();
}

/** One window with a plain content view, made key; returns its number. */
export function standardWindow({ frame = { x: 100, y: 100, width: 800, height: 600 }, ...rest } = {}) {
  return desktop.createWindow({ frame, key: true, main: true, ...rest }).number;
}
