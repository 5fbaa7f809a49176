// The export table: eight functions, registered as non-enumerable, read-only,
// non-configurable methods, each answering a boolean for any arguments; and
// the package main, a plain object handing them on with the helpers as
// ordinary properties.
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { after, beforeEach, describe, test } from 'node:test';

import { addon, driver, simOnly } from './desktop/driver.mjs';
import { exportNames } from './helpers.mjs';

const require = createRequire(import.meta.url);

beforeEach(() => driver.reset());
after(() => driver.close());

describe('export table', () => {
  test('has exactly the eight functions, none enumerable, writable or configurable', () => {
    assert.deepEqual(Object.keys(addon), [], 'enumeration lists none of them');
    assert.deepEqual(Object.getOwnPropertyNames(addon).sort(), [...exportNames].sort());
    for (const name of exportNames) {
      const descriptor = Object.getOwnPropertyDescriptor(addon, name);
      assert.equal(typeof descriptor.value, 'function', name);
      assert.equal(descriptor.enumerable, false, name);
      assert.equal(descriptor.writable, false, name);
      assert.equal(descriptor.configurable, false, name);
    }
  });

  test('read-only: assignment and deletion leave the functions in place', () => {
    const before = addon.disarmPromiseDrag;
    assert.throws(() => {
      'use strict';
      addon.disarmPromiseDrag = () => 1;
    }, TypeError);
    assert.equal(Reflect.deleteProperty(addon, 'disarmPromiseDrag'), false);
    assert.equal(addon.disarmPromiseDrag, before);
  });

  test('the package main hands on the eight native functions themselves, beside its helpers, as ordinary properties', async () => {
    // The main may resolve a prebuild or another local build than the one
    // under test: compare it with the binary it resolves.
    const main = require('../js/index.js');
    const loaded = require(require('../js/binding.js').findBinary('kestrovan_file_promise_drag'));
    for (const name of exportNames) assert.equal(main[name], loaded[name], `${name}: the very native function`);
    assert.deepEqual(Object.getOwnPropertyNames(loaded).sort(), [...exportNames].sort(), 'the native table is left as it is');
    assert.deepEqual(Object.keys(loaded), [], 'and keeps its attributes');
    const helpers = ['startFileDrag', 'writeFileFromStream', 'windowNumberOf', 'acceptFileDrops'];
    // Enumerable, in the native table's order, then the helpers: printing and spreading show them.
    assert.deepEqual(Object.keys(main), [...Object.getOwnPropertyNames(loaded), ...helpers]);
    for (const name of [...exportNames, ...helpers]) {
      const descriptor = Object.getOwnPropertyDescriptor(main, name);
      assert.equal(typeof descriptor.value, 'function', name);
      assert.deepEqual([descriptor.enumerable, descriptor.writable, descriptor.configurable], [true, true, true], name);
    }
    const spread = { ...main };
    assert.deepEqual(Object.keys(spread), Object.keys(main));
    for (const name of Object.keys(main)) assert.equal(spread[name], main[name], `spread ${name}`);
    assert.match(require('node:util').inspect(main), /startPromiseDrag: \[Function\b/);
    const esm = await import('../js/index.mjs');
    assert.equal(esm.default, main, 'the ES module entry is the same object');
    for (const name of [...exportNames, ...helpers]) assert.equal(esm[name], main[name], `ESM ${name}`);
  });

  test('a test double replaces a function of the package main, and the original goes back', () => {
    const main = require('../js/index.js');
    const loaded = require(require('../js/binding.js').findBinary('kestrovan_file_promise_drag'));
    const original = main.startPromiseDrag;
    const calls = [];
    try {
      main.startPromiseDrag = (...args) => calls.push(args) > 0;
      assert.equal(main.startPromiseDrag({ sessionId: 's' }, () => {}), true);
      assert.equal(calls.length, 1);
      assert.equal(loaded.startPromiseDrag, original, 'the native table is untouched');
      assert.equal(delete main.windowNumberOf, true, 'configurable');
    } finally {
      main.startPromiseDrag = original;
      main.windowNumberOf = require('../js/window_number.js').windowNumberOf;
    }
    assert.equal(main.startPromiseDrag, original);
  });
});

describe('every export answers a boolean and never throws', () => {
  const shapes = [
    [],
    [undefined],
    [null, null],
    [1, 2, 3],
    ['x', 'y'],
    [{}, () => {}],
    [Symbol('s'), 10n],
    [() => {}, () => {}, () => {}],
    [new Proxy({}, {}), []],
  ];
  for (const name of exportNames) {
    test(name, () => {
      for (const args of shapes) {
        const result = addon[name](...args);
        assert.equal(typeof result, 'boolean', `${name}(${args.length} arguments)`);
      }
    });
  }
});

describe('argument counts', () => {
  test('startPromiseDrag with fewer than two arguments logs its count', () => {
    assert.equal(addon.startPromiseDrag(), false);
    assert.equal(addon.startPromiseDrag({ sessionId: 's' }), false);
    assert.deepEqual(driver.logMessages(), [
      'startPromiseDrag rejected: invalid arguments argc=0',
      'startPromiseDrag rejected: invalid arguments argc=1',
    ]);
  });

  test('completePromiseWrite with no argument logs argc=0', () => {
    assert.equal(addon.completePromiseWrite(), false);
    assert.deepEqual(driver.logMessages(), ['completePromiseWrite rejected: invalid arguments argc=0']);
  });

  test('installNavigationEventMonitor takes exactly one argument', () => {
    assert.equal(addon.installNavigationEventMonitor(), false);
    assert.equal(addon.installNavigationEventMonitor(() => true, 1), false);
    if (simOnly) {
      // (The scroll-forwarding monitor, 0x400000, may be there from the table above.)
      const navigation = simOnly.monitors().filter((m) => m.mask === 0x84000000);
      assert.deepEqual(navigation, [], 'no navigation monitor was installed');
    }
  });

  test('disarmPromiseDrag is true whatever it is passed', () => {
    assert.equal(addon.disarmPromiseDrag(), true);
    assert.equal(addon.disarmPromiseDrag(1, 'x', {}), true);
  });
});
