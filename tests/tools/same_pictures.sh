#!/usr/bin/env bash
# A cross-built nivora-render, run under its emulator, makes the same pictures
# as the x86 one: the same summary lines, and the picture, field and alpha
# files equal byte for byte (PNG files of equal pixels are equal bytes here:
# both builds use the same libpng and zlib versions and settings).
# Usage: same_pictures.sh X86_RENDER "EMULATOR;ARGUMENTS" RENDER
set -u
reference=$1
IFS=';' read -r -a emulator <<<"$2"
render=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Small pictures: the emulated renderer is many times slower than x86's.
run() {  # run NAME MODE SIZE SEED: both renderers, then compare
  local name=$1 args=(--mode "$2" --size "$3" --seed "$4" --count 2)
  "$reference" "${args[@]}" --out "$dir/x86-$name.png" --field "$dir/x86-$name-field.png" \
    --alpha "$dir/x86-$name.pgm" >"$dir/x86-$name.txt" || fail "x86 render $name"
  "${emulator[@]}" "$render" "${args[@]}" --out "$dir/emu-$name.png" --field "$dir/emu-$name-field.png" \
    --alpha "$dir/emu-$name.pgm" >"$dir/emu-$name.txt" || fail "emulated render $name"
  # The summary lines without their timings.
  sed -i 's/ | snowflake .*//' "$dir/x86-$name.txt" "$dir/emu-$name.txt"
  [ "$(wc -l <"$dir/x86-$name.txt")" -eq 2 ] || fail "$name: not two summary lines"
  cmp -s "$dir/x86-$name.txt" "$dir/emu-$name.txt" || fail "$name: summaries differ: $(diff "$dir/x86-$name.txt" "$dir/emu-$name.txt" | tr '\n' ' ')"
  local files=0
  for f in "$dir"/x86-"$name"-*; do
    case $f in *.txt) continue ;; esac
    files=$((files + 1))
    cmp -s "$f" "${f/x86-/emu-}" || fail "$name: ${f##*/} differs from the emulated build's"
  done
  [ "$files" -eq 6 ] || fail "$name: $files files, not 6 (two pictures, fields and alpha layers)"
}

run saver saver 320x180 5
run preview preview 152x112 11

[ "$failures" -eq 0 ] && echo "same pictures as x86: saver 320x180 seed 5, preview 152x112 seed 11, 2 each"
exit $((failures > 0))
