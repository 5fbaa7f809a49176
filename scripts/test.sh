#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest.
#   scripts/test.sh [preset]      (default: linux-release)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-linux-release}
bash scripts/install-deps.sh
bash scripts/build.sh "$preset"
ctest --preset "$preset" --timeout 300
