#!/bin/bash
# Builds the Windows program and its tests for 64-bit (build-win64) and 32-bit
# (build-win32) Windows with MinGW-w64, then runs both CTest suites under Wine:
# the engine's unit tests and the Windows tests in each, the end-to-end tests
# of the 32-bit NivoraGlade.scr on virtual screens (Xvfb and openbox), and the
# tests of NivoraGladeSetup.exe and the portable zip, which the 32-bit build
# makes with build-win64's program (so that one is built first).
# Needs the packages of scripts/install-deps.sh.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

for target in win64:x86_64-w64-mingw32 win32:i686-w64-mingw32; do
    name=${target%%:*}
    triple=${target#*:}
    build="$root/build-$name"
    extra=()
    [ "$name" = win32 ] && extra=(-DNIVORA_SCR64="$root/build-win64/src/win32/NivoraGlade.scr")
    echo "== $name: configure and build ($build)"
    cmake -S "$root" -B "$build" "${generator[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triple.cmake" -DCMAKE_BUILD_TYPE=Release "${extra[@]}"
    cmake --build "$build" --parallel
done

status=0
for name in win32 win64; do
    echo "== $name: tests under Wine"
    (cd "$root/build-$name" && ctest --output-on-failure) || status=1
done
exit "$status"
