// Which program sidecarPath() answers (js/sidecar_path.js), in a copy of the
// two layouts it meets: a clone of the repository, where the clone's build
// comes before a prebuild made there earlier (scripts/make-prebuilds.sh, a
// release), and an installed package, where the prebuild is what there is.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { test } from 'node:test';

import { tempFolder } from '../../../scripts/test/temp_folders.mjs';

const require = createRequire(import.meta.url);
const sidecarPathModule = require.resolve('../../js/sidecar_path.js');
const tag = `${process.platform}-${process.arch}`;
const preset = process.platform === 'darwin' ? 'macos' : 'linux-release';
const executable = 'kestrovan-drag-dropzone-sidecar';

function place(file) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, '');
  return file;
}

/** The package's sidecar_path.js in `packageRoot`; answers its sidecarPath, loaded fresh. */
function packageAt(packageRoot) {
  const copy = path.join(packageRoot, 'js', 'sidecar_path.js');
  fs.mkdirSync(path.dirname(copy), { recursive: true });
  fs.copyFileSync(sidecarPathModule, copy);
  return require(copy).sidecarPath;
}

test('in a clone, the build is answered before a prebuild made there; without a build, the prebuild', () => {
  const clone = tempFolder('kestrovan-clone-');
  place(path.join(clone, 'CMakePresets.json'));
  const sidecarPath = packageAt(path.join(clone, 'sidecar'));
  const prebuild = place(path.join(clone, 'sidecar', 'prebuilds', tag, executable));
  assert.equal(sidecarPath(), prebuild, 'only a prebuild');
  const build = place(path.join(clone, 'build', preset, 'sidecar', executable));
  assert.equal(sidecarPath(), build, 'a build and a prebuild');
});

test('installed, the prebuild is answered, whatever lies beside the package', () => {
  const modulesFolder = path.join(tempFolder('kestrovan-installed-'), 'node_modules');
  const sidecarPath = packageAt(path.join(modulesFolder, 'kestrovan-drag-dropzone-sidecar'));
  place(path.join(modulesFolder, 'build', preset, 'sidecar', executable));
  assert.throws(() => sidecarPath(), new RegExp(`^Error: ${executable} was not found .*\\n.*prebuilds`));
  const prebuild = place(path.join(modulesFolder, 'kestrovan-drag-dropzone-sidecar', 'prebuilds', tag, executable));
  assert.equal(sidecarPath(), prebuild);
});
