#!/bin/bash
# A window moved over the saver during a hold and away again leaves the
# picture as it was: the uncovered part is painted from the frame, not erased
# to the window's grey. Wine puts back what an X window uncovers from its own
# copy of the saver's window; Windows asks the saver to erase and paint it,
# which uncover.exe asks for in the same way.
. "$(dirname "$0")/lib.sh"

store_settings 20 1 1 120 1 14
start_saver_traced /s
window=$(wait_window 'Nivora Glade' 60) || fail "no saver window"
# The reveal of a 720-pixel square takes about 4 s; then the picture holds.
wait_timer_starts 2 1 60 || fail "the hold did not begin"
sleep 0.5
before="$NIVORA_E2E_OUT/before.png"
screenshot "$before"
region=600x300+100+100  # where the other window passes
[ "$(colours "$before" "$region")" -gt 50 ] || fail "no picture under the region before"

xmessage -geometry 300x150+100+100 "over the saver" 2>/dev/null &
other_pid=$!
other=$(wait_window xmessage 20) || fail "no xmessage window"
xdotool windowraise "$other"
sleep 0.5
covered="$NIVORA_E2E_OUT/covered.png"
screenshot "$covered"
for position in "250 150" "400 250" "250 200"; do
    # shellcheck disable=SC2086
    xdotool windowmove "$other" $position
    sleep 0.3
done
share=$(differing_share "$before" "$covered" "$region")
less_than 0.05 "$share" || fail "the other window did not cover the saver ($share of the region changed)"
xdotool windowmove "$other" 1500 1000
kill "$other_pid" 2>/dev/null
wait "$other_pid" 2>/dev/null
wine "$NIVORA_UNCOVER" 'Nivora Glade' 100 100 700 400 || fail "uncover.exe found no saver window"
sleep 1
after="$NIVORA_E2E_OUT/after.png"
screenshot "$after"
saver_running || fail "the saver ended"
share=$(differing_share "$before" "$after" "$region")
grey=$(convert "$after" -crop "$region" +repage -fill black +opaque 'rgb(128,128,128)' -fill white -opaque 'rgb(128,128,128)' \
       -format '%[fx:round(mean*w*h)]' info:)
note "after the other window went: $share of the region differs from before, $grey grey pixels"
[ "$share" = 0.0000 ] || fail "the picture under the other window did not come back ($share of the region differs, $grey grey pixels)"
[ "$(timer_starts 1)" -eq 1 ] || fail "a new reveal began during the test; the comparison is void"
note "pass"
