#!/bin/bash
# Mouse moves of exactly 100 pixels on both axes between two events leave the
# saver running; a jump of 101 on one axis ends it (once for x, once for y).
. "$(dirname "$0")/lib.sh"

delete_key
for axis in x y; do
    start_saver /s
    window=$(wait_window 'Nivora Glade' 30) || fail "no saver window"
    xdotool windowactivate --sync "$window" 2>/dev/null
    sleep 0.5
    xdotool mousemove 640 360
    sleep 0.5
    saver_running || fail "a move to the starting point ended the saver"
    for point in "740 460" "640 360" "540 260" "640 360" "640 460" "540 460"; do
        # shellcheck disable=SC2086
        xdotool mousemove $point
        sleep 0.4
    done
    sleep 0.6
    saver_running || fail "moves of 100 pixels ended the saver"
    if [ "$axis" = x ]; then target="641 460"; else target="540 359"; fi
    moved=$(now)
    # shellcheck disable=SC2086
    xdotool mousemove $target
    wait_saver_exit 1000 || fail "a jump of 101 pixels on $axis did not end the saver"
    note "jump of 101 on $axis: ended after $(seconds_since "$moved") s, exit code $SAVER_STATUS"
    [ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
done
note "pass"
