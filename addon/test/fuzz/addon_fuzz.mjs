// A seeded fuzzer for the addon: drives the eight exports and the simulated
// desktop together with hostile values, and checks invariants after every step.
//
//   node --expose-gc addon/test/fuzz/addon_fuzz.mjs [--seeds A..B | --seed N] [--steps N] [--build DIR] [--stats]
//
// Prints one line per seed and "N passed, N failed" at the end; on a failure
// it prints the seed, the step and the replay command, and exits 1.
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const require = createRequire(import.meta.url);
const args = process.argv.slice(2);
const option = (name, fallback) => {
  const i = args.indexOf(name);
  return i >= 0 ? args[i + 1] : fallback;
};
const buildDir = path.resolve(option('--build', process.env.KESTROVAN_BUILD_DIR ?? 'build/linux-release'));
const steps = Number(option('--steps', '250'));
let seeds;
if (option('--seed')) {
  seeds = [Number(option('--seed'))];
} else {
  const [from, to] = option('--seeds', '1..20').split('..').map(Number);
  seeds = Array.from({ length: to - from + 1 }, (_, i) => from + i);
}

const addon = require(path.join(buildDir, 'addon', 'kestrovan_file_promise_drag.node'));
const desktop = require('../../backends/sim/control/index.js').load(
  path.join(buildDir, 'addon', 'kestrovan_desktop_sim_control.node'),
);
const { EventType } = desktop;
const exportNames = Object.getOwnPropertyNames(addon);
const tag = '[KestrovanNativeFilePromise] ';

// Every completion token handed to any callback. Module-level, because the
// addon's process-wide state (the navigation callback) can run a callback made
// for an earlier seed; the drain completes them all.
const allTokens = new Map();

// The only error the fuzzer's own traps throw; any other escaping error is a fault.
class FuzzTrap extends Error {}

function mulberry32(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function makeFuzzer(seed) {
  const random = mulberry32(seed);
  const int = (n) => Math.floor(random() * n);
  const pick = (list) => list[int(list.length)];
  const chance = (p) => random() < p;
  const state = { uncaught: [], tokens: allTokens, windows: [], directory: null };

  const numbers = [0, -0, 1, -1, 101, 102, 103, 0.5, 1.7, -3, NaN, Infinity, -Infinity, 2 ** 53 + 1,
    -(2 ** 63), 2 ** 64, Number.MIN_VALUE, 1e308, 4294967295];
  const strings = ['', 'a', 'report.pdf', 'photos.zip', 'README', 'file', 'directory', 'File', 'folder',
    '%@ %s %n', 'a\0b', '\uD800', '\uDFFF\uD800', 'é😀', 'x'.repeat(1 << 16), '/tmp/nope.png', '..', '/'];
  // Names and values a hostile page sends: paths, "." and "..", control
  // characters and forged log lines, names over 255 UTF-8 bytes, and the
  // names just inside the limits.
  const hostileNames = ['.', '..', 'a/b.txt', '../../../tmp/escaped.txt', '/etc/passwd', 'dir/',
    'a\n[KestrovanNativeFilePromise] forged line', '\r\n[KestrovanNativeFilePromise] forged line',
    'a\tb', '\u001b[31m', 'a\u007f', 'a.txt\0/../x', '\0', 'x'.repeat(256), 'é'.repeat(128),
    '😀'.repeat(64), '\uD800'.repeat(86), 'x'.repeat(255), 'é'.repeat(127) + 'a', '\uD800'.repeat(85),
    '.hidden', 'a:b.txt', ' spaced ', 'back\\slash'];
  strings.push(...hostileNames);
  const errorMessages = [undefined, '', 'failed', 'failed\n[KestrovanNativeFilePromise] forged line\r'];

  function trapObject(base) {
    const o = { ...base };
    Object.defineProperty(o, pick(['sessionId', 'items', 'promiseId', 'kind', 'suggestedName', 'windowNumber', 'iconPath', 'filePath']), {
      get() {
        if (chance(0.5)) throw new FuzzTrap('getter');
        delete o.items; // a getter that changes the object it belongs to
        o.sessionId = 'mutated';
        return 'changed';
      },
      configurable: true,
      enumerable: true,
    });
    return o;
  }

  function proxy(target) {
    const handler = {};
    for (const trap of pick([['has'], ['get'], ['has', 'get'], ['getOwnPropertyDescriptor']])) {
      handler[trap] = () => {
        throw new FuzzTrap(trap);
      };
    }
    if (chance(0.3)) {
      const { proxy: p, revoke } = Proxy.revocable(target, {});
      revoke();
      return p;
    }
    return new Proxy(target, handler);
  }

  function item(depth) {
    if (chance(0.05)) return value(depth + 1);
    const it = {
      promiseId: chance(0.9) ? `p${int(5)}` : value(depth + 1),
      kind: chance(0.8) ? pick(['file', 'directory']) : value(depth + 1),
      suggestedName: chance(0.75) ? pick(['a.txt', 'report.pdf', 'Photos', 'x.kestrovan', 'README'])
        : chance(0.4) ? pick(hostileNames) : value(depth + 1),
    };
    if (chance(0.3)) it.filePath = chance(0.7) ? `/tmp/kestrovan-fuzz-${int(3)}.txt` : value(depth + 1);
    if (chance(0.1)) return trapObject(it);
    if (chance(0.05)) return proxy(it);
    return it;
  }

  function items(depth) {
    const roll = int(10);
    if (roll === 0) return [];
    if (roll === 1) {
      const sparse = [];
      sparse.length = 4294967295; // sparse, length 2^32 - 1
      sparse[0] = item(depth);
      return sparse;
    }
    if (roll === 2) return [item(depth), , item(depth)]; // a hole
    const list = [];
    for (let i = 0, n = 1 + int(4); i < n; i++) list.push(item(depth));
    return list;
  }

  function request(depth) {
    const r = { sessionId: chance(0.9) ? `s${int(4)}` : value(depth + 1), items: items(depth) };
    if (chance(0.5)) r.windowNumber = chance(0.7) ? pick(state.windows.length ? state.windows : [101]) : pick(numbers);
    if (chance(0.2)) r.iconPath = pick(['', '/tmp/none.png', value(depth + 1)]);
    if (chance(0.3)) r.onEnded = chance(0.8) ? endedCallback(depth) : value(depth + 1);
    if (chance(0.1)) return trapObject(r);
    if (chance(0.05)) return proxy(r);
    return r;
  }

  function callback(depth) {
    const body = int(7);
    return (...received) => {
      // Every token handed out is remembered, so the drain can complete it.
      const payload = received[0];
      if (payload && typeof payload === 'object' && typeof payload.completionToken === 'string') {
        state.tokens.set(payload.completionToken, payload);
      }
      if (body === 0) throw new FuzzTrap('callback');
      if (body === 1) return true;
      if (body === 2 && depth < 2) return callExport(depth + 1); // re-enters the addon
      if (body === 3 && payload?.completionToken) {
        addon.updatePromiseWriteProgress(payload.completionToken, random());
        return addon.completePromiseWrite(payload.completionToken, pick(errorMessages));
      }
      if (body === 4 && payload?.completionToken) {
        addon.completePromiseWrite(payload.completionToken);
        return addon.completePromiseWrite(payload.completionToken, 'twice'); // a second completion
      }
      return received.length;
    };
  }

  // An onEnded: checks it is called at most once, as the addon promises, and
  // then throws, re-enters the addon or returns. What it asserts surfaces as
  // an uncaught exception that is no fuzz trap.
  function endedCallback(depth) {
    const body = int(3);
    let calls = 0;
    return function (...received) {
      calls++;
      outcomes.set('onEnded called', (outcomes.get('onEnded called') ?? 0) + 1);
      assert.equal(calls, 1, 'onEnded called more than once');
      assert.equal(this, undefined);
      assert.equal(received.length, 1);
      const [ended] = received;
      assert.deepEqual(Object.keys(ended), ['operation', 'screenPoint']);
      assert.ok([0, 1].includes(ended.operation), `onEnded operation ${ended.operation}`);
      assert.equal(typeof ended.screenPoint.x, 'number');
      if (body === 0) throw new FuzzTrap('onEnded');
      if (body === 1 && depth < 2) return callExport(depth + 1);
      return undefined;
    };
  }

  function value(depth = 0) {
    if (depth > 3) return pick([undefined, null, 0, '']);
    switch (int(14)) {
      case 0: return undefined;
      case 1: return null;
      case 2: return chance(0.5);
      case 3: return pick(numbers);
      case 4: return pick(strings);
      case 5: return Symbol('fuzz');
      case 6: return 10n ** BigInt(int(30));
      case 7: return callback(depth);
      case 8: return request(depth);
      case 9: return items(depth);
      case 10: return proxy({});
      case 11: return trapObject({});
      case 12: return pick([...state.tokens.keys(), 'no-such-token', '']);
      default: return { valueOf: () => { throw new FuzzTrap('valueOf'); }, toString: () => 'x' };
    }
  }

  function callExport(depth = 0) {
    const name = pick(exportNames);
    const argc = int(4);
    const argv = [];
    for (let i = 0; i < argc; i++) argv.push(value(depth));
    if (name === 'startPromiseDrag' && chance(0.8)) argv.splice(0, 2, request(depth), callback(depth));
    if (name === 'armPromiseDragOnWindowExit' && chance(0.6)) argv.splice(0, 2, pick(state.windows.length ? state.windows : [0]), callback(depth));
    if ((name === 'completePromiseWrite' || name === 'updatePromiseWriteProgress') && chance(0.6) && state.tokens.size) {
      argv.splice(0, 2, pick([...state.tokens.keys()]), name === 'completePromiseWrite' ? pick(errorMessages) : pick(numbers));
    }
    let result;
    try {
      result = addon[name](...argv);
    } catch (error) {
      assert.ok(error instanceof FuzzTrap, `${name} threw something other than a fuzz trap: ${error?.stack ?? error}`);
      return undefined;
    }
    assert.equal(typeof result, 'boolean', `${name} answered ${typeof result}`);
    const key = `${name}=${result}`;
    outcomes.set(key, (outcomes.get(key) ?? 0) + 1);
    return result;
  }

  function desktopAction() {
    const w = state.windows.length ? pick(state.windows) : null;
    const dragging = desktop.drags().length > 0;
    if (dragging && chance(0.25)) {
      const point = desktop.mouseLocation();
      if (chance(0.8)) {
        desktop.dropOnFolder(null, state.directory, point, { requestDelay: pick([0, 0, 5, 31]), endDrag: chance(0.8) });
      } else {
        desktop.requestWriteThroughForeignProvider(null, state.directory, { provider: pick(['foreign', 'withoutItem']) });
      }
      return;
    }
    if (chance(0.1)) {
      // The user presses inside a window, as a drag in the page begins.
      desktop.moveMouse(150 + int(300), 150 + int(200));
      desktop.mouseDown();
      return;
    }
    switch (int(12)) {
      case 0:
        if (state.windows.length < 3) {
          const spec = { frame: { x: int(400), y: int(400), width: 1 + int(600), height: 1 + int(400) }, key: chance(0.5), main: chance(0.5) };
          if (chance(0.1)) spec.contentView = null;
          else spec.contentView = { children: [{ className: pick(['RenderWidgetHostViewCocoa', 'NSView']), frame: { x: 0, y: 0, width: 300, height: 300 }, dragRegions: chance(0.5) ? [{ x: 0, y: 250, width: 300, height: 50 }] : [], dragRegionHit: pick(['none', 'contentView']) }] };
          state.windows.push(desktop.createWindow(spec).number);
        }
        break;
      case 1: desktop.moveMouse(int(1200) - 100, int(1000) - 100); break;
      case 2: desktop.mouseDown({ button: pick([0, 0, 0, 1, 2, 3, 4]) }); break;
      case 3: desktop.mouseUp({ button: pick([0, 0, 0, 1, 2, 3, 4]) }); break;
      case 4: desktop.moveMouseTo(int(1200) - 100, int(1000) - 100); break;
      case 5: desktop.scroll(); break;
      case 6: desktop.swipe(pick([-1, 1, 0, NaN])); break;
      case 7: desktop.endAllDrags({ operation: pick([0, 1]) }); break;
      case 8: desktop.runMainQueue(); break;
      case 9: desktop.advanceClock(pick([0, 1, 29.9, 30, 31])); break;
      case 10: if (w !== null && chance(0.3)) { desktop.setContentView(w, chance(0.5) ? null : undefined); } break;
      default: desktop.setApplicationActive(chance(0.7)); break;
    }
  }

  function checkInvariants(where) {
    for (const line of desktop.log()) {
      assert.ok(line.startsWith(tag), `${where}: a line lost its tag: ${line}`);
      // One line: a value's control characters are escaped, so none is left.
      assert.doesNotMatch(line, /[\u0000-\u001f\u007f]/, `${where}: a log entry is not one line: ${JSON.stringify(line)}`);
    }
    for (const drag of desktop.drags()) {
      for (const { item } of drag.items) {
        if (item) assert.ok(isOneFileName(item.suggestedName), `${where}: a drag promises ${JSON.stringify(item.suggestedName)}`);
      }
    }
    assert.deepEqual(desktop.violations(), [], `${where}: AppKit would have refused`);
    for (const error of state.uncaught) assert.ok(error instanceof FuzzTrap, `${where}: uncaught ${error?.stack ?? error}`);
    if (trace) traced.push(...desktop.log());
    desktop.clearLog();
  }

  return { random, callExport, desktopAction, checkInvariants, state };
}

// What a promised name must be: one entry of the destination folder.
function isOneFileName(name) {
  return typeof name === 'string' && name !== '' && name !== '.' && name !== '..' &&
    !/[/\u0000-\u001f\u007f]/.test(name) && Buffer.byteLength(name, 'utf8') <= 255;
}

// Ends everything a seed left running and checks that every write was
// answered to its drop target exactly once and every session retires.
function drain(fuzzer) {
  desktop.setPressedButtons(0);
  addon.disarmPromiseDrag();
  for (let i = 0; i < 6; i++) {
    desktop.endAllDrags();
    for (const token of fuzzer.state.tokens.keys()) addon.completePromiseWrite(token);
    desktop.runFor(32);
  }
  if (trace) traced.push(...desktop.log());
  for (const outcome of desktop.dropOutcomes()) {
    if (outcome.delegateGone) continue;
    assert.equal(outcome.answers, 1, `drop target answered ${outcome.answers} times: ${JSON.stringify(outcome)}`);
  }
  allTokens.clear();
  desktop.clearLog();
  addon.completePromiseWrite('kestrovan-fuzz-probe');
  const probe = desktop.log().find((l) => l.includes('did not find token token=kestrovan-fuzz-probe'));
  assert.ok(probe?.endsWith(' activeSessions=0'), `sessions stayed registered: ${probe}`);
}

const trace = args.includes('--trace'); // keep the seed's log lines and print them on a failure
const traced = [];
const outcomes = new Map(); // "name=result" -> how often, shown with --stats
let current = { seed: 0, step: 0 };
const uncaught = [];
process.on('uncaughtException', (error) => uncaught.push(error));

const fixtures = [0, 1, 2].map((i) => path.join(os.tmpdir(), `kestrovan-fuzz-${i}.txt`));
for (const f of fixtures) fs.writeFileSync(f, 'cached\n');

let passed = 0;
let failed = 0;
for (const seed of seeds) {
  current = { seed, step: 0 };
  desktop.setLogEcho(false);
  desktop.reset();
  desktop.clearImages?.();
  desktop.clearDropOutcomes();
  desktop.clearProgressHistory();
  const fuzzer = makeFuzzer(seed);
  // A line break in the folder's name: every destination path carries one.
  fuzzer.state.directory = fs.mkdtempSync(path.join(os.tmpdir(), `kestrovan-fuzz\nseed-${seed}-`));
  fuzzer.state.uncaught = uncaught;
  uncaught.length = 0;
  traced.length = 0;
  try {
    for (let step = 0; step < steps; step++) {
      current.step = step;
      if (fuzzer.random() < 0.5) fuzzer.callExport();
      else fuzzer.desktopAction();
      fuzzer.checkInvariants(`seed ${seed} step ${step}`);
    }
    drain(fuzzer);
    fuzzer.checkInvariants(`seed ${seed} drain`);
    passed++;
    console.log(`seed ${seed}: ok (${steps} steps)`);
    fs.rmSync(fuzzer.state.directory, { recursive: true, force: true });
  } catch (error) {
    failed++;
    if (trace) for (const line of [...traced, ...desktop.log()]) console.log(`  | ${line}`);
    console.log(`seed ${seed}: FAILED at step ${current.step}: ${error.message}`);
    // The addon's state lives for the process, so a seed runs on what the seeds
    // before it left (installed monitors, the navigation callback): replay the
    // run up to the failing seed.
    const from = seeds[0];
    const replay = from === seed ? `--seed ${seed}` : `--seeds ${from}..${seed}`;
    console.log(`  replay: node --expose-gc addon/test/fuzz/addon_fuzz.mjs ${replay} --steps ${steps} --build ${buildDir} --trace`);
  }
}
if (args.includes('--stats')) {
  for (const [key, n] of [...outcomes].sort()) console.log(`  ${key}: ${n}`);
}
console.log(`${passed} passed, ${failed} failed`);
process.exitCode = failed ? 1 : 0;
