#!/usr/bin/env bash
# Builds with AddressSanitizer + UndefinedBehaviorSanitizer (clang) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh linux-asan
ctest --preset linux-asan --timeout 600
