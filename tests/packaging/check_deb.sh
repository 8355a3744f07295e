#!/usr/bin/env bash
# The Debian package cpack makes of a build: it is for ARCH, holds the saver,
# its options file, nivora-render, both man pages, copyright and changelog, and
# its two programs are for MACHINE (as readelf names it). With --wayland its
# dependencies name libwayland-client0; with --lintian Debian's policy checker
# finds no error and no warning (its informational tags are shown, not counted).
#   check_deb.sh [--wayland] [--lintian] CPACK BUILD ARCH MACHINE
set -euo pipefail
wayland=0 lintian=0
while :; do
  case "${1:-}" in
    --wayland) wayland=1; shift ;;
    --lintian) lintian=1; shift ;;
    *) break ;;
  esac
done
cpack=$1 build=$(cd "$2" && pwd) arch=$3 machine=$4
# shellcheck source=../lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

# A folder of its own, so that an older package left in the build is never the one checked.
out=$build/package-check
rm -rf "$out"
(cd "$build" && "$cpack" -G DEB -B "$out" >"$out.log" 2>&1) || { cat "$out.log"; fail "cpack"; }
debs=("$out"/nivoraglade_*_"$arch".deb)
[ -f "${debs[0]}" ] || fail "no nivoraglade_VERSION_$arch.deb: $(ls "$out")"
deb=${debs[0]}

contents=$(dpkg-deb -c "$deb")
for f in usr/libexec/xscreensaver/nivoraglade usr/share/xscreensaver/config/nivoraglade.xml usr/bin/nivora-render \
         usr/share/man/man1/nivoraglade.1.gz usr/share/man/man1/nivora-render.1.gz \
         usr/share/doc/nivoraglade/copyright usr/share/doc/nivoraglade/changelog.gz; do
  grep -q "\./$f\$" <<<"$contents" || fail "$deb lacks $f"
done
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$deb is for $(dpkg-deb -f "$deb" Architecture), not $arch"
unpacked=$out/unpacked
dpkg-deb -x "$deb" "$unpacked"
for f in usr/libexec/xscreensaver/nivoraglade usr/bin/nivora-render; do
  readelf -h "$unpacked/$f" | grep -q "Machine: *$machine\$" || fail "$deb: $f is not for $machine"
done
echo "$deb: the saver, its options file, nivora-render, both man pages, copyright, changelog; programs for $machine"

if [ $wayland = 1 ]; then
  depends=$(dpkg-deb -f "$deb" Depends)
  grep -q libwayland-client0 <<<"$depends" || fail "the package does not depend on libwayland-client0: $depends"
  echo "depends on libwayland-client0"
fi
if [ $lintian = 1 ]; then
  # It warns when run as root; that line is dropped.
  status=0
  lintian --fail-on error,warning --display-info "$deb" >"$out/lintian.txt" 2>&1 || status=$?
  grep -v 'root privileges' "$out/lintian.txt" || true
  [ $status = 0 ] || fail "lintian"
  echo "lintian: no errors, no warnings"
fi
