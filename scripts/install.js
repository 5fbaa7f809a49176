'use strict';
// npm's install step: use the prebuilt binaries for this platform when the
// package has them, and build from source with CMake otherwise.
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const root = path.join(__dirname, '..');
const tag = `${process.platform}-${process.arch}`;
const prebuilt = path.join(root, 'prebuilds', tag, 'kestrovan_file_promise_drag.node');

if (fs.existsSync(prebuilt)) {
  console.log(`kestrovan-file-promise-drag: using the prebuilt binaries for ${tag}`);
  process.exit(0);
}
console.log(`kestrovan-file-promise-drag: no prebuilt binaries for ${tag}; building from source`);
// A clone builds with its tests; the packed package ships no tests.
const preset = process.platform === 'darwin' ? 'macos' : 'linux-release';
const withTests = fs.existsSync(path.join(root, 'addon', 'test', 'CMakeLists.txt'));
const steps = [
  ['cmake', ['--preset', preset, `-DKESTROVAN_BUILD_TESTS=${withTests ? 'ON' : 'OFF'}`]],
  ['cmake', ['--build', '--preset', preset]],
];
for (const [command, args] of steps) {
  const step = spawnSync(command, args, { cwd: root, stdio: 'inherit' });
  if (step.error) {
    console.error(`kestrovan-file-promise-drag: cannot run ${command}: ${step.error.message}`);
    process.exit(1);
  }
  if (step.status !== 0) process.exit(step.status ?? 1);
}
