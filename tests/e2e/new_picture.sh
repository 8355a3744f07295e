#!/bin/bash
# Time_Show 1 with both random flags: after the first picture's reveal and a
# one-second hold a new picture starts, and its background differs from the
# first one (a new background can repeat the old number one time in twenty,
# so the next pictures are watched too).
. "$(dirname "$0")/lib.sh"

store_settings 20 1 1 1 1 14

start_saver /s
window=$(wait_window 'Nivora Glade' 30) || fail "no saver window"
first="$NIVORA_E2E_OUT/picture-1.png"
wait_coloured "$first" 280x720+0+0 || fail "no coloured background in the first picture within 30 s"
taken=$(now)

deadline=$(echo "$taken + 25" | bc)
while less_than "$(now)" "$deadline"; do
    sleep 1
    later="$NIVORA_E2E_OUT/picture-2.png"
    screenshot "$later"
    share=$(differing_share "$first" "$later" 280x720+0+0)
    if less_than 0.5 "$share"; then
        note "new background $(seconds_since "$taken") s after the first screenshot: $share of the pixels left of the square changed"
        activate "$window"
        xdotool key space
        wait_saver_exit 5000 || fail "a key press did not end the saver"
        note "pass"
        exit 0
    fi
done
fail "the background did not change within 25 s"
