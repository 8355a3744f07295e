#!/bin/bash
# Runs a command on a virtual screen of its own (Xvfb, 1280x720x24 unless
# --screen says otherwise), with the openbox window manager
# unless --no-wm is given, and returns its exit code.
#   display-session.sh [--no-wm] [--screen WxHxD] COMMAND [ARGUMENTS...]
# A Wine prefix used here must have its wineserver stopped before the screen
# goes (WINE_END_SESSION=1 for the wine wrapper, or wineserver -k): its desktop
# process would otherwise stay bound to a display that no longer exists.
set -u
window_manager=1
screen=1280x720x24
while :; do
    case "${1:-}" in
        --no-wm) window_manager=0; shift ;;
        --screen) screen=$2; shift 2 ;;
        *) break ;;
    esac
done

display_fifo=$(mktemp -u)
mkfifo "$display_fifo"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$display_fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r display_number <"$display_fifo"
rm -f "$display_fifo"
export DISPLAY=":$display_number"

wm_pid=
cleanup() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

if [ "$window_manager" = 1 ]; then
    openbox --sm-disable >/dev/null 2>&1 &
    wm_pid=$!
    for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
fi

status=0
"$@" || status=$?
exit "$status"
