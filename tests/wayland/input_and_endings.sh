#!/bin/bash
# How the saver ends on Wayland. Without any display: one line, status 2.
# Under a headless sway: small pointer moves keep it and a jump of over 100
# pixels ends it, SIGTERM and SIGINT end it, all with status 0; a killed
# compositor ends it with one line and status 1 within 1 s, without spinning
# meanwhile.
. "$(dirname "$0")/lib.sh"

status=0
env -i "$WL_HOME/nivoraglade" 2>"$WL_HOME/none.err" || status=$?
[ "$status" -eq 2 ] || fail "without a display: status $status"
[ "$(wc -l <"$WL_HOME/none.err")" -eq 1 ] || fail "without a display: $(cat "$WL_HOME/none.err")"
note "no display: status 2, '$(cat "$WL_HOME/none.err")'"

start_sway "output HEADLESS-1 mode 800x600" "output HEADLESS-2 mode 640x480"
layout=1440x600

# Waits until every output has had its first commit.
wait_covered() { wait_log "$LOG" '^commit 1 ' 20; }

# The pointer starts where the saver finds it: the first absolute move from
# wherever the compositor put it would be a jump.
as_user "$WL_HOME/wayland_pointer" 0 $layout 300,300 || fail "wayland_pointer"
start_saver --seed 3 --tick-log "$LOG"
wait_covered
as_user "$WL_HOME/wayland_pointer" 300 $layout 300,300 310,305 320,310 330,315 || fail "wayland_pointer"
sleep 0.3
saver_running || fail "small pointer moves ended the saver"
as_user "$WL_HOME/wayland_pointer" 300 $layout 330,315 500,315 || fail "wayland_pointer"
wait_saver_exit 2000 || fail "a pointer jump of 170 pixels did not end the saver"
[ "$SAVER_STATUS" -eq 0 ] || fail "pointer jump: status $SAVER_STATUS"
grep -q '^end pointer' "$LOG" || fail "ended, but not by the pointer: $(tail -n 1 "$LOG")"
note "small pointer moves kept it, a jump of 170 pixels ended it, status 0"

for signal in TERM INT; do
    start_saver --seed 3 --tick-log "$LOG"
    wait_covered
    signal_ends_saver $signal 1000
done

# The compositor goes away under it. First the saver is let finish the work
# its first commit starts (the worker making the pictures), so that the CPU
# measured below is only what losing the compositor costs: a poll loop that
# spins, not a picture half made.
start_saver --seed 3 --tick-log "$LOG"
wait_covered
last=$(cpu_ms "$SAVER_PID")
for _ in $(seq 50); do
    sleep 0.1
    now=$(cpu_ms "$SAVER_PID")
    [ $((now - last)) -le 10 ] && break
    last=$now
done
[ $((now - last)) -le 10 ] || fail "the saver was still busy 5 s after its first commit"
: >"$ERR"
before=$(cpu_ms "$SAVER_PID")
start=$(now_ms)
kill -KILL "$COMPOSITOR_PID"
used=$before
while saver_running; do
    used=$(cpu_ms "$SAVER_PID" || echo "$used")
    [ $(($(now_ms) - start)) -lt 1000 ] || fail "the saver still runs 1 s after the compositor was killed"
    sleep 0.01
done
took=$(($(now_ms) - start))
COMPOSITOR_PID=
status=0
wait "$SAVER_PID" || status=$?
SAVER_PID=
[ "$status" -eq 1 ] || fail "lost compositor: status $status"
[ "$(wc -l <"$ERR")" -eq 1 ] || fail "lost compositor, stderr: $(cat "$ERR")"
cpu=$((${used:-$before} - before))
# Under 5 % of the time it took; one clock tick (10 ms) is the finest /proc tells.
[ "$cpu" -le $((took / 20 > 10 ? took / 20 : 10)) ] || fail "$cpu ms of CPU in the $took ms until it ended"
note "killed compositor: ended in $took ms with status 1 ($cpu ms CPU meanwhile): '$(cat "$ERR")'"
echo "input_and_endings: all checks passed"
