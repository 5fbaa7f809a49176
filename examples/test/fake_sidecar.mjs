// A tiny stand-in for the dropzone sidecar program, for the example's tests:
// it records its command line (each start's), then prints the next of its
// scripted lines on standard output each time it gets SIGUSR1, and exits 0 on
// SIGTERM as the real program does. Its folder is removed when the suite's process exits. With `reject`, it fails the way the real program fails
// on a bad command line: one line on standard error and exit status 2.
import fs from 'node:fs';
import path from 'node:path';

import { tempFolder } from '../../scripts/test/temp_folders.mjs';

export function fakeSidecar({ lines = [], reject = null } = {}) {
  const folder = tempFolder('kestrovan-fake-sidecar-');
  const executable = path.join(folder, 'fake-dropzone-sidecar');
  const record = path.join(folder, 'starts.jsonl'); // one line per start: its command line
  const program = `#!${process.execPath}
'use strict';
const fs = require('fs');
const lines = ${JSON.stringify(lines)};
const reject = ${JSON.stringify(reject)};
if (reject !== null) {
  process.stderr.write('[KestrovanDragDropzone] Sidecar failed: ' + reject + '\\n');
  process.exit(2);
}
process.on('SIGUSR1', () => process.stdout.write((lines.shift() || 'NOTHING_SCRIPTED') + '\\n'));
process.on('SIGTERM', () => process.exit(0));
setInterval(() => {}, 60000);
fs.appendFileSync(${JSON.stringify(record)}, JSON.stringify(process.argv.slice(2)) + '\\n'); // listening now
`;
  fs.writeFileSync(executable, program, { mode: 0o755 });
  const starts = () =>
    fs.existsSync(record) ? fs.readFileSync(record, 'utf8').split('\n').filter(Boolean).map((line) => JSON.parse(line)) : [];
  return {
    executable,
    /** The command line of every start so far, once each listens, in order. */
    starts,
    /** The command line it was last started with, once it listens; null before. */
    argv: () => starts().at(-1) ?? null,
    /** Prints its next scripted line. */
    next: (pid) => process.kill(pid, 'SIGUSR1'),
  };
}
