// The diagnostic log: NSLog's shape on standard error, the tag, and messages
// that are never treated as formats.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { beforeEach, test } from 'node:test';

import { binaryPath, desktop, valueHelpers } from './helpers.mjs';

beforeEach(() => desktop.reset());

test('a line reaches standard error in NSLog shape, with the exact tagged bytes', () => {
  const script = `
    const h = require(${JSON.stringify(binaryPath('kestrovan_value_helpers_test'))});
    h.nativeLog('message with %@ and %s and %d%n, é');
  `;
  const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8' });
  assert.equal(child.status, 0, child.stderr);
  const lines = child.stderr.split('\n').filter((l) => l.includes('[Kestrovan'));
  assert.equal(lines.length, 1, child.stderr);
  assert.match(
    lines[0],
    /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} node\[\d+:\d+\] \[KestrovanNativeFilePromise\] message with %@ and %s and %d%n, é$/,
  );
});

test('the captured log keeps the tagged message', () => {
  valueHelpers().nativeLog('%@');
  valueHelpers().nativeLog('');
  assert.deepEqual(desktop.log(), ['[KestrovanNativeFilePromise] %@', '[KestrovanNativeFilePromise] ']);
});
