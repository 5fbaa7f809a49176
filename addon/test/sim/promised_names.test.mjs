// Sim-only: reads the running drag's items as the desktop holds them.
// A promised name comes from the page and becomes a file name at the drop
// target: it must be exactly one. Names that are a path, "." or "..", carry a
// control character or exceed 255 UTF-8 bytes are invalid items, refused like
// an empty name; every other name the Finder accepts arrives unchanged.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { beforeEach, test } from 'node:test';

import { addon, collectUntil, desktop, logMessages } from '../helpers.mjs';
import {
  cleanDesktop,
  Collected,
  messagesSince,
  startWatchedDrag,
  tempDirectory,
  windowWithButtonHeld,
} from '../drag_fixtures.mjs';

beforeEach(cleanDesktop);

const first = { promiseId: 'p1', kind: 'file', suggestedName: 'a.txt' };
const firstTypeLine = 'resolved file type promiseId=p1 kind=file suggestedName=a.txt extension=txt fileType=public.plain-text';

// [what, suggestedName, as the rejection line shows it]
const unsafe = [
  ['the current folder', '.', '.'],
  ['the parent folder', '..', '..'],
  ['a relative path', 'a/b.txt', 'a/b.txt'],
  ['a path out of the destination', '../../../tmp/escaped.txt', '../../../tmp/escaped.txt'],
  ['an absolute path', '/etc/passwd', '/etc/passwd'],
  ['a lone slash', '/', '/'],
  ['a trailing slash', 'folder/', 'folder/'],
  ['a NUL inside (not cut there)', 'a.txt\0/../x', 'a.txt\\u0000/../x'],
  ['a leading NUL', '\0', '\\u0000'],
  ['a newline with a forged line', 'a\n[KestrovanNativeFilePromise] forged line',
    'a\\n[KestrovanNativeFilePromise] forged line'],
  ['a carriage return', 'a\rb', 'a\\rb'],
  ['a tab', 'a\tb', 'a\\tb'],
  ['an escape sequence', '\u001b[31mred', '\\u001B[31mred'],
  ['a unit separator', 'a\u001fb', 'a\\u001Fb'],
  ['a delete character', 'a\u007f', 'a\\u007F'],
  ['256 ASCII bytes', 'x'.repeat(256), 'x'.repeat(256)],
  ['300 characters', 'n'.repeat(296) + '.txt', 'n'.repeat(296) + '.txt'],
  ['128 two-byte characters (256 bytes)', 'é'.repeat(128), 'é'.repeat(128)],
  ['63 emoji and 4 ASCII (256 bytes)', '😀'.repeat(63) + 'abcd', '😀'.repeat(63) + 'abcd'],
  // Node-API writes each lone surrogate as U+FFFD, three bytes: 86 make 258.
  ['86 lone surrogates (258 bytes as read)', '\uD800'.repeat(86), '\uFFFD'.repeat(86)],
];

test('each unsafe name is an invalid item: the rejection line, no drag, the callback collected', async () => {
  const callbacks = new Collected();
  for (const [what, suggestedName, shown] of unsafe) {
    cleanDesktop();
    windowWithButtonHeld();
    const mark = logMessages().length;
    const items = [first, { promiseId: 'p2', kind: 'file', suggestedName }];
    assert.equal(addon.startPromiseDrag({ sessionId: 's', items }, callbacks.fn(what)), false, what);
    assert.deepEqual(messagesSince(mark), [
      'startPromiseDrag called sessionId=s',
      'startPromiseDrag itemCount sessionId=s count=2',
      firstTypeLine,
      `startPromiseDrag rejected sessionId=s: invalid item index=1 promiseId=p2 kind=file suggestedName=${shown}`,
    ], what);
    assert.deepEqual(desktop.drags(), [], what);
    assert.deepEqual(desktop.violations(), [], what);
  }
  // Nothing kept a reference: every write callback can be collected.
  assert.ok(await collectUntil(() => callbacks.alive.length === 0), `still alive: ${callbacks.alive}`);
});

// [what, suggestedName, the name the drop target is given]
const safe = [
  ['spaces', 'quarterly report v2.pdf'],
  ['leading and trailing spaces', ' spaced '],
  ['a colon', 'a:b.txt'],
  ['a leading period', '.hidden'],
  ['three periods', '...'],
  ['two periods and more', '..a'],
  ['a backslash', 'back\\slash.txt'],
  ['percent signs', '%@ %s %n.txt'],
  ['Japanese', '日本語のファイル.txt'],
  ['Arabic', 'تقرير.pdf'],
  ['emoji with a modifier', '😀👍🏽.png'],
  ['a next-line character (not a C0 control)', 'a\u0085b'],
  ['255 ASCII bytes', 'x'.repeat(251) + '.txt'],
  ['127 two-byte characters and one ASCII (255 bytes)', 'é'.repeat(127) + 'a'],
  ['63 emoji and 3 ASCII (255 bytes)', '😀'.repeat(63) + 'abc'],
  ['85 lone surrogates (255 bytes, each read as U+FFFD)', '\uD800'.repeat(85), '\uFFFD'.repeat(85)],
];

test('every other name is accepted and given to the drop target unchanged', () => {
  for (const [what, suggestedName, given = suggestedName] of safe) {
    cleanDesktop();
    windowWithButtonHeld();
    const { started, writes, drag } = startWatchedDrag('names', [{ promiseId: 'n', kind: 'file', suggestedName }]);
    assert.equal(started, true, what);
    assert.equal(drag.items[0].item.suggestedName, given, what);
    const folder = tempDirectory('kestrovan-name-');
    const mark = logMessages().length;
    const { outcomes } = desktop.dropOnFolder(null, folder, { x: 0, y: 0 });
    assert.deepEqual(outcomes.map((o) => o.fileName), [given], what);
    assert.ok(messagesSince(mark).some((l) => l.startsWith('Finder requested promised file name') &&
                                              l.endsWith(` suggestedName=${given}`)), what);
    desktop.runMainQueue();
    assert.deepEqual(writes.map((w) => w.request.destinationPath), [path.join(folder, given)], what);
    // The destination is one entry of the folder, and the file system takes it.
    fs.writeFileSync(writes[0].request.destinationPath, 'written');
    assert.deepEqual(fs.readdirSync(folder), [given], what);
    assert.equal(addon.completePromiseWrite(writes[0].request.completionToken), true, what);
    assert.deepEqual(desktop.violations(), [], what);
  }
});
