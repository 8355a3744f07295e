#!/bin/bash
# /c on an 800 x 600 screen, where the settings window under a saver window a
# fifth of the screen down would end below the screen: the pair goes up
# together, the settings window glued and centred under the saver window, and
# every control lies on the screen, as Wine and as the X server see it. A
# click on "Close" where it shows ends the program.
. "$(dirname "$0")/lib.sh"

read -r screen_width screen_height <<<"$(screen_size)"
[ "$screen_width $screen_height" = "800 600" ] || fail "the screen is ${screen_width}x$screen_height, not 800x600"
store_settings 20 0 1 5 0 14

start_saver /c
settings=$(wait_window 'Screensaver Settings' 30) || fail "no settings window"
saver=$(wait_window 'Nivora Glade' 30) || fail "no saver window"
list=$(controls 'Screensaver Settings')
echo "$list"
saver_list=$(controls 'Nivora Glade')
echo "$saver_list"
read -r sl st sw sh _ scw sch _ <<<"$(window_numbers "$saver_list")"
read -r fl ft fw fh _ <<<"$(window_numbers "$list")"
note "saver window at $sl,$st ${sw}x$sh, settings window at $fl,$ft ${fw}x$fh"
[ "$scw $sch" = "400 300" ] || fail "saver client ${scw}x$sch, not half of 800x600"
[ "$(grep -c '^control' <<<"$list")" = 12 ] || fail "not 12 controls"
[ "$st" -lt $((screen_height / 5)) ] && [ "$st" -ge 0 ] || fail "the saver window's top $st did not go up"
[ "$ft" = $((st + sh + 2)) ] || fail "settings window top $ft, not two pixels under the saver ($st + $sh)"
[ "$fl" = $((sl + (sw - fw) / 2)) ] || fail "settings window left $fl, not centred under the saver ($sl, $sw, $fw)"
outside=$(off_screen "$list"; off_screen "$saver_list")
[ -z "$outside" ] || fail "off the screen: $outside"

# The X server's view of the client areas agrees.
read -r x y w h <<<"$(window_geometry "$settings")"
[ $((y + h)) -le "$screen_height" ] && [ $((x + w)) -le "$screen_width" ] && [ "$x" -ge 0 ] ||
    fail "the settings window shows at $x,$y ${w}x$h"
read -r _ sy _ _ <<<"$(window_geometry "$saver")"
[ "$sy" -ge 0 ] || fail "the saver window shows at $sy"
note "on the X screen: settings client at $x,$y ${w}x$h ends $((screen_height - y - h)) px above the bottom"

read -r ox oy <<<"$(sed -n 's/^origin //p' <<<"$list")"
read -r _ _ _ bl bt bw bh <<<"$(control_line "$list" '^control Button "Close" ')"
xdotool mousemove $((ox + bl + bw / 2)) $((oy + bt + bh / 2)) click 1
wait_saver_exit 5000 || fail "a click on Close did not end the program"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
