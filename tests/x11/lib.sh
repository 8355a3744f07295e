# shellcheck shell=bash
# Shared by the tests of the X11 saver; sourced by each test, which runs on a
# virtual screen of its own (tests/e2e/display-session.sh). CTest passes:
#   NIVORA_SAVER   the nivoraglade program
#   NIVORA_RENDER  nivora-render
#   NIVORA_HELPER  x11_test_window
#   NIVORA_OUT     a folder for screenshots and logs
set -u
# shellcheck source=../lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
mkdir -p "$NIVORA_OUT"
SAVER_PID=
HELPER_PID=

EXTRA_PIDS=()  # more processes a test started, ended at exit
TEST_USER=
cleanup() {
    local pid
    for pid in $SAVER_PID $HELPER_PID "${EXTRA_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    if [ -n "$TEST_USER" ]; then
        # What the test user's programs started (a preview, a saver).
        for pid in $(pgrep -u "$TEST_USER"); do kill "$pid" 2>/dev/null; done
        sleep 0.2
        # -f: a zombie of the saver may still carry the user's id.
        userdel -f "$TEST_USER" 2>/dev/null
        rm -rf "$TEST_HOME"
    fi
    wait 2>/dev/null
}
trap cleanup EXIT

# Programs of the screen-saver daemon refuse to run as root: a user made for
# the test (named $1, root only; removed at exit), with a home of its own that
# holds a copy of the saver, $TEST_HOME/nivoraglade.
make_test_user() {
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to make a user"; exit 77; }
    TEST_USER=$1
    TEST_HOME=$(mktemp -d "/tmp/$1.XXXXXX")
    id "$TEST_USER" >/dev/null 2>&1 || useradd --no-create-home --home-dir "$TEST_HOME" --shell /bin/sh "$TEST_USER" ||
        fail "useradd $TEST_USER"
    install -m 755 "$NIVORA_SAVER" "$TEST_HOME/nivoraglade"
    chmod 755 "$TEST_HOME"
    chown "$TEST_USER" "$TEST_HOME"
}

# Waits up to 10 s for the test user's nivoraglade, started by one of the
# daemon's programs; sets USER_SAVER_PID and USER_SAVER_ARGS (empty when none
# came). One that is ending (no command line left) does not count.
wait_user_saver() {
    local pid
    USER_SAVER_PID= USER_SAVER_ARGS=
    for _ in $(seq 100); do
        for pid in $(pgrep -u "$TEST_USER" -x nivoraglade); do
            USER_SAVER_ARGS=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)
            [ -n "$USER_SAVER_ARGS" ] && { USER_SAVER_PID=$pid; return; }
        done
        sleep 0.1
    done
}

# Runs a command as the test user on this display, with a plain environment
# (a PATH through folders only root may enter makes exec fail with EACCES).
as_user() { runuser -u "$TEST_USER" -- env -i PATH=/usr/bin:/bin HOME="$TEST_HOME" DISPLAY="$DISPLAY" "$@"; }

# A window of WxH at 0,0 made by another client; sets TEST_WINDOW.
make_test_window() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    "$NIVORA_HELPER" "$1" >"$fifo" &
    HELPER_PID=$!
    read -r TEST_WINDOW <"$fifo"
    rm -f "$fifo"
    [ -n "$TEST_WINDOW" ] || fail "no test window"
}

start_saver() {
    "$NIVORA_SAVER" "$@" &
    SAVER_PID=$!
}

# Whether process $1 runs: ended means gone or a zombie, since the daemon's
# process that started it exits too, and what reaps orphans here (a
# container's first process) may never do it.
running() { [ -e "/proc/$1" ] && [ "$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)" != Z ]; }

# Sends signal $1 and expects the saver to end with status 0 within $2 ms.
signal_ends_saver() {
    kill -"$1" "$SAVER_PID"
    wait_saver_exit "$2" || fail "SIG$1 did not end the saver within $2 ms"
    [ "$SAVER_STATUS" -eq 0 ] || fail "SIG$1: exit status $SAVER_STATUS"
    note "SIG$1 ended the saver in $ENDED_MS ms, status 0"
}

# Waits up to $3 seconds until the tick log $1 has at least $4 (default 1)
# lines matching the extended regular expression $2.
wait_log() {
    local deadline=$(($(now_ms) + $3 * 1000)) found
    while found=$(grep -cE "$2" "$1" 2>/dev/null); [ "${found:-0}" -lt "${4:-1}" ]; do  # no file yet: none
        [ "$(now_ms)" -lt "$deadline" ] || fail "no '$2' (x${4:-1}) in $1 within $3 s"
        saver_running || fail "the saver ended while waiting for '$2'"
        sleep 0.05
    done
}

# Pixels of a region with every channel at 200 or more: the snowflake's
# white or nearly so. The background never has them, as brightness 14 caps its
# channels at 178.
whitish_pixels() {
    convert "$1" -crop "$2" +repage -channel RGB -threshold 78% +channel -separate -evaluate-sequence min \
        -format '%[fx:round(mean*w*h)]' info:
}
# Pixels that differ between two pictures.
differing_pixels() { compare -metric AE "$1" "$2" null: 2>&1; }

# A second virtual screen that a test may take away; sets OTHER_DISPLAY and
# OTHER_XVFB_PID.
start_other_display() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # -noreset: the check below is its first client, and a server that resets
    # when its last client leaves refuses connections for a moment.
    Xvfb -displayfd 3 -screen 0 "${1:-640x360x24}" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    OTHER_XVFB_PID=$!
    EXTRA_PIDS+=("$OTHER_XVFB_PID")
    read -r OTHER_DISPLAY <"$fifo"
    rm -f "$fifo"
    OTHER_DISPLAY=:$OTHER_DISPLAY
    for _ in $(seq 50); do
        xdpyinfo -display "$OTHER_DISPLAY" >/dev/null 2>&1 && return
        sleep 0.1
    done
    fail "the second display $OTHER_DISPLAY does not answer"
}

# The largest value of any channel in a picture (0: all black).
brightest() { convert "$1" -format '%[max]' info:; }

# The pictures of tick log $1 came in the order nivora-render gives seed $2,
# whatever sizes they were made at: nothing drawn twice, nothing skipped.
# Prints them, "ALGORITHM/BACKGROUND" each.
check_sequence() {
    local logged expected
    logged=$(awk '/^picture / { printf "%s%s/%s", n++ ? " " : "", $4, $6 }' "$1")
    expected=$("$NIVORA_RENDER" --size 32x18 --seed "$2" --count "$(wc -w <<<"$logged")" |
        sed -n 's|.* algorithm \([0-9]*\) background \([0-9]*\) .*|\1/\2|p' | paste -sd ' ')
    [ -n "$logged" ] && [ "$logged" = "$expected" ] ||
        fail "pictures $logged; nivora-render --seed $2 gives $expected"
    echo "$logged"
}
