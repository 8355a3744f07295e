#!/bin/bash
# A screen 32000 pixels high (CTest runs this test on a 640x32000 Xvfb screen):
# the snowflake layer alone is 32001 x 32001 cells of 7 bytes, about 7 GB, more
# than the 32-bit program's whole address space. The allocation, made on the
# picture worker, fails for real; the box says so in words, and once it is
# dismissed the program ends by itself with exit code 0, leaving the settings
# as they were. The same in the settings mode, whose saver window has half the
# screen: the layers of its two pictures, 1.8 GB each, do not fit either.
. "$(dirname "$0")/lib.sh"

store_settings 5 1 3 5 1 14

for mode in /s /c; do
note "mode $mode"
start_saver "$mode"
box=$(wait_box 60) || fail "no message box"
note "message box after $(seconds_since "$SAVER_START") s"
text=$(box_text)
note "text: $text"
size="640 x 32000"
[ "$mode" = /c ] && size="320 x 16000"
[[ "$text" =~ ^"Not enough memory for a picture of $size: it needs about "[0-9.]+" GB."$ ]] ||
    fail "box text '$text'"

dismiss_box "$box"
wait_saver_exit 20000 || fail "the saver did not end after the box"
note "ended with exit code $SAVER_STATUS"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
[ "$(reg_value Time_Show)" = "REG_DWORD 0x5" ] || fail "settings changed"
done
note "pass"
