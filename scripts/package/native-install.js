'use strict';
// The install step both packages share (`npm pack` copies this file in beside
// each package's install.js; what a platform needs is in the package.json's
// "kestrovan" field):
//
// - the prebuild in prebuilds/<platform>-<arch>/ when the package has one for
//   the platform and the architecture being installed for (npm_config_arch,
//   else the running Node's);
// - a source build with CMake otherwise, or when asked for with
//   `npm install --build-from-source` (npm_config_build_from_source: true, or
//   a comma-separated list of package names). It configures in a temporary
//   folder, copies only the binaries the package loads into
//   prebuilds/<platform>-<arch>/ and removes the rest. Warnings stay warnings.
//
// Written for every Node the packages support (14.17 and later).
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

function wantsSourceBuild(name) {
  const value = (process.env.npm_config_build_from_source || '').trim();
  if (value === '' || value === 'false') return false;
  if (value === 'true' || value === '1') return true;
  return value.split(',').map((part) => part.trim()).includes(name);
}

function onPath(command) {
  const found = spawnSync(command, ['--version'], { stdio: 'ignore' });
  return !found.error && found.status === 0;
}

// CMake's names for the architectures Node names.
const osxArchitectures = { arm64: 'arm64', x64: 'x86_64' };

function run(command, args) {
  const step = spawnSync(command, args, { stdio: 'inherit' });
  if (step.error) throw new Error(`cannot run ${command}: ${step.error.message}`);
  if (step.status !== 0) throw new Error(`${command} ${args.join(' ')} failed with status ${step.status}`);
}

function sourceBuild(name, root, spec, arch, destination) {
  const platform = process.platform;
  const configure = ['-S', root, '-DCMAKE_BUILD_TYPE=Release'];
  if (platform === 'darwin') {
    if (!osxArchitectures[arch]) throw new Error(`cannot build for darwin-${arch}`);
    configure.push(`-DCMAKE_OSX_ARCHITECTURES=${osxArchitectures[arch]}`, '-DCMAKE_OSX_DEPLOYMENT_TARGET=12.0');
  } else if (arch !== process.arch) {
    throw new Error(`cannot build for ${platform}-${arch} on ${process.arch} (only for the machine's own architecture)`);
  }
  if (!onPath('cmake')) throw new Error('a source build needs CMake 3.25 or later on PATH, and a C++20 compiler');
  if (onPath('ninja')) configure.push('-G', 'Ninja');

  const build = fs.mkdtempSync(path.join(os.tmpdir(), `${name}-build-`));
  try {
    configure.push('-B', build);
    run('cmake', configure);
    run('cmake', ['--build', build, '--config', 'Release', '--parallel', '--target', ...spec.targets[platform]]);
    fs.rmSync(destination, { recursive: true, force: true });
    fs.mkdirSync(destination, { recursive: true });
    for (const file of spec.binaries[platform]) {
      fs.copyFileSync(path.join(build, file), path.join(destination, file));
      fs.chmodSync(path.join(destination, file), 0o755);
    }
  } finally {
    fs.rmSync(build, { recursive: true, force: true });
  }
}

/**
 * name: the package's; root: its folder; spec: { binaries: { darwin, linux }
 * (the files a platform's folder holds), targets: { darwin, linux } (the CMake
 * targets that make them) }.
 */
function install(name, root, spec) {
  const arch = process.env.npm_config_arch || process.arch;
  const tag = `${process.platform}-${arch}`;
  const destination = path.join(root, 'prebuilds', tag);
  const binaries = spec.binaries[process.platform];
  if (!binaries) {
    console.error(`${name}: ${process.platform} is not supported (macOS, and Linux for tests)`);
    process.exit(1);
  }
  const prebuilt = binaries.every((file) => fs.existsSync(path.join(destination, file)));
  const fromSource = wantsSourceBuild(name);
  if (prebuilt && !fromSource) {
    console.log(`${name}: using the prebuilt binaries for ${tag}`);
    return;
  }
  console.log(`${name}: ${fromSource ? 'building from source as asked' : `no prebuilt binaries for ${tag}; building from source`}`);
  try {
    sourceBuild(name, root, spec, arch, destination);
  } catch (error) {
    console.error(`${name}: the source build for ${tag} failed: ${error.message}`);
    process.exit(1);
  }
  console.log(`${name}: built ${binaries.join(', ')} into prebuilds/${tag}/`);
}

module.exports = { install };
