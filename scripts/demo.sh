#!/usr/bin/env bash
# Installs what is missing, builds, and runs the drag-out demo on the simulated desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh linux-release
exec node addon/demo/demo.mjs "$@"
