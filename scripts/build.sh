#!/usr/bin/env bash
# Configures and builds one CMake preset (default: linux-release, or macos on a Mac).
set -euo pipefail
cd "$(dirname "$0")/.."
default=linux-release
[ "$(uname -s)" = Darwin ] && default=macos
preset=${1:-$default}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
