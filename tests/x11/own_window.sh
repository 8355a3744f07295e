#!/bin/bash
# The saver in a window of its own, for trying it out: 1280x720 unless
# --geometry says otherwise; a key press, a jump of the mouse or closing the
# window ends it, a small move does not, SIGINT ends it at once. In another
# client's window the same input does nothing. Bad options: one line on
# stderr and status 2.
. "$(dirname "$0")/lib.sh"
out=$NIVORA_OUT

own_window_id() { xdotool search --name '^Nivora Glade$' 2>/dev/null | head -n 1; }
wait_own_window() {
    for _ in $(seq 100); do
        OWN=$(own_window_id)
        [ -n "$OWN" ] && return 0
        sleep 0.05
    done
    fail "no window named Nivora Glade"
}

# Default size; a key press ends it (the window manager gives it the focus).
start_saver --seed 1
wait_own_window
size=$(xwininfo -id "$OWN" | awk '/^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print w "x" h }')
[ "$size" = 1280x720 ] || fail "own window is $size"
# The key goes where the window manager has put the focus, which it may do
# a moment after the window appears: the key waits for that.
# A window manager that has only just started may not; then the window is
# activated, as a user's click would (the pointer must not move: a jump would
# end the saver), and the key must still end it.
for _ in $(seq 60); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$OWN" ] && break
    sleep 0.05
done
if [ "$(xdotool getwindowfocus 2>/dev/null)" != "$OWN" ]; then
    note "the window manager gave the window no focus in 3 s: activating it"
    xdotool windowactivate --sync "$OWN" 2>/dev/null || xdotool windowfocus --sync "$OWN" 2>/dev/null
    sleep 0.3
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$OWN" ] || fail "the window took no focus, even activated"
fi
xdotool key x
wait_saver_exit 2000 || fail "a key press did not end the saver"
[ "$SAVER_STATUS" -eq 0 ] || fail "key press: status $SAVER_STATUS"
note "own window 1280x720; a key press ended it, status 0"

# Small moves keep it, a jump ends it. The window covers the middle of the
# 1600x900 screen wherever it is placed, and the pointer stays inside it.
xdotool mousemove 800 450
start_saver --geometry 1500x800 --seed 1
wait_own_window
sleep 0.5
xdotool mousemove 830 470
sleep 0.1
xdotool mousemove 860 490
sleep 0.5
saver_running || fail "a small mouse move ended the saver"
xdotool mousemove 1050 490
wait_saver_exit 2000 || fail "a mouse jump did not end the saver"
[ "$SAVER_STATUS" -eq 0 ] || fail "mouse jump: status $SAVER_STATUS"
note "small moves kept it; a 190-pixel jump ended it, status 0"

# Closing the window, as a window manager asks.
start_saver --geometry 400x300 --seed 1
wait_own_window
"$NIVORA_HELPER" --close "$OWN"
wait_saver_exit 2000 || fail "closing the window did not end the saver"
[ "$SAVER_STATUS" -eq 0 ] || fail "close: status $SAVER_STATUS"
note "closing the window ended it, status 0"

# SIGINT while the first picture is revealed.
start_saver --geometry 400x300 --seed 1
wait_own_window
sleep 0.5
signal_ends_saver INT 100

# In another client's window, input belongs to that client.
make_test_window 400x300
start_saver --window-id "$TEST_WINDOW" --seed 1
sleep 0.5
xdotool mousemove 20 20
xdotool key x
xdotool mousemove 390 290
sleep 0.5
saver_running || fail "--window-id: keys or the mouse ended the saver"
note "--window-id: key and mouse jump left it running"
signal_ends_saver TERM 100

# Bad options and values.
for args in "--bogus" "--algorithm 0" "--algorithm 21" "--background 21" "--brightness 0" "--time-show -1" \
            "--window-id 0" "--window-id 0xZZ" "--geometry 100" "--seed x" "--root --geometry 100x100" "--algorithm"; do
    # shellcheck disable=SC2086
    "$NIVORA_SAVER" $args >/dev/null 2>"$out/err"
    status=$?
    [ "$status" -eq 2 ] || fail "'$args' exited $status"
    [ "$(wc -l <"$out/err")" -eq 1 ] || fail "'$args' stderr: $(cat "$out/err")"
done
note "bad options: status 2 and one line, e.g. $(cat "$out/err")"
echo "own window: all checks passed"
