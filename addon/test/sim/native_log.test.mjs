// Sim-only: reads the captured log and the drop target's outcomes directly.
// The diagnostic log: NSLog's shape on standard error, the tag, messages that
// are never treated as formats, and values that can never start a line.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import path from 'node:path';
import { beforeEach, test } from 'node:test';

import { binaryPath, coreProbes, desktop } from '../helpers.mjs';
import { childEnvironment } from '../../../scripts/test/temp_folders.mjs';

beforeEach(() => desktop.reset());

test('a line reaches standard error in NSLog shape, with the exact tagged bytes', () => {
  const script = `
    const h = require(${JSON.stringify(binaryPath('kestrovan_core_probes'))});
    h.nativeLog('message with %@ and %s and %d%n, é');
  `;
  const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8', env: childEnvironment() });
  assert.equal(child.status, 0, child.stderr);
  const lines = child.stderr.split('\n').filter((l) => l.includes('[Kestrovan'));
  assert.equal(lines.length, 1, child.stderr);
  assert.match(
    lines[0],
    /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} node\[\d+:\d+\] \[KestrovanNativeFilePromise\] message with %@ and %s and %d%n, é$/,
  );
});

test('the captured log keeps the tagged message', () => {
  coreProbes().nativeLog('%@');
  coreProbes().nativeLog('');
  assert.deepEqual(desktop.log(), ['[KestrovanNativeFilePromise] %@', '[KestrovanNativeFilePromise] ']);
});

// Values from the page (ids, names, kinds, icon paths, tokens, error messages)
// and from the drop target (its folder's path) in every kind of line: each log
// entry stays one line, on standard error and in the captured log.
test('values with line breaks cannot forge a line: one line per entry, on standard error and in the log', () => {
  const forged = '\n[KestrovanNativeFilePromise] forged line';
  const script = `
    const fs = require('node:fs');
    const os = require('node:os');
    const path = require('node:path');
    const addon = require(${JSON.stringify(binaryPath('kestrovan_file_promise_drag'))});
    const desktop = require(${JSON.stringify(new URL('../../backends/sim/control/index.js', import.meta.url).pathname)})
      .load(${JSON.stringify(binaryPath('kestrovan_desktop_sim_control'))});
    const forged = ${JSON.stringify(forged)};
    desktop.setLogEcho(true);
    desktop.createWindow({ number: 101, frame: { x: 100, y: 100, width: 800, height: 600 }, key: true, main: true });
    desktop.moveMouse(400, 400);
    desktop.setPressedButtons(1);
    const results = [];
    // Ids and an icon path with line breaks: accepted, and logged escaped.
    let payload = null;
    results.push(addon.startPromiseDrag({
      sessionId: 'session' + forged, iconPath: '/tmp/icon\\r' + forged + '.png',
      items: [{ promiseId: 'promise' + forged, kind: 'file', suggestedName: 'report.pdf' }],
    }, (request) => { payload = request; }));
    // A name and a kind with line breaks: invalid items, whose rejection lines quote them.
    results.push(addon.startPromiseDrag({ sessionId: 'name', items: [{ promiseId: 'p', kind: 'file', suggestedName: 'name' + forged }] }, () => {}));
    results.push(addon.startPromiseDrag({ sessionId: 'kind', items: [{ promiseId: 'p', kind: 'file' + forged, suggestedName: 'a' }] }, () => {}));
    // A drop target whose folder's path has a line break.
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-line\\nbreak-'));
    desktop.dropOnFolder(null, folder, { x: 0, y: 0 });
    desktop.runMainQueue();
    // An error message and an unknown token with line breaks.
    results.push(addon.completePromiseWrite(payload.completionToken, 'disk full' + forged + '\\t\\u001b[0m'));
    results.push(addon.completePromiseWrite('token' + forged + '\\r\\n', 'x' + forged));
    const outcome = desktop.dropOutcomes()[0].outcome;
    console.log(JSON.stringify({ results, payload, folder, description: outcome.description, log: desktop.log() }));
  `;
  const child = spawnSync(process.execPath, ['-e', script], { encoding: 'utf8', env: childEnvironment() });
  assert.equal(child.status, 0, child.stderr);
  const { results, payload, folder, description, log } = JSON.parse(child.stdout);
  assert.deepEqual(results, [true, false, false, true, false]);

  // Every captured entry is one line without a control character.
  for (const entry of log) assert.doesNotMatch(entry, /[\u0000-\u001f\u007f]/, JSON.stringify(entry));
  // Standard error holds exactly those entries, one NSLog-shaped line each.
  const stderrLines = child.stderr.split('\n');
  assert.equal(stderrLines.pop(), '', 'standard error ends with a line break');
  // The log was read before the child exited; the sessions that its ending
  // environment lets go of write their dealloc lines after that.
  assert.ok(stderrLines.length >= log.length, child.stderr);
  stderrLines.forEach((line, i) => {
    const match = /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} node\[\d+:\d+\] (.*)$/.exec(line);
    assert.ok(match, line);
    if (i < log.length) assert.equal(match[1], log[i]);
    else assert.match(match[1], /^\[KestrovanNativeFilePromise\] session dealloc sessionId=/, line);
  });

  const escapedForged = '\\n[KestrovanNativeFilePromise] forged line';
  const tagged = (message) => `[KestrovanNativeFilePromise] ${message}`;
  const escapedFolder = folder.replace('\n', '\\n');
  for (const expected of [
    `startPromiseDrag called sessionId=session${escapedForged}`,
    `resolved file type promiseId=promise${escapedForged} kind=file suggestedName=report.pdf extension=pdf fileType=com.adobe.pdf`,
    `startPromiseDrag preparing AppKit drag sessionId=session${escapedForged} iconPath=/tmp/icon\\r${escapedForged}.png windowNumber=101`,
    `startPromiseDrag rejected sessionId=name: invalid item index=0 promiseId=p kind=file suggestedName=name${escapedForged}`,
    `startPromiseDrag rejected sessionId=kind: invalid item index=0 promiseId=p kind=file${escapedForged} suggestedName=a`,
    `Finder requested promised write sessionId=session${escapedForged} promiseId=promise${escapedForged} kind=file destination=${escapedFolder}/report.pdf token=${payload.completionToken}`,
    `completePromiseWrite called token=${payload.completionToken} errorMessage=disk full${escapedForged}\\t\\u001B[0m`,
    `completePromiseWrite called token=token${escapedForged}\\r\\n errorMessage=x${escapedForged}`,
    `completePromiseWrite did not find token token=token${escapedForged}\\r\\n activeSessions=1`,
  ]) {
    assert.ok(log.includes(tagged(expected)), `missing: ${expected}\n${log.join('\n')}`);
  }
  // Only the log escapes: JavaScript and the drop target get the values as given.
  assert.equal(payload.sessionId, `session${forged}`);
  assert.equal(payload.promiseId, `promise${forged}`);
  assert.equal(payload.destinationPath, path.join(folder, 'report.pdf'));
  assert.equal(description, `disk full${forged}\t\u001b[0m`);
});
