#!/bin/bash
# Every output covered: under a headless sway with a 1280x720 output and a
# 1024x768 one at scale 2, each output shows a picture of its size in
# physical pixels, the first nivora-render's for the seed, the second the
# one for its derived seed. While the pictures are held nothing is
# committed. An output added while it runs (turned by 90 degrees) is covered
# too, with a seed of its own; a new scale keeps the picture of the same
# physical size. A key ends it with status 0 in under 0.25 s.
. "$(dirname "$0")/lib.sh"
seed=7

start_sway "output HEADLESS-1 mode 1280x720" "output HEADLESS-2 mode 1024x768 scale 2" \
    "output HEADLESS-3 mode 640x480 transform 90"
start_saver --seed $seed --time-show 60 --tick-log "$LOG"
wait_log "$LOG" '^hold ' 60
grep -q '^surface 0 layer' "$LOG" || fail "no layer-shell surface: $(head -n 3 "$LOG")"
check_picture HEADLESS-1 1280x720 $seed
check_picture HEADLESS-2 1024x768 "$(output_seed $seed 1)"

# The hold: no frame, no commit.
commits=$(grep -c '^commit' "$LOG")
sleep 1
[ "$(grep -c '^commit' "$LOG")" = "$commits" ] || fail "commits during the hold"
note "$commits commits over the reveal, none in 1 s of the hold"

# An output plugged in while it runs (sway's create_output) gets a surface
# and a picture of its own; the others keep theirs.
swaycmd create_output
wait_log "$LOG" '^output 2 HEADLESS-3 480x640 ' 10
wait_log "$LOG" '^hold ' 60 2
check_picture HEADLESS-3 480x640 "$(output_seed $seed 2)"
check_picture HEADLESS-1 1280x720 $seed
note "an output added while running (turned by 90 degrees) was covered upright; the first kept its picture"

# A new scale with the same mode: the same picture, now in a surface twice
# as large.
swaycmd output HEADLESS-2 scale 1
wait_log "$LOG" '^scale 1 1$' 10
sleep 0.3
[ "$(grep -c '^output 1 ' "$LOG")" = 1 ] || fail "new pictures of HEADLESS-2: $(grep '^output 1 ' "$LOG")"
check_picture HEADLESS-2 1024x768 "$(output_seed $seed 1)"
note "HEADLESS-2 from scale 2 to 1: the same picture over the whole output"

key_ends_saver 250
note "a key ended it $KEY_MS ms after wtype sent it, status 0"
echo "outputs: all checks passed"
