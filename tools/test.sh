#!/usr/bin/env bash
# The whole test suite: installs what is missing, then builds and runs every test in the
# plain build and under the address + undefined-behaviour and thread sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
echo "== source =="
tools/check-source.sh # clang-format and the layout's include rules

for preset in default asan tsan; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
tools/test-windows.sh # the Windows module: MinGW-w64 build, import table, sessions under Wine

echo "== fuzz =="
fuzz/run.sh 30 # each reader fuzzed for 30 seconds over its corpus
echo "== pfe-bench =="
bench/check.sh build/default/bin/pfe-bench
