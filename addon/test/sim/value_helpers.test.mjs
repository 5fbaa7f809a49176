// Sim-only: the core probes addon is built with the simulated desktop.
// The value helpers through real Node, by way of a test-only addon.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';

import { coreProbes } from '../helpers.mjs';

const h = coreProbes();

describe('stringFromNapi', () => {
  const cases = [
    ['a number', 42, null],
    ['a boolean', true, null],
    ['null', null, null],
    ['undefined', undefined, null],
    ['an object', { toString: () => 'x' }, null],
    ['a String object', new String('boxed'), null],
    ['the empty string', '', ''],
    ['plain text', 'report.pdf', 'report.pdf'],
    ['non-ASCII text', 'Zoë – 報告 😀', 'Zoë – 報告 😀'],
    ['text with an embedded NUL, cut there', 'ab\0cd', 'ab'],
    ['a lone surrogate, replaced', 'a\uD800b', 'a\uFFFDb'],
    ['a format sequence, unchanged', '%@ %s', '%@ %s'],
  ];
  for (const [what, value, expected] of cases) {
    test(what, () => assert.equal(h.stringFromNapi(value), expected));
  }
  test('a long string is read whole', () => {
    const long = 'x'.repeat(1 << 20) + 'é';
    assert.equal(h.stringFromNapi(long), long);
  });
  test('a string read whole at every length around the short-string buffer', () => {
    // Short strings are read in one call into a buffer of 256 bytes; a
    // character of 2, 3 or 4 bytes (or a replaced lone surrogate) ending near
    // its end must not be cut off.
    for (const tail of ['é', '報', '😀', '\uD800']) {
      for (let length = 240; length <= 264; length++) {
        const text = 'x'.repeat(length) + tail;
        const expected = tail === '\uD800' ? 'x'.repeat(length) + '\uFFFD' : text;
        assert.equal(h.stringFromNapi(text), expected, `${length} + ${JSON.stringify(tail)}`);
        assert.equal(h.wholeStringProperty({ text }, 'text'), expected);
      }
    }
  });
});

describe('wholeStringProperty', () => {
  // As stringProperty, but an embedded NUL is kept: a reader can refuse the text.
  const object = { nul: 'a.txt\0/../x', plain: 'report.pdf', lone: 'a\uD800', answer: 42 };
  const cases = [
    ['nul', 'a.txt\0/../x'],
    ['plain', 'report.pdf'],
    ['lone', 'a\uFFFD'],
    ['answer', null],
    ['missing', null],
  ];
  for (const [key, expected] of cases) {
    test(`key ${key}`, () => assert.equal(h.wholeStringProperty(object, key), expected));
  }
  test('a receiver that is not an object gives absent', () => {
    assert.equal(h.wholeStringProperty('text', 'length'), null);
  });
});

describe('stringProperty and intProperty', () => {
  const object = {
    name: 'n',
    empty: '',
    answer: 42,
    five: '5',
    fraction: 2.9,
    negative: -7.5,
    huge: 2 ** 70,
    nan: NaN,
    nothing: undefined,
    nil: null,
  };
  const cases = [
    // [key, stringProperty, intProperty]
    ['name', 'n', null],
    ['empty', '', null],
    ['answer', null, 42n],
    ['five', '5' /* a string is not a number */, null],
    ['fraction', null, 2n],
    ['negative', null, -7n],
    ['nan', null, 0n],
    ['nothing', null, null],
    ['nil', null, null],
    ['missing', null, null],
  ];
  for (const [key, asString, asInt] of cases) {
    test(`key ${key}`, () => {
      assert.equal(h.stringProperty(object, key), asString);
      assert.equal(h.intProperty(object, key), asInt);
    });
  }
  test('numbers beyond 64 bits are converted as Node-API converts them', () => {
    assert.equal(typeof h.intProperty(object, 'huge'), 'bigint');
  });
  test('a receiver that is not an object gives absent', () => {
    for (const receiver of ['text', 5, null, undefined, true]) {
      assert.equal(h.stringProperty(receiver, 'length'), null);
      assert.equal(h.intProperty(receiver, 'length'), null);
    }
  });
  test('inherited properties count', () => {
    assert.equal(h.stringProperty(Object.create({ name: 'proto' }), 'name'), 'proto');
  });
  test('a throwing getter or proxy trap gives absent and leaves nothing pending', () => {
    const getter = {
      get name() {
        throw new Error('getter');
      },
    };
    const trap = new Proxy({}, { has() { throw new Error('has'); } });
    const { proxy, revoke } = Proxy.revocable({ name: 'x' }, {});
    revoke();
    for (const receiver of [getter, trap, proxy]) {
      assert.equal(h.stringProperty(receiver, 'name'), null);
      assert.equal(h.intProperty(receiver, 'name'), null);
    }
  });
});

describe('setStringProperty', () => {
  test('sets a string property', () => {
    const object = {};
    assert.equal(h.setStringProperty(object, 'destinationPath', '/tmp/a b/ç'), true);
    assert.deepEqual(object, { destinationPath: '/tmp/a b/ç' });
  });
  test('on a value that is not an object it is false', () => {
    for (const receiver of ['text', 5, null, undefined]) {
      assert.equal(h.setStringProperty(receiver, 'k', 'v'), false);
    }
  });
  test('a throwing setter gives false', () => {
    const object = {
      set k(v) {
        throw new Error('setter');
      },
    };
    assert.equal(h.setStringProperty(object, 'k', 'v'), false);
  });
});
