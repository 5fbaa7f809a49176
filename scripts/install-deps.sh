#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test the project:
# Debian packages (only when run as root and only those missing), then the npm
# dependencies. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ clang lld pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev fonts-dejavu-core
  libx11-dev libxi-dev libxfixes-dev libxrandr-dev libxinerama-dev libxtst-dev xvfb xdotool
  libclang-rt-14-dev file
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "install-deps: missing Debian packages (run as root to install): ${missing[*]}" >&2
  fi
fi

command -v node >/dev/null || { echo "install-deps: Node.js 18 or later is needed" >&2; exit 1; }
if [ ! -d node_modules/node-api-headers ] || [ ! -d node_modules/@action-validator/core ] || [ ! -e node_modules/kestrovan-file-promise-drag ] \
  || [ ! -e node_modules/kestrovan-drag-dropzone-sidecar ] || [ package.json -nt node_modules/.package-lock.json ]; then
  npm install --ignore-scripts --no-audit --no-fund
fi
