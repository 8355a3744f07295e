# shellcheck shell=bash
# A headless GNOME Shell for a test, on tests/wayland's lib.sh (the test's
# user, its runtime folder, the saver's copy): two virtual monitors side by
# side, 1280x720 and 1024x768. The shell wants a system bus, and without
# logind /run/systemd hidden: both in a mount namespace of its own, with a
# private system bus. It gets a session bus of its own, which the tests use
# for screenshots and keys (gnome_tool.py). CTest passes, beside lib.sh's:
#   NIVORA_GNOME_TOOL  gnome_tool.py
. "$(dirname "${BASH_SOURCE[0]}")/../wayland/lib.sh"

command -v gnome-shell >/dev/null || fail "gnome-shell is not installed"
[ "$(id -u)" -eq 0 ] && unshare -m true 2>/dev/null || { echo "SKIP: needs root for a mount namespace"; exit 77; }
GNOME_BUS=$WL_HOME/bus
# Left to right, as the shell lays them out.
MONITORS=(1280x720 1024x768)
MONITOR_X=(0 1280)

gnome_cleanup() {
    local pid
    # The shell's helpers and the private system bus.
    for pid in $(pgrep -u "$WL_USER") ${SYSTEM_BUS_PID:-}; do kill "$pid" 2>/dev/null; done
    wl_cleanup
}
trap gnome_cleanup EXIT

start_gnome() {
    user_cmd
    "${RUN_AS[@]}" dbus-daemon --session --address="unix:path=$GNOME_BUS" --nofork --nopidfile >/dev/null 2>&1 &
    EXTRA_PIDS+=($!)
    for _ in $(seq 50); do [ -S "$GNOME_BUS" ] && break; sleep 0.1; done
    # shellcheck disable=SC2016
    unshare -m sh -c 'mount -t tmpfs none /run/systemd && mount -t tmpfs none /run/dbus || exit 1
        dbus-daemon --system --nofork --nopidfile & echo $! >"$0/system-bus.pid"
        exec "$@"' "$WL_HOME" "${RUN_AS[@]}" DBUS_SESSION_BUS_ADDRESS="unix:path=$GNOME_BUS" XDG_SESSION_TYPE=wayland \
        gnome-shell --headless --wayland --no-x11 --wayland-display wayland-nivora \
        --virtual-monitor "${MONITORS[0]}" --virtual-monitor "${MONITORS[1]}" >"$WL_HOME/compositor.log" 2>&1 &
    COMPOSITOR_PID=$!
    wait_socket
    SYSTEM_BUS_PID=$(cat "$WL_HOME/system-bus.pid" 2>/dev/null)
    for _ in $(seq 150); do
        gnome_bus dbus-send --session --print-reply --dest=org.gnome.Shell.Screenshot /org/gnome/Shell/Screenshot \
            org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 && break
        sleep 0.1
    done
    gnome_bus dbus-send --session --print-reply --dest=org.gnome.Shell.Screenshot /org/gnome/Shell/Screenshot \
        org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 ||
        fail "GNOME Shell's screenshot interface does not answer: $(tail -n 5 "$WL_HOME/compositor.log")"
    # The shell starts in its overview, as at a login; Escape leaves it.
    gnome_key 1
}
gnome_bus() { as_user DBUS_SESSION_BUS_ADDRESS="unix:path=$GNOME_BUS" "$@"; }

# A key (evdev code $1) through Mutter's remote desktop.
gnome_key() { gnome_bus python3 "$NIVORA_GNOME_TOOL" key "$1" || fail "gnome_tool.py key $1"; }

# Monitor $1 (0 or 1) into $NIVORA_OUT/$2.
gnome_shot() {
    local size=${MONITORS[$1]}
    gnome_bus python3 "$NIVORA_GNOME_TOOL" shot "${MONITOR_X[$1]}" 0 "${size%x*}" "${size#*x}" "$WL_HOME/shot.png" \
        2>>"$WL_HOME/shot.err" || return 1
    cp "$WL_HOME/shot.png" "$NIVORA_OUT/$2"
}
