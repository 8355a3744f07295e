# shellcheck shell=bash
# A headless KWin (KDE Plasma's compositor) for a test, on tests/wayland's
# lib.sh (the test's user, its runtime folder, the saver's copy). The
# installed kwin_wayland carries a file capability that a container cannot
# grant (exec fails), so a copy runs. KWin gets a session bus of its own,
# which the screenshots use. CTest passes, beside lib.sh's:
#   NIVORA_KWIN_INPUT  kwin_input (keys and pointer through fake-input)
#   NIVORA_KWIN_SHOT   kwin_shot.py (a screenshot of one output)
. "$(dirname "${BASH_SOURCE[0]}")/../wayland/lib.sh"

command -v kwin_wayland >/dev/null || fail "kwin_wayland is not installed (Debian's kwin-wayland)"
install -m 755 "$(command -v kwin_wayland)" "$WL_HOME/kwin_wayland"
install -m 755 "$NIVORA_KWIN_INPUT" "$WL_HOME/kwin_input"
KWIN_BUS=$WL_HOME/bus
INPUT_PID=

# KWin with $1 outputs of 1280x720 side by side.
start_kwin() {
    user_cmd
    "${RUN_AS[@]}" dbus-daemon --session --address="unix:path=$KWIN_BUS" --nofork --nopidfile >/dev/null 2>&1 &
    EXTRA_PIDS+=($!)
    for _ in $(seq 50); do [ -S "$KWIN_BUS" ] && break; sleep 0.1; done
    "${RUN_AS[@]}" DBUS_SESSION_BUS_ADDRESS="unix:path=$KWIN_BUS" KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 \
        KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 QT_QPA_PLATFORM=offscreen "$WL_HOME/kwin_wayland" --virtual \
        --width 1280 --height 720 --output-count "$1" --socket wayland-nivora >"$WL_HOME/compositor.log" 2>&1 &
    COMPOSITOR_PID=$!
    wait_socket
    for _ in $(seq 100); do
        kwin_bus dbus-send --session --print-reply --dest=org.kde.KWin /org/kde/KWin/ScreenShot2 \
            org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 && return
        sleep 0.1
    done
    fail "KWin's screenshot interface does not answer: $(tail -n 5 "$WL_HOME/compositor.log")"
}
kwin_bus() { as_user DBUS_SESSION_BUS_ADDRESS="unix:path=$KWIN_BUS" "$@"; }

# kwin_input on one connection: commands in by a pipe, answers out.
start_input() {
    coproc INPUT { as_user "$WL_HOME/kwin_input" 2>>"$WL_HOME/input.err"; }
    INPUT_PID=$INPUT_PID
    EXTRA_PIDS+=("$INPUT_PID")
}
input() {
    local answer
    echo "$*" >&"${INPUT[1]}"
    read -r -t 5 answer <&"${INPUT[0]}" && [ "$answer" = ok ] || fail "kwin_input $*: $(cat "$WL_HOME/input.err")"
}

# Screenshot of output $1 (KWin's name) into $NIVORA_OUT/$2.
kwin_shot() {
    kwin_bus python3 "$NIVORA_KWIN_SHOT" "$1" "$WL_HOME/shot.png" 2>>"$WL_HOME/shot.err" || return 1
    cp "$WL_HOME/shot.png" "$NIVORA_OUT/$2"
}
