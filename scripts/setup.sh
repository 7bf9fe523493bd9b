#!/usr/bin/env bash
# Installs, only where missing, every Debian package the build, the tests,
# the benchmarks, the fuzz targets and the Debian package's build and checks
# need. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libhidapi-dev libserialport-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wqy-microhei fonts-liberation2 xvfb xauth
  clang libclang-rt-14-dev
  dpkg-dev lintian help2man desktop-file-utils appstream file man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
