#!/usr/bin/env bash
# Installs what is missing, builds, and runs the drag-out demo on the simulated desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release
exec node addon/demo/demo.mjs "$@"
