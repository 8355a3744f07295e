# shellcheck shell=bash
# Shared by the tests of the Wayland saver. Each test runs a headless
# compositor of its own (sway, or weston for the fallback) with a private
# XDG_RUNTIME_DIR, as a user made for the test: sway refuses to run as root.
# The X11 tests' helpers (fail, note, wait_saver_exit, wait_log, the pixel
# counts) come along. CTest passes:
#   NIVORA_SAVER    nivoraglade
#   NIVORA_RENDER   nivora-render
#   NIVORA_POINTER  wayland_pointer (moves a virtual pointer)
#   NIVORA_OUT      a folder for screenshots and logs
. "$(dirname "${BASH_SOURCE[0]}")/../x11/lib.sh"

WL_USER=nvwl-$(basename "$0" .sh | tr _ -)
WL_HOME=$(mktemp -d /tmp/nivora-wayland.XXXXXX)
WL_RUNTIME=$WL_HOME/runtime
COMPOSITOR_PID=
LOG=$WL_HOME/ticks.log
ERR=$WL_HOME/saver.err
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK

wl_cleanup() {
    [ -n "$COMPOSITOR_PID" ] && kill "$COMPOSITOR_PID" 2>/dev/null
    cleanup
    cp "$WL_HOME"/*.log "$WL_HOME"/*.err "$NIVORA_OUT"/ 2>/dev/null
    [ "$(id -u)" -eq 0 ] && userdel -f "$WL_USER" 2>/dev/null
    rm -rf "$WL_HOME"
}
trap wl_cleanup EXIT

if [ "$(id -u)" -eq 0 ]; then
    # Other tests may add users at the same time: the password file is locked.
    for _ in $(seq 20); do
        id "$WL_USER" >/dev/null 2>&1 && break
        useradd --no-create-home --home-dir "$WL_HOME" --shell /bin/sh "$WL_USER" 2>/dev/null && break
        sleep 0.3
    done
    id "$WL_USER" >/dev/null 2>&1 || fail "cannot make the user $WL_USER"
fi
chmod 755 "$WL_HOME"
mkdir -m 700 "$WL_RUNTIME"
install -m 755 "$NIVORA_SAVER" "$WL_HOME/nivoraglade"
install -m 755 "$NIVORA_POINTER" "$WL_HOME/wayland_pointer"
[ "$(id -u)" -eq 0 ] && chown "$WL_USER" "$WL_HOME" "$WL_RUNTIME"

# RUN_AS: the words before a command that run it as the test's user, in the
# compositor's environment only. Started in the background as
# "${RUN_AS[@]}" CMD &, $! is the command's own process.
user_cmd() {
    RUN_AS=(env -i HOME="$WL_HOME" XDG_RUNTIME_DIR="$WL_RUNTIME" PATH=/usr/local/bin:/usr/bin:/bin)
    [ -n "${WAYLAND_DISPLAY:-}" ] && RUN_AS+=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
    [ -n "${SWAYSOCK:-}" ] && RUN_AS+=(SWAYSOCK="$SWAYSOCK")
    [ "$(id -u)" -eq 0 ] &&
        RUN_AS=(setpriv --reuid="$(id -u "$WL_USER")" --regid="$(id -g "$WL_USER")" --clear-groups "${RUN_AS[@]}")
    return 0
}
as_user() {
    user_cmd
    "${RUN_AS[@]}" "$@"
}

# Waits for the compositor's socket in the runtime folder.
wait_socket() {
    local socket
    for _ in $(seq 150); do
        socket=$(find "$WL_RUNTIME" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | head -n 1)
        [ -n "$socket" ] && break
        kill -0 "$COMPOSITOR_PID" 2>/dev/null || fail "the compositor ended: $(tail -n 5 "$WL_HOME"/compositor.log)"
        sleep 0.1
    done
    [ -n "$socket" ] || fail "no compositor socket in $WL_RUNTIME"
    export WAYLAND_DISPLAY=$socket
}

# A headless sway with N outputs (default 2) and these configuration lines.
start_sway() {
    local outputs=${SWAY_OUTPUTS:-2}
    printf '%s\n' "$@" >"$WL_HOME/sway.conf"
    user_cmd
    "${RUN_AS[@]}" env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS="$outputs" \
        sway -c "$WL_HOME/sway.conf" >"$WL_HOME/compositor.log" 2>&1 &
    COMPOSITOR_PID=$!
    wait_socket
    for _ in $(seq 100); do
        SWAYSOCK=$(find "$WL_RUNTIME" -maxdepth 1 -type s -name 'sway-ipc.*' | head -n 1)
        [ -n "$SWAYSOCK" ] && as_user swaymsg -t get_outputs >/dev/null 2>&1 && break
        sleep 0.1
    done
    export SWAYSOCK
    as_user swaymsg -t get_version >/dev/null || fail "sway does not answer"
}

# A headless weston (no layer-shell) with one output of WxH.
start_weston() {
    user_cmd
    "${RUN_AS[@]}" weston --backend=headless-backend.so --width="${1%x*}" --height="${1#*x}" --idle-time=0 \
        --socket=wayland-nivora >"$WL_HOME/compositor.log" 2>&1 &
    COMPOSITOR_PID=$!
    wait_socket
}

swaycmd() { as_user swaymsg "$@" >/dev/null || fail "swaymsg $*"; }

SAVER_ENV=()  # NAME=VALUE words for the saver's environment
start_saver() {
    rm -f "$LOG"  # waits for its lines start afresh
    user_cmd
    "${RUN_AS[@]}" "${SAVER_ENV[@]}" "$WL_HOME/nivoraglade" "$@" 2>>"$ERR" &
    SAVER_PID=$!
}

# Screenshot of output $1 into $NIVORA_OUT/$2.
shot() {
    as_user grim -o "$1" "$WL_HOME/shot.png" || fail "grim -o $1"
    cp "$WL_HOME/shot.png" "$NIVORA_OUT/$2"
}

size_of() { identify -format '%wx%h' "$1"; }

# A finished picture of WxH ($2) in file $1: a white snowflake in the centred
# square, nothing white beside it, a background of many colours (nothing of
# the desktop); an upright one has its white. Prints the near-white pixels
# in the square.
check_look() {
    local file=$1 w=${2%x*} h=${2#*x} left square outside
    [ "$(size_of "$file")" = "$2" ] || fail "$file: $(size_of "$file"), not $2"
    left=$(((w - h) / 2))
    if [ "$left" -le 0 ]; then
        # Upright: the square is cut by the sides; only the white is looked for.
        square=$(whitish_pixels "$file" "$2+0+0")
        [ "$square" -gt 100 ] || fail "$file: $square near-white pixels"
        echo "$square"
        return
    fi
    square=$(whitish_pixels "$file" "$((h + 1))x$h+$left+0")
    outside=$(($(whitish_pixels "$file" "${left}x$h+0+0") +
        $(whitish_pixels "$file" "$((w - left - h - 1))x$h+$((left + h + 1))+0")))
    [ "$square" -gt 100 ] && [ "$outside" -eq 0 ] || fail "$file: $square near-white pixels in the square, $outside beside it"
    [ "$(colours "$file" "${left}x$h+0+0")" -gt 50 ] || fail "$file: a background of few colours"
    echo "$square"
}

# Output $1 shows the picture nivora-render makes at $2 (WxH) from seed $3
# (its picture $4 of the run, the first by default), every pixel, and it
# looks like one.
check_picture() {
    local output=$1 size=$2 seed=$3 start=${4:-1} file expected differ square
    file=$output-$seed-$start.png expected=expected-$size-$seed-$start.png
    shot "$output" "$file"
    [ "$(size_of "$NIVORA_OUT/$file")" = "$size" ] || fail "$output: a $(size_of "$NIVORA_OUT/$file") screenshot, not $size"
    "$NIVORA_RENDER" --size "$size" --seed "$seed" --start "$start" --out "$NIVORA_OUT/$expected" >/dev/null ||
        fail "nivora-render"
    differ=$(differing_pixels "$NIVORA_OUT/$file" "$NIVORA_OUT/$expected")
    [ "$differ" = 0 ] || fail "$output: $differ pixels differ from nivora-render --seed $seed --start $start --size $size"
    square=$(check_look "$NIVORA_OUT/$file" "$size") || exit 1
    note "$output: $size, nivora-render's picture $start for seed $seed to the pixel ($square near-white in the square)"
}

# Types a key with wtype (after 300 ms, so that the saver has the new
# keyboard) and expects the saver to end with status 0 within $1 ms of it.
# wtype ends right after the key, so the time is taken from its end: a
# start-up of wtype slowed by load does not count. Sets KEY_MS.
key_ends_saver() {
    local wtype_pid wtype_end='' saver_end='' start now
    user_cmd
    "${RUN_AS[@]}" wtype -s 300 x &
    wtype_pid=$!
    # The clock without a process of its own, so that the loop stays quick under load.
    now=${EPOCHREALTIME/./}
    start=$((now / 1000))
    while [ -z "$saver_end" ] || [ -z "$wtype_end" ]; do
        now=${EPOCHREALTIME/./}
        now=$((now / 1000))
        [ -z "$wtype_end" ] && ! kill -0 "$wtype_pid" 2>/dev/null && wtype_end=$now
        [ -z "$saver_end" ] && ! saver_running && saver_end=$now
        [ $((now - start)) -lt 5000 ] || fail "a key did not end the saver within 5 s"
        sleep 0.005
    done
    wait "$wtype_pid" || fail "wtype"
    SAVER_STATUS=0
    wait "$SAVER_PID" || SAVER_STATUS=$?
    SAVER_PID=
    [ "$SAVER_STATUS" -eq 0 ] || fail "key: status $SAVER_STATUS"
    KEY_MS=$((saver_end > wtype_end ? saver_end - wtype_end : 0))
    [ "$KEY_MS" -lt "$1" ] || fail "the saver ended $KEY_MS ms after the key"
}

# nivora's seed for output $2 beside the first, from the first seed $1.
output_seed() { echo $((($1 + $2 * 0x9E3779B9) & 0xFFFFFFFF)); }

# The CPU time (ms) process $1 has used so far.
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$1/stat" 2>/dev/null; }
