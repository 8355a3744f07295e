#!/bin/bash
# /c with stored settings: the saver runs windowed at half the screen with
# the settings window centred two pixels under it, both wholly on the screen
# (the pair goes up where a fifth of the screen down is too low); the
# controls show the stored numbers; one task-bar entry carries the
# application's title. Then
# the keyboard: Left on the first slider makes a new snowflake (the square is
# wiped and revealed again, the background around it stays), Tab Tab Right
# changes the time; "Save Settings" stores both. Moving the saver window
# brings the settings window back under it, so does dragging the settings
# window away. Escape on the saver window does nothing; on the settings
# window it ends both windows with exit code 0. So do the "Close" button and
# the close box of either window.
. "$(dirname "$0")/lib.sh"

store_settings 20 0 1 5 0 14

start_saver /c
settings=$(wait_window 'Screensaver Settings' 30) || fail "no settings window"
saver=$(wait_window 'Nivora Glade' 30) || fail "no saver window"
note "windows after $(seconds_since "$SAVER_START") s"

list=$(controls 'Screensaver Settings')
echo "$list"
saver_list=$(controls 'Nivora Glade')
echo "$saver_list"
read -r sl st sw sh _ scw sch _ <<<"$(window_numbers "$saver_list")"
[ "$scw $sch" = "640 360" ] || fail "saver client ${scw}x$sch, not half of 1280x720"
read -r fl ft fw fh _ fcw fch _ <<<"$(window_numbers "$list")"
[ "$fcw $fch" = "442 161" ] || fail "settings client ${fcw}x$fch, not 426x145 inside an 8-pixel border"
[ "$fl" = $((sl + (sw - fw) / 2)) ] || fail "settings window left $fl, not centred under the saver ($sl, $sw, $fw)"
[ "$ft" = $((st + sh + 2)) ] || fail "settings window top $ft, not two pixels under the saver ($st + $sh)"
outside=$(off_screen "$list"; off_screen "$saver_list")
[ -z "$outside" ] || fail "off the screen: $outside"
[ "$st" -le 144 ] || fail "the saver window's top $st is below a fifth of the screen"
note "saver window top $st, settings window from $ft to $((ft + fh))"

expect_control() {
    control_line "$list" "$1" >/dev/null || fail "no control matching: $1"
}
expect_control '^control msctls_trackbar32 "" 8 33 200 12 range 1 20 pos 20'
expect_control '^control msctls_trackbar32 "" 8 98 200 12 range 0 20 pos 1 *$'
expect_control '^control msctls_trackbar32 "" 234 98 200 12 range 1 20 pos 14 *$'
expect_control '^control msctls_trackbar32 "" 234 33 200 12 range 1 20 pos 5 *$'
expect_control '^control Button "Random" 138 8 62 17 check 0'
expect_control '^control Button "Random" 138 73 62 17 check 0'
expect_control '^control Button "Save Settings" 16 128 100 25'
expect_control '^control Button "Close" 354 128 75 25'
expect_control '^control Static "Snowflake   20" 16 8 '
expect_control '^control Static "Time show   5 sec" 240 8 '
expect_control '^control Static "Background" 16 73 '
expect_control '^control Static "Brightness" 240 73 '
[ "$(grep -c '^control' <<<"$list")" = 12 ] || fail "not 12 controls"

entries=$(taskbar_names)
[ "$entries" = "Nivora Glade Screensaver" ] || fail "task-bar entries: '$entries'"
note "one task-bar entry: $entries"

# The keyboard. The first picture (360 rows, two a tick) is complete by now.
read -r sx sy _ _ <<<"$(window_geometry "$saver")"
square="360x360+$((sx + 140))+$sy"
left_of_square="140x360+$sx+$sy"
lower_half="360x180+$((sx + 140))+$((sy + 180))"
before="$NIVORA_E2E_OUT/before.png"
deadline=$(echo "$(now) + 5" | bc)
while screenshot "$before" && [ "$(white_pixels "$before" "$lower_half")" -le 20 ]; do
    less_than "$(now)" "$deadline" || fail "the first picture was not revealed down to its lower half"
    sleep 0.2
done
xdotool windowactivate --sync "$settings" 2>/dev/null
sleep 0.3
control_line "$(controls 'Screensaver Settings')" 'range 1 20 pos 20 focus' >/dev/null ||
    fail "the focus is not on the first slider"
xdotool key Left
sleep 0.4
during="$NIVORA_E2E_OUT/during.png"
screenshot "$during"
list=$(controls 'Screensaver Settings')
expect_control '^control msctls_trackbar32 "" 8 33 200 12 range 1 20 pos 19 focus'
expect_control '^control Static "Snowflake   19" '
sleep 3
after="$NIVORA_E2E_OUT/after.png"
screenshot "$after"
white_before=$(white_pixels "$before" "$lower_half")
white_during=$(white_pixels "$during" "$lower_half")
lower_during=$(differing_share "$before" "$during" "$lower_half")
outside_during=$(differing_share "$before" "$during" "$left_of_square")
outside_after=$(differing_share "$before" "$after" "$left_of_square")
square_after=$(differing_share "$before" "$after" "$square")
note "the square's lower half: $white_before white pixels before Left, $white_during 0.4 s after; $lower_during of its pixels changed"
note "left of the square, pixels changed: $outside_during during, $outside_after after; in the square after: $square_after"
# Snowflake 20 over background 1 at this size leaves a few dozen pure white
# cells in the lower half; 0.4 s of reveal reaches only the upper rows.
[ "$white_before" -gt 20 ] || fail "no snowflake in the square's lower half before"
[ "$white_during" = 0 ] || fail "the lower half of the square was not wiped"
[ "$outside_during" = 0.0000 ] && [ "$outside_after" = 0.0000 ] || fail "the background outside the square changed"
less_than 0.01 "$square_after" || fail "the square shows the same snowflake as before"

xdotool key Tab Tab Right
sleep 0.3
list=$(controls 'Screensaver Settings')
expect_control '^control Static "Time show   6 sec" '
expect_control '^control msctls_trackbar32 "" 234 33 200 12 range 1 20 pos 6 focus'

# "Save Settings": the button's centre on the screen.
read -r cx cy _ _ <<<"$(window_geometry "$settings")"
xdotool mousemove $((cx + 16 + 50)) $((cy + 128 + 12)) click 1
sleep 0.5
[ "$(reg_value Algorithm)" = "REG_DWORD 0x13" ] || fail "saved Algorithm: $(reg_value Algorithm)"
[ "$(reg_value Time_Show)" = "REG_DWORD 0x6" ] || fail "saved Time_Show: $(reg_value Time_Show)"
note "saved Algorithm 19 and Time_Show 6"

# Placement. The X windows are the client areas; their offset is fixed.
offset() {
    local a b
    read -r a b _ _ <<<"$(window_geometry "$saver")"
    read -r c d _ _ <<<"$(window_geometry "$settings")"
    echo "$((c - a)) $((d - b))"
}
glued=$(offset)
follow_time() {  # waits up to 2 s for the offset to be back; prints the time taken
    local start deadline
    start=$1
    deadline=$(echo "$start + 2" | bc)
    while less_than "$(now)" "$deadline"; do
        if [ "$(offset)" = "$glued" ]; then
            seconds_since "$start"
            return 0
        fi
        sleep 0.005
    done
    return 1
}
moved=$(now)
xdotool windowmove "$saver" 100 60
taken=$(follow_time "$moved") || fail "the settings window did not follow the saver window: $(offset) against $glued"
note "settings window under the moved saver window after $taken s"
less_than "$taken" 0.1 || fail "following took $taken s"
moved=$(now)
xdotool windowmove "$settings" 0 0
taken=$(follow_time "$moved") || fail "the settings window did not snap back: $(offset) against $glued"
note "settings window back under the saver window after $taken s"
less_than "$taken" 0.1 || fail "snapping back took $taken s"

# The saver window takes no keys: Escape there leaves both windows open.
xdotool windowactivate --sync "$saver" 2>/dev/null
xdotool key Escape
sleep 0.5
saver_running || fail "Escape on the saver window ended the program"
wait_window 'Screensaver Settings' 1 >/dev/null || fail "Escape on the saver window closed the settings window"
xdotool windowactivate --sync "$settings" 2>/dev/null
xdotool key Escape
wait_saver_exit 5000 || fail "Escape did not end the program"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
[ -z "$(xdotool search --onlyvisible --name '^(Nivora Glade|Screensaver Settings)$' 2>/dev/null)" ] ||
    fail "a window was left behind"

# The other ends, each in a run of its own: $1 "button", "settings" or "saver".
end_with() {
    start_saver /c
    settings=$(wait_window 'Screensaver Settings' 30) || fail "no settings window to end with $1"
    saver=$(wait_window 'Nivora Glade' 30) || fail "no saver window to end with $1"
    sleep 1
    case "$1" in
        button)
            read -r cx cy _ _ <<<"$(window_geometry "$settings")"
            xdotool mousemove $((cx + 354 + 37)) $((cy + 128 + 12)) click 1 ;;
        settings) click_close_box "$settings" ;;
        saver) click_close_box "$saver" ;;
    esac
    wait_saver_exit 5000 || fail "$1: the program did not end"
    [ "$SAVER_STATUS" = 0 ] || fail "$1: exit code $SAVER_STATUS"
    [ -z "$(xdotool search --onlyvisible --name '^(Nivora Glade|Screensaver Settings)$' 2>/dev/null)" ] ||
        fail "$1: a window was left behind"
}
end_with button
end_with settings
end_with saver
note "the Close button and each window's close box ended the program with exit code 0"
note "pass"
