#!/bin/bash
# Two 1920x1080 monitors side by side (a nested Xephyr with two Xinerama
# heads): both saver windows show at once and their thread answers within
# 50 ms from the first window's creation on, while both first pictures are
# made on the worker; a jump of the mouse on the second monitor 0.3 s after
# the windows show ends both within 0.5 s, with exit code 0.
. "$(dirname "$0")/lib.sh"

start_nested_monitors 1920x1080 1920x1080
store_settings 20 1 1 1 1 14
xdotool mousemove 2400 500

start_saver_probed 50 5
wait_saver_windows 2 10 || fail "no two saver windows: $(saver_windows)"
[ "$(saver_windows | awk '{ print $4 "x" $5 "+" $2 "+" $3 }' | tr '\n' ' ')" = "1920x1080+0+0 1920x1080+1920+0 " ] ||
    fail "the windows do not cover the monitors: $(saver_windows)"
xdotool key space
wait_saver_exit 10000 || fail "a key did not end the saver"

# A jump of the mouse on the second monitor while the pictures are made.
xdotool mousemove 2400 500
start_saver /s
wait_saver_windows 2 60 || fail "no two saver windows the second time"
shown=$(now)
sleep 0.3
xdotool mousemove 2600 700
moved=$(now)
wait_saver_exit 5000 || fail "a mouse jump on the second monitor did not end the saver"
took=$(seconds_since "$moved")
note "mouse jump $(echo "$moved - $shown" | bc) s after the windows showed: ended $took s later, exit code $SAVER_STATUS"
less_than "$took" 0.5 || fail "the saver took $took s to end after the mouse jump"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
[ "$(saver_windows | wc -l)" = 0 ] || fail "windows left after the end"
note "pass"
