#!/bin/bash
# Sizes under a headless sway. An output of 3840x2160, whose pictures need
# more memory than an address-space limit of 300 MB (ulimit -v) allows, is
# refused in one line with status 2, before any thread is started. At
# 568x300, the output's mode changed to 480x300 while the second picture is
# revealed: the third picture of the seed comes at the new size,
# nivora-render's to the pixel, and the pictures go on in the seed's order.
# (A small size under the limit is the X11 test's: a running saver's address
# space grows with every row thread and its malloc arena, so it depends on
# the number of cores.)
. "$(dirname "$0")/lib.sh"
seed=42
limit_kb=307200

SWAY_OUTPUTS=1 start_sway "output HEADLESS-1 mode 3840x2160"
user_cmd
status=0
timeout 60 "${RUN_AS[@]}" sh -c 'ulimit -v "$1" && shift && exec "$@"' sh $limit_kb "$WL_HOME/nivoraglade" \
    --seed $seed 2>"$WL_HOME/refused.err" || status=$?
refusal=$(cat "$WL_HOME/refused.err")
note "3840x2160 under a $limit_kb kB limit: status $status, '$refusal'"
[ "$status" = 2 ] || fail "exit status $status"
[ "$(wc -l <"$WL_HOME/refused.err")" = 1 ] || fail "more than one line"
[[ $refusal =~ ^nivoraglade:\ Not\ enough\ memory\ for\ a\ picture\ of\ 3840\ x\ 2160:\ it\ needs\ about\ [0-9]+\.[0-9]\ GB$ ]] ||
    fail "not the memory message"

swaycmd output HEADLESS-1 mode 568x300
start_saver --seed $seed --time-show 2 --tick-log "$LOG"
wait_log "$LOG" '^picture ' 30 2
swaycmd output HEADLESS-1 mode 480x300
wait_log "$LOG" '^output 0 HEADLESS-1 480x300 ' 10
# The hold of the first picture at the new size.
held=$(awk '/^output 0 HEADLESS-1 480x300 / { exit } /^hold / { n++ } END { print n + 0 }' "$LOG")
wait_log "$LOG" '^hold ' 30 $((held + 1))
check_picture HEADLESS-1 480x300 $seed 3
wait_log "$LOG" '^picture ' 30 4
pictures=$(check_sequence "$LOG" $seed) || exit 1
note "a new mode in the second picture: its third picture at 480x300, the seed's pictures in order ($pictures)"
signal_ends_saver TERM 1000
echo "sizes: all checks passed"
