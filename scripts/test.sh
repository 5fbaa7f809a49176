#!/usr/bin/env bash
# Installs what is missing, then runs a CMake workflow preset: configure,
# build, and every test with CTest except the labelled runs that are too long
# for every run (package, long, valgrind; they have workflows of their own).
#   scripts/test.sh [workflow]    (default: linux-release; also linux-debug,
#                                  linux-asan, linux-release-package, ...:
#                                  `cmake --list-presets=workflow` lists them)
set -euo pipefail
cd "$(dirname "$0")/.."
workflow=${1:-linux-release}
bash scripts/install-deps.sh
cmake --workflow --preset "$workflow"
