#!/bin/bash
# The settings mode (/c) shows its two windows with the settings window
# active, the one that takes the keyboard, in every start: the window
# manager's active window is the settings window, and Escape, sent to whatever
# has the focus, ends the program with exit code 0. 20 starts.
. "$(dirname "$0")/lib.sh"

delete_key
for start in $(seq 20); do
    start_saver /c
    settings=$(wait_window 'Screensaver Settings' 60) || fail "start $start: no settings window"
    saver=$(wait_window 'Nivora Glade' 30) || fail "start $start: no saver window"
    sleep 0.5
    active=$(xdotool getactivewindow 2>/dev/null)
    [ "$active" = "$settings" ] ||
        fail "start $start: the active window is ${active:-none}, not the settings window $settings (the saver window is $saver)"
    xdotool key Escape
    wait_saver_exit 5000 || fail "start $start: Escape did not end the program"
    [ "$SAVER_STATUS" = 0 ] || fail "start $start: exit code $SAVER_STATUS"
done
note "20 starts: the settings window was active and Escape ended the program each time"
note "pass"
