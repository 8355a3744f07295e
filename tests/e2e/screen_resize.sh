#!/bin/bash
# A screen that changes size while the saver runs (xrandr on the 1280x720
# Xvfb: to 800x600, then back): Wine sends the window no WM_DISPLAYCHANGE for
# it, yet from the next picture on the window covers the new screen, the
# snowflake's square is centred on it and no black band is left.
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

start_saver_traced /s
wait_window 'Nivora Glade' 60 >/dev/null || fail "no saver window"
check_next_picture 1280x720

for size in 800x600 1280x720; do
    xrandr --output screen --mode "$size" || fail "xrandr --mode $size"
    note "screen now $(xdpyinfo | awk '/dimensions:/ { print $2 }')"
    sleep 1  # Wine learns of the new size
    check_next_picture "$size"
done
saver_running || fail "the saver ended"
xdotool key space
wait_saver_exit 10 || fail "a key did not end the saver"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
