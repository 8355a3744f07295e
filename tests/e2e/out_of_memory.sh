#!/bin/bash
# A screen 24000 pixels high (CTest runs this test on a 640x24000 Xvfb screen):
# the snowflake layer alone is 24001 x 24001 cells of 7 bytes, about 4 GB, the
# 32-bit program's whole address space. The allocation
# fails for real; the box says so in words, and once it is dismissed the
# program ends by itself with exit code 0, leaving the settings as they were.
. "$(dirname "$0")/lib.sh"

store_settings 5 1 3 5 1 14

start_saver /s
box=$(wait_window 'Nivora Glade Screensaver' 60) || fail "no message box"
note "message box after $(seconds_since "$SAVER_START") s"
text=$(box_text)
note "text: $text"
[[ "$text" =~ ^"Not enough memory for a picture of 640 x 24000: it needs about "[0-9.]+" GB."$ ]] ||
    fail "box text '$text'"

dismiss_box "$box"
wait_saver_exit 20 || fail "the saver did not end after the box"
note "ended with exit code $SAVER_STATUS"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
[ "$(reg_value Time_Show)" = "REG_DWORD 0x5" ] || fail "settings changed"
note "pass"
