#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it installs only what is missing. Usage: scripts/install-deps.sh [native|web|all]
#   native  the Linux build (with the X11 and Wayland saver; Ninja, which the
#           presets name), the renderer, the fuzz targets (clang's libFuzzer), the
#           benchmarks, MPFR (the oracle of the extended-precision functions),
#           qemu-user (an emulated processor) and jq (test.sh reads ctest's list)
#   web     the web edition: Emscripten, Node and npm (its tests' driver), Chromium (headless)
#   all     also the web edition, and the tests on virtual screens: Xvfb and its tools, the
#           screen-saver daemon, headless Wayland compositors, MinGW-w64 and Wine
#           for the Windows program, NSIS, and the arm64 build: the cross
#           compiler, qemu-aarch64 and the :arm64 libraries (GoogleTest is built
#           from /usr/src/googletest)
set -euo pipefail

what=${1:-all}
native=(build-essential cmake ninja-build pkg-config libpng-dev googletest libgtest-dev libbenchmark-dev libx11-dev libxext-dev
        clang libclang-rt-dev time libmpfr-dev qemu-user jq)
windows=(mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
         wine wine64 wine32:i386 xvfb xauth openbox xdotool imagemagick x11-utils fonts-liberation bc
         x11-xserver-utils xserver-xephyr libxinerama1:i386 libxrandr2:i386 nsis)
# The X11 saver's tests: the daemon it runs under, the options file's check,
# the package's dependency list, Debian's package and man page checkers, strace (what the
# settings program opens).
x11=(xscreensaver libxml2-utils python3 dpkg-dev lintian mandoc strace)
# The Wayland front-end's build (libwayland-client, xdg-shell, wayland-scanner;
# --idle: KDE's idle protocol, sd-bus for GNOME's idle monitor), and its tests
# under headless compositors: sway and its IPC client, grim for screenshots,
# wtype for keys, weston (no layer-shell), KDE Plasma's KWin (its fake-input
# protocol), GNOME Shell; MATE's screen-saver daemon on Xvfb and the .desktop
# files' checker.
wayland_build=(libwayland-dev wayland-protocols libwayland-bin plasma-wayland-protocols libsystemd-dev)
wayland_tests=(sway grim wtype weston kwin-wayland gnome-shell mate-screensaver desktop-file-utils)
# Linux on 64-bit Arm: cross-built, tested under the emulator, packaged.
arm64=(g++-aarch64-linux-gnu binutils-aarch64-linux-gnu qemu-user libc6-dev:arm64 libstdc++6:arm64 libpng-dev:arm64
       zlib1g-dev:arm64 libx11-dev:arm64 libxext-dev:arm64 libwayland-dev:arm64 libsystemd-dev:arm64)

# The web edition: the engine built with Emscripten, run under Node, the page
# tested in Chromium headless (puppeteer-core from npm drives the system's).
# GoogleTest's sources: the fingerprint tests, built in the same tree.
web=(emscripten nodejs chromium python3 cmake ninja-build googletest)

packages=("${native[@]}" "${wayland_build[@]}")
[ "$what" = web ] && packages=("${web[@]}")
[ "$what" = all ] && packages+=("${windows[@]}" "${x11[@]}" "${wayland_tests[@]}" "${arm64[@]}" "${web[@]}")

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo

# npm comes with NodeSource's nodejs, and is a package of its own with Debian's.
if [ "$what" != native ] && ! command -v npm >/dev/null; then
  [ "$what" = web ] && packages+=(npm)
  [ "$what" = all ] && packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$what" = all ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
if [ "$what" = all ] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $sudo dpkg --add-architecture arm64
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
