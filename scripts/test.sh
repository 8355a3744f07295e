#!/usr/bin/env bash
# Builds everything and runs every test: the engine, the tools and the X11
# saver natively (the saver on virtual screens and under the screen-saver
# daemon; the engine also under AddressSanitizer and
# UndefinedBehaviorSanitizer; its numbers also under qemu-x86_64), the fuzz targets for a bounded time
# (NIVORA_FUZZ_SECONDS each, 30 by default), the Debian package (checked by
# lintian), the engine with its extended numbers computed in integers, the arm64
# build (tested under qemu-aarch64, and its package), then the Windows program
# cross-compiled with MinGW-w64 and tested under Wine.
# Installs what it needs on a fresh Debian or Ubuntu machine first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh all
jobs=$(nproc)

echo "== native build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure

echo "== the engine's numbers on an emulated processor (qemu-x86_64, its x87 done in software)"
# The same fingerprints and the same correctly rounded functions as on this
# processor: nothing in the engine depends on a maker's x87 microcode.
qemu-x86_64 build/tests/nivora_unit_tests --gtest_brief=1 \
  --gtest_filter='GoldenPictures.*:PinnedCycle.*:ExtendedMath.*'
NIVORA_ORACLE_COUNT=20000 qemu-x86_64 build/tests/oracle/nivora_oracle_tests --gtest_brief=1

# check_deb BUILD ARCH MACHINE: cpack's package of BUILD is for ARCH, holds the
# saver, its options file, nivora-render, both man pages, copyright and
# changelog, and its two programs are for MACHINE (as readelf names it).
check_deb() {
  local build=$1 arch=$2 machine=$3 deb contents unpacked f
  (cd "$build" && cpack -G DEB >/dev/null)
  deb=$(ls "$build"/nivoraglade_*_"$arch".deb) || { echo "FAIL: no nivoraglade_VERSION_$arch.deb in $build"; exit 1; }
  contents=$(dpkg-deb -c "$deb")
  for f in usr/libexec/xscreensaver/nivoraglade usr/share/xscreensaver/config/nivoraglade.xml usr/bin/nivora-render \
           usr/share/man/man1/nivoraglade.1.gz usr/share/man/man1/nivora-render.1.gz \
           usr/share/doc/nivoraglade/copyright usr/share/doc/nivoraglade/changelog.gz; do
    grep -q "\./$f\$" <<<"$contents" || { echo "FAIL: $deb lacks $f"; exit 1; }
  done
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || { echo "FAIL: $deb is not for $arch"; exit 1; }
  unpacked=$(mktemp -d)
  dpkg-deb -x "$deb" "$unpacked"
  for f in usr/libexec/xscreensaver/nivoraglade usr/bin/nivora-render; do
    readelf -h "$unpacked/$f" | grep -q "Machine: *$machine\$" || { echo "FAIL: $deb: $f is not for $machine"; exit 1; }
  done
  rm -rf "$unpacked"
  echo "$deb: the saver, its options file, nivora-render, both man pages, copyright, changelog; programs for $machine"
}

echo "== Debian package"
check_deb build amd64 "Advanced Micro Devices X86-64"
dpkg-deb -f build/nivoraglade_*_amd64.deb Depends | grep -q libwayland-client0 ||
  { echo "FAIL: the package does not depend on libwayland-client0"; exit 1; }
# Debian's policy checker: no errors and no warnings (its informational tags
# are shown, not counted). It warns when run as root; that line is dropped.
lintian --fail-on error,warning --display-info build/nivoraglade_*_amd64.deb 2> >(grep -v 'root privileges' >&2)
echo "lintian: no errors, no warnings"

echo "== the engine with its extended numbers computed in integers, as where there is no x87 unit"
cmake -S . -B build-soft -DCMAKE_BUILD_TYPE=Release -DNIVORA_SOFT_EXTENDED=ON -DNIVORA_BUILD_TOOLS=OFF \
  -DNIVORA_BUILD_X11=OFF >/dev/null
cmake --build build-soft -j"$jobs"
# Every engine test, the same fingerprints as the x87 build's above, and the
# functions against MPFR.
ctest --test-dir build-soft -j"$jobs" --output-on-failure

echo "== arm64: cross-built, the engine's fingerprints and a renderer's pictures under qemu-aarch64, the package"
cmake -S . -B build-arm64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64-linux-gnu.cmake \
  -DNIVORA_REFERENCE_RENDER="$PWD/build/src/tools/nivora-render" >/dev/null
cmake --build build-arm64 -j"$jobs"
ctest --test-dir build-arm64 -j"$jobs" --output-on-failure
check_deb build-arm64 arm64 AArch64

echo "== native tests under the address and undefined-behaviour sanitizers"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIVORA_BUILD_TOOLS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build build-sanitize -j"$jobs"
# A test expects a floating-point trap to end the process by its signal.
ASAN_OPTIONS=handle_sigfpe=0 ctest --test-dir build-sanitize -j"$jobs" --output-on-failure

echo "== fuzzing: each libFuzzer target for ${NIVORA_FUZZ_SECONDS:-30} s (any finding fails)"
scripts/fuzz.sh "${NIVORA_FUZZ_SECONDS:-30}"

if [ -x scripts/test-windows.sh ]; then
  echo "== Windows build and tests under Wine"
  scripts/test-windows.sh
fi
