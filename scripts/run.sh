#!/usr/bin/env bash
# Runs Nivora Glade. On a Wayland desktop (WAYLAND_DISPLAY set) it builds the
# native saver and starts it over every output; with an X display (DISPLAY set
# and reachable) it starts it in a window of its own: a key press, a quick
# mouse jump or closing the window ends it. Without a display it says so and
# renders a few pictures as PNG files instead. Installs what it needs first.
#   scripts/run.sh             the saver in a window on the display, or pictures into ./out
#   scripts/run.sh --windows   the Windows program, full screen under Wine
#   scripts/run.sh --settings  the Windows program's settings window (/c) under Wine
#   scripts/run.sh --render    pictures into ./out in any case
#   scripts/run.sh --web [--port P]  the web edition, built and served on http://127.0.0.1:P/ (8000)
#   scripts/run.sh --help      this text
# Further arguments go to the native saver (e.g. scripts/run.sh --geometry 1920x1080 --seed 5).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
    # The comment above, without its first two characters.
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
    exit 0
fi

render_pictures() {
    scripts/install-deps.sh native
    cmake --preset native >/dev/null
    cmake --build --preset native -j"$(nproc)" --target nivora-render >/dev/null
    mkdir -p out
    build/src/tools/nivora-render --size 1920x1080 --count 4 --out out/picture.png
    echo "Pictures written to $root/out/picture-001.png ... picture-004.png"
}

if [ "${1:-}" = --web ]; then
    port=8000
    if [ "${2:-}" = --port ]; then
        port=${3:?"--port needs a number"}
    fi
    scripts/install-deps.sh web
    cmake --preset web >/dev/null
    cmake --build --preset web -j"$(nproc)" --target nivora_site >/dev/null
    echo "Serving the web edition on http://127.0.0.1:$port/ (Ctrl-C ends it; the site as a zip: $(ls "$root"/build-web/NivoraGlade-*-web.zip))"
    exec python3 -m http.server --bind 127.0.0.1 --directory build-web/site "$port"
fi

if [ "${1:-}" = --render ]; then
    render_pictures
    exit 0
fi

has_display() {
    [ -n "${WAYLAND_DISPLAY:-}" ] && return 0
    [ -n "${DISPLAY:-}" ] || return 1
    # xdpyinfo comes with x11-utils; without it, trust DISPLAY.
    command -v xdpyinfo >/dev/null || return 0
    xdpyinfo >/dev/null 2>&1
}

if ! has_display; then
    if [ "${1:-}" = --settings ]; then
        echo "No display to show the settings window on (DISPLAY is '${DISPLAY:-}')." >&2
        exit 1
    fi
    echo "No display to show the saver on (DISPLAY is '${DISPLAY:-}'): rendering pictures instead."
    render_pictures
    exit 0
fi

if [ "${1:-}" = --windows ] || [ "${1:-}" = --settings ]; then
    mode=/s
    [ "$1" = --settings ] && mode=/c
    scripts/install-deps.sh all
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 -j"$(nproc)" --target NivoraGlade >/dev/null
    if [ "$mode" = /c ]; then
        echo "Opening the settings under a windowed saver on $DISPLAY: Close or Escape ends it."
    else
        echo "Starting the saver on $DISPLAY: press a key or move the mouse quickly to end it."
    fi
    exec cmake/wine-run.sh "$root/build-win32/wineprefix-run" win32 "$root/build-win32/src/win32/NivoraGlade.scr" "$mode"
fi

scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target nivoraglade >/dev/null
if [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting the saver over every output of the Wayland desktop: press a key or move the mouse quickly to end it."
else
    echo "Starting the saver in a window on $DISPLAY: press a key, move the mouse quickly or close the window to end it."
fi
exec build/src/nivoraglade/nivoraglade "$@"
