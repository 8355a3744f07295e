#!/bin/bash
# The saver under a headless GNOME Shell with two monitors (1280x720 and
# 1024x768). Started by hand: GNOME has no layer-shell, so a full-screen
# window on each monitor shows nivora-render's picture for its seed, to the
# pixel, and a key (through Mutter's remote desktop) ends it with status 0.
# Then `nivoraglade --idle` with 3 s: the saver starts once the session has
# been idle that long and not before, a key ends it, the watch starts it
# again after another idle spell, and SIGTERM ends the watch with the saver.
. "$(dirname "$0")/gnome_lib.sh"
. "$(dirname "$0")/idle_lib.sh"

start_gnome
# What Mutter's idle monitor said, in the test's output folder afterwards.
gnome_bus dbus-monitor --session "interface='org.gnome.Mutter.IdleMonitor'" >"$WL_HOME/monitor.log" 2>&1 &
EXTRA_PIDS+=($!)

start_saver --seed 9 --time-show 60 --tick-log "$LOG"
wait_log "$LOG" '^hold ' 30
for index in 0 1; do
    grep -q "^surface $index toplevel" "$LOG" || fail "output $index: no full-screen window: $(grep '^surface' "$LOG")"
    size=$(sed -n "s/^output $index [^ ]* \\([0-9]*x[0-9]*\\) .*/\\1/p" "$LOG" | head -n 1)
    monitor=
    for m in 0 1; do [ "${MONITORS[$m]}" = "$size" ] && monitor=$m; done
    [ -n "$monitor" ] || fail "output $index is $size, no monitor's size"
    seed=$(output_seed 9 "$index")
    "$NIVORA_RENDER" --size "$size" --seed "$seed" --out "$NIVORA_OUT/expected-$index.png" >/dev/null || fail "nivora-render"
    differ=unknown
    for _ in $(seq 20); do
        gnome_shot "$monitor" "monitor-$monitor.png" || fail "no screenshot of monitor $monitor: $(tail -n 2 "$WL_HOME/shot.err")"
        differ=$(differing_pixels "$NIVORA_OUT/monitor-$monitor.png" "$NIVORA_OUT/expected-$index.png")
        [ "$differ" = 0 ] && break
        sleep 0.25
    done
    [ "$differ" = 0 ] || fail "monitor $monitor ($size): $differ pixels differ from nivora-render --seed $seed"
    square=$(check_look "$NIVORA_OUT/monitor-$monitor.png" "$size") || exit 1
    note "monitor $monitor ($size): a full-screen window with nivora-render's picture for seed $seed ($square near-white)"
done
grep -q "no layer-shell" "$ERR" || fail "no word on stderr about the missing layer-shell: $(cat "$ERR")"
gnome_key 30
wait_saver_exit 3000 || fail "a key did not end the saver within 3 s"
[ "$SAVER_STATUS" -eq 0 ] && grep -q '^end key' "$LOG" || fail "key: status $SAVER_STATUS, $(tail -n 1 "$LOG")"
note "a key through Mutter's remote desktop ended it, status 0"

# --idle, through Mutter's idle monitor on the session's bus.
SAVER_ENV=(DBUS_SESSION_BUS_ADDRESS="unix:path=$GNOME_BUS")  # the session's, as a login has it
idle_scenario "gnome_key 30" Mutter
echo "gnome: all checks passed"
