#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it installs only what is missing. Usage: scripts/install-deps.sh [native|all]
#   native  the Linux build, its tests, the fuzz targets (clang's libFuzzer),
#           the renderer and the benchmarks
#   all     also MinGW-w64, Wine, Xvfb and the tools of the Windows tests
set -euo pipefail

what=${1:-all}
native=(build-essential cmake pkg-config libpng-dev googletest libgtest-dev libbenchmark-dev
        clang libclang-rt-dev time)
windows=(mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
         wine wine64 wine32:i386 xvfb xauth openbox xdotool imagemagick x11-utils fonts-liberation bc)

packages=("${native[@]}")
[ "$what" = all ] && packages+=("${windows[@]}")

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$what" = all ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
