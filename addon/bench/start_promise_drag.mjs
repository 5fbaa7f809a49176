// Benchmark: the cost of startPromiseDrag per item on the simulated desktop,
// for 1, 10, 100 and 1,000 items, with the diagnostic lines discarded and with
// them written to standard error, measured side by side in one run, beside the
// floor of call_overhead.mjs (a native call that reads a string and a number).
//
// Goals, as ratios of one run: a one-item drag start costs at most 20 items'
// worth at 1,000 items (the fixed cost of a drag stays small), and an item at
// 1,000 items costs at most 12 floor calls.
//
//   node addon/bench/start_promise_drag.mjs [build-dir] 2>/dev/null
//
// Standard error receives the lines of the "written" runs; send it to /dev/null
// (or a file) to keep the terminal readable. Results go to standard output.
import { createRequire } from 'node:module';
import path from 'node:path';

const require = createRequire(import.meta.url);
const buildDir = path.resolve(process.argv[2] ?? 'build/linux-release');
const addon = require(path.join(buildDir, 'addon', 'kestrovan_file_promise_drag.node'));
const { callFloor } = require(path.join(buildDir, 'addon', 'kestrovan_core_probes.node'));
const desktop = require('../backends/sim/control/index.js').load(
  path.join(buildDir, 'addon', 'kestrovan_desktop_sim_control.node'),
);

const kinds = ['report.pdf', 'notes.txt', 'photos', 'archive.tar.gz'];
function request(count) {
  const items = [];
  for (let i = 0; i < count; i++) {
    const name = kinds[i % kinds.length];
    items.push({ promiseId: `p${i}`, kind: name === 'photos' ? 'directory' : 'file', suggestedName: `${i}-${name}` });
  }
  return { sessionId: `bench-${count}`, items };
}

desktop.createWindow({ number: 101, frame: { x: 100, y: 100, width: 800, height: 600 }, key: true, main: true });
desktop.moveMouse(400, 400);
desktop.setPressedButtons(1);

// One measured drag: start it, then end it and let its session retire, so the
// registry holds nothing between samples (the teardown is outside the timing).
function sample(req, echo) {
  desktop.setLogEcho(echo);
  const start = process.hrtime.bigint();
  const ok = addon.startPromiseDrag(req, () => {});
  const elapsed = Number(process.hrtime.bigint() - start);
  desktop.setLogEcho(false);
  if (!ok) throw new Error('startPromiseDrag failed');
  desktop.endAllDrags();
  desktop.advanceClock(31);
  desktop.clearLog();
  desktop.clearImages();
  return elapsed;
}

const token = '00000000-0000-0000-0000-000000000000';
function floorSample() {
  const n = 20000;
  const start = process.hrtime.bigint();
  for (let i = 0; i < n; i++) callFloor(token, 0.5);
  return Number(process.hrtime.bigint() - start) / n;
}

const counts = [1, 10, 100, 1000];
const rounds = 9;
const results = new Map(); // `${count}/${echo}` -> ns per drag samples
const fixedRatios = []; // per round: a one-item drag / an item at 1,000 items
const floorRatios = []; // per round: an item at 1,000 items / a floor call
const floors = [];
for (let round = 0; round < rounds + 1; round++) {
  const perDrag = {};
  let floor = floorSample();
  for (const count of counts) {
    const req = request(count);
    const repeat = Math.max(1, Math.round(2000 / count));
    for (const echo of [false, true]) {
      let total = 0;
      for (let i = 0; i < repeat; i++) total += sample(req, echo);
      perDrag[`${count}/${echo}`] = total / repeat;
      if (round === 0) continue; // warm-up
      const key = `${count}/${echo}`;
      if (!results.has(key)) results.set(key, []);
      results.get(key).push(total / repeat);
    }
  }
  floor = (floor + floorSample()) / 2; // before and after the drags of the round
  if (round === 0) continue;
  const perItem1000 = perDrag['1000/false'] / 1000;
  fixedRatios.push(perDrag['1/false'] / perItem1000);
  floorRatios.push(perItem1000 / floor);
  floors.push(floor);
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
console.log('startPromiseDrag per item (median of %d rounds), simulated desktop', rounds);
console.log('items | lines discarded µs/item | lines to stderr µs/item | ratio written/discarded');
for (const count of counts) {
  const discarded = median(results.get(`${count}/false`)) / count / 1000;
  const written = median(results.get(`${count}/true`)) / count / 1000;
  console.log(
    `${String(count).padStart(5)} | ${discarded.toFixed(2).padStart(23)} | ${written.toFixed(2).padStart(23)} | ${(written / discarded).toFixed(2)}`,
  );
}
const perItem1000 = median(results.get('1000/false')) / 1000 / 1000;
const perItem10 = median(results.get('10/false')) / 10 / 1000;
console.log(`linearity: per-item cost at 1000 items / at 10 items = ${(perItem1000 / perItem10).toFixed(2)}`);
console.log(`floor call: ${median(floors).toFixed(0)} ns`);
const fixed = median(fixedRatios);
const perFloor = median(floorRatios);
console.log(
  `goal: a one-item drag start costs at most 20 items' worth at 1,000 items (lines discarded): ` +
    `${fixed.toFixed(1)} items: ${fixed <= 20 ? 'met' : 'NOT met'}`,
);
console.log(
  `goal: an item at 1,000 items costs at most 12 floor calls (lines discarded): ` +
    `${perFloor.toFixed(1)} floor calls: ${perFloor <= 12 ? 'met' : 'NOT met'}`,
);
