# shellcheck shell=bash
# The helpers every shell test shares, whatever it tests (the Windows program
# under Wine, the X11 and Wayland savers, the packages). Each test's own
# library sources this one. A test keeps the saver it started in SAVER_PID.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
note() { echo "-- $*"; }

now_us() { echo "${EPOCHREALTIME//[!0-9]/}"; }  # no process started: exact under load
now_ms() { echo $(($(now_us) / 1000)); }

saver_running() { kill -0 "$SAVER_PID" 2>/dev/null; }

# Waits up to $1 ms for the saver to end; sets SAVER_STATUS and ENDED_MS (how
# long it took).
wait_saver_exit() {
    local start deadline
    start=$(now_us)
    deadline=$((start + $1 * 1000))
    while saver_running; do
        [ "$(now_us)" -lt "$deadline" ] || return 1
        sleep 0.005
    done
    ENDED_MS=$((($(now_us) - start) / 1000))
    SAVER_STATUS=0
    wait "$SAVER_PID" || SAVER_STATUS=$?
    SAVER_PID=
}

# Pure white pixels in region $2 (WxH+X+Y) of picture $1.
white_pixels() {
    convert "$1" -crop "$2" +repage -fill black +opaque white -format '%[fx:round(mean*w*h)]' info:
}
# The number of colours in region $2 of picture $1.
colours() { convert "$1" -crop "$2" +repage -format '%k' info:; }
