#!/usr/bin/env bash
# Sets up a fresh machine, builds the tool and runs it against the built-in
# simulator: turbex-sim serves the simulated unit on 127.0.0.1:8987 and
# turbexctl reads it over the socket link.
#   scripts/run.sh [turbexctl arguments]   (default: monitor 30)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target turbex-sim turbexctl

bin=build/default/src
"$bin/sim/turbex-sim" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT

if [ $# -eq 0 ]; then
  set -- monitor 30
fi
"$bin/cli/turbexctl" "$@"
