#!/bin/bash
# nivoraglade.xml, the daemon's description of the saver's options: it is
# well-formed, in the collection's shape (a screensaver element with a
# --root command, sliders and check boxes with their arguments, a
# description), covers every setting, and the program accepts every argument
# it can produce: each slider at its ends and default, each check box both
# ways, and all of them at once on a real window. The settings dialog's
# preview runs the command line with --window-id appended: in a pane of
# 300x200 that gives nivora-render's picture.
#   options_file.sh XML     (and what lib.sh names)
. "$(dirname "$0")/lib.sh"
xml=$1 saver=$NIVORA_SAVER

xmllint --noout "$xml" || fail "not well-formed"

# One argument list per line, from what the settings dialog can write.
arguments=$(python3 - "$xml" <<'PY') || fail "unexpected shape"
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == "screensaver" and root.get("name") == "nivoraglade", root.tag
assert [c.get("arg") for c in root.iter("command")] == ["--root"]
assert root.find("_description") is not None and root.find("_description").text.strip()
numbers = {n.get("id"): n for n in root.iter("number")}
booleans = {b.get("id"): b for b in root.iter("boolean")}
assert set(numbers) == {"algorithm", "background", "brightness", "time-show"}, numbers.keys()
assert set(booleans) == {"random-algorithm", "random-background"}, booleans.keys()
everything = []
for n in numbers.values():
    assert n.get("type") == "slider" and n.get("arg").endswith(" %"), n.attrib
    low, high, default = (int(n.get(k)) for k in ("low", "high", "default"))
    assert low <= default <= high, n.attrib
    for value in (low, default, high):
        print(n.get("arg").replace("%", str(value)))
    everything.append(n.get("arg").replace("%", str(high)))
for b in booleans.values():
    for key in ("arg-set", "arg-unset"):
        if b.get(key):
            print(b.get(key))
            everything.append(b.get(key))
print("--root " + " ".join(everything))
print(" ".join(c.get("arg") for c in root.iter("command")))
PY

count=0
while read -r args; do
    # shellcheck disable=SC2086
    "$saver" $args --help >/dev/null 2>&1 || fail "'$args' refused"
    count=$((count + 1))
done <<<"$arguments"

# And all of them at once in a real run (the root window of a virtual
# screen), ended by SIGTERM.
all=$(tail -n 2 <<<"$arguments" | head -n 1)
# shellcheck disable=SC2086
start_saver $all
sleep 1
saver_running || fail "'$all' ended by itself"
signal_ends_saver TERM 500

# The preview: the file's command (the dialog's defaults add nothing to it),
# a seed to compare by, and the window id last.
command=$(tail -n 1 <<<"$arguments")
make_test_window 300x200
log=$NIVORA_OUT/preview.log
rm -f "$log"  # an earlier run's
# shellcheck disable=SC2086
start_saver $command --seed 9 --tick-log "$log" --window-id "$(printf '0x%X' "$TEST_WINDOW")"
"$NIVORA_RENDER" --size 300x200 --seed 9 --out "$NIVORA_OUT/preview-expected.png" >/dev/null || fail "nivora-render"
wait_log "$log" '^hold ' 30
import -window "$TEST_WINDOW" "$NIVORA_OUT/preview.png" || fail "screenshot"
differ=$(differing_pixels "$NIVORA_OUT/preview.png" "$NIVORA_OUT/preview-expected.png")
note "preview '$command ... --window-id': $(colours "$NIVORA_OUT/preview.png" 300x200+0+0) colours, $differ pixels" \
     "differ from nivora-render's picture"
[ "$differ" = 0 ] || fail "the preview pane differs from nivora-render's picture in $differ pixels"
signal_ends_saver TERM 500
echo "options file: well-formed; $count argument lists accepted; '$all' ran; the preview showed the picture"
