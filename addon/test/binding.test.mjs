// Which native binaries the package loads (js/binding.js), in a copy of the
// two layouts it meets: a clone of the repository, where the clone's build
// comes before a prebuild made there earlier (scripts/make-prebuilds.sh, a
// release), and an installed package, where the prebuild is what there is.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { test } from 'node:test';

import { tempFolder } from '../../scripts/test/temp_folders.mjs';

const require = createRequire(import.meta.url);
const binding = require.resolve('../js/binding.js');
const tag = `${process.platform}-${process.arch}`;
const preset = process.platform === 'darwin' ? 'macos' : 'linux-release';
const modules = ['kestrovan_file_promise_drag', 'kestrovan_file_drops'];

function place(file) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, '');
  return file;
}

/** The package's binding.js in `packageRoot`; answers its findBinary, loaded fresh. */
function packageAt(packageRoot) {
  const copy = path.join(packageRoot, 'js', 'binding.js');
  fs.mkdirSync(path.dirname(copy), { recursive: true });
  fs.copyFileSync(binding, copy);
  return require(copy).findBinary;
}

test('in a clone, the build is loaded before a prebuild made there; without a build, the prebuild', () => {
  for (const name of modules) {
    const clone = tempFolder('kestrovan-clone-');
    place(path.join(clone, 'CMakePresets.json'));
    const findBinary = packageAt(path.join(clone, 'addon'));
    const prebuild = place(path.join(clone, 'addon', 'prebuilds', tag, `${name}.node`));
    assert.equal(findBinary(name), prebuild, `${name}: only a prebuild`);
    const build = place(path.join(clone, 'build', preset, 'addon', `${name}.node`));
    assert.equal(findBinary(name), build, `${name}: a build and a prebuild`);
  }
});

test('installed, the prebuild is loaded, whatever lies beside the package', () => {
  for (const name of modules) {
    const modulesFolder = path.join(tempFolder('kestrovan-installed-'), 'node_modules');
    const findBinary = packageAt(path.join(modulesFolder, 'kestrovan-file-promise-drag'));
    place(path.join(modulesFolder, 'build', preset, 'addon', `${name}.node`));
    assert.throws(() => findBinary(name), new RegExp(`^Error: ${name}\\.node was not found .*\\n.*prebuilds`));
    const prebuild = place(path.join(modulesFolder, 'kestrovan-file-promise-drag', 'prebuilds', tag, `${name}.node`));
    assert.equal(findBinary(name), prebuild, name);
  }
});
