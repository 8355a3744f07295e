#!/bin/bash
# Time_Show stored as a one-character string: the general error handler shows
# a stop box captioned with the application title and the store's message;
# once it is dismissed the saver starts all the same.
. "$(dirname "$0")/lib.sh"

delete_key
set_dword Algorithm 5
set_dword BackgroundRands 1
set_dword Background 3
reg_change add "$KEY" /v Time_Show /t REG_SZ /d 5 /f || fail "reg add Time_Show"
set_dword Rands_Algorithm 1
set_dword Brightness 14

start_saver /s
box=$(wait_box 30) || fail "no message box"
note "message box after $(seconds_since "$SAVER_START") s at $(window_geometry "$box")"
[ -z "$(xdotool search --onlyvisible --name '^Nivora Glade$' 2>/dev/null)" ] ||
    fail "the saver window is up before the box is dismissed"
text=$(box_text)
note "text: $text"
[ "$text" = "Invalid data type for 'Time_Show'" ] || fail "box text '$text'"

dismiss_box "$box"
window=$(wait_window 'Nivora Glade' 30) || fail "no saver window after the box"
wait_coloured "$NIVORA_E2E_OUT/after-box.png" 280x720+0+0 || fail "no picture after the box within 30 s"
[ "$(reg_value Time_Show | cut -d' ' -f1)" = REG_SZ ] || fail "the damaged value was rewritten"

activate "$window"
xdotool key space
wait_saver_exit 5000 || fail "a key press did not end the saver; $(keyboard_owner) had the keyboard"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
