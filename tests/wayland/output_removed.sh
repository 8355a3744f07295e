#!/bin/bash
# Outputs that go away. Headless sway cannot unplug an output, so the saver
# runs in a sway nested in it, whose outputs WL-1 and WL-2 are windows of the
# outer one: closing such a window unplugs that output. The saver loses that
# surface and goes on, the other output keeps its picture; an output plugged
# in later is covered. With every output gone it waits, idle, and covers the
# next one that comes.
. "$(dirname "$0")/lib.sh"
seed=9

start_sway 'for_window [app_id="wlroots"] floating enable' "output HEADLESS-1 mode 1600x1000"
outer_sway=$SWAYSOCK
outer() { SWAYSOCK=$outer_sway as_user swaymsg "$@" >/dev/null || fail "outer swaymsg $*"; }
printf '%s\n' "output WL-1 mode 640x480" "output WL-2 mode 600x400" "output WL-3 mode 480x360" "output WL-4 mode 400x300" >"$WL_HOME/nested.conf"
user_cmd
"${RUN_AS[@]}" env WLR_BACKENDS=wayland WLR_RENDERER=pixman WLR_WL_OUTPUTS=2 sway -c "$WL_HOME/nested.conf" \
    >"$WL_HOME/nested.log" 2>&1 &
nested_pid=$!
for _ in $(seq 100); do
    nested_sway=$(find "$WL_RUNTIME" -maxdepth 1 -type s -name "sway-ipc.*.$nested_pid.sock")
    [ -n "$nested_sway" ] && SWAYSOCK=$nested_sway as_user swaymsg -t get_outputs 2>/dev/null | grep -q WL-2 && break
    sleep 0.1
done
[ -n "$nested_sway" ] || fail "the nested sway did not come up: $(tail -n 3 "$WL_HOME/nested.log")"
export SWAYSOCK=$nested_sway
WAYLAND_DISPLAY=$(find "$WL_RUNTIME" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | grep -vx "$WAYLAND_DISPLAY")
export WAYLAND_DISPLAY

start_saver --seed $seed --time-show 60 --tick-log "$LOG"
wait_log "$LOG" '^hold ' 60
check_picture WL-1 640x480 $seed

outer '[title="WL-2"] kill'
wait_log "$LOG" '^(gone|closed 1)' 10
sleep 0.5
saver_running || fail "the saver ended when one of two outputs went: $(cat "$ERR")"
check_picture WL-1 640x480 $seed
note "WL-2 unplugged: the saver went on, WL-1 kept its picture"

swaycmd create_output
wait_log "$LOG" '^output 2 WL-3 480x360 ' 10
wait_log "$LOG" '^hold ' 60 2
check_picture WL-3 480x360 "$(output_seed $seed 2)"

# With no output left it waits, idle, for one to come.
outer '[title="WL-1"] kill'
outer '[title="WL-3"] kill'
wait_log "$LOG" '^gone' 10 3
before=$(cpu_ms "$SAVER_PID")
sleep 1
saver_running || fail "the saver ended with the last output: $(cat "$ERR")"
idle=$(($(cpu_ms "$SAVER_PID") - before))
[ "$idle" -le 50 ] || fail "$idle ms of CPU in 1 s without outputs"
swaycmd create_output
wait_log "$LOG" '^output 3 WL-4 400x300 ' 10
signal_ends_saver TERM 1000
note "every output unplugged: it waited ($idle ms CPU in 1 s); WL-4 plugged in got its picture"
kill "$nested_pid" 2>/dev/null
echo "output_removed: all checks passed"
