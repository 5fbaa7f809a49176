// Temporary folders for the node suites, removed when the process exits,
// whether its tests passed or failed. They are made in os.tmpdir(), which
// honours TMPDIR (CTest gives every test a TMPDIR of its own and fails the run
// when anything is left in one: cmake/KestrovanTempFolders.cmake).
//
//   import { tempFolder, removeAtExit } from '<repository>/scripts/test/temp_folders.mjs';
//   const folder = tempFolder('kestrovan-drop-');   // a fresh folder, gone at exit
//   removeAtExit(somePathMadeElsewhere);            // a file or folder made another way
//   spawnSync(..., { env: childEnvironment() });    // a child's temporary files, gone at exit
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const made = new Set();
let listening = false;

function removeAll() {
  for (const entry of made) fs.rmSync(entry, { recursive: true, force: true });
  made.clear();
}

/** Removes `entry` (a file or a folder with everything in it) when the process exits; answers it. */
export function removeAtExit(entry) {
  if (!listening) process.on('exit', removeAll);
  listening = true;
  made.add(entry);
  return entry;
}

/** A new, empty folder in os.tmpdir() named `prefix` and six random characters; removed at exit. */
export function tempFolder(prefix = 'kestrovan-test-') {
  return removeAtExit(fs.mkdtempSync(path.join(os.tmpdir(), prefix)));
}

/**
 * The environment for a child process whose temporary files land in a folder
 * of this process's own (its TMPDIR), removed at this process's exit.
 */
export function childEnvironment(environment = process.env) {
  return { ...environment, TMPDIR: tempFolder('kestrovan-child-') };
}
