#!/bin/bash
# A screen that changes size while the saver runs (xrandr on the 1280x720
# Xvfb: to 800x600, then back): Wine sends the window no WM_DISPLAYCHANGE for
# it, yet from the next picture on the window covers the new screen, the
# snowflake's square is centred on it and no black band is left.
# The pointer rests near the bottom right corner, so the smaller screen pulls
# it in by some 400 pixels: that is no move of the user's, and the saver goes
# on; a jump of the mouse after the changes still ends it.
# Time_Show 1 and both random flags: a new picture every few seconds.
. "$(dirname "$0")/lib.sh"

store_settings 20 1 1 1 1 14
# Xvfb offers only its first size; the other one becomes a mode of its output.
xrandr --newmode 800x600 40 800 840 968 1056 600 601 605 628 || fail "xrandr --newmode"
xrandr --addmode screen 800x600 || fail "xrandr --addmode"

# Waits until a picture begun after this call (at a hold's end) is revealed
# to its last cell, then checks the screenshot of the whole screen, WxH $1.
check_next_picture() {
    local size=$1 ends holds
    ends=$(timer_starts 1)
    wait_timer_starts 1 $((ends + 1)) 30 || fail "$size: no new picture"
    holds=$(timer_starts 2)
    wait_timer_starts 2 $((holds + 1)) 30 || fail "$size: the new picture was not revealed"
    screenshot "$NIVORA_E2E_OUT/screen-$size.png"
    read -r _ x y w h < <(saver_windows)
    note "$size: the saver window is ${w}x$h+$x+$y"
    [ "${w}x$h+$x+$y" = "$size+0+0" ] || fail "$size: the saver window does not cover the screen"
    check_saver_picture "$NIVORA_E2E_OUT/screen-$size.png" "$size" "$size+0+0"
}

xdotool mousemove 1200 700
start_saver_traced /s
wait_window 'Nivora Glade' 60 >/dev/null || fail "no saver window"
check_next_picture 1280x720

for size in 800x600 1280x720; do
    xrandr --output screen --mode "$size" || fail "xrandr --mode $size"
    note "screen now $(xdpyinfo | awk '/dimensions:/ { print $2 }'), the pointer at $(xdotool getmouselocation | cut -d' ' -f1,2)"
    sleep 1  # Wine learns of the new size
    saver_running || fail "the change to $size ended the saver"
    check_next_picture "$size"
done
saver_running || fail "the saver ended"
moved=$(now)
xdotool mousemove 100 100
wait_saver_exit 2000 || fail "a jump of the mouse after the changes did not end the saver"
note "a jump of the mouse ended it after $(seconds_since "$moved") s"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
