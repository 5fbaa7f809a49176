'use strict';
// npm's install step: the prebuild for this platform and architecture, or a
// source build (native-install.js, which the packed package carries; what a
// platform needs is in package.json's "kestrovan" field). In a clone of the
// repository it builds nothing: the CMake presets build everything there.
const fs = require('fs');
const path = require('path');

const pkg = require('./package.json');
if (fs.existsSync(path.join(__dirname, '..', 'CMakePresets.json'))) {
  console.log(`${pkg.name}: a clone of the repository; build with the CMake presets (DEVELOPERS.md)`);
} else {
  require('./native-install.js').install(pkg.name, __dirname, pkg.kestrovan);
}
