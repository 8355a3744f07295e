#!/bin/bash
# The saver under MATE's screen-saver daemon (mate-screensaver) on Xvfb, as a
# user made for the test, listed by the package's .desktop file (its Exec
# pointed at the test's copy, with a seed): activation runs nivoraglade with
# --root in the daemon's window (XSCREENSAVER_WINDOW), and the screen shows
# nivora-render's picture for the seed; the preferences dialog's preview runs
# it in its pane, which shows the picture of the pane's size; deactivation
# ends the saver. The daemon runs only savers in the folders it knows
# (/usr/libexec/xscreensaver), so it and the dialog see the test's copy there
# in a private mount namespace, leaving the system's folder alone. Root only
# (the user, the mount); skipped (77) otherwise.
#   mate.sh DESKTOP-FILE   (on a display of its own; CTest passes what tests/x11/lib.sh names)
. "$(dirname "$0")/../x11/lib.sh"
entry=$1
out=$NIVORA_OUT/mate
mkdir -p "$out"
command -v mate-screensaver >/dev/null || fail "mate-screensaver is not installed"
unshare -m true 2>/dev/null || { echo "SKIP: cannot make a mount namespace"; exit 77; }
make_test_user nivora-mate-test
home=$TEST_HOME
mkdir "$home/savers"
cp "$home/nivoraglade" "$home/savers/"
log=$home/daemon.log

# The entry as packaged, with a seed; the daemon finds it in the user's
# applications/screensavers folder as in the system's.
mkdir -p "$home/.local/share/applications/screensavers" "$home/.config/glib-2.0/settings"
sed -e "s|^Exec=.*--root\$|& --seed 5 --time-show 60|" "$entry" >"$home/.local/share/applications/screensavers/nivoraglade.desktop"
grep -q "^Exec=/usr/libexec/xscreensaver/nivoraglade --root --seed 5" \
    "$home/.local/share/applications/screensavers/nivoraglade.desktop" || fail "the entry's Exec: $(grep ^Exec "$entry")"
# The settings a user would pick (no lock, this one saver), in GLib's keyfile
# store so that no settings daemon is needed.
cat >"$home/.config/glib-2.0/settings/keyfile" <<'CONF'
[org/mate/screensaver]
lock-enabled=false
idle-activation-enabled=false
mode='single'
themes=['screensavers-nivoraglade']
CONF
chown -R "$TEST_USER" "$home/.local" "$home/.config"

# One session bus for the daemon and its commands.
bus=$home/bus
as_user dbus-daemon --session --address="unix:path=$bus" --nofork --nopidfile >/dev/null 2>&1 &
EXTRA_PIDS+=($!)
for _ in $(seq 50); do [ -S "$bus" ] && break; sleep 0.1; done
mate() { as_user DBUS_SESSION_BUS_ADDRESS="unix:path=$bus" GSETTINGS_BACKEND=keyfile XDG_CURRENT_DESKTOP=MATE "$@"; }
# A program that starts savers: in the namespace where the folder holds ours.
mate_with_saver() {
    unshare -m sh -c 'home=$0 user=$1 display=$2; shift 2
        mount --bind "$home/savers" /usr/libexec/xscreensaver && exec runuser -u "$user" -- env -i PATH=/usr/bin:/bin \
            HOME="$home" DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS="unix:path=$home/bus" GSETTINGS_BACKEND=keyfile \
            XDG_CURRENT_DESKTOP=MATE "$@"' "$home" "$TEST_USER" "$DISPLAY" "$@"
}
trap 'status=$?; cp "$log" "$out/" 2>/dev/null; [ "$status" -ne 0 ] && tail -n 20 "$log" >&2; cleanup' EXIT

mate_with_saver mate-screensaver --no-daemon --debug >"$log" 2>&1 &
EXTRA_PIDS+=($!)
for _ in $(seq 100); do
    mate mate-screensaver-command -q >/dev/null 2>&1 && break
    sleep 0.1
done
mate mate-screensaver-command -q >/dev/null 2>&1 || fail "the daemon did not come up"

size=$(xdpyinfo | awk '/dimensions:/ { print $2 }')
"$NIVORA_RENDER" --size "$size" --seed 5 --out "$out/expected.png" >/dev/null || fail "nivora-render"
mate mate-screensaver-command -a >/dev/null || fail "mate-screensaver-command -a"
wait_user_saver
pid=$USER_SAVER_PID
[ -n "$pid" ] || fail "the daemon did not start nivoraglade"
window=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
note "the daemon started nivoraglade (pid $pid): $USER_SAVER_ARGS; XSCREENSAVER_WINDOW=$window"
[ -n "$window" ] || fail "XSCREENSAVER_WINDOW is not set"
case "$USER_SAVER_ARGS" in *--root*) ;; *) fail "no --root in '$USER_SAVER_ARGS'" ;; esac
differ=unknown
for _ in $(seq 40); do
    sleep 0.5
    import -window root "$out/screen.png" 2>/dev/null || continue
    differ=$(differing_pixels "$out/screen.png" "$out/expected.png")
    [ "$differ" = 0 ] && break
done
[ "$differ" = 0 ] || fail "the screen ($size) differs from nivora-render's picture in $differ pixels"
note "the screen ($size) shows nivora-render's picture for seed 5, every pixel"

start=$(now_ms)
mate mate-screensaver-command -d >/dev/null || fail "mate-screensaver-command -d"
while running "$pid"; do
    [ $(($(now_ms) - start)) -lt 2000 ] || fail "nivoraglade still runs 2 s after -d"
    sleep 0.01
done
note "deactivation ended nivoraglade in $(($(now_ms) - start)) ms"

# The preferences dialog previews the selected saver in a pane of its own.
mate_with_saver mate-screensaver-preferences >"$home/preferences.log" 2>&1 &
EXTRA_PIDS+=($!)
wait_user_saver
pid=$USER_SAVER_PID
[ -n "$pid" ] || fail "the preferences dialog ran no preview: $(tail -5 "$home/preferences.log")"
window=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
[ -n "$window" ] || fail "the preview has no XSCREENSAVER_WINDOW"
pane=$(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
note "the preview runs nivoraglade (pid $pid: $USER_SAVER_ARGS) in window $window of $pane"
# The pane is sized after the preview starts, and a saver whose window
# changes size makes its next picture at the new size: one of the seed's
# first pictures at the pane's size, every pixel.
"$NIVORA_RENDER" --size "$pane" --seed 5 --count 3 --out "$out/preview-expected.png" >/dev/null || fail "nivora-render $pane"
match=
for _ in $(seq 40); do
    sleep 0.5
    import -window "$window" "$out/preview.png" 2>/dev/null || continue
    for n in 1 2 3; do
        [ "$(differing_pixels "$out/preview.png" "$out/preview-expected-00$n.png")" = 0 ] && { match=$n; break 2; }
    done
done
if [ -z "$match" ]; then
    # What a failure needs to be understood: the dialog's log, and which
    # savers run where.
    cp "$home/preferences.log" "$out/" 2>/dev/null
    for p in $(pgrep -x nivoraglade); do
        echo "$p $(tr '\0' ' ' <"/proc/$p/cmdline") $(tr '\0' '\n' <"/proc/$p/environ" | grep '^XSCREENSAVER_WINDOW=')"
    done >"$out/savers.txt" 2>&1
    note "savers running: $(cat "$out/savers.txt"); the preview window: $(xwininfo -id "$window" 2>&1 | grep -E 'Map State|geometry')"
fi
[ -n "$match" ] || fail "the preview ($pane) is none of nivora-render's first three pictures for seed 5"
note "the preview pane ($pane) shows nivora-render's picture $match for seed 5, every pixel"
echo "mate: all checks passed"
