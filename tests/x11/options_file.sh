#!/bin/bash
# nivoraglade.xml, the daemon's description of the saver's options: it is
# well-formed, in the collection's shape (a screensaver element with a
# --root command, sliders and check boxes with their arguments, a
# description), covers every setting, and the program accepts every argument
# it can produce: each slider at its ends and default, each check box both
# ways, and all of them at once on a real window.
#   options_file.sh XML NIVORAGLADE
set -u
xml=$1 saver=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

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
PY

count=0
while read -r args; do
    # shellcheck disable=SC2086
    "$saver" $args --help >/dev/null 2>&1 || fail "'$args' refused"
    count=$((count + 1))
done <<<"$arguments"

# And all of them at once in a real run (the root window of a virtual
# screen), ended by SIGTERM.
all=$(tail -n 1 <<<"$arguments")
# shellcheck disable=SC2086
"$saver" $all &
pid=$!
sleep 1
kill -0 $pid 2>/dev/null || fail "'$all' ended by itself"
kill -TERM $pid
wait $pid || fail "'$all' exited $?"
echo "options file: well-formed; $count argument lists accepted; '$all' ran"
