// Benchmark: the cost of the token exports against a floor, through real Node,
// measured side by side in one run (interleaved rounds, medians).
//
//   node addon/bench/call_overhead.mjs [build-dir]
//
// The floor is a test-only native function that takes the same arguments and
// answers a boolean, reading the token as the exports read it. Each export is
// called with a token no write holds, so no state changes: with 1 session
// holding 1 open write, and with 1,000 writes open in 112 sessions.
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
// Each function is taken off its module object once, so the three calls cost
// JavaScript the same and differ only in what the native side does.
const { callFloor } = helpers;
const { updatePromiseWriteProgress, completePromiseWrite } = addon;
const calls = {
  floor: () => callFloor(token, 0.5),
  updatePromiseWriteProgress: () => updatePromiseWriteProgress(token, 0.5),
  completePromiseWrite: () => completePromiseWrite(token),
};
const goals = { updatePromiseWriteProgress: 1.2, completePromiseWrite: 2.5 };

function timeOne(fn, n) {
  const start = process.hrtime.bigint();
  for (let i = 0; i < n; i++) fn();
  return Number(process.hrtime.bigint() - start) / n;
}

const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];

// Short batches, the three calls in a rotating order within each round, so that
// every export is timed beside a floor measured moments apart: the figure is
// the median over the rounds of (export / floor of the same round).
function measure(label) {
  const n = 5000;
  const rounds = 41;
  const names = Object.keys(calls);
  const ns = Object.fromEntries(names.map((k) => [k, []]));
  const ratios = Object.fromEntries(names.map((k) => [k, []]));
  for (let round = 0; round <= rounds; round++) {
    const order = names.map((_, i) => names[(i + round) % names.length]);
    const times = {};
    for (const name of order) {
      times[name] = timeOne(calls[name], n);
      desktop.clearLog(); // completePromiseWrite logs two lines per call
    }
    if (round === 0) continue; // warm-up
    for (const name of names) {
      ns[name].push(times[name]);
      ratios[name].push(times[name] / times.floor);
    }
  }
  console.log(`\n${label}`);
  console.log('call                       | ns/call | × floor | goal');
  let met = true;
  for (const name of names) {
    const ratio = median(ratios[name]);
    const goal = goals[name];
    const verdict = goal === undefined ? '' : ratio <= goal ? `≤ ${goal}: met` : `≤ ${goal}: NOT met`;
    if (goal !== undefined && ratio > goal) met = false;
    console.log(`${name.padEnd(26)} | ${median(ns[name]).toFixed(0).padStart(7)} | ${ratio.toFixed(2).padStart(7)} | ${verdict}`);
  }
  return met;
}

openWrites(1, 1);
const one = measure('1 session, 1 open write');
openWrites(111, 9); // with the first: 112 sessions, 1,000 open writes
const many = measure('112 sessions, 1,000 open writes');
console.log('\ncompletePromiseWrite writes its two diagnostic lines for an unknown token (kept in memory here, echo off).');
console.log(`goals (updatePromiseWriteProgress ≤ ${goals.updatePromiseWriteProgress} × floor, completePromiseWrite ≤ ${goals.completePromiseWrite} × floor, with 1 and with 1,000 open writes): ${one && many ? 'met' : 'NOT met'}`);
fs.rmSync(directory, { recursive: true, force: true });
