#!/bin/bash
# The saver drawing into another client's window (--window-id), as the
# daemon's settings preview and other hosts use it: the first two pictures
# are the ones nivora-render makes from the same seed, bit for bit, read back
# from the X server; an uncovered window is repainted from the picture; a new
# window size gives the seed's next picture at that size, as nivora-render
# makes it; nothing is grabbed; SIGTERM ends it at once with status 0 and no
# shared memory left behind. A window that does not exist is named in hex in
# the one line that says so.
. "$(dirname "$0")/lib.sh"
out=$NIVORA_OUT
log=$out/ticks.log

# A window that does not exist: one line naming it in hex, as X tools do.
status=0
"$NIVORA_SAVER" --window-id 1193046 2>"$out/no-window.txt" || status=$?
[ "$status" = 1 ] && [ "$(cat "$out/no-window.txt")" = "nivoraglade: cannot read the attributes of window 0x123456" ] ||
    fail "no window: status $status, '$(cat "$out/no-window.txt")'"
note "a window that does not exist: $(cat "$out/no-window.txt")"

make_test_window 640x360
hex=$(printf '0x%x' "$TEST_WINDOW")
start_saver --window-id "$hex" --seed 7 --time-show 3 --tick-log "$log"
"$NIVORA_RENDER" --size 640x360 --seed 7 --count 2 --out "$out/expected.png" >/dev/null || fail "nivora-render"

# First picture, fully revealed.
wait_log "$log" '^hold ' 30
import -window "$TEST_WINDOW" "$out/first.png" || fail "screenshot"
differ=$(differing_pixels "$out/first.png" "$out/expected-001.png")
[ "$differ" = 0 ] || fail "first picture: $differ pixels differ from nivora-render's"
# The square is 360 high and centred: columns 140..500. The snowflake is
# white; the background (brightness 14 of 20) is not even near it.
white=$(white_pixels "$out/first.png" 361x360+140+0)
square=$(whitish_pixels "$out/first.png" 361x360+140+0)
outside=$(( $(whitish_pixels "$out/first.png" 140x360+0+0) + $(whitish_pixels "$out/first.png" 139x360+501+0) ))
left_colours=$(colours "$out/first.png" 140x360+0+0)
note "first picture: same as nivora-render; $square near-white pixels ($white pure white) in the square," \
     "$outside outside, $left_colours colours left of it"
[ "$white" -gt 0 ] && [ "$square" -gt 100 ] || fail "only $square near-white pixels in the square"
[ "$outside" -eq 0 ] || fail "$outside white pixels outside the square"
[ "$left_colours" -gt 50 ] || fail "background has only $left_colours colours"

# Nothing is grabbed: another client can take keyboard and pointer.
[ "$("$NIVORA_HELPER" --grab)" = grabbed ] || fail "keyboard or pointer held by someone"

# Unmapped and mapped again, the window's contents are gone until Expose
# repaints them from the picture.
xdotool windowunmap --sync "$TEST_WINDOW"
xdotool windowmap --sync "$TEST_WINDOW"
sleep 0.3
import -window "$TEST_WINDOW" "$out/exposed.png"
differ=$(differing_pixels "$out/exposed.png" "$out/expected-001.png")
[ "$differ" = 0 ] || fail "after Expose: $differ pixels differ"
note "after unmap and map: repainted, same picture"

# Second picture: after the hold, the next numbers from the same generator.
wait_log "$log" '^hold ' 30 2
import -window "$TEST_WINDOW" "$out/second.png"
differ=$(differing_pixels "$out/second.png" "$out/expected-002.png")
[ "$differ" = 0 ] || fail "second picture: $differ pixels differ from nivora-render's picture 2"
[ "$(differing_pixels "$out/first.png" "$out/second.png")" != 0 ] || fail "second picture equals the first"
note "second picture: same as nivora-render's picture 2"

# A new size during the second picture's hold: the third picture of the
# seed is made at it, as nivora-render makes it at that size.
xdotool windowsize --sync "$TEST_WINDOW" 400 300
wait_log "$log" '^picture 400x300' 10
wait_log "$log" '^hold ' 30 3
import -window "$TEST_WINDOW" "$out/resized.png"
size=$(identify -format '%wx%h' "$out/resized.png")
[ "$size" = 400x300 ] || fail "resized window is $size"
pictures=$(check_sequence "$log" 7) || exit 1
"$NIVORA_RENDER" --size 400x300 --seed 7 --start 3 --out "$out/expected-resized.png" >/dev/null || fail "nivora-render"
differ=$(differing_pixels "$out/resized.png" "$out/expected-resized.png")
[ "$differ" = 0 ] || fail "after the resize: $differ pixels differ from nivora-render's picture 3 at 400x300"
note "resized to 400x300 in the hold of picture 2: picture 3 at 400x300, the seed's pictures in order ($pictures)"
square=$(whitish_pixels "$out/resized.png" 301x300+50+0)
outside=$(( $(whitish_pixels "$out/resized.png" 50x300+0+0) + $(whitish_pixels "$out/resized.png" 49x300+351+0) ))
note "after resizing to 400x300: $square near-white pixels in the square (columns 50..350), $outside outside"
[ "$square" -gt 100 ] && [ "$outside" -eq 0 ] || fail "resized picture is not centred at 400x300"

saver_pid=$SAVER_PID
signal_ends_saver TERM 100
leftover=$(ipcs -m -p | awk -v pid="$saver_pid" 'NR > 3 && $3 == pid' | wc -l)
[ "$leftover" -eq 0 ] || fail "$leftover shared memory segments left"
grep -q '^first' "$log" || fail "log"
echo "window-id: all checks passed"
