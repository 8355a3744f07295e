#!/bin/bash
# /c on a first run: the defaults have both random flags on, so the check
# boxes are checked and the first two sliders show the first picture's random
# numbers (1..19 and 1..20), the label the first one; with the next picture
# the sliders and the label follow, and agree at every look. Then a stored
# Time_Show of 30 shows the time slider at 20 and "Time show   20 sec".
. "$(dirname "$0")/lib.sh"

delete_key
start_saver /c
wait_window 'Screensaver Settings' 30 >/dev/null || fail "no settings window"

# "ALGORITHM BACKGROUND" from the sliders, after checking that the label
# agrees with the first one.
numbers() {
    local list algorithm background
    list=$(controls 'Screensaver Settings')
    algorithm=$(control_line "$list" '^control msctls_trackbar32 "" 8 33 ' | sed 's/.* pos \([0-9]*\).*/\1/')
    background=$(control_line "$list" '^control msctls_trackbar32 "" 8 98 ' | sed 's/.* pos \([0-9]*\).*/\1/')
    control_line "$list" "^control Static \"Snowflake   $algorithm\" " >/dev/null ||
        fail "label and slider disagree: $(control_line "$list" 'Snowflake') against $algorithm"
    [ "$(grep -c 'check 1' <<<"$list")" = 2 ] || fail "the check boxes are not both checked"
    [ "$algorithm" -ge 1 ] && [ "$algorithm" -le 19 ] || fail "random Algorithm $algorithm outside 1..19"
    [ "$background" -ge 1 ] && [ "$background" -le 20 ] || fail "random Background $background outside 1..20"
    echo "$algorithm $background"
}
first=$(numbers) || exit 1
note "first picture: Algorithm and Background $first"

# A reveal of about 2 s and the 5 s hold; two pictures at most, in case the
# next one draws the same numbers.
deadline=$(echo "$(now) + 18" | bc)
while less_than "$(now)" "$deadline"; do
    current=$(numbers) || exit 1
    if [ "$current" != "$first" ]; then
        note "a later picture: $current on the sliders after $(seconds_since "$SAVER_START") s"
        break
    fi
    sleep 0.5
done
[ "$current" != "$first" ] || fail "the sliders did not follow a new picture"
activate "$(wait_window 'Screensaver Settings' 1)"
xdotool key Escape
wait_saver_exit 5000 || fail "Escape did not end the program; $(keyboard_owner) had the keyboard"

set_dword Time_Show 30
start_saver /c
wait_window 'Screensaver Settings' 30 >/dev/null || fail "no settings window"
list=$(controls 'Screensaver Settings')
control_line "$list" '^control msctls_trackbar32 "" 234 33 200 12 range 1 20 pos 20' >/dev/null ||
    fail "the time slider is not at 20: $(control_line "$list" '234 33')"
control_line "$list" '^control Static "Time show   20 sec" ' >/dev/null || fail "time label: $(control_line "$list" 'Time')"
note "Time_Show 30: slider at 20, label 'Time show   20 sec'"
activate "$(wait_window 'Screensaver Settings' 1)"
xdotool key Escape
wait_saver_exit 5000 || fail "Escape did not end the program; $(keyboard_owner) had the keyboard"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
