#!/bin/bash
# /c at 192 DPI (Wine's LogPixels): the settings window's layout and fonts
# are twice the 96-DPI pixels, the saver's client area is still half the
# screen in physical pixels. Then a drag of the first slider through 20
# positions while a probe asks the window's thread for an answer every 10 ms:
# no answer may take 50 ms or more.
. "$(dirname "$0")/lib.sh"

DESKTOP='HKCU\Control Panel\Desktop'
restore_dpi() {
    wine_run reg delete "$DESKTOP" /v LogPixels /f >/dev/null 2>&1
    end_wine
}
trap restore_dpi EXIT

delete_key
set_dword Algorithm 20
set_dword BackgroundRands 0
set_dword Background 1
set_dword Time_Show 5
set_dword Rands_Algorithm 0
set_dword Brightness 14
wine_run reg add "$DESKTOP" /v LogPixels /t REG_DWORD /d 192 /f >/dev/null || fail "reg add LogPixels"
# The DPI is read when the wineserver starts.
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

start_saver /c
settings=$(wait_window 'Screensaver Settings' 30) || fail "no settings window"
list=$(controls 'Screensaver Settings')
echo "$list"
saver_list=$(controls 'Nivora Glade')
echo "$saver_list"
read -r _ _ _ _ _ scw sch _ sdpi <<<"$(window_numbers "$saver_list")"
read -r fl ft fw fh _ fcw fch _ fdpi <<<"$(window_numbers "$list")"
[ "$fdpi" = 192 ] || fail "the settings window runs at $fdpi DPI, not 192"
[ "$scw $sch" = "640 360" ] || fail "saver client ${scw}x$sch at 192 DPI, not half of 1280x720"
[ "$fcw $fch" = "884 322" ] || fail "settings client ${fcw}x$fch, not twice 442x161"
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
probe_out="$NIVORA_E2E_OUT/probe.txt"
wine_run "$NIVORA_CONTROLS" --probe 'Screensaver Settings' 2500 >"$probe_out" &
probe=$!
sleep 0.5
xdotool key --delay 60 Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left
wait "$probe"
longest=$(tr -d '\r' <"$probe_out")
note "probe during the drag through 20 positions: $longest (ms)"
list=$(controls 'Screensaver Settings')
control_line "$list" '^control Static "Snowflake   1" ' >/dev/null || fail "the label did not follow the drag"
read -r _ ms _ answers <<<"$longest"
[ "${answers:-0}" -gt 50 ] || fail "the probe got too few answers: $longest"
less_than "$ms" 50 || fail "the window's thread was busy for $ms ms"

xdotool key Escape
wait_saver_exit 5 || fail "Escape did not end the program"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
