#!/bin/bash
# The portable zip holds one folder with the 32-bit and the 64-bit program
# (each the one built, each of its machine), the README's Windows section as
# a Windows text file, and the licence when the project has one.
#   portable_zip.sh ZIP SCR32 SCR64 README LICENCE_OR_EMPTY
set -u
zip=$1 scr32=$2 scr64=$3 readme=$4 licence=${5:-}
fail() { echo "FAIL: $*" >&2; exit 1; }

pe_machine() {
    local offset
    offset=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
    od -An -tx2 -j $((offset + 4)) -N 2 "$1" | tr -d ' '
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
folder=$(basename "$zip" -windows.zip)

expected="$folder/32-bit/NivoraGlade.scr
$folder/64-bit/NivoraGlade.scr
$folder/README-Windows.txt"
[ -n "$licence" ] && expected="$expected
$folder/LICENSE.txt"
actual=$(cd "$work" && find . -type f | sed 's|^\./||' | sort)
[ "$actual" = "$(echo "$expected" | sort)" ] || fail "the zip holds:
$actual"

cmp -s "$work/$folder/32-bit/NivoraGlade.scr" "$scr32" || fail "32-bit/NivoraGlade.scr is not the 32-bit build"
cmp -s "$work/$folder/64-bit/NivoraGlade.scr" "$scr64" || fail "64-bit/NivoraGlade.scr is not the 64-bit build"
[ "$(pe_machine "$scr32")" = 014c ] || fail "the 32-bit program is for machine $(pe_machine "$scr32")"
[ "$(pe_machine "$scr64")" = 8664 ] || fail "the 64-bit program is for machine $(pe_machine "$scr64")"

text="$work/$folder/README-Windows.txt"
[ "$(grep -c '' "$text")" = "$(grep -c $'\r$' "$text")" ] || fail "README-Windows.txt has lines without Windows line ends"
# The whole section and nothing of the next one.
last_line=$(awk '/^## The Windows screen saver/ { inside = 1; next } /^## / { inside = 0 } inside && NF { line = $0 } END { print line }' "$readme")
next_heading=$(awk '/^## The Windows screen saver/ { inside = 1; next } inside && /^## / { print; exit }' "$readme")
grep -q '^## The Windows screen saver' "$text" || fail "README-Windows.txt lacks the section's heading"
tr -d '\r' <"$text" | grep -qxF "$last_line" || fail "README-Windows.txt lacks the section's end, '$last_line'"
[ -z "$next_heading" ] || ! grep -qF "$next_heading" "$text" || fail "README-Windows.txt runs on into '$next_heading'"
if [ -n "$licence" ]; then
    cmp -s "$work/$folder/LICENSE.txt" "$licence" || fail "LICENSE.txt is not the project's licence"
fi
echo "-- $(basename "$zip"): $(stat -c %s "$zip") bytes; $(echo "$actual" | tr '\n' ' ')"
echo "-- pass"
