#!/bin/bash
# The saver in the screen-saver daemon's settings program
# (xscreensaver-settings), as a user meets it: the program lists it (the
# selected entry runs), reads its options file with nothing said about it,
# and runs its preview, `--root` from the entry plus `--window-id`, in the
# pane, where it is still alive after 3 s, shows a picture and says nothing
# on its stderr. What the program and its toolkit say about anything else is
# the desktop's business: here it always warns of an ignored GTK_DEBUG. The
# options file is seen where the program looks for it, in a private mount
# namespace, so the system's folder is left alone. Root only (a user made for
# the test, the mount); reports itself skipped (77) otherwise.
. "$(dirname "$0")/lib.sh"
out=$NIVORA_OUT/settings
xml=$1
mkdir -p "$out"
command -v xscreensaver-settings >/dev/null || fail "xscreensaver-settings is not installed"
unshare -m true 2>/dev/null || { echo "SKIP: cannot make a mount namespace"; exit 77; }
make_test_user nivora-settings-test

config=/usr/share/xscreensaver/config
mkdir "$TEST_HOME/config"
cp "$config"/*.xml "$TEST_HOME/config/" 2>/dev/null
cp "$xml" "$TEST_HOME/config/nivoraglade.xml"
# The saver's own stderr goes to a file of its own, from the same program.
mkdir "$TEST_HOME/bin"
mv "$TEST_HOME/nivoraglade" "$TEST_HOME/bin/nivoraglade"
printf '#!/bin/sh\nexec "%s" "$@" 2>>"%s"\n' "$TEST_HOME/bin/nivoraglade" "$TEST_HOME/saver-stderr.txt" \
    >"$TEST_HOME/nivoraglade"
chmod 755 "$TEST_HOME/nivoraglade" "$TEST_HOME/bin"
cat >"$TEST_HOME/.xscreensaver" <<CONF
mode:		one
selected:	0
programs:	"Nivora Glade"	$TEST_HOME/nivoraglade --root	\\n
CONF
chown -R "$TEST_USER" "$TEST_HOME/.xscreensaver"

# strace records which files the program opens (its own process only).
unshare -m sh -c 'mount --bind "$1/config" "$2" && exec runuser -u "$3" -- env -i PATH=/usr/bin:/bin HOME="$1" \
    DISPLAY="$4" GTK_DEBUG=misc strace -qq -e trace=openat -e signal=none -o "$1/opened" xscreensaver-settings' \
    sh "$TEST_HOME" "$config" "$TEST_USER" "$DISPLAY" >"$out/stdout.txt" 2>"$out/stderr.txt" &
EXTRA_PIDS+=($!)

wait_user_saver
preview=$USER_SAVER_PID arguments=$USER_SAVER_ARGS
[ -n "$preview" ] || fail "no preview started; stderr: $(head -5 "$out/stderr.txt")"
note "preview: $arguments"
[[ $arguments == *--root*--window-id\ 0x* ]] || fail "the preview's command line is '$arguments'"

# The program may start the preview again as its pane settles: some preview
# must run after 3 s, into a pane that shows a picture.
sleep 3
wait_user_saver
[ -n "$USER_SAVER_PID" ] || fail "no preview runs after 3 s"
[ "$USER_SAVER_PID" = "$preview" ] && note "the same preview runs after 3 s" ||
    note "the preview was started again: $USER_SAVER_ARGS"
window=$(sed 's/.*--window-id \(0x[0-9A-Fa-f]*\).*/\1/' <<<"$USER_SAVER_ARGS")
import -window "$window" "$out/pane.png" || fail "screenshot of the pane"
size=$(identify -format '%wx%h' "$out/pane.png")
count=$(colours "$out/pane.png" "$size+0+0")
note "the pane ($window, $size) shows $count colours after 3 s"
[ "$count" -gt 100 ] || fail "the pane shows only $count colours"
grep -qE "^openat\(.*\"$config/nivoraglade\.xml\".* = [0-9]+\$" "$TEST_HOME/opened" ||
    fail "the settings program did not read $config/nivoraglade.xml"
note "the settings program read the options file"
ours=$(grep -i nivora "$out/stderr.txt")
[ -z "$ours" ] || fail "the settings program said of the saver: $(head -5 <<<"$ours")"
[ ! -s "$TEST_HOME/saver-stderr.txt" ] || fail "the preview said on stderr: $(head -5 "$TEST_HOME/saver-stderr.txt")"
note "$(grep -c . "$out/stderr.txt") lines of the settings program on stderr, none of them about the saver;" \
     "nothing on the preview's"
echo "settings dialog: the entry previews, nothing said about it, all checks passed"
