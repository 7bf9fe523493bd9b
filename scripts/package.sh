#!/usr/bin/env bash
# Builds the Debian package of Turbex from the default build (the same tree
# scripts/test.sh builds and tests) and prints its path.
#   scripts/package.sh            -> build/default/package/turbex_VERSION_ARCH.deb
# Install it with: sudo apt install ./build/default/package/turbex_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh >&2
cmake --preset default >&2
cmake --build --preset default -j "$(nproc)" >&2
rm -f build/default/package/turbex_*.deb
(cd build/default && cpack -G DEB --config CPackConfig.cmake >&2)
deb=$(ls build/default/package/turbex_*.deb)
echo "$(pwd)/$deb"
