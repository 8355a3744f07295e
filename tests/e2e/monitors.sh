#!/bin/bash
# Two monitors side by side, 1280x720 and 1024x768: a nested X server
# (Xephyr) with two Xinerama heads and no RandR, the way Wine lists several
# monitors. One saver window per monitor, each with a picture of its own in
# its centred square; after a display change the windows cover the monitors
# again at the next picture; a mouse jump seen only by the second monitor's
# window ends both, even after that window was moved off its monitor and came
# back; a key press ends both, and the system's screen-saver flag
# is set while the saver runs and cleared when it ends.
. "$(dirname "$0")/lib.sh"

# Checks the picture of the window at $1,0 of size $2 x $3 in a screenshot $4.
check_picture() { check_saver_picture "$4" "${2}x$3" "${2}x$3+$1+0"; }

start_nested_monitors 1280x720 1024x768

delete_key
xdotool mousemove 1500 400
start_saver /s
wait_saver_windows 2 30 || fail "no two saver windows: $(saver_windows)"
saver_windows | while read -r id x y w h; do note "window $id at $x,$y size ${w}x$h"; done
[ "$(saver_windows | awk '{ print $4 "x" $5 "+" $2 "+" $3 }' | tr '\n' ' ')" = "1280x720+0+0 1024x768+1280+0 " ] ||
    fail "the windows do not cover the monitors: $(saver_windows)"
sleep 8  # both reveals done (768 rows take about 4 s)
screenshot "$NIVORA_E2E_OUT/both.png"
while read -r _ x _ w h; do check_picture "$x" "$w" "$h" "$NIVORA_E2E_OUT/both.png"; done < <(saver_windows)

# A display change: at the next picture the other monitor's window is made
# anew, and both monitors are covered again.
second=$(saver_windows | awk '$2 == 1280 { print $1 }')
wine_run "$NIVORA_DISPLAY_CHANGE" || fail "no saver window to tell of a display change"
deadline=$(echo "$(now) + 20" | bc)
while [ "$(saver_windows | awk '$2 == 1280 { print $1 }')" = "$second" ]; do
    less_than "$(now)" "$deadline" || fail "the monitors were not covered again after a display change"
    saver_running || fail "the saver ended after a display change"
    sleep 0.2
done
sleep 1
[ "$(saver_windows | awk '{ print $4 "x" $5 "+" $2 "+" $3 }' | tr '\n' ' ')" = "1280x720+0+0 1024x768+1280+0 " ] ||
    fail "after a display change the windows do not cover the monitors: $(saver_windows)"
note "display change: the second monitor's window made anew at the next picture"

# Moved onto the first monitor from outside (what a misled Wine does to a new
# window under a window manager), the second monitor's window goes back.
wine_run "$NIVORA_DISPLAY_CHANGE" --move-monitor 0 0 || fail "no second monitor's window to move"
sleep 1
deadline=$(echo "$(now) + 5" | bc)
until [ "$(saver_windows | awk '{ print $4 "x" $5 "+" $2 "+" $3 }' | tr '\n' ' ')" = "1280x720+0+0 1024x768+1280+0 " ]; do
    less_than "$(now)" "$deadline" || fail "a moved window did not go back: $(saver_windows)"
    sleep 0.1
done
note "a moved window went back to its monitor"

# A jump of the mouse on the second monitor ends both.
xdotool mousemove 1510 405
sleep 0.5
saver_running || fail "a small move ended the saver"
moved=$(now)
xdotool mousemove 1700 405
wait_saver_exit 2000 || fail "a mouse jump on the second monitor did not end the saver"
note "mouse jump on the second monitor: ended after $(seconds_since "$moved") s, exit code $SAVER_STATUS"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
[ "$(saver_windows | wc -l)" = 0 ] || fail "windows left after the end"

# Wine keeps the screen-saver-running flag among its temporary parameters.
saver_flag() {
    reg_query 'HKCU\Software\Wine\Temporary System Parameters\Control Panel\Desktop' \
        /v WINE_ScreenSaverRunning | tr -d '\r' | awk '$1 == "WINE_ScreenSaverRunning" { print $3 }'
}

# A key press on the first monitor's window ends both.
start_saver /s
wait_saver_windows 2 30 || fail "no two saver windows the second time"
sleep 2
[ "$(saver_flag)" = 1 ] || fail "the screen-saver flag is '$(saver_flag)' while the saver runs"
primary=$(saver_windows | awk '$4 == 1280 { print $1 }')
xdotool windowactivate --sync "$primary" 2>/dev/null
pressed=$(now)
xdotool key space
wait_saver_exit 3000 || fail "a key press did not end the saver"
note "key press: ended after $(seconds_since "$pressed") s, exit code $SAVER_STATUS"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
[ "$(saver_windows | wc -l)" = 0 ] || fail "windows left after the end"
[ "$(saver_flag)" = 0 ] || fail "the screen-saver flag is '$(saver_flag)' after the end"
note "screen-saver flag 1 while running, 0 after the end"
note "pass"
