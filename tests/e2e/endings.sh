#!/bin/bash
# The full-screen saver ended by a key at many moments: while its first
# picture is made or revealed, during a hold, and in the reveal after a hold's
# end, while the worker makes the next picture. Every ending exits with code 0
# and leaves no crash report on stderr (Wine's debugger is off, so a crash
# shows as both): the worker is stopped and joined before the imaging it draws
# with goes.
# NIVORA_SCR is the program to end; NIVORA_ENDINGS (20 by default) how often.
# A small screen and Time_Show 1 bring every phase within seconds.
. "$(dirname "$0")/lib.sh"

endings=${NIVORA_ENDINGS:-20}
store_settings 20 1 1 1 1 14

# Wine's trace stamps lines with CLOCK_MONOTONIC_RAW: this much earlier than
# the Unix time, so that a key's moment can be placed among the saver's
# timers however late their trace lines arrive on a busy machine.
wine_clock_offset=$(perl -MTime::HiRes=time,clock_gettime,CLOCK_MONOTONIC_RAW \
    -e 'printf "%.6f\n", time() - clock_gettime(CLOCK_MONOTONIC_RAW)')

# Starts the saver with Wine's trace of its window timers: a line goes to
# $TIMER_TRACE each time the reveal (timer 1, 10 ms) or the hold (timer 2,
# 1 s) is started; every other line it writes on stderr goes to $1.
start_saver_watched() {
    TIMER_TRACE="$NIVORA_E2E_OUT/timers.txt"
    : >"$TIMER_TRACE"
    : >"$1"
    # (perl, not awk: mawk reads a pipe in blocks and would hand on a line
    # only when more came after it.)
    WINEDEBUG=-all,+timestamp,+msg wine "$NIVORA_SCR" /s 2> >(TIMERS=$TIMER_TRACE REST=$1 perl -ne '
        BEGIN { open(T, ">", $ENV{TIMERS}); open(R, ">", $ENV{REST}); select(R); $| = 1; select(T); $| = 1 }
        if (/NtUserSetTimer Added 0x[0-9a-f]+ [12] \(nil\) timeout (10|1000)\r?$/) { print T } elsif (!/:trace:/) { print R }') &
    SAVER_PID=$!
}

# The saver's timer $1 started so many times (before Wine time $2, if given).
# Bash alone, no process started: a busy machine may take a tenth of a second
# to start one, and the moments here are chosen to tenths of a second.
started() {
    local line count=0 fields
    while read -r line; do
        read -ra fields <<<"${line//:/ }"
        [ "${fields[7]}" = "$1" ] || continue
        [ -z "${2:-}" ] || [ "${fields[0]/./}" -lt "${2/./}" ] || continue
        count=$((count + 1))
    done <"$TIMER_TRACE"
    echo "$count"
}

# Waits up to 60 s until timer $1 has started $2 times.
exec {sleeper}<> <(:)
wait_started() {
    local deadline=$((${EPOCHREALTIME/./} + 60000000))
    while [ "$(started "$1")" -lt "$2" ]; do
        [ "${EPOCHREALTIME/./}" -lt "$deadline" ] && saver_running || return 1
        read -rt 0.01 -u "$sleeper" || true
    done
}

# Sleeps $1 seconds.
pause() { read -rt "$1" -u "$sleeper" || true; }

# Wine's time now, to the millisecond as its trace gives it.
wine_now() { printf '%.3f' "$(echo "$EPOCHREALTIME - $wine_clock_offset" | bc)"; }

# Where the saver was at Wine time $1, by the timers started before it:
# "first" (no hold yet: the first picture made or revealed), "hold", or
# "next" (a later reveal, while its successor is made).
phase_at() {
    local reveals holds
    reveals=$(started 1 "$1")
    holds=$(started 2 "$1")
    if [ "$holds" = 0 ]; then
        echo first
    elif [ "$holds" -ge "$reveals" ]; then
        echo hold
    else
        echo next
    fi
}

# Seconds from the window's activation into the first reveal, from a hold's
# start into it (it lasts 1 s), and from its end, as the next picture is made.
reveal_delays=(0.2 0.4 0.6 0.8 1.0)
hold_delays=(0 0.1 0.2 0.3 0.4)
next_delays=(0 0.02 0.04 0.06 0.08)

declare -A hits=([first]=0 [hold]=0 [next]=0)
failures=0
lost=0
slowest=0
for ((n = 0; n < endings; n++)); do
    kind=$((n % 4))
    step=$((n / 4 % 5))
    errors="$NIVORA_E2E_OUT/stderr-$n.txt"
    start_saver_watched "$errors"
    window=$(wait_window 'Nivora Glade' 60) || fail "ending $n: no saver window"
    xdotool windowactivate --sync "$window" 2>/dev/null
    case $kind in
        0) ;;  # at once: the first picture is being made
        1) pause "${reveal_delays[step]}" ;;
        2) wait_started 2 1 || fail "ending $n: no hold"
           pause "${hold_delays[step]}" ;;
        3) wait_started 1 2 || fail "ending $n: no hold's end"
           pause "${next_delays[step]}" ;;
    esac
    pressed=$EPOCHREALTIME
    xdotool key space
    key_at=$(wine_now)  # xdotool sends the key as it ends
    if ! wait_saver_exit 5000; then
        # Now and then (twice in the first hundred starts here) a key
        # sent the moment the window was activated never reaches it; what
        # counts here is how the saver ends, so the key goes again.
        lost=$((lost + 1))
        note "ending $n: the saver still runs 5 s after the key; the key again"
        xdotool windowactivate --sync "$window" 2>/dev/null
        pressed=$EPOCHREALTIME
        xdotool key space
        key_at=$(wine_now)
        wait_saver_exit 20000 || fail "ending $n: the saver still runs 20 s after a second key"
    fi
    took=$(seconds_since "$pressed")
    less_than "$took" "$slowest" || slowest=$took
    wait  # the trace's reader
    at=$(phase_at "$key_at")
    hits[$at]=$((hits[$at] + 1))
    note "ending $n: a key in the $at phase, exit code $SAVER_STATUS after $took s"
    if [ "$SAVER_STATUS" != 0 ] || [ -s "$errors" ]; then
        failures=$((failures + 1))
        echo "ending $n: exit code $SAVER_STATUS, stderr:" >&2
        cat "$errors" >&2
    fi
done
note "$endings endings of $(basename "$NIVORA_SCR"): ${hits[first]} before the first hold, ${hits[hold]} in a hold," \
     "${hits[next]} in a later reveal while the next picture was made; $failures failed; the slowest took $slowest s;" \
     "$lost keys went again"
[ "$failures" = 0 ] || fail "$failures of $endings endings exited with a code other than 0 or a crash report"
note "pass"
