#!/bin/bash
# The saver under KDE Plasma's KWin, headless with two outputs of 1280x720:
# a layer-shell surface on each showing nivora-render's picture (the seed's
# on the first output, the derived seed's on the second) to the pixel; a key
# ends it with status 0, and so does a jump of the pointer; a killed KWin ends
# it with one line and status 1. And `nivoraglade --idle` through KWin's
# ext-idle-notify-v1 (idle_lib.sh).
. "$(dirname "$0")/kwin_lib.sh"
. "$(dirname "$0")/idle_lib.sh"

start_kwin 2
start_input

start_saver --seed 7 --time-show 60 --tick-log "$LOG"
wait_log "$LOG" '^hold ' 30
outputs=()
for index in 0 1; do
    grep -q "^surface $index layer" "$LOG" || fail "output $index: no layer-shell surface: $(grep '^surface' "$LOG")"
    outputs+=("$(sed -n "s/^output $index \([^ ]*\) 1280x720 .*/\1/p" "$LOG" | head -n 1)")
    [ -n "${outputs[$index]}" ] || fail "output $index is not 1280x720: $(grep '^output' "$LOG")"
done
for index in 0 1; do
    seed=$(output_seed 7 $index)
    "$NIVORA_RENDER" --size 1280x720 --seed "$seed" --out "$NIVORA_OUT/expected-$index.png" >/dev/null || fail "nivora-render"
    differ=unknown
    for _ in $(seq 20); do
        kwin_shot "${outputs[$index]}" "${outputs[$index]}.png" || fail "no screenshot of ${outputs[$index]}"
        differ=$(differing_pixels "$NIVORA_OUT/${outputs[$index]}.png" "$NIVORA_OUT/expected-$index.png")
        [ "$differ" = 0 ] && break
        sleep 0.25
    done
    [ "$differ" = 0 ] || fail "${outputs[$index]}: $differ pixels differ from nivora-render --seed $seed"
    square=$(check_look "$NIVORA_OUT/${outputs[$index]}.png" 1280x720) || exit 1
    note "${outputs[$index]}: nivora-render's picture for seed $seed, every pixel ($square near-white in the square)"
done

input key 30  # A
wait_saver_exit 3000 || fail "a key did not end the saver within 3 s"
[ "$SAVER_STATUS" -eq 0 ] && grep -q '^end key' "$LOG" || fail "key: status $SAVER_STATUS, $(tail -n 1 "$LOG")"
note "a key ended it in $ENDED_MS ms, status 0"

input move 300 300
start_saver --seed 7 --tick-log "$LOG"
wait_log "$LOG" '^commit 1 ' 20
input move 310 305
sleep 0.3
saver_running || fail "a small pointer move ended the saver"
input move 500 305
wait_saver_exit 3000 || fail "a pointer jump of 190 pixels did not end the saver"
[ "$SAVER_STATUS" -eq 0 ] && grep -q '^end pointer' "$LOG" || fail "jump: status $SAVER_STATUS, $(tail -n 1 "$LOG")"
note "a small move kept it, a jump of 190 pixels ended it in $ENDED_MS ms, status 0"

idle_scenario "input key 30" ext-idle-notify-v1

start_saver --seed 7 --tick-log "$LOG"
wait_log "$LOG" '^commit 1 ' 20
: >"$ERR"
kill -KILL "$COMPOSITOR_PID"
wait "$COMPOSITOR_PID" 2>/dev/null  # without bash's word on it
COMPOSITOR_PID=
wait_saver_exit 2000 || fail "the saver still runs 2 s after KWin was killed"
[ "$SAVER_STATUS" -eq 1 ] || fail "killed KWin: status $SAVER_STATUS"
[ "$(wc -l <"$ERR")" -eq 1 ] || fail "killed KWin, stderr: $(cat "$ERR")"
note "killed KWin: ended in $ENDED_MS ms, status 1: '$(cat "$ERR")'"
echo "kwin: all checks passed"
