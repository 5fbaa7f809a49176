#!/usr/bin/env bash
# Builds with AddressSanitizer + UndefinedBehaviorSanitizer (clang) and runs
# every test but the labelled runs: the linux-asan workflow.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset linux-asan
