#!/usr/bin/env bash
# Runs the addon's node suites under valgrind memcheck (opt-in: slow, not in CI).
#   scripts/valgrind-addon.sh [suite ...]     e.g. sim/start_promise_drag drag_out_round_trip
# (a suite is named by its path under addon/test without .test.mjs).
# It builds linux-debug first and checks that build; KESTROVAN_BUILD_DIR, when
# set, names a build (without sanitizers) to check as it is (CTest's
# addon.valgrind.node_suites, label valgrind, sets it).
# Reports only invalid reads, writes and uses of uninitialised values; leaks are
# not checked (Node does not free everything at exit). V8 runs --jitless so
# memcheck does not chase generated code. scripts/valgrind-node.supp holds the
# one suppression, for V8's conservative stack scan. Exits non-zero on any
# error report.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
build=${KESTROVAN_BUILD_DIR:-}
if [ -z "$build" ]; then
  cmake --preset linux-debug >/dev/null
  cmake --build --preset linux-debug >/dev/null
  build=build/linux-debug
fi
suites=("$@")
if [ ${#suites[@]} -eq 0 ]; then
  for f in addon/test/*.test.mjs addon/test/sim/*.test.mjs; do
    f=${f#addon/test/}
    suites+=("${f%.test.mjs}")
  done
fi
status=0
for suite in "${suites[@]}"; do
  log=$build/valgrind-${suite//\//-}.log
  echo "== $suite"
  if KESTROVAN_BUILD_DIR=$build valgrind --tool=memcheck --error-exitcode=97 --leak-check=no \
      --suppressions=scripts/valgrind-node.supp \
      --trace-children=yes --log-file="$log.%p" \
      node --jitless --expose-gc --test --test-concurrency=1 "addon/test/$suite.test.mjs" >/dev/null 2>&1; then
    echo "   clean"
  else
    echo "   FAILED (see $log.*)"; status=1
  fi
  # Errors in the project's own code, whatever the exit status says.
  if grep -l -E "kestrovan" "$log".* 2>/dev/null | xargs -r grep -h -B2 -A12 -E "Invalid (read|write)|uninitialised" | grep -q kestrovan; then
    echo "   memcheck reports in the project's code:"; grep -h -A12 -E "Invalid (read|write)|uninitialised" "$log".* | head -40
    status=1
  fi
done
exit $status
