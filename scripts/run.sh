#!/usr/bin/env bash
# Runs Nivora Glade. With a display (DISPLAY set and reachable) it builds the
# Windows program and starts the full-screen saver under Wine on that display:
# a key press or a quick mouse jump ends it. Without a display it says so and
# renders a few pictures as PNG files instead. Installs what it needs first.
#   scripts/run.sh              saver on the display, or pictures into ./out
#   scripts/run.sh --settings   the settings window (/c) on the display
#   scripts/run.sh --render     pictures into ./out in any case
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

render_pictures() {
    scripts/install-deps.sh native
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j"$(nproc)" --target nivora-render >/dev/null
    mkdir -p out
    build/src/tools/nivora-render --size 1920x1080 --count 4 --out out/picture.png
    echo "Pictures written to $root/out/picture-001.png ... picture-004.png"
}

if [ "${1:-}" = --render ]; then
    render_pictures
    exit 0
fi
mode=/s
if [ "${1:-}" = --settings ]; then
    mode=/c
elif [ -n "${1:-}" ]; then
    echo "usage: scripts/run.sh [--settings | --render]" >&2
    exit 2
fi

has_display() {
    [ -n "${DISPLAY:-}" ] || return 1
    # xdpyinfo comes with x11-utils; without it, trust DISPLAY.
    command -v xdpyinfo >/dev/null || return 0
    xdpyinfo >/dev/null 2>&1
}

if ! has_display; then
    if [ "$mode" = /c ]; then
        echo "No display to show the settings window on (DISPLAY is '${DISPLAY:-}')." >&2
        exit 1
    fi
    echo "No display to show the saver on (DISPLAY is '${DISPLAY:-}'): rendering pictures instead."
    render_pictures
    exit 0
fi

scripts/install-deps.sh all
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win32 --parallel --target NivoraGlade >/dev/null
if [ "$mode" = /c ]; then
    echo "Opening the settings under a windowed saver on $DISPLAY: Close or Escape ends it."
else
    echo "Starting the saver on $DISPLAY: press a key or move the mouse quickly to end it."
fi
exec cmake/wine-run.sh "$root/build-win32/wineprefix-run" win32 "$root/build-win32/src/win32/NivoraGlade.scr" "$mode"
