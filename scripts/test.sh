#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs the whole test suite.
#   scripts/test.sh [preset]      preset: default (the default), asan or tsan
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

scripts/setup.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
if [ "$preset" = tsan ]; then
  # Only the tests that run threads; the rest has nothing for it to find.
  ctest --preset tsan
else
  ctest --preset "$preset"
fi
