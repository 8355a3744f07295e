#!/bin/bash
# A first picture that never blocks: at 16384x16384, the largest size the
# saver takes, the picture is made on the worker for minutes while the
# drawing thread goes on with the cycle's steps every 10 ms and shows a black
# window; SIGTERM then ends the saver within 0.5 s with status 0, and a
# display that goes away ends it within 0.5 s with status 1, as it does while
# a small picture is held. A size whose pictures need more memory than the
# process may have is refused in one line with status 2, while a small one
# runs under the same limit.
. "$(dirname "$0")/lib.sh"
out=$NIVORA_OUT/first-picture
# Fresh: a tick log of an earlier run would answer for a saver not yet started.
rm -rf "$out"
mkdir -p "$out"
big=16384x16384

# Waits until the saver has started its first picture at $1 and is still
# waiting for it after a second.
first_picture_under_way() {
    wait_log "$2" '^first' 20
    sleep 1
    ! grep -q '^picture' "$2" || fail "the $1 picture was ready within a second: nothing waited for"
}

# Each end is timed: $1 ends the saver, which must be gone within 0.5 s.
# The saver's worker threads run at a lower priority and must get a
# processor to end too: on a machine loaded by others that took up to
# 0.35 s, so one late end is tried again; a thread that is held up (a
# picture made on it) is late every time.
ended_in_time() {
    "$@"
    wait_saver_exit 500 && return
    wait_saver_exit 10000 || fail "the saver did not end at all"
    return 1
}
try_twice() {  # the attempt's number goes last
    "$@" 1 && return
    note "late once ($ENDED_MS ms); again"
    "$@" 2 || fail "late again: $*"
}

# SIGTERM while the first picture is made.
term_while_made() {
    local log=$out/term-$1.log before steps
    start_saver --geometry $big --seed 3 --tick-log "$log"
    first_picture_under_way $big "$log"
    before=$(grep -c '^tick' "$log")
    sleep 0.5
    steps=$(( $(grep -c '^tick' "$log") - before ))
    import -window root "$out/waiting.png" || fail "screenshot"
    note "waiting for the first $big picture: $steps cycle steps in 0.5 s, the screen's brightest channel" \
         "$(brightest "$out/waiting.png")"
    [ "$steps" -ge 10 ] || fail "only $steps cycle steps in 0.5 s: the drawing thread is held up"
    [ "$(brightest "$out/waiting.png")" = 0 ] || fail "the window is not black while the picture is made"
    ended_in_time kill -TERM "$SAVER_PID" || return 1
    [ "$SAVER_STATUS" = 0 ] || fail "SIGTERM: exit status $SAVER_STATUS"
    note "SIGTERM ended the saver in $ENDED_MS ms, status 0"
}
try_twice term_while_made

# The display goes away: while the first large picture is made, and while a
# small one is held.
display_lost() {
    local phase=$1 log=$out/lost-$1-$2.log
    start_other_display
    if [ "$phase" = first ]; then
        DISPLAY=$OTHER_DISPLAY start_saver --geometry $big --tick-log "$log" 2>"$out/lost.txt"
        first_picture_under_way $big "$log"
    else
        DISPLAY=$OTHER_DISPLAY start_saver --geometry 320x180 --tick-log "$log" 2>"$out/lost.txt"
        wait_log "$log" '^hold ' 30
    fi
    # Gone at once, as a server that crashed.
    ended_in_time kill -KILL "$OTHER_XVFB_PID" || return 1
    wait "$OTHER_XVFB_PID" 2>/dev/null
    [ "$SAVER_STATUS" = 1 ] || fail "lost display ($phase): exit status $SAVER_STATUS"
    grep -q 'lost the connection to the X display' "$out/lost.txt" || fail "no word of the lost display"
    note "display gone during the $phase picture: the saver ended in $ENDED_MS ms, status 1"
}
for phase in first hold; do
    try_twice display_lost $phase
done

# More memory than the process may have (an address-space limit of 4 GB).
status=0
(ulimit -v 4194304 && exec "$NIVORA_SAVER" --geometry $big) 2>"$out/refused.txt" || status=$?
note "at $big under a 4 GB limit: status $status, '$(cat "$out/refused.txt")'"
[ "$status" = 2 ] || fail "exit status $status"
[ "$(wc -l <"$out/refused.txt")" = 1 ] || fail "more than one line"
grep -qE "^nivoraglade: Not enough memory for a picture of 16384 x 16384: it needs about [0-9]+\.[0-9] GB$" \
    "$out/refused.txt" || fail "not the memory message"
(ulimit -v 4194304 && exec "$NIVORA_SAVER" --geometry 640x360 --tick-log "$out/limited.log") &
SAVER_PID=$!
wait_log "$out/limited.log" '^picture 640x360' 20
# Not a measure of time here: only that it ran and ends as usual.
signal_ends_saver TERM 2000
echo "first picture: all checks passed"
