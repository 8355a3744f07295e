#!/bin/bash
# The settings mode's glued pair is minimised and restored as one: minimising
# the settings window (through the window manager) takes the saver window
# along, and the program's task-bar entry brings both back; the same starting
# from the saver window. Afterwards the settings window has the keyboard:
# Escape ends the program.
. "$(dirname "$0")/lib.sh"

# Waits up to 5 s until X windows $2... are all in map state $1 (IsViewable or IsUnMapped).
wait_map_state() {
    local state=$1 deadline id all
    shift
    deadline=$(echo "$(now) + 5" | bc)
    while less_than "$(now)" "$deadline"; do
        all=1
        for id in "$@"; do
            xwininfo -id "$id" | grep -q "Map State: $state" || all=0
        done
        [ "$all" = 1 ] && return 0
        sleep 0.1
    done
    return 1
}

delete_key
start_saver /c
settings=$(wait_window 'Screensaver Settings' 60) || fail "no settings window"
saver=$(wait_window 'Nivora Glade' 30) || fail "no saver window"
entry=$(xdotool search --name '^Nivora Glade Screensaver$' | head -n 1)
[ -n "$entry" ] || fail "no task-bar entry"
sleep 1
for first in settings saver; do
    xdotool windowminimize "${!first}"
    wait_map_state IsUnMapped "$settings" "$saver" || fail "minimising the $first window left the other on the screen"
    note "minimising the $first window minimised both"
    xdotool windowactivate "$entry"
    wait_map_state IsViewable "$settings" "$saver" || fail "the task-bar entry did not bring both windows back (the $first window was minimised)"
    note "the task-bar entry brought both back"
done
sleep 0.5
xdotool key Escape
wait_saver_exit 5000 || fail "Escape did not end the program after the pair came back"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
