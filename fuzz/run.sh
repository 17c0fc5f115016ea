#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, address and undefined-behaviour sanitizers)
# in build/fuzz and runs each for a bounded time over its corpus in fuzz/corpus/TARGET.
# New inputs go to a scratch directory, so the corpus in the repository is only read; a
# crashing input is kept as build/fuzz/TARGET-crash-... and fails the run.
# Usage: fuzz/run.sh [SECONDS-PER-TARGET]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
tools/setup.sh clang libclang-rt-dev

cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j2

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
for target in session_script xml_reader; do
  echo "== fuzz $target: ${seconds}s =="
  mkdir -p "$scratch/$target"
  status=0
  build/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build/fuzz/$target-" \
    "$scratch/$target" "fuzz/corpus/$target" >"$scratch/$target.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$scratch/$target.log"
    echo "fuzz $target: a finding (exit $status); the input is in build/fuzz/$target-*" >&2
    exit 1
  fi
  grep -E '^(INFO: seed corpus|stat::number_of_executed_units|stat::peak_rss_mb)' "$scratch/$target.log"
done
