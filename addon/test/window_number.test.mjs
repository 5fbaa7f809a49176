// windowNumberOf: the window number in a BrowserWindow's media source id
// ("window:<id>:<n>"), 0 whenever it cannot tell; never throws, and warns once
// when passed a number. Run on stand-ins for Electron's BrowserWindow.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { test } from 'node:test';

import { exportNames } from './helpers.mjs';

const require = createRequire(import.meta.url);
const { windowNumberOf } = require('../js/window_number.js');

/** A stand-in whose getMediaSourceId answers `id` (a prototype method, as Electron's is). */
class FakeWindow {
  constructor(id) {
    this.id = id;
  }
  getMediaSourceId() {
    return this.id;
  }
}
const withId = (id) => new FakeWindow(id);

test('the id of a well-formed media source id', () => {
  const cases = [
    ['window:123:0', 123],
    ['window:1:0', 1],
    ['window:4294967295:0', 4294967295],
    ['window:7:1', 7],
    ['window:88:-1', 88],
    ['window:0042:0', 42],
  ];
  for (const [id, expected] of cases) assert.equal(windowNumberOf(withId(id)), expected, id);
});

test('0 for any other text or answer', () => {
  const cases = [
    'window:0:0', // names no window
    'window:4294967296:0', // beyond a CGWindowID
    'window:99999999999999999999:0',
    'window:123', 'window:123:', 'window::0', 'window:-5:0', 'window:+5:0', 'window:1e3:0', 'window:0x10:0',
    'window:12.5:0', 'window: 12:0', 'window:12:0 ', ' window:12:0', 'window:12:0\n', 'window:12:x', 'window:12:0:0',
    'screen:1:0', 'Window:12:0', 'web-contents-media-stream://1:2', '', '123',
    123, null, undefined, { toString: () => 'window:1:0' }, new String('window:1:0'), ['window:1:0'],
  ];
  for (const id of cases) assert.equal(windowNumberOf(withId(id)), 0, String(JSON.stringify(id) ?? id));
});

test('0 for what is not a window, or a window that cannot answer', () => {
  const revoked = Proxy.revocable({}, {});
  revoked.revoke();
  const cases = [
    ['undefined', undefined],
    ['null', null],
    ['a number', 123],
    ['a string', 'window:123:0'],
    ['a boolean', true],
    ['a symbol', Symbol('window')],
    ['a bigint', 123n],
    ['an empty object', {}],
    ['getMediaSourceId not a function', { getMediaSourceId: 'window:123:0' }],
    ['a destroyed window (the method throws)', { getMediaSourceId() { throw new TypeError('Object has been destroyed'); } }],
    ['a method that throws a non-error', { getMediaSourceId() { throw undefined; } }], // eslint-disable-line no-throw-literal
    ['a getter that throws', { get getMediaSourceId() { throw new Error('getter'); } }],
    ['a revoked Proxy', revoked.proxy],
    ['a method answering a promise', { getMediaSourceId: async () => 'window:123:0' }],
  ];
  for (const [name, value] of cases) assert.equal(windowNumberOf(value), 0, name);
});

test('the method is called on the window, once, with no arguments', () => {
  const calls = [];
  const window = {
    getMediaSourceId(...args) {
      calls.push({ self: this, args });
      return 'window:31:0';
    },
  };
  assert.equal(windowNumberOf(window), 31);
  assert.deepEqual(calls, [{ self: window, args: [] }]);
  // A function object with the method counts as well.
  const callable = Object.assign(() => {}, { getMediaSourceId: () => 'window:9:0' });
  assert.equal(windowNumberOf(callable), 9);
});

test('exported beside the eight, from both entries, the eight untouched', async () => {
  const main = require('../js/index.js');
  const esm = await import('../js/index.mjs');
  assert.equal(main.windowNumberOf, windowNumberOf);
  assert.equal(esm.windowNumberOf, windowNumberOf);
  assert.equal(esm.default.windowNumberOf, windowNumberOf);
  const native = require(require('../js/binding.js').findBinary('kestrovan_file_promise_drag'));
  assert.equal(native.windowNumberOf, undefined, 'not in the native module');
  for (const name of exportNames) assert.equal(esm[name], native[name], name);
});

test('a number (a BrowserWindow id passed by mistake) answers 0 with one process warning, never a throw', () => {
  // In a process of its own: the warning is said once per process.
  const script = `
    const { windowNumberOf } = require(${JSON.stringify(require.resolve('../js/window_number.js'))});
    const warnings = [];
    process.on('warning', (warning) => warnings.push({ name: warning.name, code: warning.code, message: warning.message }));
    const answers = [windowNumberOf(3), windowNumberOf(0), windowNumberOf(4.5), windowNumberOf(NaN),
      windowNumberOf({ getMediaSourceId: () => 'window:12:0' }), windowNumberOf(null)];
    setImmediate(() => console.log(JSON.stringify({ answers, warnings })));
  `;
  const run = spawnSync(process.execPath, ['--no-warnings', '-e', script], { encoding: 'utf8' });
  assert.equal(run.status, 0, run.stderr);
  const { answers, warnings } = JSON.parse(run.stdout);
  assert.deepEqual(answers, [0, 0, 0, 0, 12, 0]);
  assert.equal(warnings.length, 1, JSON.stringify(warnings));
  assert.equal(warnings[0].name, 'Warning');
  assert.equal(warnings[0].code, 'KESTROVAN_WINDOW_NUMBER_OF_NUMBER');
  assert.match(warnings[0].message, /windowNumberOf\(\) was passed a number .* pass the BrowserWindow itself/);
  // Without --no-warnings Node prints it on standard error, once.
  const printed = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8' });
  assert.equal(printed.stderr.match(/KESTROVAN_WINDOW_NUMBER_OF_NUMBER/g)?.length, 1, printed.stderr);
});
