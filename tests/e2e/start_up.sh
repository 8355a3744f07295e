#!/bin/bash
# On a 3840x2160 screen (CTest runs this test on one), the saver answers from
# the moment its window exists, while its first picture is made on the worker:
#   - asked every 50 ms from the window's creation on, its thread answers
#     within 50 ms every time in the first 5 s;
#   - the window shows at once, and then, within 10 s, the first field;
#   - a key pressed 0.3 s after the window shows ends the saver within 0.5 s,
#     with exit code 0.
# Time_Show 1 and both random flags: new numbers for every picture.
. "$(dirname "$0")/lib.sh"

store_settings 20 1 1 1 1 14

start_saver_probed 50 10
visible=$(probe_event visible)
[ -n "$visible" ] || fail "the saver window did not show"
note "window created $(echo "$CREATED - $SAVER_START" | bc) s after the launch, shown $(echo "$visible - $CREATED" | bc) s later"
less_than "$(echo "$visible - $CREATED" | bc)" 2 || fail "the window showed only $(echo "$visible - $CREATED" | bc) s after its creation"
field=$(probe_event field)
[ -n "$field" ] || fail "no field within 10 s of the window's creation"
note "first field $(echo "$field - $visible" | bc) s after the window showed"
xdotool key space
wait_saver_exit 10000 || fail "a key did not end the saver"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"

# A key 0.3 s after the window shows, long before the first picture is there.
start_saver_key_after visible 0.3
wait_saver_exit 5000 || fail "a key 0.3 s after the window showed did not end the saver"
took=$(seconds_since "$PRESSED")
note "key $(echo "$PRESSED - $EVENT_AT" | bc) s after the window showed: the saver ended $took s later, exit code $SAVER_STATUS"
less_than "$took" 0.5 || fail "the saver took $took s to end after the key"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
