#!/usr/bin/env bash
# Sets up a fresh machine, builds the tool and runs it against the built-in
# simulator: turbex-sim serves a simulated ECU on 127.0.0.1:8987, whose
# engine starts, runs up and down the throttle range and cools down on its
# own (--demo), with a JETI receiver bus for the radio simulator page, and the
# tool's window connects to it over the socket link.
#
# With a display, the window opens; close it to stop. Without one, the window
# runs on the offscreen platform, and once it is online a picture of it in
# English and in Chinese is saved under build/screenshots/.
#   scripts/run.sh [turbex-sim options]   (see build/default/src/sim/turbex-sim --help)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target turbex turbex-sim turbex-screenshot turbexctl

bin=build/default/src
"$bin/sim/turbex-sim" --switch-on --log-prefill 600 --demo --radio jeti "$@" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
sleep 0.5

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$bin/app/turbex"
else
  echo "run: no display; the window runs offscreen and is photographed once online"
  export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
  chmod 700 "$XDG_RUNTIME_DIR"
  QT_QPA_PLATFORM=offscreen "$bin/app/turbex-screenshot" --out build/screenshots
  echo "run: the screenshots are in $(pwd)/build/screenshots/"
fi
