#!/usr/bin/env bash
# Checks the macOS arm64 build against the SDK in $SDKROOT beyond compiling:
# - clang's static analyzer (core, cplusplus, osx and nullability checkers,
#   besides its defaults) over every Objective-C++ file; any report fails;
# - the addon's two modules (kestrovan_file_promise_drag.node and the drop
#   zones' kestrovan_file_drops.node) bind nothing by flat-namespace lookup but
#   the Node-API functions they leave to the host; the same for the node
#   suites' test-only AppKit driver addon.
#
#   SDKROOT=/path/to/MacOSX.sdk scripts/analyze-macos.sh [configure preset]
#
# The preset defaults to macos-arm64-cross. scripts/cross-build-macos.sh runs
# it after the build with its own preset. Without SDKROOT it says so and exits 0.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${SDKROOT:-}" ]; then
  echo "analyze-macos: SDKROOT is not set; skipping the analysis of the macOS build."
  exit 0
fi

preset=${1:-macos-arm64-cross}
build=build/$preset
cmake --preset "$preset" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build --preset "$preset" >/dev/null

status=0

# Each Objective-C++ compile command, analyzed instead of compiled.
mapfile -t sources < <(node -e '
  const entries = require(process.argv[1]);
  for (const e of entries) if (e.file.endsWith(".mm")) console.log(e.file);
' "$PWD/$build/compile_commands.json")
reports=0
for source in "${sources[@]}"; do
  command=$(node -e '
    const [file, db] = process.argv.slice(1);
    const entry = require(db).find((e) => e.file === file);
    const args = entry.command.replace(/ -o \S+/, " -o /dev/null").replace(/ -c /, " ");
    console.log(`cd ${JSON.stringify(entry.directory)} && ${args}`);
  ' "$source" "$PWD/$build/compile_commands.json")
  output=$(bash -c "$command --analyze -Xanalyzer -analyzer-checker=core,cplusplus,osx,nullability -Xanalyzer -analyzer-output=text" 2>&1) || true
  count=$(grep -cE "(warning|error):" <<<"$output" || true)
  if [ "$count" -ne 0 ]; then
    echo "$output" >&2
    echo "analyze-macos: $count report(s) in ${source#$PWD/}" >&2
    reports=$((reports + count))
  fi
done
if [ "$reports" -ne 0 ]; then
  status=1
else
  echo "ok: static analyzer: no reports in ${#sources[@]} Objective-C++ files"
fi

# Symbols bound by flat-namespace lookup: the Node-API functions only, in the
# package's two modules and in the node suites' test-only AppKit driver addon.
nm=$(command -v llvm-nm || command -v llvm-nm-14 || true)
if [ -z "$nm" ]; then
  echo "analyze-macos: llvm-nm not found; cannot check the addons' bindings" >&2
  status=1
else
  for addon in "$build/addon/kestrovan_file_promise_drag.node" "$build/addon/kestrovan_file_drops.node" \
               "$build/addon/kestrovan_appkit_test_driver.node"; do
    unexpected=$("$nm" -m "$addon" | grep "dynamically looked up" | grep -v " _napi_" || true)
    if [ -n "$unexpected" ]; then
      echo "$unexpected" >&2
      echo "analyze-macos: $addon looks these up by flat namespace; only Node-API functions may be" >&2
      status=1
    else
      echo "ok: $addon: only Node-API functions are looked up from the host"
    fi
  done
fi
exit $status
