#!/bin/bash
# /c at 192 DPI (Wine's LogPixels): the settings window's layout and fonts
# are twice the 96-DPI pixels, the saver's client area is still half the
# screen in physical pixels; the pair is too tall for the screen, so the
# settings window overlaps the saver window's bottom and stays on the screen. Then drags of the snowflake and of the background
# slider through 20 positions each while a probe asks the window's thread for
# an answer every 10 ms: no answer may take 50 ms or more.
. "$(dirname "$0")/lib.sh"

DESKTOP='HKCU\Control Panel\Desktop'
restore_dpi() {
    reg_change delete "$DESKTOP" /v LogPixels /f
    end_wine
}
trap restore_dpi EXIT

store_settings 20 0 1 5 0 14
reg_change add "$DESKTOP" /v LogPixels /t REG_DWORD /d 192 /f || fail "reg add LogPixels"
# The DPI is read when the wineserver starts.
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

start_saver /c
settings=$(wait_window 'Screensaver Settings' 30) || fail "no settings window"
list=$(controls 'Screensaver Settings')
echo "$list"
saver_list=$(controls 'Nivora Glade')
echo "$saver_list"
read -r _ st _ sh _ scw sch _ sdpi <<<"$(window_numbers "$saver_list")"
read -r fl ft fw fh _ fcw fch _ fdpi <<<"$(window_numbers "$list")"
[ "$fdpi" = 192 ] || fail "the settings window runs at $fdpi DPI, not 192"
[ "$scw $sch" = "640 360" ] || fail "saver client ${scw}x$sch at 192 DPI, not half of 1280x720"
[ "$fcw $fch" = "884 322" ] || fail "settings client ${fcw}x$fch, not twice 442x161"
outside=$(off_screen "$list"; off_screen "$saver_list")
[ -z "$outside" ] || fail "at 192 DPI off the screen: $outside"
[ "$st" = 0 ] && [ "$ft" -lt $((st + sh)) ] || fail "saver window $st+$sh, settings window at $ft: no overlap"
note "192 DPI: the saver window went up to $st, the settings window at $ft overlaps its bottom at $((st + sh))"
for expected in '^control msctls_trackbar32 "" 16 66 400 24 range 1 20 pos 20' \
                '^control msctls_trackbar32 "" 468 196 400 24 range 1 20 pos 14' \
                '^control Button "Save Settings" 32 256 200 50' \
                '^control Button "Close" 708 256 150 50' \
                '^control Button "Random" 276 146 124 34 check 0' \
                '^control Static "Background" 32 146 [0-9]+ 40'; do
    control_line "$list" "$expected" >/dev/null || fail "at 192 DPI no control matching: $expected"
done
# The bold Arial 13 caption is measured with its font: twice as wide, give
# or take the rounding of glyph widths.
width=$(control_line "$list" '^control Static "Background" ' | awk '{ print $6 }')
[ "$width" -ge 140 ] && [ "$width" -le 160 ] || fail "'Background' is $width pixels wide at 192 DPI (75 at 96)"
screenshot "$NIVORA_E2E_OUT/settings-192dpi.png"
note "192 DPI: settings client ${fcw}x$fch, saver client ${scw}x$sch, 'Background' $width pixels wide"

xdotool windowactivate --sync "$settings" 2>/dev/null
sleep 0.3
# Drags through 20 positions with the keys of $1 on the focused slider while
# the probe runs; prints the probe's result and sets LONGEST. The probe also
# counts the time the system gave other processes before the window's thread
# (this machine may be shared), so a drag whose longest answer is 50 ms or
# more is made once more the other way ($2), and the better one counts: a
# drag that blocks the thread at every position fails both.
drag_once() {
    local probe_out="$NIVORA_E2E_OUT/probe-$1.txt" probe result answers
    wine_run "$NIVORA_CONTROLS" --probe 'Screensaver Settings' 2500 >"$probe_out" &
    probe=$!
    sleep 0.5
    # shellcheck disable=SC2046
    xdotool key --delay 60 $(for _ in $(seq 19); do echo "$1"; done)
    wait "$probe"
    result=$(tr -d '\r' <"$probe_out")
    read -r _ LONGEST _ answers <<<"$result"
    note "probe during a drag through 20 positions ($1 on the $3 slider): $result (ms)"
    [ "${answers:-0}" -gt 50 ] || fail "the probe got too few answers: $result"
}
DRAGS=1
probe_drag() {
    DRAGS=1
    drag_once "$1" "$2" "$3"
    less_than "$LONGEST" 50 && return 0
    DRAGS=2
    drag_once "$2" "$1" "$3"
    less_than "$LONGEST" 50 || fail "the window's thread was busy for $LONGEST ms in both drags of the $3 slider"
}
probe_drag Left Right snowflake
last=$([ "$DRAGS" = 1 ] && echo 1 || echo 20)
list=$(controls 'Screensaver Settings')
control_line "$list" "^control Static \"Snowflake   $last\" " >/dev/null || fail "the label did not follow the drag"
xdotool key Tab key Home
sleep 0.3
probe_drag Right Left background
last=$([ "$DRAGS" = 1 ] && echo 19 || echo 0)
control_line "$(controls 'Screensaver Settings')" \
    "^control msctls_trackbar32 \"\" 16 196 400 24 range 0 20 pos $last focus" >/dev/null ||
    fail "the background slider did not follow the keys"

xdotool key Escape
wait_saver_exit 5000 || fail "Escape did not end the program"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
