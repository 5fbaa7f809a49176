// Benchmark: the cost of the token exports against a floor, through real Node,
// measured side by side in one run (interleaved rounds, medians).
//
//   node addon/bench/call_overhead.mjs [build-dir]
//
// The floor is a test-only native function that takes the same arguments and
// answers a boolean. Each export is called with a token no write holds, so no
// state changes: with 1 session holding 1 open write, and with 100 sessions
// holding 10 open writes each.
import { createRequire } from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const require = createRequire(import.meta.url);
const buildDir = path.resolve(process.argv[2] ?? 'build/linux-release');
const bin = (name) => path.join(buildDir, 'addon', `${name}.node`);
const addon = require(bin('kestrovan_file_promise_drag'));
const helpers = require(bin('kestrovan_core_probes'));
const desktop = require('../backends/sim/control/index.js').load(bin('kestrovan_desktop_sim_control'));

desktop.setLogEcho(false);
desktop.createWindow({ number: 101, frame: { x: 100, y: 100, width: 800, height: 600 }, key: true, main: true });
desktop.moveMouse(400, 400);
desktop.setPressedButtons(1);
const directory = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-bench-'));

// Opens `writes` promised writes in each of `sessions` new sessions.
function openWrites(sessions, writes) {
  for (let s = 0; s < sessions; s++) {
    const items = Array.from({ length: writes }, (_, i) => ({ promiseId: `p${i}`, kind: 'file', suggestedName: `s${s}-${i}.bin` }));
    if (!addon.startPromiseDrag({ sessionId: `bench-${s}`, items }, () => {})) throw new Error('drag failed');
    desktop.dropOnFolder(null, directory, { x: 900, y: 900 });
  }
  desktop.runMainQueue();
  desktop.clearLog();
}

const token = '00000000-0000-0000-0000-000000000000';
const calls = {
  floor: () => helpers.callFloor(token, 0.5),
  updatePromiseWriteProgress: () => addon.updatePromiseWriteProgress(token, 0.5),
  completePromiseWrite: () => addon.completePromiseWrite(token),
};

function timeOne(fn, n) {
  const start = process.hrtime.bigint();
  for (let i = 0; i < n; i++) fn();
  return Number(process.hrtime.bigint() - start) / n;
}

function measure(label) {
  const n = 20000;
  const rounds = 9;
  const samples = Object.fromEntries(Object.keys(calls).map((k) => [k, []]));
  for (let round = 0; round <= rounds; round++) {
    for (const [name, fn] of Object.entries(calls)) {
      const ns = timeOne(fn, n);
      desktop.clearLog(); // completePromiseWrite logs two lines per call
      if (round > 0) samples[name].push(ns);
    }
  }
  const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];
  const floor = median(samples.floor);
  console.log(`\n${label}`);
  console.log('call                       | ns/call | × floor');
  for (const name of Object.keys(calls)) {
    const ns = median(samples[name]);
    console.log(`${name.padEnd(26)} | ${ns.toFixed(0).padStart(7)} | ${(ns / floor).toFixed(2)}`);
  }
}

openWrites(1, 1);
measure('1 session, 1 open write (goal: at most 1.5 × floor)');
openWrites(99, 10); // with the first: 100 sessions; 99 × 10 + 1 open writes
measure('100 sessions, ~10 open writes each (goal: at most 3 × floor)');
console.log('\ncompletePromiseWrite writes two diagnostic lines for an unknown token (kept in memory here, echo off).');
fs.rmSync(directory, { recursive: true, force: true });
