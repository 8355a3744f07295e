#!/bin/bash
# /a, /A and -a end at once with exit code 0 and make no window (the saver
# window's creation would have written the first-run key); a lone "/" and no
# argument at all start the full-screen saver.
. "$(dirname "$0")/lib.sh"

delete_key
for argument in /a /A -a; do
    start_saver "$argument"
    wait_saver_exit 5000 || fail "$argument: still running after 5 s"
    [ "$SAVER_STATUS" = 0 ] || fail "$argument: exit code $SAVER_STATUS"
    note "$argument: exit code 0 after $(seconds_since "$SAVER_START") s"
done
[ -z "$(xdotool search --name '^Nivora Glade' 2>/dev/null)" ] || fail "a window was left behind"
[ -z "$(reg_value Algorithm)" ] || fail "the settings key was written: a saver window was created"

for arguments in "/" ""; do
    # shellcheck disable=SC2086 # an empty string means no argument
    start_saver $arguments
    window=$(wait_window 'Nivora Glade' 30) || fail "'$arguments': no saver window"
    note "'$arguments': saver window $(window_geometry "$window") after $(seconds_since "$SAVER_START") s"
    activate "$window"
    xdotool key space
    wait_saver_exit 5000 || fail "'$arguments': a key press did not end the saver; $(keyboard_owner) had the keyboard"
    [ "$SAVER_STATUS" = 0 ] || fail "'$arguments': exit code $SAVER_STATUS"
done
note "pass"
