# shellcheck shell=bash
# The scenario of `nivoraglade --idle` for a desktop's test (sourced after
# its lib): idle_scenario KEY-COMMAND WORD. The watch runs with 3 s; its
# first saver must start 3 s after the last input and not before, cover the
# outputs, end on a key (KEY-COMMAND) while the watch goes on, the next must
# start after another 3 s idle, and SIGTERM must end the watch with the saver.
# WORD is what the watch's line on stderr names as its source. The key falls
# between KEY-COMMAND's start and its end: "not before" is counted from the
# start, "by" from the end, so that a slow command under load does not count.

idle_ms=3000
savers() { pgrep -P "$SAVER_PID" -x nivoraglade; }
# Waits for the watch's saver, the key sent between $1 and $2; sets
# IDLE_SAVER and STARTED_MS (after $2, the key sent).
wait_idle_saver() {
    local now
    IDLE_SAVER=
    while [ -z "$IDLE_SAVER" ]; do
        IDLE_SAVER=$(savers)
        now=$(now_ms)
        [ $((now - $2)) -lt $((idle_ms + 4000)) ] || fail "no saver $((now - $2)) ms after the last key"
        saver_running || fail "the watch ended: $(cat "$ERR")"
        sleep 0.05
    done
    # A compositor's idle timer may fire a little early (KWin's once fired
    # 43 ms before its 3 s here; Qt's default, coarse, timers allow 5 %).
    [ $((now - $1)) -ge $((idle_ms - idle_ms / 20)) ] || fail "the saver started $((now - $1)) ms after the key began"
    STARTED_MS=$((now - $2))
    wait_log "$LOG" '^commit 1 ' 20
}

idle_scenario() {
    local key=$1 word=$2 key_start key_done first
    : >"$ERR"
    key_start=$(now_ms)
    $key
    key_done=$(now_ms)
    start_saver --idle 0.05 --seed 9 --tick-log "$LOG"
    wait_idle_saver "$key_start" "$key_done"
    grep -q "$word" "$ERR" || fail "the watch does not say it asks $word: $(cat "$ERR")"
    note "--idle: the saver (pid $IDLE_SAVER) started $STARTED_MS ms after the last key, and covers both outputs"
    first=$IDLE_SAVER
    key_start=$(now_ms)
    $key
    key_done=$(now_ms)
    for _ in $(seq 60); do [ -z "$(savers)" ] && break; sleep 0.05; done
    [ -z "$(savers)" ] || fail "a key did not end the watch's saver"
    grep -q '^end key' "$LOG" || fail "the saver ended, but not by the key: $(tail -n 1 "$LOG")"
    saver_running || fail "the watch ended with its saver: $(cat "$ERR")"
    wait_idle_saver "$key_start" "$key_done"
    [ "$IDLE_SAVER" != "$first" ] || fail "the same saver"
    note "a key ended it; the next (pid $IDLE_SAVER) started $STARTED_MS ms after that key"
    signal_ends_saver TERM 1000
    [ ! -e "/proc/$IDLE_SAVER" ] || [ "$(awk '{ print $3 }' "/proc/$IDLE_SAVER/stat")" = Z ] ||
        fail "SIGTERM left the saver running"
    note "the watch's first line: $(head -n 1 "$ERR")"
}
