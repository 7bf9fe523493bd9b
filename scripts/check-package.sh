#!/usr/bin/env bash
# Checks a Debian package of Turbex without installing it: lintian (no
# errors, no warnings), the file list, the desktop entry and AppStream
# metadata, and the programs run from a throw-away folder the package was
# unpacked into. The icon is drawn again from the unpacked SVG at 48 and 256
# pixels and compared with the unpacked PNGs; copies of both sizes are left
# beside the package (turbex-icon-48.png, turbex-icon-256.png) to look at.
#   scripts/check-package.sh [DEB]     (default: build/default/package/turbex_*.deb)
# Changes nothing on the machine: the package is never installed.
set -euo pipefail
cd "$(dirname "$0")/.."

deb="${1:-$(ls build/default/package/turbex_*.deb)}"
icon_tool="${TURBEX_ICON_TOOL:-build/default/packaging/turbex-icon}"
fail() { echo "check-package: $*" >&2; exit 1; }

version=$(dpkg-deb -f "$deb" Version)
echo "check-package: $deb (version $version)"
dpkg-deb -f "$deb" Depends Recommends

echo "-- lintian"
rc=0
out=$(lintian --fail-on error,warning --display-info "$deb" 2>&1) || rc=$?
# lintian's own remark about being run as root (CI is) is no finding.
printf '%s\n' "$out" | grep -v 'running with root privileges' || true
[ "$rc" -eq 0 ] || fail "lintian reports errors or warnings"

echo "-- file list"
listing=$(dpkg-deb -c "$deb")
expected=(
  ./usr/bin/turbex ./usr/bin/turbexctl ./usr/bin/turbex-sim
  ./usr/lib/udev/rules.d/70-turbex.rules
  ./usr/share/applications/turbex.desktop
  ./usr/share/metainfo/turbex.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/turbex.svg
  ./usr/share/man/man1/turbex.1.gz ./usr/share/man/man1/turbexctl.1.gz
  ./usr/share/man/man1/turbex-sim.1.gz
  ./usr/share/bash-completion/completions/turbexctl
  ./usr/share/doc/turbex/copyright ./usr/share/doc/turbex/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/turbex.png")
done
for path in "${expected[@]}"; do
  grep -qE " ${path//./\\.}\$" <<<"$listing" || fail "missing from the package: $path"
done
echo "all ${#expected[@]} files present"

echo "-- unpacked into a temporary folder"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"
bin="$tmp/usr/bin"
"$bin/turbexctl" --version | tee "$tmp/v1"
grep -qx "turbexctl (Turbex) $version" "$tmp/v1" || fail "turbexctl --version"
"$bin/turbex-sim" --help | head -n 2
"$bin/turbex-sim" --help | grep -q '^Usage: turbex-sim' || fail "turbex-sim --help"
"$bin/turbex-sim" --version | grep -qx "turbex-sim (Turbex) $version" || fail "turbex-sim --version"
QT_QPA_PLATFORM=offscreen "$bin/turbex" --version | tee "$tmp/v3"
grep -qx "turbex (Turbex) $version" "$tmp/v3" || fail "turbex --version"
for page in turbex turbexctl turbex-sim; do
  man -l "$tmp/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^NAME" || fail "man page of $page"
done
bash --norc --noprofile -c "source '$tmp/usr/share/bash-completion/completions/turbexctl' && complete -p turbexctl" \
  || fail "bash completion"

desktop-file-validate "$tmp/usr/share/applications/turbex.desktop" || fail "desktop entry"
# The component id is the desktop entry's name ("turbex"): the project has
# no domain of its own to give it a reverse-DNS one.
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
  "$tmp/usr/share/metainfo/turbex.metainfo.xml" || fail "AppStream metadata"

echo "-- icon"
out_dir=$(dirname "$deb")
for size in 48 256; do
  png="$tmp/usr/share/icons/hicolor/${size}x${size}/apps/turbex.png"
  file "$png" | grep -q "PNG image data, $size x $size" || fail "icon $size: $(file -b "$png")"
  cp "$png" "$out_dir/turbex-icon-$size.png"
done
if [ -x "$icon_tool" ]; then
  "$icon_tool" --svg "$tmp/usr/share/icons/hicolor/scalable/apps/turbex.svg" --sizes 48,256 --out "$tmp/drawn"
  for size in 48 256; do
    cmp -s "$tmp/drawn/${size}x${size}/apps/turbex.png" \
      "$tmp/usr/share/icons/hicolor/${size}x${size}/apps/turbex.png" \
      || fail "the ${size}px PNG is not the installed SVG drawn at $size px"
  done
  echo "the 48 and 256 px PNGs are the installed SVG drawn at those sizes"
fi
echo "check-package: passed"
