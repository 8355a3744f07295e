#!/bin/bash
# The saver under the real screen-saver daemon (Debian's xscreensaver). The
# daemon refuses to launch savers as root, so it runs as an unprivileged user
# made for the test. `xscreensaver-command -activate` must start nivoraglade
# with --root and XSCREENSAVER_WINDOW set, the screen must show its picture
# (the one nivora-render makes from the same seed, once revealed), and
# `-deactivate` must end it within 1 s. Needs root for useradd and runuser;
# reports itself skipped (77) otherwise.
# On a display of its own; CTest passes what lib.sh names.
. "$(dirname "$0")/lib.sh"
out=$NIVORA_OUT/daemon
mkdir -p "$out"
command -v xscreensaver >/dev/null || fail "xscreensaver is not installed"
make_test_user nivora-saver-test
home=$TEST_HOME
log=$home/xscreensaver.log
# On failure, the daemon's last words.
trap 'status=$?; [ "$status" -ne 0 ] && [ -f "$log" ] && tail -n 20 "$log" >&2
      as_user xscreensaver-command -exit >/dev/null 2>&1; cleanup' EXIT

size=$(xdpyinfo | awk '/dimensions:/ { print $2 }')
cat >"$home/.xscreensaver" <<CONF
mode:		one
selected:	0
timeout:	0:30:00
lock:		False
fade:		False
unfade:		False
splash:		False
programs:	"Nivora Glade"	$home/nivoraglade --root --seed 5 --time-show 60	\\n
CONF
chown "$TEST_USER" "$home/.xscreensaver"

as_user xscreensaver --no-splash --verbose --log "$log" &
EXTRA_PIDS+=($!)
for _ in $(seq 100); do
    as_user xscreensaver-command -time >/dev/null 2>&1 && break
    sleep 0.1
done
as_user xscreensaver-command -time >/dev/null 2>&1 || fail "the daemon did not come up: $(tail -5 "$log")"

as_user xscreensaver-command -activate >/dev/null || fail "-activate"
wait_user_saver
pid=$USER_SAVER_PID
[ -n "$pid" ] || fail "the daemon did not start nivoraglade: $(tail -5 "$log")"
window=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
arguments=$(tr '\0' ' ' <"/proc/$pid/cmdline")
note "the daemon started nivoraglade (pid $pid, user $TEST_USER): $arguments; XSCREENSAVER_WINDOW=$window"
[ -n "$window" ] || fail "XSCREENSAVER_WINDOW is not set"
case "$arguments" in *--root*) ;; *) fail "no --root in '$arguments'" ;; esac

# Once revealed, the screen holds nivora-render's picture for the seed.
"$NIVORA_RENDER" --size "$size" --seed 5 --out "$out/expected.png" >/dev/null || fail "nivora-render"
differ=unknown
for _ in $(seq 40); do
    sleep 0.5
    import -window root "$out/daemon.png" 2>/dev/null || continue
    differ=$(compare -metric AE "$out/daemon.png" "$out/expected.png" null: 2>&1)
    [ "$differ" = 0 ] && break
done
[ "$differ" = 0 ] || fail "the screen ($size) differs from nivora-render's picture in $differ pixels"
note "the screen ($size) shows nivora-render's picture for seed 5, every pixel"

start=$(now_ms)
as_user xscreensaver-command -deactivate >/dev/null || fail "-deactivate"
while running "$pid"; do
    [ $(($(now_ms) - start)) -lt 1000 ] || fail "nivoraglade still runs 1 s after -deactivate"
    sleep 0.01
done
note "-deactivate ended nivoraglade in $(($(now_ms) - start)) ms"
note "the daemon's log:"
grep -iE "nivoraglade|launch|kill|exit|signal|blank|unblank|activate" "$log" | sed 's/^/   /' | tail -n 15
cp "$log" "$out/xscreensaver.log"
echo "daemon: all checks passed"
