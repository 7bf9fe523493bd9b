#!/usr/bin/env bash
# Regenerates the README's pictures in docs/images/: turbex-screenshot takes
# its shots of the window against turbex-sim (on a free port, radio switch
# on, 600 stored run-log records, the demo engine that starts and runs by
# itself) on the offscreen platform, and the ones the README shows are
# copied: the main window in Chinese, the history chart, the
# "Real State" page with the engine running and the settings dialog in
# English.
#   scripts/screenshots.sh      exits 1 and names them when shots are missing
set -euo pipefail
cd "$(dirname "$0")/.."

needed=(turbex_main_zh turbex_history_en turbex_real_state_en turbex_settings_en)

scripts/setup.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target turbex-sim turbex-screenshot

bin=build/default/src
work=$(mktemp -d)
mkdir -m 700 "$work/runtime"
"$bin/sim/turbex-sim" --port 0 --switch-on --log-prefill 600 --demo --radio jeti >"$work/sim.log" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
port=""
for _ in $(seq 50); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "screenshots: turbex-sim did not start" >&2; exit 1; }

QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" \
  "$bin/app/turbex-screenshot" --port "$port" --out "$work/shots"

mkdir -p docs/images
missing=()
for name in "${needed[@]}"; do
  if [ -f "$work/shots/$name.png" ]; then
    cp "$work/shots/$name.png" "docs/images/$name.png"
    echo "screenshots: docs/images/$name.png"
  else
    missing+=("$name")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "screenshots: turbex-screenshot took no ${missing[*]} (see src/app/main/ScreenshotShots.cpp)" >&2
  exit 1
fi
