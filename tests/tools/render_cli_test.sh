#!/usr/bin/env bash
# Runs nivora-render as a user would and checks what it writes and says.
set -u
render=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Reads a big-endian 32-bit number at a byte offset of a file.
be32() { od -An -tu1 -j "$2" -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}'; }

out=$("$render" --size 1280x720 --algorithm 7 --background 6 --seed 1 --out "$dir/a.png" --field "$dir/f.png" --alpha "$dir/a.pgm")
[ $? -eq 0 ] || fail "render exited non-zero"
echo "$out" | grep -q "algorithm 7 background 6 brightness 14" || fail "summary line: $out"
for f in a.png f.png; do
  [ "$(od -An -c -j1 -N3 "$dir/$f" | tr -d ' ')" = PNG ] || fail "$f is not a PNG"
done
[ "$(be32 "$dir/a.png" 16)x$(be32 "$dir/a.png" 20)" = 1280x720 ] || fail "a.png size"
[ "$(be32 "$dir/f.png" 16)x$(be32 "$dir/f.png" 20)" = 640x360 ] || fail "f.png size"
[ "$(od -An -tu1 -j24 -N2 "$dir/a.png" | tr -s ' ')" = " 8 2" ] || fail "a.png is not 8-bit RGB"
[ "$(head -c 17 "$dir/a.pgm" | tr '\n' ' ')" = "P5 721 721 65535 " ] || fail "a.pgm header"
[ "$(stat -c %s "$dir/a.pgm")" -eq $((17 + 721 * 721 * 2)) ] || fail "a.pgm size"

# Several pictures are numbered.
"$render" --size 64x48 --count 3 --seed 5 --out "$dir/n.png" >/dev/null || fail "count run"
for i in 001 002 003; do [ -s "$dir/n-$i.png" ] || fail "n-$i.png missing"; done

# The line of a picture says how to make that picture again: picture 3 of a
# run gives the same numbers and the same file when made on its own.
line=$("$render" --size 96x54 --count 3 --seed 5 --out "$dir/s.png" | sed -n 3p)
again=$(echo "$line" | sed -n 's/.*again: \(--seed [0-9]* --start [0-9]*\).*/\1/p')
[ -n "$again" ] || fail "no way to make picture 3 again in: $line"
# shellcheck disable=SC2086
line2=$("$render" --size 96x54 $again --out "$dir/t.png")
[ "${line%%|*}" = "${line2%%|*}" ] || fail "picture 3 again: '$line' then '$line2'"
cmp -s "$dir/s-003.png" "$dir/t.png" || fail "$again did not make the same picture"

# Bad arguments: exit status 2, one line on stderr, nothing written.
for args in "--size 0x10" "--size 16385x10" "--algorithm seven" "--bogus 1" "--count 0" "--start 0"; do
  # shellcheck disable=SC2086
  "$render" $args --out "$dir/bad.png" 2>"$dir/err" >/dev/null
  status=$?
  [ $status -eq 2 ] || fail "'$args' exited $status"
  [ "$(wc -l <"$dir/err")" -eq 1 ] || fail "'$args' stderr: $(cat "$dir/err")"
  [ -e "$dir/bad.png" ] && fail "'$args' wrote a file"
done

"$render" --bogus 2>"$dir/err"
grep -q "unknown option '--bogus'" "$dir/err" || fail "--bogus alone: $(cat "$dir/err")"

# An unwritable output is an error, not a success, and costs the other files nothing.
"$render" --size 16x16 --out "$dir/missing/a.png" --alpha "$dir/kept.pgm" >/dev/null 2>"$dir/err" &&
  fail "unwritable output reported success"
[ -s "$dir/kept.pgm" ] || fail "a failed --out stopped --alpha"

# Memory that is not there: a 16384x16384 preview needs about 20 GB. With the
# address space held to 2 GB its planes cannot be allocated: one clear line on
# stderr, exit status 1, no file.
(ulimit -v 2000000; exec "$render" --size 16384x16384 --mode preview --seed 1 --out "$dir/huge.png") \
  >/dev/null 2>"$dir/err"
status=$?
[ $status -eq 1 ] || fail "out of memory: exit status $status, stderr $(cat "$dir/err")"
grep -qx "nivora-render: Not enough memory for a picture of 16384 x 16384: it needs about [0-9.]* GB" "$dir/err" ||
  fail "out of memory: stderr $(cat "$dir/err")"
[ -e "$dir/huge.png" ] && fail "out of memory: a file was written"
note_memory=$(cat "$dir/err")
echo "out of memory as expected: $note_memory"

# A long run keeps its peak memory flat: 1000 pictures of 160x90 peak within
# 2 MB of 50 pictures.
peak() { /usr/bin/time -f %M "$render" --size 160x90 --seed 3 --count "$1" 2>&1 >/dev/null | tail -n 1; }
peak50=$(peak 50)
peak1000=$(peak 1000)
echo "peak resident memory: $peak50 KB after 50 pictures, $peak1000 KB after 1000"
[ "$peak1000" -le $((peak50 + 2048)) ] || fail "peak memory grew from $peak50 KB to $peak1000 KB"

[ $failures -eq 0 ] && echo "render command line: all checks passed"
exit $((failures > 0))
